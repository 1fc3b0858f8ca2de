// The whole program, started as its own process and driven from outside:
// windows found by class and caption, text read with WM_GETTEXT, buttons
// pressed with BM_CLICK, keys typed through the X server with xdotool.
#include "support/Fixtures.h"
#include "support/Program.h"
#include "support/TempTree.h"
#include "support/Windows.h"
#include "win/Registry.h"
#include "win/Shell.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <sqlite3.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

constexpr char Settings[] = "Software\\Vellumix";
constexpr int MemoId = 600, SpeedBarId = 601, StatusLineId = 603, ExitId = 403, ShredId = 400;

class ProgramTest : public ::testing::Test {
protected:
  void SetUp() override { SHDeleteKeyA(HKEY_CURRENT_USER, Settings); }
  void TearDown() override { SHDeleteKeyA(HKEY_CURRENT_USER, Settings); }

  static std::string Exe() { return BuildFolder() + "vellumix.exe"; }
  // Settings as a first start leaves them, without the greeting.
  static void NotFirstStart() {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(Settings, true));
    Reg.WriteString("FirstTime", "1");
    for (const char* Name : SettingSwitches) Reg.WriteBool(Name, std::string(Name) == "KeepTempFiles");
  }
  static void Set(const char* Name, bool Value) {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(Settings, true));
    Reg.WriteBool(Name, Value);
  }
  // The program's main window once it has settled and has the keyboard; null if it never did.
  static HWND StartInForeground(TProgram& P) {
    HWND Main = P.WaitWindow("TMainForm");
    if (!Main || !P.Settled(Main)) return nullptr;
    SetForegroundWindow(Main);
    return WaitUntil([&] { return GetForegroundWindow() == Main; }) ? Main : nullptr;
  }
  // An address typed into the browser, for the Location Bar item to clear.
  static constexpr char TypedUrls[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
  static void SeedTypedUrl() {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(TypedUrls, true));
    Reg.WriteString("url1", "http://example.invalid/");
  }
  static bool TypedUrlsCleared() {
    TRegistry Reg;
    return Reg.OpenKeyReadOnly(TypedUrls) && Reg.GetValueNames().empty();
  }
  static HWND ExitButton(HWND Main) { return GetDlgItem(GetDlgItem(Main, SpeedBarId), ExitId); }
  // Presses Exit and waits for the program to end.
  static void PressExit(TProgram& P, HWND Main) {
    SendMessageA(ExitButton(Main), BM_CLICK, 0, 0);
    ASSERT_TRUE(P.WaitExit());
    EXPECT_EQ(P.ExitCode(), 0u);
  }
};

TEST_F(ProgramTest, FirstStartGreetsWritesDefaultsAndShowsTheWindow) {
  TProgram P(Exe());
  HWND Box = P.WaitWindow("#32770", true, "Vellumix");
  ASSERT_TRUE(Box);
  EXPECT_EQ(MessageBoxText(Box),
            "This is first time Vellumix starts, Please customize your settings by click "
            "\"options\" button.");
  for (HWND Main : P.Windows("TMainForm")) EXPECT_FALSE(IsWindowVisible(Main));  // greeting first
  SendMessageA(GetDlgItem(Box, IDOK), BM_CLICK, 0, 0);

  HWND Main = P.WaitWindow("TMainForm", true, "Vellumix");
  ASSERT_TRUE(Main);
  EXPECT_TRUE(WaitUntil([&] {
    return WindowText(GetDlgItem(Main, StatusLineId)) ==
           "Click 'Shred' to Clear or 'Options' to Customize your settings";
  }));
  EXPECT_EQ(WindowText(GetDlgItem(Main, MemoId)), "");
  EXPECT_EQ(WindowText(ExitButton(Main)), "Exit");

  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(Settings, false));
  for (const char* Name : SettingSwitches)
    EXPECT_EQ(Reg.ReadInteger(Name), std::string(Name) == "KeepTempFiles" ? 1u : 0u) << Name;
  EXPECT_EQ(Reg.ReadInteger("ConfirmShredAll"), 1u);
  EXPECT_EQ(Reg.ReadString("FirstTime"), "1");
  TRegistry Dialog;
  ASSERT_TRUE(Dialog.OpenKey(std::string(Settings) + "\\TOptionDlg", false));
  EXPECT_EQ(Dialog.ReadString("CBxSchedule_Checked"), "False");

  PressExit(P, Main);
  TRegistry Position;
  ASSERT_TRUE(Position.OpenKey(std::string(Settings) + "\\Position", false));
  EXPECT_EQ(Position.ReadString("FormVersion"), "1");

  // The mutex went with the program: the next start is a first instance, with no greeting.
  TProgram Again(Exe());
  HWND Second = Again.WaitWindow("TMainForm", true, "Vellumix");
  ASSERT_TRUE(Second);
  EXPECT_TRUE(Again.Windows("#32770").empty());
  PressExit(Again, Second);
}

TEST_F(ProgramTest, ASecondStartBringsTheFirstForwardAndLeaves) {
  NotFirstStart();
  TProgram First(Exe());
  HWND Main = First.WaitWindow("TMainForm");
  ASSERT_TRUE(Main);
  PostMessageA(Main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(Main); }));

  TProgram Second(Exe());
  ASSERT_TRUE(Second.WaitExit());
  EXPECT_EQ(Second.ExitCode(), 0u);
  EXPECT_TRUE(WaitUntil([&] {
    HWND App = First.WaitWindow("TApplication", false);
    return IsWindowVisible(Main) && App && !IsIconic(App);
  }));
  EXPECT_EQ(First.Windows("TMainForm").size(), 1u);
  PressExit(First, Main);
}

// Which windows show at start, by the two display switches.
TEST_F(ProgramTest, DisplaySwitchesDecideWhatShowsAtStart) {
  struct TCase {
    bool MinRun, TrayOnly;
    bool MainVisible, ButtonVisible, Minimised;
  };
  for (TCase C : {TCase{true, false, false, true, true}, TCase{false, true, true, false, false},
                  TCase{true, true, false, false, false}}) {
    SCOPED_TRACE(std::to_string(C.MinRun) + std::to_string(C.TrayOnly));
    NotFirstStart();
    Set("MinRun", C.MinRun);
    Set("ShowTrayIconOnly", C.TrayOnly);
    TProgram P(Exe());
    HWND Main = P.WaitWindow("TMainForm", false);
    ASSERT_TRUE(Main);
    ASSERT_TRUE(P.Settled(Main));  // the message loop runs: start-up is over
    HWND App = P.WaitWindow("TApplication", false);
    EXPECT_EQ(IsWindowVisible(Main) != FALSE, C.MainVisible);
    EXPECT_EQ(IsWindowVisible(App) != FALSE, C.ButtonVisible);
    EXPECT_EQ(IsIconic(App) != FALSE, C.Minimised);
    // Closing the program never shown leaves no placement behind.
    PostMessageA(Main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(P.WaitExit());
    TRegistry Reg;
    EXPECT_EQ(Reg.KeyExists(std::string(Settings) + "\\Position"), C.MainVisible);
    SHDeleteKeyA(HKEY_CURRENT_USER, Settings);
  }
}

TEST_F(ProgramTest, PlacementIsRestoredAtTheNextStart) {
  NotFirstStart();
  {
    TProgram P(Exe());
    HWND Main = P.WaitWindow("TMainForm");
    ASSERT_TRUE(Main);
    SetWindowPos(Main, nullptr, 30, 40, 600, 400, SWP_NOZORDER);
    PressExit(P, Main);
  }
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(std::string(Settings) + "\\Position", false));
  EXPECT_EQ(Reg.ReadString("NormPos"), "30,40,630,440");
  TProgram P(Exe());
  HWND Main = P.WaitWindow("TMainForm");
  ASSERT_TRUE(Main);
  RECT Rect;
  GetWindowRect(Main, &Rect);
  EXPECT_EQ(Rect.left, 30);
  EXPECT_EQ(Rect.top, 40);
  EXPECT_EQ(Rect.right, 630);
  EXPECT_EQ(Rect.bottom, 440);
  PressExit(P, Main);
}

std::string ReadFile(const std::string& Path) {
  std::ifstream In(Path);
  std::stringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

// Ends stand-in companions that a failed test left running (they would keep
// the test run's output open).
struct TCompanionReaper {
  ~TCompanionReaper() {
    while (HWND Window = FindWindowA("BlinderStandIn", nullptr)) {
      DWORD Pid = 0;
      GetWindowThreadProcessId(Window, &Pid);
      HANDLE Process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, Pid);
      if (!Process) break;
      TerminateProcess(Process, 1);
      WaitForSingleObject(Process, 5000);
      CloseHandle(Process);
    }
  }
};

// A copy in a folder the user can write to (a portable copy in Downloads)
// starts the companion beside it only once the user has switched it on: else
// anything a web page dropped there under that name would run.
TEST_F(ProgramTest, APortableCopyStartsTheCompanionOnlyWhenSwitchedOnHiddenAndTellsItToExit) {
  TCompanionReaper Reaper;
  NotFirstStart();
  const std::string Folder = TempFolder() + "\\vellumix-companion\\";
  CreateDirectoryA(Folder.c_str(), nullptr);
  DeleteFileA((Folder + "blinder.log").c_str());
  ASSERT_TRUE(CopyFileA(Exe().c_str(), (Folder + "vellumix.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((BuildFolder() + "tests\\companion\\blinder.exe").c_str(), (Folder + "blinder.exe").c_str(), FALSE));
  constexpr char DialogKey[] = "Software\\Vellumix\\TOptionDlg";
  SHDeleteValueA(HKEY_CURRENT_USER, DialogKey, "CBxActiveBlinder_Checked");
  {
    TProgram P(Folder + "vellumix.exe");
    HWND Main = P.WaitWindow("TMainForm");
    ASSERT_TRUE(Main);
    PressExit(P, Main);
    ASSERT_TRUE(P.WaitExit());
  }
  const char On[] = "True";
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, DialogKey, "CBxActiveBlinder_Checked", REG_SZ, On, sizeof On),
            ERROR_SUCCESS);
  TProgram P(Folder + "vellumix.exe");
  HWND Main = P.WaitWindow("TMainForm");
  ASSERT_TRUE(Main);
  EXPECT_TRUE(WaitUntil([&] { return !ReadFile(Folder + "blinder.log").empty(); }));
  SHDeleteValueA(HKEY_CURRENT_USER, DialogKey, "CBxActiveBlinder_Checked");
  // One start only: the copy that was not switched on started none.
  EXPECT_EQ(ReadFile(Folder + "blinder.log"), "started: /startup show=0\n");  // SW_HIDE
  PressExit(P, Main);
  EXPECT_TRUE(WaitUntil([&] { return ReadFile(Folder + "blinder.log").find("Exit Blinder") != std::string::npos; }));
}

// Browser and folder windows of another program (here, a thread of this
// runner) are closed when the user says yes to the start-up question.
TEST_F(ProgramTest, TheIeArgumentOffersToCloseBrowserWindows) {
  NotFirstStart();
  std::atomic<DWORD> ThreadId{0};
  HWND Windows[3] = {};
  std::thread Browsers([&] {
    WNDCLASSA Class{};
    Class.lpfnWndProc = DefWindowProcA;
    const char* Names[] = {"IEFrame", "CabinetWClass", "Notepad"};
    for (int I = 0; I < 3; ++I) {
      Class.lpszClassName = Names[I];
      RegisterClassA(&Class);
      Windows[I] = CreateWindowA(Names[I], "", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    }
    ThreadId = GetCurrentThreadId();
    MSG Msg;
    while (GetMessageA(&Msg, nullptr, 0, 0) > 0) DispatchMessageA(&Msg);
    DestroyWindow(Windows[2]);
  });
  ASSERT_TRUE(WaitUntil([&] { return ThreadId != 0; }));

  TProgram P(Exe(), "ie");
  HWND Question = P.WaitWindow("#32770", true, "Confirm Close Browsers");
  EXPECT_TRUE(Question);
  if (Question) {
    EXPECT_EQ(MessageBoxText(Question), "Let Vellumix close all Internet Explorer for you now?");
    SendMessageA(GetDlgItem(Question, IDYES), BM_CLICK, 0, 0);
  }
  HWND Main = P.WaitWindow("TMainForm");
  EXPECT_TRUE(Main);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(Windows[0]) && !IsWindow(Windows[1]); }));
  EXPECT_TRUE(IsWindow(Windows[2]));
  PostThreadMessageA(ThreadId, WM_QUIT, 0, 0);
  Browsers.join();
  if (Main) PressExit(P, Main);
}

TEST_F(ProgramTest, F12EndsTheProgram) {
  NotFirstStart();
  TProgram P(Exe());
  HWND Main = StartInForeground(P);
  ASSERT_TRUE(Main);
  // xdotool is a Linux program; Wine starts it like any other.
  TProgram Key("Z:\\usr\\bin\\xdotool", "key F12");
  EXPECT_TRUE(P.WaitExit());
}

TEST_F(ProgramTest, F10ShredsTheChosenItemsAndSaysSoInTheLog) {
  NotFirstStart();
  Set("DelTempFiles", true);
  Set("KeepTempFiles", false);
  Set("DelLocationBar", true);
  TScratchKeys Scratch{{HKEY_CURRENT_USER, TypedUrls}};
  ASSERT_NO_FATAL_FAILURE(SeedTypedUrl());
  // The program's temporary folder is a tree of this test's own.
  TTempTree Temp("F10.tmp");
  Temp.File("a.txt");
  Temp.File("sub\\b.txt");
  TEnvVar Tmp("TMP", Temp.Path()), TempVar("TEMP", Temp.Path());

  TProgram P(Exe());
  HWND Main = StartInForeground(P);
  ASSERT_TRUE(Main);
  TProgram Key("Z:\\usr\\bin\\xdotool", "key F10");

  HWND Memo = GetDlgItem(Main, MemoId);
  ASSERT_TRUE(WaitUntil([&] {
    return WindowText(Memo).find("Succeeded in delete temporary files.") != std::string::npos;
  }, 20s)) << WindowText(Memo);
  const std::string Log = WindowText(Memo);
  // Which of the two comes first is open: clearing a registry list processes
  // messages, and with them the sweep's hand-offs.
  EXPECT_NE(Log.find("Succeeded in delete Location Bar."), std::string::npos) << Log;
  EXPECT_EQ(GetFileAttributesA(Temp["a.txt"].c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(Temp["sub"].c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(TypedUrlsCleared());
  PressExit(P, Main);
}

// A Chrome profile of the test's own in the user's local application data:
// its history rows go but the bookmarked address's, its cache goes, and its
// bookmarks and passwords stay byte for byte.
TEST_F(ProgramTest, F10ClearsTheChosenBrowserItemsAndKeepsBookmarksAndPasswords) {
  const std::string Google = SpecialFolder(CSIDL_LOCAL_APPDATA) + "\\Google";
  ASSERT_EQ(GetFileAttributesA(Google.c_str()), INVALID_FILE_ATTRIBUTES) << "a Chrome the test did not make";
  struct TRemove {
    std::string Path;
    ~TRemove() { RemoveTree(Path); }
  } Remove{Google};
  const std::string Profile = Google + "\\Chrome\\User Data\\Default";
  ASSERT_EQ(SHCreateDirectoryExA(nullptr, (Profile + "\\Cache\\Cache_Data").c_str(), nullptr), ERROR_SUCCESS);
  auto Write = [](const std::string& Path, const std::string& Text) {
    std::ofstream(Path, std::ios::binary) << Text;
  };
  auto Read = [](const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
  };
  Write(Profile + "\\Cache\\Cache_Data\\f_000001", "cached page");
  const std::string Bookmarks = R"({"roots":{"bookmark_bar":{"children":[{"name":"Kept","type":"url",)"
                                R"("url":"https://kept.example/"}],"type":"folder"}},"version":1})";
  Write(Profile + "\\Bookmarks", Bookmarks);
  Write(Profile + "\\Login Data", "passwords");
  auto Sql = [](const std::string& Path, const char* Text) {
    sqlite3* Db = nullptr;
    std::string Answer;
    if (sqlite3_open(Path.c_str(), &Db) == SQLITE_OK)
      sqlite3_exec(Db, Text, [](void* Out, int, char** Values, char**) {
        *static_cast<std::string*>(Out) += std::string(Values[0] ? Values[0] : "") + ";";
        return 0;
      }, &Answer, nullptr);
    sqlite3_close(Db);
    return Answer;
  };
  const std::string History = Profile + "\\History";
  Sql(History, R"(
    CREATE TABLE urls(id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, visit_count INTEGER DEFAULT 0 NOT NULL,
      typed_count INTEGER DEFAULT 0 NOT NULL, last_visit_time INTEGER NOT NULL, hidden INTEGER DEFAULT 0 NOT NULL);
    CREATE TABLE visits(id INTEGER PRIMARY KEY, url INTEGER NOT NULL, visit_time INTEGER NOT NULL);
    INSERT INTO urls VALUES(1, 'https://kept.example/', 'Kept', 2, 1, 1, 0), (2, 'https://secret.example/', 'S', 1, 1, 1, 0);
    INSERT INTO visits(url, visit_time) VALUES(1, 1), (2, 2);)");
  ASSERT_EQ(Sql(History, "SELECT count(*) FROM urls"), "2;");

  NotFirstStart();
  {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey("Software\\Vellumix\\Items", true));
    Reg.WriteInteger("chrome.history", 1);
    Reg.WriteInteger("chrome.cache", 1);
  }
  TProgram P(Exe());
  HWND Main = StartInForeground(P);
  ASSERT_TRUE(Main);
  TProgram Key("Z:\\usr\\bin\\xdotool", "key F10");
  HWND Memo = GetDlgItem(Main, MemoId);
  ASSERT_TRUE(WaitUntil([&] { return WindowText(Memo).find(" Removed ") != std::string::npos; }, 20s))
      << WindowText(Memo);
  const std::string Log = WindowText(Memo);
  EXPECT_NE(Log.find("Cleared Google Chrome's history (Default)"), std::string::npos) << Log;
  EXPECT_NE(Log.find("database rows"), std::string::npos) << Log;
  EXPECT_EQ(Sql(History, "SELECT url FROM urls"), "https://kept.example/;");
  EXPECT_EQ(Sql(History, "SELECT count(*) FROM visits"), "0;");
  EXPECT_EQ(GetFileAttributesA((Profile + "\\Cache\\Cache_Data\\f_000001").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA((Profile + "\\Cache").c_str()), INVALID_FILE_ATTRIBUTES) << "the cache folder stays";
  EXPECT_EQ(Read(Profile + "\\Bookmarks"), Bookmarks);
  EXPECT_EQ(Read(Profile + "\\Login Data"), "passwords");
  PressExit(P, Main);
}

// The options dialog by keyboard alone: F11 opens it on the first tab, Tab
// reaches the first box, Space ticks it, Enter saves.
TEST_F(ProgramTest, F11OpensTheOptionsAndEnterSavesWhatTheKeyboardTicked) {
  NotFirstStart();
  TProgram P(Exe());
  HWND Main = StartInForeground(P);
  ASSERT_TRUE(Main);
  TProgram(R"(Z:\usr\bin\xdotool)", "key F11").WaitExit();
  HWND Dialog = P.WaitWindow("#32770", true, "Options Dialog");
  ASSERT_TRUE(Dialog);
  EXPECT_FALSE(IsWindowEnabled(Main));  // modal
  SetForegroundWindow(Dialog);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == Dialog; }));
  TProgram(R"(Z:\usr\bin\xdotool)", "key Tab space Return").WaitExit();
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(Dialog); }));
  EXPECT_TRUE(WaitUntil([] {
    TRegistry Reg;
    return Reg.OpenKey(Settings, false) && Reg.ReadInteger("DelInetTemp") == 1u;
  }));
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(std::string(Settings) + "\\TOptionDlg", false));
  EXPECT_EQ(Reg.ReadString("FormVersion"), "0");
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(Main) != FALSE; }));
  PressExit(P, Main);
}

// Shortcuts of the item commands, typed for real: they clear their items
// although every switch is off in the settings.
TEST_F(ProgramTest, ItemShortcutsClearTheirItemsWhateverTheSettingsSay) {
  NotFirstStart();
  Set("KeepTempFiles", false);  // the age rule would keep the file made just now
  TScratchKeys Scratch{{HKEY_CURRENT_USER, TypedUrls}};
  ASSERT_NO_FATAL_FAILURE(SeedTypedUrl());
  TTempTree Temp("Shortcuts.tmp");
  Temp.File("a.txt");
  TEnvVar Tmp("TMP", Temp.Path()), TempVar("TEMP", Temp.Path());

  TProgram P(Exe());
  HWND Main = StartInForeground(P);
  ASSERT_TRUE(Main);
  HWND Memo = GetDlgItem(Main, MemoId);
  HWND Shred = GetDlgItem(GetDlgItem(Main, SpeedBarId), ShredId);
  ASSERT_TRUE(Shred);
  // One at a time, as a command asked for while another runs does not start.
  auto Type = [&](const char* Keys, const char* Line) {
    TProgram(R"(Z:\usr\bin\xdotool)", std::string("key ") + Keys).WaitExit();
    EXPECT_TRUE(WaitUntil([&] { return WindowText(Memo).find(Line) != std::string::npos; }))
        << Keys << ": " << WindowText(Memo);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Shred) != FALSE; })) << Keys;
  };
  Type("shift+l", "Succeeded in delete Location Bar.");
  Type("ctrl+shift+r", "ecent");
  Type("ctrl+shift+t", "");  // no line: the sweep's own is switched off
  EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesA(Temp["a.txt"].c_str()) == INVALID_FILE_ATTRIBUTES; }));
  EXPECT_TRUE(TypedUrlsCleared());
  PressExit(P, Main);
}

// A second start while the first-start greeting is up waits for the greeting:
// the main window comes only after it has been answered.
TEST_F(ProgramTest, ASecondStartDuringTheGreetingLeavesTheGreetingFirst) {
  TProgram P(Exe());
  HWND Box = P.WaitWindow("#32770", true, "Vellumix");
  ASSERT_TRUE(Box);
  TProgram Second(Exe());
  EXPECT_TRUE(Second.WaitExit());
  // The second start's posted message comes after the messages sent meanwhile:
  // a few sent and answered ones make sure it has been taken.
  for (int I = 0; I < 3; ++I) ASSERT_TRUE(P.Settled(Box));
  for (HWND Main : P.Windows("TMainForm")) EXPECT_FALSE(IsWindowVisible(Main));
  EXPECT_TRUE(IsWindowVisible(Box));
  SendMessageA(GetDlgItem(Box, IDOK), BM_CLICK, 0, 0);
  HWND Main = P.WaitWindow("TMainForm");
  ASSERT_TRUE(Main);
  PressExit(P, Main);
}

// Left in the notification area with a daily schedule, never opened: the
// items are cleared at the set time, and again when the session ends.
TEST_F(ProgramTest, HiddenInTheTrayItClearsAtTheDailyTimeAndWhenTheSessionEnds) {
  NotFirstStart();
  Set("ShowTrayIconOnly", true);
  Set("MinRun", true);
  Set("DelLocationBar", true);
  SeedTypedUrl();
  // A few seconds from now, on some other day: only the time of day counts.
  SYSTEMTIME Now;
  GetLocalTime(&Now);
  const int At = (Now.wHour * 3600 + Now.wMinute * 60 + Now.wSecond + 12) % 86400;
  const double Time = 36000.0 + At / 86400.0;
  {
    TRegistry Dialog;
    ASSERT_TRUE(Dialog.OpenKey(std::string(Settings) + "\\TOptionDlg", true));
    Dialog.WriteString("CBxSchedule_Checked", "True");
    Dialog.WriteString("CBxScheduleShut_Checked", "True");
    Dialog.WriteInteger("ScheduleItemindex", 2);
    Dialog.WriteBinary("DateTimePicker_Time", &Time, sizeof Time);
  }

  TProgram P(Exe());
  HWND Main = P.WaitWindow("TMainForm", false);
  ASSERT_TRUE(Main);
  ASSERT_TRUE(P.Settled(Main));
  EXPECT_FALSE(TypedUrlsCleared()) << "not before its time";
  EXPECT_TRUE(WaitUntil([] { return TypedUrlsCleared(); }, 40s));
  EXPECT_FALSE(IsWindowVisible(Main));

  // The session ends, as Wine ends it: the shutdown run, then the program closes.
  SeedTypedUrl();
  char System[MAX_PATH];
  GetSystemDirectoryA(System, MAX_PATH);
  TProgram EndSession(std::string(System) + "\\wineboot.exe", "--end-session");
  ASSERT_TRUE(EndSession.WaitExit(60s));
  EXPECT_EQ(EndSession.ExitCode(), 0u) << "nothing held up the end of the session";
  EXPECT_TRUE(TypedUrlsCleared());
  ASSERT_TRUE(P.WaitExit());
  EXPECT_EQ(P.ExitCode(), 0u);
}

}  // namespace
