// The Shred run and the temporary-files sweep, on real files in trees of the
// test's own.
//
// This runner's time zone is far east of UTC (see tests/CMakeLists.txt), so
// that a rule mixing local and UTC times would be hours off.
#include "app/SweepFixture.h"

namespace {

TEST_F(SweepTest, EverythingGoesWithoutTheAgeRule) {
  Switches({"DelTempFiles"});
  Temp.File("a.txt");
  SetFileAttributesA(Temp.File("readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA(Temp.File("hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  Temp.File("sub\\deeper\\b.txt");
  Temp.Folder("empty");
  SetFileAttributesA(Temp.Folder("ro-folder").c_str(), FILE_ATTRIBUTE_READONLY);
  Temp.File("\xE4\xB8\xAD\xE6\x96\x87\\\xE4\xB8\xAD.txt");  // names of no legacy code page
  CreateForm();
  SweepTemp();

  EXPECT_TRUE(Exists(Temp.Path())) << "the temporary folder itself stays";
  for (const char* Gone : {"a.txt", "readonly.txt", "hidden.txt", "sub", "empty", "ro-folder",
                           "\xE4\xB8\xAD\xE6\x96\x87"})
    EXPECT_FALSE(Exists(Temp[Gone])) << Gone;
  EXPECT_FALSE(Form->SweepBusy());
  EXPECT_THAT(Line(0), EndsWith(std::string(" ") + Succeeded + "  "));
  EXPECT_NE(Log().find(Succeeded), std::string::npos);
}

TEST_F(SweepTest, WithTemporaryFilesSwitchedOffNoLineIsWritten) {
  Switches({});
  Temp.File("a.txt");
  CreateForm();
  SweepTemp();
  EXPECT_FALSE(Exists(Temp["a.txt"]));
  EXPECT_TRUE(Form->Action->Messages.empty());
}

TEST_F(SweepTest, TheAgeRuleKeepsRecentlyUsedEntriesOfTheTemporaryFolder) {
  TIME_ZONE_INFORMATION Zone;
  GetTimeZoneInformation(&Zone);
  ASSERT_LE(Zone.Bias, -12 * 60) << "the runner's time zone is far east of UTC";
  Switches({"DelTempFiles"}, true);
  struct TCase {
    const char* Name;
    LONGLONG AccessAgo, WriteAgo;
    bool Stays;
  };
  // Hours of margin: a rule that mixed local time with UTC would be 14 hours off here.
  const TCase Files[] = {
      {"nine-days.txt", 9 * Day, 9 * Day, false},
      {"seven-days.txt", 7 * Day, 9 * Day, true},
      {"eight-days-less-an-hour.txt", 8 * Day - Hour, 9 * Day, true},
      {"eight-days-and-an-hour.txt", 8 * Day + Hour, 9 * Day, false},
      {"written-yesterday.txt", 30 * Day, Day, true},  // access times are not kept up to date
  };
  for (const TCase& C : Files) SetTimes(Temp.File(C.Name), C.AccessAgo, C.WriteAgo);
  // Folders go by their creation time: an old one that held only old files,
  // an old one that still holds a kept file, a new empty one.
  SetTimes(Temp.File("old\\stale.txt"), 20 * Day, 20 * Day);
  SetTimes(Temp.Folder("old"), 10 * Day, 10 * Day);
  SetTimes(Temp.File("old-kept\\fresh.txt"), Hour, Hour);
  SetTimes(Temp.Folder("old-kept"), 10 * Day, 10 * Day);
  SetTimes(Temp.Folder("new-empty"), Day, Day);
  CreateForm();
  SweepTemp();

  for (const TCase& C : Files) EXPECT_EQ(Exists(Temp[C.Name]), C.Stays) << C.Name;
  EXPECT_FALSE(Exists(Temp["old"]));
  EXPECT_TRUE(Exists(Temp["old-kept\\fresh.txt"]));
  EXPECT_TRUE(Exists(Temp["new-empty"]));
  EXPECT_THAT(Line(0), EndsWith(std::string(" ") + Succeeded + "  "));
}

TEST_F(SweepTest, TheAgeRuleHoldsOnlyInTheTemporaryFolder) {
  Switches({}, true);
  SetTimes(Cache.File("recent.dat"), Hour, Hour);
  SetTimes(History.File("recent.dat"), Hour, Hour);
  SetTimes(Temp.File("recent.dat"), Hour, Hour);
  CreateForm();
  Form->HandOffFolder(Cache.Path());
  Form->HandOffFolder(History.Path());
  WaitSweep();
  EXPECT_FALSE(Exists(Cache["recent.dat"]));
  EXPECT_FALSE(Exists(History["recent.dat"]));
  SweepTemp();
  EXPECT_TRUE(Exists(Temp["recent.dat"]));
}

TEST_F(SweepTest, NothingIsDeletedThroughALink) {
  Switches({"DelTempFiles"});
  TTempTree& Canary = Outside;
  const std::string Bird = Canary.File("bird.txt", "tweet");
  SetTimes(Bird, 30 * Day, 30 * Day);
  Canary.Folder("nest");
  Temp.File("real\\x.txt");
  if (UnixPath(Temp.Path()).empty()) GTEST_SKIP() << "folder links are made through Wine";
  ASSERT_TRUE(MakeFolderLink(Temp["real\\link"], Canary.Path()));
  ASSERT_TRUE(MakeFolderLink(Temp["to-empty"], Canary["nest"]));
  // Under Wine a link to a file looks like a plain file, and deleting it
  // deletes what it points to.
  ASSERT_TRUE(MakeFileLink(Temp["real\\file-link.txt"], Bird));
  CreateForm();
  SweepTemp();

  EXPECT_EQ(ReadAll(Bird), "tweet");
  EXPECT_TRUE(Exists(Temp["real\\file-link.txt"])) << "a link stays";
  EXPECT_TRUE(Exists(Canary["nest"])) << "an empty folder behind a link";
  EXPECT_TRUE(Exists(Temp["real\\link"]));
  EXPECT_TRUE(Exists(Temp["to-empty"]));
  EXPECT_FALSE(Exists(Temp["real\\x.txt"]));
  RemoveTree(Temp["real\\link"]);
  RemoveTree(Temp["to-empty"]);
}

// Every swept folder passes the folder guard: a refused one is said in the
// log with its reason, nothing in it is touched, and no line of success follows.
TEST_F(SweepTest, AFolderTheGuardRefusesIsNotSweptAndTheLogSaysWhy) {
  Switches({"DelTempFiles"});
  // The profile the temporary folder used to fall back to: a tree of ours.
  TTempTree& Profile = Outside;
  const std::string Settings = Profile.File("AppData\\Roaming\\SomeApp\\settings.ini", "[keep]");
  SetTimes(Settings, 30 * Day, 30 * Day);
  TEnvVar UserProfile("USERPROFILE", Profile.Path());
  // A whole drive of ours (scripts/test makes V:).
  const bool DriveV = GetDriveTypeA("V:\\") == DRIVE_FIXED;
  const std::string RootCanary = "V:\\canary.txt";
  if (DriveV) {
    std::ofstream("V:\\canary.txt", std::ios::binary) << "root";
    SetTimes(RootCanary, 30 * Day, 30 * Day);
  }
  TMainForm& F = CreateForm();
  struct TCase {
    const char* Name;
    const char* Tmp;  // null: TMP and TEMP removed
    const char* CacheValue;  // handed on as the cache folder when Item is 0
    int Item;
    const char* Reason;
    bool OnV;
  };
  const std::string Dot = Profile.Path() + ".", Blank = Profile.Path() + " ";
  const TCase Cases[] = {
      {"TMP=V:\\", "V:\\", nullptr, IDC_TEMPFILES, "it is a drive's root", true},
      {"TMP and TEMP empty", nullptr, nullptr, IDC_TEMPFILES, "no folder is named", false},
      // (Wine's shell keeps the cache folder it named first: the value is handed on directly.)
      {"Cache=V:\\", Temp.Path().c_str(), "V:\\", 0, "it is a drive's root", true},
      {"a folder that is not there", "C:\\does-not-exist", nullptr, IDC_TEMPFILES, "it does not exist", false},
      {"a UNC path", "\\\\localhost\\no-share\\temp", nullptr, IDC_TEMPFILES, "", false},
      {"a trailing dot", Dot.c_str(), nullptr, IDC_TEMPFILES, "it is the user's profile folder", false},
      {"a trailing blank", Blank.c_str(), nullptr, IDC_TEMPFILES, "it is the user's profile folder", false},
      {"a relative path", ".", nullptr, IDC_TEMPFILES, "it is not an absolute path", false},
  };
  int Skipped = 0;
  for (const TCase& C : Cases) {
    if (C.OnV && !DriveV) {
      ++Skipped;
      continue;
    }
    SetEnvironmentVariableA("TMP", C.Tmp);
    SetEnvironmentVariableA("TEMP", C.Tmp);
    const std::size_t Before = F.Action->Messages.size();
    if (C.Item)
      F.ActionClearExecute(C.Item);
    else
      F.HandOffFolder(C.CacheValue, CacheFolderName);
    const std::vector<std::string> Added(F.Action->Messages.begin(),
                                         F.Action->Messages.end() - static_cast<std::ptrdiff_t>(Before));
    bool Said = false;
    for (const std::string& L : Added) {
      Said |= L.find("Did not sweep") != std::string::npos && L.find(C.Reason) != std::string::npos;
      EXPECT_EQ(L.find(Succeeded), std::string::npos) << C.Name << ": " << L;
    }
    EXPECT_TRUE(Said) << C.Name << ": " << ::testing::PrintToString(Added);
    EXPECT_EQ(ReadAll(Settings), "[keep]") << C.Name;
    if (DriveV) {
      EXPECT_EQ(ReadAll(RootCanary), "root") << C.Name;
    }
  }
  if (DriveV) DeleteFileA(RootCanary.c_str());
  if (Skipped) GTEST_SKIP() << Skipped << " cases need the drive V: that scripts/test makes";
}

TEST_F(SweepTest, AFileInUseStaysAndTheSweepGoesOn) {
  Switches({"DelTempFiles"});
  const std::string Busy = Temp.File("in-use\\busy.txt");
  Temp.File("in-use\\free.txt");
  Temp.File("z-after.txt");
  HANDLE Held = CreateFileA(Busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(Held, INVALID_HANDLE_VALUE);
  CreateForm();
  SweepTemp();
  CloseHandle(Held);
  EXPECT_TRUE(Exists(Busy));
  EXPECT_FALSE(Exists(Temp["in-use\\free.txt"]));
  EXPECT_FALSE(Exists(Temp["z-after.txt"]));
  EXPECT_THAT(Line(0), EndsWith(std::string(" ") + Succeeded + "  "));
}

TEST_F(SweepTest, PathsDeeperThanMaxPathAreSwept) {
  Switches({"DelTempFiles"});
  std::string Deep;
  for (char C = 'a'; C < 'f'; ++C) Deep += (Deep.empty() ? "" : "\\") + std::string(60, C);
  Temp.File(Deep + "\\deep.txt");
  ASSERT_TRUE(Exists(Temp[Deep + "\\deep.txt"]));
  CreateForm();
  SweepTemp();
  EXPECT_FALSE(Exists(Temp[std::string(60, 'a')]));
}

// ---- the Shred run

TEST_F(SweepTest, WithEverySwitchOffARunTrimsTheLogAndSaysHowToChoose) {
  Switches({});
  TMainForm& F = CreateForm();
  for (int I = 0; I < 30; ++I) F.Action->AddMessage("line", std::to_string(I));
  F.RefreshMemo();
  F.StartActionExecute();
  EXPECT_EQ(F.Action->Messages.size(), 27u);
  EXPECT_THAT(Line(0), EndsWith(std::string(" ") + NothingChosen + "  "));
  EXPECT_THAT(Line(1), EndsWith(" line 29 "));
  EXPECT_EQ(Log().substr(0, Log().find("\r\n")), F.Action->Messages.front());
  EXPECT_TRUE(F.Idle());
  EXPECT_TRUE(IsWindowEnabled(F.SpeedItemStart));
  EXPECT_EQ(Light(2), Ball(IDI_GRAYBALL));
  EXPECT_FALSE(F.SweepBusy());
}

TEST_F(SweepTest, TheThreeFoldersAreSweptOneAfterTheOtherThenTheOperationsRun) {
  Switches({"DelInetTemp", "DelHistory", "DelTempFiles", "DelCookie"});
  for (TTempTree* T : {&Cache, &History, &Temp}) {
    T->File("f1.txt");
    T->File("sub\\f2.txt");
  }
  TMainForm& F = CreateForm();
  RecordSweeps();
  F.StartActionExecute();
  WaitSweep();
  EXPECT_EQ(Swept, (std::vector<std::string>{Cache.Path(), History.Path(), Temp.Path()}));
  for (TTempTree* T : {&Cache, &History, &Temp}) {
    EXPECT_FALSE(Exists((*T)["f1.txt"])) << T->Path();
    EXPECT_FALSE(Exists((*T)["sub"])) << T->Path();
  }
  // Newest first: the summary, the sweep's line, cookies, history, cache.
  ASSERT_EQ(F.Action->Messages.size(), 5u) << Log();
  // Wine's history store does not clear: that operation failed, and stayed in the count.
  EXPECT_THAT(Line(0), HasSubstr(" Removed 6 files (6 bytes); 1 entry stayed (refused). "));
  EXPECT_THAT(Line(1), EndsWith(std::string(" ") + Succeeded + "  "));
  EXPECT_NE(Line(2).find("cookies"), std::string::npos) << Line(2);
  EXPECT_THAT(Line(3), HasSubstr("Delete internet history failed."));
  EXPECT_NE(Line(3).find("history"), std::string::npos) << Line(3);
  EXPECT_NE(Line(4).find("cache"), std::string::npos) << Line(4);
  EXPECT_TRUE(F.Idle());
}

TEST_F(SweepTest, ACommandAskedForDuringARunDoesNotStartInsideIt) {
  Switches({"DelTempFiles"});
  for (int I = 0; I < 50; ++I) Temp.File(std::to_string(I) + ".txt");
  TMainForm& F = CreateForm();
  RecordSweeps();
  // F10, the Temporary Files item and the icon's Shred, all arriving while the
  // run waits for its sweep.
  for (int Command : {IDC_START, IDC_TEMPFILES, IDC_TRAYSHRED})
    PostMessageA(F.Handle(), WM_COMMAND, Command, 0);
  struct TSeen {
    bool Idle, ButtonEnabled;
    HICON Red;
  };
  std::vector<TSeen> Seen;
  std::vector<std::string> Hints;
  // The sweep's worker waits after its first entry until the commands have come.
  F.SweepProgress.HoldAfter(1);
  F.OnSweepWait = [&] {
    if (!Seen.empty() || F.SweepProgress.Entries < 1) return;
    Seen.push_back({F.Idle(), IsWindowEnabled(F.SpeedItemStart) != FALSE, Light(2)});
    Pump();  // the posted commands are handled here, inside the run
    Hints.push_back(F.Hint());
    F.SweepProgress.HoldAfter(UINT64_MAX);
  };
  F.StartActionExecute();

  EXPECT_EQ(Swept, std::vector<std::string>{Temp.Path()}) << "one sweep, none nested in it";
  ASSERT_FALSE(Seen.empty());
  for (const TSeen& S : Seen) {
    EXPECT_FALSE(S.Idle);
    EXPECT_FALSE(S.ButtonEnabled);
    EXPECT_EQ(S.Red, Ball(IDI_REDBALL));
  }
  ASSERT_FALSE(Hints.empty());
  EXPECT_EQ(Hints.front(), BusyHint) << "the status line says why nothing started";
  // The run is busy until its last sweep has ended: its line is there when it returns.
  EXPECT_FALSE(F.SweepBusy());
  EXPECT_EQ(std::count_if(F.Action->Messages.begin(), F.Action->Messages.end(),
                          [](const std::string& L) { return L.find(Succeeded) != std::string::npos; }),
            1);
  EXPECT_TRUE(F.Idle());
  EXPECT_TRUE(IsWindowEnabled(F.SpeedItemStart));
  EXPECT_EQ(Light(2), Ball(IDI_GRAYBALL));
  EXPECT_FALSE(Exists(Temp["0.txt"]));
}

TEST_F(SweepTest, ARunThatRaisesStillLeavesTheBusyState) {
  Switches({"DelTempFiles"});
  TMainForm& F = CreateForm();
  // A command that fails inside the run's wait for the scanner.
  const UINT Fail = RegisterWindowMessageA("Vellumix test failure");
  Application.SetOnMessage([&](MSG& Msg, bool&) {
    if (Msg.message == Fail) throw std::runtime_error("failed inside the run");
  });
  PostMessageA(F.Handle(), Fail, 0, 0);
  EXPECT_THROW(F.StartActionExecute(), std::runtime_error);
  Application.SetOnMessage(nullptr);
  EXPECT_TRUE(F.Idle());
  EXPECT_TRUE(IsWindowEnabled(F.SpeedItemStart));
  EXPECT_EQ(Light(1), Ball(IDI_GREENBALL));
  EXPECT_EQ(Light(2), Ball(IDI_GRAYBALL));
}

// Every way of closing, arriving while a long registry list is cleared (its
// clearing serves messages): the window stays until the run has unwound, then
// closes.
TEST_F(SweepTest, AWindowClosedDuringARunClosesWhenTheRunHasEnded) {
  const std::string TypedUrls = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
  struct TCase {
    const char* Name;
    UINT Msg;
    WPARAM WParam;
  };
  const TCase Cases[] = {{"WM_CLOSE", WM_CLOSE, 0},
                         {"Exit (F12)", WM_COMMAND, IDC_EXIT},
                         {"the icon's Exit", WM_COMMAND, IDC_TRAYEXIT},
                         {"the end of the session", WM_ENDSESSION, TRUE}};
  for (const TCase& C : Cases) {
    Switches({"DelLocationBar"});
    TMainForm& F = CreateForm();
    {
      TRegistry Reg(HKEY_CURRENT_USER);
      ASSERT_TRUE(Reg.OpenKey(TypedUrls, true));
      for (int I = 0; I < 3000; ++I) Reg.WriteString("url" + std::to_string(I), "http://example.com/");
    }
    // The close comes first; a probe after it sees what the run still has.
    PostMessageA(F.Handle(), C.Msg, C.WParam, 0);
    const UINT Probe = RegisterWindowMessageA("Vellumix test probe");
    PostThreadMessageA(GetCurrentThreadId(), Probe, 0, 0);
    bool Probed = false, AliveAtProbe = false;
    Application.SetOnMessage([&](MSG& Msg, bool& Handled) {
      if (Msg.message != Probe) return;
      Probed = Handled = true;
      AliveAtProbe = IsWindow(F.Handle()) && F.Action;
    });
    F.StartActionExecute();
    Application.SetOnMessage(nullptr);
    EXPECT_TRUE(Probed) << C.Name;
    EXPECT_TRUE(AliveAtProbe) << C.Name << ": closed while the run used the window";
    EXPECT_FALSE(IsWindow(F.Handle())) << C.Name << ": closed once the run had ended";
    EXPECT_TRUE(ValueNamesOf(TypedUrls).empty()) << C.Name;
    Form.reset();
    Redirect(false);
  }
}

// A sweep that the window's closing stops: nothing is half deleted, and the
// log says how many entries stayed.
TEST_F(SweepTest, ExitDuringASweepStopsItAndSaysWhatStayed) {
  Switches({"DelTempFiles"});
  auto Name = [](int I) { return std::string("f").append(std::to_string(100 + I)).append(".txt"); };
  for (int I = 0; I < 40; ++I) Temp.File(Name(I), "content");
  TMainForm& G = CreateForm();
  int Reports = 0;
  std::vector<std::string> Last;
  // The worker finds the 40 files, deletes 10 and waits: then the window is closed.
  G.SweepProgress.HoldAfter(40 + 10);
  G.OnSweepWait = [&] {
    if (!G.SweepBusy()) {
      if (G.Action) Last.assign(G.Action->Messages.begin(), G.Action->Messages.end());
      return;
    }
    if (G.SweepProgress.Entries >= 50 && ++Reports == 1) SendMessageA(G.Handle(), WM_CLOSE, 0, 0);
  };
  G.StartActionExecute();
  EXPECT_FALSE(IsWindow(G.Handle()));
  int Left = 0;
  for (int I = 0; I < 40; ++I) {
    const std::string File = Temp[Name(I)];
    if (!Exists(File)) continue;
    ++Left;
    EXPECT_EQ(ReadAll(File), "content") << File;
  }
  EXPECT_GT(Left, 0) << "the sweep went on after the close";
  EXPECT_LT(Left, 40);
  ASSERT_FALSE(Last.empty());
  EXPECT_THAT(Last.front(), ::testing::HasSubstr("Sweep stopped: " + std::to_string(Left) +
                                                 " entries stayed in \"" + Temp.Path() + "\"."));
  for (const std::string& L : Last) EXPECT_EQ(L.find(Succeeded), std::string::npos) << L;
}

TEST_F(SweepTest, AFolderTheShellCannotNameIsNotSwept) {
  Switches({});
  TMainForm& F = CreateForm();
  RecordSweeps();
  F.HandOffFolder("", CacheFolderName);
  EXPECT_FALSE(F.SweepBusy());
  EXPECT_TRUE(Swept.empty());
  EXPECT_THAT(Line(0), EndsWith(" Did not sweep the Internet cache folder: no folder is named.  "));
}

}  // namespace

namespace {

// While a sweep works the status line says what it sweeps and how far it is;
// afterwards it shows the hint again.
TEST_F(SweepTest, TheStatusLineFollowsTheSweep) {
  Switches({"DelTempFiles"});
  for (int I = 0; I < 30; ++I) Temp.File(NumberedName(I), "12345");
  TMainForm& F = CreateForm();
  // The worker finds the 30 files, deletes 10 and waits there.
  F.SweepProgress.HoldAfter(30 + 10);
  std::string Seen;
  int Looks = 0;
  F.OnSweepWait = [&] {
    if (!F.SweepBusy() || F.SweepProgress.Entries < 40) return;
    const std::string Text = F.StatusText();
    // The line is redrawn a few times a second: wait for it, within a bound.
    if (Text.find(" 10 of ") == std::string::npos && ++Looks < 1000) return;
    Seen = Text;
    F.SweepProgress.HoldAfter(UINT64_MAX);
  };
  F.ActionClearExecute(IDC_TEMPFILES);
  EXPECT_EQ(Seen, "Temporary Files: 10 of 30 entries done (50 bytes of 150 bytes)");
  EXPECT_EQ(F.StatusText(), F.Hint());
  EXPECT_FALSE(Exists(Temp["f100.txt"]));
}

}  // namespace
