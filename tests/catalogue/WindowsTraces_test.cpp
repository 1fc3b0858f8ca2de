// The Windows items on real registry keys, files, windows and the clipboard:
// HKEY_CURRENT_USER is the test's own key while they run, and their folders
// are the test's own trees. Jump lists, the thumbnail cache's cleanup handler
// and the clipboard history, which Wine lacks, are driven through stand-ins;
// one case each runs the system's call to show what Wine answers.
#include "catalogue/Catalogue.h"
#include "catalogue/WindowsTraces.h"

#include "support/Fixtures.h"
#include "support/TempTree.h"
#include "support/TestKey.h"
#include "win/WidePath.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string Explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

// HKEY_CURRENT_USER is the test key while it lives.
class TRedirectedUser {
public:
  explicit TRedirectedUser(const TTestKey& Key) {
    Key.CreateKey();
    HKEY Root = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Key.Path().c_str(), 0, KEY_ALL_ACCESS, &Root), ERROR_SUCCESS);
    EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, Root), ERROR_SUCCESS);
    RegCloseKey(Root);
  }
  ~TRedirectedUser() { RegOverridePredefKey(HKEY_CURRENT_USER, nullptr); }
  TRedirectedUser(const TRedirectedUser&) = delete;
  TRedirectedUser& operator=(const TRedirectedUser&) = delete;
};

// What the stand-ins for the system's calls answer and were asked.
struct TFake {
  static inline std::vector<std::wstring> JumpLists;
  static inline HRESULT JumpListResult = S_OK;
  static inline HRESULT HandlerResult = S_OK;
  static inline std::uint64_t HandlerBytes = 0;
  static inline int Purges = 0;
  static inline HRESULT HistoryResult = S_OK;
  static inline bool HistoryCleared = true;
  static inline int HistoryCalls = 0;

  static void Reset() {
    JumpLists.clear();
    JumpListResult = HandlerResult = HistoryResult = S_OK;
    HandlerBytes = 0;
    Purges = HistoryCalls = 0;
    HistoryCleared = true;
  }
  static HRESULT ClearJumpList(const wchar_t* AppId) {
    JumpLists.emplace_back(AppId);
    return JumpListResult;
  }
  static HRESULT ThumbnailHandler(const wchar_t*, bool Purge, std::uint64_t& Bytes) {
    Bytes = HandlerBytes;
    if (Purge && SUCCEEDED(HandlerResult)) ++Purges;
    return HandlerResult;
  }
  static HRESULT ClearClipboardHistory(bool& Cleared) {
    ++HistoryCalls;
    Cleared = HistoryCleared;
    return HistoryResult;
  }
};
const TWindowsCalls FakeCalls{&TFake::ClearJumpList, &TFake::ThumbnailHandler, &TFake::ClearClipboardHistory};

// Sets a file's or folder's times (all three) Days back from now.
void MakeOld(const std::string& Path, int Days) {
  HANDLE File = CreateFileW(LongPath(Path).c_str(), FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(File, INVALID_HANDLE_VALUE) << Path;
  FILETIME Now;
  GetSystemTimeAsFileTime(&Now);
  ULARGE_INTEGER Time{{Now.dwLowDateTime, Now.dwHighDateTime}};
  Time.QuadPart -= static_cast<ULONGLONG>(Days) * 24 * 60 * 60 * 10'000'000;
  const FILETIME Then{Time.LowPart, Time.HighPart};
  EXPECT_TRUE(SetFileTime(File, &Then, &Then, &Then));
  CloseHandle(File);
}

bool Exists(const std::string& Path) { return GetFileAttributesW(LongPath(Path).c_str()) != INVALID_FILE_ATTRIBUTES; }

class WindowsTraces : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    TFake::Reset();
    ReplaceWindowsPlaces(&FPlaces);
    ReplaceWindowsCalls(&FakeCalls);
  }
  void TearDown() override {
    ReplaceWindowsCalls(nullptr);
    ReplaceWindowsPlaces(nullptr);
    CoUninitialize();
  }

  TItemPlan Preview(const char* Id) {
    TItemPlan Plan;
    Plan.Item = FindItem(Id);
    EXPECT_NE(Plan.Item, nullptr) << Id;
    if (!Plan.Item) return Plan;
    TProgress Progress;
    TPreviewContext Context{Progress};
    Plan.Item->Preview(Context, Plan);
    return Plan;
  }
  // The preview's clean of the plan: what it counted, and its log lines.
  TTally Clean(TItemPlan& Plan) {
    TProgress Progress;
    TTally Tally;
    Lines.clear();
    TCleanContext Context{Progress, Tally, Lines};
    CleanPlanEntries(Plan, Context);
    return Tally;
  }

  TTempTree Tree{"WindowsTraces"};
  TWindowsPlaces FPlaces{Tree["Recent"], Tree["Local"], Tree["Windows"], Tree["ProgramData"]};
  TTestKey Key;
  std::vector<std::string> Lines;
};

// ---- registry lists

TEST_F(WindowsTraces, EachRegistryItemClearsTheValuesOfItsOwnKeysOnlyAndKeepsTheKeys) {
  struct TCase {
    const char* Id;
    std::set<std::string> Keys;  // below Explorer
  };
  const TCase Cases[] = {
      {"windows.run_history", {"RunMRU"}},
      {"windows.typed_paths", {"TypedPaths"}},
      {"windows.search_history", {"WordWheelQuery", "WordWheelQuery\\{4234d49b-0245-4df3-b780-3893943456e1}"}},
      {"windows.dialog_history",
       {"ComDlg32\\OpenSavePidlMRU", "ComDlg32\\OpenSavePidlMRU\\txt", "ComDlg32\\OpenSavePidlMRU\\*",
        "ComDlg32\\LastVisitedPidlMRU", "ComDlg32\\LastVisitedPidlMRULegacy", "ComDlg32\\CIDSizeMRU"}},
  };
  // Every item's keys, and neighbours no item owns, all with the same values.
  std::set<std::string> All{"RecentDocs", "ComDlg32\\FirstFolder", "RunMRUBackup", "ComDlg32"};
  for (const TCase& C : Cases) All.insert(C.Keys.begin(), C.Keys.end());
  const std::string Binary = "\x01\x00\x02";
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Id);
    for (const std::string& Sub : All) {
      Key.SetString("a", "C:\\secret\\" + Sub, Explorer + Sub);
      Key.SetBinary("MRUListEx", Binary.data(), Binary.size(), Explorer + Sub);
      Key.SetString("", "default", Explorer + Sub);
    }
    TItemPlan Plan;
    TTally Tally;
    {
      TRedirectedUser User(Key);
      Plan = Preview(C.Id);
      Tally = Clean(Plan);
    }
    std::set<std::string> Listed, Expected;
    for (const TPlanEntry& Entry : Plan.Entries) Listed.insert(Entry.Name);
    for (const std::string& Sub : C.Keys)
      for (const char* Value : {"a", "MRUListEx", "(Default)"})
        Expected.insert("HKEY_CURRENT_USER\\" + Explorer + Sub + "\\" + Value);
    EXPECT_EQ(Listed, Expected);
    EXPECT_EQ(Tally.RegistryValues, Expected.size());
    EXPECT_TRUE(Lines.empty());
    for (const std::string& Sub : All) {
      const bool Owned = C.Keys.count(Sub) != 0;
      EXPECT_TRUE(Key.Exists(Explorer + Sub)) << Sub;
      EXPECT_EQ(Key.HasValue("a", Explorer + Sub), !Owned) << Sub;
      EXPECT_EQ(Key.HasValue("MRUListEx", Explorer + Sub), !Owned) << Sub;
      EXPECT_EQ(Key.HasValue("", Explorer + Sub), !Owned) << Sub;
    }
  }
}

LRESULT CALLBACK PlainWindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L) {
  return DefWindowProcW(Window, Message, W, L);
}

TEST_F(WindowsTraces, TypedPathsStayWhileAnExplorerFolderWindowIsOpen) {
  WNDCLASSW Class{};
  Class.lpfnWndProc = &PlainWindowProc;
  Class.hInstance = GetModuleHandleW(nullptr);
  Class.lpszClassName = L"CabinetWClass";
  ASSERT_TRUE(RegisterClassW(&Class) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
  const int Before = ExplorerFolderWindows();
  HWND Window = CreateWindowExW(0, L"CabinetWClass", L"Documents", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, Class.hInstance, nullptr);
  ASSERT_NE(Window, nullptr);
  EXPECT_EQ(ExplorerFolderWindows(), Before + 1);
  Key.SetString("url1", "\\\\server\\share", Explorer + "TypedPaths");
  Key.SetString("url2", "C:\\secret", Explorer + "TypedPaths");
  {
    TRedirectedUser User(Key);
    TItemPlan Plan = Preview("windows.typed_paths");
    ASSERT_EQ(Plan.Entries.size(), 2u);
    const TTally Tally = Clean(Plan);
    EXPECT_EQ(Tally.RegistryValues, 0u);
    EXPECT_EQ(Tally.Refused, 2u);
    EXPECT_EQ(Tally.StayedOther, 2u);
    ASSERT_EQ(Lines.size(), 1u);
    EXPECT_THAT(Lines[0], HasSubstr("Explorer window" + std::string(Before + 1 == 1 ? " is" : "s are") + " open"));
  }
  EXPECT_TRUE(Key.HasValue("url1", Explorer + "TypedPaths"));
  EXPECT_TRUE(Key.HasValue("url2", Explorer + "TypedPaths"));

  DestroyWindow(Window);
  if (Before != 0) GTEST_SKIP() << "another Explorer window is open on this desktop";
  {
    TRedirectedUser User(Key);
    TItemPlan Plan = Preview("windows.typed_paths");
    EXPECT_EQ(Clean(Plan).RegistryValues, 2u);
    EXPECT_TRUE(Lines.empty());
  }
  EXPECT_FALSE(Key.HasValue("url1", Explorer + "TypedPaths"));
  EXPECT_TRUE(Key.Exists(Explorer + "TypedPaths"));
}

// ---- Recent Items and jump lists

TEST_F(WindowsTraces, RecentItemsTakeTheShortcutsAndLeaveTheJumpListsFilesAndSubFolders) {
  Tree.File("Recent\\report.docx.lnk");
  Tree.File("Recent\\Holiday.LNK");
  Tree.File("Recent\\desktop.ini");
  const std::string Pinned = Tree.File("Recent\\AutomaticDestinations\\f01b4d95cf55d32a.automaticDestinations-ms");
  const std::string Inner = Tree.File("Recent\\AutomaticDestinations\\inner.lnk");
  const std::string Custom = Tree.File("Recent\\CustomDestinations\\5d696d521de238c3.customDestinations-ms");
  // An application that names its ID for its file type.
  Key.SetString("AppUserModelID", "Vellumix.Test.Viewer", "Software\\Classes\\VellumixTest.Document");
  TTally Tally;
  {
    TRedirectedUser User(Key);
    TItemPlan Plan = Preview("windows.recent_items");
    ASSERT_EQ(Plan.Entries.size(), 1u);
    EXPECT_EQ(Plan.Entries[0].Kind, TEntryKind::Operation);
    EXPECT_THAT(Plan.Entries[0].Name, HasSubstr("1 jump list;"));
    EXPECT_EQ(Plan.Files(), 2u);
    Tally = Clean(Plan);
  }
  EXPECT_THAT(TFake::JumpLists, ElementsAre(L"Microsoft.Windows.Explorer", L"Vellumix.Test.Viewer"));
  EXPECT_THAT(Lines, ElementsAre("Asked the shell to clear Recent Items.",
                                 HasSubstr("Cleared the recent entries of the jump lists of 2 applications;")));
  EXPECT_EQ(Tally.Files, 2u);
  EXPECT_FALSE(Exists(Tree["Recent\\report.docx.lnk"]));
  EXPECT_FALSE(Exists(Tree["Recent\\Holiday.LNK"]));
  for (const std::string& Kept : {Tree["Recent\\desktop.ini"], Pinned, Inner, Custom}) EXPECT_TRUE(Exists(Kept)) << Kept;
}

TEST_F(WindowsTraces, RecentItemsSayWhatTheJumpListsAnsweredAndWaitForAnUnchangedList) {
  Tree.File("Recent\\AutomaticDestinations\\f01b4d95cf55d32a.automaticDestinations-ms");
  struct TCase {
    const TWindowsCalls* Calls;
    HRESULT Answer;
    bool ChangeFirst;
    const char* Line;  // a part of the last line
    std::uint64_t Refused, Changed;
  };
  const TCase Cases[] = {
      {&FakeCalls, E_ACCESSDENIED, false, "of 0 applications (1 refused)", 1, 0},
      {&FakeCalls, REGDB_E_CLASSNOTREG, false, "Jump lists cannot be cleared on this system", 0, 0},
      // The system's own: Wine's jump lists are not implemented.
      {&SystemWindowsCalls(), S_OK, false, "Jump lists cannot be cleared on this system", 0, 0},
      {&FakeCalls, S_OK, true, "Recent Items changed since the preview", 0, 1},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Line);
    TFake::Reset();
    TFake::JumpListResult = C.Answer;
    ReplaceWindowsCalls(C.Calls);
    TRedirectedUser User(Key);
    TItemPlan Plan = Preview("windows.recent_items");
    if (C.ChangeFirst) Tree.File("Recent\\AutomaticDestinations\\9b9cdc69c1c24e2b.automaticDestinations-ms");
    const TTally Tally = Clean(Plan);
    ASSERT_FALSE(Lines.empty());
    EXPECT_THAT(Lines.back(), HasSubstr(C.Line));
    EXPECT_EQ(Tally.Refused, C.Refused);
    EXPECT_EQ(Tally.Changed, C.Changed);
    if (C.ChangeFirst) {
      EXPECT_TRUE(TFake::JumpLists.empty());
    }
  }
}

// ---- thumbnail cache

TEST_F(WindowsTraces, ThumbnailsGoThroughWindowsHandlerWhileItsFigureIsUnchanged) {
  const std::string CacheFile = Tree.File("Local\\Microsoft\\Windows\\Explorer\\thumbcache_256.db");
  TFake::HandlerBytes = 5000;
  TItemPlan Plan = Preview("windows.thumbnails");
  ASSERT_EQ(Plan.Entries.size(), 1u);
  EXPECT_EQ(Plan.Entries[0].Size, 5000u);
  EXPECT_TRUE(Plan.Trees.empty()) << "the handler's files are its own";
  Clean(Plan);
  EXPECT_EQ(TFake::Purges, 1);
  EXPECT_THAT(Lines, ElementsAre("Emptied the thumbnail cache through Windows' cleanup handler (4.9 KB)."));
  EXPECT_TRUE(Exists(CacheFile));

  Plan = Preview("windows.thumbnails");
  TFake::HandlerBytes = 7000;  // Explorer made thumbnails since
  const TTally Tally = Clean(Plan);
  EXPECT_EQ(TFake::Purges, 1);
  EXPECT_EQ(Tally.Changed, 1u);
  EXPECT_THAT(Lines, ElementsAre(HasSubstr("changed since the preview")));
}

TEST_F(WindowsTraces, WithoutAHandlerOnlyTheCacheFilesNotInUseGo) {
  ReplaceWindowsCalls(&SystemWindowsCalls());  // Wine has no handler: the files are taken
  const std::string Folder = "Local\\Microsoft\\Windows\\Explorer\\";
  const std::string Free = Tree.File(Folder + "thumbcache_32.db"), Held = Tree.File(Folder + "thumbcache_idx.db");
  const std::string Icons = Tree.File(Folder + "iconcache_32.db"), Other = Tree.File(Folder + "thumbcache_32.txt");
  const std::string Below = Tree.File(Folder + "sub\\thumbcache_96.db");
  HANDLE Holder = CreateFileW(LongPath(Held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(Holder, INVALID_HANDLE_VALUE);
  TItemPlan Plan = Preview("windows.thumbnails");
  EXPECT_TRUE(Plan.Entries.empty());
  EXPECT_EQ(Plan.Files(), 2u);
  const TTally Tally = Clean(Plan);
  CloseHandle(Holder);
  EXPECT_EQ(Tally.Files, 1u);
  EXPECT_EQ(Tally.InUse, 1u);
  EXPECT_THAT(Lines, ElementsAre("1 thumbnail cache file is in use and stayed."));
  EXPECT_FALSE(Exists(Free));
  for (const std::string& Kept : {Held, Icons, Other, Below}) EXPECT_TRUE(Exists(Kept)) << Kept;
}

// ---- clipboard

class TClipboardOwner {
public:
  TClipboardOwner() {
    FWindow = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  }
  ~TClipboardOwner() { DestroyWindow(FWindow); }
  TClipboardOwner(const TClipboardOwner&) = delete;
  TClipboardOwner& operator=(const TClipboardOwner&) = delete;
  bool Put(const std::wstring& Text) {
    if (!OpenClipboard(FWindow)) return false;
    EmptyClipboard();
    HGLOBAL Memory = GlobalAlloc(GMEM_MOVEABLE, (Text.size() + 1) * sizeof(wchar_t));
    std::copy_n(Text.c_str(), Text.size() + 1, static_cast<wchar_t*>(GlobalLock(Memory)));
    GlobalUnlock(Memory);
    const bool Set = SetClipboardData(CF_UNICODETEXT, Memory) != nullptr;
    CloseClipboard();
    return Set;
  }

private:
  HWND FWindow;
};

TEST_F(WindowsTraces, TheClipboardIsEmptiedAndWineSaysItHasNoHistory) {
  ReplaceWindowsCalls(&SystemWindowsCalls());
  TClipboardOwner Owner;
  ASSERT_TRUE(Owner.Put(L"password"));
  TItemPlan Plan = Preview("windows.clipboard");
  ASSERT_EQ(Plan.Entries.size(), 2u);
  const TTally Tally = Clean(Plan);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_EQ(CountClipboardFormats(), 0);
  EXPECT_THAT(Lines, ElementsAre("Emptied the clipboard.", "Clipboard history is not available on this system."));
  EXPECT_EQ(Tally.Stayed(), 0u);

  // Copied again after the preview: that is not what it showed.
  ASSERT_TRUE(Owner.Put(L"first"));
  Plan = Preview("windows.clipboard");
  ASSERT_TRUE(Owner.Put(L"second"));
  EXPECT_EQ(Clean(Plan).Changed, 1u);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_THAT(Lines.front(), HasSubstr("changed since the preview"));
  ASSERT_TRUE(Owner.Put(L""));
}

TEST_F(WindowsTraces, TheClipboardHistorySaysWhatWindowsAnswered) {
  struct TCase {
    HRESULT Answer;
    bool Cleared;
    const char* Line;
    std::uint64_t Refused;
  };
  const TCase Cases[] = {
      {S_OK, true, "Cleared Windows' clipboard history; pinned entries stay.", 0},
      {S_OK, false, "Windows did not clear the clipboard history.", 1},
      {E_ACCESSDENIED, false, "Could not clear the clipboard history (error 0x80070005).", 1},
      {E_NOINTERFACE, false, "Clipboard history is not available on this system.", 0},
  };
  for (const TCase& C : Cases) {
    TFake::Reset();
    TFake::HistoryResult = C.Answer;
    TFake::HistoryCleared = C.Cleared;
    TItemPlan Plan = Preview("windows.clipboard");
    std::erase_if(Plan.Entries, [](const TPlanEntry& E) { return E.Name.find("history") == std::string::npos; });
    const TTally Tally = Clean(Plan);
    EXPECT_EQ(TFake::HistoryCalls, 1);
    EXPECT_THAT(Lines, ElementsAre(C.Line));
    EXPECT_EQ(Tally.Refused, C.Refused) << C.Line;
  }
}

// ---- recycle bins

// Puts one file into the desktop trash that Wine's recycle bin is, the way a
// Linux file manager does.
void SeedTrash(const std::string& Name) {
  for (const char* Folder : {".local", ".local\\share", ".local\\share\\Trash", ".local\\share\\Trash\\files",
                             ".local\\share\\Trash\\info"})
    CreateDirectoryA(HomePath(Folder).c_str(), nullptr);
  std::ofstream(HomePath(".local\\share\\Trash\\files\\" + Name)) << "secret";
  std::ofstream(HomePath(".local\\share\\Trash\\info\\" + Name + ".trashinfo"))
      << "[Trash Info]\nPath=/tmp/" << Name << "\nDeletionDate=2024-05-01T10:00:00\n";
}

TEST_F(WindowsTraces, EachFixedDrivesRecycleBinIsEmptiedOnlyAsThePreviewSawIt) {
  if (HomePath("").empty()) GTEST_SKIP() << "the recycle bin is seeded through Wine's desktop trash";
  SHEmptyRecycleBinW(nullptr, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
  SeedTrash("letter.txt");
  TItemPlan Plan = Preview("windows.recycle_bins");
  ASSERT_FALSE(Plan.Entries.empty());
  for (const TPlanEntry& Entry : Plan.Entries) EXPECT_THAT(Entry.Name, HasSubstr("(1 item)"));
  SeedTrash("diary.txt");  // binned after the preview
  TTally Tally = Clean(Plan);
  EXPECT_EQ(Tally.Changed, Plan.Entries.size());
  EXPECT_THAT(Lines.front(), HasSubstr("changed since the preview; it was left as it is."));
  EXPECT_TRUE(GetFileAttributesA(HomePath(".local\\share\\Trash\\files\\diary.txt").c_str()) != INVALID_FILE_ATTRIBUTES);

  Plan = Preview("windows.recycle_bins");
  Tally = Clean(Plan);
  EXPECT_EQ(Tally.Stayed(), 0u);
  // Under Wine every drive shows the one desktop trash: the first empties it.
  EXPECT_THAT(Lines.front(), HasSubstr("Emptied the recycle bin of"));
  EXPECT_THAT(Lines.front(), HasSubstr("(2 items, 12 bytes)"));
  EXPECT_TRUE(GetFileAttributesA(HomePath(".local\\share\\Trash\\files\\diary.txt").c_str()) == INVALID_FILE_ATTRIBUTES);
}

// ---- folders

TEST_F(WindowsTraces, ReportDumpAndShaderFoldersLoseTheirContentsNotThemselvesNorWhatALinkLeadsTo) {
  const std::string Wer = "Local\\Microsoft\\Windows\\WER\\";
  TTempTree Canary("WindowsTracesCanary");
  const std::string Kept = Canary.File("canary.txt");
  const bool Links = !UnixPath(Tree.Path()).empty();
  struct TCase {
    const char* Id;
    std::vector<std::string> Files;  // made, and gone afterwards
    std::vector<std::string> Roots;  // stay
  };
  const TCase Cases[] = {
      {"windows.error_reports",
       {Wer + "ReportQueue\\AppCrash_app.exe_1\\Report.wer", Wer + "ReportArchive\\AppHang_2\\Report.wer",
        Wer + "Temp\\WER1234.tmp.mdmp"},
       {Wer + "ReportQueue", Wer + "ReportArchive", Wer + "Temp"}},
      {"windows.crash_dumps", {"Local\\CrashDumps\\app.exe.4242.dmp"}, {"Local\\CrashDumps"}},
      {"windows.shader_cache", {"Local\\D3DSCache\\6a2c\\shader.idx"}, {"Local\\D3DSCache"}},
  };
  const std::string Beside = Tree.File(Wer + "Other\\keep.txt");
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Id);
    for (const std::string& File : C.Files) Tree.File(File);
    if (Links) {
      ASSERT_TRUE(MakeFolderLink(Tree[C.Roots[0] + "\\elsewhere"], Canary.Path()));
    }
    TItemPlan Plan = Preview(C.Id);
    EXPECT_TRUE(Plan.Refusals.empty());
    EXPECT_EQ(Plan.Files(), C.Files.size());
    EXPECT_EQ(Clean(Plan).Files, C.Files.size());
    for (const std::string& File : C.Files) EXPECT_FALSE(Exists(Tree[File])) << File;
    for (const std::string& Root : C.Roots) EXPECT_TRUE(Exists(Tree[Root])) << Root;
    EXPECT_TRUE(Exists(Kept));
    if (Links) RemoveTree(Tree[C.Roots[0] + "\\elsewhere"]);
  }
  EXPECT_TRUE(Exists(Beside));
  // Folders that do not exist hold nothing: no refusal in the log.
  RemoveTree(Tree["Local"]);
  for (const TCase& C : Cases) {
    TItemPlan Plan = Preview(C.Id);
    EXPECT_TRUE(Plan.Trees.empty() && Plan.Refusals.empty()) << C.Id;
  }
}

TEST_F(WindowsTraces, AdministratorItemsAreOfferedOnlyElevatedAndTakeOnlyWhatTheirRulesAllow) {
  std::set<std::string> Admin;
  for (const TItem& Item : Catalogue()) {
    if (Item.Group != TGroup::Windows) continue;
    if (Item.Admin) Admin.insert(Item.Id);
    EXPECT_EQ(ItemOffered(Item, false), !Item.Admin) << Item.Id;
    EXPECT_TRUE(ItemOffered(Item, true)) << Item.Id;
  }
  EXPECT_EQ(Admin, (std::set<std::string>{"windows.system_temp", "windows.prefetch", "windows.system_error_reports"}));

  struct TFile {
    std::string Path;
    int Days;  // old
    bool Gone;
  };
  const TFile Files[] = {
      {"Windows\\Prefetch\\OLD.EXE-1A2B3C4D.pf", 10, true},
      {"Windows\\Prefetch\\NEW.EXE-5E6F7A8B.pf", 1, false},
      {"Windows\\Prefetch\\Layout.ini", 10, false},
      {"Windows\\Prefetch\\AgAppLaunch.db", 10, false},
      {"Windows\\Prefetch\\ReadyBoot\\Trace7.fx", 10, false},
      {"Windows\\Temp\\setup.log", 10, true},
      {"Windows\\Temp\\service.tmp", 2, false},
      {"ProgramData\\Microsoft\\Windows\\WER\\ReportQueue\\Kernel_1\\Report.wer", 0, true},
  };
  for (const TFile& F : Files) {
    Tree.File(F.Path);
    if (F.Days) MakeOld(Tree[F.Path], F.Days);
  }
  for (const std::string& Id : Admin) {
    TItemPlan Plan = Preview(Id.c_str());
    EXPECT_TRUE(Plan.Refusals.empty()) << Id;
    Clean(Plan);
  }
  for (const TFile& F : Files) EXPECT_EQ(Exists(Tree[F.Path]), !F.Gone) << F.Path;
  EXPECT_TRUE(Exists(Tree["ProgramData\\Microsoft\\Windows\\WER\\ReportQueue"]));
}

}  // namespace
