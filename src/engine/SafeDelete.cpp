#include "engine/SafeDelete.h"

#include "win/FileHandle.h"
#include "win/Handle.h"

#include <windows.h>

namespace {

constexpr DWORD Access = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

TRemoval OpenFailure(DWORD Error) {
  switch (Error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return TRemoval::Vanished;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return TRemoval::InUse;
    default: return TRemoval::Failed;
  }
}

bool SetAttributes(HANDLE File, DWORD Attributes) {
  FILE_BASIC_INFO Info{};  // zero times: left as they are
  Info.FileAttributes = Attributes ? Attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(File, FileBasicInfo, &Info, sizeof Info);
}

bool MarkForDeletion(HANDLE File) {
  // The plain form: the Ex form (POSIX semantics) is missing before Windows 10
  // and refused by Wine; this one is honoured when the handle closes.
  FILE_DISPOSITION_INFO Info{TRUE};
  return SetFileInformationByHandle(File, FileDispositionInfo, &Info, sizeof Info);
}

// Opens the entry found at Path, or says why not. Anything that is not the
// entry itself (a link, or what a link led to) comes back as Link.
TRemoval OpenFound(const std::wstring& Path, bool Folder, TFileHandle& Handle, DWORD& Attributes) {
  Handle = OpenNoFollow(Path, Access);
  if (!Handle) return OpenFailure(GetLastError());
  const auto Read = AttributesOf(Handle.get());
  if (!Read) return TRemoval::Failed;
  Attributes = *Read;
  if (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) return TRemoval::Link;
  if (bool(Attributes & FILE_ATTRIBUTE_DIRECTORY) != Folder) return TRemoval::Link;
  // A link Windows does not mark (Wine shows a Linux link to a file as a
  // plain file) is told by where the handle really leads.
  if (!HandleLeadsTo(Handle.get(), Path)) return TRemoval::Link;
  return TRemoval::Removed;
}

// Marks the open entry for deletion, lifting read-only just for it.
TRemoval Delete(HANDLE Handle, DWORD Attributes, TRemoval OnFailure) {
  if (MarkForDeletion(Handle)) return TRemoval::Removed;
  if (!(Attributes & FILE_ATTRIBUTE_READONLY)) return OnFailure;
  if (!SetAttributes(Handle, Attributes & ~FILE_ATTRIBUTE_READONLY)) return OnFailure;
  if (MarkForDeletion(Handle)) return TRemoval::Removed;
  SetAttributes(Handle, Attributes);
  return OnFailure;
}

bool FolderIsEmpty(const std::wstring& Path) {
  WIN32_FIND_DATAW Entry;
  TFindHandle Search(FindFirstFileExW((Path + L"\\*").c_str(), FindExInfoBasic, &Entry,
                                      FindExSearchNameMatch, nullptr, 0));
  if (!Search) return false;
  do {
    const wchar_t* N = Entry.cFileName;
    if (!(N[0] == L'.' && (N[1] == 0 || (N[1] == L'.' && N[2] == 0)))) return false;
  } while (FindNextFileW(Search.get(), &Entry));
  return true;
}

}  // namespace

TRemoval DeleteFoundFile(const std::wstring& Path) {
  TFileHandle Handle;
  DWORD Attributes = 0;
  if (TRemoval Opened = OpenFound(Path, false, Handle, Attributes); Opened != TRemoval::Removed)
    return Opened;
  return Delete(Handle.get(), Attributes, TRemoval::Failed);
}

TRemoval RemoveFoundFolder(const std::wstring& Path) {
  // Looked into before the handle is opened: a listing shares no deletion,
  // so it could not be made while the handle is held. Whatever arrives in
  // between makes the removal fail, and the folder stays as it is.
  if (!FolderIsEmpty(Path)) {
    const DWORD Attributes = GetFileAttributesW(Path.c_str());
    if (Attributes == INVALID_FILE_ATTRIBUTES) return TRemoval::Vanished;
    if (!(Attributes & FILE_ATTRIBUTE_DIRECTORY)) return TRemoval::Link;  // no longer a folder
    return TRemoval::NotEmpty;
  }
  TFileHandle Handle;
  DWORD Attributes = 0;
  if (TRemoval Opened = OpenFound(Path, true, Handle, Attributes); Opened != TRemoval::Removed)
    return Opened;
  return Delete(Handle.get(), Attributes, TRemoval::NotEmpty);
}
