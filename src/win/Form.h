#pragma once
// A top-level window with a window state and a start position, shown through
// Show() so that it can prepare itself (OnShow) each time it becomes visible.

#include "win/Application.h"
#include "win/Window.h"

#include <string>

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TPosition { poDesigned, poDesktopCenter };

class TForm : public TWindow {
public:
  // The form's component name ("MainForm"), by which the components it holds
  // name it in their messages.
  std::string Name;
  // Applied by the next Show().
  TWindowState WindowState = TWindowState::wsNormal;
  TPosition Position = TPosition::poDesigned;

  bool Visible() const { return Handle() && IsWindowVisible(Handle()); }
  // Show() has made the window visible at least once.
  bool Shown() const { return FShown; }
  bool IsMainForm() const { return Handle() && Application.MainForm == Handle(); }
  bool Resizable() const { return GetWindowLongA(Handle(), GWL_STYLE) & WS_THICKFRAME; }

  // Makes the window visible: OnShow, then the start position, then the window
  // state. Brings it to the front when it is visible already.
  void Show();
  // Asks the window to close, as its close box does.
  void Close() { SendMessageA(Handle(), WM_CLOSE, 0, 0); }

protected:
  // Runs each time the window is about to become visible.
  virtual void OnShow() {}

private:
  bool FShown = false;
};
