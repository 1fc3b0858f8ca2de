// The Shred run and the busy state that frames every command.
#include "app/UMain.h"

#include "app/Preview.h"
#include "catalogue/Catalogue.h"
#include "app/WindowHost.h"
#include "engine/CleanLock.h"
#include "engine/Worker.h"
#include "win/Application.h"
#include "win/Shell.h"

#include <objbase.h>

#include <commctrl.h>

// ---- busy state

void TMainForm::ShowLights(bool Busy) {
  SendMessageA(dfsStatusBar, SB_SETICON, 1, reinterpret_cast<LPARAM>(Busy ? FGrayBall : FGreenBall));
  SendMessageA(dfsStatusBar, SB_SETICON, 2, reinterpret_cast<LPARAM>(Busy ? FRedBall : FGrayBall));
}

void TMainForm::SetWaitCursor(bool Busy) {
  FScreenCursor = Busy ? FWaitCursor : nullptr;
  SetCursor(Busy ? FWaitCursor : LoadCursor(nullptr, IDC_ARROW));
}

void TMainForm::SetBusy(bool Busy) {
  // A depth, so that the state shows busy from the first frame's start to its end.
  if (Busy) {
    if (FBusyDepth++ > 0) return;
    SetWaitCursor(true);
    ShowLights(true);
    EnableWindow(SpeedItemStart, FALSE);
  } else {
    if (FBusyDepth == 0 || --FBusyDepth > 0) return;
    // The status line gives up the progress for the hint it held.
    if (dfsStatusBar) SendMessageA(dfsStatusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(FHint.c_str()));
    EnableWindow(SpeedItemStart, TRUE);
    SetWaitCursor(false);
    ShowLights(false);
  }
}

// ---- the Shred run

bool TMainForm::RunBusy(const std::function<void()>& Command) {
  // Runs never nest: a run or item command asked for while one works (a key,
  // the icon's menu, the schedule, the end of the session, all served by the
  // running command's waits) would sweep the same folders inside it. Nor
  // does one run while the command line cleans: both hold the session's
  // clean lock while they work.
  TCleanLock Lock;
  if (!Idle() || !Lock.TryAcquire()) {
    SetHint(BusyHint);
    return false;
  }
  SetBusy(true);
  // Leaving the busy state is the command's clean-up: it happens however the
  // command ends, also when an operation raises. A sweep still running then
  // is stopped and waited for, so the lights never say idle while it deletes.
  struct TLeaveBusy {
    TMainForm& Form;
    ~TLeaveBusy() {
      if (Form.SweepBusy()) {
        Form.StopSweep();
        Form.FSweeper.Join();
        Form.FinishSweep();
      }
      Form.FSummaryDue = false;
      Form.SetBusy(false);
    }
  };
  {
    TLeaveBusy Leave{*this};
    Command();
    // The busy state lasts until the last sweep of the command has ended,
    // and the command ends with what it removed.
    WaitForScanner();
    if (FSummaryDue && !Closing()) {
      FSummaryDue = false;
      Action->AddMessage(SummaryLine(Action->Tally), "");
      RefreshMemo();
    }
  }
  if (FCloseRequested) {
    // The window was asked to close while the command ran: now that nothing
    // uses what closing frees, it closes.
    FCloseRequested = false;
    Close();
    return true;
  }
  MemoChange();
  return true;
}

void TMainForm::StartActionExecute() {
  RunBusy([this] { RunItems(); });
}

void TMainForm::RunItems() {
  // Every folder hand-off processes messages while it waits, so the window
  // may have been closed meanwhile; the run then ends quietly.
  if (Closing()) return;
  const std::vector<const TItem*> Items = ItemsToShred();
  if (Items.empty()) return;
  Action->Tally = {};
  FSummaryDue = true;
  // The early items start their sweeps first; their lines reach the pane
  // with the first of the others.
  for (const TItem* Item : Items) {
    if (const TItem* Covering = CoveringItem(*Item, Items)) {
      // Planned once, by the item that takes more.
      Action->AddMessage(std::string(Item->Label) + ": cleared with " + Covering->Label + ".", "");
      continue;
    }
    ClearItem(*Item);
    if (Closing()) return;  // the operation may have processed messages
    if (!Item->Early) RefreshMemo();
  }
}

std::vector<const TItem*> TMainForm::ItemsToShred() {
  Action->TrimMessages();
  std::vector<const TItem*> Items = ChosenItems(*Option);
  if (Items.empty()) {
    // Said, with the way to choose: a run that silently does nothing looks broken.
    Action->AddMessage(NothingChosen, "");
    RefreshMemo();
  }
  return Items;
}

void TMainForm::ClearItem(const TItem& Item) {
  FProgressItem = Item.Label;
  if (!Item.Clear && !Item.Folder) return ClearPlanned(Item);
  if (Item.Clear) ((*Action).*Item.Clear)(true);
  if (Closing()) return;
  if (Item.Folder) HandOffFolder(Item.Folder(), Item.FolderName);
}

void TMainForm::ClearPlanned(const TItem& Item) {
  // After the sweeps still running: one worker at a time uses the counters.
  WaitForScanner();
  if (Closing()) return;
  std::vector<TItemPlan> Plans(1);
  Plans[0].Item = &Item;
  SweepProgress.Reset();
  // Read here: the settings may change while the worker works.
  TPreviewContext Look{SweepProgress, Option->KeepTempFiles};
  TWindowHost Host(*this);
  Host.CountSilentItems = true;
  CleanItems(Plans, true, Look, Host);
  Action->Tally += Host.Removed;
}

void TMainForm::CleanOnWorker(const std::function<void()>& Work) {
  TWorker Worker;
  const HWND Window = Handle();
  Worker.Start(
      [&] {
        // The shell's and the clipboard's functions want an apartment.
        struct TApartment {
          HRESULT Com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
          ~TApartment() {
            if (SUCCEEDED(Com)) CoUninitialize();
          }
        } Apartment;
        Work();
      },
      [Window] { PostMessageW(Window, WM_NULL, 0, 0); });
  Application.WaitWhile([&] {
    ShowProgress(FProgressItem);
    if (PreviewDlg) PreviewDlg->SetStatus(StatusText());
    return !Worker.Finished();
  });
  Worker.Rethrow();
}

void TMainForm::ShowProgress(const std::string& Label) {
  const ULONGLONG Now = GetTickCount64();
  if (!dfsStatusBar || Now - FProgressShown < 100) return;
  FProgressShown = Now;
  const std::uint64_t Entries = SweepProgress.Entries, Bytes = SweepProgress.Bytes;
  const std::uint64_t Planned = SweepProgress.PlannedEntries, PlannedBytes = SweepProgress.PlannedBytes;
  // Looking first, then removing what was found.
  const std::string Text =
      Planned ? Label + ": " + GroupedCount(Entries - Planned) + " of " + GroupedCount(Planned) +
                    " entries done (" + SizeText(Bytes - PlannedBytes) + " of " + SizeText(PlannedBytes) + ")"
              : Label + ": " + GroupedCount(Entries) + " entries found (" + SizeText(Bytes) + ")";
  SendMessageA(dfsStatusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(Text.c_str()));
}
