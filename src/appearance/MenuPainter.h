#pragma once
// The menu painter: gives the menus a gradient background when both Active and
// Gradient are on, and the system's plain look otherwise.

#include <windows.h>

class TMenuPainter {
public:
  TMenuPainter() = default;
  TMenuPainter(const TMenuPainter&) = delete;
  TMenuPainter& operator=(const TMenuPainter&) = delete;
  ~TMenuPainter();

  // The menu bar whose drop-down menus are painted.
  void Attach(HMENU MenuBar) { FMenu = MenuBar; Apply(); }

  bool Active() const noexcept { return FActive; }
  void SetActive(bool Active) { FActive = Active; Apply(); }
  bool Gradient() const noexcept { return FGradient; }
  void SetGradient(bool Gradient) { FGradient = Gradient; Apply(); }

  // The brush now set on the drop-down menus; null for the system's own.
  HBRUSH Background() const noexcept { return FActive && FGradient ? FBrush : nullptr; }

private:
  void Apply();
  HMENU FMenu = nullptr;
  HBRUSH FBrush = nullptr;
  bool FActive = true;
  bool FGradient = false;
};
