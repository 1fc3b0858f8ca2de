#include "catalogue/BrowserProfiles.h"

#include "catalogue/Json.h"
#include "win/FileHandle.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace {

using enum TLayout;

// Opera's data folder is the profile itself ("Opera Stable"), and its caches
// lie in the folder of the same name below %LOCALAPPDATA% (so Opera's own
// settings page shows them); later versions may add profile folders beside
// the first, which Local State then lists as for the other browsers.
const TBrowser BrowserTable[] = {
    {"chrome", "Google Chrome", Chromium, false, "Google\\Chrome\\User Data", nullptr, false, "", "Google\\Chrome"},
    {"edge", "Microsoft Edge", Chromium, false, "Microsoft\\Edge\\User Data", nullptr, false,
     " (its start-up boost can keep it running with no window open)", "Microsoft\\Edge"},
    {"firefox", "Mozilla Firefox", Firefox, true, "Mozilla\\Firefox", "Mozilla\\Firefox"},
    {"brave", "Brave", Chromium, false, "BraveSoftware\\Brave-Browser\\User Data", nullptr, false, "",
     "BraveSoftware\\Brave"},
    {"vivaldi", "Vivaldi", Chromium, false, "Vivaldi\\User Data"},
    {"opera", "Opera", Chromium, true, "Opera Software\\Opera Stable", "Opera Software\\Opera Stable", true},
    // Opera GX keeps its data the same way, beside Opera's own.
    {"opera_gx", "Opera GX", Chromium, true, "Opera Software\\Opera GX Stable", "Opera Software\\Opera GX Stable", true},
    {"chromium", "Chromium", Chromium, false, "Chromium\\User Data", nullptr, false, "", "Chromium"},
};

static_assert(std::size(BrowserTable) == BrowserCount);

std::string RoamingOverride, LocalOverride;

std::string BaseFolder(bool Roaming) {
  const std::string& Override = Roaming ? RoamingOverride : LocalOverride;
  if (!Override.empty()) return Override;
  return SpecialFolder(Roaming ? CSIDL_APPDATA : CSIDL_LOCAL_APPDATA);
}

std::string Below(const std::string& Base, std::string_view Relative) {
  if (Base.empty()) return {};
  return Base + (Base.back() == '\\' ? "" : "\\") + std::string(Relative);
}

bool IsFolder(const std::string& Path) {
  if (Path.empty()) return false;
  const DWORD Attributes = GetFileAttributesW(LongPath(Path).c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// One name of a folder: no separators, no drive, not "." or "..".
bool PlainName(std::string_view Name) {
  return !Name.empty() && Name != "." && Name != ".." && Name.find_first_of("\\/:") == std::string_view::npos;
}

// A path of plain names joined by backslashes.
bool PlainRelative(std::string_view Path) {
  for (std::size_t Start = 0;;) {
    const std::size_t End = Path.find('\\', Start);
    if (!PlainName(Path.substr(Start, End - Start))) return false;
    if (End == std::string_view::npos) return true;
    Start = End + 1;
  }
}

bool PlainAbsolute(std::string_view Path) {
  if (Path.size() > 3 && std::isalpha(static_cast<unsigned char>(Path[0])) && Path[1] == ':' && Path[2] == '\\')
    return PlainRelative(Path.substr(3));
  if (Path.size() > 2 && Path.substr(0, 2) == "\\\\") return PlainRelative(Path.substr(2));
  return false;
}

std::string Trimmed(std::string_view Text) {
  const auto First = Text.find_first_not_of(" \t\r");
  if (First == std::string_view::npos) return {};
  const auto Last = Text.find_last_not_of(" \t\r");
  return std::string(Text.substr(First, Last - First + 1));
}

void CollectUrls(const TJsonValue& Value, std::vector<std::string>& Urls) {
  for (const auto& [Key, Member] : Value.Members) {
    if (Key == "url" && Member.Kind == TJsonValue::TKind::String) Urls.push_back(Member.Text);
    CollectUrls(Member, Urls);
  }
  for (const TJsonValue& Item : Value.Items) CollectUrls(Item, Urls);
}

void AddProfile(std::vector<TProfile>& Profiles, TProfile Profile) {
  if (!IsFolder(Profile.Folder)) return;
  for (const TProfile& Known : Profiles)
    if (SamePath(Widen(Known.Folder), Widen(Profile.Folder))) return;
  Profiles.push_back(std::move(Profile));
}

std::vector<TProfile> ChromiumProfiles(const TBrowser& Browser) {
  const std::string Data = BrowserDataFolder(Browser);
  const std::string Local = BrowserLocalFolder(Browser);
  const std::string Lock = Below(Data, "lockfile");
  std::vector<TProfile> Profiles;
  if (Data.empty()) return Profiles;
  if (Browser.DataIsProfile)
    AddProfile(Profiles, {Data.substr(Data.rfind('\\') + 1), Data, Local.empty() ? Data : Local, Lock});

  std::optional<std::vector<std::string>> Names;
  if (auto Text = ReadWholeFile(Below(Data, "Local State"), 64 << 20)) Names = LocalStateProfiles(*Text);
  if (!Names) {
    // Local State unreadable: the folders Chromium names its profiles by.
    Names.emplace();
    WIN32_FIND_DATAW Found;
    TFindHandle Search(FindFirstFileExW((LongPath(Data) + L"\\*").c_str(), FindExInfoBasic, &Found,
                                        FindExSearchLimitToDirectories, nullptr, 0));
    if (Search) do {
        const std::optional<std::string> Name = NarrowExact(Found.cFileName);
        if (!Name || !(Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (*Name == "Default" || Name->rfind("Profile ", 0) == 0) Names->push_back(*Name);
      } while (FindNextFileW(Search.get(), &Found));
    std::sort(Names->begin(), Names->end());
  }
  for (const std::string& Name : *Names)
    AddProfile(Profiles, {Name, Below(Data, Name), Local.empty() ? Below(Data, Name) : Below(Local, Name), Lock});
  return Profiles;
}

std::vector<TProfile> FirefoxProfiles(const TBrowser& Browser) {
  const std::string Data = BrowserDataFolder(Browser);
  const std::string Local = BrowserLocalFolder(Browser);
  std::vector<TProfile> Profiles;
  if (Data.empty()) return Profiles;
  const std::optional<std::string> Ini = ReadWholeFile(Below(Data, "profiles.ini"), 1 << 20);
  if (!Ini) return Profiles;
  for (const TIniProfile& Entry : FirefoxIniProfiles(*Ini)) {
    TProfile Profile;
    Profile.Name = Entry.Name.empty() ? Entry.Path : Entry.Name;
    if (Entry.Relative) {
      if (!PlainRelative(Entry.Path)) continue;
      Profile.Folder = Below(Data, Entry.Path);
      Profile.Cache = Local.empty() ? Profile.Folder : Below(Local, Entry.Path);
    } else {
      if (!PlainAbsolute(Entry.Path)) continue;
      // An absolute profile keeps its caches in itself.
      Profile.Folder = Profile.Cache = Entry.Path;
    }
    Profile.Lock = Below(Profile.Folder, "parent.lock");
    AddProfile(Profiles, std::move(Profile));
  }
  return Profiles;
}

}  // namespace

std::span<const TBrowser> Browsers() { return BrowserTable; }

const TBrowser* FindBrowser(std::string_view Key) {
  for (const TBrowser& Browser : BrowserTable)
    if (Key == Browser.Key) return &Browser;
  return nullptr;
}

std::string BrowserDataFolder(const TBrowser& Browser) { return Below(BaseFolder(Browser.Roaming), Browser.Data); }

std::string BrowserLocalFolder(const TBrowser& Browser) {
  return Browser.LocalData ? Below(BaseFolder(false), Browser.LocalData) : std::string();
}

std::string BrowserPolicyFolder(const TBrowser& Browser, const char* Setting) {
  if (!Browser.PolicyKey) return {};
  const std::wstring Key = L"Software\\Policies\\" + Widen(Browser.PolicyKey), Name = Widen(Setting);
  for (HKEY Root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    wchar_t Value[1024];
    DWORD Size = sizeof Value;
    // Expandable strings stay as written: what matters is that one is set.
    if (RegGetValueW(Root, Key.c_str(), Name.c_str(), RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                     Value, &Size) == ERROR_SUCCESS &&
        Value[0])
      return Narrow(Value);
  }
  return {};
}

bool BrowserPresent(const TBrowser& Browser) { return IsFolder(BrowserDataFolder(Browser)); }

std::vector<TProfile> BrowserProfiles(const TBrowser& Browser) {
  return Browser.Layout == Firefox ? FirefoxProfiles(Browser) : ChromiumProfiles(Browser);
}

bool ProfileInUse(const TBrowser& Browser, const TProfile& Profile) {
  // Chromium's lock shares reading only, so asking to write is what its
  // holder refuses; Firefox's shares nothing, so reading is enough.
  const DWORD Access = Browser.Layout == Chromium ? GENERIC_WRITE : GENERIC_READ;
  TFileHandle Lock = OpenNoFollow(LongPath(Profile.Lock), Access);
  if (Lock) return false;
  const DWORD Error = GetLastError();
  // Anything but "not there" counts as in use: a wrong guess only skips.
  return Error != ERROR_FILE_NOT_FOUND && Error != ERROR_PATH_NOT_FOUND;
}

std::optional<std::vector<std::string>> LocalStateProfiles(std::string_view Json) {
  const std::optional<TJsonValue> State = ParseJson(Json);
  if (!State) return std::nullopt;
  const TJsonValue* Profile = State->Member("profile");
  const TJsonValue* Cache = Profile ? Profile->Member("info_cache") : nullptr;
  if (!Cache || Cache->Kind != TJsonValue::TKind::Object) return std::nullopt;
  std::vector<std::string> Names;
  for (const auto& [Name, Info] : Cache->Members)
    if (PlainName(Name)) Names.push_back(Name);
  return Names;
}

std::optional<std::vector<std::string>> BookmarkedUrls(std::string_view Json) {
  const std::optional<TJsonValue> Bookmarks = ParseJson(Json);
  if (!Bookmarks) return std::nullopt;
  std::vector<std::string> Urls;
  CollectUrls(*Bookmarks, Urls);
  return Urls;
}

std::vector<TIniProfile> FirefoxIniProfiles(std::string_view Ini) {
  if (Ini.substr(0, 3) == "\xEF\xBB\xBF") Ini.remove_prefix(3);
  std::vector<TIniProfile> Profiles;
  TIniProfile Current;
  bool InProfile = false;
  auto Finish = [&] {
    if (InProfile && !Current.Path.empty()) Profiles.push_back(Current);
    Current = {};
  };
  for (std::size_t Start = 0; Start <= Ini.size();) {
    std::size_t End = Ini.find('\n', Start);
    if (End == std::string_view::npos) End = Ini.size();
    const std::string Line = Trimmed(Ini.substr(Start, End - Start));
    Start = End + 1;
    if (Line.empty() || Line[0] == ';' || Line[0] == '#') continue;
    if (Line.front() == '[' && Line.back() == ']') {
      Finish();
      std::string Section = Line.substr(1, Line.size() - 2);
      std::transform(Section.begin(), Section.end(), Section.begin(), [](unsigned char C) { return std::tolower(C); });
      InProfile = Section.rfind("profile", 0) == 0;
      continue;
    }
    const std::size_t Equals = Line.find('=');
    if (!InProfile || Equals == std::string::npos) continue;
    const std::string Key = Trimmed(std::string_view(Line).substr(0, Equals));
    const std::string Value = Trimmed(std::string_view(Line).substr(Equals + 1));
    if (Key == "Name") Current.Name = Value;
    else if (Key == "IsRelative") Current.Relative = Value != "0";
    else if (Key == "Path") {
      Current.Path = Value;
      std::replace(Current.Path.begin(), Current.Path.end(), '/', '\\');
      while (Current.Path.size() > 3 && Current.Path.back() == '\\') Current.Path.pop_back();
    }
  }
  Finish();
  return Profiles;
}

std::optional<std::string> ReadWholeFile(const std::string& Path, std::size_t Limit) {
  TFileHandle File = OpenNoFollow(LongPath(Path), GENERIC_READ);
  if (!File) return std::nullopt;
  const std::optional<DWORD> Attributes = AttributesOf(File.get());
  LARGE_INTEGER Size{};
  if (!Attributes || (*Attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
      !GetFileSizeEx(File.get(), &Size) || static_cast<std::uint64_t>(Size.QuadPart) > Limit)
    return std::nullopt;
  std::string Bytes(static_cast<std::size_t>(Size.QuadPart), '\0');
  DWORD Read = 0;
  if (!Bytes.empty() && (!ReadFile(File.get(), Bytes.data(), static_cast<DWORD>(Bytes.size()), &Read, nullptr) ||
                         Read != Bytes.size()))
    return std::nullopt;
  return Bytes;
}

void SetBrowserBaseFolders(std::string Roaming, std::string Local) {
  RoamingOverride = std::move(Roaming);
  LocalOverride = std::move(Local);
}
