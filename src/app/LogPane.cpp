// The log pane's own menu: copy, select all, save the log to a file, clear it.
#include "app/UMain.h"

#include "resource.h"
#include "win/WidePath.h"

#include <commdlg.h>

#include <stdexcept>

namespace {

// The system's sentence for an error code, without its line end.
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

[[noreturn]] void ThrowSaveError(const std::wstring& File, DWORD Error) {
  throw std::runtime_error("Cannot save the log to \"" + Narrow(File) + "\": " + SystemReason(Error));
}

// The pane's text as a text file holds it: UTF-8, every line ended by CR LF,
// whatever mix of line ends a message brought.
std::string TextFileBytes(const std::wstring& Text) {
  std::wstring Lines;
  Lines.reserve(Text.size() + Text.size() / 16);
  for (size_t I = 0; I < Text.size(); ++I) {
    const wchar_t C = Text[I];
    if (C == L'\r' || C == L'\n') {
      Lines += L"\r\n";
      if (C == L'\r' && I + 1 < Text.size() && Text[I + 1] == L'\n') ++I;
    } else {
      Lines += C;
    }
  }
  if (Lines.empty()) return {};
  const int Size = WideCharToMultiByte(CP_UTF8, 0, Lines.data(), static_cast<int>(Lines.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string Bytes(Size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, Lines.data(), static_cast<int>(Lines.size()), Bytes.data(), Size,
                      nullptr, nullptr);
  return Bytes;
}

}  // namespace

std::wstring (*TMainForm::AskSaveLogName)(HWND) = TMainForm::ShowSaveLogDialog;

std::wstring TMainForm::ShowSaveLogDialog(HWND Owner) {
  std::wstring Name(32768, L'\0');
  wcscpy(Name.data(), L"Vellumix log.txt");
  OPENFILENAMEW Dialog{};
  Dialog.lStructSize = sizeof Dialog;
  Dialog.hwndOwner = Owner;
  Dialog.lpstrFilter = L"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
  Dialog.nFilterIndex = 1;
  Dialog.lpstrFile = Name.data();
  Dialog.nMaxFile = static_cast<DWORD>(Name.size());
  Dialog.lpstrDefExt = L"txt";
  Dialog.lpstrTitle = L"Save Log";
  Dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                 OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&Dialog)) return {};
  Name.resize(wcslen(Name.c_str()));
  return Name;
}

void TMainForm::SaveLog(const std::wstring& File) const {
  // The whole text is made before the file is touched.
  const int Len = GetWindowTextLengthW(Memo);
  std::wstring Text(Len + 1, L'\0');
  Text.resize(GetWindowTextW(Memo, Text.data(), Len + 1));
  const std::string Bytes = TextFileBytes(Text);

  // Written beside the chosen file and then renamed over it, so a write that
  // fails halfway (a full disk) leaves neither a cut-off log nor a file the
  // user had there damaged.
  const std::wstring Temporary =
      File + L"." + std::to_wstring(GetCurrentProcessId()) + L".vellumix-saving";
  HANDLE Out = CreateFileW(Temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Out == INVALID_HANDLE_VALUE) ThrowSaveError(File, GetLastError());
  TFileHandle Owned(Out);
  DWORD Written = 0;
  bool Saved = WriteFile(Out, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr) &&
               FlushFileBuffers(Out);
  DWORD Error = Saved ? ERROR_SUCCESS : GetLastError();
  if (Saved && Written != Bytes.size()) Saved = false, Error = ERROR_WRITE_FAULT;
  Owned.reset();
  if (Saved && !MoveFileExW(Temporary.c_str(), File.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    Saved = false, Error = GetLastError();
  if (!Saved) {
    DeleteFileW(Temporary.c_str());
    ThrowSaveError(File, Error);
  }
}

TMenu TMainForm::LogPaneMenu() const {
  TMenu Menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_LOGPANE)));
  HMENU Popup = GetSubMenu(Menu.get(), 0);
  DWORD Start = 0, End = 0;
  SendMessageW(Memo, EM_GETSEL, reinterpret_cast<WPARAM>(&Start), reinterpret_cast<LPARAM>(&End));
  const bool Empty = GetWindowTextLengthW(Memo) == 0;
  EnableMenuItem(Popup, IDC_LOGCOPY, MF_BYCOMMAND | (Start == End ? MF_GRAYED : MF_ENABLED));
  for (int Id : {IDC_LOGSELECTALL, IDC_LOGSAVE, IDC_LOGCLEAR})
    EnableMenuItem(Popup, Id, MF_BYCOMMAND | (Empty ? MF_GRAYED : MF_ENABLED));
  return Menu;
}

void TMainForm::MemoContextMenu(POINT Screen) {
  if (Screen.x == -1 && Screen.y == -1) {
    // From the keyboard: under the start of the selection, or the pane's corner.
    DWORD Start = 0;
    SendMessageW(Memo, EM_GETSEL, reinterpret_cast<WPARAM>(&Start), 0);
    const LRESULT At = SendMessageW(Memo, EM_POSFROMCHAR, Start, 0);
    RECT Client;
    GetClientRect(Memo, &Client);
    POINT Point{static_cast<short>(LOWORD(At)), static_cast<short>(HIWORD(At))};
    if (At == -1 || !PtInRect(&Client, Point)) Point = {0, 0};
    Screen = Point;
    ClientToScreen(Memo, &Screen);
  }
  TMenu Menu = LogPaneMenu();
  // The command comes back here rather than as WM_COMMAND; the hints still
  // reach the status line through WM_MENUSELECT to the window.
  const int Id = TrackPopupMenu(GetSubMenu(Menu.get(), 0),
                                TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN,
                                Screen.x, Screen.y, 0, Handle(), nullptr);
  if (Id) LogPaneCommand(Id);
}

void TMainForm::LogPaneCommand(int Id) {
  Guarded([&] {
    switch (Id) {
      case IDC_LOGCOPY:
        SendMessageW(Memo, WM_COPY, 0, 0);
        break;
      case IDC_LOGSELECTALL:
        SendMessageW(Memo, EM_SETSEL, 0, -1);
        break;
      case IDC_LOGSAVE:
        if (const std::wstring File = AskSaveLogName(Handle()); !File.empty()) SaveLog(File);
        break;
      case IDC_LOGCLEAR:
        // The log goes with the pane: the next line would bring the old ones back.
        if (Action) Action->Messages.clear();
        SetWindowTextW(Memo, L"");
        MemoChange();
        break;
    }
  });
}
