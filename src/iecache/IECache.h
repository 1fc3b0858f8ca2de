#pragma once
// The URL-cache enumerator: walks the Internet library's URL cache (temporary
// Internet files, cookies, history) by search pattern and entry type, and
// deletes entries. WinINet is loaded at run time: on a system without it, or
// without the cache functions, every operation does nothing. Nothing here raises
// an exception of its own. Main thread only, one walk at a time.

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

// The WinINet functions the enumerator needs. Filled from wininet.dll in the
// program; a test fills it with a fake cache, because Wine only stubs the
// extended find functions and the group functions.
struct TWinInetApi {
  decltype(&::FindFirstUrlCacheGroup) FindFirstUrlCacheGroup = nullptr;
  decltype(&::FindNextUrlCacheGroup) FindNextUrlCacheGroup = nullptr;
  decltype(&::GetUrlCacheGroupAttributeA) GetUrlCacheGroupAttributeA = nullptr;
  decltype(&::SetUrlCacheGroupAttributeA) SetUrlCacheGroupAttributeA = nullptr;
  decltype(&::FindFirstUrlCacheEntryExA) FindFirstUrlCacheEntryExA = nullptr;
  decltype(&::FindNextUrlCacheEntryExA) FindNextUrlCacheEntryExA = nullptr;
  decltype(&::DeleteUrlCacheEntryA) DeleteUrlCacheEntryA = nullptr;
  decltype(&::FindCloseUrlCache) FindCloseUrlCache = nullptr;
};

// Looks an export of the library up by name; null when it is missing.
using TProcLookup = std::function<FARPROC(const char* Name)>;

// One source of the WinINet functions and the remembered answer of the
// availability test.
class TWinInetLibrary {
public:
  // An empty Lookup stands for a library that could not be loaded.
  explicit TWinInetLibrary(TProcLookup Lookup) : FLookup(std::move(Lookup)) {}

  // The availability test: true when every function of TWinInetApi exists (the
  // four group functions first, then the entry functions). A true answer is
  // kept; a false one is asked again next time.
  bool Load();
  // Valid while Load() is true.
  const TWinInetApi& Api() const noexcept { return FApi; }

private:
  TProcLookup FLookup;
  TWinInetApi FApi;
  bool FFound = false;
};

// The system's wininet.dll, loaded on first use and kept for the program's life.
TWinInetLibrary& SystemWinInet();
// The availability test on the system's library (also run at program start).
bool LoadWinInet();

enum TFilterOption : std::uint8_t {
  NORMAL_ENTRY,
  STABLE_ENTRY,
  STICKY_ENTRY,
  COOKIE_ENTRY,
  URLHISTORY_ENTRY,
  TRACK_OFFLINE_ENTRY,
  TRACK_ONLINE_ENTRY,
  SPARSE_ENTRY,
  OCX_ENTRY,
};

// The WinINet entry-type bit a filter option stands for.
std::uint32_t FilterOptionBit(TFilterOption Option) noexcept;

// A set of filter options.
class TFilterOptions {
public:
  constexpr TFilterOptions() noexcept = default;
  constexpr TFilterOptions(std::initializer_list<TFilterOption> Members) noexcept {
    for (TFilterOption M : Members) FBits |= Bit(M);
  }
  constexpr bool Contains(TFilterOption M) const noexcept { return (FBits & Bit(M)) != 0; }
  constexpr TFilterOptions& Include(TFilterOption M) noexcept { return FBits |= Bit(M), *this; }
  constexpr TFilterOptions& Exclude(TFilterOption M) noexcept { return FBits &= ~Bit(M), *this; }
  constexpr bool operator==(const TFilterOptions&) const noexcept = default;

private:
  static constexpr std::uint16_t Bit(TFilterOption M) noexcept {
    return static_cast<std::uint16_t>(1u << M);
  }
  std::uint16_t FBits = 0;
};

// What a new enumerator walks.
constexpr TFilterOptions DefaultFilterOptions{NORMAL_ENTRY,     STICKY_ENTRY,        COOKIE_ENTRY,
                                              URLHISTORY_ENTRY, TRACK_OFFLINE_ENTRY, TRACK_ONLINE_ENTRY};
// What the main window's enumerator walks: every kind but controls (mask 00310037).
constexpr TFilterOptions AllButOcxFilterOptions =
    TFilterOptions{NORMAL_ENTRY,        STABLE_ENTRY,       STICKY_ENTRY, COOKIE_ENTRY, URLHISTORY_ENTRY,
                   TRACK_OFFLINE_ENTRY, TRACK_ONLINE_ENTRY, SPARSE_ENTRY};

// Which part of the cache a walk covers.
enum TSearchPattern : std::uint8_t {
  spAll,      // no search text at all
  spCookies,  // "Cookie:"
  spHistory,  // "Visited:"
  spUrl,      // the empty text
};

// The search text passed to WinINet; null for spAll.
const char* SearchText(TSearchPattern Pattern) noexcept;

// Days since 30 December 1899, the time of day as the fraction; 0 when unknown.
using TDateTime = double;

struct TEntryInfo {
  std::string SourceUrlName;
  std::string LocalFileName;
  std::uint32_t EntryType = 0;
  std::uint32_t UseCount = 0;
  std::uint32_t HitRate = 0;
  std::uint32_t Size = 0;  // low 32 bits
  TDateTime LastModified = 0;
  TDateTime ExpireTime = 0;
  TDateTime LastAccess = 0;
  TDateTime LastSync = 0;
  std::string HeaderInfo;
  std::string FileExtension;
  std::uint32_t ExemptDelta = 0;
};

// A cache group; kept for a group walk, which this program does not make.
struct TGroupInfo {
  std::int64_t GroupID = 0;
  std::uint32_t Flags = 0;
  std::uint32_t GroupType = 0;
  std::uint32_t DiskQuota = 0;
  std::string GroupName;
};

class TIECache;
using TOnEntryEvent = std::function<void(TIECache& Sender, bool& Cancel)>;
using TOnGroupEvent = std::function<void(TIECache& Sender, std::int64_t GroupID, bool& Cancel)>;

class TIECache {
public:
  // Uses the system's WinINet unless given another source of the functions.
  explicit TIECache(TWinInetLibrary& Library = SystemWinInet());
  TIECache(TFilterOptions Options, TSearchPattern Pattern, TWinInetLibrary& Library = SystemWinInet());
  // The main window's enumerator: every entry kind but controls, the whole cache.
  static TIECache ForMainWindow(TWinInetLibrary& Library = SystemWinInet());
  ~TIECache();
  TIECache(const TIECache&) = delete;
  TIECache& operator=(const TIECache&) = delete;

  TFilterOptions FilterOptions() const noexcept { return FFilterOptions; }
  void SetFilterOptions(TFilterOptions Options) noexcept;
  std::uint32_t FilterMask() const noexcept { return FFilterMask; }

  TSearchPattern SearchPattern = spAll;
  // Kept for callers that watch a walk; no operation here raises them.
  TOnEntryEvent OnEntry;
  TOnGroupEvent OnGroup;

  bool LibraryFound() { return FLibrary.Load(); }

  // Deletes every entry of group 0 that the pattern and the filter select.
  // False when WinINet could not be loaded: nothing was deleted.
  bool DeleteAll();
  // How many entries the last DeleteAll deleted.
  std::uint64_t Deleted() const noexcept { return FDeleted; }
  // 0 on success (EntryInfo is then emptied), else the system's error code;
  // 0 without doing anything when the library is missing.
  DWORD DeleteEntry(const std::string& Url);
  // Opens a walk and fetches its first entry: 0, the system's error code, or 2
  // (file not found) when the library is missing.
  DWORD FindFirstEntry(std::int64_t GroupID);
  // Fetches the next entry: 0, the system's error code (259 at the end), or 2.
  DWORD FindNextEntry();

  void ClearEntryInfo();
  void CopyEntryInfo(const INTERNET_CACHE_ENTRY_INFOA& Info);

  TEntryInfo EntryInfo;
  TGroupInfo GroupInfo;
  HANDLE FindHandle() const noexcept { return FFindHandle; }

private:
  void CloseWalk() noexcept;

  TWinInetLibrary& FLibrary;
  TFilterOptions FFilterOptions;
  std::uint32_t FFilterMask = 0;
  HANDLE FFindHandle = nullptr;
  std::uint64_t FDeleted = 0;
};
