// The browsers' items: for each browser of the table in BrowserProfiles, its
// cache, cookies, history, form entries and session. Caches, cookie files and
// session files are swept as trees by the engine; history and form entries
// are rows of databases the browser keeps (and that also hold what must stay:
// bookmarks, addresses, cards, search engines), removed by SQL. Nothing is
// touched while the browser runs, and a database is cleaned only when it is
// still the file the preview counted.

#include "catalogue/BrowserProfiles.h"
#include "catalogue/Families.h"
#include "catalogue/Token.h"
#include "engine/Database.h"
#include "engine/FolderGuard.h"
#include "win/FileHandle.h"
#include "win/WidePath.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <deque>
#include <initializer_list>
#include <utility>

namespace {

enum class TKind { Cache, Cookies, History, Forms, Addresses, Session, CrashReports };

struct TKindInfo {
  TKind Kind;
  const char* Key;    // the second part of the id: "history"
  const char* Label;  // after the browser's name: "Google Chrome: History"
  const char* Noun;   // in the log: "Google Chrome's history"
  const char* Hint;
  bool ChromiumOnly = false;  // Firefox keeps it with what must stay (cards)
};

const TKindInfo Kinds[] = {
    {TKind::Cache, "cache", "Cache", "cache",
     "Delete the copies of pages, scripts and pictures the browser keeps to show sites faster."},
    {TKind::Cookies, "cookies", "Cookies", "cookies",
     "Delete the cookies: sites no longer know you and you must sign in again."},
    {TKind::History, "history", "History", "history",
     "Clear the visited pages, typed addresses, searches and the download list; bookmarked pages stay, "
     "downloaded files too."},
    {TKind::Forms, "forms", "Form entries", "form entries",
     "Clear what was typed into forms; saved addresses, cards and passwords stay."},
    {TKind::Addresses, "addresses", "Saved addresses", "saved addresses",
     "Delete the addresses the browser saved to fill in forms; cards and passwords stay.", true},
    {TKind::Session, "session", "Session", "session",
     "Delete the saved session: the open tabs and windows will be lost."},
    {TKind::CrashReports, "crash_reports", "Crash reports", "crash reports",
     "Delete the reports kept of the browser's crashes, which name the pages open at the time; the crash "
     "reporter's settings stay."},
};

// ---- what each database holds and how it is cleared

// Rows to remove from one table. Needs: what must exist for the statement,
// "table" or "table.column", separated by blanks.
struct TDeletion {
  const char* Table;
  const char* Where;  // none: every row
  const char* Needs;
  const char* Noun;   // how the log counts them; none: only in the total
  bool Vital;         // missing, the database is not one this program knows: left alone
};

// A statement on the rows that stay, run when its Needs exist.
struct TReset {
  const char* Sql;
  const char* Needs;
};

// Where the addresses that stay come from: temp.keep_url.
enum class TKeep {
  None,
  ChromiumBookmarks,  // the profile's Bookmarks file
  FirefoxBookmarks,   // the places of places.sqlite with a bookmark or keyword
};

struct TJob {
  const char* File;
  std::initializer_list<TDeletion> Deletions;
  // Counters of the rows that stay (bookmarked pages) that would still tell
  // of visits.
  std::initializer_list<TReset> Resets = {};
  TKeep Keep = TKeep::None;
};

// Chromium's History: urls (addresses), visits and what hangs on them.
const TJob ChromiumHistory{
    "History",
    {{"visits", nullptr, "visits", "visits", true},
     {"urls", "url NOT IN (SELECT url FROM temp.keep_url)", "urls.url", "addresses", true},
     {"keyword_search_terms", nullptr, "keyword_search_terms", "searches", false},
     {"downloads", nullptr, "downloads", "downloads", false},
     {"downloads_url_chains", nullptr, "downloads_url_chains", nullptr, false},
     {"downloads_slices", nullptr, "downloads_slices", nullptr, false},
     {"segments", nullptr, "segments", nullptr, false},
     {"segment_usage", nullptr, "segment_usage", nullptr, false},
     {"visit_source", nullptr, "visit_source", nullptr, false},
     {"visited_links", nullptr, "visited_links", nullptr, false},
     {"content_annotations", nullptr, "content_annotations", nullptr, false},
     {"context_annotations", nullptr, "context_annotations", nullptr, false},
     {"clusters", nullptr, "clusters", nullptr, false},
     {"clusters_and_visits", nullptr, "clusters_and_visits", nullptr, false},
     {"cluster_keywords", nullptr, "cluster_keywords", nullptr, false},
     {"cluster_visit_duplicates", nullptr, "cluster_visit_duplicates", nullptr, false}},
    {{"UPDATE urls SET visit_count = 0, typed_count = 0, last_visit_time = 0",
      "urls.visit_count urls.typed_count urls.last_visit_time"}},
    TKeep::ChromiumBookmarks};

// Chromium's Favicons: which page had which icon. The pages that stay keep
// theirs; the conditions name what stays, so that the preview, made before
// any deletion, counts what the clean takes.
const TJob ChromiumFavicons{
    "Favicons",
    {{"icon_mapping", "page_url NOT IN (SELECT url FROM temp.keep_url)", "icon_mapping.page_url", "page icons", true},
     {"favicons",
      "id NOT IN (SELECT icon_id FROM icon_mapping WHERE page_url IN (SELECT url FROM temp.keep_url))",
      "favicons.id icon_mapping.icon_id icon_mapping.page_url", nullptr, false},
     {"favicon_bitmaps",
      "icon_id NOT IN (SELECT icon_id FROM icon_mapping WHERE page_url IN (SELECT url FROM temp.keep_url))",
      "favicon_bitmaps.icon_id icon_mapping.icon_id icon_mapping.page_url", nullptr, false}},
    {},
    TKeep::ChromiumBookmarks};

// Chromium's Web Data also holds addresses, cards and search engines: only
// the form entries go.
const TJob ChromiumForms{"Web Data",
                         {{"autofill", nullptr, "autofill", "form entries", true},
                          {"autofill_dates", nullptr, "autofill_dates", nullptr, false},
                          // Newer versions keep form entries here, in the same shape.
                          {"autocomplete", nullptr, "autocomplete", "form entries", false}}};

// The addresses a user saved to fill in forms, in the tables of each version;
// cards, and addresses a payments account keeps, stay.
const TJob ChromiumAddresses{"Web Data",
                             {{"local_addresses", nullptr, "local_addresses", "addresses", false},
                              {"local_addresses_type_tokens", nullptr, "local_addresses_type_tokens", nullptr, false},
                              {"contact_info", nullptr, "contact_info", "addresses", false},
                              {"contact_info_type_tokens", nullptr, "contact_info_type_tokens", nullptr, false},
                              {"autofill_profiles", nullptr, "autofill_profiles", "addresses", false},
                              {"autofill_profile_names", nullptr, "autofill_profile_names", nullptr, false},
                              {"autofill_profile_emails", nullptr, "autofill_profile_emails", nullptr, false},
                              {"autofill_profile_phones", nullptr, "autofill_profile_phones", nullptr, false},
                              {"autofill_profile_addresses", nullptr, "autofill_profile_addresses", nullptr, false}}};

// The caches of a profile, and those the profiles share (in the data folder,
// and in the local one of a roaming browser). The GPU's own caches have moved
// between the two over the versions: both places are looked at.
const char* const ProfileCaches[] = {"Cache",           "Code Cache",      "GPUCache",          "DawnGraphiteCache",
                                     "DawnWebGPUCache", "GPUPersistentCache"};
const char* const SharedCaches[] = {"GrShaderCache",     "ShaderCache",     "GraphiteDawnCache",
                                    "DawnGraphiteCache", "DawnWebGPUCache", "GPUPersistentCache"};

// Firefox's places.sqlite holds the bookmarks as well: a place with a
// bookmark or keyword (foreign_count > 0) stays, its counters reset. The
// conditions name the kept places, not the removed ones, so that each counts
// the same rows before the deletions above it as after them.
const TJob FirefoxHistory{
    "places.sqlite",
    {{"moz_historyvisits", nullptr, "moz_historyvisits", "visits", true},
     {"moz_places", "foreign_count = 0", "moz_places.foreign_count", "addresses", true},
     {"moz_inputhistory", nullptr, "moz_inputhistory", "typed entries", false},
     {"moz_annos", "place_id NOT IN (SELECT id FROM moz_places WHERE foreign_count > 0)",
      "moz_annos.place_id moz_places.foreign_count", nullptr, false},
     {"moz_annos",  // downloads are page annotations; those of kept places go too
      "place_id IN (SELECT id FROM moz_places WHERE foreign_count > 0) AND anno_attribute_id IN "
      "(SELECT id FROM moz_anno_attributes WHERE name LIKE 'downloads/%')",
      "moz_annos.place_id moz_annos.anno_attribute_id moz_anno_attributes.name moz_places.foreign_count",
      nullptr, false},
     {"moz_places_metadata", nullptr, "moz_places_metadata", nullptr, false},
     {"moz_places_metadata_search_queries", nullptr, "moz_places_metadata_search_queries", nullptr, false},
     {"moz_origins",
      "id NOT IN (SELECT origin_id FROM moz_places WHERE foreign_count > 0 AND origin_id IS NOT NULL)",
      "moz_origins.id moz_places.origin_id moz_places.foreign_count", nullptr, false}},
    // As after a fresh bookmark: no visits, and a score that only the
    // bookmark makes (Firefox computes it anew where it is asked to).
    {{"UPDATE moz_places SET visit_count = 0, typed = 0, last_visit_date = NULL",
      "moz_places.visit_count moz_places.typed moz_places.last_visit_date"},
     {"UPDATE moz_places SET frecency = 1", "moz_places.frecency"},
     {"UPDATE moz_places SET recalc_frecency = 1", "moz_places.recalc_frecency"},
     {"UPDATE moz_origins SET frecency = 1", "moz_origins.frecency"},
     {"UPDATE moz_origins SET recalc_frecency = 1", "moz_origins.recalc_frecency"}}};

// Firefox's favicons.sqlite: every page that had an icon, by address.
const TJob FirefoxFavicons{
    "favicons.sqlite",
    {{"moz_pages_w_icons", "page_url NOT IN (SELECT url FROM temp.keep_url)", "moz_pages_w_icons.page_url",
      "page icons", true},
     {"moz_icons_to_pages",
      "page_id NOT IN (SELECT id FROM moz_pages_w_icons WHERE page_url IN (SELECT url FROM temp.keep_url))",
      "moz_icons_to_pages.page_id moz_pages_w_icons.id", nullptr, false},
     {"moz_icons",
      "id NOT IN (SELECT icon_id FROM moz_icons_to_pages WHERE page_id IN (SELECT id FROM moz_pages_w_icons WHERE "
      "page_url IN (SELECT url FROM temp.keep_url)))",
      "moz_icons.id moz_icons_to_pages.icon_id moz_icons_to_pages.page_id", nullptr, false}},
    {},
    TKeep::FirefoxBookmarks};

// The databases of a kind, in the order they are cleaned.
std::vector<const TJob*> JobsOf(const TBrowser& Browser, TKind Kind) {
  const bool Firefox = Browser.Layout == TLayout::Firefox;
  if (Kind == TKind::History)
    return Firefox ? std::vector<const TJob*>{&FirefoxHistory, &FirefoxFavicons}
                   : std::vector<const TJob*>{&ChromiumHistory, &ChromiumFavicons};
  if (Kind == TKind::Forms && !Firefox) return {&ChromiumForms};
  if (Kind == TKind::Addresses && !Firefox) return {&ChromiumAddresses};
  return {};
}

// ---- the item an id names

struct TWhat {
  const TBrowser* Browser = nullptr;
  const TKindInfo* Kind = nullptr;
};

TWhat WhatOf(const TItem& Item) {
  const std::string_view Id = Item.Id;
  const std::size_t Dot = Id.find('.');
  TWhat What{FindBrowser(Id.substr(0, Dot)), nullptr};
  for (const TKindInfo& Kind : Kinds)
    if (Id.substr(Dot + 1) == Kind.Key) What.Kind = &Kind;
  return What;
}

std::string Below(const std::string& Folder, std::string_view Name) { return Folder + "\\" + std::string(Name); }

bool IsFolder(const std::string& Path) {
  const DWORD Attributes = GetFileAttributesW(LongPath(Path).c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// "Google Chrome's history (Default)".
std::string Whose(const TWhat& What, const TProfile& Profile) {
  return std::string(What.Browser->Name) + "'s " + What.Kind->Noun + " (" + Profile.Name + ")";
}

std::string RunningNote(const TWhat& What, const TProfile* Profile) {
  std::string Note = "Skipped " + std::string(What.Browser->Name) + "'s " + What.Kind->Noun;
  if (Profile) Note += " (" + Profile->Name + ")";
  return Note + ": the browser is running" + What.Browser->RunningHint + ". Close it and try again.";
}

// ---- identities and safety of a database file

struct TFileState {
  bool Exists = false;
  std::uint64_t Size = 0, LastWrite = 0;
};

TFileState StateOf(const std::wstring& Path) {
  WIN32_FILE_ATTRIBUTE_DATA Data;
  if (!GetFileAttributesExW(Path.c_str(), GetFileExInfoStandard, &Data)) return {};
  return {true, (static_cast<std::uint64_t>(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow,
          (static_cast<std::uint64_t>(Data.ftLastWriteTime.dwHighDateTime) << 32) |
              Data.ftLastWriteTime.dwLowDateTime};
}

// The database's identity: size and last write of the file and of its
// journal or write-ahead log, whose committed pages are part of it.
std::uint64_t DatabaseToken(const std::wstring& Path) {
  std::uint64_t Token = HashSeed;
  for (const wchar_t* Suffix : {L"", L"-wal", L"-journal"}) {
    const TFileState State = StateOf(Path + Suffix);
    Token = HashOf(State.LastWrite, HashOf(State.Size, HashOf(static_cast<std::uint64_t>(State.Exists), Token)));
  }
  return Token;
}

// Why a database is not opened, as the end of a note; empty when it may be.
std::string FilesRefusal(const std::wstring& Path) {
  switch (CheckDatabaseFiles(Path)) {
    case TDatabaseFiles::Sound: return {};
    case TDatabaseFiles::Link: return "\"" + Narrow(PlainPath(Path)) + "\" or a file beside it is a link";
    case TDatabaseFiles::NeedsRecovery:
      return "the browser did not close \"" + Narrow(PlainPath(Path)) +
             "\" cleanly; start and close the browser once";
  }
  return {};
}

// ---- the SQL of a job

std::vector<std::string> Words(const char* Text) {
  std::vector<std::string> Out;
  std::string_view Rest = Text ? Text : "";
  while (!Rest.empty()) {
    const std::size_t Blank = Rest.find(' ');
    if (Blank) Out.emplace_back(Rest.substr(0, Blank));
    if (Blank == std::string_view::npos) break;
    Rest.remove_prefix(Blank + 1);
  }
  return Out;
}

// Whether everything Needs names exists. A failure to read the schema goes
// into Error.
bool Has(TDatabase& Database, const char* Needs, int& Error, std::string* Missing = nullptr) {
  for (const std::string& Need : Words(Needs)) {
    const std::size_t Dot = Need.find('.');
    const bool Found = Dot == std::string::npos
                           ? Database.TableExists(Need, &Error)
                           : Database.ColumnExists(Need.substr(0, Dot), Need.substr(Dot + 1), &Error);
    if (Error != SQLITE_OK) return false;
    if (!Found) {
      if (Missing) *Missing = Dot == std::string::npos ? "no table \"" + Need + "\""
                                                       : "no column \"" + Need.substr(Dot + 1) + "\" in \"" +
                                                             Need.substr(0, Dot) + "\"";
      return false;
    }
  }
  return true;
}

std::string Condition(const TDeletion& Deletion) {
  return Deletion.Where ? std::string(" WHERE ") + Deletion.Where : std::string();
}

// What a job found, or why it stopped.
struct TExamined {
  std::vector<std::pair<std::string, std::uint64_t>> Counts;  // by noun, in order
  std::uint64_t Rows = 0, AllRows = 0;
  int Error = SQLITE_OK;      // SQLite's code of a failure
  std::string Reason;         // why the database is left alone; empty: go on
  std::vector<bool> Applies;  // per deletion: its tables and columns exist
};

void AddCount(TExamined& Result, const char* Noun, std::uint64_t Rows) {
  Result.Rows += Rows;
  if (!Noun) return;
  for (auto& [Known, Count] : Result.Counts)
    if (Known == Noun) {
      Count += Rows;
      return;
    }
  Result.Counts.emplace_back(Noun, Rows);
}

// "1 search" of "searches", "1 form entry" of "form entries".
std::string Counted(std::uint64_t Count, std::string Noun) {
  if (Count == 1) {
    if (Noun.ends_with("ies")) Noun.replace(Noun.size() - 3, 3, "y");
    else if (Noun.ends_with("sses") || Noun.ends_with("ches")) Noun.resize(Noun.size() - 2);
    else if (Noun.ends_with("s")) Noun.pop_back();
  }
  return GroupedCount(Count) + " " + Noun;
}

std::string CountsText(const TExamined& Result) {
  std::string Text;
  for (const auto& [Noun, Count] : Result.Counts) Text += (Text.empty() ? "" : ", ") + Counted(Count, Noun);
  return Text.empty() ? Counted(Result.Rows, "rows") : Text;
}

// Which deletions apply; a vital one that does not stops the job.
bool CheckSchema(TDatabase& Database, const TJob& Job, TExamined& Result) {
  Result.Applies.clear();
  for (const TDeletion& Deletion : Job.Deletions) {
    std::string Missing;
    const bool Applies = Has(Database, Deletion.Needs, Result.Error, &Missing);
    if (Result.Error != SQLITE_OK) return false;
    if (!Applies && Deletion.Vital) {
      Result.Reason = "its database has " + Missing;
      return false;
    }
    Result.Applies.push_back(Applies);
  }
  return true;
}

// Firefox's bookmarked addresses, read from places.sqlite as it lies;
// nothing when they cannot be read.
std::optional<std::vector<std::string>> FirefoxBookmarkedUrls(const std::string& ProfileFolder,
                                                              const TProgress& Progress) {
  const std::wstring Places = LongPath(Below(ProfileFolder, "places.sqlite"));
  if (CheckDatabaseFiles(Places) != TDatabaseFiles::Sound) return std::nullopt;
  TDatabase Database;
  if (Database.Open(Places, true, &Progress) != SQLITE_OK) return std::nullopt;
  TStatement Query(Database, "SELECT url FROM moz_places WHERE foreign_count > 0");
  std::vector<std::string> Urls;
  int Rc;
  while ((Rc = Query.Step()) == SQLITE_ROW) Urls.push_back(Query.Text(0));
  if (Rc != SQLITE_DONE) return std::nullopt;
  return Urls;
}

// The addresses that stay into temp.keep_url; false with a reason when the
// bookmarks cannot be read (then nothing can be told apart).
bool FillKeepList(TDatabase& Database, const std::string& ProfileFolder, TKeep Keep, const TProgress& Progress,
                  TExamined& Result) {
  if (Keep == TKeep::None) return true;
  std::vector<std::string> Urls;
  const std::string Path = Below(ProfileFolder, Keep == TKeep::ChromiumBookmarks ? "Bookmarks" : "places.sqlite");
  if (StateOf(LongPath(Path)).Exists) {
    std::optional<std::vector<std::string>> Read;
    if (Keep == TKeep::ChromiumBookmarks) {
      const std::optional<std::string> Text = ReadWholeFile(Path, 256 << 20);
      Read = Text ? BookmarkedUrls(*Text) : std::nullopt;
    } else {
      Read = FirefoxBookmarkedUrls(ProfileFolder, Progress);
    }
    if (!Read) {
      Result.Reason = "its bookmarks could not be read, so the bookmarked pages could not be kept";
      return false;
    }
    Urls = std::move(*Read);
  }
  Result.Error = Database.Exec("CREATE TEMP TABLE IF NOT EXISTS keep_url(url TEXT PRIMARY KEY); DELETE FROM temp.keep_url");
  if (Result.Error != SQLITE_OK) return false;
  TStatement Insert(Database, "INSERT OR IGNORE INTO temp.keep_url(url) VALUES (?1)");
  for (const std::string& Url : Urls) {
    Insert.Bind(1, Url);
    const int Rc = Insert.Step();
    Insert.Reset();
    if (Rc != SQLITE_DONE) {
      Result.Error = Rc;
      return false;
    }
  }
  return true;
}

std::int64_t CountOf(TDatabase& Database, const std::string& Sql, int& Error) {
  TStatement Count(Database, Sql);
  Error = Count.Prepared();
  if (Error != SQLITE_OK) return 0;
  const int Rc = Count.Step();
  if (Rc != SQLITE_ROW) {
    Error = Rc;
    return 0;
  }
  return Count.Integer(0);
}

std::string FailureText(int Error, const std::wstring& Path, TDatabase* Database = nullptr) {
  if ((Error & 0xff) == SQLITE_INTERRUPT && Database) {
    const std::string File = "\"" + Narrow(PlainPath(Path)) + "\"";
    if (Database->TimedOut())
      return File + " took longer than " + std::to_string(TDatabase::Deadline.count() / 1000) +
             " seconds and was left as it was";
    return "the run was stopped; " + File + " was left as it was";
  }
  if (DatabaseDamaged(Error)) return "the database is damaged (" + DatabaseErrorText(Error) + "); it was left as it is";
  if (DatabaseBusy(Error)) return "the database is in use";
  const std::string Detail = Database && Database->IsOpen() ? Database->ErrorText() : DatabaseErrorText(Error);
  return "the database could not be read (" + Detail + ")";
}

// The preview's look at a database: what each deletion would take, with the
// file read as it lies and nothing written (a file that needs recovery was
// refused before).
void Count(TDatabase& Database, const std::wstring& Path, const TJob& Job, const std::string& ProfileFolder,
           const TProgress& Progress, TExamined& Result) {
  Result.Error = Database.Open(Path, true, &Progress);
  if (Result.Error != SQLITE_OK) return;
  if (!CheckSchema(Database, Job, Result)) return;
  if (!FillKeepList(Database, ProfileFolder, Job.Keep, Progress, Result)) return;
  std::size_t Index = 0;
  for (const TDeletion& Deletion : Job.Deletions) {
    if (!Result.Applies[Index++]) continue;
    const std::string Table = std::string("\"") + Deletion.Table + "\"";
    AddCount(Result, Deletion.Noun, CountOf(Database, "SELECT COUNT(*) FROM " + Table + Condition(Deletion), Result.Error));
    if (Result.Error == SQLITE_OK) Result.AllRows += CountOf(Database, "SELECT COUNT(*) FROM " + Table, Result.Error);
    if (Result.Error != SQLITE_OK) return;
  }
}

TExamined Examine(const std::wstring& Path, const TJob& Job, const std::string& ProfileFolder,
                  const TProgress& Progress) {
  TExamined Result;
  TDatabase Database;
  Count(Database, Path, Job, ProfileFolder, Progress, Result);
  if (Result.Error != SQLITE_OK && Result.Reason.empty()) Result.Reason = FailureText(Result.Error, Path, &Database);
  return Result;
}

// ---- previews

void AddTree(TPreviewContext& Context, TItemPlan& Plan, const std::string& Folder, const std::string& What,
             std::initializer_list<const wchar_t*> Names = {}) {
  if (!IsFolder(Folder)) return;
  TTreeRules Rules;
  if (Names.size()) {
    std::vector<std::wstring> Taken(Names.begin(), Names.end());
    Rules.Take = [Taken](std::wstring_view Name, bool) {
      for (const std::wstring& T : Taken)
        if (CompareStringOrdinal(T.data(), static_cast<int>(T.size()), Name.data(), static_cast<int>(Name.size()),
                                 TRUE) == CSTR_EQUAL)
          return true;
      return false;
    };
  }
  PreviewTree(Context, Plan, Folder, What, Rules);
}

void AddRows(TPreviewContext& Context, TItemPlan& Plan, const TWhat& What, const TProfile& Profile, const TJob& Job) {
  const std::string File = Below(Profile.Folder, Job.File);
  const std::wstring Path = LongPath(File);
  const TFileState Before = StateOf(Path);
  if (!Before.Exists) return;
  if (const std::string Refusal = FilesRefusal(Path); !Refusal.empty()) {
    Plan.Notes.push_back("Skipped " + Whose(What, Profile) + ": " + Refusal + ".");
    return;
  }
  TExamined Result = Examine(Path, Job, Profile.Folder, Context.Progress);
  if (!Result.Reason.empty() || Result.Error != SQLITE_OK) {
    if (!Context.Progress.Cancelled()) Plan.Notes.push_back("Skipped " + Whose(What, Profile) + ": " + Result.Reason + ".");
    return;
  }
  if (!Result.Rows) return;
  TPlanEntry Entry;
  Entry.Kind = TEntryKind::Rows;
  Entry.Name = Profile.Name + ": " + Job.File + " \xE2\x80\x94 " + CountsText(Result);
  Entry.Key = Path;
  Entry.Rows = Result.Rows;
  // The rows' share of the file: an estimate, rows differ in size.
  Entry.Size = Result.AllRows ? Before.Size * Result.Rows / Result.AllRows : 0;
  Entry.Time = Before.LastWrite;
  Entry.Token = DatabaseToken(Path);
  Plan.Entries.push_back(std::move(Entry));
}

void PreviewChromium(TPreviewContext& Context, TItemPlan& Plan, const TWhat& What, const TProfile& Profile) {
  const std::string Name = Whose(What, Profile);
  const std::string& P = Profile.Folder;
  switch (What.Kind->Kind) {
    case TKind::Cache:
      for (const std::string* Base : {&Profile.Folder, &Profile.Cache}) {
        if (Base == &Profile.Cache && SamePath(Widen(*Base), Widen(P))) break;
        for (const char* Cache : ProfileCaches) AddTree(Context, Plan, Below(*Base, Cache), Name);
      }
      break;
    case TKind::Cookies:
      // The legacy file too: without it gone, Chromium may copy it over the new one.
      AddTree(Context, Plan, Below(P, "Network"), Name, {L"Cookies", L"Cookies-journal"});
      AddTree(Context, Plan, P, Name, {L"Cookies", L"Cookies-journal"});
      break;
    case TKind::History:
      AddTree(Context, Plan, P, Name,
              {L"Shortcuts", L"Shortcuts-journal", L"Network Action Predictor", L"Network Action Predictor-journal",
               L"Top Sites", L"Top Sites-journal", L"Visited Links", L"History Provider Cache", L"DownloadMetadata",
               // Bounce tracking and the sites' reporting endpoints: visited sites by name.
               L"DIPS", L"DIPS-journal", L"DIPS-wal", L"DIPS-shm", L"Reporting and NEL", L"Reporting and NEL-journal"});
      // Pages the browser measured for its own use, by address.
      AddTree(Context, Plan, Below(P, "segmentation_platform"), Name,
              {L"ukm_db", L"ukm_db-journal", L"ukm_db-wal", L"ukm_db-shm"});
      AddRows(Context, Plan, What, Profile, ChromiumHistory);
      AddRows(Context, Plan, What, Profile, ChromiumFavicons);
      break;
    case TKind::Forms: AddRows(Context, Plan, What, Profile, ChromiumForms); break;
    case TKind::Addresses: AddRows(Context, Plan, What, Profile, ChromiumAddresses); break;
    case TKind::Session:
      AddTree(Context, Plan, Below(P, "Sessions"), Name);
      AddTree(Context, Plan, Below(P, "Sessions_Encrypted"), Name);
      AddTree(Context, Plan, P, Name, {L"Current Session", L"Current Tabs", L"Last Session", L"Last Tabs"});
      break;
    case TKind::CrashReports: break;  // not a profile's
  }
}

void PreviewFirefox(TPreviewContext& Context, TItemPlan& Plan, const TWhat& What, const TProfile& Profile) {
  const std::string Name = Whose(What, Profile);
  const std::string& R = Profile.Folder;
  switch (What.Kind->Kind) {
    case TKind::Cache:
      for (const char* Cache : {"cache2", "startupCache", "thumbnails", "jumpListCache"})
        AddTree(Context, Plan, Below(Profile.Cache, Cache), Name);
      break;
    case TKind::Cookies:
      AddTree(Context, Plan, R, Name,
              {L"cookies.sqlite", L"cookies.sqlite-wal", L"cookies.sqlite-shm", L"cookies.sqlite-journal"});
      break;
    case TKind::History:
      AddRows(Context, Plan, What, Profile, FirefoxHistory);
      AddRows(Context, Plan, What, Profile, FirefoxFavicons);
      // The sites that bounced the browser through them, by name.
      AddTree(Context, Plan, R, Name,
              {L"bounce-tracking-protection.sqlite", L"bounce-tracking-protection.sqlite-wal",
               L"bounce-tracking-protection.sqlite-shm", L"bounce-tracking-protection.sqlite-journal"});
      break;
    case TKind::Forms:
      // The file holds nothing but form entries.
      AddTree(Context, Plan, R, Name,
              {L"formhistory.sqlite", L"formhistory.sqlite-wal", L"formhistory.sqlite-shm",
               L"formhistory.sqlite-journal"});
      break;
    case TKind::Session:
      AddTree(Context, Plan, R, Name,
              {L"sessionstore.jsonlz4", L"sessionstore.js", L"sessionstore-backups", L"sessionCheckpoints.json"});
      break;
    case TKind::Addresses: break;  // not offered
    case TKind::CrashReports: break;  // not a profile's
  }
}

void PreviewBrowser(TPreviewContext& Context, TItemPlan& Plan) {
  const TWhat What = WhatOf(*Plan.Item);
  if (!What.Browser || !What.Kind) return;
  // Data an administrator moved elsewhere is not looked for there: said, not guessed.
  const std::string Moved = BrowserPolicyFolder(*What.Browser, "UserDataDir");
  if (!Moved.empty()) {
    Plan.Notes.push_back("Skipped " + std::string(What.Browser->Name) + ": a policy keeps its data in \"" + Moved +
                         "\" (UserDataDir), which Vellumix does not clean.");
    return;
  }
  const bool Chromium = What.Browser->Layout == TLayout::Chromium;
  if (What.Kind->Kind == TKind::CrashReports) {
    // The browser's, not a profile's; a report the crash handler holds stays
    // as a file in use.
    const std::string Data = BrowserDataFolder(*What.Browser), Name = std::string(What.Browser->Name) + "'s crash reports";
    if (Data.empty()) return;
    if (Chromium) return AddTree(Context, Plan, Below(Data, "Crashpad\\reports"), Name);
    for (const char* Reports : {"Crash Reports\\pending", "Crash Reports\\submitted"})
      AddTree(Context, Plan, Below(Data, Reports), Name);
    return;
  }
  const std::vector<TProfile> Profiles = BrowserProfiles(*What.Browser);
  if (What.Kind->Kind == TKind::Cache) {
    const std::string Cache = BrowserPolicyFolder(*What.Browser, "DiskCacheDir");
    if (!Cache.empty())
      Plan.Notes.push_back(std::string(What.Browser->Name) + "'s disk cache lies where a policy puts it, \"" + Cache +
                           "\" (DiskCacheDir): it was not cleaned.");
  }
  // What a running browser holds stays, counted as in use; an item it holds
  // whole is unticked and says why.
  auto Running = [&] {
    Plan.Skipped = std::string(What.Browser->Name) + " is running";
    Plan.Ticked = false;
  };
  if (Chromium && !Profiles.empty() && ProfileInUse(*What.Browser, Profiles.front())) {
    Plan.Held.push_back(RunningNote(What, nullptr));
    return Running();
  }
  for (const TProfile& Profile : Profiles) {
    if (Context.Progress.Cancelled()) return;
    if (!Chromium && ProfileInUse(*What.Browser, Profile)) {
      Plan.Held.push_back(RunningNote(What, &Profile));
      continue;
    }
    (Chromium ? PreviewChromium : PreviewFirefox)(Context, Plan, What, Profile);
  }
  if (!Plan.Held.empty() && Plan.Trees.empty() && Plan.Entries.empty() && Plan.Notes.empty() &&
      Plan.Refusals.empty())
    return Running();
  // The caches Chromium shares between profiles.
  if (Chromium && What.Kind->Kind == TKind::Cache && !Profiles.empty()) {
    const std::string Name = std::string(What.Browser->Name) + "'s cache";
    const std::string Data = BrowserDataFolder(*What.Browser), Local = BrowserLocalFolder(*What.Browser);
    for (const std::string* Base : {&Data, &Local}) {
      if (Base->empty() || (Base == &Local && SamePath(Widen(Local), Widen(Data)))) continue;
      for (const char* Cache : SharedCaches) {
        // Where the data folder is the profile, the profile's own look took these.
        if (What.Browser->DataIsProfile &&
            std::any_of(std::begin(ProfileCaches), std::end(ProfileCaches),
                        [&](const char* Own) { return std::string_view(Own) == Cache; }))
          continue;
        AddTree(Context, Plan, Below(*Base, Cache), Name);
      }
    }
  }
}

// ---- the clean

// Removes the rows a preview counted, when the database is still that file.
void CleanRows(TCleanContext& Context, const TPlanEntry& Entry, const TWhat& What, const TProfile& Profile,
               const TJob& Job) {
  TTally& Tally = Context.Tally;
  const std::string Name = Whose(What, Profile);
  auto Stayed = [&](std::uint64_t& Why, const std::string& Line) {
    ++Why;
    ++Tally.StayedOther;
    Context.Lines.push_back(Line);
  };
  if (DatabaseToken(Entry.Key) != Entry.Token)
    return Stayed(Tally.Changed, "Left " + Name + " as it is: the database changed since the preview. Preview again.");
  if (const std::string Refusal = FilesRefusal(Entry.Key); !Refusal.empty())
    return Stayed(Tally.Refused, "Skipped " + Name + ": " + Refusal + ".");

  const TFileState Before = StateOf(Entry.Key);
  TDatabase Database;
  TExamined Result;
  // Whatever went wrong, the transaction is rolled back: the file stays as it was.
  auto Fail = [&](const std::string& Why) {
    Database.Exec("ROLLBACK");
    const bool Busy = DatabaseBusy(Result.Error) && Result.Reason.empty();
    Stayed(Busy ? Tally.InUse : Tally.Refused, "Skipped " + Name + ": " + Why + ".");
  };
  auto Failure = [&] { return FailureText(Result.Error, Entry.Key, &Database); };
  Result.Error = Database.Open(Entry.Key, false, &Context.Progress);
  if (Result.Error != SQLITE_OK) return Fail(Failure());
  // A file that is not sound inside is not written to: deleting from it
  // could spread the damage.
  Result.Error = Database.QuickCheck();
  if (DatabaseDamaged(Result.Error))
    return Fail("\"" + Narrow(PlainPath(Entry.Key)) + "\" did not pass SQLite's check; it was left as it is");
  if (Result.Error != SQLITE_OK) return Fail(Failure());
  Database.Exec("PRAGMA secure_delete = ON");
  // One write transaction, taken at once: a browser that holds the file
  // makes it fail rather than wait.
  Result.Error = Database.Exec("BEGIN IMMEDIATE");
  if (Result.Error != SQLITE_OK) return Fail(Failure());
  if (!CheckSchema(Database, Job, Result) ||
      !FillKeepList(Database, Profile.Folder, Job.Keep, Context.Progress, Result))
    return Fail(Result.Reason.empty() ? Failure() : Result.Reason);
  std::size_t Index = 0;
  for (const TDeletion& Deletion : Job.Deletions) {
    if (!Result.Applies[Index++]) continue;
    const std::string Sql = std::string("DELETE FROM \"") + Deletion.Table + "\"" + Condition(Deletion);
    Result.Error = Database.Exec(Sql.c_str());
    if (Result.Error != SQLITE_OK) return Fail(Failure());
    AddCount(Result, Deletion.Noun, static_cast<std::uint64_t>(Database.Changes()));
  }
  for (const TReset& Reset : Job.Resets) {
    int Error = SQLITE_OK;
    if (!Has(Database, Reset.Needs, Error)) continue;
    Result.Error = Database.Exec(Reset.Sql);
    if (Result.Error != SQLITE_OK) return Fail(Failure());
  }
  Result.Error = Database.Exec("COMMIT");
  if (Result.Error != SQLITE_OK) return Fail(Failure());
  // Outside the transaction: the freed pages leave the file, and the log
  // that held the old pages is emptied into it.
  std::string Compacted;
  if (Database.Exec("VACUUM") != SQLITE_OK) Compacted = " (it could not be compacted: " + Database.ErrorText() + ")";
  Database.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  Database.Close();

  Tally.Rows += Result.Rows;
  const TFileState After = StateOf(Entry.Key);
  if (After.Size < Before.Size) Tally.Bytes += Before.Size - After.Size;
  Context.Lines.push_back("Cleared " + Name + ": " + CountsText(Result) + Compacted + ".");
}

bool Within(const std::wstring& Root, const std::string& Folder) {
  if (Folder.empty()) return false;
  const std::wstring Plain = PlainPath(Root);
  if (PathHolds(Widen(Folder), Plain)) return true;
  // A tree's root is where its folder really is (the guard resolved it); the
  // profile's folder is as its browser names it, maybe through a link or
  // another drive letter: resolved the same way, it must compare too.
  // Only to learn where it leads: nothing is done through this handle.
  TFileHandle Opened(CreateFileW(LongPath(Folder).c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  const std::optional<std::wstring> Final = Opened ? FinalPathOf(Opened.get()) : std::nullopt;
  if (!Final) return false;
  return PathHolds(PlainPath(*Final), Plain);
}

void CleanBrowser(TCleanContext& Context, TItemPlan& Plan) {
  const TWhat What = WhatOf(*Plan.Item);
  if (!What.Browser || !What.Kind) return;
  const bool Chromium = What.Browser->Layout == TLayout::Chromium;
  // Once more, just before anything is touched: which profiles are in use now.
  const std::vector<TProfile> Profiles = BrowserProfiles(*What.Browser);
  std::vector<const TProfile*> Busy;
  for (const TProfile& Profile : Profiles)
    if (ProfileInUse(*What.Browser, Profile)) Busy.push_back(&Profile);
  const bool AllBusy = Chromium && !Busy.empty();

  auto BusyWith = [&](auto&& Holds) -> const TProfile* {
    if (AllBusy) return Busy.front();
    for (const TProfile* Profile : Busy)
      if (Holds(*Profile)) return Profile;
    return nullptr;
  };
  std::vector<const TProfile*> Said;
  auto Skip = [&](const TProfile* Profile) {
    const TProfile* Key = AllBusy ? nullptr : Profile;
    for (const TProfile* Known : Said)
      if (Known == Key) return;
    Said.push_back(Key);
    Context.Lines.push_back(RunningNote(What, Key));
  };

  for (const TTreePlan& Tree : Plan.Trees) {
    if (Context.Progress.Cancelled()) return;
    const TProfile* Holder = BusyWith([&](const TProfile& P) { return Within(Tree.Root, P.Folder) || Within(Tree.Root, P.Cache); });
    if (Holder) {
      Skip(Holder);
      Context.Tally.InUse += Tree.TickedFiles();
      continue;
    }
    CleanTree(Tree, Context.Progress, Context.Tally);
  }

  const std::vector<const TJob*> Jobs = JobsOf(*What.Browser, What.Kind->Kind);
  for (const TPlanEntry& Entry : Plan.Entries) {
    if (!Entry.Ticked || Entry.Kind != TEntryKind::Rows || Context.Progress.Cancelled()) continue;
    const TProfile* Owner = nullptr;
    const TJob* Job = nullptr;
    for (const TProfile& Profile : Profiles)
      for (const TJob* Each : Jobs)
        if (SamePath(LongPath(Below(Profile.Folder, Each->File)), Entry.Key)) Owner = &Profile, Job = Each;
    if (!Owner) {
      ++Context.Tally.Changed;
      ++Context.Tally.StayedOther;
      Context.Lines.push_back("Left " + std::string(What.Browser->Name) + "'s " + What.Kind->Noun +
                              " as it is: its profile is gone since the preview.");
    } else if (BusyWith([&](const TProfile& P) { return &P == Owner; })) {
      Skip(Owner);
      ++Context.Tally.InUse;
      ++Context.Tally.StayedOther;
    } else {
      CleanRows(Context, Entry, What, *Owner, *Job);
    }
    Context.Progress.Count(Entry.Size);
  }
}

// ---- the rows of the catalogue

template <std::size_t Index>
bool Present() {
  return BrowserPresent(Browsers()[Index]);
}

template <std::size_t... Index>
constexpr auto PresentTable(std::index_sequence<Index...>) {
  return std::array<bool (*)(), sizeof...(Index)>{&Present<Index>...};
}

}  // namespace

std::vector<TItem> BrowserItems() {
  static const auto PresentOf = PresentTable(std::make_index_sequence<BrowserCount>());
  // The ids and labels the rows point to, made once.
  static const std::deque<std::string> Texts = [] {
    std::deque<std::string> Made;
    for (const TBrowser& Browser : Browsers())
      for (const TKindInfo& Kind : Kinds) {
        if (Kind.ChromiumOnly && Browser.Layout != TLayout::Chromium) continue;
        Made.push_back(std::string(Browser.Key) + "." + Kind.Key);
        Made.push_back(std::string(Browser.Name) + ": " + Kind.Label);
      }
    return Made;
  }();
  std::vector<TItem> Items;
  std::size_t Text = 0, Index = 0;
  for (const TBrowser& Browser : Browsers()) {
    for (const TKindInfo& Kind : Kinds) {
      if (Kind.ChromiumOnly && Browser.Layout != TLayout::Chromium) continue;
      TItem Item{Texts[Text].c_str(), TGroup::Browsers, 0, Texts[Text + 1].c_str(), Kind.Hint, nullptr, false,
                 nullptr, nullptr, nullptr, &PreviewBrowser, Browser.Name, false, PresentOf[Index], &CleanBrowser};
      Items.push_back(Item);
      Text += 2;
    }
    ++Index;
  }
  return Items;
}
