#include "iecache/IECache.h"

#include "win/Handle.h"
#include "win/SystemLibrary.h"

#include <memory>

namespace {

// A fetch that keeps failing with anything but "no more items" (a damaged
// index, an entry that keeps growing between the size query and the fetch)
// ends the walk after this many failures in a row.
constexpr int MaxFailedFetches = 3;

// Days from 30 December 1899 to the given date of the proleptic Gregorian calendar.
long long DaysSince1899(int Year, unsigned Month, unsigned Day) {
  Year -= Month <= 2;
  const long long Era = (Year >= 0 ? Year : Year - 399) / 400;
  const unsigned YearOfEra = static_cast<unsigned>(Year - Era * 400);
  const unsigned DayOfYear = (153 * (Month + (Month > 2 ? -3 : 9)) + 2) / 5 + Day - 1;
  const unsigned DayOfEra = YearOfEra * 365 + YearOfEra / 4 - YearOfEra / 100 + DayOfYear;
  const long long DaysSince1970 = Era * 146097 + DayOfEra - 719468;
  return DaysSince1970 + 25569;
}

// A cache time (UTC) as a local date-time; 0 when it cannot be converted.
TDateTime LocalDateTime(const FILETIME& Utc) {
  FILETIME Local;
  SYSTEMTIME Time;
  if (!FileTimeToLocalFileTime(&Utc, &Local) || !FileTimeToSystemTime(&Local, &Time)) return 0;
  if (Time.wYear < 1 || Time.wYear > 9999) return 0;
  const double Days = static_cast<double>(DaysSince1899(Time.wYear, Time.wMonth, Time.wDay));
  const double Fraction =
      (((Time.wHour * 60.0 + Time.wMinute) * 60.0 + Time.wSecond) * 1000.0 + Time.wMilliseconds) /
      86400000.0;
  // Before the epoch the fraction still counts forward from the day's start.
  return Days >= 0 ? Days + Fraction : Days - Fraction;
}

std::string Text(const char* P) { return P ? std::string(P) : std::string(); }

template <class Fn>
bool Resolve(const TProcLookup& Lookup, const char* Name, Fn& Slot) {
  FARPROC Proc = Lookup(Name);
  Slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(Proc));
  return Proc != nullptr;
}

}  // namespace

bool TWinInetLibrary::Load() {
  if (FFound) return true;
  if (!FLookup) return false;
  TWinInetApi Api;
  try {
    // The group functions are part of the test: a library without them is
    // too old for the extended entry walk.
    FFound = Resolve(FLookup, "FindFirstUrlCacheGroup", Api.FindFirstUrlCacheGroup) &&
             Resolve(FLookup, "FindNextUrlCacheGroup", Api.FindNextUrlCacheGroup) &&
             Resolve(FLookup, "GetUrlCacheGroupAttributeA", Api.GetUrlCacheGroupAttributeA) &&
             Resolve(FLookup, "SetUrlCacheGroupAttributeA", Api.SetUrlCacheGroupAttributeA) &&
             Resolve(FLookup, "FindFirstUrlCacheEntryExA", Api.FindFirstUrlCacheEntryExA) &&
             Resolve(FLookup, "FindNextUrlCacheEntryExA", Api.FindNextUrlCacheEntryExA) &&
             Resolve(FLookup, "DeleteUrlCacheEntryA", Api.DeleteUrlCacheEntryA) &&
             Resolve(FLookup, "FindCloseUrlCache", Api.FindCloseUrlCache);
  } catch (...) {
    FFound = false;
  }
  if (FFound) FApi = Api;
  return FFound;
}

TWinInetLibrary& SystemWinInet() {
  static TWinInetLibrary Library([](const char* Name) -> FARPROC {
    // Loaded once and never freed: the functions are used until the program
    // ends. From the system folder only: wininet is not a DLL Windows always
    // takes from there.
    static HMODULE Module = LoadSystemLibrary(L"wininet.dll");
    return Module ? GetProcAddress(Module, Name) : nullptr;
  });
  return Library;
}

bool LoadWinInet() { return SystemWinInet().Load(); }

namespace {
// The program asks once at start; later operations answer from what is kept.
const bool WinInetAtStart = LoadWinInet();
}  // namespace

std::uint32_t FilterOptionBit(TFilterOption Option) noexcept {
  switch (Option) {
    case NORMAL_ENTRY: return NORMAL_CACHE_ENTRY;
    case STABLE_ENTRY: return 0x00000002;  // stable; the header has no name for it
    case STICKY_ENTRY: return STICKY_CACHE_ENTRY;
    case COOKIE_ENTRY: return COOKIE_CACHE_ENTRY;
    case URLHISTORY_ENTRY: return URLHISTORY_CACHE_ENTRY;
    case TRACK_OFFLINE_ENTRY: return TRACK_OFFLINE_CACHE_ENTRY;
    case TRACK_ONLINE_ENTRY: return TRACK_ONLINE_CACHE_ENTRY;
    case SPARSE_ENTRY: return SPARSE_CACHE_ENTRY;
    case OCX_ENTRY: return 0x00020000;  // controls; the header has no name for it
  }
  return 0;
}

const char* SearchText(TSearchPattern Pattern) noexcept {
  switch (Pattern) {
    case spCookies: return "Cookie:";
    case spHistory: return "Visited:";
    case spUrl: return "";
    case spAll: break;
  }
  return nullptr;
}

TIECache::TIECache(TWinInetLibrary& Library) : FLibrary(Library) {
  // The mask is computed here too, so an enumerator whose options are never
  // assigned walks the default kinds rather than nothing.
  SetFilterOptions(DefaultFilterOptions);
}

TIECache::TIECache(TFilterOptions Options, TSearchPattern Pattern, TWinInetLibrary& Library)
    : SearchPattern(Pattern), FLibrary(Library) {
  SetFilterOptions(Options);
}

TIECache TIECache::ForMainWindow(TWinInetLibrary& Library) {
  return TIECache(AllButOcxFilterOptions, spAll, Library);
}

TIECache::~TIECache() { CloseWalk(); }

void TIECache::SetFilterOptions(TFilterOptions Options) noexcept {
  FFilterOptions = Options;
  FFilterMask = 0;
  for (int M = NORMAL_ENTRY; M <= OCX_ENTRY; ++M)
    if (Options.Contains(static_cast<TFilterOption>(M)))
      FFilterMask += FilterOptionBit(static_cast<TFilterOption>(M));
}

void TIECache::CloseWalk() noexcept {
  if (FFindHandle && FLibrary.Load()) FLibrary.Api().FindCloseUrlCache(FFindHandle);
  FFindHandle = nullptr;
}

void TIECache::ClearEntryInfo() {
  if (!FLibrary.Load()) return;
  EntryInfo = TEntryInfo{};
}

void TIECache::CopyEntryInfo(const INTERNET_CACHE_ENTRY_INFOA& Info) {
  EntryInfo.SourceUrlName = Text(Info.lpszSourceUrlName);
  EntryInfo.LocalFileName = Text(Info.lpszLocalFileName);
  EntryInfo.FileExtension = Text(Info.lpszFileExtension);
  // The header block need not end in a NUL; never read past its size.
  EntryInfo.HeaderInfo = Info.lpHeaderInfo
                             ? std::string(Info.lpHeaderInfo, strnlen(Info.lpHeaderInfo, Info.dwHeaderInfoSize))
                             : std::string();
  EntryInfo.EntryType = Info.CacheEntryType;
  EntryInfo.UseCount = Info.dwUseCount;
  EntryInfo.HitRate = Info.dwHitRate;
  EntryInfo.ExemptDelta = Info.dwExemptDelta;
  EntryInfo.Size = Info.dwSizeLow;
  EntryInfo.LastModified = LocalDateTime(Info.LastModifiedTime);
  EntryInfo.ExpireTime = LocalDateTime(Info.ExpireTime);
  EntryInfo.LastAccess = LocalDateTime(Info.LastAccessTime);
  EntryInfo.LastSync = LocalDateTime(Info.LastSyncTime);
}

DWORD TIECache::FindFirstEntry(std::int64_t GroupID) {
  if (!FLibrary.Load()) return ERROR_FILE_NOT_FOUND;
  const TWinInetApi& Api = FLibrary.Api();
  CloseWalk();  // a walk left open by an earlier call
  const char* Pattern = SearchText(SearchPattern);

  // Two calls: the first fails and tells the size the entry needs.
  DWORD Size = 0;
  Api.FindFirstUrlCacheEntryExA(Pattern, 0, FFilterMask, GroupID, nullptr, &Size, nullptr, nullptr,
                                nullptr);
  std::unique_ptr<unsigned char[]> Buffer(Size ? new unsigned char[Size] : nullptr);
  auto* Info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(Buffer.get());
  FFindHandle = Api.FindFirstUrlCacheEntryExA(Pattern, 0, FFilterMask, GroupID, Info, &Size, nullptr,
                                              nullptr, nullptr);
  if (!FFindHandle) return GetLastError();
  if (Info) CopyEntryInfo(*Info);
  return 0;
}

DWORD TIECache::FindNextEntry() {
  if (!FLibrary.Load()) return ERROR_FILE_NOT_FOUND;
  const TWinInetApi& Api = FLibrary.Api();
  DWORD Size = 0;
  Api.FindNextUrlCacheEntryExA(FFindHandle, nullptr, &Size, nullptr, nullptr, nullptr);
  std::unique_ptr<unsigned char[]> Buffer(Size ? new unsigned char[Size] : nullptr);
  auto* Info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(Buffer.get());
  if (!Api.FindNextUrlCacheEntryExA(FFindHandle, Info, &Size, nullptr, nullptr, nullptr))
    return GetLastError();
  if (Info) CopyEntryInfo(*Info);
  return 0;
}

DWORD TIECache::DeleteEntry(const std::string& Url) {
  if (!FLibrary.Load()) return 0;
  if (!FLibrary.Api().DeleteUrlCacheEntryA(Url.c_str())) return GetLastError();
  ClearEntryInfo();
  return 0;
}

bool TIECache::DeleteAll() {
  FDeleted = 0;
  if (!FLibrary.Load()) return false;
  DWORD Rc = FindFirstEntry(0);
  if (Rc == 0) {
    int Failures = 0;
    for (;;) {
      if (Rc == 0) {
        // An entry that cannot be deleted (in use, locked) is left; the walk goes on.
        if (DeleteEntry(EntryInfo.SourceUrlName) == 0) ++FDeleted;
        Failures = 0;
      } else if (++Failures >= MaxFailedFetches) {
        break;
      }
      Rc = FindNextEntry();
      if (Rc == ERROR_NO_MORE_ITEMS) break;
    }
  }
  CloseWalk();
  return true;
}
