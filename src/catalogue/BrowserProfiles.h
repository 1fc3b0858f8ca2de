#pragma once
// Where the browsers keep their profiles, and whether one is in use: one
// table of browsers, the Chromium family sharing one layout under their own
// data folders, Firefox its own.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class TLayout { Chromium, Firefox };

struct TBrowser {
  const char* Key;   // the first part of its items' ids: "chrome"
  const char* Name;  // as the log and the options name it: "Google Chrome"
  TLayout Layout;
  bool Roaming;      // its data folder lies below %APPDATA%, else below %LOCALAPPDATA%
  const char* Data;  // the data folder below that: "Google\Chrome\User Data"
  // Below %LOCALAPPDATA%, where a roaming browser keeps its caches; none: in
  // the profile itself.
  const char* LocalData = nullptr;
  // Its data folder is itself the one profile, beside any profile folders.
  bool DataIsProfile = false;
  // Said after "it is running" when a browser can run with no window.
  const char* RunningHint = "";
  // Its policies' key below Software\Policies, where an administrator may
  // move its data (UserDataDir) or its disk cache (DiskCacheDir); none: unknown.
  const char* PolicyKey = nullptr;
};

struct TProfile {
  std::string Name;    // "Default", "Profile 1"; Firefox: its name in profiles.ini
  std::string Folder;  // where its databases lie
  std::string Cache;   // where its caches lie (most often Folder)
  std::string Lock;    // the file a running browser holds
};

// The browsers, in the order their items follow.
inline constexpr std::size_t BrowserCount = 8;
std::span<const TBrowser> Browsers();
const TBrowser* FindBrowser(std::string_view Key);

// The browser's data folder ("...\User Data", "...\Mozilla\Firefox") and the
// local one of a roaming browser; empty when the shell cannot name the base.
std::string BrowserDataFolder(const TBrowser& Browser);
std::string BrowserLocalFolder(const TBrowser& Browser);
// A folder a policy sets for the browser (Setting: "UserDataDir",
// "DiskCacheDir"), from the machine's policies, then the user's; empty when none.
std::string BrowserPolicyFolder(const TBrowser& Browser, const char* Setting);
// Whether its data folder exists.
bool BrowserPresent(const TBrowser& Browser);
// Its profiles whose folders exist. Chromium: the keys of Local State's
// profile.info_cache, or, when that cannot be read, "Default" and
// "Profile *". Firefox: the profiles of profiles.ini, relative and absolute.
std::vector<TProfile> BrowserProfiles(const TBrowser& Browser);
// Whether a browser holds the profile's lock file now. Chromium holds
// "User Data\lockfile" open for writing, sharing reading only, and deletes it
// at exit; Firefox holds "parent.lock" sharing nothing and leaves it behind,
// so only a refused open tells. Never waits, never changes the file.
bool ProfileInUse(const TBrowser& Browser, const TProfile& Profile);

// The profile folder names of a Local State file; nothing when it cannot be
// read or has no profile list. Names that are no plain folder name are left out.
std::optional<std::vector<std::string>> LocalStateProfiles(std::string_view Json);
// Every "url" of a Bookmarks file; nothing when it cannot be read.
std::optional<std::vector<std::string>> BookmarkedUrls(std::string_view Json);
struct TIniProfile {
  std::string Name, Path;  // Path with backslashes
  bool Relative = true;
};
// The [Profile*] sections of profiles.ini that name a path.
std::vector<TIniProfile> FirefoxIniProfiles(std::string_view Ini);

// A whole file's bytes, when it exists, is no link and holds at most Limit bytes.
std::optional<std::string> ReadWholeFile(const std::string& Path, std::size_t Limit);

// Tests: the folders that stand for %APPDATA% and %LOCALAPPDATA%; empty: the
// shell's own.
void SetBrowserBaseFolders(std::string Roaming, std::string Local);
