// Clearing a browser's history, under Wine: a Chromium History database with
// 100,000 visits over 20,000 addresses (100 of them bookmarked), cleared
//   - by the item itself (its preview, then its clean: SQL, VACUUM and all),
//   - step by step on an identical copy, to split the SQL from the VACUUM.
// With "keep", a third copy (History.native) and the same SQL (clear.sql)
// stay behind in the bench folder, for timing the native sqlite3 shell:
//   time sqlite3 History.native < clear.sql
//
// Its files lie in <temp>\VellumixBench\Browser, made again by every run.
//
// Run by hand: /usr/lib/wine/wine64 build/bench/browser_bench.exe [visits] [keep]

#include "catalogue/BrowserProfiles.h"
#include "catalogue/Catalogue.h"
#include "engine/Database.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <sqlite3.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point Since) {
  return std::chrono::duration<double>(TClock::now() - Since).count();
}

constexpr int Addresses = 20000, Bookmarked = 100;

const char* const Schema = R"(
CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);
CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT, url LONGVARCHAR, title LONGVARCHAR,
  visit_count INTEGER DEFAULT 0 NOT NULL, typed_count INTEGER DEFAULT 0 NOT NULL,
  last_visit_time INTEGER NOT NULL, hidden INTEGER DEFAULT 0 NOT NULL);
CREATE INDEX urls_url_index ON urls (url);
CREATE TABLE visits(id INTEGER PRIMARY KEY AUTOINCREMENT, url INTEGER NOT NULL, visit_time INTEGER NOT NULL,
  from_visit INTEGER, transition INTEGER DEFAULT 0 NOT NULL, visit_duration INTEGER DEFAULT 0 NOT NULL);
CREATE INDEX visits_url_index ON visits (url);
CREATE INDEX visits_time_index ON visits (visit_time);
CREATE TABLE keyword_search_terms(keyword_id INTEGER NOT NULL, url_id INTEGER NOT NULL, term LONGVARCHAR NOT NULL,
  normalized_term LONGVARCHAR NOT NULL);
CREATE TABLE downloads(id INTEGER PRIMARY KEY, guid VARCHAR NOT NULL, target_path LONGVARCHAR NOT NULL);
CREATE TABLE segments(id INTEGER PRIMARY KEY, name VARCHAR, url_id INTEGER);
CREATE TABLE segment_usage(id INTEGER PRIMARY KEY, segment_id INTEGER NOT NULL, time_slot INTEGER NOT NULL);
)";

std::string Fill(int Visits) {
  return "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(Addresses) +
         ") INSERT INTO urls(url, title, visit_count, typed_count, last_visit_time) "
         "SELECT 'https://site' || (i % 997) || '.example/page/' || i, 'Page ' || i, 5, i % 3, 13300000000000000 + i "
         "FROM n;"
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(Visits) +
         ") INSERT INTO visits(url, visit_time, transition) SELECT 1 + (i * 7919) % " + std::to_string(Addresses) +
         ", 13300000000000000 + i, 1 FROM n;"
         "INSERT INTO keyword_search_terms SELECT 2, id, 'term ' || id, 'term ' || id FROM urls WHERE id % 4 = 0;"
         "INSERT INTO downloads SELECT id, 'g' || id, 'C:\\Downloads\\file' || id FROM urls WHERE id % 20 = 0;"
         "INSERT INTO segments SELECT id, 'site' || id, id FROM urls WHERE id % 10 = 0;"
         "INSERT INTO segment_usage SELECT id, id, 0 FROM segments;";
}

// The statements the item runs, as one script.
const char* const Clear = R"(
PRAGMA secure_delete = ON;
BEGIN IMMEDIATE;
DELETE FROM visits;
DELETE FROM urls WHERE url NOT IN (SELECT url FROM temp.keep_url);
DELETE FROM keyword_search_terms;
DELETE FROM downloads;
DELETE FROM segments;
DELETE FROM segment_usage;
UPDATE urls SET visit_count = 0, typed_count = 0, last_visit_time = 0;
COMMIT;
)";

std::string KeepList() {
  std::string Sql = "CREATE TEMP TABLE keep_url(url TEXT PRIMARY KEY);";
  for (int I = 1; I <= Bookmarked; ++I)
    Sql += "INSERT INTO temp.keep_url VALUES('https://site" + std::to_string(I % 997) + ".example/page/" +
           std::to_string(I) + "');";
  return Sql;
}

std::uint64_t FileSize(const std::string& Path) {
  WIN32_FILE_ATTRIBUTE_DATA Data;
  if (!GetFileAttributesExW(WidePath(Path).c_str(), GetFileExInfoStandard, &Data)) return 0;
  return (static_cast<std::uint64_t>(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow;
}

void Write(const std::string& Path, const std::string& Text) {
  HANDLE File = CreateFileW(WidePath(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD Written = 0;
  WriteFile(File, Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr);
  CloseHandle(File);
}

}  // namespace

int main(int Argc, char** Argv) {
  const int Visits = Argc > 1 ? std::atoi(Argv[1]) : 100000;
  const bool Keep = Argc > 2 && !std::strcmp(Argv[2], "keep");
  const std::string Root = TempFolder() + "\\VellumixBench\\Browser";
  const std::string Profile = Root + "\\Local\\Google\\Chrome\\User Data\\Default";
  CreateDirectoryW(WidePath(TempFolder() + "\\VellumixBench").c_str(), nullptr);
  for (const char* Part : {"", "\\Local", "\\Local\\Google", "\\Local\\Google\\Chrome", "\\Local\\Google\\Chrome\\User Data",
                           "\\Local\\Google\\Chrome\\User Data\\Default", "\\Roaming"})
    CreateDirectoryW(WidePath(Root + Part).c_str(), nullptr);

  // The original, then identical copies.
  const std::string Original = Root + "\\History.original", History = Profile + "\\History";
  DeleteFileW(WidePath(Original).c_str());
  sqlite3* Db = nullptr;
  sqlite3_open_v2(Original.c_str(), &Db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  const auto Made = TClock::now();
  if (sqlite3_exec(Db, (std::string(Schema) + Fill(Visits)).c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    std::printf("cannot make the database: %s\n", sqlite3_errmsg(Db));
    return 1;
  }
  sqlite3_close(Db);
  std::string Bookmarks = R"({"roots":{"bookmark_bar":{"type":"folder","children":[)";
  for (int I = 1; I <= Bookmarked; ++I)
    Bookmarks += std::string(I > 1 ? "," : "") + R"({"type":"url","url":"https://site)" + std::to_string(I % 997) +
                 ".example/page/" + std::to_string(I) + "\"}";
  Write(Profile + "\\Bookmarks", Bookmarks + "]}}}");
  std::printf("History: %d visits over %d addresses (%d bookmarked), %.1f MB, made in %.2f s\n", Visits, Addresses,
              Bookmarked, FileSize(Original) / 1048576.0, Seconds(Made));

  // The item.
  CopyFileW(WidePath(Original).c_str(), WidePath(History).c_str(), FALSE);
  SetBrowserBaseFolders(Root + "\\Roaming", Root + "\\Local");
  TProgress Progress;
  TPreviewContext PreviewContext{Progress};
  TItemPlan Plan;
  Plan.Item = FindItem("chrome.history");
  auto Start = TClock::now();
  Plan.Item->Preview(PreviewContext, Plan);
  const double PreviewTime = Seconds(Start);
  TTally Tally;
  std::vector<std::string> Lines;
  TCleanContext CleanContext{Progress, Tally, Lines};
  Start = TClock::now();
  CleanPlanEntries(Plan, CleanContext);
  const double CleanTime = Seconds(Start);
  std::printf("item:   preview %.3f s, clean %.3f s (%llu rows; %.1f MB left)\n", PreviewTime, CleanTime,
              static_cast<unsigned long long>(Tally.Rows), FileSize(History) / 1048576.0);
  for (const std::string& Line : Lines) std::printf("        %s\n", Line.c_str());

  // Step by step.
  CopyFileW(WidePath(Original).c_str(), WidePath(History).c_str(), FALSE);
  TDatabase Database;
  Database.Open(LongPath(History));
  Database.Exec(KeepList().c_str());
  Start = TClock::now();
  const int SqlRc = Database.Exec(Clear);
  const double SqlTime = Seconds(Start);
  Start = TClock::now();
  const int VacuumRc = Database.Exec("VACUUM");
  const double VacuumTime = Seconds(Start);
  Database.Close();
  std::printf("split:  SQL %.3f s (rc %d), VACUUM %.3f s (rc %d)\n", SqlTime, SqlRc, VacuumTime, VacuumRc);

  if (Keep) {
    CopyFileW(WidePath(Original).c_str(), WidePath(Root + "\\History.native").c_str(), FALSE);
    Write(Root + "\\clear.sql", KeepList() + Clear + "VACUUM;\n");
    std::printf("kept:   %s\\History.native and clear.sql\n", Root.c_str());
  } else {
    SetBrowserBaseFolders("", "");
  }
  return 0;
}
