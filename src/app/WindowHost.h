#pragma once
// Shared by the main window's Shred of planned items and the preview
// window's Shred.

#include "app/UMain.h"
#include "catalogue/CleanRun.h"

// The window's side of a clean: each item's work on a worker while the window
// answers, operations here on the main thread (they log their own sentences),
// and each item's lines and counts into the log as it ends.
class TMainForm::TWindowHost : public TCleanHost {
public:
  explicit TWindowHost(TMainForm& Form) : FForm(Form) {}
  TTally Removed;
  // An item that says nothing itself gets a line with its count.
  bool CountSilentItems = false;

  void RunWork(const std::function<void()>& Work) override { FForm.CleanOnWorker(Work); }
  TEntryOutcome Operate(const TItem& Item, TTally& Tally, std::vector<std::string>&) override {
    TAction& Action = *FForm.Action;
    const TTally Kept = Action.Tally;
    Action.Tally = {};
    // Restored however the operation ends: the run's counts are its own.
    struct TRestore {
      TAction& Action;
      const TTally& Kept;
      TTally& Into;
      ~TRestore() {
        Into += Action.Tally;
        Action.Tally = Kept;
      }
    };
    bool Refused = false;
    {
      TRestore Restore{Action, Kept, Tally};
      (Action.*Item.Clear)(true);
      Refused = Action.Tally.Refused != 0;
    }
    // The operation may have served messages, the window's closing among them.
    if (!FForm.Closing()) FForm.RefreshMemo();
    return Refused ? TEntryOutcome::Refused : TEntryOutcome::Removed;
  }
  void ItemDone(const TItemPlan& Plan, const TItemOutcome& Outcome) override {
    if (FForm.Closing()) return;
    for (const std::string& Line : Outcome.Lines) FForm.Action->AddMessage(Line, "");
    if (CountSilentItems && Outcome.Lines.empty()) {
      std::string Counted = SummaryLine(Outcome.Tally);
      Counted[0] = 'r';
      FForm.Action->AddMessage(std::string(Plan.Item->Label) + ": " + Counted, "");
    }
    Removed += Outcome.Tally;
    FForm.RefreshMemo();
  }
  bool Ending() override { return FForm.Closing(); }

private:
  TMainForm& FForm;
};

