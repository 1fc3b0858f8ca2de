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
  EXPECT_TRUE(Form->FoldersToRemove->empty());
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
  CreateForm();
  SweepTemp();

  EXPECT_EQ(ReadAll(Bird), "tweet");
  EXPECT_TRUE(Exists(Canary["nest"])) << "an empty folder behind a link";
  EXPECT_TRUE(Exists(Temp["real\\link"]));
  EXPECT_TRUE(Exists(Temp["to-empty"]));
  EXPECT_FALSE(Exists(Temp["real\\x.txt"]));
  RemoveTree(Temp["real\\link"]);
  RemoveTree(Temp["to-empty"]);
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

TEST_F(SweepTest, WithEverySwitchOffARunTrimsTheLogAndAddsNothing) {
  Switches({});
  TMainForm& F = CreateForm();
  for (int I = 0; I < 30; ++I) F.Action->AddMessage("line", std::to_string(I));
  F.RefreshMemo();
  F.StartActionExecute();
  EXPECT_EQ(F.Action->Messages.size(), 26u);
  EXPECT_THAT(Line(0), EndsWith(" line 29 "));
  EXPECT_EQ(Log().substr(0, Log().find("\r\n")), F.Action->Messages.front());
  EXPECT_TRUE(F.Idle);
  EXPECT_TRUE(IsWindowEnabled(F.SpeedItemStart));
  EXPECT_EQ(Light(2), Ball(IDI_GRAYBALL));
  EXPECT_FALSE(F.Scanner.Busy());
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
  // Newest first: the sweep's line, cookies, history, cache.
  ASSERT_EQ(F.Action->Messages.size(), 4u) << Log();
  EXPECT_THAT(Line(0), EndsWith(std::string(" ") + Succeeded + "  "));
  EXPECT_NE(Line(1).find("cookies"), std::string::npos) << Line(1);
  EXPECT_NE(Line(2).find("history"), std::string::npos) << Line(2);
  EXPECT_NE(Line(3).find("cache"), std::string::npos) << Line(3);
  EXPECT_TRUE(F.Idle);
}

TEST_F(SweepTest, ARunStartedInsideAnotherLeavesTheBusyStateAsItFoundIt) {
  Switches({"DelTempFiles"});
  for (int I = 0; I < 50; ++I) Temp.File(std::to_string(I) + ".txt");
  TMainForm& F = CreateForm();
  // F10 pressed while the first run waits for the scanner: the inner run
  // starts inside the outer one's wait.
  PostMessageA(F.Handle(), WM_COMMAND, IDC_START, 0);
  struct TSeen {
    bool Idle, ButtonEnabled;
    HICON Red;
  };
  std::vector<TSeen> Seen;
  F.Scanner.OnProcess = [&](std::uint32_t, std::uint32_t, const std::string&, std::uint32_t,
                            std::uint32_t) {
    Seen.push_back({F.Idle, IsWindowEnabled(F.SpeedItemStart) != FALSE, Light(2)});
  };
  F.StartActionExecute();
  WaitSweep();
  // The inner run has ended while the outer one still waits for its sweep:
  // lights idle and the button enabled, but the flag false until the outer ends.
  ASSERT_FALSE(Seen.empty());
  EXPECT_FALSE(Seen.front().Idle);
  EXPECT_TRUE(Seen.front().ButtonEnabled);
  EXPECT_EQ(Seen.front().Red, Ball(IDI_GRAYBALL));
  EXPECT_TRUE(F.Idle);
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
  EXPECT_TRUE(F.Idle);
  EXPECT_TRUE(IsWindowEnabled(F.SpeedItemStart));
  EXPECT_EQ(Light(1), Ball(IDI_GREENBALL));
  EXPECT_EQ(Light(2), Ball(IDI_GRAYBALL));
}

TEST_F(SweepTest, ClosingTheWindowDuringARunEndsItQuietly) {
  Switches({"DelTempFiles", "DelCookie", "EmptyRecycleBin"});
  for (int I = 0; I < 50; ++I) Temp.File(std::to_string(I) + ".txt");
  TMainForm& F = CreateForm();
  PostMessageA(F.Handle(), WM_CLOSE, 0, 0);  // handled inside the run's wait
  F.StartActionExecute();
  EXPECT_FALSE(IsWindow(F.Handle()));
  EXPECT_FALSE(F.Action);
}

TEST_F(SweepTest, AFolderTheShellCannotNameIsNotSwept) {
  Switches({});
  TMainForm& F = CreateForm();
  F.HandOffFolder("");
  EXPECT_FALSE(F.Scanner.Busy());
  EXPECT_EQ(F.Scanner.Directory, "C:\\windows\\temp");
}

}  // namespace
