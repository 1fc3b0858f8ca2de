#include "appearance/MenuPainter.h"

namespace {

// A horizontal gradient from a light blue to the menu colour, as a pattern
// brush one pixel high (patterns repeat downwards).
HBRUSH CreateGradientBrush() {
  constexpr int Width = 512;
  BITMAPINFO Info{};
  Info.bmiHeader = {sizeof(BITMAPINFOHEADER), Width, 1, 1, 32, BI_RGB};
  void* Bits = nullptr;
  HBITMAP Bitmap = CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
  if (!Bitmap) return nullptr;
  const COLORREF From = RGB(0xC6, 0xD9, 0xF5), To = GetSysColor(COLOR_MENU);
  auto* Pixel = static_cast<DWORD*>(Bits);
  for (int X = 0; X < Width; ++X) {
    auto Mix = [&](int A, int B) { return A + (B - A) * X / (Width - 1); };
    Pixel[X] = RGB(Mix(GetBValue(From), GetBValue(To)), Mix(GetGValue(From), GetGValue(To)),
                   Mix(GetRValue(From), GetRValue(To)));  // DIB pixels are BGR
  }
  HBRUSH Brush = CreatePatternBrush(Bitmap);
  DeleteObject(Bitmap);
  return Brush;
}

}  // namespace

TMenuPainter::~TMenuPainter() {
  if (FBrush) DeleteObject(FBrush);
}

void TMenuPainter::Apply() {
  if (!FMenu) return;
  if (FActive && FGradient && !FBrush) FBrush = CreateGradientBrush();
  for (int I = 0, N = GetMenuItemCount(FMenu); I < N; ++I) {
    HMENU Sub = GetSubMenu(FMenu, I);
    if (!Sub) continue;
    MENUINFO Info{sizeof Info};
    Info.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
    Info.hbrBack = Background();
    SetMenuInfo(Sub, &Info);
  }
}
