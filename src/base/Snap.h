#pragma once
// Where a window the user lets go of snaps to: flush against the edges of the
// part of its monitor the taskbar leaves free. Plain arithmetic on
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

// The area on one monitor: its work area (what the system leaves free of
// taskbars and docked bars), less the taskbar where it lies on this monitor
// and the work area does not already leave it out (as under Wine, which
// reports no taskbar in the work area). A taskbar on another monitor does not
// count here.
constexpr TSnapRect SnapAreaOn(const TSnapRect& Monitor, const TSnapRect& Work,
                               const std::optional<TSnapRect>& Taskbar) noexcept {
  std::optional<TSnapRect> Local;
  if (Taskbar && Taskbar->Left < Monitor.Right && Taskbar->Right > Monitor.Left &&
      Taskbar->Top < Monitor.Bottom && Taskbar->Bottom > Monitor.Top)
    Local = TSnapRect{Taskbar->Left - Monitor.Left, Taskbar->Top - Monitor.Top,
                      Taskbar->Right - Monitor.Left, Taskbar->Bottom - Monitor.Top};
  const TSnapRect Free = SnapArea(Monitor.Width(), Monitor.Height(), Local);
  TSnapRect Area{Free.Left + Monitor.Left, Free.Top + Monitor.Top, Free.Right + Monitor.Left,
                 Free.Bottom + Monitor.Top};
  if (Work.Left > Area.Left) Area.Left = Work.Left;
  if (Work.Top > Area.Top) Area.Top = Work.Top;
  if (Work.Right < Area.Right) Area.Right = Work.Right;
  if (Work.Bottom < Area.Bottom) Area.Bottom = Work.Bottom;
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
