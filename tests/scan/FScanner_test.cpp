#include "scan/FScanner.h"

#include "support/TempTree.h"
#include "support/Windows.h"
#include "win/Application.h"
#include "win/WidePath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr DWORD Deadline = 20000;  // ms for one scan of a small tree

struct TFound {
  std::string Name, Path;
  std::uint32_t Attr, Size;
  TDateTime When;
  std::string Full() const { return PathJoin(Path, Name); }
};

// Binds every event of a scanner and records what arrives, checking that it
// arrives on the main thread.
struct TRecorder {
  std::vector<TFound> Found;
  std::vector<std::string> Processed;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> Done;
  DWORD MainThread = GetCurrentThreadId();
  bool OffMainThread = false;

  void Attach(TBaseScanner& S) {
    S.OnFileFound = [this](const std::string& N, const std::string& P, std::uint32_t A,
                           std::uint32_t Sz, TDateTime W) {
      Check();
      Found.push_back({N, P, A, Sz, W});
    };
    S.OnProcess = [this](std::uint32_t, std::uint32_t, const std::string& Current, std::uint32_t,
                         std::uint32_t) {
      Check();
      Processed.push_back(Current);
    };
    S.OnProcessDone = [this](std::uint32_t Count, std::uint32_t Size) {
      Check();
      Done.emplace_back(Count, Size);
    };
  }
  void Check() { OffMainThread |= GetCurrentThreadId() != MainThread; }

  std::set<std::string> FullPaths() const {
    std::set<std::string> Out;
    for (const TFound& F : Found) Out.insert(F.Full());
    return Out;
  }
  const TFound* Find(const std::string& Name) const {
    for (const TFound& F : Found)
      if (F.Name == Name) return &F;
    return nullptr;
  }
  std::size_t IndexOf(const std::string& Full) const {
    for (std::size_t I = 0; I < Found.size(); ++I)
      if (Found[I].Full() == Full) return I;
    return Found.size();
  }
};

// Prefix and number (GCC 12 warns falsely about "literal" + std::to_string).
std::string Numbered(std::string Prefix, unsigned N) { return Prefix.append(std::to_string(N)); }

bool WaitForScan(TBaseScanner& S) {
  return Application.WaitWhile([&] { return S.Busy(); }, Deadline);
}

class ScannerTest : public ::testing::Test {
protected:
  ScannerTest()
      : Tree(::testing::UnitTest::GetInstance()->current_test_info()->name()) {
    Scanner.ScanStrategy = ssSpecifiedDir;
    Scanner.Directory = Tree.Path();
    Scanner.Attributes = {};
    Record.Attach(Scanner);
  }
  ~ScannerTest() override { EXPECT_FALSE(Record.OffMainThread) << "a handler ran on the worker"; }

  void Scan() {
    Scanner.Execute();
    ASSERT_TRUE(WaitForScan(Scanner));
  }

  // a.txt  b.dat  empty\  sub\c.txt  sub\deeper\d.txt
  void SmallTree() {
    Tree.File("a.txt", "12345");
    Tree.File("b.dat", "1234567");
    Tree.Folder("empty");
    Tree.File("sub\\c.txt", "123");
    Tree.File("sub\\deeper\\d.txt", "1");
  }

  TTempTree Tree;
  TBaseScanner Scanner;
  TRecorder Record;
};

TEST(PathJoin, Shapes) {
  EXPECT_EQ(PathJoin("", "x"), "x");
  EXPECT_EQ(PathJoin("C:\\", "x"), "C:\\x");
  EXPECT_EQ(PathJoin("C:", "x"), "C:\\x");
  EXPECT_EQ(PathJoin("C:\\a", "*.*"), "C:\\a\\*.*");
  EXPECT_EQ(PathJoin("C:\\a", ""), "C:\\a\\");
}

TEST(Scanner, ConstructorValues) {
  TBaseScanner S;
  EXPECT_EQ(S.Directory, "C:\\");
  EXPECT_EQ(S.Files, "*");
  EXPECT_EQ(S.ScanStrategy, ssGlobal);
  EXPECT_TRUE((S.ScanDrives == TScanDrives{sdHard, sdCDROM, sdRAM, sdNetwork}));
  EXPECT_EQ(S.Attributes.Bits(), 32u);  // archive
  EXPECT_EQ((TFileAttributes{faReadOnly, faHidden, faSysFile, faVolumeID, faDirectory}.Bits()), 31u);
  EXPECT_TRUE(S.Recursive);
  EXPECT_EQ(S.Priority, tpTimeCritical);
  EXPECT_TRUE(S.OnProcess);
  EXPECT_TRUE(S.OnFileFound);
  EXPECT_FALSE(S.OnProcessDone);
  EXPECT_FALSE(S.Busy());
}

TEST_F(ScannerTest, ReportsEveryEntryDepthFirstButNeverDots) {
  SmallTree();
  // A known last-write time comes back as local date and time.
  SYSTEMTIME Local{2021, 6, 0, 15, 10, 20, 31, 0}, Utc;
  ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &Local, &Utc));
  ASSERT_TRUE(SetLastWriteTime(Tree["a.txt"], Utc));
  Scan();

  const std::string R = Tree.Path();
  EXPECT_EQ(Record.FullPaths(),
            (std::set<std::string>{R + "\\a.txt", R + "\\b.dat", R + "\\empty", R + "\\sub",
                                   R + "\\sub\\c.txt", R + "\\sub\\deeper", R + "\\sub\\deeper\\d.txt"}));
  EXPECT_EQ(Record.Found.size(), 7u);
  for (const TFound& F : Record.Found) EXPECT_TRUE(F.Name != "." && F.Name != "..");
  // A folder comes before its contents; the path is the folder as built.
  EXPECT_LT(Record.IndexOf(R + "\\sub"), Record.IndexOf(R + "\\sub\\c.txt"));
  EXPECT_LT(Record.IndexOf(R + "\\sub\\deeper"), Record.IndexOf(R + "\\sub\\deeper\\d.txt"));
  EXPECT_EQ(Record.Processed, (std::vector<std::string>{R, R + "\\empty", R + "\\sub", R + "\\sub\\deeper"}));

  const TFound* A = Record.Find("a.txt");
  ASSERT_NE(A, nullptr);
  EXPECT_EQ(A->Size, 5u);
  EXPECT_FALSE(A->Attr & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_DOUBLE_EQ(A->When, EncodeDate(2021, 6, 15) + EncodeTime(10, 20, 30));  // two-second steps
  EXPECT_TRUE(Record.Find("sub")->Attr & FILE_ATTRIBUTE_DIRECTORY);

  ASSERT_EQ(Record.Done.size(), 1u);
  EXPECT_EQ(Record.Done[0].first, 7u);
  EXPECT_EQ(Record.Done[0].second, 5u + 7 + 3 + 1 + Record.Find("sub")->Size +
                                       Record.Find("deeper")->Size + Record.Find("empty")->Size);
  EXPECT_FALSE(Scanner.Busy());
}

TEST_F(ScannerTest, AttributesAndMasksSelectReportsButNeverPruneTheDescent) {
  SmallTree();
  Tree.File("sub\\deeper\\plain.txt");
  ASSERT_TRUE(SetFileAttributesA(Tree["sub\\deeper\\plain.txt"].c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesA(Tree["sub\\deeper\\d.txt"].c_str(), FILE_ATTRIBUTE_HIDDEN));
  // Folders carry no archive bit, files do (Wine gives every file one).
  struct TCase {
    TFileAttributes Attributes;
    std::string Files;
    std::set<std::string> Expected;
  };
  const std::vector<TCase> Cases = {
      {{faArchive}, "*", {"a.txt", "b.dat", "sub\\c.txt", "sub\\deeper\\d.txt", "sub\\deeper\\plain.txt"}},
      {{faHidden}, "*", {"sub\\deeper\\d.txt"}},
      {{faReadOnly}, "*", {"sub\\deeper\\plain.txt"}},
      {{faDirectory}, "*", {"empty", "sub", "sub\\deeper"}},
      {{}, "*.txt; d*", {"a.txt", "sub\\c.txt", "sub\\deeper", "sub\\deeper\\d.txt", "sub\\deeper\\plain.txt"}},
      {{faArchive}, "[cd].*", {"sub\\c.txt", "sub\\deeper\\d.txt"}},
  };
  for (const TCase& C : Cases) {
    TRecorder Rec;
    Rec.Attach(Scanner);
    Scanner.Attributes = C.Attributes;
    Scanner.Files = C.Files;
    Scan();
    std::set<std::string> Expected;
    for (const std::string& E : C.Expected) Expected.insert(Tree[E]);
    EXPECT_EQ(Rec.FullPaths(), Expected) << C.Files << " / " << C.Attributes.Bits();
    EXPECT_EQ(Rec.Processed.size(), 4u);  // every folder entered
    EXPECT_EQ(Rec.Done.size(), 1u);
  }
}

TEST_F(ScannerTest, NonRecursiveReportsOnlyTheStartingFolder) {
  SmallTree();
  Scanner.Recursive = false;
  Scanner.Directory = Tree.Path() + "\\";  // the path is used as given
  Scan();
  const std::string R = Tree.Path() + "\\";
  EXPECT_EQ(Record.FullPaths(), (std::set<std::string>{R + "a.txt", R + "b.dat", R + "empty", R + "sub"}));
  for (const TFound& F : Record.Found) EXPECT_EQ(F.Path, R);
  EXPECT_EQ(Record.Processed, std::vector<std::string>{R});
}

TEST_F(ScannerTest, SpecifiedDiskSearchesTheWholeDriveFromItsRoot) {
  // A uniquely named folder at the root of C:, found from a deeper Directory.
  const std::string Unique = Numbered("VxDisk", GetCurrentProcessId());
  const std::string Root = "C:\\" + Unique + "_root";
  RemoveTree(Root);
  ASSERT_TRUE(CreateDirectoryA(Root.c_str(), nullptr));
  CloseHandle(CreateFileA((Root + "\\" + Unique + "_file.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, 0, nullptr));
  Scanner.ScanStrategy = ssSpecifiedDisk;
  Scanner.Directory = Root + "\\not\\even\\there";
  Scanner.Files = Unique + "*";
  Scan();
  RemoveTree(Root);

  ASSERT_EQ(Record.Found.size(), 2u);
  EXPECT_EQ(Record.Found[0].Path, "C:");
  EXPECT_EQ(Record.Found[0].Name, Unique + "_root");
  EXPECT_EQ(Record.Found[1].Path, "C:\\" + Unique + "_root");
  EXPECT_EQ(Record.Found[1].Name, Unique + "_file.txt");
  ASSERT_FALSE(Record.Processed.empty());
  EXPECT_EQ(Record.Processed[0], "C:");
}

TEST_F(ScannerTest, GlobalSearchesTheSelectedDriveKindsInLetterOrder) {
  std::vector<std::string> Fixed;
  const DWORD Drives = GetLogicalDrives();
  for (int L = 0; L < 26; ++L) {
    const char Root[] = {static_cast<char>('A' + L), ':', '\\', 0};
    if ((Drives >> L & 1) && GetDriveTypeA(Root) == DRIVE_FIXED) Fixed.push_back(std::string(Root, 2));
  }
  ASSERT_FALSE(Fixed.empty());
  Scanner.ScanStrategy = ssGlobal;
  Scanner.Recursive = false;  // the drives' roots are enough
  Scanner.Files = "no such name";
  Scanner.ScanDrives = {sdHard, sdRAM};
  Scan();
  EXPECT_EQ(Record.Processed, Fixed);
  EXPECT_TRUE(Record.Found.empty());

  TRecorder None;
  None.Attach(Scanner);
  Scanner.ScanDrives = {};
  Scan();
  EXPECT_TRUE(None.Processed.empty());
  EXPECT_EQ(None.Done, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 0}}));
}

TEST_F(ScannerTest, ExecuteWhileBusyIsIgnoredAndTheEndIsReportedOnce) {
  SmallTree();
  TTempTree Other("ScannerOtherTree");
  Other.File("other.txt");
  bool Restarted = false;
  Scanner.OnProcess = [&](std::uint32_t, std::uint32_t, const std::string& Current, std::uint32_t,
                          std::uint32_t) {
    Record.Processed.push_back(Current);
    Scanner.Directory = Other.Path();
    Scanner.Execute();  // busy: nothing happens
  };
  Scanner.OnProcessDone = [&](std::uint32_t Count, std::uint32_t Size) {
    Record.Done.emplace_back(Count, Size);
    Scanner.Execute();  // still busy until this returns: ignored too
    Restarted = !Scanner.Busy();
  };
  Scan();
  EXPECT_EQ(Record.Found.size(), 7u);
  EXPECT_EQ(Record.Find("other.txt"), nullptr);
  EXPECT_EQ(Record.Done.size(), 1u);
  EXPECT_FALSE(Restarted);
  EXPECT_FALSE(Scanner.Busy());

  // Idle again, the scanner takes the new settings.
  Scanner.OnProcess = nullptr;
  Scanner.OnProcessDone = nullptr;
  Scan();
  EXPECT_NE(Record.Find("other.txt"), nullptr);
}

TEST_F(ScannerTest, WithoutAFileHandlerNothingIsCounted) {
  SmallTree();
  Scanner.OnFileFound = nullptr;
  Scan();
  EXPECT_EQ(Record.Done, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 0}}));
  EXPECT_EQ(Record.Processed.size(), 4u);
}

TEST_F(ScannerTest, StopEndsTheScanAtTheNextEntry) {
  for (int I = 0; I < 30; ++I) Tree.File(Numbered("f", I) + ".txt", "ab");
  Tree.File("sub\\g.txt");
  Scanner.OnFileFound = [&](const std::string& N, const std::string& P, std::uint32_t A,
                            std::uint32_t S, TDateTime W) {
    Record.Found.push_back({N, P, A, S, W});
    Scanner.Stop();
    Scanner.Stop();  // harmless twice
  };
  Scan();
  EXPECT_EQ(Record.Found.size(), 1u);
  EXPECT_EQ(Record.Done, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{1, Record.Found[0].Size}}));

  // Stopped before the main thread served a single hand-off.
  TRecorder Early;
  Early.Attach(Scanner);
  Scanner.Execute();
  Scanner.Stop();
  ASSERT_TRUE(WaitForScan(Scanner));
  EXPECT_TRUE(Early.Found.empty());
  EXPECT_LE(Early.Processed.size(), 1u);
  EXPECT_EQ(Early.Done, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 0}}));
  Scanner.Stop();  // idle: nothing to stop
}

TEST_F(ScannerTest, InvalidMaskReportsNothingButTheEnd) {
  SmallTree();
  for (const char* Files : {"[]", "*.txt;[abc", "[-a]"}) {
    TRecorder Rec;
    Rec.Attach(Scanner);
    Scanner.Files = Files;
    Scan();
    EXPECT_TRUE(Rec.Processed.empty()) << Files;
    EXPECT_TRUE(Rec.Found.empty()) << Files;
    EXPECT_EQ(Rec.Done, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 0}})) << Files;
  }
}

TEST_F(ScannerTest, AHandlerThatThrowsEndsTheScan) {
  SmallTree();
  Scanner.OnFileFound = [&](const std::string& N, const std::string& P, std::uint32_t A,
                            std::uint32_t S, TDateTime W) {
    Record.Found.push_back({N, P, A, S, W});
    if (Record.Found.size() == 2) throw Exception("handler failed");
  };
  Scan();
  EXPECT_EQ(Record.Found.size(), 2u);
  const std::size_t Entered = Record.Processed.size();
  ASSERT_EQ(Record.Done.size(), 1u);
  EXPECT_EQ(Record.Done[0].first, 2u);  // counted before the handler ran

  // A throwing OnProcess ends it as well, before any entry.
  TRecorder Rec;
  Rec.Attach(Scanner);
  Scanner.OnProcess = [&](std::uint32_t, std::uint32_t, const std::string&, std::uint32_t,
                          std::uint32_t) { throw std::runtime_error("no"); };
  Scan();
  EXPECT_TRUE(Rec.Found.empty());
  EXPECT_EQ(Rec.Done, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 0}}));
  EXPECT_LE(Entered, 4u);
}

TEST_F(ScannerTest, AThrowingEndHandlerIsShownAndLeavesTheScannerIdle) {
  SmallTree();
  Application.SetTitle("Scanner test");
  Scanner.OnProcessDone = [](std::uint32_t, std::uint32_t) { throw Exception("done failed"); };
  TBoxWatcher Box("Scanner test");
  Scan();
  EXPECT_TRUE(Box.Answered());
  EXPECT_EQ(Box.Text(), "done failed.");  // the error box ends its sentence
  EXPECT_FALSE(Scanner.Busy());
}

TEST_F(ScannerTest, FolderLinksAreReportedButNotEntered) {
  TTempTree Canary("ScannerCanary");
  Canary.File("bird.txt");
  Tree.File("real\\x.txt");
  if (UnixPath(Tree.Path()).empty()) GTEST_SKIP() << "folder links are made through Wine";
  ASSERT_TRUE(MakeFolderLink(Tree["link"], Canary.Path()));
  ASSERT_TRUE(GetFileAttributesA(Tree["link"].c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
  Scan();
  const TFound* Link = Record.Find("link");
  ASSERT_NE(Link, nullptr);
  EXPECT_EQ(Link->Attr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
            DWORD{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT});
  EXPECT_NE(Record.Find("x.txt"), nullptr);
  EXPECT_EQ(Record.Find("bird.txt"), nullptr);
  EXPECT_EQ(std::count(Record.Processed.begin(), Record.Processed.end(), Tree["link"]), 0);
  RemoveTree(Tree["link"]);
  EXPECT_EQ(GetFileAttributesA(Canary["bird.txt"].c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(ScannerTest, AnUnconvertibleDateIsReportedAsZeroAndTheScanGoesOn) {
  Tree.File("a_new.txt");
  Tree.File("b_old.txt");
  Tree.File("c_new.txt");
  Tree.File("d\\e_new.txt");
  SYSTEMTIME Old{1970, 1, 0, 2, 0, 0, 0, 0};
  ASSERT_TRUE(SetLastWriteTime(Tree["b_old.txt"], Old));
  Scan();
  EXPECT_EQ(Record.Found.size(), 5u);
  const TFound* B = Record.Find("b_old.txt");
  ASSERT_NE(B, nullptr);
  EXPECT_EQ(B->When, 0.0);
  EXPECT_GT(Record.Find("c_new.txt")->When, EncodeDate(2020, 1, 1));
  EXPECT_NE(Record.Find("e_new.txt"), nullptr);
  EXPECT_EQ(Record.Done.size(), 1u);
  EXPECT_EQ(Record.Done[0].first, 5u);
}

TEST_F(ScannerTest, NamesOutsideAnyLegacyCodePageAreFound) {
  const std::string Name = "\xe4\xb8\xad.txt";          // 中.txt
  const std::string Folder = "\xe7\x9b\xae\xe5\xbd\x95";  // 目录
  Tree.File(Name);
  Tree.File(Folder + "\\" + Name);
  ASSERT_NE(GetFileAttributesA(Tree[Folder + "\\" + Name].c_str()), INVALID_FILE_ATTRIBUTES);
  Scanner.Files = "*.TXT";
  Scan();
  EXPECT_EQ(Record.FullPaths(), (std::set<std::string>{Tree[Name], Tree[Folder + "\\" + Name]}));
}

TEST_F(ScannerTest, DescendantsReceiveTheReportsThroughTheirOverrides) {
  struct TCounting : TBaseScanner {
    int Files = 0, Folders = 0;
    void DoFileFound(const std::string&, const std::string&, std::uint32_t, std::uint32_t,
                     TDateTime) override {
      ++Files;
    }
    void DoProcess(std::uint32_t, std::uint32_t, const std::string&, std::uint32_t,
                   std::uint32_t) override {
      ++Folders;
    }
  } S;
  SmallTree();
  S.ScanStrategy = ssSpecifiedDir;
  S.Directory = Tree.Path();
  S.Attributes = {};
  S.Execute();
  ASSERT_TRUE(WaitForScan(S));
  EXPECT_EQ(S.Files, 7);
  EXPECT_EQ(S.Folders, 4);
}

// --- How the main thread serves the hand-offs ---------------------------------

class HandOffTest : public ScannerTest {
protected:
  void BigTree() {
    for (int F = 0; F < 4; ++F)
      for (int I = 0; I < 50; ++I) Tree.File(Numbered("d", F) + Numbered("\\f", I));
  }
  static constexpr std::size_t BigCount = 4 + 4 * 50;
};

TEST_F(HandOffTest, ServedByTheIdleMessageLoop) {
  BigTree();
  Scanner.Execute();
  // The main thread sleeps in its message loop; a timer bounds the test.
  UINT_PTR Timer = SetTimer(nullptr, 0, 100, nullptr);
  const ULONGLONG Until = GetTickCount64() + Deadline;
  while (Scanner.Busy() && GetTickCount64() < Until) Application.HandleMessage();
  KillTimer(nullptr, Timer);
  EXPECT_FALSE(Scanner.Busy());
  EXPECT_EQ(Record.Found.size(), BigCount);
}

TEST_F(HandOffTest, ServedByAnotherMessageLoop) {
  // A loop that is not the application's, as in a modal dialog or message box.
  BigTree();
  Scanner.Execute();
  UINT_PTR Timer = SetTimer(nullptr, 0, 100, nullptr);
  const ULONGLONG Until = GetTickCount64() + Deadline;
  MSG Msg;
  while (Scanner.Busy() && GetTickCount64() < Until && GetMessageA(&Msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&Msg);
    DispatchMessageA(&Msg);
  }
  KillTimer(nullptr, Timer);
  EXPECT_FALSE(Scanner.Busy());
  EXPECT_EQ(Record.Found.size(), BigCount);
}

TEST_F(HandOffTest, ServedByProcessMessagesInOtherWork) {
  BigTree();
  Scanner.Execute();
  EXPECT_TRUE(WaitUntil([&] {
    Application.ProcessMessages();
    return !Scanner.Busy();
  }, std::chrono::milliseconds(Deadline)));
  EXPECT_EQ(Record.Found.size(), BigCount);
}

TEST_F(HandOffTest, NestedWaitsKeepServing) {
  // A handler that itself waits (a message box, a nested command) must not
  // stall the scan it belongs to nor another one.
  BigTree();
  TTempTree Other("HandOffNested");
  for (int I = 0; I < 20; ++I) Other.File(Numbered("n", I));
  TBaseScanner Second;
  TRecorder SecondRecord;
  SecondRecord.Attach(Second);
  Second.ScanStrategy = ssSpecifiedDir;
  Second.Directory = Other.Path();
  Second.Attributes = {};
  bool Nested = false;
  Scanner.OnProcessDone = [&](std::uint32_t Count, std::uint32_t Size) {
    Record.Done.emplace_back(Count, Size);
    Second.Execute();
    Nested = Application.WaitWhile([&] { return Second.Busy(); }, Deadline);
  };
  Scan();
  EXPECT_TRUE(Nested);
  EXPECT_EQ(Record.Found.size(), BigCount);
  EXPECT_EQ(SecondRecord.Found.size(), 20u);
  EXPECT_FALSE(SecondRecord.OffMainThread);
}

TEST_F(HandOffTest, WaitWhileTimesOutAndReturnsWhenIdle) {
  EXPECT_TRUE(Application.WaitWhile([] { return false; }, 0));
  auto CpuTime = [] {
    FILETIME Created, Exited, Kernel, User;
    GetThreadTimes(GetCurrentThread(), &Created, &Exited, &Kernel, &User);
    auto Ticks = [](const FILETIME& T) { return (ULONGLONG{T.dwHighDateTime} << 32) | T.dwLowDateTime; };
    return (Ticks(Kernel) + Ticks(User)) / 10000;  // ms
  };
  const ULONGLONG Start = GetTickCount64(), Cpu = CpuTime();
  EXPECT_FALSE(Application.WaitWhile([] { return true; }, 400));
  EXPECT_GE(GetTickCount64() - Start, 390u);
  EXPECT_LT(CpuTime() - Cpu, 200u) << "the wait spun instead of sleeping";
  // A condition another thread changes is noticed without a message.
  std::atomic<bool> Flag{true};
  std::thread Setter([&] {
    WaitUntil([] { return false; }, 50ms);
    Flag = false;
  });
  EXPECT_TRUE(Application.WaitWhile([&] { return Flag.load(); }, Deadline));
  Setter.join();
}

TEST_F(HandOffTest, DestroyingTheScannerMidScanStopsItAndSilencesIt) {
  BigTree();
  auto S = std::make_unique<TBaseScanner>();
  TRecorder Rec;
  Rec.Attach(*S);
  S->ScanStrategy = ssSpecifiedDir;
  S->Directory = Tree.Path();
  S->Attributes = {};
  S->Execute();
  ASSERT_TRUE(Application.WaitWhile([&] { return Rec.Found.size() < 3; }, Deadline));
  S.reset();  // returns once the worker has ended
  const std::size_t Seen = Rec.Found.size();
  EXPECT_LT(Seen, BigCount);
  Application.WaitWhile([] { return true; }, 200);  // anything left would run now
  EXPECT_EQ(Rec.Found.size(), Seen);
  EXPECT_TRUE(Rec.Done.empty());
}

TEST_F(HandOffTest, DestroyingTheScannerFromItsOwnHandler) {
  BigTree();
  auto S = std::make_unique<TBaseScanner>();
  std::size_t Calls = 0;
  S->ScanStrategy = ssSpecifiedDir;
  S->Directory = Tree.Path();
  S->Attributes = {};
  bool DoneCalled = false;
  S->OnProcessDone = [&](std::uint32_t, std::uint32_t) { DoneCalled = true; };
  S->OnFileFound = [&](const std::string&, const std::string&, std::uint32_t, std::uint32_t,
                       TDateTime) {
    if (++Calls == 2) S.reset();
  };
  S->Execute();
  ASSERT_TRUE(Application.WaitWhile([&] { return S != nullptr; }, Deadline));
  Application.WaitWhile([] { return true; }, 200);
  EXPECT_EQ(Calls, 2u);
  EXPECT_FALSE(DoneCalled);
}

}  // namespace

namespace {

// N copies of a string.
std::string Repeated(const std::string& S, int N) {
  std::string Out;
  for (int I = 0; I < N; ++I) Out += S;
  return Out;
}

}  // namespace

TEST_F(ScannerTest, LongNamesAndPathsDeeperThanMaxPathAreReportedInFull) {
  // 80 CJK characters: 244 bytes in UTF-8 with the extension. (A name past the
  // 260 bytes of an ANSI find record cannot be made here: Linux file systems
  // end names at 255 bytes.)
  const std::string Long = Repeated("\xE4\xB8\xAD", 80) + ".txt";
  Tree.File(Long);
  // Folders of 60 characters, five deep: past 300 characters with the names below.
  std::string Deep;
  for (char C = 'a'; C < 'f'; ++C) Deep += (Deep.empty() ? "" : "\\") + std::string(60, C);
  Tree.File(Deep + "\\deep.txt");
  Tree.File(Deep + "\\" + Long);
  ASSERT_GT(Tree[Deep + "\\deep.txt"].size(), 320u);
  Scan();

  const std::set<std::string> Paths = Record.FullPaths();
  EXPECT_TRUE(Paths.count(Tree[Long])) << "a long name";
  EXPECT_TRUE(Paths.count(Tree[Deep + "\\deep.txt"])) << "a long path";
  EXPECT_TRUE(Paths.count(Tree[Deep + "\\" + Long])) << "both";
  EXPECT_EQ(Record.Found.size(), 5u + 3);  // five folders, three files
}

namespace {

// A deep tree is walked whole. (Deep enough to end a walk that recurses per
// level is out of reach here: under Wine every step resolves the whole Linux
// path, and Linux ends paths at 4096 bytes.)
TEST_F(ScannerTest, DeepTreesAreWalkedWhole) {
  constexpr int Levels = 300;
  std::wstring Path = LongPath(Tree.Path());
  for (int I = 0; I < Levels; ++I) {
    Path += L"\\d";
    ASSERT_TRUE(CreateDirectoryW(Path.c_str(), nullptr)) << I << " " << GetLastError();
  }
  HANDLE File = CreateFileW((Path + L"\\bottom.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(File, INVALID_HANDLE_VALUE);
  CloseHandle(File);
  Scan();
  EXPECT_EQ(Record.Found.size(), Levels + 1u);
  ASSERT_NE(Record.Find("bottom.txt"), nullptr);
  EXPECT_EQ(Record.Find("bottom.txt")->Path.size(), Tree.Path().size() + 2u * Levels);
  ASSERT_EQ(Record.Done.size(), 1u);
}

}  // namespace
