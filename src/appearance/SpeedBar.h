#pragma once
// The toolbar: flat, transparent push buttons with a 32 x 32 picture above a
// caption, over a wallpaper stretched across the bar. The buttons are real
// BUTTON controls (owner-drawn), so keyboard, accessibility and BM_CLICK work as
// for any button; their clicks reach the bar's parent as WM_COMMAND.

#include "win/Handle.h"
#include "win/Window.h"

#include <string>
#include <vector>

class TSpeedBar : public TWindow, private TControlHook {
public:
  enum class TBevel { bvNone, bvRaised, bvLowered };

  ~TSpeedBar() override;

  void Create(HWND Parent, int Id, int Height, HFONT Font);

  // Adds a button with the given command ID at (Left, Top).
  HWND AddButton(int Id, const std::string& Caption, HICON Picture, const std::string& Hint,
                 int Left, int Top, int Width, int Height);
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
    HICON Picture;
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

  std::vector<TButton> FButtons;
  TGdiObject FBackground;
  SIZE FBackgroundSize{0, 0};
  HBITMAP FWallpaper = nullptr;
  HFONT FFont = nullptr;
  TBevel FInner = TBevel::bvRaised;
  TBevel FOuter = TBevel::bvLowered;
};
