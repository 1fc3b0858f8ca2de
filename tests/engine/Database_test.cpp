// Databases other programs wrote, opened the careful way: nothing but the
// database and its own journal is opened or deleted, nothing of its schema
// runs, and no statement runs past the run's cancel or its deadline.
#include "engine/Database.h"

#include "engine/Progress.h"
#include "support/TempTree.h"
#include "win/WidePath.h"

#include <gmock/gmock.h>
#include <sqlite3.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <string>

namespace {

std::string ReadAll(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

bool Exists(const std::string& Path) { return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A database made the plain way, with SQLite's own file layer.
void Make(const std::string& Path, const char* Sql) {
  sqlite3* Db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(Path.c_str(), &Db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(Db, Sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(Db);
  sqlite3_close(Db);
}

void BigEndian(std::string& Out, std::uint32_t Value) {
  for (int Shift = 24; Shift >= 0; Shift -= 8) Out += static_cast<char>(Value >> Shift);
}

// A hot journal as a crash in a transaction over two databases leaves it:
// its header, no pages, and at its end the name of the "super-journal" that
// SQLite reads, and deletes once no journal it lists is still hot.
void PlantHotJournal(const std::string& Database, const std::string& SuperJournal) {
  const std::string Magic = "\xd9\xd5\x05\xf9\x20\xa1\x63\xd7";
  std::string Journal = Magic;
  BigEndian(Journal, 0);     // pages in it
  BigEndian(Journal, 0);     // nonce
  BigEndian(Journal, 2);     // the database's size before, in pages
  BigEndian(Journal, 512);   // sector size
  BigEndian(Journal, 4096);  // page size
  Journal.resize(512, '\0');
  BigEndian(Journal, 0x40000000 / 4096 + 1);  // the lock-byte page marks the record
  Journal += SuperJournal;
  BigEndian(Journal, static_cast<std::uint32_t>(SuperJournal.size()));
  std::uint32_t Sum = 0;
  for (const char C : SuperJournal) Sum += static_cast<std::uint32_t>(static_cast<int>(C));
  BigEndian(Journal, Sum);
  Journal += Magic;
  std::ofstream(Database + "-journal", std::ios::binary) << Journal;
}

TEST(Database, AHotJournalCannotMakeSQLiteOpenOrDeleteAnotherFile) {
  TTempTree Tree("DatabaseSuperJournal");
  const std::string Victim = Tree.File("victim.txt", "precious");
  const std::string Db = Tree["History"];
  Make(Db, "PRAGMA page_size = 4096; CREATE TABLE t(x); INSERT INTO t VALUES (1)");

  // The fixture is what it claims: through SQLite's own file layer, a read
  // of the database deletes the victim.
  PlantHotJournal(Db, Victim);
  {
    sqlite3* Plain = nullptr;
    sqlite3_open_v2(Db.c_str(), &Plain, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(Plain, "SELECT COUNT(*) FROM t", nullptr, nullptr, nullptr);
    sqlite3_close(Plain);
  }
  ASSERT_FALSE(Exists(Victim)) << "the planted journal did not work: the test proves nothing";
  std::ofstream(Victim, std::ios::binary) << "precious";

  PlantHotJournal(Db, Victim);
  const std::string Journal = ReadAll(Db + "-journal");
  EXPECT_EQ(CheckDatabaseFiles(LongPath(Db)), TDatabaseFiles::NeedsRecovery);
  for (const bool ReadOnly : {true, false}) {
    TDatabase Database;
    const int Opened = Database.Open(LongPath(Db), ReadOnly);
    const int Read = Opened == SQLITE_OK ? Database.Exec("SELECT COUNT(*) FROM t") : Opened;
    if (ReadOnly) {
      EXPECT_EQ(Read, SQLITE_OK) << "a look reads the file as it lies";
    } else {
      EXPECT_NE(Read, SQLITE_OK) << "no recovery through another file";
    }
    Database.Close();
    EXPECT_EQ(ReadAll(Victim), "precious") << (ReadOnly ? "look" : "change");
    if (ReadOnly) {
      EXPECT_EQ(ReadAll(Db + "-journal"), Journal) << "a look leaves the journal as it is";
    }
  }
}

TEST(Database, ALookChangesNoFileAndNothingOfTheSchemaRuns) {
  TTempTree Tree("DatabaseSchema");
  const std::string Db = Tree["Places"];
  Make(Db, "PRAGMA journal_mode = WAL; CREATE TABLE t(x); INSERT INTO t VALUES (1), (2);"
           "CREATE TABLE log(x); CREATE VIEW v AS SELECT x FROM t;"
           "CREATE TRIGGER planted AFTER DELETE ON t BEGIN INSERT INTO log VALUES (old.x); DELETE FROM log; "
           "INSERT INTO log SELECT x FROM t; END;");
  ASSERT_FALSE(Exists(Db + "-wal"));
  EXPECT_EQ(CheckDatabaseFiles(LongPath(Db)), TDatabaseFiles::Sound);
  const std::string Before = ReadAll(Db);
  {
    TDatabase Look;
    ASSERT_EQ(Look.Open(LongPath(Db), true), SQLITE_OK);
    TStatement Count(Look, "SELECT COUNT(*) FROM t");
    ASSERT_EQ(Count.Step(), SQLITE_ROW);
    EXPECT_EQ(Count.Integer(0), 2);
  }
  EXPECT_FALSE(Exists(Db + "-wal"));
  EXPECT_FALSE(Exists(Db + "-shm"));
  EXPECT_EQ(ReadAll(Db), Before);

  TDatabase Change;
  ASSERT_EQ(Change.Open(LongPath(Db)), SQLITE_OK);
  EXPECT_EQ(Change.Exec("DELETE FROM t"), SQLITE_OK) << Change.ErrorText();
  TStatement Log(Change, "SELECT COUNT(*) FROM log");
  ASSERT_EQ(Log.Step(), SQLITE_ROW);
  EXPECT_EQ(Log.Integer(0), 0) << "the planted trigger ran";
  EXPECT_NE(Change.Exec("SELECT * FROM v"), SQLITE_OK) << "a view of the file ran";
  EXPECT_FALSE(Change.TableExists("v"));
  EXPECT_TRUE(Change.TableExists("t"));
}

TEST(Database, AStatementEndsAtTheDeadlineOrWhenTheRunIsStopped) {
  TTempTree Tree("DatabaseDeadline");
  const std::string Db = Tree["Endless"];
  Make(Db, "CREATE TABLE t(x)");
  constexpr const char* Endless = "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT COUNT(*) FROM c";
  const auto Kept = TDatabase::Deadline;
  TDatabase::Deadline = std::chrono::milliseconds(300);
  {
    TDatabase Database;
    ASSERT_EQ(Database.Open(LongPath(Db)), SQLITE_OK);
    EXPECT_EQ(Database.Exec(Endless), SQLITE_INTERRUPT);
    EXPECT_TRUE(Database.TimedOut());
  }
  TDatabase::Deadline = Kept;
  TProgress Progress;
  TDatabase Database;
  ASSERT_EQ(Database.Open(LongPath(Db), true, &Progress), SQLITE_OK);
  std::thread Stop([&] { Progress.Cancel(); });
  EXPECT_EQ(Database.Exec(Endless), SQLITE_INTERRUPT);
  Stop.join();
  EXPECT_TRUE(Database.Cancelled());
  EXPECT_FALSE(Database.TimedOut());
}

}  // namespace
