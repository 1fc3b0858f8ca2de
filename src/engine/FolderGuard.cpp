#include "engine/FolderGuard.h"

#include "win/FileHandle.h"
#include "win/WidePath.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace {

bool IsDriveAbsolute(std::wstring_view Path) {
  return Path.size() >= 3 && ((Path[0] | 0x20) >= L'a' && (Path[0] | 0x20) <= L'z') &&
         Path[1] == L':' && Path[2] == L'\\';
}

bool IsUnc(std::wstring_view Path) {
  return Path.size() >= 5 && Path[0] == L'\\' && Path[1] == L'\\' && Path[2] != L'?' &&
         Path[2] != L'.' && Path[2] != L'\\';
}

// "C:\" or "\\server\share" (with or without a backslash after it).
bool IsRoot(std::wstring_view Path) {
  if (IsDriveAbsolute(Path)) return Path.size() == 3;
  if (!IsUnc(Path)) return false;
  const auto Share = Path.find(L'\\', 2);
  if (Share == std::wstring_view::npos) return true;
  const auto After = Path.find(L'\\', Share + 1);
  return After == std::wstring_view::npos || After + 1 == Path.size();
}

std::wstring FullPath(const std::wstring& Path) {
  DWORD Needed = GetFullPathNameW(Path.c_str(), 0, nullptr, nullptr);
  if (!Needed) return {};
  std::wstring Full(Needed, L'\0');
  DWORD Len = GetFullPathNameW(Path.c_str(), Needed, Full.data(), nullptr);
  if (!Len || Len >= Needed) return {};
  Full.resize(Len);
  return Full;
}

std::wstring WithoutTrailingBackslash(std::wstring Path) {
  while (Path.size() > 3 && Path.back() == L'\\') Path.pop_back();
  return Path;
}


std::wstring LongForm(const std::wstring& Plain) {
  if (IsUnc(Plain)) return L"\\\\?\\UNC\\" + Plain.substr(2);
  return L"\\\\?\\" + Plain;
}

// Where a folder really is: its final path when it can be opened, else its
// full path as written.
std::wstring RealFolder(const std::wstring& Folder) {
  if (Folder.empty()) return {};
  const std::wstring Full = WithoutTrailingBackslash(FullPath(Folder));
  if (Full.empty()) return {};
  // Following links here: a known folder that is a link is protected where it leads.
  TFileHandle Handle(CreateFileW(LongForm(Full).c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (Handle)
    if (auto Final = FinalPathOf(Handle.get())) return WithoutTrailingBackslash(PlainPath(*Final));
  return Full;
}

std::wstring ShellFolder(int Csidl) {
  wchar_t Path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, Csidl | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT, Path)))
    return {};
  return Path;
}

std::wstring KnownFolder(REFKNOWNFOLDERID Id) {
  PWSTR Path = nullptr;
  std::wstring Result;
  if (SUCCEEDED(SHGetKnownFolderPath(Id, KF_FLAG_DONT_VERIFY, nullptr, &Path)) && Path) Result = Path;
  CoTaskMemFree(Path);
  return Result;
}

std::wstring SystemFolder(UINT(WINAPI* Get)(LPWSTR, UINT)) {
  wchar_t Path[MAX_PATH] = {};
  const UINT Len = Get(Path, MAX_PATH);
  return Len && Len < MAX_PATH ? std::wstring(Path, Len) : std::wstring();
}

std::wstring Environment(const wchar_t* Name) {
  wchar_t Value[MAX_PATH] = {};
  const DWORD Len = GetEnvironmentVariableW(Name, Value, MAX_PATH);
  return Len && Len < MAX_PATH ? std::wstring(Value, Len) : std::wstring();
}

struct TProtected {
  std::wstring Path;  // real folder
  const char* What;
  bool InsideToo;  // nothing below it may be swept either
};

std::vector<TProtected> ProtectedFolders() {
  std::vector<TProtected> List;
  auto Add = [&](const std::wstring& Folder, const char* What, bool InsideToo = false) {
    if (std::wstring Real = RealFolder(Folder); !Real.empty()) List.push_back({Real, What, InsideToo});
  };
  Add(SystemFolder(GetWindowsDirectoryW), "the Windows folder", true);
  Add(SystemFolder(GetSystemDirectoryW), "the system folder", true);
  Add(SystemFolder(GetSystemWow64DirectoryW), "the system folder", true);
  Add(ShellFolder(CSIDL_PROGRAM_FILES), "the Program Files folder", true);
  Add(ShellFolder(CSIDL_PROGRAM_FILESX86), "the Program Files folder", true);
  Add(Environment(L"ProgramW6432"), "the Program Files folder", true);
  Add(ShellFolder(CSIDL_COMMON_APPDATA), "the ProgramData folder");
  Add(KnownFolder(FOLDERID_UserProfiles), "the folder of all users' profiles");
  const std::wstring Profile = ShellFolder(CSIDL_PROFILE);
  Add(Profile, "the user's profile folder");
  Add(Environment(L"USERPROFILE"), "the user's profile folder");
  Add(KnownFolder(FOLDERID_Public), "the public profile", true);
  for (const wchar_t* OneDrive : {L"OneDrive", L"OneDriveConsumer", L"OneDriveCommercial"})
    Add(Environment(OneDrive), "OneDrive", true);
  if (!Profile.empty()) Add(Profile + L"\\AppData", "the user's AppData folder");
  Add(ShellFolder(CSIDL_APPDATA), "the user's AppData folder");
  Add(ShellFolder(CSIDL_LOCAL_APPDATA), "the user's AppData folder");
  Add(ShellFolder(CSIDL_DESKTOPDIRECTORY), "the user's Desktop folder");
  Add(ShellFolder(CSIDL_PERSONAL), "the user's Documents folder");
  Add(KnownFolder(FOLDERID_Downloads), "the user's Downloads folder");
  Add(ShellFolder(CSIDL_MYPICTURES), "the user's Pictures folder");
  Add(ShellFolder(CSIDL_MYMUSIC), "the user's Music folder");
  Add(ShellFolder(CSIDL_MYVIDEO), "the user's Videos folder");
  return List;
}

TFolderVerdict Refused(std::string Reason) { return {{}, std::move(Reason)}; }

// What may be swept inside the Windows folder: its Temp with all it holds,
// and its Prefetch folder itself (whose plan takes only old *.pf files), not
// a folder below it.
bool SweptInsideWindows(const std::wstring& Windows, const std::wstring& Real) {
  return PathHolds(Windows + L"\\Temp", Real) || SamePath(Windows + L"\\Prefetch", Real);
}


struct TIdentity {
  std::uint64_t Id = 0;
  std::uint32_t Volume = 0;
  bool operator==(const TIdentity&) const = default;
};

std::optional<TIdentity> IdentityOf(HANDLE Folder) {
  BY_HANDLE_FILE_INFORMATION Info;
  if (!GetFileInformationByHandle(Folder, &Info)) return std::nullopt;
  return TIdentity{(static_cast<std::uint64_t>(Info.nFileIndexHigh) << 32) | Info.nFileIndexLow,
                   Info.dwVolumeSerialNumber};
}

// The identity of the folder at a real path, opened without following a link.
std::optional<TIdentity> FolderIdentity(const std::wstring& Real) {
  TFileHandle Handle = OpenNoFollow(LongForm(Real), FILE_READ_ATTRIBUTES);
  if (!Handle) return std::nullopt;
  const auto Attributes = AttributesOf(Handle.get());
  if (!Attributes || !(*Attributes & FILE_ATTRIBUTE_DIRECTORY) || (*Attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return std::nullopt;
  return IdentityOf(Handle.get());
}

// The profile Windows keeps for this process's user (from the machine's list
// of profiles, not from the user's own folder values).
std::wstring OwnProfile() { return RealFolder(KnownFolder(FOLDERID_Profile)); }

// Where a sweep may go unasked.
bool Reachable(const std::wstring& Real, TSweepScope Scope) {
  const std::wstring Windows = RealFolder(SystemFolder(GetWindowsDirectoryW));
  if (!Windows.empty() && SweptInsideWindows(Windows, Real)) return true;
  const std::wstring Profile = OwnProfile();
  if (Profile.empty()) return false;
  if (Scope == TSweepScope::UserTemp) return PathHolds(RealFolder(Profile + L"\\AppData\\Local\\Temp"), Real);
  for (const wchar_t* Data : {L"\\AppData\\Local", L"\\AppData\\Roaming"}) {
    const std::wstring Base = RealFolder(Profile + Data);
    if (PathHolds(Base, Real) && !SamePath(Base, Real)) return true;
  }
  // The machine's error reports, for the administrator's item.
  const std::wstring Reports = RealFolder(ShellFolder(CSIDL_COMMON_APPDATA)) + L"\\Microsoft\\Windows\\WER";
  for (const wchar_t* Kept : {L"\\ReportArchive", L"\\ReportQueue", L"\\Temp"})
    if (PathHolds(Reports + Kept, Real)) return true;
  return false;
}

std::wstring AllowedKeyPath() { return Widen(AllowedFoldersKey); }

// Whether the user allowed Real, or a folder that holds it, and that folder
// is still the one allowed.
bool Consented(const std::wstring& Real) {
  HKEY Key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, AllowedKeyPath().c_str(), 0, KEY_QUERY_VALUE, &Key) != ERROR_SUCCESS)
    return false;
  bool Found = false;
  wchar_t Name[32768];
  for (DWORD Index = 0; !Found; ++Index) {
    DWORD NameLength = static_cast<DWORD>(std::size(Name)), Type = 0;
    TIdentity Stored;
    BYTE Data[sizeof Stored.Id + sizeof Stored.Volume];
    DWORD Size = sizeof Data;
    const LONG Rc = RegEnumValueW(Key, Index, Name, &NameLength, nullptr, &Type, Data, &Size);
    if (Rc == ERROR_NO_MORE_ITEMS) break;
    if (Rc != ERROR_SUCCESS || Type != REG_BINARY || Size != sizeof Data) continue;
    const std::wstring Allowed = WithoutTrailingBackslash(std::wstring(Name, NameLength));
    if (!PathHolds(Allowed, Real)) continue;
    std::memcpy(&Stored.Id, Data, sizeof Stored.Id);
    std::memcpy(&Stored.Volume, Data + sizeof Stored.Id, sizeof Stored.Volume);
    Found = FolderIdentity(Allowed) == Stored;
  }
  RegCloseKey(Key);
  return Found;
}

// What no consent opens: the protected folders, and a profile not the user's.
std::string ProtectedReason(const std::wstring& Real) {
  for (const TProtected& P : ProtectedFolders()) {
    if (SamePath(Real, P.Path)) return std::string("it is ") + P.What;
    if (PathHolds(Real, P.Path)) return std::string("it holds ") + P.What;
    if (P.InsideToo && PathHolds(P.Path, Real) &&
        !(std::string_view(P.What) == "the Windows folder" && SweptInsideWindows(P.Path, Real)))
      return std::string("it lies inside ") + P.What;
  }
  const std::wstring Users = RealFolder(KnownFolder(FOLDERID_UserProfiles)), Profile = OwnProfile();
  if (!Users.empty() && PathHolds(Users, Real) && !(!Profile.empty() && PathHolds(Profile, Real)))
    return "it lies inside another user's profile";
  return {};
}

// Where a named folder really lies and what it is, or why it is no folder a
// sweep could take: not absolute, missing, a link, a root, protected.
struct TJudged {
  std::wstring Real;
  TIdentity Identity;
  std::string Reason;
};

TJudged Judge(const std::string& Folder) {
  auto No = [](std::string Reason) { return TJudged{{}, {}, std::move(Reason)}; };
  if (Folder.empty()) return No("no folder is named");
  const std::wstring Given = Widen(Folder);
  if (!IsDriveAbsolute(Given) && !IsUnc(Given)) return No("it is not an absolute path");
  // What Windows makes of the name: "." and ".." resolved, trailing dots and
  // blanks dropped. The checks below judge that folder, and the sweep walks it.
  const std::wstring Full = WithoutTrailingBackslash(FullPath(Given));
  if (Full.empty()) return No("it is not a valid path");
  if (IsRoot(Full)) return No("it is a drive's root");

  // As its parent lists it: Wine's handles follow a Linux folder link, but
  // its listing shows the link.
  WIN32_FIND_DATAW Listed;
  TFindHandle Search(FindFirstFileExW(LongForm(Full).c_str(), FindExInfoBasic, &Listed,
                                      FindExSearchNameMatch, nullptr, 0));
  if (Search && (Listed.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return No("it is a link");

  TFileHandle Handle = OpenNoFollow(LongForm(Full), FILE_READ_ATTRIBUTES);
  if (!Handle) {
    const DWORD Error = GetLastError();
    if (Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND || Error == ERROR_BAD_NETPATH ||
        Error == ERROR_BAD_NET_NAME || Error == ERROR_INVALID_NAME)
      return No("it does not exist");
    return No("it cannot be opened (error " + std::to_string(Error) + ")");
  }
  const auto Attributes = AttributesOf(Handle.get());
  if (!Attributes) return No("its attributes cannot be read");
  if (!(*Attributes & FILE_ATTRIBUTE_DIRECTORY)) return No("it is not a folder");
  if (*Attributes & FILE_ATTRIBUTE_REPARSE_POINT) return No("it is a link");
  const auto Final = FinalPathOf(Handle.get());
  if (!Final) return No("where it lies cannot be told");
  const std::wstring Real = WithoutTrailingBackslash(PlainPath(*Final));
  if (IsRoot(Real)) return No("it is a drive's root");
  if (std::string Reason = ProtectedReason(Real); !Reason.empty()) return No(std::move(Reason));
  const std::optional<TIdentity> Identity = IdentityOf(Handle.get());
  if (!Identity) return No("its identity cannot be read");
  return {Real, *Identity, {}};
}

}  // namespace

const char* AllowedFoldersKey = "Software\\Vellumix\\AllowedFolders";

TFolderVerdict CheckSweptFolder(const std::string& Folder, TSweepScope Scope) {
  const TJudged Judged = Judge(Folder);
  if (!Judged.Reason.empty()) return Refused(Judged.Reason);
  if (!Reachable(Judged.Real, Scope) && !Consented(Judged.Real)) {
    TFolderVerdict Verdict = Refused(
        std::string(Scope == TSweepScope::UserTemp ? "it is not your own temporary folder"
                                                   : "it lies outside your own profile's AppData folders") +
        " (to sweep it all the same, allow it once: vellumix allow-folder \"" + Narrow(Judged.Real) + "\")");
    Verdict.NeedsConsent = true;
    return Verdict;
  }
  auto Name = NarrowExact(Judged.Real);
  if (!Name) return Refused("its name cannot be read exactly");
  return {*Name, {}, Judged.Identity.Id, Judged.Identity.Volume};
}

std::string AllowFolder(const std::string& Folder) {
  const TJudged Judged = Judge(Folder);
  if (!Judged.Reason.empty()) return Judged.Reason;
  BYTE Data[sizeof Judged.Identity.Id + sizeof Judged.Identity.Volume];
  std::memcpy(Data, &Judged.Identity.Id, sizeof Judged.Identity.Id);
  std::memcpy(Data + sizeof Judged.Identity.Id, &Judged.Identity.Volume, sizeof Judged.Identity.Volume);
  HKEY Key = nullptr;
  LONG Rc = RegCreateKeyExW(HKEY_CURRENT_USER, AllowedKeyPath().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &Key,
                            nullptr);
  if (Rc == ERROR_SUCCESS) {
    Rc = RegSetValueExW(Key, Judged.Real.c_str(), 0, REG_BINARY, Data, sizeof Data);
    RegCloseKey(Key);
  }
  return Rc == ERROR_SUCCESS ? std::string() : "the consent could not be stored (error " + std::to_string(Rc) + ")";
}

bool ForgetFolder(const std::string& Folder) {
  // By the name it was stored under, or by where the name leads now.
  std::vector<std::wstring> Names{WithoutTrailingBackslash(FullPath(Widen(Folder)))};
  if (const std::wstring Real = RealFolder(Widen(Folder)); !Real.empty()) Names.push_back(Real);
  bool Forgot = false;
  for (const std::wstring& Name : Names)
    Forgot = RegDeleteKeyValueW(HKEY_CURRENT_USER, AllowedKeyPath().c_str(), Name.c_str()) == ERROR_SUCCESS || Forgot;
  return Forgot;
}
