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
  // Inverted, not set: a command nested in another leaves the flag as it found it.
  Idle = !Idle;
  if (Busy) {
    SetWaitCursor(true);
    ShowLights(true);
    EnableWindow(SpeedItemStart, FALSE);
  } else {
    EnableWindow(SpeedItemStart, TRUE);
    SetWaitCursor(false);
    ShowLights(false);
  }
}

// ---- the Shred run

void TMainForm::RunBusy(const std::function<void()>& Command) {
  SetBusy(true);
  // Leaving the busy state is the command's clean-up: it happens however the
  // command ends, also when an operation raises.
  struct TLeaveBusy {
    TMainForm& Form;
    ~TLeaveBusy() { Form.SetBusy(false); }
  };
  {
    TLeaveBusy Leave{*this};
    Command();
  }
  MemoChange();
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
    HandOffFolder(SpecialFolder(CSIDL_INTERNET_CACHE));
    if (Closing()) return;
  }
  if (Option->DelHistory) {
    Action->DeleteHistory(true);
    HandOffFolder(SpecialFolder(CSIDL_HISTORY));
    if (Closing()) return;
  }
  if (Option->DelTempFiles) {
    HandOffFolder(TempFolder());
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

void TMainForm::HandOffFolder(const std::string& Folder) {
  WaitForScanner();
  // A folder the shell cannot name is skipped: with an empty path the scanner
  // would search the current folder.
  if (!Folder.empty() && !Closing()) SweepFolder(Folder);
}
