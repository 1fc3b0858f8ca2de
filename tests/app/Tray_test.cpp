// The notification-area icon, its menu and the window states, on the main
// window in this process. The icon's messages are sent to its window as the
// shell sends them.
#include "app/SweepFixture.h"

#include "win/Registry.h"

#include <thread>

namespace {

class TrayTest : public SweepTest {
protected:
  // A button of the icon, as the shell reports it.
  void Mouse(UINT Message) {
    SendMessageA(Form->TrayIcon.Window(), TTrayIcon::CallbackMessage, 1, Message);
  }
  void Minimise() { SendMessageA(Form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0); }
  static bool ButtonShown() { return IsWindowVisible(Application.Handle()) != FALSE; }
  // The balloon counter as the window sees it; none when missing.
  static std::optional<std::uint32_t> TipTimes() {
    TRegistry Reg(HKEY_CURRENT_USER);
    if (!Reg.OpenKeyReadOnly("Software\\Vellumix")) return std::nullopt;
    return Reg.ReadInteger("BTipTimes");
  }
  // Whether the shell holds the icon: it accepts a change only to an icon it has.
  bool ShellHasIcon() const {
    NOTIFYICONDATAA D{sizeof D};
    D.hWnd = Form->TrayIcon.Window();
    D.uID = 1;
    D.uFlags = NIF_TIP;
    strcpy(D.szTip, "Vellumix");
    return Shell_NotifyIconA(NIM_MODIFY, &D);
  }
};

TEST_F(TrayTest, TheIconIsThereFromCreationAndComesBackWithTheShell) {
  TMainForm& F = CreateForm();
  Pump();
  ASSERT_TRUE(F.TrayIcon.Added());
  EXPECT_TRUE(ShellHasIcon());
  EXPECT_FALSE(F.Visible()) << "the icon needs no window";
  const UINT Default = GetMenuDefaultItem(F.PopupMenu, FALSE, 0);
  char Caption[32] = {};
  GetMenuStringA(F.PopupMenu, Default, Caption, sizeof Caption, MF_BYCOMMAND);
  EXPECT_STREQ(Caption, "&Restore");

  // The shell restarts without our icon, and says so.
  NOTIFYICONDATAA D{sizeof D};
  D.hWnd = F.TrayIcon.Window();
  D.uID = 1;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &D));
  ASSERT_FALSE(ShellHasIcon());
  SendMessageA(F.TrayIcon.Window(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(ShellHasIcon());
}

// Shown the first two times the window goes to the notification area, over
// all runs of the program; the counter stops at 2 that way, and never passes 3.
TEST_F(TrayTest, TheBalloonCounterRisesTwiceOverMinimisesAndRuns) {
  Switches({"ShowTrayIconOnly"});
  TMainForm& F = CreateForm();
  F.Show();
  EXPECT_FALSE(ButtonShown());
  EXPECT_EQ(TipTimes(), std::nullopt);
  for (std::uint32_t Expected : {1u, 2u, 2u}) {
    Minimise();
    EXPECT_EQ(TipTimes(), Expected);
    EXPECT_FALSE(IsWindowVisible(F.Handle()));
    EXPECT_FALSE(ButtonShown());
    EXPECT_TRUE(Application.Minimized());
    F.mnuRestoreClick();
    EXPECT_TRUE(IsWindowVisible(F.Handle()));
    EXPECT_FALSE(ButtonShown());
  }
  Form.reset();
  Redirect(false);

  CreateForm().Show();
  Minimise();
  EXPECT_EQ(TipTimes(), 2u);
  Form.reset();
  Redirect(false);

  // Unreadable: written as 0 when read. At 3 it stays.
  Key.SetString("BTipTimes", "two", "Software\\Vellumix");
  CreateForm();
  EXPECT_EQ(TMainForm::ReadTipTimes(), 0);
  EXPECT_EQ(TipTimes(), 0u);
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey("Software\\Vellumix", false));
  Reg.WriteInteger("BTipTimes", 3);
  TMainForm::IncTipTimes();
  EXPECT_EQ(TipTimes(), 3u);
}

TEST_F(TrayTest, WithoutTrayOnlyMinimisingKeepsTheTaskbarButton) {
  Switches({});
  TMainForm& F = CreateForm();
  F.Show();
  EXPECT_TRUE(ButtonShown());
  Minimise();
  EXPECT_FALSE(IsWindowVisible(F.Handle()));
  EXPECT_TRUE(Application.Minimized());
  EXPECT_TRUE(ButtonShown());
  EXPECT_EQ(TipTimes(), std::nullopt) << "no balloon";
}

TEST_F(TrayTest, DoubleClickRestoresAndTheButtonStaysHidden) {
  Switches({"ShowTrayIconOnly"});
  TMainForm& F = CreateForm();  // never shown, as when started hidden
  Mouse(WM_LBUTTONDOWN);
  Mouse(WM_LBUTTONUP);
  Mouse(WM_LBUTTONDBLCLK);
  EXPECT_TRUE(IsWindowVisible(F.Handle()));
  EXPECT_FALSE(ButtonShown());

  Minimise();
  ASSERT_FALSE(IsWindowVisible(F.Handle()));
  Mouse(WM_LBUTTONDBLCLK);
  EXPECT_TRUE(IsWindowVisible(F.Handle()));
  EXPECT_FALSE(IsIconic(F.Handle()));
  EXPECT_FALSE(Application.Minimized());
  EXPECT_FALSE(ButtonShown());
}

// The icon's menu, chosen with the keyboard while it is open: its Shred runs
// while the window is hidden, and the lines are in the log pane on restore.
TEST_F(TrayTest, TheMenusShredRunsWhileTheWindowIsHidden) {
  Switches({"DelLocationBar", "ShowTrayIconOnly"});
  TMainForm& F = CreateForm();
  F.Show();
  Minimise();
  ASSERT_FALSE(IsWindowVisible(F.Handle()));
  // Down from the default item: past the separator to "Shred".
  for (UINT Key : {VK_DOWN, VK_DOWN, VK_RETURN}) {
    PostMessageA(F.TrayIcon.Window(), WM_KEYDOWN, Key, 1);
    PostMessageA(F.TrayIcon.Window(), WM_KEYUP, Key, 1 | (3u << 30));
  }
  Mouse(WM_RBUTTONUP);
  // The item's line and the run's summary.
  ASSERT_EQ(F.Action->Messages.size(), 2u);
  EXPECT_FALSE(IsWindowVisible(F.Handle()));
  Mouse(WM_LBUTTONDBLCLK);
  EXPECT_EQ(GetText(F.Memo), F.Action->Messages[0] + "\r\n" + F.Action->Messages[1]);
}

// A click on the icon brings the open options dialog forward, not the main window.
TEST_F(TrayTest, AClickBringsTheOpenOptionsDialogForward) {
  TMainForm& F = CreateForm();
  F.Show();
  // Another window, to have the foreground when the icon is clicked.
  HWND Other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                               nullptr, nullptr, nullptr);
  bool Forward = false;
  std::thread Driver([&] {
    HWND Dialog = nullptr;
    if (!WaitUntil([&] {
          Dialog = FindWindowA("#32770", "Options Dialog");
          return Dialog && IsWindowVisible(Dialog);
        }, 60s)) {
      PostMessageA(F.Handle(), WM_QUIT, 0, 0);
      return;
    }
    SetForegroundWindow(Other);
    if (WaitUntil([&] { return GetForegroundWindow() == Other; })) {
      PostMessageA(F.TrayIcon.Window(), TTrayIcon::CallbackMessage, 1, WM_LBUTTONDOWN);
      Forward = WaitUntil([&] { return GetForegroundWindow() == Dialog; });
    }
    PostMessageA(Dialog, WM_COMMAND, IDCANCEL, 0);
  });
  F.OptionActionExecute();
  Driver.join();
  DestroyWindow(Other);
  EXPECT_TRUE(Forward);
}

}  // namespace
