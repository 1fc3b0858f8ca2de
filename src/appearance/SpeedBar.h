#pragma once
// The toolbar: flat, transparent push buttons with a square picture (32 x 32 at
// 96 dpi) above a caption, over a wallpaper stretched across the bar. The
// buttons are real BUTTON controls (owner-drawn), so keyboard, accessibility
// and BM_CLICK work as for any button; their clicks reach the bar's parent as
// WM_COMMAND. Every button gets a tooltip with its hint when it is added.

#include "win/Handle.h"
#include "win/Window.h"

#include <string>
#include <vector>

class TSpeedBar : public TWindow, private TControlHook {
public:
  enum class TBevel { bvNone, bvRaised, bvLowered };

  ~TSpeedBar() override;

  void Create(HWND Parent, int Id, int Height, HFONT Font);

  // Adds a button with the given command ID at (Left, Top). Picture is an
  // icon resource of the program, loaded at the bar's picture size.
  HWND AddButton(int Id, const std::string& Caption, int Picture, const std::string& Hint,
                 int Left, int Top, int Width, int Height);
  // The room for a button's picture (e.g. 48 at 144 dpi): every picture is
  // loaded anew at the drawn size nearest below it.
  void SetPictureSize(int Size);
  int PictureSize() const noexcept { return FPictureSize; }
  // The picture a button shows, owned by the bar.
  HICON PictureOf(HWND Button) const;
  // The tooltip control that shows the buttons' hints.
  HWND Tooltip() const noexcept { return FTooltip; }
  // A new caption font (the bar does not own it), e.g. after a DPI change.
  void SetFont(HFONT Font);
  // The hint of one of the bar's buttons, or empty.
  std::string HintOf(HWND Button) const;

  // The picture stretched over the bar; none paints the button face colour.
  void SetWallpaper(HBITMAP Wallpaper);
  HBITMAP Wallpaper() const noexcept { return FWallpaper; }
  void SetBevels(TBevel Inner, TBevel Outer);
  TBevel BevelInner() const noexcept { return FInner; }
  TBevel BevelOuter() const noexcept { return FOuter; }

protected:
  LRESULT OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
  struct TButton {
    HWND Window;
    int PictureId;
    TIcon Picture;
    int PictureWidth;  // as drawn: at most the bar's picture size
    std::string Hint;
    bool Hot;
  };

  bool ControlMessage(HWND Control, UINT Msg, WPARAM WParam, LPARAM LParam,
                      LRESULT& Result) override;
  // The bar's background (wallpaper and bevels), drawn once per size and look
  // into a bitmap that the bar and its transparent buttons copy from.
  void PaintBackground(HDC Dc);
  void RenderBackground(HDC Dc, const RECT& Client) const;
  void DrawButton(const DRAWITEMSTRUCT& Item);
  TButton* Find(HWND Window);
  const TButton* Find(HWND Window) const;
  void AddTool(const TButton& Button);

  std::vector<TButton> FButtons;
  TGdiObject FBackground;
  SIZE FBackgroundSize{0, 0};
  HBITMAP FWallpaper = nullptr;
  HFONT FFont = nullptr;
  HWND FTooltip = nullptr;
  int FPictureSize = 32;
  TBevel FInner = TBevel::bvRaised;
  TBevel FOuter = TBevel::bvLowered;
};
