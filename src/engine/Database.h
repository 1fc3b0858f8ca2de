#pragma once
// SQLite databases of other programs (browsers' history, form entries). Any
// program of the user may have written them, so they are opened the one
// careful way:
// - an existing file only, never created, no waiting for a lock another
//   program holds, every failure kept as SQLite's code so that the caller can
//   tell "in use" from "damaged";
// - through a file layer that lets SQLite open and delete nothing but the
//   database and its own journal and write-ahead log (and its own temporary
//   files): a journal naming a "super-journal" elsewhere cannot make it read
//   or delete another file;
// - to look, as an unchanging file: no lock, no journal or log read or made,
//   nothing written;
// - with no trigger or view of the file's own schema run, no function the
//   schema names trusted, lengths capped, and every statement bound to the
//   run's cancel and to a deadline.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;
class TProgress;

// Whether a database may be opened at all.
enum class TDatabaseFiles {
  Sound,
  // It, or a file SQLite opens beside it by name (journal, write-ahead log,
  // its index), is a link or no plain file: SQLite would follow the link,
  // write through it and delete it on closing.
  Link,
  // A program that wrote it ended without closing it: a journal to roll back
  // or a write-ahead log to fold in. The recovery is the browser's to make.
  NeedsRecovery,
};
TDatabaseFiles CheckDatabaseFiles(const std::wstring& Path);

class TDatabase {
public:
  TDatabase() = default;
  ~TDatabase();
  TDatabase(const TDatabase&) = delete;
  TDatabase& operator=(const TDatabase&) = delete;

  // Opens the database at Path (a "\\?\" path or a plain one), never creating
  // it. ReadOnly: to look, as a file that does not change (nothing is
  // locked, read beside it or written). Otherwise read-write, a busy timeout
  // of 0. Progress, when given, stops every statement once it is cancelled;
  // so does the deadline, counted from now. Returns SQLite's result code
  // (SQLITE_OK, SQLITE_CANTOPEN, ...). SQLite reads the file lazily: a
  // damaged file shows at the first statement (SQLITE_NOTADB).
  int Open(const std::wstring& Path, bool ReadOnly = false, const TProgress* Progress = nullptr);
  void Close();
  bool IsOpen() const noexcept { return FHandle != nullptr; }
  sqlite3* get() const noexcept { return FHandle; }

  // Runs statements without results; returns SQLite's result code.
  int Exec(const char* Sql);
  // The rows the last INSERT, UPDATE or DELETE changed.
  std::int64_t Changes() const;
  // The extended code and message of the last failure.
  int ErrorCode() const;
  std::string ErrorText() const;
  // Why the last statement was interrupted (SQLITE_INTERRUPT): the run was
  // stopped, or the deadline passed. Neither: false for both.
  bool Cancelled() const noexcept { return FStop == TStop::Cancelled; }
  bool TimedOut() const noexcept { return FStop == TStop::Late; }

  // Whether the main schema has this table (a real one, not a virtual
  // table), and the table this column. A failure to read the schema (busy,
  // damaged) counts as no; Error then holds the code.
  bool TableExists(std::string_view Table, int* Error = nullptr);
  bool ColumnExists(std::string_view Table, std::string_view Column, int* Error = nullptr);
  // PRAGMA quick_check: SQLITE_OK when it says "ok", SQLITE_CORRUPT when it
  // finds a fault, else the failure's code.
  int QuickCheck();

  // How long one database may take, from its opening to its closing.
  static std::chrono::milliseconds Deadline;

private:
  enum class TStop { None, Cancelled, Late };
  static int Watch(void* Self);

  sqlite3* FHandle = nullptr;
  const TProgress* FProgress = nullptr;
  std::chrono::steady_clock::time_point FDeadline;
  TStop FStop = TStop::None;
};

class TStatement {
public:
  TStatement(TDatabase& Database, std::string_view Sql);
  ~TStatement();
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  // SQLITE_OK when it compiled; otherwise the code (the database has its text).
  int Prepared() const noexcept { return FPrepared; }
  // SQLITE_ROW, SQLITE_DONE or a failure.
  int Step();
  int Reset();
  int Bind(int Index, std::string_view Text);
  int Bind(int Index, std::int64_t Value);
  std::int64_t Integer(int Column) const;
  std::string Text(int Column) const;

private:
  sqlite3_stmt* FHandle = nullptr;
  int FPrepared = 0;
};

// The plain words of an SQLite result code ("database is locked").
std::string DatabaseErrorText(int Code);
// True for a code that says the file is no sound database (SQLITE_CORRUPT,
// SQLITE_NOTADB), not merely unavailable.
bool DatabaseDamaged(int Code);
// True for a code that says another connection holds the database
// (SQLITE_BUSY, SQLITE_LOCKED).
bool DatabaseBusy(int Code);
