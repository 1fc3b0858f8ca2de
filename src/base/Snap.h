#pragma once
// Where a window the user lets go of snaps to: flush against the edges of the
// part of the primary screen the taskbar leaves free. Plain arithmetic on
// screen rectangles (right and bottom exclusive, as Windows has them), so it
// builds natively too.

#include <optional>

struct TSnapRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;

  constexpr int Width() const noexcept { return Right - Left; }
  constexpr int Height() const noexcept { return Bottom - Top; }
  friend constexpr bool operator==(const TSnapRect&, const TSnapRect&) = default;
};

// The screen (0, 0, ScreenWidth, ScreenHeight) less the side the taskbar
// covers. The taskbar's side is told by which screen edges it reaches, tried
// bottom, top, left, right: a taskbar that reaches all four (auto-hidden ones
// can be reported so) counts as the bottom one. A taskbar that fits none of the
// sides, or none at all (the query failed), leaves the whole screen.
constexpr TSnapRect SnapArea(int ScreenWidth, int ScreenHeight,
                             const std::optional<TSnapRect>& Taskbar) noexcept {
  TSnapRect Area{0, 0, ScreenWidth, ScreenHeight};
  if (!Taskbar) return Area;
  const TSnapRect& Bar = *Taskbar;
  if (Bar.Left <= 0 && Bar.Bottom >= ScreenHeight && Bar.Right >= ScreenWidth)
    Area.Bottom = Bar.Top;
  else if (Bar.Top <= 0 && Bar.Left <= 0 && Bar.Right >= ScreenWidth)
    Area.Top = Bar.Bottom;
  else if (Bar.Left <= 0 && Bar.Top <= 0 && Bar.Bottom >= ScreenHeight)
    Area.Left = Bar.Right;
  else if (Bar.Right >= ScreenWidth && Bar.Top <= 0 && Bar.Bottom >= ScreenHeight)
    Area.Right = Bar.Left;
  return Area;
}

// Window moved (never resized) so that each edge closer to Area's edge than
// Threshold, or beyond it, lies on it. The tests are strict: an edge exactly
// Threshold inside stays. Left and top are settled first and right and bottom
// last, each test seeing the moves before it, so a window larger than the area
// ends flush with its right and bottom edges.
constexpr TSnapRect SnapWindow(const TSnapRect& Window, const TSnapRect& Area,
                               int Threshold) noexcept {
  const int Width = Window.Width(), Height = Window.Height();
  int Left = Window.Left, Top = Window.Top;
  if (Left < Area.Left + Threshold) Left = Area.Left;
  if (Top < Area.Top + Threshold) Top = Area.Top;
  if (Left + Width > Area.Right - Threshold) Left = Area.Right - Width;
  if (Top + Height > Area.Bottom - Threshold) Top = Area.Bottom - Height;
  return {Left, Top, Left + Width, Top + Height};
}
