// Internet Explorer's cache, cookies, history and typed addresses, and the
// Google Toolbar's search history.
#include "actions/ActionUnit.h"

#include "actions/TraceKeys.h"
#include "iecache/IECache.h"
#include "win/Registry.h"

namespace {

using trace_keys::TypedUrls;
const std::string& ToolbarKey = trace_keys::Toolbar;

DECLARE_EXCEPTION(ENoCacheEnumerator, Exception);
DECLARE_EXCEPTION(ENoWinInet, Exception);
DECLARE_EXCEPTION(EComError, Exception);

void DeleteCacheEntries(TIECache* Cache, TSearchPattern Pattern, TTally& Tally) {
  if (!Cache) throw ENoCacheEnumerator("No URL-cache enumerator");
  Cache->SearchPattern = Pattern;
  const bool Loaded = Cache->DeleteAll();
  Tally.CacheEntries += Cache->Deleted();
  if (!Loaded) throw ENoWinInet("WinINet could not be loaded");
}

void ReleaseUnknown(IUnknown* Object) noexcept { Object->Release(); }
using TUnknownRef = TUnique<handle_traits::NullIsInvalid<IUnknown*, ReleaseUnknown>>;

void Check(HRESULT Result, const char* What) {
  if (FAILED(Result)) throw EComError(What);
}

// Only a key that is not there: one that cannot be opened is no answer.
bool KeyMissing(HKEY Root, const std::string& Path) {
  TRegKey Key;
  const char* Relative = Path.c_str() + (Path.starts_with('\\') ? 1 : 0);
  return RegOpenKeyExA(Root, Relative, 0, KEY_READ, Key.put()) == ERROR_FILE_NOT_FOUND;
}

}  // namespace

void TAction::DeleteCache(bool Enabled) {
  if (!Enabled) return;
  try {
    DeleteCacheEntries(IECache, spUrl, Tally);
    AddMessage("Succeeded in delete internet cache.", "");
  } catch (...) {
    AddFailure("Delete internet cache failed.");
  }
}

void TAction::DeleteCookies(bool Enabled) {
  if (!Enabled) return;
  try {
    DeleteCacheEntries(IECache, spCookies, Tally);
    AddMessage("Succeeded in delete cookies.", "");
  } catch (...) {
    AddFailure("Delete cookies failed.");
  }
}

void TAction::DeleteHistory(bool Enabled) {
  if (!Enabled) return;
  try {
    IUrlHistoryStg2* History = nullptr;
    Check(HistoryStore(&History), "URL history store not available");
    FUrlHistory.reset(History);
    // The store's answer is the result: a store that could not clear (or, as
    // under Wine, does not implement clearing) has not cleared anything.
    Check(FUrlHistory.get()->ClearHistory(), "The history store did not clear the history");
    AddMessage("Succeeded in delete internet history.", "");
  } catch (...) {
    AddFailure("Delete internet history failed.");
  }
}

HRESULT SystemUrlHistory(IUrlHistoryStg2** Store) noexcept {
  *Store = nullptr;
  IUnknown* Raw = nullptr;
  HRESULT Result = CoCreateInstance(CLSID_UrlHistory, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                    IID_IUnknown, reinterpret_cast<void**>(&Raw));
  if (FAILED(Result)) return Result;
  TUnknownRef Object(Raw);
  return Object.get()->QueryInterface(IID_UrlHistoryStg2, reinterpret_cast<void**>(Store));
}

void TAction::DeleteLocationBar(bool Enabled) {
  if (!Enabled) return;
  // No list at all (a fresh profile) is a list already clear.
  if (KeyMissing(HKEY_CURRENT_USER, TypedUrls)) {
    AddMessage("Succeeded in delete Location Bar.", "");
    return;
  }
  try {
    ClearKeyValues(HKEY_CURRENT_USER, TypedUrls, true);
    AddMessage("Succeeded in delete Location Bar.", "");
  } catch (const EOpenRegErrors&) {
    AddFailure("Delete location bar failed.");
  }
}

void TAction::ClearToolbarHistory(bool Enabled) {
  if (!Enabled) return;
  std::vector<std::string> Profiles;
  {
    TRegistry Reg(HKEY_CURRENT_USER);
    if (!Reg.OpenKeyReadOnly(ToolbarKey)) {
      AddMessage("Google Toolbar not installed.", "");
      return;
    }
    Profiles = Reg.GetKeyNames();
  }
  if (Profiles.empty()) return;  // installed, but no profile has searched yet
  try {
    // The toolbar keeps its searches under the profile enumerated last.
    ClearKeyValues(HKEY_CURRENT_USER, ToolbarKey + Profiles.back() + "\\history", true);
    AddMessage("Succeeded in clear search history on Google Toolbar.", "");
  } catch (...) {
    AddMessage("Google Toolbar is not installed.", "");
  }
}
