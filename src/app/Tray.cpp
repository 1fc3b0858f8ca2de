// The notification-area icon and its menu, and the window states: minimising
// to the notification area, restoring, and the taskbar button.
#include "app/UMain.h"

#include "resource.h"
#include "win/Registry.h"

#include <cstdint>

namespace {

constexpr char SettingsKey[] = "Software\\Vellumix";
// Shown the first two times the window goes to the notification area, over all runs.
constexpr int BalloonShows = 2;
constexpr int MaxTipTimes = 3;

}  // namespace

void TMainForm::CreateTrayIcon() {
  HINSTANCE Instance = GetModuleHandleA(nullptr);
  FTrayMenu.reset(LoadMenuA(Instance, MAKEINTRESOURCEA(IDM_TRAY)));
  PopupMenu = GetSubMenu(FTrayMenu.get(), 0);
  SetMenuDefaultItem(PopupMenu, IDC_TRAYRESTORE, FALSE);
  TrayIcon.PopupMenu = PopupMenu;
  TrayIcon.OnMouseDown = [this](UINT) { TrayIconMouseDown(); };
  TrayIcon.OnCommand = [this](UINT Id) { Command(static_cast<int>(Id)); };
  TrayIcon.OnMenuSelect = [this](UINT Item, UINT Flags, HMENU Menu) { MenuSelect(Item, Flags, Menu); };
  TrayIcon.Create(static_cast<HICON>(LoadImageA(Instance, MAKEINTRESOURCEA(IDI_VELLUMIX), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON),
                                                GetSystemMetrics(SM_CYSMICON), LR_SHARED)),
                  "Vellumix");
}

void TMainForm::TrayIconMouseDown() {
  // Nobody acts on the posted message: it only wakes the main loop.
  PostMessageA(Handle(), WM_USER, 0, 0);
  SetForegroundWindow(OptionDlg ? OptionDlg->Handle() : Handle());
}

void TMainForm::mnuRestoreClick() {
  BringForward();
  ApplyTaskbarRule();
}

void TMainForm::BringForward() {
  // The application first: it shows again a window that minimising hid. The
  // show handler (and its placement restore) runs only for a window never shown.
  Application.Restore();
  if (!Shown())
    Show();
  else if (!IsWindowVisible(Handle()))
    ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
  if (IsIconic(Handle()) || IsZoomed(Handle())) ShowWindow(Handle(), SW_RESTORE);
  WindowState = TWindowState::wsNormal;
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  // While a modal box is up the window is disabled and cannot take the focus.
  if (IsWindowEnabled(Handle())) SetFocus(Handle());
}

void TMainForm::ApplyTaskbarRule() {
  // The taskbar button belongs to the application window.
  ShowWindow(Application.Handle(), Option && Option->ShowTrayIconOnly ? SW_HIDE : SW_SHOWNA);
}

bool TMainForm::WMSysCommand(WPARAM Command) {
  if ((Command & 0xFFF0) != SC_MINIMIZE) return false;
  if (!Option || !Option->ShowTrayIconOnly) {
    Application.Minimize();  // to the taskbar, as usual
    return true;
  }
  if (ReadTipTimes() < BalloonShows) {
    // Counted also where the shell shows no balloons.
    IncTipTimes();
    TrayIcon.ShowBalloon("Vellumix",
                         "Right click this icon will popup the content menu. Double click this "
                         "icon will restore the main window.",
                         NIIF_INFO, 10);
  }
  Application.Minimize();
  ShowWindow(Application.Handle(), SW_HIDE);
  return true;
}

int TMainForm::ReadTipTimes() {
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!Reg.OpenKey(SettingsKey, true)) return 0;
  if (auto Times = Reg.ReadInteger("BTipTimes")) return static_cast<std::int32_t>(*Times);
  try {
    Reg.WriteInteger("BTipTimes", 0);
  } catch (const ERegistryException&) {
    // The counter never troubles the user: a read-only key counts as 0.
  }
  return 0;
}

void TMainForm::IncTipTimes() {
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!Reg.OpenKey(SettingsKey, true)) return;
  auto Times = Reg.ReadInteger("BTipTimes");
  if (!Times || static_cast<std::int32_t>(*Times) >= MaxTipTimes) return;
  try {
    Reg.WriteInteger("BTipTimes", *Times + 1);
  } catch (const ERegistryException&) {
  }
}
