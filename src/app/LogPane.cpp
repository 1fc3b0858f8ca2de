// The log pane's own menu: copy, select all, save the log to a file, clear it.
#include "app/UMain.h"

#include "resource.h"
#include "win/TextFile.h"
#include "win/WidePath.h"

namespace {

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
  return Narrow(Lines);
}

}  // namespace

std::wstring (*TMainForm::AskSaveLogName)(HWND) = TMainForm::ShowSaveLogDialog;

std::wstring TMainForm::ShowSaveLogDialog(HWND Owner) {
  return AskSaveFileName(Owner, L"Save Log", L"Vellumix log.txt", L"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0",
                         L"txt");
}

void TMainForm::SaveLog(const std::wstring& File) const {
  // The whole text is made before the file is touched.
  const int Len = GetWindowTextLengthW(Memo);
  std::wstring Text(Len + 1, L'\0');
  Text.resize(GetWindowTextW(Memo, Text.data(), Len + 1));
  SaveWholeFile(File, TextFileBytes(Text), "the log");
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

bool TMainForm::LogPaneAccelerator(int Id) {
  // Ctrl+A is All Items' key (which asks first), but in a text window it
  // selects the text, as the pane's own menu offers.
  if (Id != IDC_CLEARALL || !Memo || GetFocus() != Memo) return false;
  LogPaneCommand(IDC_LOGSELECTALL);
  return true;
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
