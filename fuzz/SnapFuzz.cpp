// Snaps arbitrary windows to arbitrary areas and checks what must hold
// whatever the numbers: the size is kept, each edge that moves lands on an edge
// of the area, a window that fits ends inside the area, and snapping again
// changes nothing. Also cuts arbitrary taskbars off a screen: at most one side
// of the screen moves, and no taskbar leaves the whole screen.
//
// Input: 16-bit values (window, area, taskbar, screen size, threshold), so no
// sum overflows.

#include "base/Snap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool Holds) {
  if (!Holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  constexpr std::size_t Count = 15;
  if (Size < Count * 2) return 0;
  std::int16_t V[Count];
  std::memcpy(V, Data, sizeof V);

  const TSnapRect Window{V[0], V[1], V[0] + std::abs(V[2]), V[1] + std::abs(V[3])};
  const TSnapRect Area{V[4], V[5], V[4] + std::abs(V[6]), V[5] + std::abs(V[7])};
  const int Threshold = std::abs(V[8]);
  const TSnapRect Snapped = SnapWindow(Window, Area, Threshold);

  Check(Snapped.Width() == Window.Width() && Snapped.Height() == Window.Height());
  Check(Snapped.Left == Window.Left || Snapped.Left == Area.Left || Snapped.Right == Area.Right);
  Check(Snapped.Top == Window.Top || Snapped.Top == Area.Top || Snapped.Bottom == Area.Bottom);
  if (Window.Width() <= Area.Width()) Check(Snapped.Left >= Area.Left && Snapped.Right <= Area.Right);
  if (Window.Height() <= Area.Height()) Check(Snapped.Top >= Area.Top && Snapped.Bottom <= Area.Bottom);
  Check(SnapWindow(Snapped, Area, Threshold) == Snapped);

  const int Width = std::abs(V[9]), Height = std::abs(V[10]);
  const TSnapRect Bar{V[11], V[12], V[11] + std::abs(V[13]), V[12] + std::abs(V[14])};
  const TSnapRect Screen = SnapArea(Width, Height, Bar);
  int Changed = (Screen.Left != 0) + (Screen.Top != 0) + (Screen.Right != Width) + (Screen.Bottom != Height);
  Check(Changed <= 1);
  Check(SnapArea(Width, Height, std::nullopt) == (TSnapRect{0, 0, Width, Height}));
  return 0;
}
