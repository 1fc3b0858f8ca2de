// The folder sweeps: a worker walks a folder tree into a plan and cleans it,
// while the window keeps answering and shows how far it has come. No entry
// is handed to the window: the window reads the worker's counters.
//
// Every swept folder passes the folder guard first. Nothing is ever deleted
// through a link: a junction, symbolic link or mount point met in a swept
// tree is neither entered nor removed, and every deletion goes through a
// handle checked to be the entry that was found. A file in use or protected
// simply stays, and is counted.
#include "app/UMain.h"

#include "engine/FolderGuard.h"
#include "win/Application.h"
#include "win/FileHandle.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <vector>

namespace {

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

void TMainForm::WaitForScanner() {
  // Keeps the window answering; the status line follows the worker.
  Application.WaitWhile([this] {
    const bool Ended = FinishSweep();
    if (OnSweepWait) OnSweepWait();
    if (!Ended) ShowProgress(FSweepLabel);
    return !Ended;
  });
}

bool TMainForm::SweepBusy() const noexcept { return FSweepRunning; }

void TMainForm::SweepFolder(const TFolderVerdict& Verdict) {
  const std::string& Folder = Verdict.Folder;
  FSweepFolder = Folder;
  FSweepLabel = FProgressItem;
  FSweepStopped = false;
  FSweepTally = {};
  SweepProgress.Reset();
  // Recently used entries stay only in the temporary folder, and only when asked.
  const TTreeRules Rules = Option && Option->KeepTempFiles && FSweepIsTemp ? KeepRecentlyUsed() : TTreeRules{};
  FSweepRunning = true;
  if (OnSweepStart) OnSweepStart(Folder);
  const HWND Window = Handle();
  FSweeper.Start(
      [this, Root = LongPath(Folder), Rules, Id = Verdict.Id, Volume = Verdict.Volume] {
        TTreePlan Plan = PlanTree(Root, Rules, SweepProgress, Id, Volume);
        if (SweepProgress.Cancelled()) return;
        SweepProgress.BeginClean(SweepProgress.Entries, SweepProgress.Bytes);
        CleanTree(Plan, SweepProgress, FSweepTally);
      },
      [Window] { PostMessageW(Window, SweepDoneMessage, 0, 0); });
}

void TMainForm::StopSweep() {
  // Also ends a preview's clean, which works with the same counters.
  SweepProgress.Cancel();
  if (FSweepRunning) FSweepStopped = true;
}

bool TMainForm::FinishSweep() {
  if (!FSweepRunning) return true;
  if (!FSweeper.Finished()) return false;
  FSweepRunning = false;
  try {
    FSweeper.Rethrow();
  } catch (const std::exception& E) {
    // What it had removed counts; the rest stays, and the log says why.
    if (Action) {
      Action->AddMessage("Could not sweep " + Quoted(FSweepFolder) + ": " + E.what(), "");
      ++FSweepTally.Refused;
    }
  }
  SweepDone();
  return true;
}

void TMainForm::SweepDone() {
  if (FSweepStopped) {
    // Stopped on the way: what it had not reached stays as it is, and the log
    // says how much of the tree is left.
    if (Action)
      Action->AddMessage("Sweep stopped: " + std::to_string(CountEntries(FSweepFolder)) + " entries stayed in " +
                             Quoted(FSweepFolder) + ".",
                         "");
    return;
  }
  if (Action) Action->Tally += FSweepTally;
  if (Option && Action && Option->DelTempFiles && FSweepIsTemp) {
    Action->AddMessage("Succeeded in delete temporary files.", "");
    RefreshMemo();
  }
}

void TMainForm::HandOffFolder(const std::string& Folder, const std::string& What) {
  WaitForScanner();
  if (Closing()) return;
  const bool Temp = Folder == TempFolder();
  const TFolderVerdict Verdict = CheckSweptFolder(Folder, Temp ? TSweepScope::UserTemp : TSweepScope::UserData);
  if (!Verdict.Allowed()) {
    // Said in the log, and no line of success follows for a sweep that did not happen.
    std::string Line("Did not sweep ");
    if (!What.empty()) Line.append(What).append(Folder.empty() ? "" : " ");
    if (What.empty() || !Folder.empty()) Line.append("\"").append(Folder).append("\"");
    Line.append(": ").append(Verdict.Reason).append(".");
    Action->AddMessage(Line, "");
    ++Action->Tally.Refused;
    RefreshMemo();
    return;
  }
  FSweepIsTemp = Temp;
  SweepFolder(Verdict);
}
