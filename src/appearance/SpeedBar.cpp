#include "appearance/SpeedBar.h"

#include "win/Icons.h"
#include "win/WidePath.h"

#include <commctrl.h>

#include <algorithm>

void TSpeedBar::Create(HWND Parent, int Id, int Height, HFONT Font) {
  FFont = Font;
  RECT Client;
  GetClientRect(Parent, &Client);
  CreateHandle({"TSpeedBar", CS_HREDRAW | CS_VREDRAW}, WS_EX_CONTROLPARENT,
               WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, "", 0, 0, Client.right, Height, Parent,
               reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)));
  INITCOMMONCONTROLSEX Classes{sizeof Classes, ICC_BAR_CLASSES};
  InitCommonControlsEx(&Classes);
  // A pop-up: the system makes the bar's top-level window its owner, so it
  // floats over the window without being clipped by the bar.
  FTooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                             GetModuleHandleW(nullptr), nullptr);
}

// The buttons call this object back until they are gone.
TSpeedBar::~TSpeedBar() { DestroyHandle(); }

HWND TSpeedBar::AddButton(int Id, const std::string& Caption, int Picture,
                          const std::string& Hint, int Left, int Top, int Width, int Height) {
  HWND Button = CreateWindowExA(0, "BUTTON", Caption.c_str(),
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, Left, Top, Width,
                                Height, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)),
                                GetModuleHandleA(nullptr), nullptr);
  SendMessageA(Button, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
  TIcon Icon(LoadIconNear(GetModuleHandleW(nullptr), Picture, FPictureSize));
  const int Drawn = IconWidth(Icon.get());
  FButtons.push_back({Button, Picture, std::move(Icon), Drawn, Hint, false});
  SubclassControl(Button, this);
  AddTool(FButtons.back());
  return Button;
}

void TSpeedBar::AddTool(const TButton& Button) {
  if (!FTooltip) return;
  // The tooltip keeps its own copy of the text. TTF_SUBCLASS: it watches the
  // button's mouse messages itself.
  std::wstring Text = Widen(Button.Hint);
  TTTOOLINFOW Tool{};
  Tool.cbSize = sizeof Tool;
  Tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  Tool.hwnd = Handle();
  Tool.uId = reinterpret_cast<UINT_PTR>(Button.Window);
  Tool.lpszText = Text.data();
  SendMessageW(FTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&Tool));
}

void TSpeedBar::SetPictureSize(int Size) {
  FPictureSize = Size;
  for (TButton& Button : FButtons) {
    Button.Picture.reset(LoadIconNear(GetModuleHandleW(nullptr), Button.PictureId, Size));
    Button.PictureWidth = IconWidth(Button.Picture.get());
    InvalidateRect(Button.Window, nullptr, FALSE);
  }
}

HICON TSpeedBar::PictureOf(HWND Button) const {
  const TButton* Found = Find(Button);
  return Found ? Found->Picture.get() : nullptr;
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

const TSpeedBar::TButton* TSpeedBar::Find(HWND Window) const {
  return const_cast<TSpeedBar*>(this)->Find(Window);
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

  // The margins were designed for the 32-pixel picture and grow with it; a
  // picture drawn smaller than its room is centred in it.
  const int Room = FPictureSize, Drawn = Button->PictureWidth;
  const int Margin = MulDiv(3, Room, 32);
  const int Shift = Pressed ? 1 : 0;
  const int PictureX = Rect.left + (Rect.right - Rect.left - Drawn) / 2 + Shift;
  const int PictureY = Rect.top + Margin + (Room - Drawn) / 2 + Shift;
  if (Disabled)
    DrawStateA(Dc, nullptr, nullptr, reinterpret_cast<LPARAM>(Button->Picture.get()), 0, PictureX,
               PictureY, Drawn, Drawn, DST_ICON | DSS_DISABLED);
  else
    DrawIconEx(Dc, PictureX, PictureY, Button->Picture.get(), Drawn, Drawn, 0, nullptr, DI_NORMAL);

  std::string Caption = GetText(Item.hwndItem);
  RECT Text{Rect.left + Shift, Rect.top + Margin + Room + MulDiv(1, Room, 32) + Shift,
            Rect.right + Shift, Rect.bottom};
  SetBkMode(Dc, TRANSPARENT);
  SetTextColor(Dc, GetSysColor(Disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  HGDIOBJ OldFont = SelectObject(Dc, FFont);
  DrawTextA(Dc, Caption.c_str(), -1, &Text, DT_CENTER | DT_TOP | DT_SINGLELINE);
  SelectObject(Dc, OldFont);
  if (Item.itemState & ODS_FOCUS && !(Item.itemState & ODS_NOFOCUSRECT)) {
    RECT Focus = Rect;
    InflateRect(&Focus, -Margin, -Margin);
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
    case WM_DESTROY:
      // The tooltip belongs to the top-level window, which may live on.
      if (FTooltip) DestroyWindow(FTooltip);
      FTooltip = nullptr;
      break;
  }
  return Default(Msg, WParam, LParam);
}

void TSpeedBar::SetFont(HFONT Font) {
  FFont = Font;
  for (const TButton& Button : FButtons)
    SendMessageA(Button.Window, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), TRUE);
}
