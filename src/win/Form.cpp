#include "win/Form.h"

void TForm::Show() {
  HWND Window = Handle();
  if (Visible()) {
    SetWindowPos(Window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return;
  }
  OnShow();
  FShown = true;
  if (Position == TPosition::poDesktopCenter) {
    RECT Work, Own;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &Work, 0);
    GetWindowRect(Window, &Own);
    int Width = Own.right - Own.left, Height = Own.bottom - Own.top;
    SetWindowPos(Window, nullptr, Work.left + (Work.right - Work.left - Width) / 2,
                 Work.top + (Work.bottom - Work.top - Height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  switch (WindowState) {
    case TWindowState::wsMaximized:
      ShowWindow(Window, SW_SHOWMAXIMIZED);
      break;
    case TWindowState::wsMinimized:
      ShowWindow(Window, SW_SHOWMINIMIZED);
      break;
    default:
      ShowWindow(Window, IsIconic(Window) || IsZoomed(Window) ? SW_RESTORE : SW_SHOW);
  }
}
