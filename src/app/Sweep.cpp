// The folder sweeps: the scanner reports every entry of a folder tree, files
// are deleted as they are found, folders when the sweep ends.
//
// Every swept folder passes the folder guard first. Nothing is ever deleted
// through a link: a junction, symbolic link or mount point met in a swept
// tree is neither entered (the scanner sees to that) nor removed, and every
// deletion goes through a handle checked to be the entry that was found. A
// file in use or protected simply stays.
#include "app/UMain.h"

#include "engine/FolderGuard.h"
#include "engine/SafeDelete.h"
#include "win/FileHandle.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <algorithm>
#include <optional>
#include <vector>

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
  WIN32_FILE_ATTRIBUTE_DATA Found;
  if (!GetFileAttributesExW(Path.c_str(), GetFileExInfoStandard, &Found)) return std::nullopt;
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

// The entries below Folder, links not entered; for the line of a sweep that
// was stopped.
std::uint64_t CountEntries(const std::string& Folder) {
  std::uint64_t Count = 0;
  std::vector<std::wstring> Pending{LongPath(Folder)};
  while (!Pending.empty()) {
    const std::wstring Path = std::move(Pending.back());
    Pending.pop_back();
    WIN32_FIND_DATAW Entry;
    TFindHandle Search(FindFirstFileExW((Path + L"\\*").c_str(), FindExInfoBasic, &Entry,
                                        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!Search) continue;
    do {
      const wchar_t* N = Entry.cFileName;
      if (N[0] == L'.' && (N[1] == 0 || (N[1] == L'.' && N[2] == 0))) continue;
      ++Count;
      if ((Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(Entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        Pending.push_back(Path + L"\\" + N);
    } while (FindNextFileW(Search.get(), &Entry));
  }
  return Count;
}

std::string Quoted(const std::string& Text) { return std::string(1, '"').append(Text).append(1, '"'); }

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
  FSweepStopped = false;
  Scanner.Execute();
}

void TMainForm::StopSweep() {
  if (!Scanner.Busy()) return;
  FSweepStopped = true;
  Scanner.Stop();
}

void TMainForm::ScannerFileFound(const std::string& AName, const std::string& APath,
                                 std::uint32_t AAttr, std::uint32_t, TDateTime) {
  try {
    // After the window has closed nothing is deleted: without the settings the
    // age rule could not be honoured.
    if (!Option || !FoldersToRemove) return;
    if (AAttr & FILE_ATTRIBUTE_REPARSE_POINT) return;  // a link: left alone
    const std::string Path = PathJoin(APath, AName);
    const std::wstring Wide = LongPath(Path);
    const bool Folder = AAttr & FILE_ATTRIBUTE_DIRECTORY;
    // Recently used entries stay only in the temporary folder, and only when asked.
    const bool AgeRule = Option->KeepTempFiles && FSweepIsTemp;
    if (AgeRule && !OutOfUse(Wide, Folder)) return;
    if (Folder) {
      FoldersToRemove->insert(Path);
      return;
    }
    DeleteFoundFile(Wide);  // in use, refused or a link: it stays
  } catch (...) {
    // Whatever fails here leaves the entry where it is; the sweep goes on.
  }
}

void TMainForm::ScannerProcessDone(std::uint32_t, std::uint32_t) {
  if (FSweepStopped) {
    // Stopped on the way out: what was found stays as it is, and the log says
    // how much of the tree is left.
    if (FoldersToRemove) FoldersToRemove->clear();
    if (Action)
      Action->AddMessage("Sweep stopped: " + std::to_string(CountEntries(Scanner.Directory)) +
                             " entries stayed in " + Quoted(Scanner.Directory) + ".",
                         "");
    return;
  }
  if (FoldersToRemove) {
    // The sorted list holds every folder before its sub-folders: backwards
    // removes the deepest first, and the second pass retries what is left.
    for (auto It = FoldersToRemove->rbegin(); It != FoldersToRemove->rend(); ++It)
      RemoveFoundFolder(LongPath(*It));
    for (const std::string& Folder : *FoldersToRemove) RemoveFoundFolder(LongPath(Folder));
    FoldersToRemove->clear();
  }
  if (Option && Action && Option->DelTempFiles && FSweepIsTemp) {
    Action->AddMessage("Succeeded in delete temporary files.", "");
    RefreshMemo();
  }
}

void TMainForm::HandOffFolder(const std::string& Folder, const std::string& What) {
  WaitForScanner();
  if (Closing()) return;
  const TFolderVerdict Verdict = CheckSweptFolder(Folder);
  if (!Verdict.Allowed()) {
    // Said in the log, and no line of success follows for a sweep that did not happen.
    std::string Line("Did not sweep ");
    if (!What.empty()) Line.append(What).append(Folder.empty() ? "" : " ");
    if (What.empty() || !Folder.empty()) Line.append("\"").append(Folder).append("\"");
    Line.append(": ").append(Verdict.Reason).append(".");
    Action->AddMessage(Line, "");
    RefreshMemo();
    return;
  }
  FSweepIsTemp = Folder == TempFolder();
  SweepFolder(Verdict.Folder);
}
