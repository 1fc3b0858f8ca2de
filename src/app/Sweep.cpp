// The temporary-files sweep: the scanner reports every entry of a folder tree,
// files are deleted as they are found, folders when the sweep ends.
//
// Nothing is ever deleted through a link: a junction, symbolic link or mount
// point met in a swept tree is neither entered (the scanner sees to that) nor
// removed, so what lies behind it stays. Failures are silent: a file in use or
// protected simply stays.
#include "app/UMain.h"

#include "win/Shell.h"
#include "win/WidePath.h"

#include <algorithm>
#include <optional>

namespace {

// Recently used entries of the temporary folder stay for this long.
constexpr ULONGLONG KeepFor = 8ULL * 24 * 60 * 60 * 10'000'000;  // 100-ns units

ULONGLONG ToInteger(const FILETIME& Time) {
  return (static_cast<ULONGLONG>(Time.dwHighDateTime) << 32) | Time.dwLowDateTime;
}

// The UTC time that tells whether an entry is recent: a folder's creation; a
// file's last access or last write, whichever is newer (Windows no longer keeps
// access times up to date, so a file written yesterday may look long unused).
// Nothing when the entry cannot be found.
std::optional<ULONGLONG> RecentUse(const std::wstring& Path, bool Folder) {
  WIN32_FIND_DATAW Found;
  TFindHandle Search(FindFirstFileExW(Path.c_str(), FindExInfoBasic, &Found, FindExSearchNameMatch,
                                      nullptr, 0));
  if (!Search) return std::nullopt;
  if (Folder) return ToInteger(Found.ftCreationTime);
  return std::max(ToInteger(Found.ftLastAccessTime), ToInteger(Found.ftLastWriteTime));
}

// Older than the limit, strictly: an entry used exactly eight days ago stays,
// and so does one whose times cannot be read.
bool OutOfUse(const std::wstring& Path, bool Folder) {
  FILETIME Now;
  GetSystemTimeAsFileTime(&Now);
  const ULONGLONG Limit = ToInteger(Now) - KeepFor;
  const auto Used = RecentUse(Path, Folder);
  return Used && Limit > *Used;
}

void DeleteFound(const std::wstring& Path) {
  if (DeleteFileW(Path.c_str()) || GetLastError() != ERROR_ACCESS_DENIED) return;
  // Read-only: normal attributes, then once more.
  if (SetFileAttributesW(Path.c_str(), FILE_ATTRIBUTE_NORMAL)) DeleteFileW(Path.c_str());
}

void RemoveFolder(const std::string& Folder) noexcept try {
  const std::wstring Path = WidePath(Folder);
  const DWORD Attributes = GetFileAttributesW(Path.c_str());
  // Looked at again now: a folder replaced by a link since it was found stays.
  if (Attributes == INVALID_FILE_ATTRIBUTES || !(Attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (Attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return;
  SetFileAttributesW(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(Path.c_str());  // fails while something stayed inside
} catch (...) {
  // The folder stays.
}

}  // namespace

void TMainForm::CreateScanner() {
  // Moved in rather than assigned from literals: GCC 12 warns falsely on the latter.
  Scanner.Directory = std::string("C:\\windows\\temp");
  Scanner.Files = std::string("*");
  Scanner.ScanStrategy = ssSpecifiedDir;
  Scanner.ScanDrives = {sdHard, sdRAM};
  Scanner.Attributes = {};
  Scanner.Recursive = true;
  Scanner.Priority = tpTimeCritical;
  Scanner.OnFileFound = [this](const std::string& AName, const std::string& APath,
                               std::uint32_t AAttr, std::uint32_t ASize, TDateTime ADateTime) {
    ScannerFileFound(AName, APath, AAttr, ASize, ADateTime);
  };
  Scanner.OnProcessDone = [this](std::uint32_t ACount, std::uint32_t ASize) {
    ScannerProcessDone(ACount, ASize);
  };
}

void TMainForm::WaitForScanner() {
  // Sleeps between the scanner's hand-offs and keeps the window responsive.
  Application.WaitWhile([this] { return Scanner.Busy(); });
}

void TMainForm::SweepFolder(const std::string& Folder) {
  Scanner.Directory = Folder;
  Scanner.Execute();
}

void TMainForm::ScannerFileFound(const std::string& AName, const std::string& APath,
                                 std::uint32_t AAttr, std::uint32_t, TDateTime) {
  try {
    // After the window has closed nothing is deleted: without the settings the
    // age rule could not be honoured.
    if (!Option || !FoldersToRemove) return;
    if (AAttr & FILE_ATTRIBUTE_REPARSE_POINT) return;  // a link: left alone
    const std::string Path = PathJoin(APath, AName);
    const std::wstring Wide = WidePath(Path);
    const bool Folder = AAttr & FILE_ATTRIBUTE_DIRECTORY;
    // Recently used entries stay only in the temporary folder, and only when asked.
    const bool AgeRule = Option->KeepTempFiles && Scanner.Directory == TempFolder();
    if (AgeRule && !OutOfUse(Wide, Folder)) return;
    if (Folder)
      FoldersToRemove->insert(Path);
    else
      DeleteFound(Wide);
  } catch (...) {
    // Whatever fails here leaves the entry where it is; the sweep goes on.
  }
}

void TMainForm::ScannerProcessDone(std::uint32_t, std::uint32_t) {
  if (FoldersToRemove) {
    // The sorted list holds every folder before its sub-folders: backwards
    // removes the deepest first, and the second pass retries what is left.
    for (auto It = FoldersToRemove->rbegin(); It != FoldersToRemove->rend(); ++It)
      RemoveFolder(*It);
    for (const std::string& Folder : *FoldersToRemove) RemoveFolder(Folder);
    FoldersToRemove->clear();
  }
  if (Option && Action && Option->DelTempFiles && Scanner.Directory == TempFolder()) {
    Action->AddMessage("Succeeded in delete temporary files.", "");
    RefreshMemo();
  }
}
