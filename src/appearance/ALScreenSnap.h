#pragma once
// Makes a form jump flush against the edges of the screen area the taskbar
// leaves free when the user lets go of it near such an edge, or beyond it, after
// moving or sizing it. The component subclasses the form's window: it acts on
// WM_EXITSIZEMOVE (sent once when a move or resize ends) and passes every
// message on to the window procedure it replaced.
//
// The hook's state lives in a small record on the window (a window property),
// not in the component, so that the window can outlive the component: the
// destructor unhooks when it can, and otherwise leaves the record behind as a
// pass-through that the window frees when it is destroyed. Main thread only.

#include "win/Window.h"

#include <functional>

class TALScreenSnap {
public:
  // Hooks the window of Owner, which must be a form whose window exists.
  // Raises Exception "Owner of TALScreenSnap component must be a form" for no
  // owner or one that is not a form, and "TALScreenSnap component cannot be
  // duplicated in <form name>" when the form already has one; the form keeps
  // the one it has.
  explicit TALScreenSnap(TWindow* Owner);
  // Puts the form's previous window procedure back, unless the window has gone
  // or been subclassed again since.
  ~TALScreenSnap();
  TALScreenSnap(const TALScreenSnap&) = delete;
  TALScreenSnap& operator=(const TALScreenSnap&) = delete;

  // Both are read at each message.
  bool Active = true;   // off: every message is only passed on
  int Threshold = 30;   // an edge closer than this to the area's edge, in pixels, snaps

  // Fills Rect with the taskbar's screen rectangle; false when that cannot be
  // told, and the whole screen is then the area. Replaceable for tests, as
  // Wine does not report a taskbar.
  std::function<bool(RECT& Rect)> TaskbarRect = QueryTaskbarRect;
  // The shell's answer (SHAppBarMessage, ABM_GETTASKBARPOS).
  static bool QueryTaskbarRect(RECT& Rect);
  // Fills the rectangle and the work area of the monitor Window is on (or
  // nearest to); false when the system cannot tell. Replaceable for tests, as
  // the virtual display has one monitor.
  std::function<bool(HWND Window, RECT& Monitor, RECT& Work)> MonitorRects = QueryMonitorRects;
  static bool QueryMonitorRects(HWND Window, RECT& Monitor, RECT& Work);

private:
  struct THook;
  static LRESULT CALLBACK HookProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
  void Snap(HWND Window);

  THook* FHook = nullptr;  // owned by the window; null once the window is gone
};
