// The Shred run and the busy state that frames every command.
#include "app/UMain.h"

#include "win/Shell.h"

#include <commctrl.h>
#include <shlobj.h>

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
    EnableWindow(SpeedItemStart, TRUE);
    SetWaitCursor(false);
    ShowLights(false);
  }
}

// ---- the Shred run

bool TMainForm::RunBusy(const std::function<void()>& Command) {
  // Runs never nest: a run or item command asked for while one works (a key,
  // the icon's menu, the schedule, the end of the session, all served by the
  // running command's waits) would sweep the same folders inside it.
  if (!Idle()) {
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
      if (Form.Scanner.Busy()) {
        Form.StopSweep();
        Form.Scanner.WaitFor();
      }
      Form.SetBusy(false);
    }
  };
  {
    TLeaveBusy Leave{*this};
    Command();
    // The busy state lasts until the last sweep of the command has ended.
    WaitForScanner();
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
  Action->TrimMessages();
  if (Option->DelInetTemp) {
    Action->DeleteCache(true);
    HandOffFolder(SpecialFolder(CSIDL_INTERNET_CACHE), CacheFolderName);
    if (Closing()) return;
  }
  if (Option->DelHistory) {
    Action->DeleteHistory(true);
    HandOffFolder(SpecialFolder(CSIDL_HISTORY), HistoryFolderName);
    if (Closing()) return;
  }
  if (Option->DelTempFiles) {
    HandOffFolder(TempFolder(), TempFolderName);
    if (Closing()) return;
  }

  using TOperation = void (TAction::*)(bool);
  const std::pair<TOperation, bool TOption::*> Steps[] = {
      {&TAction::DeleteCookies, &TOption::DelCookie},
      {&TAction::DeleteLocationBar, &TOption::DelLocationBar},
      {&TAction::ClearToolbarHistory, &TOption::DelGoogleHistory},
      {&TAction::ClearRecentDocuments, &TOption::ClearRecentDoc},
      {&TAction::ClearMediaPlayerClips, &TOption::ClearWmpRecentDoc},
      {&TAction::ClearRealPlayerClips, &TOption::ClearRlpRecentDoc},
      {&TAction::ClearDelphiRecent, &TOption::ClearDelphiRecentDoc},
      {&TAction::ClearVbRecent, &TOption::ClearVbRecentDoc},
      {&TAction::ClearVcRecent, &TOption::ClearVcRecentDoc},
      {&TAction::ClearRecycleBin, &TOption::EmptyRecycleBin},
  };
  for (const auto& [Operation, Switch] : Steps) {
    ((*Action).*Operation)((*Option).*Switch);
    if (Closing()) return;  // the operation may have processed messages
    RefreshMemo();
  }
}
