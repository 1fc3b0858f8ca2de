#include "appearance/MenuPainter.h"

#include "win/Shell.h"

#include <algorithm>
#include <cctype>

namespace {

// One item as the menu holds it: its text split at the tab into the label and
// the shortcut, its type and state.
struct TEntry {
  std::string Label, Shortcut;
  UINT Type = 0, State = 0;
  bool SubMenu = false;
};

TEntry ReadItem(HMENU Menu, UINT Position) {
  MENUITEMINFOA Info{sizeof Info};
  Info.fMask = MIIM_STRING | MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
  TEntry Entry;
  if (!GetMenuItemInfoA(Menu, Position, TRUE, &Info)) return Entry;
  Entry.Type = Info.fType;
  Entry.State = Info.fState;
  Entry.SubMenu = Info.hSubMenu != nullptr;
  std::string Text(Info.cch + 1, '\0');
  Info.fMask = MIIM_STRING;
  Info.dwTypeData = Text.data();
  Info.cch = static_cast<UINT>(Text.size());
  if (!GetMenuItemInfoA(Menu, Position, TRUE, &Info)) return Entry;
  Text.resize(Info.cch);
  const auto Tab = Text.find('\t');
  Entry.Label = Text.substr(0, Tab);
  if (Tab != std::string::npos) Entry.Shortcut = Text.substr(Tab + 1);
  return Entry;
}

// The system's menu font and sizes at Dpi. The per-scale query exists from
// Windows 10 on, and only for wide strings.
NONCLIENTMETRICSW MenuMetrics(int Dpi) {
  NONCLIENTMETRICSW Metrics{};
  Metrics.cbSize = sizeof Metrics;
  using TForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto ForDpi = reinterpret_cast<TForDpi>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("user32"), "SystemParametersInfoForDpi")));
  if (ForDpi && ForDpi(SPI_GETNONCLIENTMETRICS, sizeof Metrics, &Metrics, 0, Dpi)) return Metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof Metrics, &Metrics, 0);
  Metrics.lfMenuFont.lfHeight = MulDiv(Metrics.lfMenuFont.lfHeight, Dpi, ScreenPixelsPerInch());
  return Metrics;
}

// A memory DC with a font selected, to measure text in.
class TMeasureDc {
public:
  explicit TMeasureDc(HGDIOBJ Font)
      : FDc(CreateCompatibleDC(nullptr)), FOld(SelectObject(FDc, Font)) {}
  ~TMeasureDc() {
    SelectObject(FDc, FOld);
    DeleteDC(FDc);
  }
  TMeasureDc(const TMeasureDc&) = delete;
  TMeasureDc& operator=(const TMeasureDc&) = delete;

  int Width(const std::string& Text, UINT Format) const {
    RECT Rect{0, 0, 0, 0};
    DrawTextA(FDc, Text.c_str(), -1, &Rect, Format | DT_SINGLELINE | DT_CALCRECT);
    return Rect.right - Rect.left;
  }
  HDC get() const noexcept { return FDc; }

private:
  HDC FDc;
  HGDIOBJ FOld;
};

// From a light blue at the left edge to the menu colour Band pixels on, then
// the menu colour, as a pattern brush one pixel high (patterns repeat
// downwards; the bitmap is wider than any menu, so it does not repeat across).
HBRUSH CreateGradientBrush(int Band) {
  Band = std::max(Band, 1);
  const int Width = std::max(2048, 4 * Band);
  BITMAPINFO Info{};
  Info.bmiHeader = {sizeof(BITMAPINFOHEADER), Width, 1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* Bits = nullptr;
  HBITMAP Bitmap = CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0);
  if (!Bitmap) return nullptr;
  const COLORREF From = RGB(0xC6, 0xD9, 0xF5), To = GetSysColor(COLOR_MENU);
  auto* Pixel = static_cast<DWORD*>(Bits);
  for (int X = 0; X < Width; ++X) {
    const int Step = std::min(X, Band);
    auto Mix = [&](int A, int B) { return A + (B - A) * Step / Band; };
    Pixel[X] = RGB(Mix(GetBValue(From), GetBValue(To)), Mix(GetGValue(From), GetGValue(To)),
                   Mix(GetRValue(From), GetRValue(To)));  // DIB pixels are BGR
  }
  HBRUSH Brush = CreatePatternBrush(Bitmap);
  DeleteObject(Bitmap);
  return Brush;
}

// One of the system's menu glyphs (DFCS_MENUCHECK, DFCS_MENUBULLET,
// DFCS_MENUARROW), Size pixels square, centred in Box, in the colour Color.
void DrawGlyph(HDC Dc, const RECT& Box, UINT Glyph, int Size, COLORREF Color) {
  HDC Mask = CreateCompatibleDC(Dc);
  HBITMAP Bits = CreateBitmap(Size, Size, 1, 1, nullptr);
  HGDIOBJ OldBits = SelectObject(Mask, Bits);
  RECT Square{0, 0, Size, Size};
  DrawFrameControl(Mask, &Square, DFC_MENU, Glyph);  // black on white
  // Where the mask is black the brush goes; where white the item stays.
  constexpr DWORD PaintWhereBlack = 0x00B8074A;
  const COLORREF OldText = SetTextColor(Dc, RGB(0, 0, 0));
  const COLORREF OldBack = SetBkColor(Dc, RGB(255, 255, 255));
  HGDIOBJ OldBrush = SelectObject(Dc, GetStockObject(DC_BRUSH));
  SetDCBrushColor(Dc, Color);
  BitBlt(Dc, (Box.left + Box.right - Size) / 2, (Box.top + Box.bottom - Size) / 2, Size, Size, Mask,
         0, 0, PaintWhereBlack);
  SelectObject(Dc, OldBrush);
  SetBkColor(Dc, OldBack);
  SetTextColor(Dc, OldText);
  SelectObject(Mask, OldBits);
  DeleteObject(Bits);
  DeleteDC(Mask);
}

}  // namespace

char MenuMnemonic(const std::string& Text) {
  for (std::size_t I = 0; I + 1 < Text.size(); ++I) {
    if (Text[I] != '&') continue;
    if (Text[I + 1] == '&') {
      ++I;
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(Text[I + 1])));
  }
  return 0;
}

void TMenuPainter::Attach(HMENU MenuBar, int Dpi) {
  if (MenuBar != FMenuBar) {
    FItems.clear();
    FMenus.clear();
    FLayouts.clear();
    FMenuBar = MenuBar;
    for (int I = 0, N = MenuBar ? GetMenuItemCount(MenuBar) : 0; I < N; ++I)
      if (HMENU Sub = GetSubMenu(MenuBar, I)) Convert(Sub);
  }
  Refresh(Dpi);
}

void TMenuPainter::Convert(HMENU Menu) {
  FMenus.push_back(Menu);
  for (int I = 0, N = GetMenuItemCount(Menu); I < N; ++I) {
    MENUITEMINFOA Info{sizeof Info};
    Info.fMask = MIIM_FTYPE | MIIM_SUBMENU;
    if (!GetMenuItemInfoA(Menu, I, TRUE, &Info)) continue;
    HMENU Sub = Info.hSubMenu;
    FItems.push_back(std::make_unique<TItem>(TItem{Menu, static_cast<UINT>(I)}));
    Info.fMask = MIIM_FTYPE | MIIM_DATA;
    Info.fType |= MFT_OWNERDRAW;
    Info.dwItemData = reinterpret_cast<ULONG_PTR>(FItems.back().get());
    SetMenuItemInfoA(Menu, I, TRUE, &Info);
    if (Sub) Convert(Sub);
  }
}

void TMenuPainter::Renew(HMENU Menu) {
  const auto Painted = std::find(FMenus.begin(), FMenus.end(), Menu);
  if (Painted == FMenus.end()) return;
  // The old items' records go; what the new items carry points at new ones.
  std::erase_if(FItems, [&](const std::unique_ptr<TItem>& Item) { return Item->Menu == Menu; });
  FMenus.erase(Painted);
  FLayouts.erase(Menu);
  Convert(Menu);
}

void TMenuPainter::Refresh(int Dpi) {
  FDpi = Dpi;
  FMetrics.Dpi = 0;
  // Windows measures an owner-drawn item once and keeps the size until the
  // item changes: setting its type again makes it ask anew.
  for (const auto& Item : FItems) {
    MENUITEMINFOA Info{sizeof Info};
    Info.fMask = MIIM_FTYPE;
    if (GetMenuItemInfoA(Item->Menu, Item->Position, TRUE, &Info))
      SetMenuItemInfoA(Item->Menu, Item->Position, TRUE, &Info);
  }
  Apply();
}

void TMenuPainter::Apply() {
  if (!FMenuBar) return;
  Metrics();
  SetBackgrounds();
}

void TMenuPainter::SetBackgrounds() {
  // The brush also fills the menus' margins around the items, which the
  // system paints.
  for (HMENU Menu : FMenus) {
    MENUINFO Info{sizeof Info};
    Info.fMask = MIM_BACKGROUND;
    Info.hbrBack = Background();
    SetMenuInfo(Menu, &Info);
  }
}

const TMenuPainter::TItem* TMenuPainter::Find(ULONG_PTR Data) const {
  for (const auto& Item : FItems)
    if (reinterpret_cast<ULONG_PTR>(Item.get()) == Data) return Item.get();
  return nullptr;
}

const TMenuPainter::TMetrics& TMenuPainter::Metrics() {
  if (FMetrics.Dpi == FDpi) return FMetrics;
  FLayouts.clear();
  NONCLIENTMETRICSW NonClient = MenuMetrics(FDpi);
  FFont.reset(CreateFontIndirectW(&NonClient.lfMenuFont));
  TEXTMETRICA Text{};
  GetTextMetricsA(TMeasureDc(FFont.get()).get(), &Text);
  TMetrics& M = FMetrics;
  M.Dpi = FDpi;
  M.TextHeight = Text.tmHeight;
  M.CharWidth = std::max<int>(Text.tmAveCharWidth, 1);
  M.ItemHeight = M.TextHeight + M.TextHeight / 2;
  M.SeparatorHeight = M.TextHeight / 2 + 1;
  M.Gutter = M.TextHeight + M.CharWidth;
  M.ShortcutGap = 3 * M.CharWidth;
  M.ArrowWidth = M.TextHeight + M.CharWidth;
  M.GlyphSize = M.TextHeight;
  // The menus let go of the old brush before it is deleted.
  TGdiObject Old = std::move(FBrush);
  FBrush.reset(CreateGradientBrush(24 * M.CharWidth));
  SetBackgrounds();
  return FMetrics;
}

const TMenuPainter::TLayout& TMenuPainter::Layout(HMENU Menu) {
  const TMetrics& M = Metrics();
  if (auto Found = FLayouts.find(Menu); Found != FLayouts.end()) return Found->second;
  TMeasureDc Dc(FFont.get());
  int Label = 0, Shortcut = 0;
  for (int I = 0, N = GetMenuItemCount(Menu); I < N; ++I) {
    const TEntry Entry = ReadItem(Menu, I);
    if (Entry.Type & MFT_SEPARATOR) continue;
    Label = std::max(Label, Dc.Width(Entry.Label, 0));
    if (!Entry.Shortcut.empty()) Shortcut = std::max(Shortcut, Dc.Width(Entry.Shortcut, DT_NOPREFIX));
  }
  TLayout Result;
  Result.LabelLeft = M.Gutter;
  Result.ShortcutLeft = Result.LabelLeft + Label + M.ShortcutGap;
  Result.Width = (Shortcut ? Result.ShortcutLeft + Shortcut : Result.LabelLeft + Label) + M.ArrowWidth;
  return FLayouts[Menu] = Result;
}

bool TMenuPainter::MeasureItem(MEASUREITEMSTRUCT& Measure) {
  if (Measure.CtlType != ODT_MENU) return false;
  const TItem* Item = Find(Measure.itemData);
  if (!Item) return false;
  const TMetrics& M = Metrics();
  if (ReadItem(Item->Menu, Item->Position).Type & MFT_SEPARATOR) {
    Measure.itemWidth = 1;
    Measure.itemHeight = M.SeparatorHeight;
  } else {
    Measure.itemWidth = Layout(Item->Menu).Width;
    Measure.itemHeight = M.ItemHeight;
  }
  return true;
}

bool TMenuPainter::DrawItem(const DRAWITEMSTRUCT& Draw) {
  if (Draw.CtlType != ODT_MENU) return false;
  const TItem* Item = Find(Draw.itemData);
  if (!Item) return false;
  const TMetrics& M = Metrics();
  const TLayout& Columns = Layout(Item->Menu);
  const TEntry Entry = ReadItem(Item->Menu, Item->Position);
  HDC Dc = Draw.hDC;
  const RECT& Rect = Draw.rcItem;

  const bool Separator = Entry.Type & MFT_SEPARATOR;
  const bool Selected = (Draw.itemState & ODS_SELECTED) && !Separator;
  const bool Grayed = Draw.itemState & (ODS_GRAYED | ODS_DISABLED);
  // The pattern brush starts at the menu window's left edge, like the margins.
  HBRUSH Back = Selected ? GetSysColorBrush(COLOR_HIGHLIGHT)
                         : Background() ? Background() : GetSysColorBrush(COLOR_MENU);
  FillRect(Dc, &Rect, Back);
  if (Separator) {
    const int Middle = (Rect.top + Rect.bottom) / 2;
    RECT Line{Rect.left + Columns.LabelLeft, Middle, Rect.right - M.CharWidth, Middle + 1};
    FillRect(Dc, &Line, GetSysColorBrush(COLOR_BTNSHADOW));
    return true;
  }

  const COLORREF Ink = GetSysColor(Grayed     ? COLOR_GRAYTEXT
                                   : Selected ? COLOR_HIGHLIGHTTEXT
                                              : COLOR_MENUTEXT);
  if (Entry.State & MFS_CHECKED) {
    RECT Mark{Rect.left, Rect.top, Rect.left + M.Gutter, Rect.bottom};
    DrawGlyph(Dc, Mark, Entry.Type & MFT_RADIOCHECK ? DFCS_MENUBULLET : DFCS_MENUCHECK,
              M.GlyphSize, Ink);
  }
  RECT Arrow{Rect.right - M.ArrowWidth, Rect.top, Rect.right, Rect.bottom};
  if (Entry.SubMenu) DrawGlyph(Dc, Arrow, DFCS_MENUARROW, M.GlyphSize, Ink);

  const int Saved = SaveDC(Dc);
  SetBkMode(Dc, TRANSPARENT);
  SetTextColor(Dc, Ink);
  SelectObject(Dc, FFont.get());
  constexpr UINT Line = DT_SINGLELINE | DT_VCENTER;
  // Underlined letters show once the keyboard is used, as the system decides.
  const UINT Prefix = Draw.itemState & ODS_NOACCEL ? DT_HIDEPREFIX : 0;
  RECT Text{Rect.left + Columns.LabelLeft, Rect.top, Rect.right, Rect.bottom};
  DrawTextA(Dc, Entry.Label.c_str(), -1, &Text, Line | Prefix);
  if (!Entry.Shortcut.empty()) {
    Text.left = Rect.left + Columns.ShortcutLeft;
    DrawTextA(Dc, Entry.Shortcut.c_str(), -1, &Text, Line | DT_NOPREFIX);
  }
  RestoreDC(Dc, Saved);
  // The system draws its own arrow over an owner-drawn item with a sub-menu,
  // in its own colours; clipped away, the one drawn here stays.
  if (Entry.SubMenu) ExcludeClipRect(Dc, Arrow.left, Arrow.top, Arrow.right, Arrow.bottom);
  return true;
}

LRESULT TMenuPainter::MenuChar(UINT Key, HMENU Menu) const {
  if (Key > 0x7F || std::find(FMenus.begin(), FMenus.end(), Menu) == FMenus.end()) return 0;
  const char Wanted = static_cast<char>(std::toupper(static_cast<int>(Key)));
  std::vector<int> Matches;
  int Selected = -1;
  for (int I = 0, N = GetMenuItemCount(Menu); I < N; ++I) {
    const TEntry Entry = ReadItem(Menu, I);
    if (Entry.Type & MFT_SEPARATOR) continue;
    if (Entry.State & MFS_HILITE) Selected = I;
    if (Wanted && MenuMnemonic(Entry.Label) == Wanted) Matches.push_back(I);
  }
  if (Matches.empty()) return 0;
  if (Matches.size() == 1) return MAKELRESULT(Matches.front(), MNC_EXECUTE);
  // Several items share the letter: each press selects the next one.
  auto Next = std::upper_bound(Matches.begin(), Matches.end(), Selected);
  return MAKELRESULT(Next == Matches.end() ? Matches.front() : *Next, MNC_SELECT);
}
