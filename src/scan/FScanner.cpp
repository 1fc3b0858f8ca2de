#include "scan/FScanner.h"

#include "win/Application.h"
#include "win/FileHandle.h"
#include "win/WidePath.h"

#include <algorithm>
#include <cstring>
#include <iterator>

std::string PathJoin(const std::string& Folder, const std::string& Name) {
  if (Folder.empty()) return Name;
  if (Folder.back() == '\\') return Folder + Name;
  return Folder + '\\' + Name;
}

namespace {

int WindowsPriority(TThreadPriority Priority) {
  switch (Priority) {
    case tpIdle: return THREAD_PRIORITY_IDLE;
    case tpLowest: return THREAD_PRIORITY_LOWEST;
    case tpLower: return THREAD_PRIORITY_BELOW_NORMAL;
    case tpNormal: return THREAD_PRIORITY_NORMAL;
    case tpHigher: return THREAD_PRIORITY_ABOVE_NORMAL;
    case tpHighest: return THREAD_PRIORITY_HIGHEST;
    case tpTimeCritical: return THREAD_PRIORITY_TIME_CRITICAL;
  }
  return THREAD_PRIORITY_NORMAL;
}

long long ToInteger(const FILETIME& Time) {
  return static_cast<long long>((static_cast<unsigned long long>(Time.dwHighDateTime) << 32) |
                                Time.dwLowDateTime);
}

// What FileTimeToLocalFileTime adds: the current bias, whatever the date. Under
// Wine every conversion asks the server, which would cost more than the rest of
// a report, so it is asked once per folder.
long long CurrentLocalOffset() {
  FILETIME Utc, Local;
  GetSystemTimeAsFileTime(&Utc);
  if (!FileTimeToLocalFileTime(&Utc, &Local)) return 0;
  return ToInteger(Local) - ToInteger(Utc);
}

// Last-write time (UTC) as local date and time, in the two-second steps of a
// DOS time; 0 when it cannot be converted (before 1980 or after 2107).
TDateTime LocalDateTime(const FILETIME& Utc, long long LocalOffset) {
  const long long Local = ToInteger(Utc) + LocalOffset;
  if (ToInteger(Utc) < 0 || Local < 0) return 0;
  FILETIME LocalTime{static_cast<DWORD>(Local), static_cast<DWORD>(Local >> 32)};
  WORD Date, Time;
  if (!FileTimeToDosDateTime(&LocalTime, &Date, &Time)) return 0;
  return EncodeDate((Date >> 9) + 1980, (Date >> 5) & 15, Date & 31) +
         EncodeTime(Time >> 11, (Time >> 5) & 63, (Time & 31) * 2);
}

// The "\\?\" form of a folder the scan enters; "C:" (a drive as the scan
// names it) is its root.
std::wstring FolderPath(const std::string& Folder) {
  if (Folder.size() == 2 && Folder[1] == ':') return LongPath(Folder + "\\");
  if (Folder.size() >= 3 && (Folder[1] == ':' || (Folder[0] == '\\' && Folder[1] == '\\')))
    return LongPath(Folder);
  // Relative: as the current folder resolves it.
  std::wstring Wide = Widen(Folder);
  wchar_t Full[MAX_PATH * 4];
  const DWORD Len = GetFullPathNameW(Wide.c_str(), static_cast<DWORD>(std::size(Full)), Full, nullptr);
  return Len && Len < std::size(Full) ? LongPath(Narrow(std::wstring_view(Full, Len))) : Wide;
}

bool IsDotEntry(const wchar_t* Name) {
  return Name[0] == L'.' && (Name[1] == 0 || (Name[1] == L'.' && Name[2] == 0));
}

}  // namespace

// --- TScanThread -----------------------------------------------------------

TScanThread::TScanThread(const TBaseScanner& Scanner)
    : FRecursive(Scanner.Recursive),
      FAttributeMask(Scanner.Attributes.Bits()),
      FFiles(Scanner.Files),
      FDirectory(Scanner.Directory),
      FScanDrives(Scanner.ScanDrives),
      FScanStrategy(Scanner.ScanStrategy),
      FOnProcess(Scanner.OnProcess),
      FOnFileFound(Scanner.OnFileFound) {}

void TScanThread::Start(TThreadPriority Priority) {
  // The thread holds its own reference, so the object outlives the scanner's
  // interest in it until the thread function has returned.
  auto* Self = new std::shared_ptr<TScanThread>(shared_from_this());
  HANDLE Thread = CreateThread(nullptr, 0, ThreadProc, Self, CREATE_SUSPENDED, nullptr);
  if (!Thread) {
    delete Self;
    throw Exception("The scan thread could not be created");
  }
  FHandle.reset(Thread);
  SetThreadPriority(Thread, WindowsPriority(Priority));
  ResumeThread(Thread);
}

DWORD WINAPI TScanThread::ThreadProc(LPVOID Param) {
  std::unique_ptr<std::shared_ptr<TScanThread>> Self(static_cast<std::shared_ptr<TScanThread>*>(Param));
  (*Self)->Run();
  return 0;
}

void TScanThread::Run() {
  Execute();
  // The end notification. Nothing may leave the thread function: the scanner
  // reports a failing OnProcessDone itself, so whatever still comes back here
  // has nobody left to tell.
  try {
    FSync.Call([this] {
      if (FDetached || !OnTerminate) return;
      FInHandOff = true;
      try {
        OnTerminate(*this);
      } catch (...) {
        FInHandOff = false;
        throw;
      }
      FInHandOff = false;
    });
  } catch (...) {
  }
}

void TScanThread::Detach() noexcept { FDetached = true; }

void TScanThread::WaitFor() {
  if (FHandle) WaitForThreadServingCalls(FHandle.get());
}

void TScanThread::Execute() {
  FErrorFlag = 0;
  try {
    Scan();
  } catch (const std::exception& E) {
    FCurrent = E.what();
    FErrorFlag = -1;
  } catch (...) {
    FCurrent = "Unknown failure";
    FErrorFlag = -1;
  }
}

void TScanThread::Scan() {
  TMaskList Masks;
  ParseMaskList(Masks, FFiles);
  FMasks = &Masks;
  struct TForget {
    const TMaskList*& Masks;
    ~TForget() { Masks = nullptr; }
  } Forget{FMasks};

  switch (FScanStrategy) {
    case ssGlobal:
      ScanDrives();
      break;
    case ssSpecifiedDisk:
      // "D:\Data" searches all of D: from its root.
      ScanFolder(FDirectory.substr(0, 2));
      break;
    case ssSpecifiedDir:
      ScanFolder(FDirectory);
      break;
  }
}

void TScanThread::ScanDrives() {
  const DWORD Drives = GetLogicalDrives();
  for (int Letter = 0; Letter < 26 && !FTerminated; ++Letter) {
    if (!(Drives & (DWORD{1} << Letter))) continue;
    const char Root[] = {static_cast<char>('a' + Letter), ':', '\\', 0};
    TScanDrive Kind;
    switch (GetDriveTypeA(Root)) {
      case DRIVE_REMOVABLE: Kind = sdFloppy; break;
      case DRIVE_FIXED: Kind = sdHard; break;
      case DRIVE_REMOTE: Kind = sdNetwork; break;
      case DRIVE_CDROM: Kind = sdCDROM; break;
      case DRIVE_RAMDISK: Kind = sdRAM; break;
      default: continue;
    }
    if (FScanDrives.Contains(Kind)) ScanFolder(std::string{static_cast<char>('A' + Letter), ':'});
  }
}

void TScanThread::ScanFolder(const std::string& Folder) {
  // An explicit stack, not recursion: Windows allows trees thousands of levels
  // deep, and a frame per level would overflow the thread's stack. The folders
  // still to enter, the next one last; each folder is listed whole before its
  // sub-folders are entered, so at most one search is open at a time.
  std::vector<std::string> Pending{Folder};
  bool Root = true;
  while (!Pending.empty() && !FTerminated && !FErrorFlag) {
    std::string Next = std::move(Pending.back());
    Pending.pop_back();
    const std::size_t Mark = Pending.size();
    ListFolder(Next, Root, Pending);
    Root = false;
    std::reverse(Pending.begin() + static_cast<std::ptrdiff_t>(Mark), Pending.end());
  }
}

void TScanThread::ListFolder(const std::string& Folder, bool Root, std::vector<std::string>& SubFolders) {
  if (FErrorFlag) return;
  FLocalOffset = CurrentLocalOffset();
  FCurrent = Folder;
  Synchronize(&TScanThread::DoProcess);

  // Entered only as the folder that was listed: one swapped for a link since
  // is not followed. The handle, shared for reading and writing but not for
  // deleting, keeps it from being renamed or replaced while it is listed.
  const std::wstring Path = FolderPath(Folder);
  TFileHandle Pin = OpenNoFollow(Path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!Pin) return;
  const auto Attributes = AttributesOf(Pin.get());
  if (!Attributes || !(*Attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (*Attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    ++FSkipped;
    return;
  }
  if (!Root && !HandleLeadsTo(Pin.get(), Path)) {
    ++FSkipped;
    return;
  }

  // The wide search: names longer than an ANSI find record holds, and paths
  // deeper than MAX_PATH, are found like any other.
  WIN32_FIND_DATAW Entry;
  TFindHandle Search(FindFirstFileExW((Path + (Path.back() == L'\\' ? L"*" : L"\\*")).c_str(),
                                      FindExInfoBasic, &Entry, FindExSearchNameMatch, nullptr,
                                      FIND_FIRST_EX_LARGE_FETCH));
  if (!Search) return;
  do {
    // After a failure nothing more is reported or entered, so the open
    // searches end here instead of running out silently.
    if (FTerminated || FErrorFlag) break;
    if (IsDotEntry(Entry.cFileName)) continue;
    // A name that cannot be carried exactly (an unpaired surrogate) is
    // skipped, never approximated: an approximation may name another entry.
    auto Name = NarrowExact(Entry.cFileName);
    if (!Name) {
      ++FSkipped;
      continue;
    }
    if ((Entry.dwFileAttributes & FAttributeMask) == FAttributeMask &&
        MatchesMaskList(*Name, *FMasks)) {
      FFound = Entry;
      FFoundName = *Name;
      FCurrent = Folder;
      if (!FErrorFlag) SyncFileFound();
    }
    // Masks and attributes select reports; they never prune the descent. A
    // junction or folder link is reported but not entered: it may lead out
    // of the tree, or back into it.
    if (FRecursive && (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(Entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      SubFolders.push_back(PathJoin(Folder, *Name));
    std::memset(&FFound, 0, sizeof FFound);
    FFoundName.clear();
  } while (FindNextFileW(Search.get(), &Entry));
}

void TScanThread::Synchronize(void (TScanThread::*Method)()) {
  FSync.Call([this, Method] {
    if (FDetached) return;
    FInHandOff = true;
    try {
      (this->*Method)();
    } catch (...) {
      FInHandOff = false;
      throw;
    }
    FInHandOff = false;
  });
}

void TScanThread::SyncFileFound() { Synchronize(&TScanThread::DoFileFound); }

void TScanThread::DoProcess() {
  if (FOnProcess) FOnProcess(FFoundCount, FFoundSize, FCurrent, 0, 0);
}

void TScanThread::DoFileFound() {
  if (!FOnFileFound) return;
  const unsigned long long Size =
      (static_cast<unsigned long long>(FFound.nFileSizeHigh) << 32) | FFound.nFileSizeLow;
  const std::uint32_t Size32 = Size > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(Size);
  ++FFoundCount;
  FFoundSize += Size32;  // wraps, like the count
  // A time that cannot be converted is reported as 0; the scan goes on.
  FOnFileFound(FFoundName, FCurrent, FFound.dwFileAttributes, Size32,
               LocalDateTime(FFound.ftLastWriteTime, FLocalOffset));
}

// --- TBaseScanner ----------------------------------------------------------

TBaseScanner::TBaseScanner() {
  OnProcess = [this](std::uint32_t ACount, std::uint32_t ASize, const std::string& ACurrent,
                     std::uint32_t ACurrentSize, std::uint32_t ACurrentPos) {
    DoProcess(ACount, ASize, ACurrent, ACurrentSize, ACurrentPos);
  };
  OnFileFound = [this](const std::string& AName, const std::string& APath, std::uint32_t AAttr,
                       std::uint32_t ASize, TDateTime ADateTime) {
    DoFileFound(AName, APath, AAttr, ASize, ADateTime);
  };
}

TBaseScanner::~TBaseScanner() {
  if (!FThread) return;
  std::shared_ptr<TScanThread> Thread = std::move(FThread);
  Thread->Detach();
  Thread->Terminate();
  // Destroyed from one of this scan's own handlers the thread cannot end
  // before we return; detached, it ends by itself without reporting.
  if (!Thread->InHandOff()) Thread->WaitFor();
}

std::shared_ptr<TScanThread> TBaseScanner::CreateScanThread() {
  return std::make_shared<TScanThread>(*this);
}

void TBaseScanner::Execute() {
  if (FThread) return;
  AttachMainThread();
  FThread = CreateScanThread();
  if (!FThread) return;
  FThread->OnTerminate = [this](TScanThread& Thread) { ThreadDone(Thread); };
  try {
    FThread->Start(Priority);
  } catch (...) {
    FThread.reset();
    throw;
  }
}

void TBaseScanner::WaitFor() {
  if (!FThread || FThread->InHandOff()) return;
  std::shared_ptr<TScanThread> Thread = FThread;  // the end report drops ours
  Thread->WaitFor();
}

void TBaseScanner::Stop() {
  if (FThread) FThread->Terminate();
}

void TBaseScanner::DoProcess(std::uint32_t, std::uint32_t, const std::string&, std::uint32_t,
                             std::uint32_t) {}

void TBaseScanner::DoFileFound(const std::string&, const std::string&, std::uint32_t,
                               std::uint32_t, TDateTime) {}

void TBaseScanner::ThreadDone(TScanThread& Thread) {
  // The handler may destroy the scanner: call a copy, and touch nothing of
  // ours afterwards if it did (destruction detaches the thread).
  const TDoProcessDone Done = OnProcessDone;
  std::exception_ptr Failure;
  if (Done) {
    try {
      Done(Thread.FoundCount(), Thread.FoundSize());
    } catch (...) {
      Failure = std::current_exception();
    }
  }
  if (Thread.Detached()) return;  // the scanner is gone
  // Only now is the scanner idle: a scan started from OnProcessDone is ignored.
  FThread.reset();
  // What the handler raised reaches the application's error box.
  if (Failure) Guarded([&] { std::rethrow_exception(Failure); });
}
