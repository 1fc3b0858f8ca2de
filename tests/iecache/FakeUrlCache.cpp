#include "FakeUrlCache.h"

#include <cstring>
#include <map>
#include <memory>

TFakeUrlCache FakeCache;

std::vector<std::string> TFakeUrlCache::Remaining() const {
  std::vector<std::string> Urls;
  for (const TFakeEntry& E : Entries)
    if (!E.Deleted) Urls.push_back(E.Url);
  return Urls;
}

namespace {

struct TWalk {
  std::optional<std::string> Pattern;
  DWORD Filter;
  std::size_t Next = 0;  // index of the next entry to look at
};

bool StartsWith(const std::string& Text, const char* Prefix) {
  return _strnicmp(Text.c_str(), Prefix, strlen(Prefix)) == 0;
}

bool Selected(const TFakeEntry& E, const TWalk& W) {
  if (E.Deleted || (E.Type & W.Filter) == 0) return false;
  if (!W.Pattern) return true;
  if (W.Pattern->empty()) return !StartsWith(E.Url, "Cookie:") && !StartsWith(E.Url, "Visited:");
  return StartsWith(E.Url, W.Pattern->c_str());
}

// Index of the next selected entry from Start, or npos.
std::size_t Find(const TWalk& W, std::size_t Start) {
  for (std::size_t I = Start; I < FakeCache.Entries.size(); ++I)
    if (Selected(FakeCache.Entries[I], W)) return I;
  return std::string::npos;
}

FILETIME Year2000() {
  ULARGE_INTEGER T;
  T.QuadPart = 125911584000000000ULL;  // 2000-01-01 00:00 UTC
  return FILETIME{T.LowPart, T.HighPart};
}

// Writes the record of entry I into Info when it fits; else fails with 122.
bool Fill(std::size_t I, INTERNET_CACHE_ENTRY_INFOA* Info, DWORD* Size) {
  const TFakeEntry& E = FakeCache.Entries[I];
  const DWORD Needed = static_cast<DWORD>(sizeof *Info + E.Url.size() + 1 + E.LocalFile.size() + 1);
  if (!Info || *Size < Needed) {
    *Size = Needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  memset(Info, 0, Needed);
  char* Strings = reinterpret_cast<char*>(Info + 1);
  Info->dwStructSize = sizeof *Info;
  Info->lpszSourceUrlName = strcpy(Strings, E.Url.c_str());
  Info->lpszLocalFileName = strcpy(Strings + E.Url.size() + 1, E.LocalFile.c_str());
  Info->CacheEntryType = E.Type;
  Info->dwSizeLow = static_cast<DWORD>(I + 1) * 100;
  Info->LastModifiedTime = Info->ExpireTime = Info->LastAccessTime = Info->LastSyncTime = Year2000();
  return true;
}

HANDLE WINAPI FakeFindFirstEx(LPCSTR Pattern, DWORD, DWORD Filter, GROUPID, LPINTERNET_CACHE_ENTRY_INFOA Info,
                          LPDWORD Size, LPVOID, LPDWORD, LPVOID) {
  ++FakeCache.FindFirstCalls;
  FakeCache.Patterns.push_back(Pattern ? std::optional<std::string>(Pattern) : std::nullopt);
  FakeCache.Filters.push_back(Filter);
  auto Walk = std::make_unique<TWalk>(TWalk{FakeCache.Patterns.back(), Filter});
  std::size_t First = Find(*Walk, 0);
  if (First == std::string::npos) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return nullptr;
  }
  if (!Fill(First, Info, Size)) return nullptr;
  Walk->Next = First + 1;
  ++FakeCache.OpenWalks;
  return Walk.release();
}

BOOL WINAPI FakeFindNextEx(HANDLE Handle, LPINTERNET_CACHE_ENTRY_INFOA Info, LPDWORD Size, LPVOID, LPDWORD,
                       LPVOID) {
  ++FakeCache.FindNextCalls;
  if (!Handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  auto* Walk = static_cast<TWalk*>(Handle);
  if (Info) {
    ++FakeCache.FindNextFetches;
    if (FakeCache.FailFetches != 0) {
      if (FakeCache.FailFetches > 0) --FakeCache.FailFetches;
      SetLastError(FakeCache.FailCode);
      return FALSE;
    }
  }
  std::size_t Next = Find(*Walk, Walk->Next);
  if (Next == std::string::npos) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  if (!Fill(Next, Info, Size)) return FALSE;
  Walk->Next = Next + 1;
  return TRUE;
}

BOOL WINAPI FakeDeleteEntry(LPCSTR Url) {
  for (TFakeEntry& E : FakeCache.Entries) {
    if (E.Deleted || E.Url != Url) continue;
    if (E.Locked) {
      SetLastError(ERROR_SHARING_VIOLATION);
      return FALSE;
    }
    E.Deleted = true;
    return TRUE;
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return FALSE;
}

BOOL WINAPI FakeFindClose(HANDLE Handle) {
  ++FakeCache.Closes;
  if (!Handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete static_cast<TWalk*>(Handle);
  --FakeCache.OpenWalks;
  return TRUE;
}

// Groups: present, never called by the walk.
HANDLE WINAPI FakeFindFirstGroup(DWORD, DWORD, LPVOID, DWORD, GROUPID*, LPVOID) { return nullptr; }
BOOL WINAPI FakeFindNextGroup(HANDLE, GROUPID*, LPVOID) { return FALSE; }
BOOL WINAPI FakeGetGroupAttribute(GROUPID, DWORD, DWORD, LPINTERNET_CACHE_GROUP_INFOA, LPDWORD, LPVOID) {
  return FALSE;
}
BOOL WINAPI FakeSetGroupAttribute(GROUPID, DWORD, DWORD, LPINTERNET_CACHE_GROUP_INFOA, LPVOID) { return FALSE; }

template <class Fn>
FARPROC Proc(Fn* F) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(F));
}

}  // namespace

TWinInetLibrary FakeWinInet() {
  return TWinInetLibrary([](const char* Name) -> FARPROC {
    ++FakeCache.Lookups;
    static const std::map<std::string, FARPROC> Exports = {
        {"FindFirstUrlCacheGroup", Proc(FakeFindFirstGroup)},
        {"FindNextUrlCacheGroup", Proc(FakeFindNextGroup)},
        {"GetUrlCacheGroupAttributeA", Proc(FakeGetGroupAttribute)},
        {"SetUrlCacheGroupAttributeA", Proc(FakeSetGroupAttribute)},
        {"FindFirstUrlCacheEntryExA", Proc(FakeFindFirstEx)},
        {"FindNextUrlCacheEntryExA", Proc(FakeFindNextEx)},
        {"DeleteUrlCacheEntryA", Proc(FakeDeleteEntry)},
        {"FindCloseUrlCache", Proc(FakeFindClose)},
    };
    if (FakeCache.Missing == Name) return nullptr;
    auto It = Exports.find(Name);
    return It == Exports.end() ? nullptr : It->second;
  });
}
