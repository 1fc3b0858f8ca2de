#include "engine/FolderGuard.h"

#include "win/FileHandle.h"
#include "win/WidePath.h"

#include <shlobj.h>

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
  const std::wstring Profile = ShellFolder(CSIDL_PROFILE);
  Add(Profile, "the user's profile folder");
  Add(Environment(L"USERPROFILE"), "the user's profile folder");
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

}  // namespace

TFolderVerdict CheckSweptFolder(const std::string& Folder) {
  if (Folder.empty()) return Refused("no folder is named");
  const std::wstring Given = Widen(Folder);
  if (!IsDriveAbsolute(Given) && !IsUnc(Given)) return Refused("it is not an absolute path");
  // What Windows makes of the name: "." and ".." resolved, trailing dots and
  // blanks dropped. The checks below judge that folder, and the sweep walks it.
  const std::wstring Full = WithoutTrailingBackslash(FullPath(Given));
  if (Full.empty()) return Refused("it is not a valid path");
  if (IsRoot(Full)) return Refused("it is a drive's root");

  // As its parent lists it: Wine's handles follow a Linux folder link, but
  // its listing shows the link.
  WIN32_FIND_DATAW Listed;
  TFindHandle Search(FindFirstFileExW(LongForm(Full).c_str(), FindExInfoBasic, &Listed,
                                      FindExSearchNameMatch, nullptr, 0));
  if (Search && (Listed.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return Refused("it is a link");

  TFileHandle Handle = OpenNoFollow(LongForm(Full), FILE_READ_ATTRIBUTES);
  if (!Handle) {
    const DWORD Error = GetLastError();
    if (Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND || Error == ERROR_BAD_NETPATH ||
        Error == ERROR_BAD_NET_NAME || Error == ERROR_INVALID_NAME)
      return Refused("it does not exist");
    return Refused("it cannot be opened (error " + std::to_string(Error) + ")");
  }
  const auto Attributes = AttributesOf(Handle.get());
  if (!Attributes) return Refused("its attributes cannot be read");
  if (!(*Attributes & FILE_ATTRIBUTE_DIRECTORY)) return Refused("it is not a folder");
  if (*Attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Refused("it is a link");
  const auto Final = FinalPathOf(Handle.get());
  if (!Final) return Refused("where it lies cannot be told");
  const std::wstring Real = WithoutTrailingBackslash(PlainPath(*Final));
  if (IsRoot(Real)) return Refused("it is a drive's root");

  for (const TProtected& P : ProtectedFolders()) {
    if (SamePath(Real, P.Path)) return Refused(std::string("it is ") + P.What);
    if (PathHolds(Real, P.Path)) return Refused(std::string("it holds ") + P.What);
    if (P.InsideToo && PathHolds(P.Path, Real) &&
        !(std::string_view(P.What) == "the Windows folder" && SweptInsideWindows(P.Path, Real)))
      return Refused(std::string("it lies inside ") + P.What);
  }
  auto Name = NarrowExact(Real);
  if (!Name) return Refused("its name cannot be read exactly");
  return {*Name, {}};
}
