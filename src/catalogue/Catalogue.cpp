#include "catalogue/Catalogue.h"

#include "actions/TraceKeys.h"
#include "catalogue/Families.h"
#include "catalogue/Token.h"
#include "engine/FolderGuard.h"
#include "iecache/IECache.h"
#include "resource.h"
#include "settings/Policy.h"
#include "win/Handle.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <array>

namespace {

std::uint64_t ToInteger(const FILETIME& Time) {
  return (static_cast<std::uint64_t>(Time.dwHighDateTime) << 32) | Time.dwLowDateTime;
}


std::string InternetCacheFolder() { return SpecialFolder(CSIDL_INTERNET_CACHE); }
std::string HistoryFolder() { return SpecialFolder(CSIDL_HISTORY); }
std::string TemporaryFolder() { return TempFolder(); }

// ---- previews

void PreviewFolder(TPreviewContext& Context, TItemPlan& Plan) {
  const TItem& Item = *Plan.Item;
  const bool Temp = Item.Folder == &TemporaryFolder;
  PreviewTree(Context, Plan, Item.Folder(), Item.FolderName, Temp && Context.KeepRecentTemp ? KeepRecentlyUsed() : TTreeRules{},
              Temp ? TSweepScope::UserTemp : TSweepScope::UserData);
}

// Path: below HKEY_CURRENT_USER (or Root), with or without a leading backslash.
std::wstring KeyPath(const std::string& Path) {
  std::string Trimmed = Path;
  while (!Trimmed.empty() && Trimmed.front() == '\\') Trimmed.erase(0, 1);
  while (!Trimmed.empty() && Trimmed.back() == '\\') Trimmed.pop_back();
  return Widen(Trimmed);
}

std::uint64_t ValueToken(DWORD Type, const BYTE* Data, DWORD Size) {
  return Hash(Data, Size, HashOf(Type, HashOf(Size, HashSeed)));
}

void PreviewCache(TItemPlan& Plan, TSearchPattern Pattern) {
  TIECache Cache = TIECache::ForMainWindow();
  Cache.SearchPattern = Pattern;
  for (DWORD Rc = Cache.FindFirstEntry(0); Rc == 0; Rc = Cache.FindNextEntry()) {
    TPlanEntry Entry;
    Entry.Kind = TEntryKind::CacheEntry;
    Entry.Name = Cache.EntryInfo.SourceUrlName;
    Entry.Size = Cache.EntryInfo.Size;
    Plan.Entries.push_back(std::move(Entry));
  }
}

void AddOperation(TItemPlan& Plan, std::string Name, std::uint64_t Size) {
  TPlanEntry Entry;
  Entry.Kind = TEntryKind::Operation;
  Entry.Name = std::move(Name);
  Entry.Size = Size;
  Entry.Token = OperationToken(*Plan.Item);
  Plan.Entries.push_back(std::move(Entry));
}

// The shortcuts of the Recent folder, which the shell's clear removes.
std::pair<std::uint64_t, std::uint64_t> RecentShortcuts(std::uint64_t& Token) {
  std::uint64_t Count = 0, Bytes = 0;
  const std::string Recent = SpecialFolder(CSIDL_RECENT);
  if (Recent.empty()) return {0, 0};
  WIN32_FIND_DATAW Entry;
  TFindHandle Search(FindFirstFileExW((LongPath(Recent) + L"\\*").c_str(), FindExInfoBasic, &Entry,
                                      FindExSearchNameMatch, nullptr, 0));
  if (!Search) return {0, 0};
  do {
    if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    ++Count;
    Bytes += (static_cast<std::uint64_t>(Entry.nFileSizeHigh) << 32) | Entry.nFileSizeLow;
    Token = Hash(Entry.cFileName, wcslen(Entry.cFileName) * sizeof(wchar_t), HashOf(Entry.ftLastWriteTime, Token));
  } while (FindNextFileW(Search.get(), &Entry));
  return {Count, Bytes};
}

std::uint64_t RecentDocumentsToken() {
  std::uint64_t Token = HashSeed;
  RecentShortcuts(Token);
  TRegKey Key;
  FILETIME Written{};
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs", 0,
                    KEY_QUERY_VALUE, Key.put()) == ERROR_SUCCESS &&
      RegQueryInfoKeyW(Key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, &Written) == ERROR_SUCCESS)
    Token = HashOf(Written, Token);
  return Token;
}

// RealPlayer's lists of recent clips: keys MostRecentClips1 to 10, below
// HKEY_CLASSES_ROOT and HKEY_CURRENT_USER. Nothing when there are none.
std::uint64_t RealPlayerToken(int* Found = nullptr) {
  std::uint64_t Token = HashSeed;
  int Count = 0;
  for (HKEY Root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER})
    for (int N = 1; N <= 10; ++N) {
      TRegKey Key;
      const std::wstring Path = KeyPath(trace_keys::RealPlayerPreferences + "MostRecentClips" + std::to_string(N));
      FILETIME Written{};
      if (RegOpenKeyExW(Root, Path.c_str(), 0, KEY_QUERY_VALUE, Key.put()) != ERROR_SUCCESS) continue;
      RegQueryInfoKeyW(Key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, &Written);
      ++Count;
      Token = HashOf(Written, HashOf(N, Token));
    }
  if (Found) *Found = Count;
  return Token;
}

std::pair<std::uint64_t, std::uint64_t> RecycleBinContent() {
  SHQUERYRBINFO Info{sizeof Info};
  if (SHQueryRecycleBinW(nullptr, &Info) != S_OK) return {0, 0};
  return {static_cast<std::uint64_t>(Info.i64NumItems), static_cast<std::uint64_t>(Info.i64Size)};
}

std::uint64_t RecycleBinToken() {
  const auto [Count, Bytes] = RecycleBinContent();
  return HashOf(Bytes, HashOf(Count, HashSeed));
}

void PreviewIeCache(TPreviewContext& Context, TItemPlan& Plan) {
  PreviewCache(Plan, spUrl);
  PreviewFolder(Context, Plan);
}

void PreviewIeHistory(TPreviewContext& Context, TItemPlan& Plan) {
  // The history store lists nothing it would clear: one operation.
  AddOperation(Plan, "Internet Explorer's history list", 0);
  PreviewFolder(Context, Plan);
}

void PreviewCookies(TPreviewContext&, TItemPlan& Plan) { PreviewCache(Plan, spCookies); }

void PreviewTypedUrls(TPreviewContext&, TItemPlan& Plan) {
  PreviewValues(Plan, HKEY_CURRENT_USER, trace_keys::TypedUrls);
}

void PreviewToolbar(TPreviewContext&, TItemPlan& Plan) {
  // The toolbar keeps its searches under the profile enumerated last.
  TRegKey Key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(trace_keys::Toolbar).c_str(), 0, KEY_ENUMERATE_SUB_KEYS,
                    Key.put()) != ERROR_SUCCESS)
    return;
  std::wstring Last;
  wchar_t Name[256];
  for (DWORD Index = 0;; ++Index) {
    DWORD Length = 256;
    if (RegEnumKeyExW(Key.get(), Index, Name, &Length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    Last.assign(Name, Length);
  }
  if (!Last.empty()) PreviewValues(Plan, HKEY_CURRENT_USER, trace_keys::Toolbar + Narrow(Last) + "\\history");
}

void PreviewRecentDocuments(TPreviewContext&, TItemPlan& Plan) {
  std::uint64_t Token = 0;
  const auto [Count, Bytes] = RecentShortcuts(Token);
  AddOperation(Plan, "The shell's recent documents (" + GroupedCount(Count) + " shortcuts)", Bytes);
}

void PreviewMediaPlayer(TPreviewContext&, TItemPlan& Plan) {
  PreviewValues(Plan, HKEY_CURRENT_USER, trace_keys::MediaPlayerFiles);
  PreviewValues(Plan, HKEY_CURRENT_USER, trace_keys::MediaPlayerUrls);
}

void PreviewRealPlayer(TPreviewContext&, TItemPlan& Plan) {
  int Found = 0;
  RealPlayerToken(&Found);
  if (Found) AddOperation(Plan, "RealPlayer's recent clips (" + std::to_string(Found) + " lists)", 0);
}

void PreviewDelphi(TPreviewContext&, TItemPlan& Plan) {
  PreviewValues(Plan, HKEY_CURRENT_USER, trace_keys::DelphiClosedFiles);
  PreviewValues(Plan, HKEY_CURRENT_USER, trace_keys::DelphiClosedProjects);
}

void PreviewVb(TPreviewContext&, TItemPlan& Plan) {
  PreviewValues(Plan, HKEY_CURRENT_USER, trace_keys::VbRecentFiles);
}

void PreviewVc(TPreviewContext&, TItemPlan& Plan) {
  PreviewValues(Plan, HKEY_CURRENT_USER, trace_keys::VcRecentFiles);
}

void PreviewRecycleBin(TPreviewContext&, TItemPlan& Plan) {
  const auto [Count, Bytes] = RecycleBinContent();
  if (Count) AddOperation(Plan, "The recycle bin (" + GroupedCount(Count) + " items)", Bytes);
}

void PreviewTemp(TPreviewContext& Context, TItemPlan& Plan) { PreviewFolder(Context, Plan); }

using enum TGroup;

const TItem FirstItems[] = {
    {"ie.cache", Internet, IDC_IECACHE, "Internet cache", "Delete temporary internet files", &TOption::DelInetTemp,
     true, &TAction::DeleteCache, &InternetCacheFolder, "the Internet cache folder", &PreviewIeCache},
    {"ie.history", Internet, IDC_IEHISTORY, "Internet history", "Delete History", &TOption::DelHistory, true,
     &TAction::DeleteHistory, &HistoryFolder, "the History folder", &PreviewIeHistory},
    {"ie.cookies", Internet, IDC_IECOOKIE, "Cookies", "Delete cookies", &TOption::DelCookie, false,
     &TAction::DeleteCookies, nullptr, nullptr, &PreviewCookies},
    {"ie.typed_urls", Internet, IDC_IEURL, "Location Bar", "Delete Location Bar", &TOption::DelLocationBar, false,
     &TAction::DeleteLocationBar, nullptr, nullptr, &PreviewTypedUrls},
    {"toolbar.search_history", Internet, IDC_GOOGLESEARCHHISTORY, "Google Search History",
     "Clear the Google Toolbar's search history", &TOption::DelGoogleHistory, false, &TAction::ClearToolbarHistory,
     nullptr, nullptr, &PreviewToolbar},
    {"shell.recent_docs", Documents, IDC_RECENTDOC, "Recent Documents",
     "Delete all files from the documents folder on the start menu", &TOption::ClearRecentDoc, false,
     &TAction::ClearRecentDocuments, nullptr, nullptr, &PreviewRecentDocuments, nullptr, false, nullptr, nullptr,
     "windows.recent_items"},
    {"wmp.recent", Documents, IDC_MSMEDIAPLAYER, "Windows Media Player Clips",
     "Clear Microsoft Windows Media Player recent clips", &TOption::ClearWmpRecentDoc, false,
     &TAction::ClearMediaPlayerClips, nullptr, nullptr, &PreviewMediaPlayer},
    {"realplayer.recent", Documents, IDC_REALPLAYER, "RealPlayer Clips", "Clear RealPlayer recent clips",
     &TOption::ClearRlpRecentDoc, false, &TAction::ClearRealPlayerClips, nullptr, nullptr, &PreviewRealPlayer},
    {"delphi.recent", Documents, IDC_DELPHI, "Delphi Projects", "Clear Delphi 5.0 recent projects",
     &TOption::ClearDelphiRecentDoc, false, &TAction::ClearDelphiRecent, nullptr, nullptr, &PreviewDelphi},
    {"vb.recent", Documents, IDC_VB, "VB Projects", "Clear Visual Basic 6.0 recent projects",
     &TOption::ClearVbRecentDoc, false, &TAction::ClearVbRecent, nullptr, nullptr, &PreviewVb},
    {"vc.recent", Documents, IDC_VC, "VC Projects", "Clear Visual C++ 6.0 recent projects",
     &TOption::ClearVcRecentDoc, false, &TAction::ClearVcRecent, nullptr, nullptr, &PreviewVc},
    {"system.recycle_bin", Documents, IDC_RECYCLE, "Recycle Bin", "Empty Recycle Bin", &TOption::EmptyRecycleBin,
     false, &TAction::ClearRecycleBin, nullptr, nullptr, &PreviewRecycleBin, nullptr, false, nullptr, nullptr,
     "windows.recycle_bins"},
    {"system.temp", Documents, IDC_TEMPFILES, "Temporary Files", "Delete Temporary Files", &TOption::DelTempFiles,
     true, nullptr, &TemporaryFolder, "the temporary folder", &PreviewTemp},
};

// Every item: those above, then the families'.
const std::vector<TItem>& AllItems() {
  static const std::vector<TItem> All = [] {
    std::vector<TItem> Items(std::begin(FirstItems), std::end(FirstItems));
    for (auto Family : {&BrowserItems, &WindowsItems})
      for (TItem& Item : Family()) Items.push_back(Item);
    return Items;
  }();
  return All;
}

}  // namespace

void PreviewTree(TPreviewContext& Context, TItemPlan& Plan, const std::string& Folder, const std::string& What,
                 const TTreeRules& Rules, TSweepScope Scope) {
  const TFolderVerdict Verdict = CheckSweptFolder(Folder, Scope);
  auto Refuse = [&](const std::string& Reason) {
    Plan.Refusals.push_back("Did not sweep " + What + (Folder.empty() ? "" : " \"" + Folder + "\"") + ": " + Reason +
                            ".");
  };
  if (!Verdict.Allowed()) return Refuse(Verdict.Reason);
  TTreePlan Tree = PlanTree(LongPath(Verdict.Folder), Rules, Context.Progress, Verdict.Id, Verdict.Volume);
  if (Tree.RootChanged) return Refuse("another folder took its place while it was checked");
  Plan.Trees.push_back(std::move(Tree));
}

void PreviewValues(TItemPlan& Plan, HKEY Root, const std::string& Path) {
  const std::wstring Key = KeyPath(Path);
  TRegKey Open;
  if (RegOpenKeyExW(Root, Key.c_str(), 0, KEY_QUERY_VALUE, Open.put()) != ERROR_SUCCESS) return;
  DWORD Count = 0, NameMax = 0, DataMax = 0;
  FILETIME Written{};
  if (RegQueryInfoKeyW(Open.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &Count, &NameMax,
                       &DataMax, nullptr, &Written) != ERROR_SUCCESS)
    return;
  std::wstring Name(NameMax + 1, L'\0');
  std::vector<BYTE> Data(DataMax + 1);
  for (DWORD Index = 0;; ++Index) {
    DWORD NameLength = static_cast<DWORD>(Name.size()), Type = 0, Size = static_cast<DWORD>(Data.size());
    const LONG Rc = RegEnumValueW(Open.get(), Index, Name.data(), &NameLength, nullptr, &Type, Data.data(), &Size);
    if (Rc == ERROR_NO_MORE_ITEMS) break;
    if (Rc != ERROR_SUCCESS) continue;
    TPlanEntry Entry;
    Entry.Kind = TEntryKind::RegistryValue;
    Entry.Root = Root;
    Entry.Key = Key;
    Entry.Value.assign(Name.data(), NameLength);
    Entry.Name = std::string(Root == HKEY_CLASSES_ROOT ? "HKEY_CLASSES_ROOT\\" : "HKEY_CURRENT_USER\\") +
                 Narrow(Key) + "\\" + (NameLength ? Narrow(Entry.Value) : "(Default)");
    Entry.Size = Size;
    Entry.Time = ToInteger(Written);
    Entry.Token = ValueToken(Type, Data.data(), Size);
    Plan.Entries.push_back(std::move(Entry));
  }
}

std::span<const TItem> Catalogue() { return AllItems(); }

const TItem* FindItem(std::string_view Id) {
  for (const TItem& Item : AllItems())
    if (Id == Item.Id) return &Item;
  return nullptr;
}

std::vector<const TItem*> ItemsOfCommand(int Tag) {
  std::vector<const TItem*> Chosen;
  for (const TItem& Item : FirstItems) {
    const bool In = Tag == IDC_CLEARALL || Item.Tag == Tag || (Tag == IDC_INTERNETALL && Item.Group == Internet) ||
                    (Tag == IDC_DOCALL && Item.Group == Documents);
    if (In) Chosen.push_back(&Item);
  }
  return Chosen;
}

int ItemCommand(const TItem& Item) {
  return ItemCommandBase + static_cast<int>(&Item - AllItems().data());
}

std::vector<std::string> SectionsOf(TGroup Group) {
  std::vector<std::string> Sections;
  for (const TItem& Item : AllItems())
    if (Item.Group == Group && Item.Section &&
        std::find(Sections.begin(), Sections.end(), Item.Section) == Sections.end())
      Sections.push_back(Item.Section);
  return Sections;
}

namespace {

// A section's command number counts the sections of every group in turn.
std::string SectionOfCommand(int Id) {
  int Index = Id - SectionCommandBase;
  for (TGroup Group : {TGroup::Browsers, TGroup::Windows}) {
    const std::vector<std::string> Sections = SectionsOf(Group);
    if (Index < static_cast<int>(Sections.size())) return Sections[Index];
    Index -= static_cast<int>(Sections.size());
  }
  return {};
}

}  // namespace

std::vector<const TItem*> ItemsOfFamilyCommand(int Id) {
  std::vector<const TItem*> Items;
  const std::vector<TItem>& All = AllItems();
  if (Id >= ItemCommandBase && Id - ItemCommandBase < static_cast<int>(All.size())) {
    Items.push_back(&All[Id - ItemCommandBase]);
  } else if (Id >= SectionCommandBase && Id < FamilyCommandEnd) {
    const std::string Section = SectionOfCommand(Id);
    for (const TItem& Item : All)
      if (!Section.empty() && Item.Section && Section == Item.Section) Items.push_back(&Item);
  }
  return Items;
}

std::string FamilyCommandHint(int Id) {
  if (Id >= SectionCommandBase) return "Clear what is chosen for " + SectionOfCommand(Id) + " in the options";
  const std::vector<const TItem*> Items = ItemsOfFamilyCommand(Id);
  return Items.empty() ? std::string() : Items.front()->Hint;
}

bool ItemChosen(const TItem& Item, const TOption& Option) {
  // An administrator's policy wins over the user's switch, which stays as the
  // user left it for when the policy goes.
  switch (ItemPolicy(Item.Id)) {
    case TPolicy::ForcedOn: return true;
    case TPolicy::ForcedOff: return false;
    case TPolicy::NotSet: break;
  }
  return Item.Switch ? Option.*Item.Switch : StoredItemSwitch(Item.Id);
}

std::vector<const TItem*> ChosenItems(const TOption& Option) {
  std::vector<const TItem*> Chosen;
  for (bool Early : {true, false})
    for (const TItem& Item : AllItems())
      if (Item.Early == Early && ItemOffered(Item) && ItemChosen(Item, Option)) Chosen.push_back(&Item);
  return Chosen;
}

std::uint64_t OperationToken(const TItem& Item) {
  const std::string_view Id = Item.Id;
  if (Id == "shell.recent_docs") return RecentDocumentsToken();
  if (Id == "realplayer.recent") return RealPlayerToken();
  if (Id == "system.recycle_bin") return RecycleBinToken();
  return 0;  // a store that cannot be looked into
}

const TItem* CoveringItem(const TItem& Item, std::span<const TItem* const> Items) {
  if (!Item.CoveredBy) return nullptr;
  for (const TItem* Other : Items)
    if (Other != &Item && Item.CoveredBy == std::string_view(Other->Id)) return Other;
  return nullptr;
}

void MarkCovered(std::vector<TItemPlan>& Plans) {
  std::vector<const TItem*> Ticked;
  for (const TItemPlan& Plan : Plans)
    if (Plan.Ticked) Ticked.push_back(Plan.Item);
  for (TItemPlan& Plan : Plans) Plan.CoveredBy = Plan.Ticked ? CoveringItem(*Plan.Item, Ticked) : nullptr;
}

// ---- TItemPlan

std::uint64_t TItemPlan::Files() const {
  std::uint64_t Count = 0;
  for (const TTreePlan& Tree : Trees) Count += Tree.TickedFiles();
  return Count;
}

std::uint64_t TItemPlan::Bytes() const {
  std::uint64_t Bytes = 0;
  for (const TTreePlan& Tree : Trees) Bytes += Tree.TickedBytes();
  for (const TPlanEntry& Entry : Entries)
    if (Entry.Ticked) Bytes += Entry.Size;
  return Bytes;
}

std::uint64_t TItemPlan::RegistryValues() const {
  return static_cast<std::uint64_t>(std::count_if(Entries.begin(), Entries.end(), [](const TPlanEntry& E) {
    return E.Ticked && E.Kind == TEntryKind::RegistryValue;
  }));
}

std::uint64_t TItemPlan::Count() const {
  std::uint64_t Count = Files();
  for (const TPlanEntry& Entry : Entries)
    if (Entry.Ticked) Count += Entry.Kind == TEntryKind::Rows ? Entry.Rows : 1;
  return Count;
}

// ---- the preview's clean

namespace {

TEntryOutcome CleanValue(const TPlanEntry& Entry, TTally& Tally) {
  TRegKey Key;
  if (RegOpenKeyExW(Entry.Root, Entry.Key.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, Key.put()) != ERROR_SUCCESS)
    return TEntryOutcome::Vanished;  // the list is gone, and the value with it
  DWORD Type = 0, Size = 0;
  LONG Rc = RegQueryValueExW(Key.get(), Entry.Value.c_str(), nullptr, &Type, nullptr, &Size);
  if (Rc == ERROR_FILE_NOT_FOUND) return TEntryOutcome::Vanished;
  std::vector<BYTE> Data(Size + 1);
  if (Rc == ERROR_SUCCESS)
    Rc = RegQueryValueExW(Key.get(), Entry.Value.c_str(), nullptr, &Type, Data.data(), &Size);
  if (Rc != ERROR_SUCCESS || ValueToken(Type, Data.data(), Size) != Entry.Token) {
    ++Tally.Changed;
    ++Tally.StayedOther;
    return TEntryOutcome::Changed;
  }
  if (RegDeleteValueW(Key.get(), Entry.Value.c_str()) == ERROR_SUCCESS) {
    ++Tally.RegistryValues;
    return TEntryOutcome::Removed;
  }
  ++Tally.Refused;
  ++Tally.StayedOther;
  return TEntryOutcome::Refused;
}

}  // namespace

void CleanEntries(TCleanContext& Context, TItemPlan& Plan) {
  TCleanReport* Report = Context.Report;
  if (Report) {
    Report->Trees.resize(Plan.Trees.size());
    Report->Entries.assign(Plan.Entries.size(), TEntryOutcome::NotTried);
  }
  for (std::size_t At = 0; At < Plan.Trees.size(); ++At)
    CleanTree(Plan.Trees[At], Context.Progress, Context.Tally, Report ? &Report->Trees[At] : nullptr);
  std::unique_ptr<TIECache> Cache;
  for (std::size_t At = 0; At < Plan.Entries.size(); ++At) {
    const TPlanEntry& Entry = Plan.Entries[At];
    if (!Entry.Ticked || Context.Progress.Cancelled()) continue;
    TEntryOutcome Outcome = TEntryOutcome::NotTried;
    switch (Entry.Kind) {
      case TEntryKind::RegistryValue: Outcome = CleanValue(Entry, Context.Tally); break;
      case TEntryKind::CacheEntry:
        if (!Cache) Cache = std::make_unique<TIECache>();
        switch (const DWORD Rc = Cache->DeleteEntry(Entry.Name)) {
          case 0:
            ++Context.Tally.CacheEntries;
            Outcome = TEntryOutcome::Removed;
            break;
          case ERROR_FILE_NOT_FOUND: Outcome = TEntryOutcome::Vanished; break;
          default: Outcome = Rc == ERROR_ACCESS_DENIED ? TEntryOutcome::InUse : TEntryOutcome::Refused;
        }
        break;
      case TEntryKind::Operation:
      case TEntryKind::Rows: break;  // the item's own
    }
    if (Report) Report->Entries[At] = Outcome;
    Context.Progress.Count(Entry.Size);
  }
}

void CleanPlanEntries(TItemPlan& Plan, TCleanContext& Context) {
  // What a running program holds stays, and counts as in use, also when the
  // item was unticked for it.
  for (const std::string& Line : Plan.Held) {
    Context.Lines.push_back(Line);
    ++Context.Tally.InUse;
    ++Context.Tally.StayedOther;
  }
  if (!Plan.Ticked) return;
  // What the preview could not look at stays, and counts so.
  for (const std::string& Note : Plan.Notes) {
    Context.Lines.push_back(Note);
    ++Context.Tally.Refused;
    ++Context.Tally.StayedOther;
  }
  if (Plan.Item->Clean)
    Plan.Item->Clean(Context, Plan);
  else
    CleanEntries(Context, Plan);
}

bool Elevated() {
  static const bool Is = [] {
    HANDLE Token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &Token)) return false;
    TOKEN_ELEVATION Elevation{};
    DWORD Size = 0;
    const bool Got = GetTokenInformation(Token, TokenElevation, &Elevation, sizeof Elevation, &Size);
    CloseHandle(Token);
    return Got && Elevation.TokenIsElevated != 0;
  }();
  return Is;
}

bool ItemOffered(const TItem& Item) { return ItemOffered(Item, Elevated()); }

bool ItemOffered(const TItem& Item, bool Elevated) {
  return (!Item.Admin || Elevated) && (!Item.Present || Item.Present());
}
