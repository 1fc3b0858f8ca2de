#pragma once
// How the main window's drop-down menus look: each item drawn the way the
// system has it drawn when a menu opens (WM_MEASUREITEM, then WM_DRAWITEM to the
// window that owns the menu bar), into a bitmap the test can read.

#include <windows.h>

#include <ostream>
#include <vector>

// The drop-down menus of Window's menu bar and their sub-menus.
inline void CollectDropDowns(HMENU Menu, std::vector<HMENU>& Into) {
  for (int I = 0, N = GetMenuItemCount(Menu); I < N; ++I)
    if (HMENU Sub = GetSubMenu(Menu, I)) {
      Into.push_back(Sub);
      CollectDropDowns(Sub, Into);
    }
}
inline std::vector<HMENU> DropDowns(HWND Window) {
  std::vector<HMENU> Menus;
  CollectDropDowns(GetMenu(Window), Menus);
  return Menus;
}

// The average character width of the system's menu font.
inline int MenuCharWidth() {
  NONCLIENTMETRICSA Metrics{};
  Metrics.cbSize = sizeof Metrics;
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof Metrics, &Metrics, 0);
  HFONT Font = CreateFontIndirectA(&Metrics.lfMenuFont);
  HDC Dc = CreateCompatibleDC(nullptr);
  HGDIOBJ Old = SelectObject(Dc, Font);
  TEXTMETRICA Text{};
  GetTextMetricsA(Dc, &Text);
  SelectObject(Dc, Old);
  DeleteDC(Dc);
  DeleteObject(Font);
  return Text.tmAveCharWidth;
}

// One item of a drop-down, measured and drawn through Owner; an item the
// system draws itself is not drawn here (OwnerDrawn false).
class TDrawnItem {
public:
  TDrawnItem(HWND Owner, HMENU Menu, int Position) {
    MENUITEMINFOA Info{sizeof Info};
    Info.fMask = MIIM_ID | MIIM_DATA | MIIM_FTYPE | MIIM_STATE;
    GetMenuItemInfoA(Menu, Position, TRUE, &Info);
    OwnerDrawn = Info.fType & MFT_OWNERDRAW;
    if (!OwnerDrawn) return;
    MEASUREITEMSTRUCT Measure{ODT_MENU, 0, Info.wID, 0, 0, Info.dwItemData};
    SendMessageA(Owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&Measure));
    Width = static_cast<int>(Measure.itemWidth);
    Height = static_cast<int>(Measure.itemHeight);
    BITMAPINFO Bitmap{};
    Bitmap.bmiHeader = {sizeof(BITMAPINFOHEADER), Width, -Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* Bits = nullptr;
    HDC Dc = CreateCompatibleDC(nullptr);
    HBITMAP Picture = CreateDIBSection(Dc, &Bitmap, DIB_RGB_COLORS, &Bits, nullptr, 0);
    HGDIOBJ Old = SelectObject(Dc, Picture);
    DRAWITEMSTRUCT Draw{ODT_MENU, 0, Info.wID, ODA_DRAWENTIRE, 0, reinterpret_cast<HWND>(Menu),
                        Dc, {0, 0, Width, Height}, Info.dwItemData};
    if (Info.fState & MFS_CHECKED) Draw.itemState |= ODS_CHECKED;
    SendMessageA(Owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&Draw));
    GdiFlush();
    const auto* Pixels = static_cast<const DWORD*>(Bits);
    FPixels.assign(Pixels, Pixels + Width * Height);
    SelectObject(Dc, Old);
    DeleteObject(Picture);
    DeleteDC(Dc);
  }

  COLORREF Pixel(int X, int Y) const {
    const DWORD P = FPixels[Y * Width + X];  // BGR
    return RGB(GetBValue(P), GetGValue(P), GetRValue(P));
  }
  // Column X holds some of the (dark) text.
  bool Ink(int X) const {
    for (int Y = 0; Y < Height; ++Y) {
      const COLORREF P = Pixel(X, Y);
      if (GetRValue(P) + GetGValue(P) + GetBValue(P) < 3 * 128) return true;
    }
    return false;
  }
  // Where the text after the last blank stretch of at least Gap columns
  // starts; -1 when there is no such stretch between two texts.
  int TextAfterGap(int Gap) const {
    int Start = -1, Blank = 0;
    bool Seen = false;
    for (int X = 0; X < Width; ++X) {
      if (!Ink(X)) {
        ++Blank;
        continue;
      }
      if (Seen && Blank >= Gap) Start = X;
      Seen = true;
      Blank = 0;
    }
    return Start;
  }

  bool OwnerDrawn = false;
  int Width = 0, Height = 0;

private:
  std::vector<DWORD> FPixels;
};

// How a drop-down shows: with the gradient (a background brush, and its first
// item painted at its left edge in another colour than the menu colour), plain
// (neither), a mix of both, or not drawn by the painter at all: the last two
// are faults.
enum class TLook { Gradient, Plain, Mixed, NotDrawn };
inline void PrintTo(TLook Look, std::ostream* Out) {
  *Out << (Look == TLook::Gradient ? "gradient"
           : Look == TLook::Plain  ? "plain"
           : Look == TLook::Mixed  ? "mixed"
                                   : "not drawn by the painter");
}

// The look of each drop-down of Owner's menu bar.
inline std::vector<TLook> MenuLooks(HWND Owner) {
  std::vector<TLook> Looks;
  for (HMENU Menu : DropDowns(Owner)) {
    MENUINFO Info{sizeof Info};
    Info.fMask = MIM_BACKGROUND;
    GetMenuInfo(Menu, &Info);
    TDrawnItem First(Owner, Menu, 0);
    if (!First.OwnerDrawn) {
      Looks.push_back(TLook::NotDrawn);
      continue;
    }
    const bool Tinted = First.OwnerDrawn && First.Pixel(0, First.Height / 2) != GetSysColor(COLOR_MENU);
    Looks.push_back(Info.hbrBack && Tinted    ? TLook::Gradient
                    : !Info.hbrBack && !Tinted ? TLook::Plain
                                               : TLook::Mixed);
  }
  return Looks;
}
