#pragma once
// Window base: a static window procedure finds the object through
// GWLP_USERDATA (bound at WM_NCCREATE, cleared at WM_NCDESTROY) and forwards to
// OnMessage. No exception leaves the window procedure: it is shown in the
// application's error box and the program goes on.

#include <windows.h>

#include <string>

class TWindow {
public:
  TWindow() = default;
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;
  virtual ~TWindow();

  HWND Handle() const noexcept { return FHandle; }

protected:
  struct TClassInfo {
    const char* Name;
    UINT Style = CS_DBLCLKS;
    HICON Icon = nullptr;
    HBRUSH Background = nullptr;
  };

  // Destroys a window still alive without calling this object back. A derived
  // class whose parts serve its window (control hooks, fonts) calls it in its
  // destructor, so that the window and its children go before those parts.
  void DestroyHandle() noexcept;

  // Registers the class on first use and creates the window bound to this object.
  void CreateHandle(const TClassInfo& Class, DWORD ExStyle, DWORD Style, const std::string& Caption,
                    int X, int Y, int Width, int Height, HWND Parent, HMENU Menu = nullptr);

  virtual LRESULT OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam);
  LRESULT Default(UINT Msg, WPARAM WParam, LPARAM LParam) {
    return DefWindowProcA(FHandle, Msg, WParam, LParam);
  }

private:
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
  HWND FHandle = nullptr;
};

// Receives the messages of a subclassed child control before the control does.
class TControlHook {
public:
  virtual ~TControlHook() = default;
  // True when the message was handled; Result then holds the answer.
  virtual bool ControlMessage(HWND Control, UINT Msg, WPARAM WParam, LPARAM LParam,
                              LRESULT& Result) = 0;
};

// Routes Control's messages through Hook for the control's life.
void SubclassControl(HWND Control, TControlHook* Hook);

// Child window helpers.
std::string GetText(HWND Window);
HFONT CreatePixelFont(const char* Face, int PixelHeight, int Weight = FW_NORMAL);
