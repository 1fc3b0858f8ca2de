#include "actions/ActionUnit.h"

#include "ActionTestSupport.h"
#include "iecache/FakeUrlCache.h"
#include "iecache/IECache.h"
#include "support/Fixtures.h"
#include "win/Registry.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <stdexcept>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string TypedUrls = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
const std::string NavClient = "Software\\Google\\NavClient";

std::vector<std::string> ValueNames(const std::string& Path) {
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!Reg.OpenKey(Path, false)) return {"<no key>"};
  return Reg.GetValueNames();
}

class CacheAndCookies : public ::testing::Test {
protected:
  CacheAndCookies() {
    FakeCache.Entries = {
        {"http://example.com/", NORMAL_CACHE_ENTRY},
        {"Cookie:user@example.com/", NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY},
        {"Visited: user@http://example.com/", URLHISTORY_CACHE_ENTRY},
        {"http://example.com/app.ocx", 0x00020000},
    };
    Action.IECache = &Cache;
  }
  TFakeCacheReset Reset;
  TWinInetLibrary Library = FakeWinInet();
  TIECache Cache = TIECache::ForMainWindow(Library);
  TAction Action;
};

TEST_F(CacheAndCookies, CacheTakesTheUrlEntriesOnly) {
  Action.DeleteCache(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in delete internet cache.")));
  EXPECT_EQ(Cache.SearchPattern, spUrl);  // stays as set
  EXPECT_THAT(FakeCache.Remaining(), ElementsAre("Cookie:user@example.com/", "Visited: user@http://example.com/",
                                                 "http://example.com/app.ocx"));
}

TEST_F(CacheAndCookies, CookiesTakeTheCookieEntriesOnly) {
  Action.DeleteCookies(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in delete cookies.")));
  EXPECT_EQ(Cache.SearchPattern, spCookies);
  EXPECT_THAT(FakeCache.Remaining(), ElementsAre("http://example.com/", "Visited: user@http://example.com/",
                                                 "http://example.com/app.ocx"));
}

TEST_F(CacheAndCookies, SwitchedOffTouchesNothing) {
  Action.DeleteCache(false);
  Action.DeleteCookies(false);
  EXPECT_THAT(Action.Messages, IsEmpty());
  EXPECT_EQ(FakeCache.Remaining().size(), 4u);
  EXPECT_EQ(FakeCache.FindFirstCalls, 0);
}

// WinINet without all its functions cannot be used: nothing goes, and both
// lines say so.
TEST_F(CacheAndCookies, WithoutTheGroupFunctionsNothingGoesAndBothSayTheyFailed) {
  FakeCache.Missing = "FindFirstUrlCacheGroup";
  Action.DeleteCache(true);
  Action.DeleteCookies(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Delete cookies failed."),
                                           LineOf("Delete internet cache failed.")));
  EXPECT_EQ(FakeCache.Remaining().size(), 4u);
}

TEST_F(CacheAndCookies, EmptyCacheSucceeds) {
  FakeCache.Entries.clear();
  Action.DeleteCache(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in delete internet cache.")));
}

TEST_F(CacheAndCookies, NoEnumeratorIsAFailure) {
  Action.IECache = nullptr;
  Action.DeleteCache(true);
  Action.DeleteCookies(true);
  EXPECT_THAT(Action.Messages,
              ElementsAre(LineOf("Delete cookies failed."), LineOf("Delete internet cache failed.")));
}

// The program's own path: the main window's enumerator is wired to the
// system's WinINet, whose functions are all there. (Wine's entry walk is a
// stub that finds nothing, so what the walk deletes is shown above, on the
// fake cache.)
TEST(CacheSystem, TheMainWindowsEnumeratorUsesTheSystemLibrary) {
  TIECache Cache = TIECache::ForMainWindow();
  ASSERT_TRUE(Cache.LibraryFound());
  const TWinInetApi& Api = SystemWinInet().Api();
  HMODULE WinInet = GetModuleHandleA("wininet.dll");
  ASSERT_NE(WinInet, nullptr);
  auto Address = [](auto Function) { return reinterpret_cast<void*>(Function); };
  EXPECT_EQ(Address(Api.FindFirstUrlCacheEntryExA),
            Address(GetProcAddress(WinInet, "FindFirstUrlCacheEntryExA")));
  EXPECT_EQ(Address(Api.DeleteUrlCacheEntryA), Address(GetProcAddress(WinInet, "DeleteUrlCacheEntryA")));
}

class History : public ::testing::Test {};

TEST_F(History, ClearedThroughTheHistoryStore) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  {
    TAction Action;
    Action.DeleteHistory(false);
    EXPECT_THAT(Action.Messages, IsEmpty());
    EXPECT_EQ(Action.UrlHistory(), nullptr);

    Action.DeleteHistory(true);
    ASSERT_NE(Action.UrlHistory(), nullptr);
    // The line is the store's answer (Wine's store implements no clearing).
    const bool Cleared = SUCCEEDED(Action.UrlHistory()->ClearHistory());
    EXPECT_THAT(Action.Messages, ElementsAre(LineOf(Cleared ? "Succeeded in delete internet history."
                                                            : "Delete internet history failed.")));
    // A failure stays in the count, so no summary calls it done.
    EXPECT_EQ(Action.Tally.Refused, Cleared ? 0u : 1u);
    // References held on the store: one more than ours after an AddRef.
    auto References = [](IUrlHistoryStg2* Store) {
      const ULONG Count = Store->AddRef();
      Store->Release();
      return Count;
    };
    const ULONG Held = References(Action.UrlHistory());

    // The store of the second call replaces the first, whose reference goes
    // (the system may hand out one store per process: then it is the same one,
    // held no more often than before).
    Action.DeleteHistory(true);
    EXPECT_EQ(Action.Messages.size(), 2u);
    ASSERT_NE(Action.UrlHistory(), nullptr);
    EXPECT_EQ(References(Action.UrlHistory()), Held);
  }
  CoUninitialize();
}

// A store of the test's own, answering ClearHistory as told.
struct TFakeStore : IUrlHistoryStg2 {
  static inline HRESULT Answer = S_OK;
  static inline int Clears = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** Out) override { *Out = this; return S_OK; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE AddUrl(LPCOLESTR, LPCOLESTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteUrl(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryUrl(LPCOLESTR, DWORD, void*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BindToObject(LPCOLESTR, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumUrls(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddUrlAndNotify(LPCOLESTR, LPCOLESTR, DWORD, BOOL, IUnknown*, IUnknown*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ClearHistory() override { return ++Clears, Answer; }
};

TEST_F(History, TheLineIsTheStoresAnswer) {
  static TFakeStore Store;
  for (HRESULT Answer : {S_OK, E_FAIL, E_NOTIMPL}) {
    TFakeStore::Answer = Answer;
    TAction Action;
    Action.HistoryStore = [](IUrlHistoryStg2** Out) noexcept { return *Out = &Store, S_OK; };
    Action.DeleteHistory(true);
    EXPECT_THAT(Action.Messages, ElementsAre(LineOf(Answer == S_OK ? "Succeeded in delete internet history."
                                                                   : "Delete internet history failed.")))
        << Answer;
  }
  EXPECT_EQ(TFakeStore::Clears, 3);
}

TEST_F(History, WithoutComItFails) {
  TAction Action;  // COM is not initialised on this thread
  Action.DeleteHistory(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Delete internet history failed.")));
  EXPECT_EQ(Action.UrlHistory(), nullptr);
}

class LocationBar : public ::testing::Test {
protected:
  TScratchKeys Keys{{HKEY_CURRENT_USER, TypedUrls}};
  TAction Action;
};

TEST_F(LocationBar, TypedAddressesDeleted) {
  ImportRegFile("typedurls.reg");
  ASSERT_EQ(ValueNames(TypedUrls).size(), 3u);
  Action.DeleteLocationBar(false);
  EXPECT_THAT(Action.Messages, IsEmpty());
  Action.DeleteLocationBar(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in delete Location Bar.")));
  EXPECT_THAT(ValueNames(TypedUrls), IsEmpty());
}

// No list (a fresh profile) is a list already clear.
TEST_F(LocationBar, AnEmptyOrMissingListIsClear) {
  Action.DeleteLocationBar(true);
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey(TypedUrls, true));
  Reg.CloseKey();
  Action.DeleteLocationBar(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in delete Location Bar."),
                                           LineOf("Succeeded in delete Location Bar.")));
}

TEST_F(LocationBar, OtherFailuresPassToTheCaller) {
  ImportRegFile("typedurls.reg");
  TRaisingPump Pump([] { throw ERegistryException("Access is denied"); });
  EXPECT_THROW(Action.DeleteLocationBar(true), ERegistryException);
  EXPECT_THAT(Action.Messages, IsEmpty());
}

class Toolbar : public ::testing::Test {
protected:
  TScratchKeys Keys{{HKEY_CURRENT_USER, "Software\\Google"}};
  TAction Action;
};

TEST_F(Toolbar, NotInstalled) {
  Action.ClearToolbarHistory(false);
  EXPECT_THAT(Action.Messages, IsEmpty());
  Action.ClearToolbarHistory(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Google Toolbar not installed.")));
}

TEST_F(Toolbar, NoProfileNoLine) {
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey(NavClient, true));
  Reg.CloseKey();
  Action.ClearToolbarHistory(true);
  EXPECT_THAT(Action.Messages, IsEmpty());
}

TEST_F(Toolbar, OnlyTheLastProfileIsCleared) {
  ImportRegFile("google-toolbar.reg");
  Action.ClearToolbarHistory(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in clear search history on Google Toolbar.")));
  EXPECT_THAT(ValueNames(NavClient + "\\2\\history"), IsEmpty());
  EXPECT_THAT(ValueNames(NavClient + "\\1\\history"), ElementsAre("0"));
}

TEST_F(Toolbar, LastProfileWithoutHistory) {
  ImportRegFile("google-toolbar.reg");
  SHDeleteKeyA(HKEY_CURRENT_USER, (NavClient + "\\2\\history").c_str());
  Action.ClearToolbarHistory(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Google Toolbar is not installed.")));
  EXPECT_THAT(ValueNames(NavClient + "\\1\\history"), ElementsAre("0"));
}

TEST_F(Toolbar, AnyFailureWhileClearing) {
  ImportRegFile("google-toolbar.reg");
  TRaisingPump Pump([] { throw std::runtime_error("not ours either"); });
  Action.ClearToolbarHistory(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Google Toolbar is not installed.")));
}

}  // namespace
