// The browsers' items on synthetic profiles made here with the program's own
// SQLite: what each item removes, what must stay byte for byte, a running
// browser left alone, and databases that are not what the program expects.
#include "catalogue/BrowserProfiles.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Json.h"
#include "support/TempTree.h"
#include "support/TestKey.h"
#include "win/Handle.h"
#include "win/WidePath.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <string>
#include <vector>

namespace {

using ::testing::HasSubstr;

// ---- synthetic databases

// Makes the database, or runs Sql in the one that is there.
void MakeDatabase(const std::string& Path, const std::string& Sql, bool Wal = false) {
  sqlite3* Db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(Path.c_str(), &Db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
  if (Wal) sqlite3_exec(Db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
  char* Error = nullptr;
  const int Rc = sqlite3_exec(Db, Sql.c_str(), nullptr, nullptr, &Error);
  EXPECT_EQ(Rc, SQLITE_OK) << (Error ? Error : "");
  sqlite3_free(Error);
  sqlite3_close(Db);
}

// Commits Sql into the write-ahead log only, as a browser that stopped
// before its checkpoint leaves it.
void CommitIntoLog(const std::string& Path, const std::string& Sql) {
  sqlite3* Db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(Path.c_str(), &Db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  sqlite3_db_config(Db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  sqlite3_exec(Db, "PRAGMA wal_autocheckpoint = 0", nullptr, nullptr, nullptr);
  EXPECT_EQ(sqlite3_exec(Db, Sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(Db);
  sqlite3_close(Db);
}

std::int64_t Scalar(const std::string& Path, const std::string& Sql) {
  sqlite3* Db = nullptr;
  std::int64_t Value = -1;
  if (sqlite3_open_v2(Path.c_str(), &Db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* Query = nullptr;
    if (sqlite3_prepare_v2(Db, Sql.c_str(), -1, &Query, nullptr) == SQLITE_OK && sqlite3_step(Query) == SQLITE_ROW)
      Value = sqlite3_column_int64(Query, 0);
    else
      ADD_FAILURE() << Sql << ": " << sqlite3_errmsg(Db);
    sqlite3_finalize(Query);
  }
  sqlite3_close(Db);
  return Value;
}

const char* const ChromiumHistorySql = R"(
CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);
CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT, url LONGVARCHAR, title LONGVARCHAR,
  visit_count INTEGER DEFAULT 0 NOT NULL, typed_count INTEGER DEFAULT 0 NOT NULL,
  last_visit_time INTEGER NOT NULL, hidden INTEGER DEFAULT 0 NOT NULL);
CREATE TABLE visits(id INTEGER PRIMARY KEY AUTOINCREMENT, url INTEGER NOT NULL, visit_time INTEGER NOT NULL);
CREATE TABLE keyword_search_terms(keyword_id INTEGER NOT NULL, url_id INTEGER NOT NULL, term LONGVARCHAR NOT NULL,
  normalized_term LONGVARCHAR NOT NULL);
CREATE TABLE downloads(id INTEGER PRIMARY KEY, guid VARCHAR NOT NULL, target_path LONGVARCHAR NOT NULL);
CREATE TABLE downloads_url_chains(id INTEGER NOT NULL, chain_index INTEGER NOT NULL, url LONGVARCHAR NOT NULL,
  PRIMARY KEY (id, chain_index));
CREATE TABLE segments(id INTEGER PRIMARY KEY, name VARCHAR, url_id INTEGER);
CREATE TABLE segment_usage(id INTEGER PRIMARY KEY, segment_id INTEGER NOT NULL, time_slot INTEGER NOT NULL);
INSERT INTO meta VALUES('version', '70');
INSERT INTO urls VALUES(1, 'https://kept.example/', 'Kept', 5, 2, 13300000000000000, 0);
INSERT INTO urls VALUES(2, 'https://a.example/', 'A', 1, 0, 13300000000000000, 0);
INSERT INTO urls VALUES(3, 'https://b.example/?q=secret', 'B', 2, 1, 13300000000000000, 0);
INSERT INTO visits(url, visit_time) VALUES(1, 1), (1, 2), (2, 3), (3, 4);
INSERT INTO keyword_search_terms VALUES(2, 3, 'secret', 'secret');
INSERT INTO downloads VALUES(1, 'g', 'C:\Users\me\Downloads\file.zip');
INSERT INTO downloads_url_chains VALUES(1, 0, 'https://b.example/file.zip');
INSERT INTO segments VALUES(1, 'b.example', 3);
INSERT INTO segment_usage VALUES(1, 1, 0);
)";
// Rows the history item removes from it: 4 visits, 2 addresses, 1 search,
// 1 download, 1 chain, 1 segment, 1 segment use.
constexpr std::int64_t ChromiumHistoryRows = 11;

const char* const WebDataSql = R"(
CREATE TABLE autofill(name VARCHAR, value VARCHAR, value_lower VARCHAR, date_created INTEGER DEFAULT 0,
  date_last_used INTEGER DEFAULT 0, count INTEGER DEFAULT 1, PRIMARY KEY (name, value));
CREATE TABLE keywords(id INTEGER PRIMARY KEY, short_name VARCHAR NOT NULL, keyword VARCHAR NOT NULL);
CREATE TABLE credit_cards(guid VARCHAR PRIMARY KEY, name_on_card VARCHAR);
INSERT INTO autofill(name, value, value_lower) VALUES('email', 'me@example.org', 'me@example.org'),
  ('q', 'secret', 'secret'), ('city', 'Oslo', 'oslo');
INSERT INTO keywords VALUES(1, 'Search', 'search.example');
INSERT INTO credit_cards VALUES('c', 'Me');
)";

const char* const PlacesSql = R"(
CREATE TABLE moz_origins(id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT NULL, frecency INTEGER NOT NULL);
CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, visit_count INTEGER DEFAULT 0,
  hidden INTEGER DEFAULT 0 NOT NULL, typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL,
  last_visit_date INTEGER, guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 NOT NULL,
  origin_id INTEGER REFERENCES moz_origins(id));
CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY, from_visit INTEGER, place_id INTEGER, visit_date INTEGER,
  visit_type INTEGER, session INTEGER);
CREATE TABLE moz_inputhistory(place_id INTEGER NOT NULL, input LONGVARCHAR NOT NULL, use_count INTEGER,
  PRIMARY KEY (place_id, input));
CREATE TABLE moz_bookmarks(id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, parent INTEGER,
  title LONGVARCHAR);
CREATE TABLE moz_anno_attributes(id INTEGER PRIMARY KEY, name VARCHAR(32) UNIQUE NOT NULL);
CREATE TABLE moz_annos(id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, anno_attribute_id INTEGER,
  content LONGVARCHAR);
INSERT INTO moz_origins VALUES(1, 'https://', 'kept.example', 1), (2, 'https://', 'a.example', 1);
INSERT INTO moz_places(id, url, visit_count, typed, last_visit_date, foreign_count, origin_id)
  VALUES(1, 'https://kept.example/', 3, 1, 1700000000000000, 1, 1),
        (2, 'https://a.example/', 1, 1, 1700000000000000, 0, 2),
        (3, 'https://a.example/secret', 1, 0, 1700000000000000, 0, 2);
INSERT INTO moz_bookmarks VALUES(1, 1, 1, 0, 'Kept');
INSERT INTO moz_historyvisits(place_id, visit_date) VALUES(1, 1), (2, 2), (3, 3);
INSERT INTO moz_inputhistory VALUES(2, 'a.ex', 1);
INSERT INTO moz_anno_attributes VALUES(1, 'downloads/destinationFileURI');
INSERT INTO moz_annos VALUES(1, 3, 1, 'file:///C:/secret.zip'), (2, 1, 1, 'file:///C:/kept.zip');
)";
// 3 visits, 2 places, 1 typed entry, 2 annotations, 1 origin.
constexpr std::int64_t PlacesRows = 9;

// ---- the files of a tree, to tell that nothing changed

std::map<std::string, std::string> Snapshot(const std::string& Folder) {
  std::map<std::string, std::string> Files;
  WIN32_FIND_DATAW Entry;
  HANDLE Search = FindFirstFileW(LongPath(Folder + "\\*").c_str(), &Entry);
  if (Search == INVALID_HANDLE_VALUE) return Files;
  do {
    const std::string Name = Narrow(Entry.cFileName), Path = Folder + "\\" + Name;
    if (Name == "." || Name == "..") continue;
    if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      Files[Path + "\\"] = "";
      Files.merge(Snapshot(Path));
    } else {
      Files[Path] = ReadWholeFile(Path, 1 << 26).value_or("<unreadable>");
    }
  } while (FindNextFileW(Search, &Entry));
  FindClose(Search);
  return Files;
}

// The paths whose content differs between two snapshots (or that only one has).
std::vector<std::string> Differences(const std::map<std::string, std::string>& Before,
                                     const std::map<std::string, std::string>& After) {
  std::vector<std::string> Paths;
  for (const auto& [Path, Bytes] : Before)
    if (auto Found = After.find(Path); Found == After.end() || Found->second != Bytes) Paths.push_back(Path);
  for (const auto& [Path, Bytes] : After)
    if (!Before.count(Path)) Paths.push_back(Path + " (new)");
  return Paths;
}

bool Exists(const std::string& Path) { return GetFileAttributesW(LongPath(Path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// ---- one item's preview and clean

struct TRun {
  TItemPlan Plan;
  TTally Tally;
  std::vector<std::string> Lines;
  std::string Text() const {
    std::string All;
    for (const std::string& Line : Plan.Notes) All += "note: " + Line + "\n";
    for (const std::string& Line : Lines) All += Line + "\n";
    return All;
  }
};

void Preview(TRun& Run, const char* Id) {
  const TItem* Item = FindItem(Id);
  ASSERT_NE(Item, nullptr) << Id;
  TProgress Progress;
  TPreviewContext Context{Progress};
  Run.Plan.Item = Item;
  Item->Preview(Context, Run.Plan);
  EXPECT_TRUE(Run.Plan.Refusals.empty()) << Run.Plan.Refusals.front();
}

void Clean(TRun& Run) {
  TProgress Progress;
  TCleanContext Context{Progress, Run.Tally, Run.Lines};
  CleanPlanEntries(Run.Plan, Context);
}

TRun PreviewAndClean(const char* Id) {
  TRun Run;
  Preview(Run, Id);
  Clean(Run);
  return Run;
}

// Holds a file the way a running browser does.
TFileHandle HoldLock(const std::string& Path, DWORD Share, DWORD Flags) {
  return TFileHandle(CreateFileW(LongPath(Path).c_str(), GENERIC_READ | GENERIC_WRITE, Share, nullptr, OPEN_ALWAYS,
                                 Flags, nullptr));
}

class Browsers : public ::testing::Test {
protected:
  TTempTree Tree{"Browsers"};
  const std::string Roaming = Tree.Folder("Roaming"), Local = Tree.Folder("Local");
  const std::string Chrome = Local + "\\Google\\Chrome\\User Data";
  const std::string Firefox = Roaming + "\\Mozilla\\Firefox";

  void SetUp() override { SetBrowserBaseFolders(Roaming, Local); }
  void TearDown() override { SetBrowserBaseFolders("", ""); }

  // Two profiles named by Local State, each with everything the items look at.
  void MakeChrome() {
    Tree.File("Local\\Google\\Chrome\\User Data\\Local State",
              R"({"os_crypt":{"encrypted_key":"RFBBUEk="},"profile":{"info_cache":{"Default":{"name":"Me"},)"
              R"("Profile 1":{"name":"Work"}},"last_used":"Default"}})");
    for (const std::string Name : {"Default", "Profile 1"}) {
      const std::string P = Chrome + "\\" + Name;
      Tree.Folder(P.substr(Tree.Path().size() + 1));
      MakeDatabase(P + "\\History", ChromiumHistorySql);
      MakeDatabase(P + "\\Web Data", WebDataSql);
      MakeDatabase(P + "\\Login Data", "CREATE TABLE logins(origin_url VARCHAR); INSERT INTO logins VALUES('x');");
      const std::string Relative = P.substr(Tree.Path().size() + 1);
      // Escaped slashes: the reader must decode them to match the history's URL.
      Tree.File(Relative + "\\Bookmarks", R"({"roots":{"bookmark_bar":{"children":[{"name":"Kept","type":"url",)"
                                          R"("url":"https:\/\/kept.example\/"}],"type":"folder"},"other":)"
                                          R"({"children":[],"type":"folder"}},"version":1})");
      Tree.File(Relative + "\\Bookmarks.bak", "{}");
      Tree.File(Relative + "\\Preferences", R"({"homepage":"https://kept.example/"})");
      Tree.File(Relative + "\\Secure Preferences", "{}");
      Tree.File(Relative + "\\Login Data-journal", "journal of a kept database");
      Tree.File(Relative + "\\Network\\Cookies", "cookies");
      Tree.File(Relative + "\\Network\\Cookies-journal", "j");
      Tree.File(Relative + "\\Network\\NetworkDataMigrated", "");
      Tree.File(Relative + "\\Network\\Network Persistent State", "{}");
      Tree.File(Relative + "\\Cookies", "legacy cookies");
      Tree.File(Relative + "\\Cache\\Cache_Data\\f_000001", "cached page");
      Tree.File(Relative + "\\Code Cache\\js\\index", "code");
      Tree.File(Relative + "\\Sessions\\Session_13300000000000000", "tabs");
      Tree.File(Relative + "\\Current Tabs", "tabs");
      Tree.File(Relative + "\\Shortcuts", "typed");
      Tree.File(Relative + "\\Top Sites", "top");
      Tree.File(Relative + "\\Extensions\\abc\\manifest.json", "{}");
    }
    Tree.File("Local\\Google\\Chrome\\User Data\\ShaderCache\\data_0", "shader");
  }

  // A relative profile (caches below %LOCALAPPDATA%) and an absolute one.
  void MakeFirefox() {
    const std::string Absolute = Tree.Folder("Elsewhere\\Work Profile");
    Tree.File("Roaming\\Mozilla\\Firefox\\profiles.ini",
              "[Install308046B0AF4A39CB]\r\nDefault=Profiles/abc.default-release\r\n\r\n"
              "[Profile1]\r\nName=work\r\nIsRelative=0\r\nPath=" + Absolute + "\r\n\r\n"
              "[Profile0]\r\nName=default-release\r\nIsRelative=1\r\nPath=Profiles/abc.default-release\r\n"
              "Default=1\r\n\r\n[General]\r\nStartWithLastProfile=1\r\nVersion=2\r\n");
    for (const std::string& R : {Firefox + "\\Profiles\\abc.default-release", Absolute}) {
      const std::string Relative = R.substr(Tree.Path().size() + 1);
      Tree.Folder(Relative);
      MakeDatabase(R + "\\places.sqlite", PlacesSql, true);
      MakeDatabase(R + "\\cookies.sqlite", "CREATE TABLE moz_cookies(id INTEGER PRIMARY KEY, host TEXT);"
                                           "INSERT INTO moz_cookies(host) VALUES('.a.example');");
      Tree.File(Relative + "\\cookies.sqlite-wal", "wal");
      Tree.File(Relative + "\\cookies.sqlite-shm", "shm");
      Tree.File(Relative + "\\formhistory.sqlite", "forms");
      Tree.File(Relative + "\\sessionstore.jsonlz4", "session");
      Tree.File(Relative + "\\sessionstore-backups\\recovery.jsonlz4", "session");
      Tree.File(Relative + "\\logins.json", "{}");
      Tree.File(Relative + "\\key4.db", "keys");
      Tree.File(Relative + "\\prefs.js", "user_pref(\"a\", 1);");
      Tree.File(Relative + "\\parent.lock", "");  // left behind by a Firefox that has exited
    }
    Tree.File("Local\\Mozilla\\Firefox\\Profiles\\abc.default-release\\cache2\\entries\\ABC", "cached");
    Tree.File("Elsewhere\\Work Profile\\cache2\\entries\\DEF", "cached");
  }
};

// ---- readers of the browsers' own files

TEST(BrowserFiles, LocalStateBookmarksAndProfilesIniAreReadTolerantly) {
  EXPECT_EQ(LocalStateProfiles(R"({"profile":{"info_cache":{"Default":{},"Profile 3":{"a":[1,2.5e3,true,null]},)"
                               R"("..":{},"a\\b":{}}}})"),
            (std::vector<std::string>{"Default", "Profile 3"}))
      << "names that are no plain folder name are left out";
  for (const char* Broken : {"", "{", R"({"profile":{"info_cache":[]}})", R"({"profile":{}})",
                             R"({"profile":{"info_cache":{"Default":{}}}} x)", R"({"a":"\ud800"})"})
    EXPECT_FALSE(LocalStateProfiles(Broken)) << Broken;

  EXPECT_EQ(BookmarkedUrls("\xEF\xBB\xBF" R"({"roots":{"a":{"children":[{"url":"https://x/\u00e9\ud83d\ude00"},)"
                           R"({"children":[{"url":"https://y/"}]}]}}})"),
            (std::vector<std::string>{"https://x/\xC3\xA9\xF0\x9F\x98\x80", "https://y/"}));
  EXPECT_FALSE(BookmarkedUrls(R"({"roots":{"url":"https://x/")"));
  std::string Deep(500, '[');
  EXPECT_FALSE(ParseJson(Deep + std::string(500, ']'))) << "nesting is bounded";

  const std::vector<TIniProfile> Ini = FirefoxIniProfiles(
      "[General]\nPath=not/a/profile\n[Profile0]\nName=a\nIsRelative=1\nPath=Profiles/x.default\n"
      "[Profile1]\r\nName = b\r\nIsRelative=0\r\nPath=D:\\Firefox\\b\\\r\n[Profile2]\nName=no path\n");
  ASSERT_EQ(Ini.size(), 2u);
  EXPECT_EQ(Ini[0].Path, "Profiles\\x.default");
  EXPECT_TRUE(Ini[0].Relative);
  EXPECT_EQ(Ini[1].Name, "b");
  EXPECT_EQ(Ini[1].Path, "D:\\Firefox\\b");
  EXPECT_FALSE(Ini[1].Relative);
}

// ---- Chromium

TEST_F(Browsers, ChromiumHistoryGoesInEveryProfileWhileBookmarksPasswordsAndPreferencesStay) {
  MakeChrome();
  auto Keep = [&](const std::string& P) {
    std::map<std::string, std::string> Kept;
    for (const char* Name : {"Bookmarks", "Bookmarks.bak", "Preferences", "Secure Preferences", "Login Data",
                             "Login Data-journal", "Web Data", "Extensions\\abc\\manifest.json"})
      Kept[Name] = *ReadWholeFile(P + "\\" + Name, 1 << 20);
    return Kept;
  };
  const auto LocalState = ReadWholeFile(Chrome + "\\Local State", 1 << 20);
  const auto Default = Keep(Chrome + "\\Default"), Work = Keep(Chrome + "\\Profile 1");

  TRun Run;
  Preview(Run, "chrome.history");
  std::uint64_t Rows = 0;
  for (const TPlanEntry& Entry : Run.Plan.Entries) Rows += Entry.Rows;
  EXPECT_EQ(Rows, 2 * ChromiumHistoryRows);
  ASSERT_EQ(Run.Plan.Entries.size(), 2u);
  EXPECT_THAT(Run.Plan.Entries[0].Name, HasSubstr("4 visits, 2 addresses, 1 search, 1 download"));
  Clean(Run);
  EXPECT_EQ(Run.Tally.Rows, 2 * ChromiumHistoryRows) << Run.Text();
  EXPECT_EQ(Run.Tally.Stayed(), 0u) << Run.Text();
  EXPECT_THAT(Run.Text(), HasSubstr("Cleared Google Chrome's history (Profile 1): 4 visits, 2 addresses"));

  for (const std::string Name : {"Default", "Profile 1"}) {
    const std::string P = Chrome + "\\" + Name, History = P + "\\History";
    EXPECT_EQ(Scalar(History, "SELECT COUNT(*) FROM urls WHERE url = 'https://kept.example/' AND visit_count = 0 "
                              "AND typed_count = 0 AND last_visit_time = 0"), 1) << Name;
    EXPECT_EQ(Scalar(History, "SELECT COUNT(*) FROM urls"), 1);
    for (const char* Table : {"visits", "keyword_search_terms", "downloads", "downloads_url_chains", "segments",
                              "segment_usage"})
      EXPECT_EQ(Scalar(History, std::string("SELECT COUNT(*) FROM ") + Table), 0) << Table;
    EXPECT_EQ(Scalar(History, "SELECT COUNT(*) FROM meta"), 1);
    EXPECT_FALSE(Exists(P + "\\Shortcuts"));
    EXPECT_FALSE(Exists(P + "\\Top Sites"));
    EXPECT_TRUE(Exists(P + "\\Current Tabs")) << "the session is another item";
    EXPECT_EQ(Keep(P), Name == "Default" ? Default : Work);
  }
  EXPECT_EQ(ReadWholeFile(Chrome + "\\Local State", 1 << 20), LocalState);
}

TEST_F(Browsers, EachChromiumItemTakesOnlyItsOwnFiles) {
  MakeChrome();
  struct TCase {
    const char* Id;
    std::vector<const char*> Gone;     // in each profile
    std::vector<const char*> Shared;   // in User Data
    const char* Changed;               // a database whose rows go, in each profile
  };
  const TCase Cases[] = {
      {"chrome.cache", {"Cache\\Cache_Data\\f_000001", "Code Cache\\js\\index"}, {"ShaderCache\\data_0"}, nullptr},
      {"chrome.cookies", {"Network\\Cookies", "Network\\Cookies-journal", "Cookies"}, {}, nullptr},
      {"chrome.session", {"Sessions\\Session_13300000000000000", "Current Tabs"}, {}, nullptr},
      {"chrome.forms", {}, {}, "Web Data"},
  };
  // Files only: a swept folder's root stays, its subfolders go.
  auto Files = [this] {
    auto All = Snapshot(Chrome);
    std::erase_if(All, [](const auto& Entry) { return Entry.first.back() == '\\'; });
    return All;
  };
  for (const TCase& Case : Cases) {
    auto Expected = Files();
    for (const char* Profile : {"\\Default\\", "\\Profile 1\\"}) {
      for (const char* Gone : Case.Gone) EXPECT_EQ(Expected.erase(Chrome + Profile + Gone), 1u) << Gone;
      if (Case.Changed) Expected.erase(Chrome + Profile + Case.Changed);
    }
    for (const char* Gone : Case.Shared) EXPECT_EQ(Expected.erase(Chrome + "\\" + Gone), 1u) << Gone;

    const TRun Run = PreviewAndClean(Case.Id);
    EXPECT_EQ(Run.Tally.Stayed(), 0u) << Case.Id << "\n" << Run.Text();
    auto After = Files();
    if (Case.Changed) {
      for (const char* Profile : {"\\Default\\", "\\Profile 1\\"})
        EXPECT_EQ(After.erase(Chrome + Profile + Case.Changed), 1u);
    }
    EXPECT_THAT(Differences(Expected, After), ::testing::IsEmpty()) << Case.Id;
  }
  for (const char* Stays : {"Cache", "Code Cache", "Sessions"}) EXPECT_TRUE(Exists(Chrome + "\\Default\\" + Stays));
  EXPECT_TRUE(Exists(Chrome + "\\ShaderCache"));
  const std::string WebData = Chrome + "\\Default\\Web Data";
  EXPECT_EQ(Scalar(WebData, "SELECT COUNT(*) FROM autofill"), 0);
  EXPECT_EQ(Scalar(WebData, "SELECT COUNT(*) FROM keywords"), 1) << "search engines stay";
  EXPECT_EQ(Scalar(WebData, "SELECT COUNT(*) FROM credit_cards"), 1) << "cards stay";
}

// Under Wine a Linux link to a file looks like a plain file: SQLite would
// write through it into whatever it leads to.
TEST_F(Browsers, ADatabaseThatIsALinkIsNotOpened) {
  MakeChrome();
  const std::string Canary = Tree["canary.db"];
  MakeDatabase(Canary, ChromiumHistorySql);
  const std::string History = Chrome + "\\Default\\History";
  ASSERT_TRUE(DeleteFileW(LongPath(History).c_str()));
  if (!MakeFileLink(History, Canary)) GTEST_SKIP() << "no Linux links here";
  const auto Before = ReadWholeFile(Canary, 1 << 20);
  const TRun Run = PreviewAndClean("chrome.history");
  EXPECT_THAT(Run.Text(), HasSubstr("Skipped Google Chrome's history (Default): \"" + History +
                                    "\" or a file beside it is a link."));
  EXPECT_EQ(ReadWholeFile(Canary, 1 << 20), Before);
  EXPECT_EQ(Run.Tally.Rows, ChromiumHistoryRows) << "Profile 1";
  EXPECT_EQ(Run.Tally.Refused, 1u) << "what stayed is counted";
  RemoveTree(History);  // the link, not what it leads to

  // SQLite opens the log beside a database by name, and would write through
  // a link there and delete it on closing.
  const std::string Other = Chrome + "\\Profile 1\\History";
  const std::string Log = Tree.File("canary-wal", "not a log");
  ASSERT_TRUE(MakeFileLink(Other + "-wal", Log));
  const TRun Beside = PreviewAndClean("chrome.history");
  EXPECT_THAT(Beside.Text(), HasSubstr("\"" + Other + "\" or a file beside it is a link."));
  EXPECT_EQ(ReadWholeFile(Log, 1 << 20), "not a log");
  RemoveTree(Other + "-wal");
}

// Someone planted triggers in the history: one that never ends, one that
// takes the bookmarked addresses along. Neither runs; the clean ends by itself.
TEST_F(Browsers, TriggersPlantedInAHistoryDoNotRun) {
  MakeChrome();
  const std::string History = Chrome + "\\Default\\History";
  MakeDatabase(History,
               "CREATE TRIGGER endless AFTER DELETE ON visits BEGIN SELECT COUNT(*) FROM (WITH RECURSIVE "
               "c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c); END;"
               "CREATE TRIGGER takes_all BEFORE DELETE ON urls BEGIN DELETE FROM urls; END;");
  const TRun Run = PreviewAndClean("chrome.history");
  EXPECT_THAT(Run.Text(), HasSubstr("Cleared Google Chrome's history (Default)"));
  EXPECT_THAT(Run.Text(), ::testing::Not(HasSubstr("could not be compacted"))) << "VACUUM's own file is allowed";
  EXPECT_EQ(Scalar(History, "SELECT COUNT(*) FROM urls WHERE url = 'https://kept.example/'"), 1);
  EXPECT_EQ(Scalar(History, "SELECT COUNT(*) FROM pragma_integrity_check WHERE integrity_check <> 'ok'"), 0);
}

// What a history clean left before: the icons of visited pages, bounce
// tracking, reporting endpoints, measured pages; the newer session and GPU
// caches; form entries in their newer table.
TEST_F(Browsers, ChromiumItemsTakePageIconsAndWhatNewerVersionsKeep) {
  MakeChrome();
  const std::string P = Chrome + "\\Default", Relative = P.substr(Tree.Path().size() + 1);
  MakeDatabase(P + "\\Favicons", R"(
CREATE TABLE icon_mapping(id INTEGER PRIMARY KEY, page_url LONGVARCHAR NOT NULL, icon_id INTEGER);
CREATE TABLE favicons(id INTEGER PRIMARY KEY, url LONGVARCHAR NOT NULL, icon_type INTEGER DEFAULT 1);
CREATE TABLE favicon_bitmaps(id INTEGER PRIMARY KEY, icon_id INTEGER NOT NULL, image_data BLOB);
INSERT INTO icon_mapping VALUES(1, 'https://kept.example/', 1), (2, 'https://a.example/', 2),
  (3, 'https://b.example/?q=secret', 2);
INSERT INTO favicons VALUES(1, 'https://kept.example/favicon.ico', 1), (2, 'https://a.example/i.png', 1);
INSERT INTO favicon_bitmaps VALUES(1, 1, x'00'), (2, 2, x'00');
)");
  MakeDatabase(P + "\\Web Data",
               "CREATE TABLE autocomplete(name VARCHAR, value VARCHAR, date_created INTEGER);"
               "INSERT INTO autocomplete VALUES('q', 'newer secret', 1);"
               "CREATE TABLE local_addresses(guid VARCHAR PRIMARY KEY, use_count INTEGER);"
               "CREATE TABLE local_addresses_type_tokens(guid VARCHAR, type INTEGER, value VARCHAR);"
               "INSERT INTO local_addresses VALUES('g', 1); INSERT INTO local_addresses_type_tokens VALUES('g', 1, 'Home');");
  for (const char* Name : {"DIPS", "Reporting and NEL", "Reporting and NEL-journal", "segmentation_platform\\ukm_db",
                           "Sessions_Encrypted\\Session_1", "DawnGraphiteCache\\data_0", "DawnWebGPUCache\\data_0"})
    Tree.File(Relative + "\\" + Name, "trace");
  Tree.File("Local\\Google\\Chrome\\User Data\\GPUPersistentCache\\data_0", "trace");

  for (const char* Item : {"chrome.history", "chrome.session", "chrome.cache", "chrome.forms", "chrome.addresses"}) {
    const TRun Run = PreviewAndClean(Item);
    EXPECT_EQ(Run.Tally.Stayed(), 0u) << Item << "\n" << Run.Text();
  }
  EXPECT_EQ(Scalar(P + "\\Favicons", "SELECT COUNT(*) FROM icon_mapping"), 1);
  EXPECT_EQ(Scalar(P + "\\Favicons", "SELECT COUNT(*) FROM icon_mapping WHERE page_url = 'https://kept.example/'"), 1);
  EXPECT_EQ(Scalar(P + "\\Favicons", "SELECT COUNT(*) FROM favicons WHERE id <> 1"), 0);
  EXPECT_EQ(Scalar(P + "\\Favicons", "SELECT COUNT(*) FROM favicons WHERE id = 1"), 1) << "the kept page keeps its icon";
  EXPECT_EQ(Scalar(P + "\\Favicons", "SELECT COUNT(*) FROM favicon_bitmaps WHERE icon_id <> 1"), 0);
  EXPECT_EQ(Scalar(P + "\\Favicons", "SELECT COUNT(*) FROM favicon_bitmaps"), 1);
  EXPECT_EQ(Scalar(P + "\\Web Data", "SELECT COUNT(*) FROM autocomplete"), 0);
  EXPECT_EQ(Scalar(P + "\\Web Data", "SELECT COUNT(*) FROM local_addresses"), 0);
  EXPECT_EQ(Scalar(P + "\\Web Data", "SELECT COUNT(*) FROM local_addresses_type_tokens"), 0);
  EXPECT_EQ(Scalar(P + "\\Web Data", "SELECT COUNT(*) FROM credit_cards"), 1) << "cards stay";
  EXPECT_EQ(FindItem("firefox.addresses"), nullptr) << "Firefox keeps addresses with its cards";
  for (const char* Gone : {"DIPS", "Reporting and NEL", "Reporting and NEL-journal", "segmentation_platform\\ukm_db",
                           "Sessions_Encrypted\\Session_1", "DawnGraphiteCache\\data_0", "DawnWebGPUCache\\data_0"})
    EXPECT_FALSE(Exists(P + "\\" + Gone)) << Gone;
  EXPECT_FALSE(Exists(Chrome + "\\GPUPersistentCache\\data_0"));
}

// Crash reports name the pages open at the time; the reporters' own
// settings stay. Opera GX is found beside Opera.
TEST_F(Browsers, CrashReportsGoAndTheirReportersSettingsStay) {
  MakeChrome();
  MakeFirefox();
  Tree.File("Local\\Google\\Chrome\\User Data\\Crashpad\\reports\\a.dmp", "dump");
  Tree.File("Local\\Google\\Chrome\\User Data\\Crashpad\\settings.dat", "settings");
  Tree.File("Roaming\\Mozilla\\Firefox\\Crash Reports\\pending\\b.dmp", "dump");
  Tree.File("Roaming\\Mozilla\\Firefox\\Crash Reports\\submitted\\bp-1.txt", "id");
  Tree.File("Roaming\\Mozilla\\Firefox\\Crash Reports\\InstallTime20260101", "1");
  for (const char* Item : {"chrome.crash_reports", "firefox.crash_reports"}) {
    const TRun Run = PreviewAndClean(Item);
    EXPECT_EQ(Run.Tally.Files, Item[0] == 'c' ? 1u : 2u) << Item << "\n" << Run.Text();
  }
  EXPECT_FALSE(Exists(Chrome + "\\Crashpad\\reports\\a.dmp"));
  EXPECT_TRUE(Exists(Chrome + "\\Crashpad\\settings.dat"));
  EXPECT_FALSE(Exists(Firefox + "\\Crash Reports\\pending\\b.dmp"));
  EXPECT_FALSE(Exists(Firefox + "\\Crash Reports\\submitted\\bp-1.txt"));
  EXPECT_TRUE(Exists(Firefox + "\\Crash Reports\\InstallTime20260101"));

  const TItem* Gx = FindItem("opera_gx.cache");
  ASSERT_NE(Gx, nullptr);
  EXPECT_FALSE(ItemOffered(*Gx, true));
  Tree.File("Roaming\\Opera Software\\Opera GX Stable\\Local State", "{}");
  Tree.File("Local\\Opera Software\\Opera GX Stable\\Cache\\Cache_Data\\f_1", "cached");
  EXPECT_TRUE(ItemOffered(*Gx, true));
  const TRun Run = PreviewAndClean("opera_gx.cache");
  EXPECT_EQ(Run.Tally.Files, 1u) << Run.Text();
}

TEST_F(Browsers, ARunningChromiumIsSkippedAtThePreviewAndAtTheClean) {
  MakeChrome();
  const auto Before = Snapshot(Chrome);
  const std::string Lock = Chrome + "\\lockfile";
  for (const char* Item : {"chrome.cache", "chrome.cookies", "chrome.history", "chrome.forms", "chrome.session"}) {
    TRun Late;  // previewed before the browser started, cleaned while it runs
    Preview(Late, Item);
    ASSERT_GT(Late.Plan.Count(), 0u) << Item;
    {
      // As Chromium holds it: writing, sharing reading only, gone when closed.
      TFileHandle Held = HoldLock(Lock, FILE_SHARE_READ, FILE_FLAG_DELETE_ON_CLOSE);
      ASSERT_TRUE(Held);
      TRun Early;
      Preview(Early, Item);
      EXPECT_EQ(Early.Plan.Count(), 0u) << Item;
      // The whole item is held: unticked, and it says why.
      EXPECT_EQ(Early.Plan.Skipped, "Google Chrome is running") << Item;
      EXPECT_FALSE(Early.Plan.Ticked) << Item;
      ASSERT_EQ(Early.Plan.Held.size(), 1u) << Item;
      EXPECT_THAT(Early.Plan.Held[0], HasSubstr("is running"));
      Clean(Early);
      EXPECT_EQ(Early.Tally.InUse, 1u) << Item << ": a running browser is in use, ticked or not";
      Clean(Late);
      EXPECT_THAT(Late.Text(), HasSubstr("the browser is running")) << Item;
      EXPECT_EQ(Late.Tally.Files + Late.Tally.Rows, 0u) << Item;
      EXPECT_GT(Late.Tally.InUse, 0u) << Item;
    }
    EXPECT_FALSE(Exists(Lock));
  }
  EXPECT_THAT(Differences(Before, Snapshot(Chrome)), ::testing::IsEmpty());

  // Edge says why it may run with no window.
  const std::string Edge = Local + "\\Microsoft\\Edge\\User Data";
  Tree.File("Local\\Microsoft\\Edge\\User Data\\Default\\Cache\\x", "x");
  TFileHandle Held = HoldLock(Edge + "\\lockfile", FILE_SHARE_READ, FILE_FLAG_DELETE_ON_CLOSE);
  TRun Run;
  Preview(Run, "edge.cache");
  ASSERT_EQ(Run.Plan.Held.size(), 1u);
  EXPECT_THAT(Run.Plan.Held[0], HasSubstr("start-up boost"));
}

// An administrator who moved the data or the cache is not second-guessed:
// what lies elsewhere is left, and the note says where.
TEST_F(Browsers, DataAPolicyMovesIsNotLookedForAndTheNoteSaysWhere) {
  MakeChrome();
  TTestKey Key;
  HKEY Root = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Key.Path().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Root,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, Root), ERROR_SUCCESS);
  RegCloseKey(Root);
  struct TPutBack {
    ~TPutBack() { RegOverridePredefKey(HKEY_CURRENT_USER, nullptr); }
  } PutBack;
  const std::string Policies = "Software\\Policies\\Google\\Chrome";
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, Policies.c_str(), "DiskCacheDir", REG_SZ, "D:\\Cache", 9),
            ERROR_SUCCESS);
  TRun Cache;
  Preview(Cache, "chrome.cache");
  EXPECT_GT(Cache.Plan.Count(), 0u) << "the other caches still go";
  ASSERT_EQ(Cache.Plan.Notes.size(), 1u);
  EXPECT_THAT(Cache.Plan.Notes[0], HasSubstr("\"D:\\Cache\" (DiskCacheDir)"));
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, Policies.c_str(), "UserDataDir", REG_EXPAND_SZ,
                            "${local_app_data}\\Elsewhere", 29),
            ERROR_SUCCESS);
  for (const char* Item : {"chrome.cache", "chrome.history"}) {
    TRun Run;
    Preview(Run, Item);
    EXPECT_EQ(Run.Plan.Count(), 0u) << Item;
    ASSERT_FALSE(Run.Plan.Notes.empty()) << Item;
    EXPECT_THAT(Run.Plan.Notes[0], HasSubstr("Skipped Google Chrome: a policy keeps its data in "
                                             "\"${local_app_data}\\Elsewhere\" (UserDataDir)"));
  }
}

TEST_F(Browsers, DatabasesThatAreNotWhatTheyShouldBeAreLeftAsTheyAre) {
  MakeChrome();
  const std::string Default = Chrome + "\\Default", Work = Chrome + "\\Profile 1";
  // Default: a History without visits; Profile 1: a damaged one.
  DeleteFileW(LongPath(Default + "\\History").c_str());
  MakeDatabase(Default + "\\History", "CREATE TABLE urls(id INTEGER PRIMARY KEY, url LONGVARCHAR);"
                                      "INSERT INTO urls(url) VALUES('https://a.example/');");
  Tree.File((Work + "\\History").substr(Tree.Path().size() + 1), std::string(4096, 'x'));
  const auto Before = Snapshot(Chrome);
  const TRun Run = PreviewAndClean("chrome.history");
  EXPECT_TRUE(Run.Plan.Entries.empty());
  EXPECT_THAT(Run.Text(), HasSubstr("Skipped Google Chrome's history (Default): its database has no table \"visits\""));
  EXPECT_THAT(Run.Text(), HasSubstr("Skipped Google Chrome's history (Profile 1): the database is damaged"));
  auto After = Snapshot(Chrome);
  for (const auto& [Path, Bytes] : Before)
    if (Path.ends_with("History")) {
      EXPECT_EQ(After[Path], Bytes) << Path;
    }

  // Unreadable bookmarks: the bookmarked pages cannot be told apart, so nothing goes.
  DeleteFileW(LongPath(Default + "\\History").c_str());
  MakeDatabase(Default + "\\History", ChromiumHistorySql);
  Tree.File((Default + "\\Bookmarks").substr(Tree.Path().size() + 1), "{\"roots\":");
  const TRun Unreadable = PreviewAndClean("chrome.history");
  EXPECT_THAT(Unreadable.Text(), HasSubstr("(Default): its bookmarks could not be read"));
  EXPECT_EQ(Scalar(Default + "\\History", "SELECT COUNT(*) FROM visits"), 4);
}

TEST_F(Browsers, ADatabaseChangedSinceThePreviewOrHeldByAnotherProgramStays) {
  MakeChrome();
  const std::string History = Chrome + "\\Default\\History";
  TRun Changed;
  Preview(Changed, "chrome.history");
  MakeDatabase(History, "INSERT INTO visits(url, visit_time) VALUES(2, 9);");
  Clean(Changed);
  EXPECT_THAT(Changed.Text(), HasSubstr("Left Google Chrome's history (Default) as it is: the database changed"));
  EXPECT_EQ(Scalar(History, "SELECT COUNT(*) FROM visits"), 5);
  EXPECT_EQ(Changed.Tally.Changed, 1u);
  EXPECT_EQ(Changed.Tally.Rows, ChromiumHistoryRows) << "Profile 1 was cleaned";

  // Another connection holds a write lock: no waiting, the database stays.
  TRun Busy;
  Preview(Busy, "chrome.history");
  sqlite3* Holder = nullptr;
  ASSERT_EQ(sqlite3_open_v2(History.c_str(), &Holder, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(Holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  Clean(Busy);
  sqlite3_exec(Holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(Holder);
  EXPECT_THAT(Busy.Text(), HasSubstr("Skipped Google Chrome's history (Default): the database is in use"));
  EXPECT_EQ(Busy.Tally.InUse, 1u);
  EXPECT_EQ(Scalar(History, "SELECT COUNT(*) FROM visits"), 5);
}

// ---- Firefox

TEST_F(Browsers, FirefoxHistoryKeepsBookmarkedPlaces) {
  MakeFirefox();
  const std::string Places = Firefox + "\\Profiles\\abc.default-release\\places.sqlite";
  const TRun Run = PreviewAndClean("firefox.history");
  ASSERT_EQ(Run.Plan.Entries.size(), 2u) << Run.Text();
  EXPECT_EQ(Run.Tally.Rows, 2 * PlacesRows) << Run.Text();
  EXPECT_THAT(Run.Text(), HasSubstr("Cleared Mozilla Firefox's history (default-release): 3 visits, 2 addresses"));
  EXPECT_THAT(Run.Text(), HasSubstr("Cleared Mozilla Firefox's history (work): 3 visits"));
  for (const std::string& P : {Places, Tree["Elsewhere\\Work Profile\\places.sqlite"]}) {
    for (const char* Table : {"moz_historyvisits", "moz_inputhistory", "moz_annos"})
      EXPECT_EQ(Scalar(P, std::string("SELECT COUNT(*) FROM ") + Table), 0) << Table;
    EXPECT_EQ(Scalar(P, "SELECT COUNT(*) FROM moz_places WHERE id = 1 AND visit_count = 0 AND typed = 0 AND "
                        "last_visit_date IS NULL"), 1) << P;
    EXPECT_EQ(Scalar(P, "SELECT COUNT(*) FROM moz_places WHERE id IN (2, 3)"), 0);
    EXPECT_EQ(Scalar(P, "SELECT COUNT(*) FROM moz_origins WHERE id = 1"), 1) << "a kept place's origin stays";
    EXPECT_EQ(Scalar(P, "SELECT COUNT(*) FROM moz_origins"), 1);
    EXPECT_EQ(Scalar(P, "SELECT COUNT(*) FROM moz_bookmarks"), 1);
  }
}

// The icons of visited pages, bounce tracking, the session's checkpoints,
// and a kept bookmark's score, which told of its visits.
TEST_F(Browsers, FirefoxItemsTakePageIconsBounceTrackingAndTheScoreOfVisits) {
  MakeFirefox();
  const std::string R = Firefox + "\\Profiles\\abc.default-release", Relative = R.substr(Tree.Path().size() + 1);
  MakeDatabase(R + "\\favicons.sqlite", R"(
CREATE TABLE moz_pages_w_icons(id INTEGER PRIMARY KEY, page_url TEXT NOT NULL, page_url_hash INTEGER);
CREATE TABLE moz_icons(id INTEGER PRIMARY KEY, icon_url TEXT NOT NULL, width INTEGER, root INTEGER, data BLOB);
CREATE TABLE moz_icons_to_pages(page_id INTEGER NOT NULL, icon_id INTEGER NOT NULL, PRIMARY KEY (page_id, icon_id));
INSERT INTO moz_pages_w_icons VALUES(1, 'https://kept.example/', 0), (2, 'https://a.example/secret', 0);
INSERT INTO moz_icons VALUES(1, 'https://kept.example/i.png', 16, 0, x'00'), (2, 'https://a.example/i.png', 16, 0, x'00'),
  (3, 'https://a.example/favicon.ico', 16, 1, x'00');
INSERT INTO moz_icons_to_pages VALUES(1, 1), (2, 2);
)", true);
  MakeDatabase(R + "\\places.sqlite", "UPDATE moz_places SET frecency = 21000");
  Tree.File(Relative + "\\bounce-tracking-protection.sqlite", "bounces");
  Tree.File(Relative + "\\sessionCheckpoints.json", "{}");

  for (const char* Item : {"firefox.history", "firefox.session"}) {
    const TRun Run = PreviewAndClean(Item);
    EXPECT_EQ(Run.Tally.Stayed(), 0u) << Item << "\n" << Run.Text();
  }
  EXPECT_EQ(Scalar(R + "\\favicons.sqlite", "SELECT COUNT(*) FROM moz_pages_w_icons WHERE id <> 1"), 0);
  EXPECT_EQ(Scalar(R + "\\favicons.sqlite", "SELECT COUNT(*) FROM moz_icons WHERE id <> 1"), 0)
      << "the others go, the site's root icon too";
  EXPECT_EQ(Scalar(R + "\\favicons.sqlite", "SELECT COUNT(*) FROM moz_icons WHERE id = 1"), 1)
      << "the kept page keeps its icon";
  EXPECT_EQ(Scalar(R + "\\favicons.sqlite", "SELECT COUNT(*) FROM moz_icons_to_pages"), 1);
  EXPECT_EQ(Scalar(R + "\\places.sqlite", "SELECT frecency FROM moz_places WHERE url = 'https://kept.example/'"), 1);
  EXPECT_EQ(Scalar(R + "\\places.sqlite", "SELECT COUNT(*) FROM moz_bookmarks"), 1);
  for (const char* Gone : {"bounce-tracking-protection.sqlite", "sessionCheckpoints.json"})
    EXPECT_FALSE(Exists(R + "\\" + Gone)) << Gone;
}

// A browser that stopped before folding its write-ahead log back (a crash, a
// power cut) left a database only it should recover: it is not opened, and
// nothing beside it changes; the other profile is cleaned.
TEST_F(Browsers, AHistoryWhoseLogStillHoldsCommitsIsLeftToTheBrowser) {
  MakeFirefox();
  const std::string Profile = Firefox + "\\Profiles\\abc.default-release";
  CommitIntoLog(Profile + "\\places.sqlite",
                "INSERT INTO moz_places(id, url, visit_count, foreign_count) VALUES(4, 'https://new.example/', 1, 1);"
                "INSERT INTO moz_bookmarks VALUES(2, 1, 4, 0, 'New');");
  ASSERT_TRUE(Exists(Profile + "\\places.sqlite-wal"));
  const auto Before = Snapshot(Profile);
  const TRun Run = PreviewAndClean("firefox.history");
  EXPECT_THAT(Run.Text(), HasSubstr("Skipped Mozilla Firefox's history (default-release): the browser did not close \"" +
                                    Profile + "\\places.sqlite\" cleanly; start and close the browser once."));
  EXPECT_THAT(Run.Text(), HasSubstr("Cleared Mozilla Firefox's history (work): 3 visits"));
  EXPECT_EQ(Run.Tally.Refused, 1u);
  EXPECT_THAT(Differences(Before, Snapshot(Profile)), ::testing::IsEmpty());
}

TEST_F(Browsers, FirefoxItemsTakeTheirFilesFromRelativeAndAbsoluteProfiles) {
  MakeFirefox();
  const std::string Relative = Firefox + "\\Profiles\\abc.default-release", Absolute = Tree["Elsewhere\\Work Profile"];
  const std::string Places = Relative + "\\places.sqlite";
  CommitIntoLog(Places, "INSERT INTO moz_bookmarks VALUES(2, 1, 2, 0, 'In the log');");
  std::map<std::string, std::string> Kept;
  for (const std::string& P : {Relative, Absolute})
    for (const char* Name : {"places.sqlite", "logins.json", "key4.db", "prefs.js", "parent.lock"})
      Kept[P + "\\" + Name] = *ReadWholeFile(P + "\\" + Name, 1 << 20);
  Kept[Places + "-wal"] = *ReadWholeFile(Places + "-wal", 1 << 20);
  Kept[Firefox + "\\profiles.ini"] = *ReadWholeFile(Firefox + "\\profiles.ini", 1 << 20);

  // The parent.lock files were left by a Firefox that has exited: they stop nothing.
  for (const char* Item : {"firefox.cache", "firefox.cookies", "firefox.forms", "firefox.session"}) {
    const TRun Run = PreviewAndClean(Item);
    EXPECT_GT(Run.Tally.Files, 0u) << Item;
    EXPECT_EQ(Run.Tally.Stayed(), 0u) << Item << "\n" << Run.Text();
  }
  for (const std::string& P : {Relative, Absolute})
    for (const char* Gone : {"cookies.sqlite", "cookies.sqlite-wal", "cookies.sqlite-shm", "formhistory.sqlite",
                             "sessionstore.jsonlz4", "sessionstore-backups"})
      EXPECT_FALSE(Exists(P + "\\" + Gone)) << P << "\\" << Gone;
  EXPECT_FALSE(Exists(Local + "\\Mozilla\\Firefox\\Profiles\\abc.default-release\\cache2\\entries\\ABC"));
  EXPECT_FALSE(Exists(Absolute + "\\cache2\\entries\\DEF"));
  EXPECT_TRUE(Exists(Absolute + "\\cache2"));
  for (const auto& [Path, Bytes] : Kept) EXPECT_EQ(ReadWholeFile(Path, 1 << 20), Bytes) << Path;
}

TEST_F(Browsers, ARunningFirefoxProfileIsLeftWholeWhileTheOtherIsCleaned) {
  MakeFirefox();
  const std::string Relative = Firefox + "\\Profiles\\abc.default-release", Absolute = Tree["Elsewhere\\Work Profile"];
  const std::string RelativeCache = Local + "\\Mozilla\\Firefox\\Profiles\\abc.default-release";
  const auto Before = Snapshot(Relative), CacheBefore = Snapshot(RelativeCache);
  std::vector<TRun> Runs(5);
  const char* Items[] = {"firefox.cache", "firefox.cookies", "firefox.history", "firefox.forms", "firefox.session"};
  for (int I = 0; I < 5; ++I) Preview(Runs[I], Items[I]);
  {
    // As Firefox holds it: sharing nothing.
    TFileHandle Held = HoldLock(Relative + "\\parent.lock", 0, FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(Held);
    TRun Early;
    Preview(Early, "firefox.history");
    ASSERT_EQ(Early.Plan.Held.size(), 1u);
    EXPECT_THAT(Early.Plan.Held[0], HasSubstr("Mozilla Firefox's history (default-release): the browser is running"));
    EXPECT_EQ(Early.Plan.Entries.size(), 1u) << "the other profile";
    EXPECT_TRUE(Early.Plan.Ticked && Early.Plan.Skipped.empty()) << "the other profile is cleaned";
    for (TRun& Run : Runs) {
      Clean(Run);
      EXPECT_THAT(Run.Text(), HasSubstr("(default-release): the browser is running")) << Run.Plan.Item->Id;
      EXPECT_GT(Run.Tally.Files + Run.Tally.Rows, 0u) << Run.Plan.Item->Id << ": the work profile";
    }
  }
  EXPECT_THAT(Differences(Before, Snapshot(Relative)), ::testing::IsEmpty());
  EXPECT_THAT(Differences(CacheBefore, Snapshot(RelativeCache)), ::testing::IsEmpty());
  EXPECT_FALSE(Exists(Absolute + "\\cookies.sqlite"));
  EXPECT_EQ(Scalar(Absolute + "\\places.sqlite", "SELECT COUNT(*) FROM moz_historyvisits"), 0);
}

// A profile named through a folder link: the clean's trees lie where the link
// leads, and a Firefox that started since the preview is still recognised.
TEST_F(Browsers, AProfileReachedThroughALinkIsRecognisedAsRunning) {
  const std::string Real = Tree.Folder("Real\\Linked Profile");
  Tree.File("Real\\Linked Profile\\cache2\\entries\\GHI", "cached");
  Tree.File("Real\\Linked Profile\\sessionstore.jsonlz4", "session");
  Tree.File("Real\\Linked Profile\\parent.lock", "");
  if (!MakeFolderLink(Tree["Via"], Tree["Real"])) GTEST_SKIP() << "no Linux links here";
  const std::string Named = Tree["Via"] + "\\Linked Profile";
  Tree.File("Roaming\\Mozilla\\Firefox\\profiles.ini",
            "[Profile0]\r\nName=linked\r\nIsRelative=0\r\nPath=" + Named + "\r\nDefault=1\r\n");
  std::vector<TRun> Runs(2);
  Preview(Runs[0], "firefox.cache");
  Preview(Runs[1], "firefox.session");
  for (const TRun& Run : Runs) ASSERT_GT(Run.Plan.Count(), 0u) << Run.Plan.Item->Id;
  {
    TFileHandle Held = HoldLock(Named + "\\parent.lock", 0, FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(Held);
    for (TRun& Run : Runs) {
      Clean(Run);
      EXPECT_THAT(Run.Text(), HasSubstr("the browser is running")) << Run.Plan.Item->Id;
      EXPECT_EQ(Run.Tally.Files, 0u) << Run.Plan.Item->Id;
    }
  }
  EXPECT_TRUE(Exists(Real + "\\cache2\\entries\\GHI"));
  EXPECT_TRUE(Exists(Real + "\\sessionstore.jsonlz4"));
  RemoveTree(Tree["Via"]);  // the link, not what it leads to
}

TEST_F(Browsers, AnItemIsOfferedWhereItsBrowserKeepsData) {
  for (const char* Id : {"chrome.cache", "firefox.history", "opera.session", "edge.forms"})
    EXPECT_FALSE(FindItem(Id)->Present()) << Id;
  MakeChrome();
  MakeFirefox();
  Tree.Folder("Roaming\\Opera Software\\Opera Stable");
  for (const char* Id : {"chrome.cache", "firefox.history", "opera.session"}) EXPECT_TRUE(FindItem(Id)->Present()) << Id;
  EXPECT_FALSE(FindItem("edge.forms")->Present());

  // Opera: the data folder is the profile; its caches lie below %LOCALAPPDATA%.
  // No Bookmarks file: no page is bookmarked, all three addresses go.
  MakeDatabase(Roaming + "\\Opera Software\\Opera Stable\\History", ChromiumHistorySql);
  Tree.File("Local\\Opera Software\\Opera Stable\\Cache\\Cache_Data\\f_1", "cached");
  EXPECT_EQ(PreviewAndClean("opera.history").Tally.Rows, ChromiumHistoryRows + 1);
  EXPECT_EQ(PreviewAndClean("opera.cache").Tally.Files, 1u);
}

TEST_F(Browsers, WithoutLocalStateTheUsualProfileFoldersAreFound) {
  MakeChrome();
  Tree.Folder("Local\\Google\\Chrome\\User Data\\System Profile");
  Tree.File("Local\\Google\\Chrome\\User Data\\Local State", "not json");
  std::vector<std::string> Names;
  for (const TProfile& Profile : BrowserProfiles(*FindBrowser("chrome"))) Names.push_back(Profile.Name);
  EXPECT_EQ(Names, (std::vector<std::string>{"Default", "Profile 1"}));
}

}  // namespace
