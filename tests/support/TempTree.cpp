#include "support/TempTree.h"

#include "support/Windows.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <vector>

namespace {

// The wide functions throughout, so that trees deeper than MAX_PATH can be built.
void CreateFolders(const std::string& Path) {
  for (std::size_t Pos = Path.find('\\', 3); Pos != std::string::npos; Pos = Path.find('\\', Pos + 1))
    CreateDirectoryW(WidePath(Path.substr(0, Pos)).c_str(), nullptr);
  CreateDirectoryW(WidePath(Path).c_str(), nullptr);
}

// Runs a Linux program of /bin through Wine's Z: drive. Wine starts such a
// program detached, so the caller waits for its effect, not for the process.
bool RunUnix(const std::string& Tool, const std::string& Arguments) {
  std::string Program = "Z:\\bin\\" + Tool;
  std::string CommandLine = Tool + " " + Arguments;
  STARTUPINFOA Startup{};
  Startup.cb = sizeof Startup;
  PROCESS_INFORMATION Info{};
  if (!CreateProcessA(Program.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &Startup, &Info))
    return false;
  WaitForSingleObject(Info.hProcess, 5000);
  CloseHandle(Info.hThread);
  CloseHandle(Info.hProcess);
  return true;
}

std::string Quoted(const std::string& S) { return "\"" + S + "\""; }

}  // namespace

TTempTree::TTempTree(const std::string& Name) : FPath(TempFolder() + "\\VellumixTest\\" + Name) {
  RemoveTree(FPath);
  CreateFolders(FPath);
}

TTempTree::~TTempTree() { RemoveTree(FPath); }

std::string TTempTree::Folder(const std::string& Relative) const {
  std::string Path = (*this)[Relative];
  CreateFolders(Path);
  return Path;
}

std::string TTempTree::File(const std::string& Relative, const std::string& Content) const {
  std::string Path = (*this)[Relative];
  CreateFolders(Path.substr(0, Path.rfind('\\')));
  HANDLE File = CreateFileW(WidePath(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File != INVALID_HANDLE_VALUE) {
    DWORD Written;
    WriteFile(File, Content.data(), static_cast<DWORD>(Content.size()), &Written, nullptr);
    CloseHandle(File);
  }
  return Path;
}

void RemoveTree(const std::string& Path) {
  // The long form, unnormalised: names such as "x." or "con" go too.
  const std::wstring Wide = LongPath(Path);
  DWORD Attributes = GetFileAttributesW(Wide.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) return;
  if (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    std::string Unix = UnixPath(Path);
    if (!Unix.empty() && RunUnix("rm", "-f " + Quoted(Unix)))
      WaitUntil([&] { return GetFileAttributesW(Wide.c_str()) == INVALID_FILE_ATTRIBUTES; }, 5s);
    return;
  }
  if (!(Attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (IsFileLink(Path)) {
      // Wine shows a Linux link to a file as a plain file, and deleting it
      // would delete its target: the link goes from Linux.
      RunUnix("rm", "-f " + Quoted(UnixPath(Path)));
      WaitUntil([&] { return GetFileAttributesW(Wide.c_str()) == INVALID_FILE_ATTRIBUTES; }, 5s);
      return;
    }
    SetFileAttributesW(Wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(Wide.c_str());
    return;
  }
  std::vector<std::string> Names;
  WIN32_FIND_DATAW Entry;
  HANDLE Search = FindFirstFileW(LongPath(Path + "\\*").c_str(), &Entry);
  if (Search != INVALID_HANDLE_VALUE) {
    do {
      std::string Name = Narrow(Entry.cFileName);
      if (Name != "." && Name != "..") Names.push_back(Name);
    } while (FindNextFileW(Search, &Entry));
    FindClose(Search);
  }
  for (const std::string& Name : Names) RemoveTree(Path + "\\" + Name);
  SetFileAttributesW(Wide.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(Wide.c_str());
}

bool SetLastWriteTime(const std::string& Path, const SYSTEMTIME& Utc) {
  FILETIME Time;
  if (!SystemTimeToFileTime(&Utc, &Time)) return false;
  HANDLE File = CreateFileW(WidePath(Path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (File == INVALID_HANDLE_VALUE) return false;
  BOOL Ok = SetFileTime(File, nullptr, nullptr, &Time);
  CloseHandle(File);
  return Ok != FALSE;
}

std::string UnixPath(const std::string& Path) {
  using TGetUnixName = char*(CDECL*)(LPCWSTR);
  auto GetUnixName = reinterpret_cast<TGetUnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
  if (!GetUnixName) return {};
  const std::wstring Wide = Widen(Path);
  char* Unix = GetUnixName(Wide.c_str());
  if (!Unix) return {};
  std::string Result = Unix;
  HeapFree(GetProcessHeap(), 0, Unix);
  return Result;
}

bool IsFileLink(const std::string& Path) {
  if (UnixPath(Path).empty()) return false;
  HANDLE File = CreateFileW(WidePath(Path).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (File == INVALID_HANDLE_VALUE) return false;
  wchar_t Final[1024];
  const DWORD Len = GetFinalPathNameByHandleW(File, Final, 1024, VOLUME_NAME_DOS);
  CloseHandle(File);
  if (!Len || Len >= 1024) return false;
  // Where the file really is differs from where it was found.
  const std::wstring Real(Final + 4, Len - 4), Found = Widen(Path);
  return CompareStringOrdinal(Real.c_str(), -1, Found.c_str(), -1, TRUE) != CSTR_EQUAL;
}

bool MakeFolderLink(const std::string& Link, const std::string& Target) {
  // The link's own Unix path is that of its folder plus its name: the link
  // itself does not exist yet.
  const std::size_t Slash = Link.rfind('\\');
  std::string Folder = UnixPath(Link.substr(0, Slash));
  std::string To = UnixPath(Target);
  if (Folder.empty() || To.empty()) return false;
  if (!RunUnix("ln", "-s " + Quoted(To) + " " + Quoted(Folder + "/" + Link.substr(Slash + 1))))
    return false;
  return WaitUntil([&] { return GetFileAttributesA(Link.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5s);
}
