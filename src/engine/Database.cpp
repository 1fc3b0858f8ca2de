#include "engine/Database.h"

#include "win/WidePath.h"

#include <sqlite3.h>

#include <windows.h>

#include <optional>

namespace {

// SQLite's Windows file layer takes UTF-8 paths and adds "\\?\" itself where
// it must; it is given the plain form while that fits the plain functions.
// A name that does not convert exactly is not opened at all.
std::optional<std::string> SqlitePath(const std::wstring& Path) {
  std::wstring Plain = Path;
  if (Plain.size() < MAX_PATH + 4 && Plain.rfind(L"\\\\?\\", 0) == 0 && Plain.rfind(L"\\\\?\\UNC\\", 0) != 0)
    Plain.erase(0, 4);
  return NarrowExact(Plain);
}

}  // namespace

TDatabase::~TDatabase() { Close(); }

int TDatabase::Open(const std::wstring& Path, bool ReadOnly) {
  Close();
  // No URI names, no creating: a missing database is no database. SQLite's
  // Windows layer follows links whatever it is asked (the no-follow flag
  // works on Unix only): the caller checks the database and the files beside
  // it before opening.
  const int Flags = (ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOFOLLOW |
                    SQLITE_OPEN_FULLMUTEX;
  const std::optional<std::string> Name = SqlitePath(Path);
  if (!Name) return SQLITE_CANTOPEN;
  int Rc = sqlite3_open_v2(Name->c_str(), &FHandle, Flags, nullptr);
  if (Rc != SQLITE_OK) {
    Close();
    return Rc;
  }
  sqlite3_extended_result_codes(FHandle, 1);
  // Another program's lock is its business: fail at once rather than wait.
  sqlite3_busy_timeout(FHandle, 0);
  return SQLITE_OK;
}

void TDatabase::Close() {
  if (FHandle) sqlite3_close_v2(FHandle);
  FHandle = nullptr;
}

int TDatabase::Exec(const char* Sql) {
  if (!FHandle) return SQLITE_MISUSE;
  return sqlite3_exec(FHandle, Sql, nullptr, nullptr, nullptr);
}

std::int64_t TDatabase::Changes() const { return FHandle ? sqlite3_changes64(FHandle) : 0; }

int TDatabase::ErrorCode() const { return FHandle ? sqlite3_extended_errcode(FHandle) : SQLITE_CANTOPEN; }

std::string TDatabase::ErrorText() const {
  return FHandle ? sqlite3_errmsg(FHandle) : sqlite3_errstr(SQLITE_CANTOPEN);
}

bool TDatabase::TableExists(std::string_view Table, int* Error) {
  TStatement Query(*this, "SELECT 1 FROM main.sqlite_schema WHERE type = 'table' AND name = ?1");
  int Rc = Query.Prepared();
  if (Rc == SQLITE_OK) Rc = Query.Bind(1, Table);
  if (Rc == SQLITE_OK) Rc = Query.Step();
  if (Error) *Error = Rc == SQLITE_ROW || Rc == SQLITE_DONE ? SQLITE_OK : Rc;
  return Rc == SQLITE_ROW;
}

bool TDatabase::ColumnExists(std::string_view Table, std::string_view Column, int* Error) {
  TStatement Query(*this, "SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2 COLLATE NOCASE");
  int Rc = Query.Prepared();
  if (Rc == SQLITE_OK) Rc = Query.Bind(1, Table);
  if (Rc == SQLITE_OK) Rc = Query.Bind(2, Column);
  if (Rc == SQLITE_OK) Rc = Query.Step();
  if (Error) *Error = Rc == SQLITE_ROW || Rc == SQLITE_DONE ? SQLITE_OK : Rc;
  return Rc == SQLITE_ROW;
}

TStatement::TStatement(TDatabase& Database, std::string_view Sql) {
  FPrepared = Database.get() ? sqlite3_prepare_v2(Database.get(), Sql.data(), static_cast<int>(Sql.size()),
                                                  &FHandle, nullptr)
                             : SQLITE_MISUSE;
}

TStatement::~TStatement() { sqlite3_finalize(FHandle); }

int TStatement::Step() { return FHandle ? sqlite3_step(FHandle) : SQLITE_MISUSE; }

int TStatement::Reset() { return FHandle ? sqlite3_reset(FHandle) : SQLITE_MISUSE; }

int TStatement::Bind(int Index, std::string_view Text) {
  return FHandle ? sqlite3_bind_text64(FHandle, Index, Text.data(), Text.size(), SQLITE_TRANSIENT, SQLITE_UTF8)
                 : SQLITE_MISUSE;
}

int TStatement::Bind(int Index, std::int64_t Value) {
  return FHandle ? sqlite3_bind_int64(FHandle, Index, Value) : SQLITE_MISUSE;
}

std::int64_t TStatement::Integer(int Column) const { return FHandle ? sqlite3_column_int64(FHandle, Column) : 0; }

std::string TStatement::Text(int Column) const {
  if (!FHandle) return {};
  const auto* Data = reinterpret_cast<const char*>(sqlite3_column_text(FHandle, Column));
  return Data ? std::string(Data, static_cast<std::size_t>(sqlite3_column_bytes(FHandle, Column))) : std::string();
}

std::string DatabaseErrorText(int Code) { return sqlite3_errstr(Code); }

bool DatabaseDamaged(int Code) {
  const int Primary = Code & 0xff;
  return Primary == SQLITE_CORRUPT || Primary == SQLITE_NOTADB;
}

bool DatabaseBusy(int Code) {
  const int Primary = Code & 0xff;
  return Primary == SQLITE_BUSY || Primary == SQLITE_LOCKED;
}
