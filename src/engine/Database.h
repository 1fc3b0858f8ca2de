#pragma once
// SQLite databases of other programs (browsers' history, form entries), opened
// the one careful way: an existing file only, never created, no waiting for a
// lock another program holds, and every failure kept as SQLite's code so that
// the caller can tell "in use" from "damaged".

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class TDatabase {
public:
  TDatabase() = default;
  ~TDatabase();
  TDatabase(const TDatabase&) = delete;
  TDatabase& operator=(const TDatabase&) = delete;

  // Opens the database at Path (a "\\?\" path or a plain one): read-write
  // unless ReadOnly, never creating it, a busy timeout of 0. Returns SQLite's
  // result code (SQLITE_OK, SQLITE_CANTOPEN, ...). SQLite reads the file
  // lazily: a damaged file shows at the first statement (SQLITE_NOTADB).
  int Open(const std::wstring& Path, bool ReadOnly = false);
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

  // Whether the main schema has this table, and the table this column. A
  // failure to read the schema (busy, damaged) counts as no; Error then holds
  // the code.
  bool TableExists(std::string_view Table, int* Error = nullptr);
  bool ColumnExists(std::string_view Table, std::string_view Column, int* Error = nullptr);

private:
  sqlite3* FHandle = nullptr;
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
