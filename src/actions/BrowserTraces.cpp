// Internet Explorer's cache, cookies, history and typed addresses, and the
// Google Toolbar's search history.
#include "actions/ActionUnit.h"

#include "iecache/IECache.h"
#include "win/Registry.h"

namespace {

const std::string TypedUrls = "\\Software\\Microsoft\\Internet Explorer\\TypedURLs";
const std::string ToolbarKey = "\\Software\\Google\\NavClient\\";

DECLARE_EXCEPTION(ENoCacheEnumerator, Exception);
DECLARE_EXCEPTION(EComError, Exception);

void DeleteCacheEntries(TIECache* Cache, TSearchPattern Pattern) {
  if (!Cache) throw ENoCacheEnumerator("No URL-cache enumerator");
  Cache->SearchPattern = Pattern;
  Cache->DeleteAll();
}

void ReleaseUnknown(IUnknown* Object) noexcept { Object->Release(); }
using TUnknownRef = TUnique<handle_traits::NullIsInvalid<IUnknown*, ReleaseUnknown>>;

void Check(HRESULT Result, const char* What) {
  if (FAILED(Result)) throw EComError(What);
}

}  // namespace

void TAction::DeleteCache(bool Enabled) {
  if (!Enabled) return;
  try {
    DeleteCacheEntries(IECache, spUrl);
    AddMessage("Succeeded in delete internet cache.", "");
  } catch (...) {
    AddMessage("Delete internet cache failed.", "");
  }
}

void TAction::DeleteCookies(bool Enabled) {
  if (!Enabled) return;
  try {
    DeleteCacheEntries(IECache, spCookies);
    AddMessage("Succeeded in delete cookies.", "");
  } catch (...) {
    AddMessage("Delete cookies failed.", "");
  }
}

void TAction::DeleteHistory(bool Enabled) {
  if (!Enabled) return;
  try {
    IUnknown* Raw = nullptr;
    Check(CoCreateInstance(CLSID_UrlHistory, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                           IID_IUnknown, reinterpret_cast<void**>(&Raw)),
          "URL history store not available");
    TUnknownRef Object(Raw);
    IUrlHistoryStg2* History = nullptr;
    Check(Object.get()->QueryInterface(IID_UrlHistoryStg2, reinterpret_cast<void**>(&History)),
          "IUrlHistoryStg2 not supported");
    FUrlHistory.reset(History);
    // What the store clears is its own business; only a raised failure counts.
    FUrlHistory.get()->ClearHistory();
    AddMessage("Succeeded in delete internet history.", "");
  } catch (...) {
    AddMessage("Delete internet history failed.", "");
  }
}

void TAction::DeleteLocationBar(bool Enabled) {
  if (!Enabled) return;
  try {
    ClearKeyValues(HKEY_CURRENT_USER, TypedUrls, true);
    AddMessage("Succeeded in delete Location Bar.", "");
  } catch (const EOpenRegErrors&) {
    AddMessage("Delete location bar failed.", "");
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
