#include "settings/UOptions.h"

#include "actions/ActionUnit.h"
#include "base/DateTime.h"
#include "resource.h"
#include "settings/DialogDriver.h"
#include "support/TempTree.h"
#include "support/TestKey.h"
#include "support/TestPolicies.h"
#include "win/Registry.h"
#include "win/Shell.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <optional>
#include <memory>
#include <vector>

namespace {

constexpr char Settings[] = "Software\\Vellumix";
constexpr char DialogKey[] = "Software\\Vellumix\\TOptionDlg";
bool TOption::*const AllSwitches[] = {
    &TOption::Autorun, &TOption::MinRun, &TOption::ShowTrayIconOnly, &TOption::GradientMenu,
    &TOption::DelInetTemp, &TOption::DelCookie, &TOption::DelHistory, &TOption::DelLocationBar,
    &TOption::DelInternetCache, &TOption::DelGoogleHistory, &TOption::ClearRecentDoc,
    &TOption::ClearDelphiRecentDoc, &TOption::ClearVbRecentDoc, &TOption::ClearVcRecentDoc,
    &TOption::ClearRlpRecentDoc, &TOption::ClearWmpRecentDoc, &TOption::EmptyRecycleBin,
    &TOption::EjectCdrom, &TOption::DelTempFiles, &TOption::KeepTempFiles};
constexpr char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Records the registered messages posted to top-level windows of this thread.
class TBroadcastLog {
public:
  TBroadcastLog() {
    WNDCLASSA Class{};
    Class.lpfnWndProc = Proc;
    Class.lpszClassName = "TBroadcastLog";
    RegisterClassA(&Class);
    FWindow = CreateWindowA("TBroadcastLog", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                            nullptr);
    SetWindowLongPtrA(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~TBroadcastLog() { DestroyWindow(FWindow); }
  std::vector<std::string> Names;

private:
  static LRESULT CALLBACK Proc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
    auto* Self = reinterpret_cast<TBroadcastLog*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
    if (Self && Msg >= 0xC000) {
      char Name[256] = {};
      if (GetClipboardFormatNameA(Msg, Name, sizeof Name)) Self->Names.push_back(Name);
    }
    return DefWindowProcA(Window, Msg, WParam, LParam);
  }
  HWND FWindow;
};

class OptionDlgTest : public ::testing::Test {
protected:
  OptionDlgTest() : Redirect(Key.Path()) {
    Option.KeyPath = Settings;
    TimerWindow = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    Timer.Attach(TimerWindow, 1);
  }
  ~OptionDlgTest() override {
    Dialog.reset();
    Timer.SetEnabled(false);
    DestroyWindow(TimerWindow);
  }

  // Opens the dialog as the user sees it; without a companion unless asked.
  TOptionDlg& Open(const std::string& Companion = "Z:\\nowhere\\blinder.exe") {
    TOptionDlg::THost Host;
    Host.Option = &Option;
    Host.SetAutorun = [this](bool Enable, bool RunAtStart) {
      AutorunCalls.push_back({Enable, RunAtStart});
      SetAutorun(Enable, RunAtStart);
    };
    Host.Timer = &Timer;
    Host.HelpCommand = [this] { ++HelpCount; };
    Host.Items = Items;
    Dialog = std::make_unique<TOptionDlg>(std::move(Host));
    Dialog->CompanionPath = Companion;
    EXPECT_TRUE(Dialog->Create(nullptr));
    ShowWindow(Dialog->Handle(), SW_SHOW);
    SetForegroundWindow(Dialog->Handle());
    PumpDialog(*Dialog);
    return *Dialog;
  }
  std::vector<TItemBox> Items;  // of the Browsers and Windows pages
  HWND C(int Id) const { return Dialog->Control(Id); }
  bool Ticked(int Id) const { return Dialog->Checked(Id); }
  bool Enabled(int Id) const { return IsWindowEnabled(C(Id)) != FALSE; }
  int ScheduleIndex() const {
    return static_cast<int>(SendMessageA(C(IDC_CBBXSCHEDULE), CB_GETCURSEL, 0, 0));
  }
  SYSTEMTIME PickerTime() const {
    SYSTEMTIME T{};
    SendMessageA(C(IDC_DATETIMEPICKER), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&T));
    return T;
  }
  void Click(int Id) {
    SendMessageA(C(Id), BM_CLICK, 0, 0);
    PumpDialog(*Dialog);
  }
  // Selects a tab as a click on it does.
  void ChooseTab(int Index) {
    Dialog->SelectTab(Index);
    SetFocus(Dialog->Item(IDC_PAGECONTROL));
  }

  // The dialog's own values in the registry, as text.
  static std::map<std::string, std::string> DialogValues() {
    std::map<std::string, std::string> Values;
    TRegistry Reg;
    if (!Reg.OpenKey(DialogKey, false)) return Values;
    for (const std::string& Name : Reg.GetValueNames()) {
      if (auto Text = Reg.ReadString(Name))
        Values[Name] = *Text;
      else if (auto Number = Reg.ReadInteger(Name))
        Values[Name] = std::to_string(*Number);
      else if (auto Data = Reg.ReadBinary(Name))
        Values[Name] = std::string(Data->begin(), Data->end());
    }
    return Values;
  }
  static void WriteTime(const void* Data, std::size_t Size) {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(DialogKey, true));
    Reg.WriteBinary("DateTimePicker_Time", Data, Size);
  }

  TTestKey Key;
  TRedirectedHkcu Redirect;
  TOption Option;
  HWND TimerWindow;
  TTimer Timer;
  std::vector<std::pair<bool, bool>> AutorunCalls;
  int HelpCount = 0;
  std::unique_ptr<TOptionDlg> Dialog;
};

TEST_F(OptionDlgTest, OpensOnTheInternetTabWithTheSettingsLoaded) {
  Option.DelCookie = true;
  Option.ClearVbRecentDoc = true;
  Option.DelTempFiles = true;
  Option.KeepTempFiles = true;
  Option.EjectCdrom = true;
  Option.DelInternetCache = true;
  TOptionDlg& D = Open();
  char Caption[64];
  GetWindowTextA(D.Handle(), Caption, sizeof Caption);
  EXPECT_STREQ(Caption, "Options Dialog");
  EXPECT_EQ(D.SelectedTab(), 0);
  EXPECT_EQ(D.ShownPage(), D.Page(0));
  EXPECT_EQ(D.TabCount(), 6);  // no companion: no Blinder tab
  EXPECT_TRUE(Ticked(IDC_CBXCOOKIE));
  EXPECT_TRUE(Ticked(IDC_CBXVB6));
  EXPECT_TRUE(Ticked(IDC_CBXCDROM));
  EXPECT_FALSE(Ticked(IDC_CBXHISTRORY));
  EXPECT_TRUE(Ticked(IDC_CBXTEMPFILES));
  EXPECT_TRUE(Enabled(IDC_CBXKEEPTEMPFILES));  // ticking the sweep enabled it
  EXPECT_FALSE(Option.DelInternetCache);
  char Text[128];
  GetWindowTextA(C(IDC_CBXKEEPTEMPFILES), Text, sizeof Text);
  EXPECT_STREQ(Text, "&Keep the files that last accessed in over a week (recommended)");
  // Fresh settings: no schedule stored, so "Daily" at 09:00, and the schedule controls off.
  EXPECT_EQ(ScheduleIndex(), 2);
  EXPECT_EQ(PickerTime().wHour, 9);
  EXPECT_EQ(PickerTime().wMinute, 0);
  EXPECT_FALSE(Enabled(IDC_CBBXSCHEDULE));
  EXPECT_FALSE(Enabled(IDC_DATETIMEPICKER));
  // The picture of the notification area is there.
  EXPECT_TRUE(SendMessageA(C(IDC_IMGNOTIFICATIONAREA), STM_GETIMAGE, IMAGE_BITMAP, 0));
}

// The tabs' pictures (16 pixels at 96 dpi) follow the dialog's scale: the drawn
// size nearest below, in a new list whenever the scale changes.
TEST_F(OptionDlgTest, TabPicturesFollowTheDialogsScale) {
  TOptionDlg& D = Open();
  auto IconSize = [&] {
    int Width = 0, Height = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(
                              SendDlgItemMessageA(D.Handle(), IDC_PAGECONTROL, TCM_GETIMAGELIST, 0, 0)),
                          &Width, &Height);
    return Width;
  };
  EXPECT_EQ(IconSize(), MulDiv(16, WindowPixelsPerInch(D.Handle()), 96));
  for (auto [Dpi, Size] : {std::pair{144, 24}, {120, 20}, {168, 24}, {288, 48}, {96, 16}}) {
    RECT Suggested;
    GetWindowRect(D.Handle(), &Suggested);
    SendMessageA(D.Handle(), WM_DPICHANGED, MAKEWPARAM(Dpi, Dpi), reinterpret_cast<LPARAM>(&Suggested));
    EXPECT_EQ(IconSize(), Size) << "at " << Dpi << " dpi";
  }
}

TEST_F(OptionDlgTest, TabGoesFromTheTabsIntoTheShownPage) {
  TOptionDlg& D = Open();
  SetFocus(D.Item(IDC_PAGECONTROL));
  PressKey(D, VK_TAB);
  EXPECT_EQ(GetFocus(), C(IDC_CBXINTERNETTEMP));
  PressKey(D, VK_SPACE);
  EXPECT_TRUE(Ticked(IDC_CBXINTERNETTEMP));
  // A mnemonic on another page's hidden box does nothing; on this page it ticks.
  PressAlt(D, 'c');
  EXPECT_TRUE(Ticked(IDC_CBXCOOKIE));
}

// Ends the process with a failure when the dialog stops answering: a hang in
// the dialog manager cannot be interrupted on its own thread.
class TWatchdog {
public:
  explicit TWatchdog(DWORD Ms) : FDone(CreateEventA(nullptr, TRUE, FALSE, nullptr)), FMs(Ms) {
    FThread = CreateThread(nullptr, 0, &TWatchdog::Watch, this, 0, nullptr);
  }
  ~TWatchdog() {
    SetEvent(FDone);
    WaitForSingleObject(FThread, INFINITE);
    CloseHandle(FThread);
    CloseHandle(FDone);
  }

private:
  static DWORD WINAPI Watch(LPVOID Self) {
    auto* W = static_cast<TWatchdog*>(Self);
    if (WaitForSingleObject(W->FDone, W->FMs) == WAIT_TIMEOUT) {
      std::fprintf(stderr, "The options dialog stopped answering (it loops in its key handling).\n");
      std::fflush(stderr);
      ExitProcess(3);
    }
    return 0;
  }
  HANDLE FDone, FThread;
  DWORD FMs;
};

// Ctrl+Tab, as the keyboard sends it.
void PressCtrlTab(TDialog& D) {
  BYTE Keys[256];
  GetKeyboardState(Keys);
  Keys[VK_CONTROL] = 0x80;
  SetKeyboardState(Keys);
  PressKey(D, VK_TAB);
  Keys[VK_CONTROL] = 0;
  SetKeyboardState(Keys);
}

TEST_F(OptionDlgTest, ATurnedPageTakesTheFocusAndHiddenPagesTakeNoKeys) {
  TOptionDlg& D = Open();
  TWatchdog Watchdog(20000);
  SetFocus(D.Item(IDC_PAGECONTROL));
  PressKey(D, VK_TAB);
  ASSERT_EQ(GetFocus(), C(IDC_CBXINTERNETTEMP));
  PressCtrlTab(D);
  ASSERT_EQ(D.ShownPage(), D.Page(1));
  EXPECT_EQ(GetFocus(), C(IDC_CBXRECENTDOC)) << "the new page's first box";
  PressKey(D, VK_SPACE);
  PressKey(D, 'Q');  // no mnemonic anywhere
  EXPECT_TRUE(Ticked(IDC_CBXRECENTDOC));
  EXPECT_FALSE(Ticked(IDC_CBXINTERNETTEMP)) << "a box on a hidden page";
  // Tab visits only what shows.
  for (int I = 0; I < 24; ++I) {
    PressKey(D, VK_TAB);
    HWND Focus = GetFocus();
    EXPECT_TRUE(IsWindowVisible(Focus)) << I;
    EXPECT_FALSE(IsChild(D.Page(0), Focus)) << I;
  }
  // With the focus on the tabs, turning a page leaves it there.
  SetFocus(D.Item(IDC_PAGECONTROL));
  PressCtrlTab(D);
  EXPECT_EQ(D.ShownPage(), D.Page(2));
  EXPECT_EQ(GetFocus(), D.Item(IDC_PAGECONTROL));
}

// Alt and a letter reach one control only: on every page, no two controls (the
// dialog's own buttons included) share a mnemonic.
TEST_F(OptionDlgTest, EveryPageHasDistinctMnemonics) {
  TTempTree Tree("OptionsMnemonics");
  TOptionDlg& D = Open(Tree.File("blinder.exe"));
  auto Mnemonic = [](HWND Control) {
    char Text[256] = {};
    GetWindowTextA(Control, Text, sizeof Text);
    for (const char* P = Text; *P; ++P)
      if (*P == '&' && P[1] && P[1] != '&') return static_cast<char>(std::tolower(static_cast<unsigned char>(P[1])));
    return '\0';
  };
  std::map<char, std::string> Own;
  for (int Id : {IDOK, IDCANCEL, IDC_HELPBTN})
    if (char M = Mnemonic(D.Item(Id))) Own[M] = "button " + std::to_string(Id);
  for (int P = 0; P < TOptionDlg::PageCount; ++P) {
    std::map<char, std::string> Seen = Own;
    for (HWND Child = GetWindow(D.Page(P), GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT)) {
      const char M = Mnemonic(Child);
      if (!M) continue;
      char Text[256] = {};
      GetWindowTextA(Child, Text, sizeof Text);
      EXPECT_FALSE(Seen.count(M)) << "page " << P << ": '" << M << "' of \"" << Text << "\" is also "
                                  << Seen[M];
      Seen[M] = Text;
    }
  }
  // Alt+H on the Internet page presses Help.
  SetFocus(D.Item(IDC_PAGECONTROL));
  PressAlt(D, 'h');
  EXPECT_EQ(HelpCount, 1);
  EXPECT_FALSE(Ticked(IDC_CBXHISTRORY));
}

TEST_F(OptionDlgTest, TheBlinderTabShowsOnlyWithTheCompanionButOKAlwaysTellsIt) {
  TTempTree Tree("OptionsCompanion");
  const std::string Companion = Tree.File("blinder.exe");
  struct TCase {
    bool WithCompanion;
    const char* StoredActive;
    int Tabs;
    std::vector<std::string> Broadcast;
  };
  for (const TCase& Case : {TCase{false, nullptr, 6, {"Disable Blinder", "Hide Blinder"}},
                            TCase{false, "True", 6, {"Enable Blinder", "Show Blinder"}},
                            TCase{true, nullptr, 7, {"Disable Blinder", "Hide Blinder"}}}) {
    SCOPED_TRACE(Case.Tabs);
    if (Case.StoredActive) {
      TRegistry Reg;
      ASSERT_TRUE(Reg.OpenKey(DialogKey, true));
      Reg.WriteString("CBxActiveBlinder_Checked", Case.StoredActive);
      Reg.WriteString("CBxBlinderIcon_Checked", Case.StoredActive);
    }
    TBroadcastLog Log;
    TOptionDlg& D = Open(Case.WithCompanion ? Companion : "Z:\\nowhere\\blinder.exe");
    EXPECT_EQ(D.TabCount(), Case.Tabs);
    SetFocus(D.Item(IDOK));
    PressKey(D, VK_RETURN);
    EXPECT_EQ(D.ModalResult(), IDOK);
    EXPECT_FALSE(D.Handle());
    MSG Msg;
    while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&Msg);
    EXPECT_EQ(Log.Names, Case.Broadcast);
    SHDeleteKeyA(HKEY_CURRENT_USER, DialogKey);
  }
}

TEST_F(OptionDlgTest, WithoutTheTemporaryFilesSweepKeepTempFilesIsStoredOn) {
  Option.DelTempFiles = true;
  Option.KeepTempFiles = false;
  TOptionDlg& D = Open();
  EXPECT_FALSE(Ticked(IDC_CBXKEEPTEMPFILES));
  Click(IDC_CBXTEMPFILES);
  EXPECT_FALSE(Enabled(IDC_CBXKEEPTEMPFILES));
  Click(IDC_CBXRECYCLE);
  SendMessageA(D.Handle(), WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(Option.DelTempFiles);
  EXPECT_TRUE(Option.KeepTempFiles);
  EXPECT_TRUE(Option.EmptyRecycleBin);
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(Settings, false));
  EXPECT_EQ(Reg.ReadInteger("DelTempFiles"), 0u);
  EXPECT_EQ(Reg.ReadInteger("KeepTempFiles"), 1u);
  EXPECT_EQ(Reg.ReadInteger("EmptyRecycleBin"), 1u);
  EXPECT_EQ(Reg.ReadInteger("DelInternetCache"), 0u);
}

TEST_F(OptionDlgTest, ClearingOnStartUpStartsWithWindowsAndOKRegistersIt) {
  TOptionDlg& D = Open();
  ChooseTab(5);
  EXPECT_EQ(D.ShownPage(), D.Page(5));
  PressAlt(D, 'u');  // "Clear on Windows start&up"
  EXPECT_TRUE(Ticked(IDC_CBXSCHEDULESTART));
  EXPECT_TRUE(Ticked(IDC_CBXAUTORUN));
  // Unticking it again leaves the autorun box ticked.
  PressAlt(D, 'u');
  PressAlt(D, 'u');
  EXPECT_TRUE(Ticked(IDC_CBXAUTORUN));

  // The schedule: ticked, it enables the list and, with "Daily", the time.
  SetFocus(C(IDC_CBXSCHEDULE));
  PressKey(D, VK_SPACE);
  EXPECT_TRUE(Enabled(IDC_CBBXSCHEDULE));
  EXPECT_TRUE(Enabled(IDC_LABEL1));
  EXPECT_TRUE(Enabled(IDC_DATETIMEPICKER));
  PressAlt(D, 'i');  // "Timed &intervals" focuses the list
  EXPECT_EQ(GetFocus(), C(IDC_CBBXSCHEDULE));
  PressKey(D, VK_UP);  // "Hourly"
  EXPECT_EQ(ScheduleIndex(), 1);
  EXPECT_FALSE(Enabled(IDC_DATETIMEPICKER));
  EXPECT_FALSE(Enabled(IDC_LBLSTARTTIME));

  SetFocus(D.Item(IDOK));
  PressKey(D, VK_RETURN);
  EXPECT_EQ(D.ModalResult(), IDOK);
  ASSERT_EQ(AutorunCalls.size(), 1u);
  EXPECT_EQ(AutorunCalls[0], std::make_pair(true, true));
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(RunKey, false));
  auto Command = Reg.ReadString("Vellumix");
  ASSERT_TRUE(Command);
  EXPECT_EQ(Command->substr(Command->size() - 4), " run");
  EXPECT_TRUE(Timer.Enabled());
  EXPECT_TRUE(Option.Autorun);

  auto Values = DialogValues();
  EXPECT_EQ(Values["FormVersion"], "0");
  EXPECT_EQ(Values["CBxScheduleStart_Checked"], "True");
  EXPECT_EQ(Values["CBxSchedule_Checked"], "True");
  EXPECT_EQ(Values["CbBxSchedule_Enabled"], "True");
  EXPECT_EQ(Values["DateTimePicker_Enabled"], "False");
  ASSERT_TRUE(Reg.OpenKey(DialogKey, false));
  EXPECT_EQ(Reg.ReadInteger("ScheduleItemindex"), 1u);
  auto Time = Reg.ReadBinary("DateTimePicker_Time");
  ASSERT_TRUE(Time);
  double Value;
  ASSERT_TRUE(DecodeOleDate(*Time, Value));
  EXPECT_NEAR(Value - std::floor(Value), EncodeTime(9, 0, 0), 1e-6);
  EXPECT_GT(Value, EncodeDate(2000, 1, 1));  // the picker's whole value, date included
}

TEST_F(OptionDlgTest, AStoredStartUpRunTicksAutorunAgain) {
  // Start with Windows was switched off from the menu; the dialog switches it back on.
  {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(DialogKey, true));
    Reg.WriteString("FormVersion", "0");
    Reg.WriteString("CBxScheduleStart_Checked", " true ");
  }
  Option.Autorun = false;
  TOptionDlg& D = Open();
  EXPECT_TRUE(Ticked(IDC_CBXSCHEDULESTART));
  EXPECT_TRUE(Ticked(IDC_CBXAUTORUN));
  SendMessageA(D.Handle(), WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(Option.Autorun);
}

TEST_F(OptionDlgTest, CancelAndEscLeaveEverythingAsItWas) {
  for (bool Esc : {false, true}) {
    SCOPED_TRACE(Esc ? "Esc" : "Cancel");
    {
      TRegistry Reg;
      ASSERT_TRUE(Reg.OpenKey(DialogKey, true));
      Reg.WriteString("FormVersion", "0");
      Reg.WriteString("CBxSchedule_Checked", "False");
      Reg.WriteInteger("ScheduleItemindex", 0);
      double Noon = EncodeDate(2020, 5, 6) + EncodeTime(12, 30, 0);
      Reg.WriteBinary("DateTimePicker_Time", &Noon, sizeof Noon);
    }
    const auto Before = DialogValues();
    TOption Was = Option;
    TOptionDlg& D = Open();
    EXPECT_EQ(ScheduleIndex(), 0);
    EXPECT_EQ(PickerTime().wHour, 12);
    EXPECT_EQ(PickerTime().wMinute, 30);
    ChooseTab(5);
    Click(IDC_CBXSCHEDULE);
    Click(IDC_CBXSCHEDULESTART);
    SendMessageA(C(IDC_CBBXSCHEDULE), CB_SETCURSEL, 2, 0);
    ChooseTab(0);
    Click(IDC_CBXCOOKIE);
    if (Esc)
      PressKey(D, VK_ESCAPE);
    else
      Click(IDCANCEL);
    EXPECT_EQ(D.ModalResult(), IDCANCEL);
    EXPECT_FALSE(D.Handle());
    Dialog.reset();
    EXPECT_EQ(DialogValues(), Before);
    for (bool TOption::*Switch : AllSwitches) EXPECT_EQ(Was.*Switch, Option.*Switch);
    EXPECT_TRUE(AutorunCalls.empty());
    EXPECT_FALSE(Timer.Enabled());
    TRegistry Reg;
    EXPECT_FALSE(Reg.OpenKey(Settings, false) && Reg.ValueExists("DelCookie"));
  }
}

TEST_F(OptionDlgTest, TheCloseBoxKeepsTheDialogsOwnValuesOnly) {
  TOptionDlg& D = Open();
  ChooseTab(5);
  Click(IDC_CBXSCHEDULE);
  ChooseTab(0);
  Click(IDC_CBXCOOKIE);
  SendMessageA(D.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(D.ModalResult(), IDCANCEL);
  EXPECT_FALSE(Option.DelCookie);
  EXPECT_TRUE(AutorunCalls.empty());
  EXPECT_FALSE(Timer.Enabled());
  auto Values = DialogValues();
  EXPECT_EQ(Values["CBxSchedule_Checked"], "True");
  EXPECT_EQ(Values["ScheduleItemindex"], "2");
  TRegistry Reg;
  EXPECT_FALSE(Reg.OpenKey(Settings, false) && Reg.ValueExists("DelCookie"));
}

// What the schedule tab shows for what is stored: anything unreadable gives "Daily".
TEST_F(OptionDlgTest, UnreadableScheduleValuesFallBackToDaily) {
  const double SixThirty = EncodeDate(2021, 3, 4) + EncodeTime(6, 30, 0);
  const double NotANumber = NAN;
  const char Seven[7] = {};
  struct TCase {
    const char* Name;
    std::optional<std::uint32_t> Index;
    const void* Time;
    std::size_t Size;
    int Shown;
    int Hour;
  };
  for (const TCase& Case : {
           TCase{"both readable", 0, &SixThirty, 8, 0, 6},
           TCase{"time missing", 1, nullptr, 0, 2, 9},
           TCase{"index missing", std::nullopt, &SixThirty, 8, 2, 9},
           TCase{"time of 7 bytes", 1, Seven, 7, 2, 9},
           TCase{"time not a number", 1, &NotANumber, 8, 2, 9},
           TCase{"index past the list", 5, &SixThirty, 8, 2, 9},
       }) {
    SCOPED_TRACE(Case.Name);
    SHDeleteKeyA(HKEY_CURRENT_USER, DialogKey);
    {
      TRegistry Reg;
      ASSERT_TRUE(Reg.OpenKey(DialogKey, true));
      if (Case.Index) Reg.WriteInteger("ScheduleItemindex", *Case.Index);
      if (Case.Time) Reg.WriteBinary("DateTimePicker_Time", Case.Time, Case.Size);
    }
    Open();
    EXPECT_EQ(ScheduleIndex(), Case.Shown);
    EXPECT_EQ(PickerTime().wHour, Case.Hour);
    Dialog.reset();  // never closed: destroying it saves the dialog's values as they were
  }
  // A stored index as text is no number either.
  SHDeleteKeyA(HKEY_CURRENT_USER, DialogKey);
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(DialogKey, true));
  Reg.WriteString("ScheduleItemindex", "0");
  Reg.WriteBinary("DateTimePicker_Time", &SixThirty, 8);
  Open();
  EXPECT_EQ(ScheduleIndex(), 2);
}

TEST_F(OptionDlgTest, ItemPagesTickWhatTheUserMayChangeAndOKStoresIt) {
  const std::string Admin = "Needs an administrator: start Vellumix as an administrator to clear it.";
  Items = {{"chrome.cache", 0, "Google Chrome", "Cache", "Delete Chrome's cache", false},
           {"chrome.history", 0, "Google Chrome", "History", "Delete Chrome's history", true},
           {"windows.prefetch", 1, "Administrator", "Prefetch", "Delete old prefetch files", false, true, Admin},
           {"windows.run_history", 1, "Explorer", "Run history", "Delete the Run dialog's commands", false}};
  TOptionDlg& D = Open();
  ASSERT_EQ(ListView_GetItemCount(D.ItemList(0)), 2);
  ASSERT_EQ(ListView_GetItemCount(D.ItemList(1)), 2);
  EXPECT_TRUE(D.ItemTicked("chrome.history"));
  D.TickItem("chrome.cache", true);
  D.TickItem("windows.prefetch", true);
  EXPECT_TRUE(D.ItemTicked("chrome.cache"));
  EXPECT_FALSE(D.ItemTicked("windows.prefetch")) << "a box the user may not change";
  // By the keyboard: the page, its list, Space on each row.
  ChooseTab(TOptionDlg::WindowsPage);
  PressKey(D, VK_TAB);
  ASSERT_EQ(GetFocus(), D.ItemList(1));
  char Hint[200] = {};
  GetDlgItemTextA(D.Page(TOptionDlg::WindowsPage), IDC_ITEMHINT, Hint, sizeof Hint);
  EXPECT_STREQ(Hint, Admin.c_str());
  PressKey(D, VK_SPACE);
  EXPECT_FALSE(D.ItemTicked("windows.prefetch"));
  PressKey(D, VK_DOWN);
  PressKey(D, VK_SPACE);
  EXPECT_TRUE(D.ItemTicked("windows.run_history"));
  GetDlgItemTextA(D.Page(TOptionDlg::WindowsPage), IDC_ITEMHINT, Hint, sizeof Hint);
  EXPECT_STREQ(Hint, "Delete the Run dialog's commands");
  SendMessageA(D.Handle(), WM_COMMAND, IDOK, 0);
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey("Software\\Vellumix\\Items", false));
  EXPECT_EQ(Reg.ReadInteger("chrome.cache"), 1u);
  EXPECT_EQ(Reg.ReadInteger("chrome.history"), 1u);
  EXPECT_EQ(Reg.ReadInteger("windows.run_history"), 1u);
  EXPECT_FALSE(Reg.ValueExists("windows.prefetch"));
}

TEST_F(OptionDlgTest, F1OnEveryTabOpensTheHelp) {
  TTempTree Tree("OptionsHelp");
  TOptionDlg& D = Open(Tree.File("blinder.exe"));
  ASSERT_EQ(D.TabCount(), 7);
  for (int Tab = 0; Tab < 7; ++Tab) {
    ChooseTab(Tab);
    PressKey(D, VK_TAB);  // into the page
    ASSERT_TRUE(IsChild(D.Page(Tab), GetFocus())) << Tab;
    PressKey(D, VK_F1);
    EXPECT_EQ(HelpCount, Tab + 1);
  }
  Click(IDC_HELPBTN);
  EXPECT_EQ(HelpCount, 8);
  EXPECT_TRUE(D.Handle());  // help leaves the dialog open
}

// ---- an administrator's policies

constexpr int ItemBoxes[] = {IDC_CBXINTERNETTEMP, IDC_CBXHISTRORY, IDC_CBXCOOKIE, IDC_CBXADDRESS,
                             IDC_CBXGOOGLEHISTORY, IDC_CBXRECENTDOC, IDC_CBXMSMEDIAPLY, IDC_CBXREALPLY,
                             IDC_CBXDELPHI5, IDC_CBXVB6, IDC_CBXVC6, IDC_CBXRECYCLE, IDC_CBXTEMPFILES};

// The controls that the dialog's hint window says are set by the administrator.
std::set<int> AdministratorHints(HWND Dialog) {
  std::set<int> Ids;
  HWND Hints = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND Window, LPARAM Found) {
        char Class[64] = {};
        GetClassNameA(Window, Class, sizeof Class);
        if (lstrcmpiA(Class, TOOLTIPS_CLASSA) != 0) return TRUE;
        *reinterpret_cast<HWND*>(Found) = Window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&Hints));
  if (!Hints || GetWindow(Hints, GW_OWNER) != Dialog) return Ids;
  const auto Count = SendMessageA(Hints, TTM_GETTOOLCOUNT, 0, 0);
  for (WPARAM I = 0; I < static_cast<WPARAM>(Count); ++I) {
    char Text[80] = {};
    TTTOOLINFOA Tool{sizeof Tool};
    Tool.lpszText = Text;
    if (SendMessageA(Hints, TTM_ENUMTOOLSA, I, reinterpret_cast<LPARAM>(&Tool)) &&
        std::string(Text) == "Set by your administrator")
      Ids.insert(static_cast<int>(Tool.uId));
  }
  return Ids;
}

TEST_F(OptionDlgTest, AForcedItemShowsThePolicyAndOKKeepsTheUsersOwnChoice) {
  TTestPolicies Policies(Key, false);  // the user's policies below the redirected HKCU
  Policies.SetDword(HKEY_LOCAL_MACHINE, "Items\\ie.cache", 1);
  Policies.SetDword(HKEY_CURRENT_USER, "Items\\ie.cookies", 0);
  Policies.SetDword(HKEY_CURRENT_USER, "Items\\system.temp", 0);
  Option.DelCookie = Option.DelTempFiles = true;
  TOptionDlg& D = Open();
  EXPECT_TRUE(Ticked(IDC_CBXINTERNETTEMP));
  EXPECT_FALSE(Ticked(IDC_CBXCOOKIE));
  EXPECT_FALSE(Ticked(IDC_CBXTEMPFILES));
  for (int Id : {IDC_CBXINTERNETTEMP, IDC_CBXCOOKIE, IDC_CBXTEMPFILES}) EXPECT_FALSE(Enabled(Id)) << Id;
  EXPECT_FALSE(Enabled(IDC_CBXKEEPTEMPFILES));  // nothing to keep: the sweep is off
  EXPECT_TRUE(Enabled(IDC_CBXHISTRORY));
  EXPECT_EQ(AdministratorHints(D.Handle()), (std::set<int>{IDC_CBXINTERNETTEMP, IDC_CBXCOOKIE, IDC_CBXTEMPFILES}));

  Click(IDC_CBXHISTRORY);  // the user's own changes still count
  SendMessageA(D.Handle(), WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(Option.DelInetTemp);
  EXPECT_TRUE(Option.DelCookie);
  EXPECT_TRUE(Option.DelTempFiles);
  EXPECT_TRUE(Option.DelHistory);
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(Settings, false));
  EXPECT_EQ(Reg.ReadInteger("DelInetTemp"), 0u);
  EXPECT_EQ(Reg.ReadInteger("DelCookie"), 1u);
  EXPECT_EQ(Reg.ReadInteger("DelTempFiles"), 1u);
  // The box stays enabled for the user once the policy goes.
  EXPECT_NE(DialogValues()["CbxTempfiles_Enabled"], "False");
}

TEST_F(OptionDlgTest, ALockedSelectionDisablesEveryItemBox) {
  TTestPolicies Policies(Key, false);
  Policies.SetDword(HKEY_LOCAL_MACHINE, "LockSelection", 1);
  Option.DelCookie = Option.ClearVbRecentDoc = true;
  TOptionDlg& D = Open();
  for (int Id : ItemBoxes) EXPECT_FALSE(Enabled(Id)) << Id;
  EXPECT_TRUE(Ticked(IDC_CBXCOOKIE));
  EXPECT_TRUE(Ticked(IDC_CBXVB6));
  EXPECT_EQ(AdministratorHints(D.Handle()).size(), std::size(ItemBoxes));
  EXPECT_TRUE(Enabled(IDC_CBXAUTORUN));
  EXPECT_TRUE(Enabled(IDC_CBXSCHEDULE));
  Click(IDC_CBXAUTORUN);
  SendMessageA(D.Handle(), WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(Option.DelCookie);
  EXPECT_TRUE(Option.ClearVbRecentDoc);
  EXPECT_FALSE(Option.DelHistory);
  EXPECT_TRUE(Option.Autorun);
}

TEST_F(OptionDlgTest, TheSchedulesPolicyShowsItsValuesAndOKKeepsTheUsersSchedule) {
  const double SixThirty = EncodeDate(2020, 3, 1) + EncodeTime(6, 30, 0);
  {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(DialogKey, true));
    Reg.WriteString("FormVersion", "0");
    Reg.WriteString("CBxSchedule_Checked", "False");
    Reg.WriteString("CBxScheduleShut_Checked", "True");
    Reg.WriteString("CbBxSchedule_Enabled", "False");
    Reg.WriteString("DateTimePicker_Enabled", "False");
    Reg.WriteInteger("ScheduleItemindex", 0);
    Reg.WriteBinary("DateTimePicker_Time", &SixThirty, sizeof SixThirty);
  }
  TTestPolicies Policies(Key, false);
  Policies.SetDword(HKEY_LOCAL_MACHINE, "ScheduleEnabled", 1);
  Policies.SetDword(HKEY_LOCAL_MACHINE, "ScheduleKind", 2);
  Policies.SetString(HKEY_CURRENT_USER, "ScheduleTime", "07:45");
  Policies.SetDword(HKEY_CURRENT_USER, "ScheduleAtShutdown", 0);
  TOptionDlg& D = Open();
  ChooseTab(3);
  EXPECT_TRUE(Ticked(IDC_CBXSCHEDULE));
  EXPECT_EQ(ScheduleIndex(), 2);
  EXPECT_EQ(PickerTime().wHour, 7);
  EXPECT_EQ(PickerTime().wMinute, 45);
  EXPECT_FALSE(Ticked(IDC_CBXSCHEDULESHUT));
  for (int Id : {IDC_CBXSCHEDULE, IDC_CBBXSCHEDULE, IDC_DATETIMEPICKER, IDC_CBXSCHEDULESHUT})
    EXPECT_FALSE(Enabled(Id)) << Id;
  EXPECT_TRUE(Enabled(IDC_CBXSCHEDULESTART));
  EXPECT_EQ(AdministratorHints(D.Handle()),
            (std::set<int>{IDC_CBXSCHEDULE, IDC_CBBXSCHEDULE, IDC_DATETIMEPICKER, IDC_CBXSCHEDULESHUT}));

  SendMessageA(D.Handle(), WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(Timer.Enabled());  // the policy's schedule runs
  ASSERT_EQ(AutorunCalls.size(), 1u);
  EXPECT_EQ(AutorunCalls[0], std::make_pair(false, false));
  auto Values = DialogValues();
  EXPECT_EQ(Values["CBxSchedule_Checked"], "False");
  EXPECT_EQ(Values["CBxScheduleShut_Checked"], "True");
  EXPECT_EQ(Values["CbBxSchedule_Enabled"], "False");
  EXPECT_EQ(Values["DateTimePicker_Enabled"], "False");
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(DialogKey, false));
  EXPECT_EQ(Reg.ReadInteger("ScheduleItemindex"), 0u);
  double Stored = 0;
  auto Time = Reg.ReadBinary("DateTimePicker_Time");
  ASSERT_TRUE(Time && DecodeOleDate(*Time, Stored));
  EXPECT_EQ(Stored, SixThirty);
}

}  // namespace
