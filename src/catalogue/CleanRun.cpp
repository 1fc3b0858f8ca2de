#include "catalogue/CleanRun.h"

#include <exception>

namespace {

void Stayed(TItemOutcome& Outcome, std::string Line, std::uint64_t TTally::*Why = &TTally::Refused) {
  Outcome.Lines.push_back(std::move(Line));
  ++(Outcome.Tally.*Why);
  ++Outcome.Tally.StayedOther;
}

// Runs one step of an item; what it raises becomes a line and a refusal.
template <class TStep>
void Guarded(const TItem& Item, TItemOutcome& Outcome, TStep&& Step) {
  try {
    Step();
  } catch (const std::exception& E) {
    Stayed(Outcome, std::string("Could not clean ") + Item.Label + ": " + E.what());
  } catch (...) {
    Stayed(Outcome, std::string("Could not clean ") + Item.Label + ": an unexpected error.");
  }
}

// The operations of a plan, each only while its store is what the preview saw.
void Operate(const TItemPlan& Plan, TItemOutcome& Outcome, TCleanHost& Host) {
  const TItem& Item = *Plan.Item;
  for (std::size_t At = 0; At < Plan.Entries.size(); ++At) {
    const TPlanEntry& Entry = Plan.Entries[At];
    if (!Entry.Ticked || Entry.Kind != TEntryKind::Operation || !Item.Clear) continue;
    TEntryOutcome& Result = Outcome.Report.Entries[At];
    if (OperationToken(Item) != Entry.Token) {
      Stayed(Outcome, std::string(Item.Label) + " changed since the preview and was left as it is: preview again to clear it.",
             &TTally::Changed);
      Result = TEntryOutcome::Changed;
      continue;
    }
    Result = TEntryOutcome::Refused;
    Guarded(Item, Outcome, [&] { Result = Host.Operate(Item, Outcome.Tally, Outcome.Lines); });
  }
}

}  // namespace

bool CleanItems(std::vector<TItemPlan>& Plans, bool Look, TPreviewContext& Context, TCleanHost& Host) {
  MarkCovered(Plans);
  for (std::size_t Index = 0; Index < Plans.size(); ++Index) {
    TItemPlan& Plan = Plans[Index];
    if (Context.Progress.Cancelled() || Host.Ending()) return false;
    const TItem& Item = *Plan.Item;
    TItemOutcome Outcome;
    if (Plan.CoveredBy) {
      Outcome.Lines.push_back(std::string(Item.Label) + ": cleared with " + Plan.CoveredBy->Label + ".");
      Host.ItemDone(Plan, Outcome);
      continue;
    }
    if (!Plan.Ticked && Plan.Held.empty()) continue;
    Host.RunWork([&] {
      Guarded(Item, Outcome, [&] {
        if (Look) {
          Item.Preview(Context, Plan);
          if (Context.Progress.Cancelled()) return;
          Context.Progress.BeginClean(Context.Progress.Entries, Context.Progress.Bytes);
        }
        TCleanContext Clean{Context.Progress, Outcome.Tally, Outcome.Lines, &Outcome.Report};
        CleanPlanEntries(Plan, Clean);
      });
    });
    // What the guard would not sweep comes first, as the sweeps come first.
    if (Plan.Ticked)
      for (auto It = Plan.Refusals.rbegin(); It != Plan.Refusals.rend(); ++It) {
        Outcome.Lines.insert(Outcome.Lines.begin(), *It);
        ++Outcome.Tally.Refused;
        ++Outcome.Tally.StayedOther;
      }
    Outcome.Report.Entries.resize(Plan.Entries.size(), TEntryOutcome::NotTried);
    if (Plan.Ticked && !Context.Progress.Cancelled() && !Host.Ending()) Operate(Plan, Outcome, Host);
    Host.ItemDone(Plan, Outcome);
  }
  return !Context.Progress.Cancelled() && !Host.Ending();
}
