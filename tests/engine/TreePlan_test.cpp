// A plan of a folder tree and its clean: exactly what was planned and still
// is what was planned goes; the rest stays, counted.
#include "engine/TreePlan.h"

#include "support/TempTree.h"
#include "win/FileHandle.h"
#include "win/WidePath.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// "f100.txt", "f101.txt", ...: names that sort as they are numbered.
inline std::string NumberedName(int I) { return std::string("f").append(std::to_string(100 + I)).append(".txt"); }

bool Exists(const std::string& Path) { return GetFileAttributesW(LongPath(Path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

void Write(const std::string& Path, const std::string& Content, bool Append = false) {
  std::ofstream Out(Path, std::ios::binary | (Append ? std::ios::app : std::ios::trunc));
  Out << Content;
}

TTreePlan::TEntry* Find(TTreePlan& Plan, const std::wstring& Name) {
  for (TTreePlan::TEntry& Entry : Plan.Entries)
    if (Plan.NameOf(Entry) == Name) return &Entry;
  return nullptr;
}

TEST(TreePlan, TheCleanRemovesExactlyWhatWasPlannedAndStillMatches) {
  TTempTree Tree("PlanExact"), Canary("PlanCanary");
  for (const char* Name : {"a.txt", "sub\\b.txt", "sub\\deeper\\c.txt", "replaced.txt", "grown.txt",
                           "rewritten.txt", "unticked.txt", "busy.txt", "swapped\\victim.txt"})
    Tree.File(Name, "12345");
  SetFileAttributesA(Tree.File("readonly.txt", "ro").c_str(), FILE_ATTRIBUTE_READONLY);
  Tree.Folder("empty");

  TProgress Progress;
  TTreePlan Plan = PlanTree(LongPath(Tree.Path()), {}, Progress);
  ASSERT_EQ(Plan.Skipped, 0u);
  // 10 files and 4 folders.
  EXPECT_EQ(Plan.Entries.size(), 14u);
  EXPECT_EQ(Progress.Entries, 14u);
  EXPECT_EQ(Plan.TickedFiles(), 10u);
  EXPECT_EQ(Plan.TickedBytes(), 9u * 5 + 2);

  // Between the preview and the clean.
  DeleteFileA(Tree["replaced.txt"].c_str());
  Tree.File("replaced.txt", "12345");          // same name, same size: another file
  Write(Tree["grown.txt"], "6", true);          // grown
  SYSTEMTIME Later{2031, 1, 0, 1, 0, 0, 0, 0};
  SetLastWriteTime(Tree["rewritten.txt"], Later);  // re-written in place
  Tree.File("added.txt", "new");                // appeared since
  Find(Plan, L"unticked.txt")->Ticked = false;
  HANDLE Held = CreateFileA(Tree["busy.txt"].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(Held, INVALID_HANDLE_VALUE);
  const bool Links = !UnixPath(Tree.Path()).empty();
  if (Links) {
    // The planned folder is swapped for a link to a folder outside, holding
    // a file of the same name.
    const std::string Victim = Canary.File("victim.txt", "keep me");
    ASSERT_TRUE(MoveFileA(Tree["swapped"].c_str(), Tree["swapped-away"].c_str()));
    ASSERT_TRUE(MakeFolderLink(Tree["swapped"], Canary.Path()));
  }

  TTally Tally;
  CleanTree(Plan, Progress, Tally);
  CloseHandle(Held);

  for (const char* Gone : {"a.txt", "sub", "readonly.txt", "empty"}) EXPECT_FALSE(Exists(Tree[Gone])) << Gone;
  for (const char* Stays : {"replaced.txt", "grown.txt", "rewritten.txt", "added.txt", "unticked.txt", "busy.txt"})
    EXPECT_TRUE(Exists(Tree[Stays])) << Stays;
  EXPECT_EQ(ReadAll(Tree["grown.txt"]), "123456");
  EXPECT_EQ(ReadAll(Tree["busy.txt"]), "12345");
  EXPECT_EQ(Tally.Files, 4u);  // a, b, c, readonly
  EXPECT_EQ(Tally.Bytes, 3u * 5 + 2);
  EXPECT_EQ(Tally.InUse, 1u);
  if (Links) {
    EXPECT_EQ(ReadAll(Canary["victim.txt"]), "keep me") << "the clean went through the link";
    EXPECT_EQ(Tally.Changed, 4u);  // replaced, grown, rewritten, and the swapped folder's file
    RemoveTree(Tree["swapped"]);
    EXPECT_TRUE(Exists(Canary["victim.txt"]));
  } else {
    EXPECT_EQ(Tally.Changed, 3u);
  }
}

TEST(TreePlan, NamesOnlyTheLongFormReachesArePlannedAndRemoved) {
  TTempTree Tree("PlanNames");
  const std::wstring Root = LongPath(Tree.Path());
  for (const wchar_t* Name : {L"con.txt", L"NUL", L"trailing.", L"trailing ", L"\xFF0E\xFF0E"}) {
    HANDLE File = CreateFileW((Root + L"\\" + Name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(File, INVALID_HANDLE_VALUE) << Narrow(Name);
    CloseHandle(File);
  }
  TProgress Progress;
  TTreePlan Plan = PlanTree(Root, {}, Progress);
  EXPECT_EQ(Plan.TickedFiles(), 5u);
  TTally Tally;
  CleanTree(Plan, Progress, Tally);
  EXPECT_EQ(Tally.Files, 5u);
  EXPECT_EQ(Tally.Stayed(), 0u);
}

TEST(TreePlan, AStoppedCleanLeavesTheRestWhole) {
  TTempTree Tree("PlanStopped");
  for (int I = 0; I < 20; ++I) Tree.File(NumberedName(I), "content");
  TProgress Progress;
  TTreePlan Plan = PlanTree(LongPath(Tree.Path()), {}, Progress);
  ASSERT_EQ(Plan.Entries.size(), 20u);
  Progress.Reset();
  Progress.HoldAfter(5);
  TTally Tally;
  std::thread Worker([&] { CleanTree(Plan, Progress, Tally); });
  // The worker waits after its fifth entry until the work is stopped.
  const ULONGLONG Deadline = GetTickCount64() + 20000;
  while (Progress.Entries < 5 && GetTickCount64() < Deadline) SwitchToThread();
  Progress.Cancel();
  Worker.join();
  EXPECT_EQ(Tally.Files, 5u);
  int Left = 0;
  for (int I = 0; I < 20; ++I) {
    const std::string File = Tree[NumberedName(I)];
    if (!Exists(File)) continue;
    ++Left;
    EXPECT_EQ(ReadAll(File), "content");
  }
  EXPECT_EQ(Left, 15);
}

TEST(TreePlan, AFileLinkIsNeverDeletedThrough) {
  TTempTree Tree("PlanLinks"), Target("PlanLinkTarget");
  if (UnixPath(Tree.Path()).empty()) GTEST_SKIP() << "links are made through Wine";
  const std::string Bird = Target.File("bird.txt", "tweet");
  ASSERT_TRUE(MakeFileLink(Tree["file-link.txt"], Bird));
  ASSERT_TRUE(MakeFolderLink(Tree["folder-link"], Target.Path()));
  TProgress Progress;
  TTreePlan Plan = PlanTree(LongPath(Tree.Path()), {}, Progress);
  TTally Tally;
  CleanTree(Plan, Progress, Tally);
  EXPECT_EQ(ReadAll(Bird), "tweet");
  EXPECT_EQ(Tally.Files, 0u);
  RemoveTree(Tree["file-link.txt"]);
  RemoveTree(Tree["folder-link"]);
  EXPECT_EQ(ReadAll(Bird), "tweet");
}

// A file with two names: removing one frees nothing, and lifting its
// read-only flag would change the other name's file too. It stays whole.
TEST(TreePlan, AFileWithOtherNamesStaysWhole) {
  TTempTree Tree("PlanHardLink"), Elsewhere("PlanHardLinkOther");
  const std::string Shared = Tree.File("shared.txt", "both");
  SetFileAttributesA(Shared.c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(CreateHardLinkA(Elsewhere["other.txt"].c_str(), Shared.c_str(), nullptr));
  TProgress Progress;
  TTreePlan Plan = PlanTree(LongPath(Tree.Path()), {}, Progress);
  ASSERT_EQ(Plan.TickedFiles(), 1u);
  TTally Tally;
  std::vector<TEntryOutcome> Outcomes;
  CleanTree(Plan, Progress, Tally, &Outcomes);
  EXPECT_EQ(Outcomes.at(0), TEntryOutcome::OtherNames);
  EXPECT_EQ(Tally.Files, 0u);
  EXPECT_EQ(Tally.Bytes, 0u) << "nothing was freed";
  EXPECT_EQ(Tally.Refused, 1u);
  EXPECT_TRUE(Exists(Shared));
  EXPECT_EQ(GetFileAttributesA(Elsewhere["other.txt"].c_str()) & FILE_ATTRIBUTE_READONLY,
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))
      << "the other name keeps its flag";
  SetFileAttributesA(Shared.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The folder a plan walks is the one its caller judged: a folder put on the
// way since then (an intermediate folder made a link) is not walked.
TEST(TreePlan, TheRootIsTheFolderJudgedNotWhatItsPathLeadsToNow) {
  TTempTree Tree("PlanRootSwap"), Decoy("PlanRootDecoy");
  Tree.File("on\\the\\keep.txt", "mine");
  Decoy.File("the\\victim.txt", "not mine");
  if (UnixPath(Tree.Path()).empty()) GTEST_SKIP() << "folder links are made through Wine";
  const std::wstring Root = LongPath(Tree["on\\the"]);
  TFileHandle Judged = OpenNoFollow(Root, FILE_READ_ATTRIBUTES);
  BY_HANDLE_FILE_INFORMATION Info;
  ASSERT_TRUE(GetFileInformationByHandle(Judged.get(), &Info));
  Judged.reset();
  const std::uint64_t Id = (static_cast<std::uint64_t>(Info.nFileIndexHigh) << 32) | Info.nFileIndexLow;
  // Between the judgement and the walk, "on" becomes a link to the decoy.
  ASSERT_TRUE(MoveFileA(Tree["on"].c_str(), Tree["was-on"].c_str()));
  ASSERT_TRUE(MakeFolderLink(Tree["on"], Decoy.Path()));
  TProgress Progress;
  const TTreePlan Plan = PlanTree(Root, {}, Progress, Id, Info.dwVolumeSerialNumber);
  EXPECT_TRUE(Plan.RootChanged);
  EXPECT_TRUE(Plan.Entries.empty());
  // Without the identity the walk would have gone there.
  EXPECT_FALSE(PlanTree(Root, {}, Progress).Entries.empty());
  RemoveTree(Tree["on"]);
  EXPECT_TRUE(Exists(Decoy["the\\victim.txt"]));
}

TEST(Tally, TheSummaryLine) {
  struct TCase {
    TTally Tally;
    const char* Line;
  };
  TTally Big;
  Big.Files = 1204, Big.Bytes = 40'055'603, Big.RegistryValues = 12, Big.InUse = 3;
  TTally Mixed;
  Mixed.Files = 1, Mixed.Bytes = 1, Mixed.CacheEntries = 2, Mixed.RegistryValues = 1, Mixed.InUse = 1,
  Mixed.Changed = 2, Mixed.StayedOther = 1;
  TTally Cache;
  Cache.Bytes = 1023 * 1024 + 1000, Cache.CacheEntries = 1;
  TTally Rows;
  Rows.Files = 2, Rows.Bytes = 10, Rows.Rows = 1500, Rows.RegistryValues = 2;
  const TCase Cases[] = {
      {{}, "Removed 0 files (0 bytes)."},
      {Big, "Removed 1,204 files (38.2 MB) and 12 registry values; 3 files stayed (in use)."},
      {Mixed, "Removed 1 file (1 byte), 2 cache entries and 1 registry value; 3 entries stayed (1 in use, 2 changed)."},
      {Cache, "Removed 0 files (1.0 MB) and 1 cache entry."},
      {Rows, "Removed 2 files (10 bytes), 1,500 database rows and 2 registry values."},
  };
  for (const TCase& C : Cases) EXPECT_EQ(SummaryLine(C.Tally), C.Line);
  EXPECT_EQ(GroupedCount(1234567), "1,234,567");
  EXPECT_EQ(SizeText(1536), "1.5 KB");
}

}  // namespace
