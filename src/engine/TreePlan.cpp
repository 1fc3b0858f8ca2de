#include "engine/TreePlan.h"

#include "win/FileHandle.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

// NTSTATUS values the clean tells apart.
constexpr NTSTATUS StatusBufferOverflow = static_cast<NTSTATUS>(0x80000005);
constexpr NTSTATUS StatusAccessDenied = static_cast<NTSTATUS>(0xC0000022);
constexpr NTSTATUS StatusNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS StatusPathNotFound = static_cast<NTSTATUS>(0xC000003A);
constexpr NTSTATUS StatusSharingViolation = static_cast<NTSTATUS>(0xC0000043);
constexpr NTSTATUS StatusLockConflict = static_cast<NTSTATUS>(0xC0000054);
constexpr NTSTATUS StatusDeletePending = static_cast<NTSTATUS>(0xC0000056);
constexpr NTSTATUS StatusCannotDelete = static_cast<NTSTATUS>(0xC0000121);
constexpr NTSTATUS StatusIsADirectory = static_cast<NTSTATUS>(0xC00000BA);

// The attributes that belong to an entry's identity; the archive bit and the
// like come and go without the entry changing.
constexpr DWORD IdentityAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                                     FILE_ATTRIBUTE_REPARSE_POINT;

std::uint64_t ToInteger(const LARGE_INTEGER& Value) { return static_cast<std::uint64_t>(Value.QuadPart); }

// Wine shows a Linux link to a file as a plain file, and opening it opens
// the file it points to: only where the handle really leads tells it apart.
// Windows opens a link itself when asked not to follow it, so no more is
// needed there.
bool FileLinksLookPlain() {
  static const bool Wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return Wine;
}

std::optional<std::uint64_t> FileIdOf(HANDLE Handle) {
  IO_STATUS_BLOCK Io{};
  FILE_INTERNAL_INFORMATION Info{};
  if (NtQueryInformationFile(Handle, &Io, &Info, sizeof Info, FileInternalInformation) != 0)
    return std::nullopt;
  return ToInteger(Info.IndexNumber);
}

std::uint32_t VolumeOf(HANDLE Handle) {
  DWORD Serial = 0;
  if (!GetVolumeInformationByHandleW(Handle, nullptr, 0, &Serial, nullptr, nullptr, nullptr, 0)) return 0;
  return Serial;
}

enum class TOpened { Ok, Vanished, Changed };

// Opens a folder of the tree to list it or to open its files: not through a
// link, shared for reading and writing but not deletion (so it cannot be
// renamed or replaced while it is held), and only when it is still the
// folder with Id (any, when Id is nothing) on Volume (any, when 0).
TOpened OpenFolder(const std::wstring& Path, std::optional<std::uint64_t> Id, std::uint32_t Volume,
                   TFileHandle& Pin) {
  Pin = OpenNoFollow(Path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!Pin) {
    const DWORD Error = GetLastError();
    return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND ? TOpened::Vanished : TOpened::Changed;
  }
  bool Same;
  if (Id && *Id != 0) {
    // The identity alone tells: a link, or what a link leads to, is another object.
    Same = FileIdOf(Pin.get()) == Id;
  } else {
    // The root, or a file system that gives no file IDs: a folder, no link,
    // and (below the root) where its path says.
    const auto Attributes = AttributesOf(Pin.get());
    Same = Attributes && (*Attributes & FILE_ATTRIBUTE_DIRECTORY) && !(*Attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (Same && Id) Same = HandleLeadsTo(Pin.get(), Path);
  }
  if (Same && Volume) Same = VolumeOf(Pin.get()) == Volume;
  if (!Same) Pin.reset();
  return Same ? TOpened::Ok : TOpened::Changed;
}

bool IsDotEntry(std::wstring_view Name) { return Name == L"." || Name == L".."; }

// Calls Each for every entry of the open folder, as the folder lists itself
// through the handle (no second open by path).
template <class TEach>
void ListFolder(HANDLE Folder, std::vector<std::uint64_t>& Buffer, TEach&& Each) {
  const auto Bytes = static_cast<DWORD>(Buffer.size() * sizeof(std::uint64_t));
  while (GetFileInformationByHandleEx(Folder, FileIdBothDirectoryInfo, Buffer.data(), Bytes)) {
    auto* At = reinterpret_cast<const std::byte*>(Buffer.data());
    for (;;) {
      const auto& Info = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(At);
      const std::wstring_view Name(Info.FileName, Info.FileNameLength / sizeof(wchar_t));
      if (!IsDotEntry(Name) && !Each(Info, Name)) return;
      if (!Info.NextEntryOffset) break;
      At += Info.NextEntryOffset;
    }
  }
}

// Out of use: older than the limit, strictly.
bool InUseLately(const FILE_ID_BOTH_DIR_INFO& Info, bool Folder, const TTreeRules& Rules) {
  if (!Rules.KeepFor) return false;
  const std::uint64_t Used = Folder ? ToInteger(Info.CreationTime)
                                    : std::max(ToInteger(Info.LastAccessTime), ToInteger(Info.LastWriteTime));
  const std::uint64_t Limit = Rules.Now > Rules.KeepFor ? Rules.Now - Rules.KeepFor : 0;
  return !(Limit > Used);
}

using TOutcome = TEntryOutcome;

TOutcome OpenFailure(NTSTATUS Status) {
  switch (Status) {
    case StatusNameNotFound:
    case StatusPathNotFound:
    case StatusDeletePending: return TOutcome::Vanished;
    case StatusSharingViolation:
    case StatusLockConflict: return TOutcome::InUse;
    case StatusIsADirectory: return TOutcome::Changed;
    default: return TOutcome::Refused;
  }
}

NTSTATUS MarkForDeletion(HANDLE File) {
  // The plain form: the Ex form (POSIX semantics) is missing before Windows 10
  // and refused by Wine; this one is honoured when the handle closes.
  IO_STATUS_BLOCK Io{};
  FILE_DISPOSITION_INFORMATION Info{TRUE};
  return NtSetInformationFile(File, &Io, &Info, sizeof Info, FileDispositionInformation);
}

bool SetAttributes(HANDLE File, DWORD Attributes) {
  IO_STATUS_BLOCK Io{};
  FILE_BASIC_INFORMATION Info{};  // zero times: left as they are
  Info.FileAttributes = Attributes ? Attributes : FILE_ATTRIBUTE_NORMAL;
  return NtSetInformationFile(File, &Io, &Info, sizeof Info, FileBasicInformation) == 0;
}

// Deletes the open entry, lifting read-only just for its deletion.
TOutcome Delete(HANDLE File, DWORD Attributes) {
  NTSTATUS Status = MarkForDeletion(File);
  if (Status == StatusCannotDelete && (Attributes & FILE_ATTRIBUTE_READONLY)) {
    if (!SetAttributes(File, Attributes & ~FILE_ATTRIBUTE_READONLY)) return TOutcome::Refused;
    Status = MarkForDeletion(File);
    if (Status != 0) SetAttributes(File, Attributes);
  }
  if (Status == 0) return TOutcome::Removed;
  if (Status == StatusCannotDelete || Status == StatusSharingViolation) return TOutcome::InUse;
  return TOutcome::Refused;
}

class TNtHandle {
public:
  TNtHandle() = default;
  ~TNtHandle() {
    if (Handle) NtClose(Handle);
  }
  TNtHandle(const TNtHandle&) = delete;
  TNtHandle& operator=(const TNtHandle&) = delete;
  HANDLE Handle = nullptr;
};

// One file of the plan, in its open folder: opened by its name relative to
// that folder, not following a link, and deleted only while it is the file
// the plan recorded.
TOutcome CleanFile(HANDLE Folder, const std::wstring& FolderPath, const TTreePlan& Plan,
                   const TTreePlan::TEntry& Entry) {
  const std::wstring_view Name = Plan.NameOf(Entry);
  UNICODE_STRING Relative{static_cast<USHORT>(Name.size() * sizeof(wchar_t)),
                          static_cast<USHORT>(Name.size() * sizeof(wchar_t)), const_cast<wchar_t*>(Name.data())};
  OBJECT_ATTRIBUTES Object;
  InitializeObjectAttributes(&Object, &Relative, OBJ_CASE_INSENSITIVE, Folder, nullptr);
  // Writing attributes only where read-only has to be lifted: some files may
  // be deleted by a user who may not change them.
  const ACCESS_MASK Access = DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE |
                             ((Entry.Attributes & FILE_ATTRIBUTE_READONLY) ? FILE_WRITE_ATTRIBUTES : 0);
  IO_STATUS_BLOCK Io{};
  TNtHandle File;
  const NTSTATUS Opened = NtCreateFile(&File.Handle, Access, &Object, &Io, nullptr, 0,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                                       FILE_OPEN_REPARSE_POINT | FILE_NON_DIRECTORY_FILE |
                                           FILE_SYNCHRONOUS_IO_NONALERT,
                                       nullptr, 0);
  if (Opened != 0) {
    File.Handle = nullptr;
    return OpenFailure(Opened);
  }
  // Its identity, through the handle: one query, whose name part may not fit.
  union {
    FILE_ALL_INFORMATION Info;
    std::byte Room[sizeof(FILE_ALL_INFORMATION) + 1024];
  } All;
  const NTSTATUS Queried = NtQueryInformationFile(File.Handle, &Io, &All, sizeof All, FileAllInformation);
  if (Queried != 0 && Queried != StatusBufferOverflow) return TOutcome::Refused;
  const DWORD Attributes = All.Info.BasicInformation.FileAttributes;
  if (ToInteger(All.Info.InternalInformation.IndexNumber) != Entry.Id ||
      ToInteger(All.Info.StandardInformation.EndOfFile) != Entry.Size ||
      ToInteger(All.Info.BasicInformation.LastWriteTime) != Entry.LastWrite ||
      (Attributes & IdentityAttributes) != (Entry.Attributes & IdentityAttributes))
    return TOutcome::Changed;
  if (All.Info.StandardInformation.NumberOfLinks > 1) return TOutcome::OtherNames;
  if (FileLinksLookPlain()) {
    std::wstring Path = FolderPath;
    if (Path.back() != L'\\') Path += L'\\';
    Path.append(Name);
    // The query above brought the name along when it fitted.
    const FILE_NAME_INFORMATION& Named = All.Info.NameInformation;
    const bool Leads = Queried == 0 ? NameLeadsTo({Named.FileName, Named.FileNameLength / sizeof(wchar_t)}, Path)
                                    : HandleLeadsTo(File.Handle, Path);
    if (!Leads) return TOutcome::Refused;
  }
  return Delete(File.Handle, Attributes);
}

// A folder of the plan, removed only when it is still that folder and empty
// at that moment (checked through the handle that removes it).
TOutcome RemoveFolder(const TTreePlan& Plan, const TTreePlan::TEntry& Entry) {
  TFileHandle Folder = OpenNoFollow(Plan.FolderPath(Entry.Self),
                                    DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
  if (!Folder) return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND
                          ? TOutcome::Vanished
                          : TOutcome::Refused;
  const auto Attributes = AttributesOf(Folder.get());
  if (!Attributes || (*Attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(*Attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      FileIdOf(Folder.get()) != Entry.Id || VolumeOf(Folder.get()) != Plan.Volume)
    return TOutcome::Changed;
  std::vector<std::uint64_t> Buffer(512);
  bool Empty = true;
  ListFolder(Folder.get(), Buffer, [&](const FILE_ID_BOTH_DIR_INFO&, std::wstring_view) { return Empty = false; });
  return Empty ? Delete(Folder.get(), *Attributes) : TOutcome::NotEmpty;
}

void CountOutcome(TOutcome Outcome, const TTreePlan::TEntry& Entry, TTally& Tally) {
  switch (Outcome) {
    case TOutcome::Removed:
      ++Tally.Files;
      Tally.Bytes += Entry.Size;
      break;
    case TOutcome::Vanished: break;
    case TOutcome::InUse: ++Tally.InUse; break;
    case TOutcome::Changed: ++Tally.Changed; break;
    case TOutcome::Refused:
    case TOutcome::OtherNames: ++Tally.Refused; break;
    case TOutcome::NotTried:
    case TOutcome::NotEmpty: break;
  }
}

}  // namespace

TTreeRules KeepRecentlyUsed() {
  FILETIME Now;
  GetSystemTimeAsFileTime(&Now);
  return {8ULL * 24 * 60 * 60 * 10'000'000, (static_cast<std::uint64_t>(Now.dwHighDateTime) << 32) | Now.dwLowDateTime};
}

std::wstring TTreePlan::FolderPath(std::uint32_t Folder) const {
  std::vector<std::uint32_t> Chain;
  for (std::uint32_t At = Folder; At != 0; At = Folders[At].Parent) Chain.push_back(At);
  std::wstring Path = Root;
  for (auto It = Chain.rbegin(); It != Chain.rend(); ++It) {
    if (Path.back() != L'\\') Path += L'\\';
    Path.append(Names.data() + Folders[*It].NameAt, Folders[*It].NameLength);
  }
  return Path;
}

std::wstring TTreePlan::PathOf(const TEntry& Entry) const {
  std::wstring Path = FolderPath(Entry.Folder);
  if (Path.back() != L'\\') Path += L'\\';
  return Path.append(NameOf(Entry));
}

std::uint64_t TTreePlan::TickedBytes() const {
  std::uint64_t Bytes = 0;
  for (const TEntry& Entry : Entries)
    if (Entry.Ticked && !Entry.IsFolder()) Bytes += Entry.Size;
  return Bytes;
}

std::uint64_t TTreePlan::TickedFiles() const {
  return static_cast<std::uint64_t>(
      std::count_if(Entries.begin(), Entries.end(), [](const TEntry& E) { return E.Ticked && !E.IsFolder(); }));
}

TTreePlan PlanTree(const std::wstring& Root, const TTreeRules& Rules, TProgress& Progress, std::uint64_t RootId,
                   std::uint32_t RootVolume) {
  TTreePlan Plan;
  Plan.Root = Root;
  Plan.Folders.emplace_back();
  TFileHandle Pin;
  if (OpenFolder(Root, std::nullopt, 0, Pin) != TOpened::Ok) return Plan;
  // The folder the guard judged, reached by the same path: a junction put on
  // the way since then leads to another one, which is not walked.
  if ((RootId && FileIdOf(Pin.get()) != RootId) || (RootVolume && VolumeOf(Pin.get()) != RootVolume)) {
    Plan.RootChanged = true;
    return Plan;
  }
  Plan.Folders[0].Id = FileIdOf(Pin.get()).value_or(0);
  Plan.Volume = VolumeOf(Pin.get());

  std::vector<std::uint64_t> Buffer(8 * 1024);  // 64 KB of listing per call
  // The folders still to list, the next one last: each folder is listed whole
  // before its sub-folders, so one listing is open at a time.
  std::vector<std::uint32_t> Pending{0};
  while (!Pending.empty() && !Progress.Cancelled()) {
    const std::uint32_t Folder = Pending.back();
    Pending.pop_back();
    // The identity of each folder is checked on the way in; its volume only
    // by the clean, which needs it (a walk never leaves the volume it began on).
    if (Folder != 0 && OpenFolder(Plan.FolderPath(Folder), Plan.Folders[Folder].Id, 0, Pin) != TOpened::Ok) {
      ++Plan.Skipped;
      continue;
    }
    const std::size_t Mark = Pending.size();
    ListFolder(Pin.get(), Buffer, [&](const FILE_ID_BOTH_DIR_INFO& Info, std::wstring_view Name) {
      if (!Progress.Next()) return false;
      // A junction, symbolic link or mount point is neither entered nor
      // removed: it may lead out of the tree, or back into it.
      if (Info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
      if (Name.size() > 0xFFFF || Plan.Names.size() + Name.size() > 0xFFFFFFFFu) {
        ++Plan.Skipped;
        return true;
      }
      const bool IsFolder = Info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY;
      if (Folder == 0 && Rules.Take && !Rules.Take(Name, IsFolder)) return true;
      const auto NameAt = static_cast<std::uint32_t>(Plan.Names.size());
      Plan.Names.insert(Plan.Names.end(), Name.begin(), Name.end());
      TTreePlan::TEntry Entry;
      Entry.Id = ToInteger(Info.FileId);
      Entry.Folder = Folder;
      Entry.NameAt = NameAt;
      Entry.NameLength = static_cast<std::uint16_t>(Name.size());
      Entry.Attributes = Info.FileAttributes;
      Entry.LastWrite = ToInteger(Info.LastWriteTime);
      if (IsFolder) {
        Entry.Self = static_cast<std::uint32_t>(Plan.Folders.size());
        Plan.Folders.push_back({Entry.Id, Folder, NameAt, Entry.NameLength});
        Pending.push_back(Entry.Self);
      } else {
        Entry.Size = ToInteger(Info.EndOfFile);
      }
      // Recently used entries stay out of the plan; a recent folder is still
      // walked, and what is old inside it is not.
      if (!InUseLately(Info, IsFolder, Rules)) {
        Plan.Entries.push_back(Entry);
        Progress.Count(Entry.Size);
      }
      return true;
    });
    std::reverse(Pending.begin() + static_cast<std::ptrdiff_t>(Mark), Pending.end());
  }
  return Plan;
}

void CleanTree(const TTreePlan& Plan, TProgress& Progress, TTally& Tally, std::vector<TEntryOutcome>* Outcomes) {
  // Each thread writes the outcomes of its own entries only.
  if (Outcomes) Outcomes->assign(Plan.Entries.size(), TEntryOutcome::NotTried);
  // Files, in runs of one folder's entries that several threads take in turn:
  // each deletion waits mostly on the file system (under Wine on its server),
  // so a few at once finish sooner than one after the other.
  constexpr std::size_t RunLength = 128;
  std::vector<std::pair<std::size_t, std::size_t>> Runs;
  for (std::size_t At = 0; At < Plan.Entries.size();) {
    std::size_t End = At + 1;
    while (End < Plan.Entries.size() && End - At < RunLength && Plan.Entries[End].Folder == Plan.Entries[At].Folder)
      ++End;
    Runs.emplace_back(At, End);
    At = End;
  }
  std::atomic<std::size_t> NextRun{0};
  std::mutex Merge;
  std::exception_ptr Failure;
  auto WorkOnRuns = [&](TTally& Mine) {
    TFileHandle Pin;
    for (std::size_t Run; (Run = NextRun.fetch_add(1)) < Runs.size();) {
      const auto [Begin, End] = Runs[Run];
      const std::uint32_t Folder = Plan.Entries[Begin].Folder;
      std::wstring FolderPath;
      TOpened State = TOpened::Changed;
      bool Opened = false;
      for (std::size_t At = Begin; At < End; ++At) {
        const TTreePlan::TEntry& Entry = Plan.Entries[At];
        if (!Entry.Ticked || Entry.IsFolder()) continue;
        if (!Progress.Next()) break;  // stopped: what is left stays as it is
        if (!Opened) {
          // Each run checks its folder anew: it may have been swapped since.
          Opened = true;
          FolderPath = Plan.FolderPath(Folder);
          State = OpenFolder(FolderPath, Plan.Folders[Folder].Id, Plan.Volume, Pin);
        }
        // A folder that is gone took its files with it; one that is no longer
        // the folder walked holds nothing the plan may touch.
        const TOutcome Outcome = State == TOpened::Ok          ? CleanFile(Pin.get(), FolderPath, Plan, Entry)
                                 : State == TOpened::Vanished ? TOutcome::Vanished
                                                              : TOutcome::Changed;
        CountOutcome(Outcome, Entry, Mine);
        if (Outcomes) (*Outcomes)[At] = Outcome;
        Progress.Count(Entry.Size);
      }
      Pin.reset();
      if (Progress.Cancelled()) break;
    }
  };
  auto Work = [&] {
    TTally Mine;
    try {
      WorkOnRuns(Mine);
    } catch (...) {
      // Ends the work of every thread at its next run; the failure is raised
      // on the caller's thread once all are back, with what was done counted.
      std::lock_guard Lock(Merge);
      if (!Failure) Failure = std::current_exception();
      NextRun = Runs.size();
    }
    std::lock_guard Lock(Merge);
    Tally += Mine;
  };
  constexpr int Helpers = 3;
  std::vector<std::thread> Threads;
  if (Runs.size() > 1)
    for (int I = 0; I < Helpers; ++I) try {
        Threads.emplace_back(Work);
      } catch (const std::system_error&) {
        break;  // fewer helpers, the same work
      }
  Work();
  for (std::thread& Thread : Threads) Thread.join();
  if (Failure) std::rethrow_exception(Failure);
  if (Progress.Cancelled()) return;
  // Folders, deepest first: the plan lists every folder before what it holds.
  for (auto It = Plan.Entries.rbegin(); It != Plan.Entries.rend(); ++It) {
    if (!It->Ticked || !It->IsFolder()) continue;
    if (!Progress.Next()) return;
    const TOutcome Outcome = RemoveFolder(Plan, *It);
    if (Outcome == TOutcome::Removed) ++Tally.Folders;
    if (Outcomes) (*Outcomes)[static_cast<std::size_t>(Plan.Entries.rend() - It) - 1] = Outcome;
    Progress.Count(0);
  }
}
