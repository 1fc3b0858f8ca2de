#include "base/Snap.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr int W = 1024, H = 768;

struct TAreaCase {
  const char* What;
  std::optional<TSnapRect> Taskbar;
  TSnapRect Area;
};

TEST(SnapArea, CutsOffTheSideTheTaskbarCovers) {
  const TAreaCase Cases[] = {
      {"bottom", TSnapRect{0, 738, W, H}, {0, 0, W, 738}},
      {"top", TSnapRect{0, 0, W, 30}, {0, 30, W, H}},
      {"left", TSnapRect{0, 0, 60, H}, {60, 0, W, H}},
      {"right", TSnapRect{964, 0, W, H}, {0, 0, 964, H}},
      // Auto-hidden taskbars stick out over the screen's edges.
      {"top, overhanging", TSnapRect{-2, -2, W + 2, 4}, {0, 4, W, H}},
      {"right, overhanging", TSnapRect{W - 4, -2, W + 2, H + 2}, {0, 0, W - 4, H}},
      // Reaching every edge fits every rule: the bottom one is tried first.
      {"whole screen", TSnapRect{0, 0, W, H}, {0, 0, W, 0}},
      // Reaches left, top and bottom, not right: the left rule, not the top one.
      {"left before top", TSnapRect{0, 0, 100, H}, {100, 0, W, H}},
      {"floating", TSnapRect{100, 100, 400, 130}, {0, 0, W, H}},
      {"short of the bottom-right corner", TSnapRect{0, 738, W - 1, H}, {0, 0, W, H}},
      {"query failed", std::nullopt, {0, 0, W, H}},
  };
  for (const auto& C : Cases) EXPECT_EQ(SnapArea(W, H, C.Taskbar), C.Area) << C.What;
}

struct TMoveCase {
  const char* What;
  TSnapRect Window, Area;
  int Threshold;
  TSnapRect Snapped;
};

TEST(SnapWindow, MovesEdgesOntoTheAreaWithoutResizing) {
  const TSnapRect Top30{0, 30, W, H};
  const TMoveCase Cases[] = {
      {"below a top taskbar", {300, 49, 500, 149}, Top30, 20, {300, 30, 500, 130}},
      {"exactly the threshold below it", {300, 50, 500, 150}, Top30, 20, {300, 50, 500, 150}},
      {"threshold 0: an edge on the area's edge stays", {0, 30, 200, 130}, Top30, 0, {0, 30, 200, 130}},
      {"threshold 0: beyond it is pulled back", {-1, 29, 199, 129}, Top30, 0, {0, 30, 200, 130}},
      {"right and bottom", {W - 210, H - 115, W - 10, H - 15}, Top30, 20, {W - 200, H - 100, W, H}},
      {"wider than the area only", {5, 300, W + 105, 400}, Top30, 20, {-100, 300, W, 400}},
      {"larger both ways: flush right and bottom", {10, 10, W + 110, H + 20}, Top30, 20,
       {-100, -10, W, H}},
  };
  for (const auto& C : Cases) EXPECT_EQ(SnapWindow(C.Window, C.Area, C.Threshold), C.Snapped) << C.What;
}

}  // namespace

namespace {

// Two monitors side by side, the taskbar at the bottom of the first: each
// window snaps to the monitor it is on.
TEST(SnapAreaOn, EachMonitorHasItsOwnArea) {
  const TSnapRect Primary{0, 0, 1920, 1080}, Second{1920, 0, 3840, 1080};
  const TSnapRect Bar{0, 1040, 1920, 1080};
  struct TCase {
    const char* What;
    TSnapRect Monitor, Work, Window, Snapped;
  };
  const TCase Cases[] = {
      {"in the middle of the second stays", Second, Second, {2200, 100, 2717, 472}, {2200, 100, 2717, 472}},
      {"near the second's right edge", Second, Second, {3310, 100, 3827, 472}, {3323, 100, 3840, 472}},
      {"near the second's left edge", Second, Second, {1925, 100, 2442, 472}, {1920, 100, 2437, 472}},
      {"near the second's bottom: no taskbar there", Second, Second, {2200, 700, 2717, 1072}, {2200, 708, 2717, 1080}},
      {"near the first's bottom: above the taskbar", Primary, Primary, {100, 660, 617, 1032}, {100, 668, 617, 1040}},
      {"a work area that leaves out a docked bar", Second, {1920, 0, 3840, 1000}, {2200, 620, 2717, 992}, {2200, 628, 2717, 1000}},
  };
  for (const TCase& C : Cases)
    EXPECT_EQ(SnapWindow(C.Window, SnapAreaOn(C.Monitor, C.Work, Bar), 20), C.Snapped) << C.What;
}

}  // namespace
