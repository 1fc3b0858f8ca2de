#pragma once
// A window timer that can be switched on and off: WM_TIMER with its ID reaches
// the window every Interval milliseconds while it is enabled, or after the
// delay that Rearm last gave.

#include <windows.h>

class TTimer {
public:
  TTimer() = default;
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;
  ~TTimer() { SetEnabled(false); }

  void Attach(HWND Window, UINT_PTR Id) {
    SetEnabled(false);
    FWindow = Window;
    FId = Id;
  }
  UINT_PTR Id() const noexcept { return FId; }
  UINT Interval() const noexcept { return FInterval; }
  bool Enabled() const noexcept { return FEnabled; }
  // Milliseconds from the last arming to the next tick.
  UINT Delay() const noexcept { return FDelay; }

  void SetEnabled(bool On) {
    if (On == FEnabled || !FWindow) return;
    FDelay = FInterval;
    FEnabled = On && SetTimer(FWindow, FId, FInterval, nullptr) != 0;
    if (!On) KillTimer(FWindow, FId);
  }

  // The next tick comes DelayMs from now, the ones after it every DelayMs too
  // unless rearmed again. Nothing happens while the timer is off.
  void Rearm(UINT DelayMs) {
    if (!FEnabled) return;
    FDelay = DelayMs;
    SetTimer(FWindow, FId, DelayMs, nullptr);
  }

private:
  HWND FWindow = nullptr;
  UINT_PTR FId = 0;
  UINT FInterval = 1000;
  UINT FDelay = 1000;
  bool FEnabled = false;
};
