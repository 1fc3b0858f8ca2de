#include "iecache/IECache.h"

#include "FakeUrlCache.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ElementsAre;
using ::testing::Optional;

struct TMaskCase {
  TFilterOptions Options;
  std::uint32_t Mask;
};

TEST(IECacheFilter, MaskIsTheSumOfTheMembersBits) {
  const TMaskCase Cases[] = {
      {{}, 0},
      {{COOKIE_ENTRY, NORMAL_ENTRY}, 0x00100001},
      {AllButOcxFilterOptions, 0x00310037},
      {{NORMAL_ENTRY}, 0x00000001},
      {{STABLE_ENTRY}, 0x00000002},
      {{STICKY_ENTRY}, 0x00000004},
      {{COOKIE_ENTRY}, 0x00100000},
      {{URLHISTORY_ENTRY}, 0x00200000},
      {{TRACK_OFFLINE_ENTRY}, 0x00000010},
      {{TRACK_ONLINE_ENTRY}, 0x00000020},
      {{SPARSE_ENTRY}, 0x00010000},
      {{OCX_ENTRY}, 0x00020000},
  };
  TFakeCacheReset Reset;
  TWinInetLibrary Library = FakeWinInet();
  TIECache Cache(Library);
  for (const TMaskCase& C : Cases) {
    Cache.SetFilterOptions({OCX_ENTRY, SPARSE_ENTRY});  // recomputed from zero, not added to
    Cache.SetFilterOptions(C.Options);
    EXPECT_EQ(Cache.FilterMask(), C.Mask);
    EXPECT_EQ(Cache.FilterOptions(), C.Options);
  }
}

TEST(IECacheFilter, NewAndMainWindowEnumerators) {
  TFakeCacheReset Reset;
  TWinInetLibrary Library = FakeWinInet();
  TIECache Fresh(Library);
  EXPECT_EQ(Fresh.FilterOptions(), DefaultFilterOptions);
  EXPECT_EQ(Fresh.FilterMask(), 0x00300035u);
  EXPECT_EQ(Fresh.SearchPattern, spAll);

  TIECache Main = TIECache::ForMainWindow(Library);
  EXPECT_EQ(Main.FilterMask(), 0x00310037u);
  EXPECT_FALSE(Main.FilterOptions().Contains(OCX_ENTRY));
  EXPECT_EQ(Main.SearchPattern, spAll);
}

TEST(IECachePattern, SearchTexts) {
  EXPECT_EQ(SearchText(spAll), nullptr);
  ASSERT_NE(SearchText(spUrl), nullptr);  // empty, but not null
  EXPECT_STREQ(SearchText(spUrl), "");
  EXPECT_STREQ(SearchText(spCookies), "Cookie:");
  EXPECT_STREQ(SearchText(spHistory), "Visited:");
}

class IECacheWalk : public ::testing::Test {
protected:
  IECacheWalk() {
    FakeCache.Entries = {
        {"http://example.com/", NORMAL_CACHE_ENTRY},
        {"Cookie:user@example.com/", NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY},
        {"Visited: user@http://example.com/", NORMAL_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY},
        {"http://example.com/app.ocx", 0x00020000},
        {"http://example.org/logo.gif", NORMAL_CACHE_ENTRY | STICKY_CACHE_ENTRY},
        {"Cookie:user@example.org/", NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY},
    };
  }
  TFakeCacheReset Reset;
  TWinInetLibrary Library = FakeWinInet();
  TIECache Cache = TIECache::ForMainWindow(Library);
};

TEST_F(IECacheWalk, CookiePatternDeletesOnlyCookies) {
  Cache.SearchPattern = spCookies;
  Cache.DeleteAll();
  EXPECT_THAT(FakeCache.Patterns, ::testing::Each(Optional(std::string("Cookie:"))));
  EXPECT_THAT(FakeCache.Filters, ::testing::Each(0x00310037u));
  EXPECT_THAT(FakeCache.Remaining(),
              ElementsAre("http://example.com/", "Visited: user@http://example.com/",
                          "http://example.com/app.ocx", "http://example.org/logo.gif"));
  EXPECT_EQ(FakeCache.OpenWalks, 0);  // the walk was closed
  EXPECT_EQ(Cache.FindHandle(), nullptr);
}

TEST_F(IECacheWalk, UrlPatternPassesTheEmptyTextNotNull) {
  Cache.SearchPattern = spUrl;
  Cache.DeleteAll();
  ASSERT_FALSE(FakeCache.Patterns.empty());
  EXPECT_THAT(FakeCache.Patterns, ::testing::Each(Optional(std::string())));
  // The control is outside the filter and stays.
  EXPECT_THAT(FakeCache.Remaining(),
              ElementsAre("Cookie:user@example.com/", "Visited: user@http://example.com/",
                          "http://example.com/app.ocx", "Cookie:user@example.org/"));
}

TEST_F(IECacheWalk, AllPatternIsNullAndTheFilterStillApplies) {
  Cache.DeleteAll();
  ASSERT_FALSE(FakeCache.Patterns.empty());
  EXPECT_THAT(FakeCache.Patterns, ::testing::Each(std::optional<std::string>()));
  EXPECT_THAT(FakeCache.Remaining(), ElementsAre("http://example.com/app.ocx"));

  Cache.SetFilterOptions({});  // a filter of 0 selects nothing in this cache
  FakeCache.Entries[0].Deleted = false;
  Cache.DeleteAll();
  EXPECT_THAT(FakeCache.Remaining(), ElementsAre("http://example.com/", "http://example.com/app.ocx"));
}

TEST_F(IECacheWalk, EachFetchIsOneSizeQueryAndOneFetch) {
  Cache.SearchPattern = spCookies;
  ASSERT_EQ(Cache.FindFirstEntry(0), 0u);
  EXPECT_EQ(FakeCache.FindFirstCalls, 2);
  EXPECT_EQ(Cache.EntryInfo.SourceUrlName, "Cookie:user@example.com/");
  ASSERT_EQ(Cache.FindNextEntry(), 0u);
  EXPECT_EQ(FakeCache.FindNextCalls, 2);
  EXPECT_EQ(Cache.EntryInfo.SourceUrlName, "Cookie:user@example.org/");
  EXPECT_EQ(Cache.EntryInfo.Size, 600u);
  EXPECT_EQ(Cache.FindNextEntry(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(FakeCache.FindFirstCalls, 2);
}

TEST_F(IECacheWalk, DeletingInTheMiddleLeavesTheWalkInPlace) {
  ASSERT_EQ(Cache.FindFirstEntry(0), 0u);
  HANDLE Walk = Cache.FindHandle();
  ASSERT_EQ(Cache.FindNextEntry(), 0u);
  ASSERT_EQ(Cache.EntryInfo.SourceUrlName, "Cookie:user@example.com/");
  EXPECT_EQ(Cache.DeleteEntry("Cookie:user@example.com/"), 0u);
  EXPECT_EQ(Cache.EntryInfo.SourceUrlName, "");  // emptied by the deletion

  std::vector<std::string> Rest;
  while (Cache.FindNextEntry() == 0) Rest.push_back(Cache.EntryInfo.SourceUrlName);
  EXPECT_THAT(Rest, ElementsAre("Visited: user@http://example.com/", "http://example.org/logo.gif",
                                "Cookie:user@example.org/"));
  EXPECT_EQ(Cache.FindHandle(), Walk);
  EXPECT_EQ(FakeCache.FindFirstCalls, 2);  // never reopened

  EXPECT_EQ(Cache.DeleteEntry("Cookie:user@example.com/"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(IECacheWalk, AnEntryThatCannotBeDeletedIsSkipped) {
  FakeCache.Entries[1].Locked = true;
  Cache.SearchPattern = spCookies;
  Cache.DeleteAll();
  EXPECT_THAT(FakeCache.Remaining(),
              ElementsAre("http://example.com/", "Cookie:user@example.com/",
                          "Visited: user@http://example.com/", "http://example.com/app.ocx",
                          "http://example.org/logo.gif"));
}

TEST_F(IECacheWalk, AFetchThatKeepsFailingEndsTheWalk) {
  FakeCache.FailFetches = -1;
  FakeCache.FailCode = ERROR_INSUFFICIENT_BUFFER;
  Cache.DeleteAll();  // returns at all
  EXPECT_LE(FakeCache.FindNextFetches, 10);
  EXPECT_THAT(FakeCache.Remaining(), ::testing::SizeIs(5));  // only the first was reached
  EXPECT_EQ(FakeCache.OpenWalks, 0);
}

TEST_F(IECacheWalk, AFetchThatFailsOnceIsTriedAgain) {
  FakeCache.FailFetches = 1;
  Cache.DeleteAll();
  EXPECT_THAT(FakeCache.Remaining(), ElementsAre("http://example.com/app.ocx"));
}

TEST_F(IECacheWalk, EmptyCachePartDeletesNothing) {
  FakeCache.Entries.erase(FakeCache.Entries.begin() + 1, FakeCache.Entries.end());
  Cache.SearchPattern = spHistory;
  EXPECT_EQ(Cache.FindFirstEntry(0), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(Cache.FindHandle(), nullptr);
  Cache.DeleteAll();
  EXPECT_THAT(FakeCache.Remaining(), ElementsAre("http://example.com/"));
}

class IECacheMissingFunction : public ::testing::TestWithParam<const char*> {};

TEST_P(IECacheMissingFunction, LibraryNotFoundAndNothingHappens) {
  TFakeCacheReset Reset;
  FakeCache.Entries = {{"http://example.com/"}, {"Cookie:user@example.com/", COOKIE_CACHE_ENTRY}};
  FakeCache.Missing = GetParam();
  TWinInetLibrary Library = FakeWinInet();
  TIECache Cache = TIECache::ForMainWindow(Library);
  Cache.EntryInfo.SourceUrlName = "kept";

  EXPECT_FALSE(Cache.LibraryFound());
  Cache.DeleteAll();
  EXPECT_EQ(Cache.FindFirstEntry(0), 2u);
  EXPECT_EQ(Cache.FindNextEntry(), 2u);
  EXPECT_EQ(Cache.DeleteEntry("http://example.com/"), 0u);
  Cache.ClearEntryInfo();
  EXPECT_EQ(Cache.EntryInfo.SourceUrlName, "kept");
  EXPECT_EQ(FakeCache.Remaining().size(), 2u);
  EXPECT_EQ(FakeCache.FindFirstCalls, 0);
}

INSTANTIATE_TEST_SUITE_P(EachNeededFunction, IECacheMissingFunction,
                         ::testing::Values("FindFirstUrlCacheGroup", "FindNextUrlCacheGroup",
                                           "GetUrlCacheGroupAttributeA", "SetUrlCacheGroupAttributeA",
                                           "FindFirstUrlCacheEntryExA", "FindNextUrlCacheEntryExA",
                                           "DeleteUrlCacheEntryA", "FindCloseUrlCache"));

TEST(IECacheLibrary, NoLibraryAndAKeptAnswer) {
  TWinInetLibrary None{TProcLookup{}};
  EXPECT_FALSE(None.Load());

  TFakeCacheReset Reset;
  FakeCache.Missing = "FindFirstUrlCacheGroup";
  TWinInetLibrary Library = FakeWinInet();
  EXPECT_FALSE(Library.Load());
  FakeCache.Missing.clear();  // a false answer is asked again...
  EXPECT_TRUE(Library.Load());
  const int Lookups = FakeCache.Lookups;
  FakeCache.Missing = "FindFirstUrlCacheGroup";
  EXPECT_TRUE(Library.Load());  // ...a true one is kept
  EXPECT_EQ(FakeCache.Lookups, Lookups);
}

TEST(IECacheLibrary, LookupThatThrowsMeansNotFound) {
  TWinInetLibrary Library([](const char*) -> FARPROC { throw std::runtime_error("broken"); });
  EXPECT_FALSE(Library.Load());
}

FILETIME FileTime(unsigned long long Ticks) {
  ULARGE_INTEGER T;
  T.QuadPart = Ticks;
  return FILETIME{T.LowPart, T.HighPart};
}

// The local offset the system applies to a UTC time, in days.
double LocalOffsetDays(const FILETIME& Utc) {
  FILETIME Local;
  EXPECT_TRUE(FileTimeToLocalFileTime(&Utc, &Local));
  ULARGE_INTEGER U{{Utc.dwLowDateTime, Utc.dwHighDateTime}}, L{{Local.dwLowDateTime, Local.dwHighDateTime}};
  return (static_cast<double>(L.QuadPart) - static_cast<double>(U.QuadPart)) / 864000000000.0;
}

TEST(IECacheEntry, CopyTakesEveryFieldAndABadTimeGivesZero) {
  TFakeCacheReset Reset;
  TWinInetLibrary Library = FakeWinInet();
  TIECache Cache(Library);

  char Url[] = "http://example.com/page.htm";
  char File[] = "C:\\cache\\page[1].htm";
  char Ext[] = "htm";
  char Header[] = "HTTP/1.1 200 OK\r\n\0garbage after the end";
  INTERNET_CACHE_ENTRY_INFOA Info{};
  Info.dwStructSize = sizeof Info;
  Info.lpszSourceUrlName = Url;
  Info.lpszLocalFileName = File;
  Info.lpszFileExtension = Ext;
  Info.lpHeaderInfo = Header;
  Info.dwHeaderInfoSize = sizeof Header;
  Info.CacheEntryType = NORMAL_CACHE_ENTRY | STICKY_CACHE_ENTRY;
  Info.dwUseCount = 3;
  Info.dwHitRate = 7;
  Info.dwSizeLow = 1234;
  Info.dwSizeHigh = 1;
  Info.dwExemptDelta = 86400;
  const FILETIME Y2000 = FileTime(125911584000000000ULL);             // 2000-01-01 00:00 UTC
  const FILETIME Y2000Noon = FileTime(125911584000000000ULL + 432000000000ULL);  // 12:00 UTC
  Info.LastModifiedTime = Y2000;
  Info.ExpireTime = FileTime(0xFFFFFFFFFFFFFFFFULL);  // not a time at all
  Info.LastAccessTime = Y2000Noon;
  Info.LastSyncTime = Y2000;

  Cache.CopyEntryInfo(Info);
  const TEntryInfo& E = Cache.EntryInfo;
  EXPECT_EQ(E.SourceUrlName, Url);
  EXPECT_EQ(E.LocalFileName, File);
  EXPECT_EQ(E.FileExtension, "htm");
  EXPECT_EQ(E.HeaderInfo, "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(E.EntryType, 5u);
  EXPECT_EQ(E.UseCount, 3u);
  EXPECT_EQ(E.HitRate, 7u);
  EXPECT_EQ(E.Size, 1234u);  // the low half only
  EXPECT_EQ(E.ExemptDelta, 86400u);
  EXPECT_EQ(E.ExpireTime, 0.0);
  // 1 January 2000 is day 36526.
  EXPECT_NEAR(E.LastModified, 36526.0 + LocalOffsetDays(Y2000), 1e-6);
  EXPECT_NEAR(E.LastAccess, 36526.5 + LocalOffsetDays(Y2000Noon), 1e-6);
  EXPECT_EQ(E.LastSync, E.LastModified);

  Cache.ClearEntryInfo();
  EXPECT_EQ(Cache.EntryInfo.SourceUrlName, "");
  EXPECT_EQ(Cache.EntryInfo.LastModified, 0.0);
  EXPECT_EQ(Cache.EntryInfo.Size, 0u);

  // Strings the library leaves out, and a header block without a terminator.
  char Unterminated[4] = {'a', 'b', 'c', 'd'};
  INTERNET_CACHE_ENTRY_INFOA Sparse{};
  Sparse.lpHeaderInfo = Unterminated;
  Sparse.dwHeaderInfoSize = sizeof Unterminated;
  Cache.CopyEntryInfo(Sparse);
  EXPECT_EQ(Cache.EntryInfo.SourceUrlName, "");
  EXPECT_EQ(Cache.EntryInfo.HeaderInfo, "abcd");
}

// The program's own path: the system's wininet.dll, on a cache with real entries.
TEST(IECacheSystem, FindsTheLibraryAndWalksTheRealCache) {
  ASSERT_TRUE(LoadWinInet());
  TIECache Cache = TIECache::ForMainWindow();
  EXPECT_TRUE(Cache.LibraryFound());

  const char* Url = "http://vellumix.test/iecache-system";
  char File[MAX_PATH] = {};
  ASSERT_TRUE(CreateUrlCacheEntryA(Url, 0, "htm", File, 0));
  HANDLE H = CreateFileA(File, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(H, INVALID_HANDLE_VALUE);
  DWORD Written;
  WriteFile(H, "<p>", 3, &Written, nullptr);
  CloseHandle(H);
  FILETIME Never{};
  ASSERT_TRUE(CommitUrlCacheEntryA(Url, File, Never, Never, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr));

  Cache.SearchPattern = spUrl;
  Cache.DeleteAll();  // ends, whatever the system's walk returns
  EXPECT_EQ(Cache.FindHandle(), nullptr);

  // The walk may already have taken it; either way the entry ends up gone.
  DWORD Rc = Cache.DeleteEntry(Url);
  EXPECT_TRUE(Rc == 0 || Rc == ERROR_FILE_NOT_FOUND) << Rc;
  EXPECT_EQ(Cache.DeleteEntry(Url), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  DWORD Size = 0;
  EXPECT_FALSE(GetUrlCacheEntryInfoA(Url, nullptr, &Size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
