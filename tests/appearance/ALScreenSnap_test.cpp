#include "appearance/ALScreenSnap.h"

#include "base/Exception.h"
#include "win/Form.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace {

constexpr RECT Bottom30{0, 738, 1024, 768};  // a 30-pixel taskbar at the bottom
constexpr RECT Left60{0, 0, 60, 768};        // a 60-pixel one at the left

// A hidden popup form that answers WM_EXITSIZEMOVE with 42 and notes where it
// stood when the message reached it.
class TSnapForm : public TForm {
public:
  TSnapForm() {
    Name = "SnapForm";
    CreateHandle({"TSnapForm"}, 0, WS_POPUP, "", 100, 100, 200, 100, nullptr);
  }
  int Exits = 0;
  RECT SeenAtExit{};

protected:
  LRESULT OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam) override {
    if (Msg == WM_EXITSIZEMOVE) {
      ++Exits;
      GetWindowRect(Handle(), &SeenAtExit);
      return 42;
    }
    if (Msg == WM_APP) return 7;
    return TForm::OnMessage(Msg, WParam, LParam);
  }
};

class TPlainWindow : public TWindow {
public:
  TPlainWindow() { CreateHandle({"TSnapPlainWindow"}, 0, WS_POPUP, "", 0, 0, 10, 10, nullptr); }
};

std::function<bool(RECT&)> FakeTaskbar(std::optional<RECT> Bar) {
  return [Bar](RECT& Rect) {
    if (Bar) Rect = *Bar;
    return Bar.has_value();
  };
}

std::string ConstructionError(TWindow* Owner) {
  try {
    TALScreenSnap Snap(Owner);
  } catch (const Exception& E) {
    return E.Message();
  }
  return "(no error)";
}

LONG_PTR WindowProcOf(HWND Window) { return GetWindowLongPtrA(Window, GWLP_WNDPROC); }

class ALScreenSnap : public ::testing::Test {
protected:
  void SetUp() override {
    if (GetSystemMetrics(SM_CXSCREEN) != 1024 || GetSystemMetrics(SM_CYSCREEN) != 768)
      GTEST_SKIP() << "the cases are worked out for the 1024 x 768 test screen";
  }

  // Puts the form at Where, lets go of it as the end of a drag does, and
  // returns where it ended.
  RECT Release(const RECT& Where) {
    MoveWindow(Form.Handle(), Where.left, Where.top, Where.right - Where.left,
               Where.bottom - Where.top, FALSE);
    Answer = SendMessageA(Form.Handle(), WM_EXITSIZEMOVE, 0, 0);
    RECT Now;
    GetWindowRect(Form.Handle(), &Now);
    return Now;
  }

  TSnapForm Form;
  LRESULT Answer = 0;
};

struct TReleaseCase {
  const char* What;
  RECT Taskbar;
  RECT Released;
  POINT Ends;
};

TEST_F(ALScreenSnap, SnapsEdgesWithinTheThresholdOntoTheAreaOutsideTheTaskbar) {
  TALScreenSnap Snap(&Form);
  Snap.Threshold = 20;
  const TReleaseCase Cases[] = {
      {"bottom edge at 719", Bottom30, {300, 619, 500, 719}, {300, 638}},
      {"bottom edge at 718", Bottom30, {300, 618, 500, 718}, {300, 618}},
      {"left edge at 19", Bottom30, {19, 300, 219, 400}, {0, 300}},
      {"left edge at 20", Bottom30, {20, 300, 220, 400}, {20, 300}},
      {"right edge at 1005", Bottom30, {805, 300, 1005, 400}, {824, 300}},
      {"right edge at 1004", Bottom30, {804, 300, 1004, 400}, {804, 300}},
      {"partly off the top-left corner", Bottom30, {-50, -30, 150, 70}, {0, 0}},
      {"on a monitor to the right", Bottom30, {1300, 200, 1500, 300}, {824, 200}},
      {"larger than the area", Bottom30, {10, 10, 1110, 810}, {-76, -62}},
      {"left taskbar, left edge at 70", Left60, {70, 300, 270, 400}, {60, 300}},
      {"left taskbar, left edge at 80", Left60, {80, 300, 280, 400}, {80, 300}},
      {"left taskbar, bottom edge at 749", Left60, {300, 649, 500, 749}, {300, 668}},
      {"left taskbar, partly off the top-left corner", Left60, {-50, -30, 150, 70}, {60, 0}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    Snap.TaskbarRect = FakeTaskbar(C.Taskbar);
    RECT Now = Release(C.Released);
    EXPECT_EQ(Now.left, C.Ends.x);
    EXPECT_EQ(Now.top, C.Ends.y);
    EXPECT_EQ(Now.right - Now.left, C.Released.right - C.Released.left) << "never resized";
    EXPECT_EQ(Now.bottom - Now.top, C.Released.bottom - C.Released.top) << "never resized";
  }
}

// The form handles the message where the snap left it, and its answer is the
// message's answer; other messages reach it untouched.
TEST_F(ALScreenSnap, MovesBeforeTheFormSeesTheMessageAndPassesEveryMessageOn) {
  TALScreenSnap Snap(&Form);
  Snap.TaskbarRect = FakeTaskbar(Bottom30);
  RECT Now = Release({-50, -30, 150, 70});
  EXPECT_EQ(Answer, 42);
  EXPECT_EQ(Form.Exits, 1);
  EXPECT_EQ(Form.SeenAtExit.left, 0);
  EXPECT_EQ(Form.SeenAtExit.top, 0);
  EXPECT_EQ(Now.left, 0);
  EXPECT_EQ(SendMessageA(Form.Handle(), WM_APP, 0, 0), 7);
}

// A window let go of on a second monitor snaps to that monitor, not back
// onto the first.
TEST_F(ALScreenSnap, AWindowOnASecondMonitorSnapsThere) {
  TALScreenSnap Snap(&Form);
  Snap.TaskbarRect = FakeTaskbar(Bottom30);
  Snap.MonitorRects = [](HWND, RECT& Monitor, RECT& Work) {
    Monitor = Work = RECT{1920, 0, 3840, 1080};
    return true;
  };
  EXPECT_EQ(Release({2200, 100, 2400, 200}).left, 2200);
  EXPECT_EQ(Release({3630, 100, 3830, 200}).left, 3640);
  // The real query names the monitor the window is on: here, the only one.
  Snap.MonitorRects = TALScreenSnap::QueryMonitorRects;
  EXPECT_EQ(Release({5, 300, 205, 400}).left, 0);
}

TEST_F(ALScreenSnap, DefaultsToActiveWithThreshold30) {
  TALScreenSnap Snap(&Form);
  Snap.TaskbarRect = FakeTaskbar(Bottom30);
  EXPECT_EQ(Release({29, 300, 229, 400}).left, 0);
  EXPECT_EQ(Release({30, 300, 230, 400}).left, 30);
}

// A query that fails gives the whole screen: the bottom edge snaps to 768, not
// to a taskbar's top.
TEST_F(ALScreenSnap, AFailedTaskbarQueryMeansTheWholeScreen) {
  TALScreenSnap Snap(&Form);
  Snap.Threshold = 20;
  Snap.TaskbarRect = FakeTaskbar(std::nullopt);
  EXPECT_EQ(Release({300, 650, 500, 750}).bottom, 768);
  Snap.TaskbarRect = nullptr;
  EXPECT_EQ(Release({300, 650, 500, 750}).bottom, 768);
}

TEST_F(ALScreenSnap, InactiveMovesNothingAndIsReadAtEachMessage) {
  TALScreenSnap Snap(&Form);
  Snap.TaskbarRect = FakeTaskbar(Bottom30);
  Snap.Active = false;
  RECT Now = Release({-50, -30, 150, 70});
  EXPECT_EQ(Now.left, -50);
  EXPECT_EQ(Now.top, -30);
  EXPECT_EQ(Answer, 42);
  Snap.Active = true;
  Now = Release({-50, -30, 150, 70});
  EXPECT_EQ(Now.left, 0);
  EXPECT_EQ(Now.top, 0);
}

// The shell's own taskbar query (Wine reports no real taskbar): whatever it
// answers, a form dragged off the corner comes back onto the screen.
TEST_F(ALScreenSnap, TheShellsTaskbarQuerySnapsOntoTheScreen) {
  TALScreenSnap Snap(&Form);
  Snap.Threshold = 20;
  RECT Now = Release({-50, -30, 150, 70});
  EXPECT_GE(Now.left, 0);
  EXPECT_GE(Now.top, 0);
  EXPECT_LE(Now.right, 1024);
  EXPECT_LE(Now.bottom, 768);
}

TEST_F(ALScreenSnap, OwnerMustBeAForm) {
  TPlainWindow Plain;
  EXPECT_EQ(ConstructionError(nullptr), "Owner of TALScreenSnap component must be a form");
  EXPECT_EQ(ConstructionError(&Plain), "Owner of TALScreenSnap component must be a form");
}

// The second component is refused and the first goes on working, once per
// message.
TEST_F(ALScreenSnap, ASecondComponentOnTheFormIsRefused) {
  Form.Name = "MainForm";
  TALScreenSnap Snap(&Form);
  Snap.TaskbarRect = FakeTaskbar(Bottom30);
  const LONG_PTR Hooked = WindowProcOf(Form.Handle());
  EXPECT_EQ(ConstructionError(&Form), "TALScreenSnap component cannot be duplicated in MainForm");
  EXPECT_EQ(WindowProcOf(Form.Handle()), Hooked);
  EXPECT_EQ(Release({-50, -30, 150, 70}).left, 0);
  EXPECT_EQ(Form.Exits, 1);
}

TEST_F(ALScreenSnap, DestroyingTheComponentPutsThePreviousProcedureBack) {
  const LONG_PTR Original = WindowProcOf(Form.Handle());
  {
    TALScreenSnap Snap(&Form);
    EXPECT_NE(WindowProcOf(Form.Handle()), Original);
  }
  EXPECT_EQ(WindowProcOf(Form.Handle()), Original);
  EXPECT_EQ(Release({-50, -30, 150, 70}).left, -50);
  EXPECT_EQ(Answer, 42);
  EXPECT_EQ(SendMessageA(Form.Handle(), WM_APP, 0, 0), 7);
  // The form is free for a new one.
  TALScreenSnap Again(&Form);
  EXPECT_EQ(Release({-50, -30, 150, 70}).left, 0);
}

// Someone else's subclass over ours, passing messages on to ours.
WNDPROC OuterPrevious = nullptr;
int OuterCalls = 0;
LRESULT CALLBACK OuterProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  ++OuterCalls;
  return CallWindowProcA(OuterPrevious, Window, Msg, WParam, LParam);
}

// Ours cannot come out from under another subclass: it stays as a
// pass-through, a later component takes it over, and once ours is on top again
// a component's end unhooks for good.
TEST_F(ALScreenSnap, UnderAnotherSubclassTheHookStaysAsAPassThrough) {
  const LONG_PTR Original = WindowProcOf(Form.Handle());
  auto Snap = std::make_unique<TALScreenSnap>(&Form);
  OuterPrevious = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(Form.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OuterProc)));
  Snap.reset();
  EXPECT_EQ(Release({-50, -30, 150, 70}).left, -50);
  EXPECT_EQ(Answer, 42);
  OuterCalls = 0;
  EXPECT_EQ(SendMessageA(Form.Handle(), WM_APP, 0, 0), 7);
  EXPECT_EQ(OuterCalls, 1);

  Snap = std::make_unique<TALScreenSnap>(&Form);
  Snap->TaskbarRect = FakeTaskbar(Bottom30);
  EXPECT_EQ(Release({-50, -30, 150, 70}).left, 0);
  Snap.reset();
  EXPECT_EQ(Release({-50, -30, 150, 70}).left, -50);

  SetWindowLongPtrA(Form.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OuterPrevious));
  Snap = std::make_unique<TALScreenSnap>(&Form);
  Snap.reset();
  EXPECT_EQ(WindowProcOf(Form.Handle()), Original);
  EXPECT_EQ(SendMessageA(Form.Handle(), WM_APP, 0, 0), 7);
}

// The window may go first: with the component alive, which then has nothing
// to undo, or with only a pass-through left, which the window's end frees.
// Either way nothing touches the freed record or the dead window.
TEST_F(ALScreenSnap, TheWindowCanGoFirstOrTakeAPassThroughWithIt) {
  auto Other = std::make_unique<TSnapForm>();
  HWND Window = Other->Handle();
  auto Snap = std::make_unique<TALScreenSnap>(Other.get());
  Other.reset();
  EXPECT_FALSE(IsWindow(Window));
  Snap.reset();

  Other = std::make_unique<TSnapForm>();
  Window = Other->Handle();
  Snap = std::make_unique<TALScreenSnap>(Other.get());
  OuterPrevious = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OuterProc)));
  Snap.reset();
  Other.reset();
  EXPECT_FALSE(IsWindow(Window));
}

}  // namespace
