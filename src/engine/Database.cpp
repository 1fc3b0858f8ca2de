#include "engine/Database.h"

#include "engine/Progress.h"
#include "win/FileHandle.h"
#include "win/WidePath.h"

#include <sqlite3.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

namespace {

// ---- the file layer SQLite goes through
//
// SQLite opens a database's journal and write-ahead log by name, reads a
// "super-journal" whose name a hot journal holds, and deletes what it thinks
// is spent. In a file someone else wrote, those names are theirs to choose.
// This layer wraps Windows' own and lets through only:
// - the one main database the opening thread is opening (TDatabase::Open);
// - the journal and write-ahead log of a main database it let through;
// - SQLite's own temporary files, which it names itself (no name comes in);
// and deletes only those journals and logs. A main database opened read-only
// is declared unchanging, so SQLite neither locks it nor looks beside it.

struct TGuardFile {
  sqlite3_file Base;  // first: SQLite sees a TGuardFile as its sqlite3_file
  sqlite3_file* Real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
  bool Unchanging;
};

sqlite3_vfs* RealVfs() { return sqlite3_vfs_find(nullptr); }

// The main databases open through the layer now, by the name SQLite gave them.
std::mutex OpenLock;
std::vector<std::pair<const TGuardFile*, std::string>> OpenMains;

// Set by TDatabase::Open on its thread for as long as SQLite opens the main file.
thread_local bool OpeningMain = false;

bool IsSideFileOfOpenMain(const char* Name) {
  if (!Name) return false;
  const std::string_view Given(Name);
  std::lock_guard Lock(OpenLock);
  for (const auto& [File, Main] : OpenMains)
    for (std::string_view Suffix : {"-journal", "-wal"})
      if (Given.size() == Main.size() + Suffix.size() && Given.starts_with(Main) && Given.ends_with(Suffix))
        return true;
  return false;
}

bool IsOpenMain(const char* Name) {
  if (!Name) return false;
  std::lock_guard Lock(OpenLock);
  return std::any_of(OpenMains.begin(), OpenMains.end(), [&](const auto& Open) { return Open.second == Name; });
}

sqlite3_file* Real(sqlite3_file* File) { return reinterpret_cast<TGuardFile*>(File)->Real(); }

int FileClose(sqlite3_file* File) {
  {
    std::lock_guard Lock(OpenLock);
    std::erase_if(OpenMains, [&](const auto& Open) { return Open.first == reinterpret_cast<TGuardFile*>(File); });
  }
  sqlite3_file* Inner = Real(File);
  return Inner->pMethods ? Inner->pMethods->xClose(Inner) : SQLITE_OK;
}
int FileRead(sqlite3_file* F, void* Data, int Amount, sqlite3_int64 Offset) {
  return Real(F)->pMethods->xRead(Real(F), Data, Amount, Offset);
}
int FileWrite(sqlite3_file* F, const void* Data, int Amount, sqlite3_int64 Offset) {
  return Real(F)->pMethods->xWrite(Real(F), Data, Amount, Offset);
}
int FileTruncate(sqlite3_file* F, sqlite3_int64 Size) { return Real(F)->pMethods->xTruncate(Real(F), Size); }
int FileSync(sqlite3_file* F, int Flags) { return Real(F)->pMethods->xSync(Real(F), Flags); }
int FileSize(sqlite3_file* F, sqlite3_int64* Size) { return Real(F)->pMethods->xFileSize(Real(F), Size); }
int FileLock(sqlite3_file* F, int Level) { return Real(F)->pMethods->xLock(Real(F), Level); }
int FileUnlock(sqlite3_file* F, int Level) { return Real(F)->pMethods->xUnlock(Real(F), Level); }
int FileReserved(sqlite3_file* F, int* Out) { return Real(F)->pMethods->xCheckReservedLock(Real(F), Out); }
int FileControl(sqlite3_file* F, int Op, void* Arg) { return Real(F)->pMethods->xFileControl(Real(F), Op, Arg); }
int FileSectorSize(sqlite3_file* F) { return Real(F)->pMethods->xSectorSize(Real(F)); }
int FileDevice(sqlite3_file* F) {
  const int Real = ::Real(F)->pMethods->xDeviceCharacteristics(::Real(F));
  return reinterpret_cast<TGuardFile*>(F)->Unchanging ? Real | SQLITE_IOCAP_IMMUTABLE : Real;
}
int FileShmMap(sqlite3_file* F, int Region, int Size, int Extend, void volatile** Out) {
  return Real(F)->pMethods->xShmMap(Real(F), Region, Size, Extend, Out);
}
int FileShmLock(sqlite3_file* F, int Offset, int Count, int Flags) {
  return Real(F)->pMethods->xShmLock(Real(F), Offset, Count, Flags);
}
void FileShmBarrier(sqlite3_file* F) { Real(F)->pMethods->xShmBarrier(Real(F)); }
int FileShmUnmap(sqlite3_file* F, int Delete) { return Real(F)->pMethods->xShmUnmap(Real(F), Delete); }
int FileFetch(sqlite3_file* F, sqlite3_int64 Offset, int Amount, void** Out) {
  return Real(F)->pMethods->xFetch(Real(F), Offset, Amount, Out);
}
int FileUnfetch(sqlite3_file* F, sqlite3_int64 Offset, void* Page) {
  return Real(F)->pMethods->xUnfetch(Real(F), Offset, Page);
}

const sqlite3_io_methods GuardMethods = {
    3,           FileClose,    FileRead,       FileWrite,      FileTruncate,   FileSync,
    FileSize,    FileLock,     FileUnlock,     FileReserved,   FileControl,    FileSectorSize,
    FileDevice,  FileShmMap,   FileShmLock,    FileShmBarrier, FileShmUnmap,   FileFetch,
    FileUnfetch,
};

bool MayOpen(const char* Name, int Flags) {
  if (Flags & SQLITE_OPEN_MAIN_DB) return OpeningMain;
  if (Flags & (SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL)) return IsSideFileOfOpenMain(Name);
  // Temporary databases and journals SQLite names itself; a super-journal
  // (or anything else) named by a file on disk, never.
  if (Flags & SQLITE_OPEN_SUPER_JOURNAL) return false;
  return Name == nullptr;
}

int GuardOpen(sqlite3_vfs*, sqlite3_filename Name, sqlite3_file* File, int Flags, int* OutFlags) {
  auto* Guard = reinterpret_cast<TGuardFile*>(File);
  Guard->Base.pMethods = nullptr;
  Guard->Unchanging = false;
  if (!MayOpen(Name, Flags)) return SQLITE_CANTOPEN;
  sqlite3_file* Inner = Guard->Real();
  Inner->pMethods = nullptr;
  const int Rc = RealVfs()->xOpen(RealVfs(), Name, Inner, Flags, OutFlags);
  if (Rc != SQLITE_OK) {
    if (Inner->pMethods) Inner->pMethods->xClose(Inner);
    return Rc;
  }
  Guard->Base.pMethods = &GuardMethods;
  if (Flags & SQLITE_OPEN_MAIN_DB) {
    Guard->Unchanging = (Flags & SQLITE_OPEN_READONLY) != 0;
    std::lock_guard Lock(OpenLock);
    OpenMains.emplace_back(Guard, Name);
  }
  return SQLITE_OK;
}

int GuardDelete(sqlite3_vfs*, const char* Name, int SyncDirectory) {
  if (!IsSideFileOfOpenMain(Name)) return SQLITE_IOERR_DELETE;
  return RealVfs()->xDelete(RealVfs(), Name, SyncDirectory);
}

int GuardAccess(sqlite3_vfs*, const char* Name, int Flags, int* Out) {
  // Asked of another file (a super-journal a journal names), the answer is
  // an error: the opening fails rather than act on what that file says.
  *Out = 0;
  if (!OpeningMain && !IsOpenMain(Name) && !IsSideFileOfOpenMain(Name)) return SQLITE_IOERR_ACCESS;
  return RealVfs()->xAccess(RealVfs(), Name, Flags, Out);
}

int GuardFullPathname(sqlite3_vfs*, const char* Name, int Size, char* Out) {
  return RealVfs()->xFullPathname(RealVfs(), Name, Size, Out);
}
int GuardRandomness(sqlite3_vfs*, int Size, char* Out) { return RealVfs()->xRandomness(RealVfs(), Size, Out); }
int GuardSleep(sqlite3_vfs*, int Micro) { return RealVfs()->xSleep(RealVfs(), Micro); }
int GuardCurrentTime(sqlite3_vfs*, double* Now) { return RealVfs()->xCurrentTime(RealVfs(), Now); }
int GuardLastError(sqlite3_vfs*, int Size, char* Out) { return RealVfs()->xGetLastError(RealVfs(), Size, Out); }
int GuardCurrentTime64(sqlite3_vfs*, sqlite3_int64* Now) {
  return RealVfs()->xCurrentTimeInt64(RealVfs(), Now);
}

constexpr char GuardName[] = "vellumix-guard";

// Registered once, beside Windows' own (which stays the default).
const char* GuardVfs() {
  static const bool Registered = [] {
    static sqlite3_vfs Guard{};
    sqlite3_vfs* Under = RealVfs();
    Guard.iVersion = 2;
    Guard.szOsFile = static_cast<int>(sizeof(TGuardFile)) + Under->szOsFile;
    Guard.mxPathname = Under->mxPathname;
    Guard.zName = GuardName;
    Guard.xOpen = GuardOpen;
    Guard.xDelete = GuardDelete;
    Guard.xAccess = GuardAccess;
    Guard.xFullPathname = GuardFullPathname;
    Guard.xRandomness = GuardRandomness;
    Guard.xSleep = GuardSleep;
    Guard.xCurrentTime = GuardCurrentTime;
    Guard.xGetLastError = GuardLastError;
    Guard.xCurrentTimeInt64 = GuardCurrentTime64;
    return sqlite3_vfs_register(&Guard, 0) == SQLITE_OK;
  }();
  return Registered ? GuardName : nullptr;
}

// ---- the files themselves

// SQLite's Windows file layer takes UTF-8 paths and adds "\\?\" itself where
// it must; it is given the plain form while that fits the plain functions.
// A name that does not convert exactly is not opened at all.
std::optional<std::string> SqlitePath(const std::wstring& Path) {
  std::wstring Plain = Path;
  if (Plain.size() < MAX_PATH + 4 && Plain.rfind(L"\\\\?\\", 0) == 0 && Plain.rfind(L"\\\\?\\UNC\\", 0) != 0)
    Plain.erase(0, 4);
  return NarrowExact(Plain);
}

// The first bytes of a plain file (no link), or nothing when it cannot be read.
std::optional<std::string> HeadOf(const std::wstring& Path, DWORD Count, std::uint64_t& Size) {
  TFileHandle File = OpenNoFollow(Path, Count ? GENERIC_READ : FILE_READ_ATTRIBUTES);
  if (!File) return std::nullopt;
  const std::optional<DWORD> Attributes = AttributesOf(File.get());
  LARGE_INTEGER Length{};
  if (!Attributes || (*Attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
      !HandleLeadsTo(File.get(), Path) || !GetFileSizeEx(File.get(), &Length))
    return std::nullopt;
  Size = static_cast<std::uint64_t>(Length.QuadPart);
  std::string Head(Count, '\0');
  DWORD Read = 0;
  if (Count && !ReadFile(File.get(), Head.data(), Count, &Read, nullptr)) return std::nullopt;
  Head.resize(Read);
  return Head;
}

bool Exists(const std::wstring& Path) { return GetFileAttributesW(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The limits a browser's own databases stay far within.
void CapLengths(sqlite3* Db) {
  sqlite3_limit(Db, SQLITE_LIMIT_LENGTH, 64 << 20);
  sqlite3_limit(Db, SQLITE_LIMIT_SQL_LENGTH, 1 << 20);
  sqlite3_limit(Db, SQLITE_LIMIT_COLUMN, 1000);
  sqlite3_limit(Db, SQLITE_LIMIT_EXPR_DEPTH, 100);
  sqlite3_limit(Db, SQLITE_LIMIT_COMPOUND_SELECT, 20);
  sqlite3_limit(Db, SQLITE_LIMIT_VDBE_OP, 100000);
  sqlite3_limit(Db, SQLITE_LIMIT_FUNCTION_ARG, 16);
  // VACUUM attaches its new copy: one, and the layer lets no named file in.
  sqlite3_limit(Db, SQLITE_LIMIT_ATTACHED, 1);
  sqlite3_limit(Db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 1000);
  sqlite3_limit(Db, SQLITE_LIMIT_VARIABLE_NUMBER, 100);
  sqlite3_limit(Db, SQLITE_LIMIT_TRIGGER_DEPTH, 1);
}

}  // namespace

TDatabaseFiles CheckDatabaseFiles(const std::wstring& Path) {
  std::uint64_t Size = 0;
  if (!HeadOf(Path, 0, Size)) return TDatabaseFiles::Link;
  for (const wchar_t* Side : {L"-journal", L"-wal", L"-shm"}) {
    const std::wstring Beside = Path + Side;
    if (!Exists(Beside)) continue;
    const std::optional<std::string> Head = HeadOf(Beside, 8, Size);
    if (!Head) return TDatabaseFiles::Link;
    // A journal is hot while its header stands (a committed one is emptied,
    // truncated or has its header zeroed); a log holds frames past its
    // 32-byte header until the last connection folds them in and removes it.
    static constexpr char JournalMagic[] = "\xd9\xd5\x05\xf9\x20\xa1\x63\xd7";
    if (Side == std::wstring_view(L"-journal") && Head->size() == 8 && std::memcmp(Head->data(), JournalMagic, 8) == 0)
      return TDatabaseFiles::NeedsRecovery;
    if (Side == std::wstring_view(L"-wal") && Size > 32) return TDatabaseFiles::NeedsRecovery;
  }
  return TDatabaseFiles::Sound;
}

std::chrono::milliseconds TDatabase::Deadline{60'000};

TDatabase::~TDatabase() { Close(); }

int TDatabase::Open(const std::wstring& Path, bool ReadOnly, const TProgress* Progress) {
  Close();
  FProgress = Progress;
  FStop = TStop::None;
  FDeadline = std::chrono::steady_clock::now() + Deadline;
  const char* Vfs = GuardVfs();
  if (!Vfs) return SQLITE_CANTOPEN;
  // No URI names, no creating: a missing database is no database. SQLite's
  // Windows layer follows links whatever it is asked (the no-follow flag
  // works on Unix only): CheckDatabaseFiles looks first.
  const int Flags = (ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOFOLLOW |
                    SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_EXRESCODE;
  const std::optional<std::string> Name = SqlitePath(Path);
  if (!Name) return SQLITE_CANTOPEN;
  OpeningMain = true;
  int Rc = sqlite3_open_v2(Name->c_str(), &FHandle, Flags, Vfs);
  OpeningMain = false;
  if (Rc != SQLITE_OK) {
    Close();
    return Rc;
  }
  // Nothing of the file's own schema runs: no trigger, no view, no function
  // it names that is not harmless, no writing to the schema itself.
  for (const int Option : {SQLITE_DBCONFIG_ENABLE_TRIGGER, SQLITE_DBCONFIG_ENABLE_VIEW, SQLITE_DBCONFIG_TRUSTED_SCHEMA,
                           SQLITE_DBCONFIG_ENABLE_FKEY})
    sqlite3_db_config(FHandle, Option, 0, nullptr);
  sqlite3_db_config(FHandle, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  CapLengths(FHandle);
  sqlite3_progress_handler(FHandle, 1000, &TDatabase::Watch, this);
  // Another program's lock is its business: fail at once rather than wait.
  sqlite3_busy_timeout(FHandle, 0);
  // What VACUUM and temporary tables hold goes to a file, not to memory.
  Exec("PRAGMA temp_store = FILE");
  return SQLITE_OK;
}

int TDatabase::Watch(void* Self) {
  auto& Database = *static_cast<TDatabase*>(Self);
  if (Database.FProgress && Database.FProgress->Cancelled())
    Database.FStop = TStop::Cancelled;
  else if (std::chrono::steady_clock::now() >= Database.FDeadline)
    Database.FStop = TStop::Late;
  return Database.FStop != TStop::None;
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
  TStatement Query(*this, "SELECT 1 FROM main.sqlite_schema WHERE type = 'table' AND name = ?1 AND "
                          "sql NOT LIKE 'CREATE VIRTUAL%'");
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

int TDatabase::QuickCheck() {
  TStatement Check(*this, "PRAGMA quick_check(1)");
  int Rc = Check.Prepared();
  if (Rc == SQLITE_OK) Rc = Check.Step();
  if (Rc != SQLITE_ROW) return Rc;
  return Check.Text(0) == "ok" ? SQLITE_OK : SQLITE_CORRUPT;
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
