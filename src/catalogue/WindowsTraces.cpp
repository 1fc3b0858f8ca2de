#include "catalogue/WindowsTraces.h"

#include "catalogue/Families.h"
#include "catalogue/Token.h"
#include "win/Handle.h"
#include "win/SystemLibrary.h"
#include "win/WidePath.h"

#include <emptyvc.h>
#include <hstring.h>
#include <inspectable.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdio>

namespace {

// ---- small helpers

template <class T>
void ReleaseCom(T* Object) noexcept {
  Object->Release();
}
template <class T>
using TComRef = TUnique<handle_traits::NullIsInvalid<T*, ReleaseCom<T>>>;


bool EndsWith(std::wstring_view Name, std::wstring_view End) {
  return Name.size() >= End.size() &&
         CompareStringOrdinal(Name.data() + Name.size() - End.size(), static_cast<int>(End.size()), End.data(),
                              static_cast<int>(End.size()), TRUE) == CSTR_EQUAL;
}

bool StartsWith(std::wstring_view Name, std::wstring_view Start) {
  return Name.size() >= Start.size() && CompareStringOrdinal(Name.data(), static_cast<int>(Start.size()),
                                                             Start.data(), static_cast<int>(Start.size()),
                                                             TRUE) == CSTR_EQUAL;
}

bool FolderExists(const std::string& Folder) {
  if (Folder.empty()) return false;
  const DWORD Attributes = GetFileAttributesW(LongPath(Folder).c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string HexCode(HRESULT Result) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "0x%08lX", static_cast<unsigned long>(Result));
  return Text;
}

std::string Plural(std::uint64_t Count, const char* One, const char* Many) {
  return GroupedCount(Count) + " " + (Count == 1 ? One : Many);
}

// What is in a folder's own files (not its sub-folders): a token of names,
// sizes and write times of all, and how many end in Suffix, with their bytes.
struct TListing {
  std::uint64_t Count = 0, Bytes = 0, Token = HashSeed;
};

TListing ListFiles(const std::string& Folder, std::wstring_view Suffix = {}) {
  TListing Listing;
  if (Folder.empty()) return Listing;
  WIN32_FIND_DATAW Entry;
  TFindHandle Search(FindFirstFileExW((LongPath(Folder) + L"\\*").c_str(), FindExInfoBasic, &Entry,
                                      FindExSearchNameMatch, nullptr, 0));
  if (!Search) return Listing;
  do {
    if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::uint64_t Size = (static_cast<std::uint64_t>(Entry.nFileSizeHigh) << 32) | Entry.nFileSizeLow;
    if (EndsWith(Entry.cFileName, Suffix)) {
      ++Listing.Count;
      Listing.Bytes += Size;
    }
    Listing.Token = Hash(Entry.cFileName, wcslen(Entry.cFileName) * sizeof(wchar_t),
                         HashOf(Entry.ftLastWriteTime, HashOf(Size, Listing.Token)));
  } while (FindNextFileW(Search.get(), &Entry));
  return Listing;
}

void AddOperation(TItemPlan& Plan, std::string Name, std::uint64_t Size, std::uint64_t Token,
                  std::wstring Tag = {}) {
  TPlanEntry Entry;
  Entry.Kind = TEntryKind::Operation;
  Entry.Name = std::move(Name);
  Entry.Size = Size;
  Entry.Token = Token;
  Entry.Key = std::move(Tag);
  Plan.Entries.push_back(std::move(Entry));
}

// What stayed of an operation, for the summary: it is not a file.
void Stayed(std::uint64_t TTally::*Why, TCleanContext& Context, std::uint64_t Count = 1) {
  Context.Tally.*Why += Count;
  Context.Tally.StayedOther += Count;
}

// The rules that take only the root folder's own files whose names pass Pick.
TTreeRules OnlyFiles(std::function<bool(std::wstring_view)> Pick, TTreeRules Rules = {}) {
  Rules.Take = [Pick = std::move(Pick)](std::wstring_view Name, bool Folder) { return !Folder && Pick(Name); };
  return Rules;
}

// The contents of each folder that exists (a missing one holds nothing to
// clean and is not worth a refusal in the log); the folders themselves stay.
void PreviewContents(TPreviewContext& Context, TItemPlan& Plan, const std::string& Parent,
                     std::initializer_list<const char*> Names, const std::string& What,
                     const TTreeRules& Rules = {}) {
  if (Parent.empty()) return;
  for (const char* Name : Names) {
    const std::string Folder = Parent + "\\" + Name;
    if (FolderExists(Folder)) PreviewTree(Context, Plan, Folder, What + " (" + Name + ")", Rules);
  }
}

// ---- registry lists

const std::string ExplorerKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

// The values of a key and of all its sub-keys; the keys stay.
void PreviewValuesBelow(TItemPlan& Plan, const std::string& Path, int Depth = 0) {
  PreviewValues(Plan, HKEY_CURRENT_USER, Path);
  if (Depth == 8) return;  // no list nests deeper; a loop of links would
  TRegKey Key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(Path).c_str(), 0, KEY_ENUMERATE_SUB_KEYS, Key.put()) != ERROR_SUCCESS)
    return;
  std::vector<std::string> Subs;
  wchar_t Name[256];
  for (DWORD Index = 0;; ++Index) {
    DWORD Length = 256;
    const LONG Rc = RegEnumKeyExW(Key.get(), Index, Name, &Length, nullptr, nullptr, nullptr, nullptr);
    if (Rc == ERROR_NO_MORE_ITEMS) break;
    if (Rc == ERROR_SUCCESS) Subs.push_back(Narrow({Name, Length}));
  }
  for (const std::string& Sub : Subs) PreviewValuesBelow(Plan, Path + "\\" + Sub, Depth + 1);
}

void PreviewRunHistory(TPreviewContext&, TItemPlan& Plan) {
  PreviewValues(Plan, HKEY_CURRENT_USER, ExplorerKey + "RunMRU");
}

void PreviewTypedPaths(TPreviewContext&, TItemPlan& Plan) {
  PreviewValues(Plan, HKEY_CURRENT_USER, ExplorerKey + "TypedPaths");
}

void PreviewSearchHistory(TPreviewContext&, TItemPlan& Plan) {
  PreviewValuesBelow(Plan, ExplorerKey + "WordWheelQuery");
}

void PreviewDialogHistory(TPreviewContext&, TItemPlan& Plan) {
  // Files by extension (one sub-key each), the folders and programs last
  // used, the dialogs' sizes per program; LastVisitedPidlMRULegacy is the
  // list Windows keeps for programs written for older dialogs.
  PreviewValuesBelow(Plan, ExplorerKey + "ComDlg32\\OpenSavePidlMRU");
  for (const char* List : {"LastVisitedPidlMRU", "LastVisitedPidlMRULegacy", "CIDSizeMRU"})
    PreviewValues(Plan, HKEY_CURRENT_USER, ExplorerKey + "ComDlg32\\" + List);
}

// Explorer keeps the typed paths of all its windows in memory and writes the
// whole list back whenever one of them closes: values deleted while a window
// is open come back. So the list is cleared only with no folder window open.
void CleanTypedPaths(TCleanContext& Context, TItemPlan& Plan) {
  const auto Values = Plan.RegistryValues();
  if (Values == 0) return;
  if (const int Open = ExplorerFolderWindows()) {
    Stayed(&TTally::Refused, Context, Values);
    Context.Lines.push_back("Left Explorer's address-bar history as it is: " +
                            Plural(static_cast<std::uint64_t>(Open), "Explorer window is", "Explorer windows are") +
                            " open and would write it back on closing. Close " + (Open == 1 ? "it" : "them") +
                            " and clean again.");
    return;
  }
  CleanEntries(Context, Plan);
}

// ---- Recent Items and jump lists

std::uint64_t RecentItemsToken(const TWindowsPlaces& Places) {
  std::uint64_t Token = ListFiles(Places.Recent + "\\AutomaticDestinations").Token;
  Token = HashOf(ListFiles(Places.Recent).Token, Token);
  TRegKey Key;
  FILETIME Written{};
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(ExplorerKey + "RecentDocs").c_str(), 0, KEY_QUERY_VALUE,
                    Key.put()) == ERROR_SUCCESS &&
      RegQueryInfoKeyW(Key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, &Written) == ERROR_SUCCESS)
    Token = HashOf(Written, Token);
  return Token;
}

void PreviewRecentItems(TPreviewContext& Context, TItemPlan& Plan) {
  const TWindowsPlaces Places = WindowsPlaces();
  if (!FolderExists(Places.Recent)) return;
  const TListing Lists = ListFiles(Places.Recent + "\\AutomaticDestinations", L".automaticDestinations-ms");
  AddOperation(Plan,
               "Recent Items and the recent entries of jump lists, through the shell (" +
                   Plural(Lists.Count, "jump list", "jump lists") + "; pinned entries stay)",
               0, RecentItemsToken(Places));
  // What the shell leaves: the shortcuts of the folder itself. Its
  // sub-folders hold the jump lists and their pins, and are never entered.
  PreviewTree(Context, Plan, Places.Recent, "the Recent folder",
              OnlyFiles([](std::wstring_view Name) { return EndsWith(Name, L".lnk"); }));
}

// The jump lists: Windows names each list's file after a hash of its
// application's AppUserModelID, and offers no way back from the file to the
// ID. So the clean asks for the lists of the applications it can name:
// Explorer's (Quick Access and the folders' lists) and those of applications
// that register an ID for their file types. Lists of applications that only
// set their ID at run time, or that Windows names after their program file,
// are not reached and keep their recent entries.
std::string ClearJumpLists(TCleanContext& Context) {
  std::uint64_t Cleared = 0, Failed = 0;
  for (const std::wstring& App : JumpListApplications()) {
    const HRESULT Result = WindowsCalls().ClearJumpList(App.c_str());
    if (Result == REGDB_E_CLASSNOTREG || Result == E_NOTIMPL)
      return "Jump lists cannot be cleared on this system; they were left as they are.";
    if (SUCCEEDED(Result))
      ++Cleared;
    else
      ++Failed;
  }
  if (Failed) Stayed(&TTally::Refused, Context, Failed);
  return "Cleared the recent entries of the jump lists of " + Plural(Cleared, "application", "applications") +
         (Failed ? " (" + GroupedCount(Failed) + " refused)" : "") +
         "; pinned entries stay, and applications that register no AppUserModelID are not reached.";
}

void CleanRecentItems(TCleanContext& Context, TItemPlan& Plan) {
  for (const TPlanEntry& Entry : Plan.Entries) {
    if (!Entry.Ticked || Entry.Kind != TEntryKind::Operation) continue;
    if (RecentItemsToken(WindowsPlaces()) != Entry.Token) {
      Stayed(&TTally::Changed, Context);
      Context.Lines.push_back("Recent Items changed since the preview: the shell's lists were left as they are.");
      continue;
    }
    // The jump lists first: the shell's clear of Recent Items may drop what
    // they are looked up by.
    const std::string JumpLists = ClearJumpLists(Context);
    SHAddToRecentDocs(SHARD_PIDL, nullptr);
    Context.Lines.push_back("Asked the shell to clear Recent Items.");
    Context.Lines.push_back(JumpLists);
  }
  // The shortcuts the shell left, each only while it is what the preview saw.
  CleanEntries(Context, Plan);
}

// ---- thumbnail cache

class TCleanupCallback : public IEmptyVolumeCacheCallBack {
public:
  explicit TCleanupCallback(TProgress* Progress) : FProgress(Progress) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Id, void** Object) override {
    if (Id == IID_IUnknown || Id == IID_IEmptyVolumeCacheCallBack) {
      *Object = this;
      return S_OK;
    }
    *Object = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the caller's stack for the length of the calls.
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE ScanProgress(DWORDLONG, DWORD, LPCWSTR) override { return Going(); }
  HRESULT STDMETHODCALLTYPE PurgeProgress(DWORDLONG, DWORDLONG, DWORD, LPCWSTR) override { return Going(); }

private:
  HRESULT Going() const { return FProgress && FProgress->Cancelled() ? E_ABORT : S_OK; }
  TProgress* FProgress;
};

HRESULT SystemThumbnailHandler(const wchar_t* Volume, bool Purge, std::uint64_t& Bytes) {
  Bytes = 0;
  const wchar_t* Path = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\VolumeCaches\\Thumbnail Cache";
  TRegKey Key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Path, 0, KEY_READ, Key.put()) != ERROR_SUCCESS) return REGDB_E_CLASSNOTREG;
  wchar_t Text[64] = {};
  DWORD Size = sizeof Text;
  CLSID Handler;
  if (RegGetValueW(Key.get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, Text, &Size) != ERROR_SUCCESS ||
      FAILED(CLSIDFromString(Text, &Handler)))
    return REGDB_E_CLASSNOTREG;
  TComRef<IEmptyVolumeCache> Cache;
  HRESULT Result = CoCreateInstance(Handler, nullptr, CLSCTX_INPROC_SERVER, IID_IEmptyVolumeCache,
                                    reinterpret_cast<void**>(Cache.put()));
  if (FAILED(Result)) return Result;
  // No flags: in settings mode a handler cleans while it initialises.
  DWORD Flags = 0;
  LPWSTR Name = nullptr, Description = nullptr, Button = nullptr;
  TComRef<IEmptyVolumeCache2> Cache2;
  if (SUCCEEDED(Cache.get()->QueryInterface(IID_IEmptyVolumeCache2, reinterpret_cast<void**>(Cache2.put()))))
    Result = Cache2.get()->InitializeEx(Key.get(), Volume, L"Thumbnail Cache", &Name, &Description, &Button, &Flags);
  else
    Result = Cache.get()->Initialize(Key.get(), Volume, &Name, &Description, &Flags);
  CoTaskMemFree(Name);
  CoTaskMemFree(Description);
  CoTaskMemFree(Button);
  if (FAILED(Result)) return Result;
  if (Result == S_FALSE) return S_OK;  // nothing to free on this volume
  TCleanupCallback Callback(nullptr);
  DWORDLONG Used = 0;
  Result = Cache.get()->GetSpaceUsed(&Used, &Callback);
  if (SUCCEEDED(Result) && Purge && Used) Result = Cache.get()->Purge(Used, &Callback);
  if (SUCCEEDED(Result)) Bytes = Used;
  DWORD After = 0;
  Cache.get()->Deactivate(&After);
  return FAILED(Result) ? Result : S_OK;
}

std::wstring ThumbnailVolume(const TWindowsPlaces& Places) {
  const std::wstring Folder = Widen(Places.LocalAppData);
  return Folder.size() >= 2 && Folder[1] == L':' ? Folder.substr(0, 2) : L"C:";
}

const std::string ThumbnailFolder = "\\Microsoft\\Windows\\Explorer";

void PreviewThumbnails(TPreviewContext& Context, TItemPlan& Plan) {
  const TWindowsPlaces Places = WindowsPlaces();
  std::uint64_t Bytes = 0;
  if (SUCCEEDED(WindowsCalls().ThumbnailHandler(ThumbnailVolume(Places).c_str(), false, Bytes))) {
    // The handler's own figure is the token: it changes with the cache.
    if (Bytes) AddOperation(Plan, "The thumbnail cache, through Windows' cleanup handler", Bytes, Bytes);
    return;
  }
  // No handler: the cache files Explorer does not hold (those it holds are
  // found in use by the clean, and stay).
  if (Places.LocalAppData.empty() || !FolderExists(Places.LocalAppData + ThumbnailFolder)) return;
  PreviewTree(Context, Plan, Places.LocalAppData + ThumbnailFolder, "the thumbnail cache's folder",
              OnlyFiles([](std::wstring_view Name) {
                return StartsWith(Name, L"thumbcache_") && EndsWith(Name, L".db");
              }));
}

void CleanThumbnails(TCleanContext& Context, TItemPlan& Plan) {
  const TWindowsPlaces Places = WindowsPlaces();
  for (const TPlanEntry& Entry : Plan.Entries) {
    if (!Entry.Ticked || Entry.Kind != TEntryKind::Operation) continue;
    const std::wstring Volume = ThumbnailVolume(Places);
    std::uint64_t Now = 0;
    HRESULT Result = WindowsCalls().ThumbnailHandler(Volume.c_str(), false, Now);
    if (SUCCEEDED(Result) && Now != Entry.Token) {
      Stayed(&TTally::Changed, Context);
      Context.Lines.push_back("The thumbnail cache changed since the preview; it was left as it is.");
      continue;
    }
    std::uint64_t Freed = 0;
    if (SUCCEEDED(Result)) Result = WindowsCalls().ThumbnailHandler(Volume.c_str(), true, Freed);
    if (FAILED(Result)) {
      Stayed(&TTally::Refused, Context);
      Context.Lines.push_back("Windows' cleanup handler did not empty the thumbnail cache (error " +
                              HexCode(Result) + ").");
      continue;
    }
    Context.Lines.push_back("Emptied the thumbnail cache through Windows' cleanup handler (" + SizeText(Freed) +
                            ").");
  }
  const std::uint64_t InUse = Context.Tally.InUse;
  CleanEntries(Context, Plan);
  if (const std::uint64_t Held = Context.Tally.InUse - InUse)
    Context.Lines.push_back(Plural(Held, "thumbnail cache file is", "thumbnail cache files are") +
                            " in use and stayed.");
}

// ---- clipboard

const std::wstring ClipboardTag = L"clipboard";
const std::wstring HistoryTag = L"history";

// Looked into at run time: Windows 7 and 8 have no clipboard history, and
// combase.dll does not exist before Windows 8.
struct IClipboardStatics2 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE GetHistoryItemsAsync(void** Operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearHistory(boolean* Result) = 0;
};
constexpr IID IID_IClipboardStatics2 = {
    0xD2AC1B6A, 0xD29F, 0x554B, {0xB3, 0x03, 0xF0, 0x45, 0x23, 0x45, 0xFE, 0x02}};

HRESULT SystemClearClipboardHistory(bool& Cleared) {
  Cleared = false;
  // Loaded once for the process and kept: COM may hold on to what it made.
  static const HMODULE Combase = LoadSystemLibrary(L"combase.dll");
  if (!Combase) return REGDB_E_CLASSNOTREG;
  using TCreateString = HRESULT(WINAPI*)(LPCWSTR, UINT32, HSTRING*);
  using TDeleteString = HRESULT(WINAPI*)(HSTRING);
  using TGetFactory = HRESULT(WINAPI*)(HSTRING, REFIID, void**);
  auto CreateString =
      reinterpret_cast<TCreateString>(reinterpret_cast<void*>(GetProcAddress(Combase, "WindowsCreateString")));
  auto DeleteString =
      reinterpret_cast<TDeleteString>(reinterpret_cast<void*>(GetProcAddress(Combase, "WindowsDeleteString")));
  auto GetFactory =
      reinterpret_cast<TGetFactory>(reinterpret_cast<void*>(GetProcAddress(Combase, "RoGetActivationFactory")));
  if (!CreateString || !DeleteString || !GetFactory) return REGDB_E_CLASSNOTREG;
  static constexpr wchar_t Class[] = L"Windows.ApplicationModel.DataTransfer.Clipboard";
  HSTRING Name = nullptr;
  HRESULT Result = CreateString(Class, static_cast<UINT32>(std::size(Class) - 1), &Name);
  if (FAILED(Result)) return Result;
  TComRef<IClipboardStatics2> Statics;
  Result = GetFactory(Name, IID_IClipboardStatics2, reinterpret_cast<void**>(Statics.put()));
  DeleteString(Name);
  if (FAILED(Result)) return Result;
  boolean Done = 0;
  Result = Statics.get()->ClearHistory(&Done);
  Cleared = SUCCEEDED(Result) && Done;
  return Result;
}

void PreviewClipboard(TPreviewContext&, TItemPlan& Plan) {
  if (const int Formats = CountClipboardFormats(); Formats > 0)
    AddOperation(Plan, "The clipboard's content (" + Plural(static_cast<std::uint64_t>(Formats), "format", "formats") + ")",
                 0, GetClipboardSequenceNumber(), ClipboardTag);
  // Nothing tells what the history holds without reading it: always listed.
  AddOperation(Plan, "Windows' clipboard history, where it has one (pinned entries stay)", 0, 0, HistoryTag);
}

// Another program may hold the clipboard for a moment: tried for a second.
bool OpenClipboardAwhile() {
  const ULONGLONG Until = GetTickCount64() + 1000;
  for (;;) {
    if (OpenClipboard(nullptr)) return true;
    if (GetTickCount64() >= Until) return false;
    Sleep(20);
  }
}

void CleanClipboardContent(TCleanContext& Context, const TPlanEntry& Entry) {
  if (GetClipboardSequenceNumber() != Entry.Token) {
    Stayed(&TTally::Changed, Context);
    Context.Lines.push_back("The clipboard changed since the preview; it was left as it is.");
    return;
  }
  if (!OpenClipboardAwhile()) {
    Stayed(&TTally::InUse, Context);
    Context.Lines.push_back("The clipboard is held by another program; it was left as it is.");
    return;
  }
  const bool Emptied = EmptyClipboard();
  CloseClipboard();
  if (Emptied) {
    Context.Lines.push_back("Emptied the clipboard.");
  } else {
    Stayed(&TTally::Refused, Context);
    Context.Lines.push_back("The clipboard could not be emptied.");
  }
}

void CleanClipboardHistory(TCleanContext& Context) {
  bool Cleared = false;
  const HRESULT Result = WindowsCalls().ClearClipboardHistory(Cleared);
  if (Result == REGDB_E_CLASSNOTREG || Result == E_NOINTERFACE) {
    Context.Lines.push_back("Clipboard history is not available on this system.");
  } else if (FAILED(Result)) {
    Stayed(&TTally::Refused, Context);
    Context.Lines.push_back("Could not clear the clipboard history (error " + HexCode(Result) + ").");
  } else if (!Cleared) {
    Stayed(&TTally::Refused, Context);
    Context.Lines.push_back("Windows did not clear the clipboard history.");
  } else {
    Context.Lines.push_back("Cleared Windows' clipboard history; pinned entries stay.");
  }
}

void CleanClipboard(TCleanContext& Context, TItemPlan& Plan) {
  for (const TPlanEntry& Entry : Plan.Entries) {
    if (!Entry.Ticked || Entry.Kind != TEntryKind::Operation) continue;
    if (Entry.Key == ClipboardTag) CleanClipboardContent(Context, Entry);
    if (Entry.Key == HistoryTag) CleanClipboardHistory(Context);
  }
}

// ---- recycle bins

std::vector<std::wstring> FixedDrives() {
  std::vector<std::wstring> Drives;
  wchar_t Text[512];
  const DWORD Length = GetLogicalDriveStringsW(static_cast<DWORD>(std::size(Text)), Text);
  if (Length == 0 || Length > std::size(Text)) return Drives;
  for (const wchar_t* Root = Text; *Root; Root += wcslen(Root) + 1)
    if (GetDriveTypeW(Root) == DRIVE_FIXED) Drives.emplace_back(Root);
  return Drives;
}

struct TBin {
  std::uint64_t Count = 0, Bytes = 0;
  std::uint64_t Token() const { return HashOf(Bytes, HashOf(Count, HashSeed)); }
};

TBin BinOf(const std::wstring& Root) {
  SHQUERYRBINFO Info{sizeof Info, 0, 0};
  if (SHQueryRecycleBinW(Root.c_str(), &Info) != S_OK) return {};
  return {static_cast<std::uint64_t>(Info.i64NumItems), static_cast<std::uint64_t>(Info.i64Size)};
}

void PreviewRecycleBins(TPreviewContext&, TItemPlan& Plan) {
  for (const std::wstring& Root : FixedDrives()) {
    const TBin Bin = BinOf(Root);
    if (Bin.Count)
      AddOperation(Plan, "The recycle bin of " + Narrow(Root) + " (" + Plural(Bin.Count, "item", "items") + ")",
                   Bin.Bytes, Bin.Token(), Root);
  }
}

void CleanRecycleBins(TCleanContext& Context, TItemPlan& Plan) {
  for (const TPlanEntry& Entry : Plan.Entries) {
    if (!Entry.Ticked || Entry.Kind != TEntryKind::Operation) continue;
    const std::string Drive = Narrow(Entry.Key);
    const TBin Bin = BinOf(Entry.Key);
    if (Bin.Count == 0) {
      // Emptied meanwhile, or one bin seen through two drive letters.
      Context.Lines.push_back("The recycle bin of " + Drive + " is empty already.");
      continue;
    }
    if (Bin.Token() != Entry.Token) {
      Stayed(&TTally::Changed, Context);
      Context.Lines.push_back("The recycle bin of " + Drive + " changed since the preview; it was left as it is.");
      continue;
    }
    const HRESULT Result =
        SHEmptyRecycleBinW(nullptr, Entry.Key.c_str(), SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
    if (FAILED(Result)) {
      Stayed(&TTally::Refused, Context);
      Context.Lines.push_back("The recycle bin of " + Drive + " could not be emptied (error " + HexCode(Result) +
                              ").");
      continue;
    }
    Context.Lines.push_back("Emptied the recycle bin of " + Drive + " (" + Plural(Bin.Count, "item", "items") +
                            ", " + SizeText(Bin.Bytes) + ").");
  }
}

// ---- folders

const std::string ErrorReports = "\\Microsoft\\Windows\\WER";

void PreviewErrorReports(TPreviewContext& Context, TItemPlan& Plan) {
  const std::string Local = WindowsPlaces().LocalAppData;
  if (!Local.empty())
    PreviewContents(Context, Plan, Local + ErrorReports, {"ReportArchive", "ReportQueue", "Temp"},
                    "the error reports folder");
}

void PreviewCrashDumps(TPreviewContext& Context, TItemPlan& Plan) {
  PreviewContents(Context, Plan, WindowsPlaces().LocalAppData, {"CrashDumps"}, "the crash dumps folder");
}

void PreviewShaderCache(TPreviewContext& Context, TItemPlan& Plan) {
  PreviewContents(Context, Plan, WindowsPlaces().LocalAppData, {"D3DSCache"}, "the shader cache folder");
}

void PreviewSystemTemp(TPreviewContext& Context, TItemPlan& Plan) {
  PreviewContents(Context, Plan, WindowsPlaces().Windows, {"Temp"}, "Windows' temporary folder",
                  KeepRecentlyUsed());
}

void PreviewPrefetch(TPreviewContext& Context, TItemPlan& Plan) {
  // Only the traces of programs run (*.pf), and only those unused for eight
  // days: Layout.ini, the *.db files and ReadyBoot serve the start of Windows.
  PreviewContents(Context, Plan, WindowsPlaces().Windows, {"Prefetch"}, "the Prefetch folder",
                  OnlyFiles([](std::wstring_view Name) { return EndsWith(Name, L".pf"); }, KeepRecentlyUsed()));
}

void PreviewSystemErrorReports(TPreviewContext& Context, TItemPlan& Plan) {
  const std::string Common = WindowsPlaces().ProgramData;
  if (!Common.empty())
    PreviewContents(Context, Plan, Common + ErrorReports, {"ReportArchive", "ReportQueue", "Temp"},
                    "the machine's error reports folder");
}

// ---- where the items look

std::string ShellFolder(int Csidl) {
  wchar_t Path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, Csidl | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT, Path)))
    return {};
  return NarrowExact(Path).value_or(std::string());
}

HRESULT SystemClearJumpList(const wchar_t* AppId) {
  TComRef<IApplicationDestinations> Destinations;
  HRESULT Result = CoCreateInstance(CLSID_ApplicationDestinations, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IApplicationDestinations, reinterpret_cast<void**>(Destinations.put()));
  if (FAILED(Result)) return Result;
  Result = Destinations.get()->SetAppID(AppId);
  if (SUCCEEDED(Result)) Result = Destinations.get()->RemoveAllDestinations();
  return Result;
}

const TWindowsPlaces* ReplacedPlaces = nullptr;
const TWindowsCalls* ReplacedCalls = nullptr;

using enum TGroup;

}  // namespace

TWindowsPlaces SystemWindowsPlaces() {
  TWindowsPlaces Places;
  Places.Recent = ShellFolder(CSIDL_RECENT);
  Places.LocalAppData = ShellFolder(CSIDL_LOCAL_APPDATA);
  Places.Windows = ShellFolder(CSIDL_WINDOWS);
  Places.ProgramData = ShellFolder(CSIDL_COMMON_APPDATA);
  return Places;
}

const TWindowsCalls& SystemWindowsCalls() {
  static const TWindowsCalls Calls{&SystemClearJumpList, &SystemThumbnailHandler, &SystemClearClipboardHistory};
  return Calls;
}

TWindowsPlaces WindowsPlaces() { return ReplacedPlaces ? *ReplacedPlaces : SystemWindowsPlaces(); }
const TWindowsCalls& WindowsCalls() { return ReplacedCalls ? *ReplacedCalls : SystemWindowsCalls(); }
void ReplaceWindowsPlaces(const TWindowsPlaces* Places) { ReplacedPlaces = Places; }
void ReplaceWindowsCalls(const TWindowsCalls* Calls) { ReplacedCalls = Calls; }

int ExplorerFolderWindows() {
  int Count = 0;
  EnumWindows(
      [](HWND Window, LPARAM Param) -> BOOL {
        wchar_t Class[32];
        const int Length = GetClassNameW(Window, Class, static_cast<int>(std::size(Class)));
        const std::wstring_view Name(Class, Length > 0 ? static_cast<std::size_t>(Length) : 0);
        if (Name == L"CabinetWClass" || Name == L"ExploreWClass") ++*reinterpret_cast<int*>(Param);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&Count));
  return Count;
}

std::vector<std::wstring> JumpListApplications() {
  std::vector<std::wstring> Apps{L"Microsoft.Windows.Explorer"};
  auto Add = [&](std::wstring Id) {
    if (Id.empty()) return;
    for (const std::wstring& Known : Apps)
      if (CompareStringOrdinal(Known.c_str(), -1, Id.c_str(), -1, TRUE) == CSTR_EQUAL) return;
    Apps.push_back(std::move(Id));
  };
  // A file type's ProgID names the application's ID in its value
  // AppUserModelID; the user's and the machine's classes apart, as HKCR
  // merges them.
  for (HKEY Root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    TRegKey Classes;
    if (RegOpenKeyExW(Root, L"Software\\Classes", 0, KEY_ENUMERATE_SUB_KEYS, Classes.put()) != ERROR_SUCCESS)
      continue;
    wchar_t Name[256];
    for (DWORD Index = 0;; ++Index) {
      DWORD Length = 256;
      const LONG Rc = RegEnumKeyExW(Classes.get(), Index, Name, &Length, nullptr, nullptr, nullptr, nullptr);
      if (Rc == ERROR_NO_MORE_ITEMS) break;
      if (Rc != ERROR_SUCCESS || Name[0] == L'.') continue;  // extensions name ProgIDs, not applications
      wchar_t Id[256];
      DWORD Size = sizeof Id;
      if (RegGetValueW(Classes.get(), Name, L"AppUserModelID", RRF_RT_REG_SZ, nullptr, Id, &Size) == ERROR_SUCCESS)
        Add(Id);
    }
  }
  return Apps;
}

std::vector<TItem> WindowsItems() {
  // Id, group, tag, label, hint, switch, early, clear, folder, folder name,
  // preview, section, admin, present, clean.
  return {
      {"windows.run_history", Windows, 0, "Run history", "The commands typed into the Run dialog.", nullptr, false,
       nullptr, nullptr, nullptr, &PreviewRunHistory, "Explorer", false, nullptr, nullptr},
      {"windows.typed_paths", Windows, 0, "Typed paths", "The folders and addresses typed into Explorer's address bar.",
       nullptr, false, nullptr, nullptr, nullptr, &PreviewTypedPaths, "Explorer", false, nullptr, &CleanTypedPaths},
      {"windows.search_history", Windows, 0, "Search history", "What was searched for in Explorer's search box.",
       nullptr, false, nullptr, nullptr, nullptr, &PreviewSearchHistory, "Explorer", false, nullptr, nullptr},
      {"windows.dialog_history", Windows, 0, "Open and Save dialogs",
       "The files, folders and programs the Open and Save dialogs remember.", nullptr, false, nullptr, nullptr,
       nullptr, &PreviewDialogHistory, "Explorer", false, nullptr, nullptr},
      {"windows.recent_items", Windows, 0, "Recent Items and jump lists",
       "Recently opened files, and the recent entries of jump lists; pinned entries stay.", nullptr, false, nullptr,
       nullptr, nullptr, &PreviewRecentItems, "Explorer", false, nullptr, &CleanRecentItems},
      {"windows.thumbnails", Windows, 0, "Thumbnail cache",
       "The small pictures Explorer keeps of files, even of deleted ones.", nullptr, false, nullptr, nullptr,
       nullptr, &PreviewThumbnails, "Explorer", false, nullptr, &CleanThumbnails},
      {"windows.clipboard", Windows, 0, "Clipboard", "What was copied last, and Windows' clipboard history.",
       nullptr, false, nullptr, nullptr, nullptr, &PreviewClipboard, "System", false, nullptr, &CleanClipboard},
      {"windows.error_reports", Windows, 0, "Error reports",
       "The reports Windows keeps of programs that crashed or hung.", nullptr, false, nullptr, nullptr, nullptr,
       &PreviewErrorReports, "System", false, nullptr, nullptr},
      {"windows.crash_dumps", Windows, 0, "Crash dumps",
       "Memory of crashed programs, which may hold documents and passwords.", nullptr, false, nullptr, nullptr,
       nullptr, &PreviewCrashDumps, "System", false, nullptr, nullptr},
      {"windows.shader_cache", Windows, 0, "Shader cache", "DirectX's cache of compiled graphics programs.", nullptr,
       false, nullptr, nullptr, nullptr, &PreviewShaderCache, "System", false, nullptr, nullptr},
      {"windows.recycle_bins", Windows, 0, "Recycle bins", "The recycle bin of every fixed drive.", nullptr, false,
       nullptr, nullptr, nullptr, &PreviewRecycleBins, "System", false, nullptr, &CleanRecycleBins},
      {"windows.system_temp", Windows, 0, "Windows' temporary files",
       "Files in the Windows folder's Temp unused for eight days.", nullptr, false, nullptr, nullptr, nullptr,
       &PreviewSystemTemp, "Administrator", true, nullptr, nullptr},
      {"windows.prefetch", Windows, 0, "Prefetch files",
       "Windows' records of programs run, unused for eight days.", nullptr, false, nullptr, nullptr, nullptr,
       &PreviewPrefetch, "Administrator", true, nullptr, nullptr},
      {"windows.system_error_reports", Windows, 0, "Error reports of all users",
       "The error reports Windows keeps for the whole machine.", nullptr, false, nullptr, nullptr, nullptr,
       &PreviewSystemErrorReports, "Administrator", true, nullptr, nullptr},
  };
}
