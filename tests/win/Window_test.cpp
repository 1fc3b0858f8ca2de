#include "win/Window.h"

#include "base/Exception.h"
#include "win/Application.h"
#include "support/Windows.h"

#include <gtest/gtest.h>

namespace {

class TThrowingWindow : public TWindow {
public:
  TThrowingWindow() { CreateHandle({"TThrowingWindow"}, 0, WS_POPUP, "", 0, 0, 10, 10, nullptr); }
  int Answered = 0;

protected:
  LRESULT OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam) override {
    if (Msg == WM_APP) throw Exception("Cannot do that");
    if (Msg == WM_APP + 1) return ++Answered;
    return TWindow::OnMessage(Msg, WParam, LParam);
  }
};

// An exception that reaches a window procedure is shown in the error box (its
// message, OK) and the window goes on working.
TEST(Window, AnExceptionInAHandlerIsShownAndTheProgramGoesOn) {
  Application.SetTitle("Vellumix");
  TThrowingWindow Window;
  ASSERT_TRUE(Window.Handle());
  {
    TBoxWatcher Box("Vellumix");
    EXPECT_EQ(SendMessageA(Window.Handle(), WM_APP, 0, 0), 0);
    ASSERT_TRUE(Box.Answered());
    EXPECT_EQ(Box.Text(), "Cannot do that.");
  }
  EXPECT_EQ(SendMessageA(Window.Handle(), WM_APP + 1, 0, 0), 1);
}

TEST(Window, DestroyingTheObjectDestroysItsWindow) {
  HWND Handle;
  {
    TThrowingWindow Window;
    Handle = Window.Handle();
    EXPECT_TRUE(IsWindow(Handle));
  }
  EXPECT_FALSE(IsWindow(Handle));
}

}  // namespace
