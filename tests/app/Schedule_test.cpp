// The schedule on the main window in this process: which timer ticks start a
// Shred run, the start-up run, and Windows ending the session. The clock is the
// test's own; a run is seen as the Location Bar item's line in the log.
#include "app/SweepFixture.h"

#include "base/DateTime.h"
#include "base/Schedule.h"
#include "support/Fixtures.h"
#include "win/Registry.h"

#include <shlwapi.h>

#include <cstring>
#include <optional>

namespace {

constexpr char DialogKey[] = "Software\\Vellumix\\TOptionDlg";

class ScheduleTest : public SweepTest {
protected:
  // The options dialog's stored schedule, before the window reads it.
  void Stored(const char* Name, const std::string& Value) { Key.SetString(Name, Value, DialogKey); }
  void StoredTime(double DateTime) {
    Key.SetBinary("DateTimePicker_Time", &DateTime, sizeof DateTime, DialogKey);
  }
  // The same while the window runs, through its view of the registry.
  static void Write(const std::function<void(TRegistry&)>& Body) {
    TRegistry Reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(Reg.OpenKey(DialogKey, true));
    Body(Reg);
  }
  static void Remove(const char* Name) {
    TRegistry Reg(HKEY_CURRENT_USER);
    if (Reg.OpenKey(DialogKey, false)) RegDeleteValueA(Reg.CurrentKey(), Name);
  }

  // The window's clock stands at this time; every call a day later, so that no
  // two ticks fall in the same second.
  void At(int Hour, int Minute, int Second, int Millisecond = 0) {
    ++FDay;
    Form->Clock = [=, Day = FDay] {
      SYSTEMTIME T{};
      T.wYear = 2026;
      T.wMonth = 1 + (Day - 1) / 28 % 12;
      T.wDay = 1 + (Day - 1) % 28;
      T.wHour = static_cast<WORD>(Hour);
      T.wMinute = static_cast<WORD>(Minute);
      T.wSecond = static_cast<WORD>(Second);
      T.wMilliseconds = static_cast<WORD>(Millisecond);
      return T;
    };
  }
  // Ticks once at the given time; true when the tick ran the Shred run.
  bool TickRuns(int Hour, int Minute, int Second) {
    At(Hour, Minute, Second);
    const std::size_t Before = Form->Action->Messages.size();
    Form->TimerTimer();
    return Form->Action->Messages.size() > Before;
  }

  TMainForm& CreateScheduled() {
    Switches({"DelLocationBar"});
    return CreateForm();
  }

private:
  int FDay = 0;
};

TEST_F(ScheduleTest, EachKindRunsOnItsSecondsOnly) {
  Stored("CBxSchedule_Checked", "True");
  StoredTime(EncodeDate(2003, 5, 17) + EncodeTime(14, 30, 0));  // the date plays no part
  CreateScheduled();
  struct TCase {
    int Kind;
    int Hour, Minute, Second;
    bool Runs;
  };
  const TCase Cases[] = {
      {skMinutely, 10, 15, 0, true},  {skMinutely, 10, 15, 1, false}, {skMinutely, 0, 0, 59, false},
      {skHourly, 11, 0, 0, true},     {skHourly, 11, 1, 0, false},    {skHourly, 11, 0, 1, false},
      {skDaily, 14, 30, 0, true},     {skDaily, 14, 30, 1, false},    {skDaily, 14, 29, 59, false},
      {skDaily, 2, 30, 0, false},     {3, 0, 0, 0, false},            {-1, 14, 30, 0, false},
  };
  for (const TCase& C : Cases) {
    Write([&](TRegistry& Reg) { Reg.WriteInteger("ScheduleItemindex", static_cast<std::uint32_t>(C.Kind)); });
    EXPECT_EQ(TickRuns(C.Hour, C.Minute, C.Second), C.Runs)
        << "kind " << C.Kind << " at " << C.Hour << ":" << C.Minute << ":" << C.Second;
  }
}

// Anything missing or unreadable reads as no schedule, or as the daily kind;
// a daily schedule without a readable start time never runs.
TEST_F(ScheduleTest, UnreadableSettingsStartNothingOrFallBackToDaily) {
  StoredTime(EncodeTime(14, 30, 0));
  Stored("CBxSchedule_Checked", "true");  // not "True"
  CreateScheduled();
  EXPECT_FALSE(TickRuns(14, 30, 0));
  Write([](TRegistry& Reg) { Reg.WriteString("CBxSchedule_Checked", "False"); });
  EXPECT_FALSE(TickRuns(14, 30, 0));
  Remove("CBxSchedule_Checked");
  EXPECT_FALSE(TickRuns(14, 30, 0));

  Write([](TRegistry& Reg) { Reg.WriteString("CBxSchedule_Checked", "True"); });
  Remove("ScheduleItemindex");
  EXPECT_TRUE(TickRuns(14, 30, 0)) << "missing kind: daily";
  EXPECT_FALSE(TickRuns(0, 0, 0));

  const double Nan = std::nan("");
  const char Short[4] = {};
  for (auto Damage : std::initializer_list<std::function<void(TRegistry&)>>{
           [](TRegistry& Reg) { RegDeleteValueA(Reg.CurrentKey(), "DateTimePicker_Time"); },
           [&](TRegistry& Reg) { Reg.WriteBinary("DateTimePicker_Time", Short, sizeof Short); },
           [&](TRegistry& Reg) { Reg.WriteBinary("DateTimePicker_Time", &Nan, sizeof Nan); },
           [](TRegistry& Reg) { Reg.WriteString("DateTimePicker_Time", "14:30:00"); }}) {
    Write(Damage);
    EXPECT_FALSE(TickRuns(14, 30, 0));
    EXPECT_FALSE(TickRuns(0, 0, 0));
    EXPECT_FALSE(TickRuns(12, 0, 0));
  }
}

// A scheduled run reads busy to the schedule itself: the next minute's tick,
// arriving while the run sweeps, starts nothing inside it.
TEST_F(ScheduleTest, NoTickStartsARunWhileACommandRuns) {
  Stored("CBxSchedule_Checked", "True");
  Key.SetDword("ScheduleItemindex", skMinutely, DialogKey);
  Switches({"DelLocationBar", "DelTempFiles"});
  for (int I = 0; I < 20; ++I) Temp.File(std::to_string(I) + ".txt");
  TMainForm& F = CreateForm();
  F.SetBusy(true);
  EXPECT_FALSE(TickRuns(9, 0, 0));
  F.SetBusy(false);

  std::vector<bool> IdleDuringTheRun, LaterTickRan;
  F.SweepProgress.HoldAfter(1);
  F.OnSweepWait = [&] {
    if (!IdleDuringTheRun.empty() || F.SweepProgress.Entries < 1) return;
    IdleDuringTheRun.push_back(F.Idle());
    LaterTickRan.push_back(TickRuns(9, 2, 0));
    F.SweepProgress.HoldAfter(UINT64_MAX);
  };
  EXPECT_TRUE(TickRuns(9, 1, 0));
  ASSERT_EQ(IdleDuringTheRun.size(), 1u);
  EXPECT_FALSE(IdleDuringTheRun[0]) << "the scheduled run reads busy";
  EXPECT_FALSE(LaterTickRan[0]) << "a run started inside the scheduled one";
  EXPECT_TRUE(F.Idle()) << "the run left the busy state it entered";
}

// A late tick never makes up a run; an early one in a second already looked
// at starts nothing more.
TEST_F(ScheduleTest, EachSecondIsLookedAtOnce) {
  Stored("CBxSchedule_Checked", "True");
  Key.SetDword("ScheduleItemindex", skMinutely, DialogKey);
  TMainForm& F = CreateScheduled();
  SYSTEMTIME T{2026, 3, 0, 4, 8, 0, 59, 990};
  F.Clock = [&] { return T; };
  const std::size_t Start = F.Action->Messages.size();
  F.TimerTimer();          // 8:00:59.990
  T.wSecond = 1;           // the tick of 8:01:00 came late: no run
  T.wMinute = 1;
  T.wMilliseconds = 20;
  F.TimerTimer();
  EXPECT_EQ(F.Action->Messages.size(), Start);
  T.wSecond = 0;           // 8:02:00, twice
  T.wMinute = 2;
  F.TimerTimer();
  F.TimerTimer();
  EXPECT_EQ(F.Action->Messages.size(), Start + 2) << "one run: its line and its summary";
}

// The timer is re-armed on every tick for just after the next whole second,
// so that its drift never skips a second.
TEST_F(ScheduleTest, TicksAreDueJustAfterTheNextWholeSecond) {
  Stored("CBxSchedule_Checked", "True");
  TMainForm& F = CreateScheduled();
  ASSERT_TRUE(F.Timer.Enabled()) << "enabled at creation by the stored schedule";
  for (int Ms : {0, 1, 500, 700, 999}) {
    At(7, 0, 1 + Ms % 59, Ms);
    F.TimerTimer();
    EXPECT_EQ(F.Timer.Delay(), 1000u - Ms + TickMarginMs) << Ms;
  }

  // With the real clock and the real timer: each tick re-arms for the next second.
  std::vector<SYSTEMTIME> Ticks;
  F.Clock = [&] {
    SYSTEMTIME Now;
    GetLocalTime(&Now);
    Ticks.push_back(Now);
    return Now;
  };
  ASSERT_TRUE(WaitUntil([&] {
    Pump();
    return Ticks.size() >= 2;
  }));
  EXPECT_EQ(F.Timer.Delay(), MsToNextTick(Ticks.back().wMilliseconds));
}

TEST_F(ScheduleTest, TheTimerFollowsTheStoredSwitchAtCreation) {
  for (const char* Value : {"False", "true", ""}) {
    Stored("CBxSchedule_Checked", Value);
    EXPECT_FALSE(Create().Timer.Enabled()) << Value;
    Form.reset();
    Redirect(false);
  }
}

TEST_F(ScheduleTest, TheRunArgumentRunsOnlyWithTheStartUpSchedule) {
  Switches({"DelLocationBar"});
  struct TCase {
    const char* Arg;
    const char* AtStart;
    bool Runs;
  };
  for (const TCase& C : {TCase{"run", "True", true}, TCase{"run", "False", false},
                         TCase{"run", "true", false}, TCase{"Run", "True", false},
                         TCase{"", "True", false}}) {
    Stored("CBxScheduleStart_Checked", C.AtStart);
    TMainForm& F = Create(C.Arg);
    EXPECT_EQ(!F.Action->Messages.empty(), C.Runs) << C.Arg << " " << C.AtStart;
    EXPECT_FALSE(F.Visible()) << "the run comes before the window shows";
    Form.reset();
    Redirect(false);
  }
}

// Windows ends the session: the shutdown run and the tray eject as switched,
// and the answer is always yes. A program closing us (ENDSESSION_CLOSEAPP) is
// no end of the session.
TEST_F(ScheduleTest, EndingTheSessionRunsAndEjectsAsSwitchedAndAlwaysAgrees) {
  const bool Drives = GetDriveTypeA("R:\\") == DRIVE_CDROM;
  struct TCase {
    const char* AtShutdown;  // null: missing
    bool Eject, Disc;
    bool Runs, Ejects;
    LPARAM Flags = ENDSESSION_LOGOFF;
  };
  const TCase Cases[] = {
      {"True", false, false, true, false}, {"False", false, false, false, false},
      {nullptr, false, false, false, false}, {"True", true, true, true, true},
      {"False", true, true, false, true},  {"True", true, false, true, false},
      {"True", true, true, false, false, ENDSESSION_CLOSEAPP},
  };
  int Skipped = 0;
  for (const TCase& C : Cases) {
    if (C.Disc && !Drives) {  // scripts/test gives the prefix a CD-ROM drive R:
      ++Skipped;
      continue;
    }
    Switches(C.Eject ? std::initializer_list<const char*>{"DelLocationBar", "EjectCdrom"}
                     : std::initializer_list<const char*>{"DelLocationBar"});
    if (C.AtShutdown) Stored("CBxScheduleShut_Checked", C.AtShutdown);
    if (C.Disc) {
      ASSERT_TRUE(CreateDirectoryA(HomePath("cdrom-r").c_str(), nullptr));
    }
    TMainForm& F = CreateForm();
    F.Action->Mci.SendString = [](LPCSTR, LPSTR, UINT, HWND) -> MCIERROR { return 0; };
    EXPECT_EQ(SendMessageA(F.Handle(), WM_QUERYENDSESSION, 0, C.Flags), 1);
    std::size_t Lines = 0;
    bool Ejected = false;
    for (const std::string& Line : F.Action->Messages) {
      ++Lines;
      Ejected |= Line.find("Succeeded in Eject CD-ROM") != std::string::npos;
    }
    EXPECT_EQ(Ejected, C.Ejects) << C.AtShutdown << C.Eject << C.Disc;
    // A run writes its item's line and its summary.
    EXPECT_EQ(Lines, (C.Runs ? 2u : 0u) + (C.Ejects ? 1u : 0u)) << C.AtShutdown << C.Eject << C.Disc;
    Form.reset();
    Redirect(false);
    RemoveDirectoryA(HomePath("cdrom-r").c_str());
    SHDeleteValueA(HKEY_CURRENT_USER, Key.Sub(DialogKey).c_str(), "CBxScheduleShut_Checked");
  }
  if (Skipped) GTEST_SKIP() << Skipped << " cases with a disc need a CD-ROM drive R:";
}

}  // namespace
