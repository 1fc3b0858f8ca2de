// The schedule: the timed runs, the run at start-up and the run when Windows
// ends the session, as chosen on the options dialog's schedule page.
#include "app/UMain.h"

#include "base/DateTime.h"
#include "settings/Policy.h"
#include "settings/UOptions.h"
#include "win/Registry.h"

namespace {

constexpr char DialogKey[] = "Software\\Vellumix\\TOptionDlg";

SYSTEMTIME LocalNow() {
  SYSTEMTIME Now;
  GetLocalTime(&Now);
  return Now;
}

bool SameSecond(const SYSTEMTIME& A, const SYSTEMTIME& B) {
  return A.wYear == B.wYear && A.wMonth == B.wMonth && A.wDay == B.wDay && A.wHour == B.wHour &&
         A.wMinute == B.wMinute && A.wSecond == B.wSecond;
}

}  // namespace

bool TMainForm::StoredDialogBox(const char* Name) {
  TRegistry Reg(HKEY_CURRENT_USER);
  return Reg.OpenKeyReadOnly(DialogKey) && Reg.ReadString(Name).value_or("") == "True";
}

// Each value: an administrator's policy when there is one, else what the
// options dialog stored.
bool TMainForm::ScheduleEnabled() {
  return PolicyScheduleEnabled().value_or(StoredDialogBox("CBxSchedule_Checked"));
}
bool TMainForm::ScheduleAtShutdown() {
  return PolicyScheduleAtShutdown().value_or(StoredDialogBox("CBxScheduleShut_Checked"));
}
bool TMainForm::ScheduleAtStart() {
  return PolicyScheduleAtStart().value_or(StoredDialogBox("CBxScheduleStart_Checked"));
}

int TMainForm::ScheduleKind() {
  if (auto Kind = PolicyScheduleKind()) return *Kind;
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!Reg.OpenKeyReadOnly(DialogKey)) return skDaily;
  auto Index = Reg.ReadInteger("ScheduleItemindex");
  return Index ? static_cast<std::int32_t>(*Index) : skDaily;
}

std::optional<TDateTime> TMainForm::ScheduleTime() {
  if (auto Time = PolicyScheduleTime()) return EncodeTime(Time->Hour, Time->Minute, 0);
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!Reg.OpenKeyReadOnly(DialogKey)) return std::nullopt;
  auto Data = Reg.ReadBinary("DateTimePicker_Time");
  TDateTime Time;
  if (!Data || !DecodeOleDate(*Data, Time)) return std::nullopt;
  return Time;
}

void TMainForm::TimerTimer() {
  const SYSTEMTIME Now = Clock ? Clock() : LocalNow();
  // Due just after the next whole second, so that every second is looked at.
  Timer.Rearm(MsToNextTick(Now.wMilliseconds));
  // A tick that came early, in a second already looked at, starts nothing more.
  if (FLastTick && SameSecond(*FLastTick, Now)) return;
  FLastTick = Now;

  if (!ScheduleEnabled() || !Idle()) return;
  const int Kind = ScheduleKind();
  std::optional<TTimeOfDay> Start;
  if (Kind == skDaily)
    if (auto Time = ScheduleTime()) Start = TimeOfDay(*Time);
  if (!ScheduleDue(Kind, {Now.wHour, Now.wMinute, Now.wSecond}, Start)) return;
  // The run's own busy state is enough: later ticks read busy until it ends.
  StartActionExecute();
}

LRESULT TMainForm::WMQueryEndSession(LPARAM Flags) {
  // A program closing us (an installer, through the restart manager) is no
  // end of the session: nothing to clear, no disc to eject.
  if (Flags & ENDSESSION_CLOSEAPP) return 1;
  // Windows is waiting: a failure is not shown, as a box would hold up the end
  // of the session, and it never vetoes it. A run already working is not
  // started again.
  try {
    if (ScheduleAtShutdown()) StartActionExecute();
  } catch (const std::exception&) {
  }
  try {
    if (!Closing() && Option->EjectCdrom) {
      Action->EjectCdromTray(true);
      RefreshMemo();
    }
  } catch (const std::exception&) {
  }
  return 1;
}
