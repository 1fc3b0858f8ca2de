#include "win/TextFile.h"

#include "win/Handle.h"
#include "win/WidePath.h"

#include <commdlg.h>

#include <stdexcept>

std::string SystemReason(DWORD Error) {
  wchar_t* Buffer = nullptr;
  const DWORD Len = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, Error, 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
  std::wstring Text = Len ? std::wstring(Buffer, Len) : L"";
  if (Buffer) LocalFree(Buffer);
  while (!Text.empty() && (Text.back() == L'\r' || Text.back() == L'\n' || Text.back() == L' '))
    Text.pop_back();
  if (Text.empty()) return "error " + std::to_string(Error);
  return Narrow(Text);
}

void SaveWholeFile(const std::wstring& File, const std::string& Bytes, const std::string& What) {
  auto Fail = [&](DWORD Error) {
    throw std::runtime_error("Cannot save " + What + " to \"" + Narrow(File) + "\": " + SystemReason(Error));
  };
  const std::wstring Temporary = File + L"." + std::to_wstring(GetCurrentProcessId()) + L".vellumix-saving";
  HANDLE Out = CreateFileW(Temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Out == INVALID_HANDLE_VALUE) Fail(GetLastError());
  TFileHandle Owned(Out);
  DWORD Written = 0;
  bool Saved = WriteFile(Out, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr) &&
               FlushFileBuffers(Out);
  DWORD Error = Saved ? ERROR_SUCCESS : GetLastError();
  if (Saved && Written != Bytes.size()) Saved = false, Error = ERROR_WRITE_FAULT;
  Owned.reset();
  if (Saved && !MoveFileExW(Temporary.c_str(), File.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    Saved = false, Error = GetLastError();
  if (!Saved) {
    DeleteFileW(Temporary.c_str());
    Fail(Error);
  }
}

std::wstring AskSaveFileName(HWND Owner, const wchar_t* Title, const wchar_t* DefaultName, const wchar_t* Filter,
                             const wchar_t* DefaultExtension) {
  std::wstring Name(32768, L'\0');
  Name.replace(0, wcslen(DefaultName), DefaultName);
  OPENFILENAMEW Dialog{};
  Dialog.lStructSize = sizeof Dialog;
  Dialog.hwndOwner = Owner;
  Dialog.lpstrFilter = Filter;
  Dialog.nFilterIndex = 1;
  Dialog.lpstrFile = Name.data();
  Dialog.nMaxFile = static_cast<DWORD>(Name.size());
  Dialog.lpstrDefExt = DefaultExtension;
  Dialog.lpstrTitle = Title;
  Dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&Dialog)) return {};
  Name.resize(wcslen(Name.c_str()));
  return Name;
}
