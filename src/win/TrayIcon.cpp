#include "win/TrayIcon.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>

namespace {

template <std::size_t N>
void CopyText(char (&To)[N], const std::string& From) {
  const std::size_t Len = std::min(From.size(), N - 1);
  std::memcpy(To, From.data(), Len);
  To[Len] = '\0';
}

}  // namespace

bool ShellHasBalloons() {
  // shell32 is loaded with the program; its own version report, not its file's.
  HMODULE Shell = GetModuleHandleA("shell32.dll");
  auto GetVersion = Shell ? reinterpret_cast<DLLGETVERSIONPROC>(
                                reinterpret_cast<void*>(GetProcAddress(Shell, "DllGetVersion")))
                          : nullptr;
  DLLVERSIONINFO Info{sizeof Info};
  return GetVersion && SUCCEEDED(GetVersion(&Info)) && Info.dwMajorVersion >= 5;
}

TTrayIcon::~TTrayIcon() {
  if (FAdded) {
    NOTIFYICONDATAA D = Data();
    Shell_NotifyIconA(NIM_DELETE, &D);
  }
}

void TTrayIcon::Create(HICON Icon, const std::string& Tip) {
  FIcon = Icon;
  FTip = Tip;
  FTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  // Never shown: a pop-up without size, not a message-only window, which would
  // miss the shell's broadcast.
  CreateHandle({"TTrayIconWindow", 0}, WS_EX_TOOLWINDOW, WS_POPUP, "", 0, 0, 0, 0, nullptr);
}

void TTrayIcon::Add() {
  NOTIFYICONDATAA D = Data();
  FAdded = Notify(NIM_ADD, D);
}

NOTIFYICONDATAA TTrayIcon::Data() const {
  NOTIFYICONDATAA D{sizeof D};
  D.hWnd = Handle();
  D.uID = 1;
  D.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
  D.uCallbackMessage = CallbackMessage;
  D.hIcon = FIcon;
  CopyText(D.szTip, FTip);
  return D;
}

bool TTrayIcon::Notify(DWORD Action, NOTIFYICONDATAA& D) {
  return Handle() && Shell_NotifyIconA(Action, &D);
}

bool TTrayIcon::ShowBalloon(const std::string& Title, const std::string& Text, DWORD IconFlags,
                            UINT TimeoutMs) {
  if (!FAdded || !ShellHasBalloons()) return false;
  NOTIFYICONDATAA D = Data();
  D.uFlags = NIF_INFO;
  CopyText(D.szInfoTitle, Title);
  CopyText(D.szInfo, Text);
  D.dwInfoFlags = IconFlags;
  D.uTimeout = TimeoutMs;  // the shell keeps it up for its own minimum at least
  return Notify(NIM_MODIFY, D);
}

void TTrayIcon::Popup(POINT Where) {
  if (!PopupMenu) return;
  // The menu only closes on a click elsewhere when its owner is the foreground
  // window; the WM_NULL afterwards lets the next click on the icon open it again.
  SetForegroundWindow(Handle());
  const UINT Id = TrackPopupMenuEx(PopupMenu, TPM_RIGHTBUTTON | TPM_RETURNCMD,
                                   Where.x, Where.y, Handle(), nullptr);
  PostMessageA(Handle(), WM_NULL, 0, 0);
  if (Id && OnCommand) OnCommand(Id);
}

void TTrayIcon::RunDefault() {
  const UINT Id = PopupMenu ? GetMenuDefaultItem(PopupMenu, FALSE, 0) : static_cast<UINT>(-1);
  if (Id != static_cast<UINT>(-1) && OnCommand) OnCommand(Id);
}

void TTrayIcon::MouseMessage(UINT Mouse) {
  switch (Mouse) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (OnMouseDown) OnMouseDown(Mouse);
      break;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: {  // the keyboard's choice of the icon
      POINT Cursor;
      GetCursorPos(&Cursor);
      Popup(Cursor);
      break;
    }
    case WM_LBUTTONDBLCLK:
      RunDefault();
      break;
  }
}

LRESULT TTrayIcon::OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == CallbackMessage) {
    MouseMessage(LOWORD(LParam));
    return 0;
  }
  if (Msg == FTaskbarCreated && FTaskbarCreated) {
    // The shell started again and knows no icons: ours goes back.
    Add();
    return 0;
  }
  if (Msg == WM_MENUSELECT) {
    if (OnMenuSelect)
      OnMenuSelect(LOWORD(WParam), HIWORD(WParam), reinterpret_cast<HMENU>(LParam));
    return 0;
  }
  return Default(Msg, WParam, LParam);
}
