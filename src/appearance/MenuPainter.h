#pragma once
// The menu painter: draws the items of a menu bar's drop-down menus itself
// (owner-drawn), flat, with every shortcut text in one column, over a gradient
// background when both Active and Gradient are on and the menu colour
// otherwise. The menu bar itself stays the system's.
//
// The system leaves the look of an item to the item's owner window, which
// receives WM_MEASUREITEM, WM_DRAWITEM and, for the keyboard, WM_MENUCHAR, and
// hands them to MeasureItem, DrawItem and MenuChar here. The items keep their
// texts ("label\tshortcut"), so GetMenuString and the hints work as before.

#include "win/Handle.h"

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class TMenuPainter {
public:
  TMenuPainter() = default;
  TMenuPainter(const TMenuPainter&) = delete;
  TMenuPainter& operator=(const TMenuPainter&) = delete;

  // Takes over the items of MenuBar's drop-down menus and of their sub-menus,
  // drawn for a screen of Dpi pixels per inch. Attaching the same bar again
  // only refreshes.
  void Attach(HMENU MenuBar, int Dpi);
  // Menu, one of the menus painted here and without sub-menus, has had its
  // items replaced (as a menu filled anew each time it opens): the new items
  // are painted like the old ones, and measured anew.
  void Renew(HMENU Menu);
  // Fonts and sizes follow the scale Dpi and the system's menu font: the items
  // are measured anew the next time a menu opens.
  void Refresh(int Dpi);

  bool Active() const noexcept { return FActive; }
  void SetActive(bool Active) { FActive = Active; Apply(); }
  bool Gradient() const noexcept { return FGradient; }
  void SetGradient(bool Gradient) { FGradient = Gradient; Apply(); }

  // The brush now behind the drop-down menus' items; null for the menu colour.
  HBRUSH Background() const noexcept {
    return FActive && FGradient ? static_cast<HBRUSH>(FBrush.get()) : nullptr;
  }

  // The owner's messages. Each answers only for the items painted here: false,
  // or 0 from MenuChar, leaves the message to the owner.
  bool MeasureItem(MEASUREITEMSTRUCT& Measure);
  bool DrawItem(const DRAWITEMSTRUCT& Draw);
  // The answer to WM_MENUCHAR: the item of Menu whose "&" letter is Key.
  LRESULT MenuChar(UINT Key, HMENU Menu) const;

private:
  // One owner-drawn item, named by its menu and position; its address is the
  // item's data.
  struct TItem {
    HMENU Menu;
    UINT Position;
  };
  // Sizes in pixels at the owner's scale, all taken from the menu font.
  struct TMetrics {
    int Dpi = 0;
    int TextHeight = 0;
    int CharWidth = 0;      // average
    int ItemHeight = 0;
    int SeparatorHeight = 0;
    int Gutter = 0;         // the check mark's column, left of the labels
    int ShortcutGap = 0;    // at least this much between a label and the shortcuts
    int ArrowWidth = 0;     // the sub-menu arrow's column, right of everything
    int GlyphSize = 0;      // check mark and arrow
  };
  // Where a menu's labels and shortcuts start, and its items' width.
  struct TLayout {
    int LabelLeft;
    int ShortcutLeft;
    int Width;
  };

  void Convert(HMENU Menu);
  void Apply();
  void SetBackgrounds();
  const TItem* Find(ULONG_PTR Data) const;
  const TMetrics& Metrics();
  const TLayout& Layout(HMENU Menu);

  int FDpi = 96;
  HMENU FMenuBar = nullptr;
  std::vector<std::unique_ptr<TItem>> FItems;
  std::vector<HMENU> FMenus;  // every drop-down and sub-menu painted here
  TMetrics FMetrics;
  std::map<HMENU, TLayout> FLayouts;
  TGdiObject FFont, FBrush;
  bool FActive = true;
  bool FGradient = false;
};

// The "&" letter of a menu text ("&&" is a plain "&"), upper case; 0 when none.
char MenuMnemonic(const std::string& Text);
