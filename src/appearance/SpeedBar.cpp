#include "appearance/SpeedBar.h"

#include <algorithm>

void TSpeedBar::Create(HWND Parent, int Id, int Height, HFONT Font) {
  FFont = Font;
  RECT Client;
  GetClientRect(Parent, &Client);
  CreateHandle({"TSpeedBar", CS_HREDRAW | CS_VREDRAW}, WS_EX_CONTROLPARENT,
               WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, "", 0, 0, Client.right, Height, Parent,
               reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)));
}

// The buttons call this object back until they are gone.
TSpeedBar::~TSpeedBar() { DestroyHandle(); }

HWND TSpeedBar::AddButton(int Id, const std::string& Caption, HICON Picture,
                          const std::string& Hint, int Left, int Top, int Width, int Height) {
  HWND Button = CreateWindowExA(0, "BUTTON", Caption.c_str(),
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, Left, Top, Width,
                                Height, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)),
                                GetModuleHandleA(nullptr), nullptr);
  SendMessageA(Button, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
  FButtons.push_back({Button, Picture, Hint, false});
  SubclassControl(Button, this);
  return Button;
}

std::string TSpeedBar::HintOf(HWND Button) const {
  for (const TButton& B : FButtons)
    if (B.Window == Button) return B.Hint;
  return {};
}

TSpeedBar::TButton* TSpeedBar::Find(HWND Window) {
  auto It = std::find_if(FButtons.begin(), FButtons.end(),
                         [&](const TButton& B) { return B.Window == Window; });
  return It == FButtons.end() ? nullptr : &*It;
}

void TSpeedBar::SetWallpaper(HBITMAP Wallpaper) {
  FWallpaper = Wallpaper;
  FBackground.reset();
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TSpeedBar::SetBevels(TBevel Inner, TBevel Outer) {
  FInner = Inner;
  FOuter = Outer;
  FBackground.reset();
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TSpeedBar::PaintBackground(HDC Dc) {
  RECT Client;
  GetClientRect(Handle(), &Client);
  HDC Cache = CreateCompatibleDC(Dc);
  if (!FBackground || FBackgroundSize.cx != Client.right || FBackgroundSize.cy != Client.bottom) {
    FBackground.reset(CreateCompatibleBitmap(Dc, Client.right, Client.bottom));
    FBackgroundSize = {Client.right, Client.bottom};
    HGDIOBJ Old = SelectObject(Cache, FBackground.get());
    RenderBackground(Cache, Client);
    SelectObject(Cache, Old);
  }
  HGDIOBJ Old = SelectObject(Cache, FBackground.get());
  BitBlt(Dc, 0, 0, Client.right, Client.bottom, Cache, 0, 0, SRCCOPY);
  SelectObject(Cache, Old);
  DeleteDC(Cache);
}

void TSpeedBar::RenderBackground(HDC Dc, const RECT& Client) const {
  if (FWallpaper) {
    BITMAP Info;
    GetObjectA(FWallpaper, sizeof Info, &Info);
    HDC Source = CreateCompatibleDC(Dc);
    HGDIOBJ Old = SelectObject(Source, FWallpaper);
    SetStretchBltMode(Dc, HALFTONE);
    StretchBlt(Dc, 0, 0, Client.right, Client.bottom, Source, 0, 0, Info.bmWidth, Info.bmHeight,
               SRCCOPY);
    SelectObject(Source, Old);
    DeleteDC(Source);
  } else {
    FillRect(Dc, &Client, GetSysColorBrush(COLOR_BTNFACE));
  }
  UINT Edge = 0;
  if (FOuter == TBevel::bvRaised) Edge |= BDR_RAISEDOUTER;
  if (FOuter == TBevel::bvLowered) Edge |= BDR_SUNKENOUTER;
  if (FInner == TBevel::bvRaised) Edge |= BDR_RAISEDINNER;
  if (FInner == TBevel::bvLowered) Edge |= BDR_SUNKENINNER;
  if (Edge) {
    RECT Frame = Client;
    DrawEdge(Dc, &Frame, Edge, BF_RECT);
  }
}

void TSpeedBar::DrawButton(const DRAWITEMSTRUCT& Item) {
  TButton* Button = Find(Item.hwndItem);
  if (!Button) return;
  HDC Dc = Item.hDC;
  RECT Rect = Item.rcItem;

  // Transparent: the bar's own background shows through.
  POINT Origin{0, 0};
  MapWindowPoints(Item.hwndItem, Handle(), &Origin, 1);
  SetViewportOrgEx(Dc, -Origin.x, -Origin.y, nullptr);
  PaintBackground(Dc);
  SetViewportOrgEx(Dc, 0, 0, nullptr);

  const bool Disabled = Item.itemState & ODS_DISABLED;
  const bool Pressed = Item.itemState & ODS_SELECTED;
  if (!Disabled && (Pressed || Button->Hot)) {
    RECT Frame = Rect;
    DrawEdge(Dc, &Frame, Pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  }

  const int Shift = Pressed ? 1 : 0;
  const int PictureX = Rect.left + (Rect.right - Rect.left - 32) / 2 + Shift;
  const int PictureY = Rect.top + 3 + Shift;
  if (Disabled)
    DrawStateA(Dc, nullptr, nullptr, reinterpret_cast<LPARAM>(Button->Picture), 0, PictureX,
               PictureY, 32, 32, DST_ICON | DSS_DISABLED);
  else
    DrawIconEx(Dc, PictureX, PictureY, Button->Picture, 32, 32, 0, nullptr, DI_NORMAL);

  std::string Caption = GetText(Item.hwndItem);
  RECT Text{Rect.left + Shift, PictureY + 32 + 1, Rect.right + Shift, Rect.bottom};
  SetBkMode(Dc, TRANSPARENT);
  SetTextColor(Dc, GetSysColor(Disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  HGDIOBJ OldFont = SelectObject(Dc, FFont);
  DrawTextA(Dc, Caption.c_str(), -1, &Text, DT_CENTER | DT_TOP | DT_SINGLELINE);
  SelectObject(Dc, OldFont);
  if (Item.itemState & ODS_FOCUS && !(Item.itemState & ODS_NOFOCUSRECT)) {
    RECT Focus = Rect;
    InflateRect(&Focus, -3, -3);
    DrawFocusRect(Dc, &Focus);
  }
}

bool TSpeedBar::ControlMessage(HWND Control, UINT Msg, WPARAM, LPARAM, LRESULT&) {
  TButton* Button = Find(Control);
  if (!Button) return false;
  switch (Msg) {
    case WM_MOUSEMOVE:
      if (!Button->Hot) {
        Button->Hot = true;
        TRACKMOUSEEVENT Track{sizeof Track, TME_LEAVE, Control, 0};
        TrackMouseEvent(&Track);
        InvalidateRect(Control, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      Button->Hot = false;
      InvalidateRect(Control, nullptr, FALSE);
      break;
  }
  return false;
}

LRESULT TSpeedBar::OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT Paint;
      PaintBackground(BeginPaint(Handle(), &Paint));
      EndPaint(Handle(), &Paint);
      return 0;
    }
    case WM_DRAWITEM:
      DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(LParam));
      return TRUE;
    case WM_COMMAND:
      return SendMessageA(GetParent(Handle()), WM_COMMAND, WParam, LParam);
  }
  return Default(Msg, WParam, LParam);
}

void TSpeedBar::SetFont(HFONT Font) {
  FFont = Font;
  for (const TButton& Button : FButtons)
    SendMessageA(Button.Window, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), TRUE);
}
