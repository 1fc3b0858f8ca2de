#pragma once
// A small URL cache behind the WinINet function table, for the functions Wine
// only stubs (the extended entry walk and the group functions). It honours the
// search text (null: everything; otherwise the URL's leading "Cookie:",
// "Visited:" or, for the empty text, neither), the entry-type filter, and the
// size protocol of the real functions: a buffer too small fails with 122 and
// tells the size. Entries deleted during a walk leave the walk in place.

#include "iecache/IECache.h"

#include <optional>
#include <string>
#include <vector>

struct TFakeEntry {
  TFakeEntry(std::string Url, DWORD Type = NORMAL_CACHE_ENTRY) : Url(std::move(Url)), Type(Type) {}
  std::string Url;
  DWORD Type;
  std::string LocalFile;
  bool Locked = false;  // deleting it fails with a sharing violation
  bool Deleted = false;
};

struct TFakeUrlCache {
  std::vector<TFakeEntry> Entries;

  // What the walks were asked for: each find-first call's search text
  // (nullopt for a null one) and filter.
  std::vector<std::optional<std::string>> Patterns;
  std::vector<DWORD> Filters;
  int FindFirstCalls = 0;
  int FindNextCalls = 0;
  int FindNextFetches = 0;  // calls with a buffer
  int OpenWalks = 0;
  int Closes = 0;

  // The next FailFetches find-next fetches fail with FailCode; -1 for all.
  int FailFetches = 0;
  DWORD FailCode = ERROR_INVALID_PARAMETER;

  // The export the fake library lacks, if any.
  std::string Missing;
  int Lookups = 0;

  std::vector<std::string> Remaining() const;  // URLs not deleted, in order
};

// The one fake cache (the table holds plain function pointers); reset by the
// a TFakeCacheReset at the start of each test.
extern TFakeUrlCache FakeCache;

// A WinINet source whose functions work on FakeCache.
TWinInetLibrary FakeWinInet();

// Resets FakeCache for each test.
struct TFakeCacheReset {
  TFakeCacheReset() { FakeCache = TFakeUrlCache{}; }
};
