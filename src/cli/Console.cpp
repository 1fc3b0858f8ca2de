#include "cli/Console.h"

#include "win/WidePath.h"

#include <algorithm>

namespace {

std::string SystemMessage(DWORD Code) {
  wchar_t* Text = nullptr;
  const DWORD Length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, Code, 0, reinterpret_cast<wchar_t*>(&Text), 0, nullptr);
  std::wstring Message(Text ? Text : L"", Length);
  LocalFree(Text);
  while (!Message.empty() && (Message.back() == L'\n' || Message.back() == L'\r' || Message.back() == L'.'))
    Message.pop_back();
  return Message.empty() ? "error " + std::to_string(Code) : Narrow(Message);
}

// Why the file at Path could not be replaced by a rename; empty when it
// can, or when there is none (then making the temporary file beside it says
// what is wrong with the folder).
std::string Unreplaceable(const std::wstring& Path) {
  const DWORD Attributes = GetFileAttributesW(Path.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) return {};
  if (Attributes & FILE_ATTRIBUTE_DIRECTORY) return "it is a folder";
  // Windows will not replace a read-only file (Wine would): either way it
  // is one its owner means to keep.
  if (Attributes & FILE_ATTRIBUTE_READONLY) return "it is read-only";
  // Held open by a program that does not let it be deleted: the rename
  // would be refused. The link itself is asked, not what it leads to.
  TFileHandle Probe(CreateFileW(Path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  return Probe ? std::string() : SystemMessage(GetLastError());
}

}  // namespace

TConsole::~TConsole() {
  if (FFile) {
    FFile.reset();
    DeleteFileW(FTemporary.c_str());
  }
}

TConsole::TStream TConsole::Inherited(DWORD Which) {
  const HANDLE Handle = GetStdHandle(Which);
  if (!Handle || Handle == INVALID_HANDLE_VALUE) return {};
  switch (GetFileType(Handle)) {
    case FILE_TYPE_PIPE:
    case FILE_TYPE_DISK: return {Handle, false};
    case FILE_TYPE_CHAR: {
      DWORD Mode = 0;
      return {Handle, GetConsoleMode(Handle, &Mode) != 0};
    }
    default: return {};
  }
}

TConsole::TStream TConsole::AttachedConsole() {
  if (!FAttachTried) {
    FAttachTried = true;
    if (AttachConsole(ATTACH_PARENT_PROCESS))
      FConsoleOut.reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
  }
  return FConsoleOut ? TStream{FConsoleOut.get(), true} : TStream{};
}

bool TConsole::Open(const std::string& OutFile, std::string& Error) {
  FError = Inherited(STD_ERROR_HANDLE);
  if (!FError.Handle) FError = AttachedConsole();
  if (OutFile.empty()) {
    FOut = Inherited(STD_OUTPUT_HANDLE);
    if (!FOut.Handle) FOut = AttachedConsole();
    return true;
  }
  // Beside the file, so that the rename stays on its volume.
  const std::wstring Given = WidePath(OutFile);
  const DWORD Length = GetFullPathNameW(Given.c_str(), 0, nullptr, nullptr);
  std::wstring Full(Length, L'\0');
  if (!Length || GetFullPathNameW(Given.c_str(), Length, Full.data(), nullptr) + 1 != Length) {
    Error = "Cannot write " + OutFile + ": " + SystemMessage(GetLastError()) + ".";
    return false;
  }
  Full.pop_back();
  // The file is put in place by a rename at the end: a target that cannot be
  // replaced is refused now, before anything runs, not after the work is done.
  if (const std::string Why = Unreplaceable(Full); !Why.empty()) {
    Error = "Cannot write " + OutFile + ": " + Why + ".";
    return false;
  }
  FTarget = Full;
  FTemporary = Full + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  // A new file only: whatever stands under that name (a link among others)
  // is not written through.
  FFile.reset(CreateFileW(FTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                          nullptr));
  if (!FFile) {
    Error = "Cannot write " + OutFile + ": " + SystemMessage(GetLastError()) + ".";
    return false;
  }
  FOut = {FFile.get(), false};
  return true;
}

bool TConsole::Put(const TStream& Stream, std::string_view Text) {
  if (!Stream.Handle || Text.empty()) return true;
  if (Stream.Console) {
    const std::wstring Wide = Widen(Text);
    DWORD Written = 0;
    return WriteConsoleW(Stream.Handle, Wide.data(), static_cast<DWORD>(Wide.size()), &Written, nullptr) != 0;
  }
  // A pipe takes what fits; the rest follows.
  while (!Text.empty()) {
    DWORD Written = 0;
    if (!WriteFile(Stream.Handle, Text.data(), static_cast<DWORD>(std::min<std::size_t>(Text.size(), 1 << 20)),
                   &Written, nullptr) ||
        Written == 0)
      return false;  // the reader went away, the disk is full
    Text.remove_prefix(Written);
  }
  return true;
}

void TConsole::Write(std::string_view Text) {
  if (!Put(FOut, Text) && FFile) FWriteFailed = GetLastError();
}

void TConsole::WriteError(std::string_view Text) { Put(FError, Text); }

bool TConsole::Commit(std::string& Error) {
  if (!FFile) return true;
  const bool Flushed = !FWriteFailed && FlushFileBuffers(FFile.get()) != 0;
  const DWORD Code = Flushed ? 0 : FWriteFailed ? FWriteFailed : GetLastError();
  FFile.reset();
  FOut = {};
  if (Flushed && MoveFileExW(FTemporary.c_str(), FTarget.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  Error = "Cannot write " + Narrow(FTarget) + ": " + SystemMessage(Flushed ? GetLastError() : Code) + ".";
  DeleteFileW(FTemporary.c_str());
  return false;
}
