#pragma once
// The main window in a test runner's own process.

#include "app/UMain.h"

#include "resource.h"
#include "support/TestKey.h"
#include "support/Windows.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

// The main window in this process, with HKEY_CURRENT_USER redirected to the
// test's own key, so that "Software\Vellumix" is a scratch key.
class MainFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    Application.SetTitle("Vellumix");
    Application.Initialize();
    Key.SetString("FirstTime", "1", "Software\\Vellumix");  // no greeting unless a test asks
  }
  void TearDown() override {
    Form.reset();
    Redirect(false);
    // The application window outlives the test's main window: the next test
    // starts with it restored, as a program starts.
    if (Application.Minimized()) ShowWindow(Application.Handle(), SW_RESTORE);
    // The closed window asked the loop to end; this runner goes on.
    MSG Msg;
    while (PeekMessageA(&Msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }

  void Redirect(bool On) {
    if (On) {
      HKEY Root;
      ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Key.Path().c_str(), 0, KEY_ALL_ACCESS, &Root),
                ERROR_SUCCESS);
      ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, Root), ERROR_SUCCESS);
      RegCloseKey(Root);
    } else {
      RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    }
  }

  TMainForm& Create(const std::string& FirstArg = "") {
    Redirect(true);
    Form = std::make_unique<TMainForm>(FirstArg);
    return *Form;
  }

  static void Pump() { Application.ProcessMessages(); }
  bool WaitStatus(const std::string& Text) {
    return WaitUntil([&] {
      Pump();
      return Form->StatusText() == Text;
    });
  }
  HICON Light(int Part) const {
    return reinterpret_cast<HICON>(SendMessageA(Form->dfsStatusBar, SB_GETICON, Part, 0));
  }
  static HICON Ball(int Id) {
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(Id),
                                         IMAGE_ICON, 16, 16, LR_SHARED));
  }
  static bool HasScrollBar(HWND Memo) { return GetWindowLongA(Memo, GWL_STYLE) & WS_VSCROLL; }

  TTestKey Key;
  std::unique_ptr<TMainForm> Form;
};
