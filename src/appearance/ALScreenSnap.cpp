#include "appearance/ALScreenSnap.h"

#include "base/Exception.h"
#include "base/Snap.h"
#include "win/Application.h"
#include "win/Form.h"

#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>

namespace {

// The window property that holds a form's hook record. It also marks the form
// as having a snapping component, whichever object its window belongs to.
constexpr const char* HookProperty = "Vellumix.ALScreenSnap";

TSnapRect ToSnapRect(const RECT& R) { return {R.left, R.top, R.right, R.bottom}; }

}  // namespace

struct TALScreenSnap::THook {
  HWND Window;
  WNDPROC Previous;
  // The component served, or null when it has gone and the record only passes
  // messages on.
  TALScreenSnap* Snap;
};

TALScreenSnap::TALScreenSnap(TWindow* Owner) {
  HWND Window = Owner ? Owner->Handle() : nullptr;
  auto* Form = dynamic_cast<TForm*>(Owner);
  // The duplicate is looked for before the owner's kind is checked.
  auto* Existing = Window ? static_cast<THook*>(GetPropA(Window, HookProperty)) : nullptr;
  if (Existing && Existing->Snap) {
    std::string Message("TALScreenSnap component cannot be duplicated in ");
    if (Form) Message += Form->Name;
    throw Exception(Message);
  }
  if (!Form) throw Exception("Owner of TALScreenSnap component must be a form");
  if (!Window) throw Exception("TALScreenSnap needs the window of its form");

  // A pass-through left by an earlier component that could not unhook sits
  // in the window's chain already: take it over rather than hook twice.
  if (Existing) {
    Existing->Snap = this;
    FHook = Existing;
    return;
  }
  auto Hook = std::make_unique<THook>(THook{Window, nullptr, this});
  // The record goes on first: the hook finds it from its very first message.
  if (!SetPropA(Window, HookProperty, Hook.get()))
    throw Exception("TALScreenSnap cannot hook its form's window");
  SetLastError(0);
  Hook->Previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookProc)));
  if (!Hook->Previous && GetLastError()) {
    RemovePropA(Window, HookProperty);
    throw Exception("TALScreenSnap cannot hook its form's window");
  }
  FHook = Hook.release();
}

TALScreenSnap::~TALScreenSnap() {
  if (!FHook) return;
  HWND Window = FHook->Window;
  if (GetWindowLongPtrA(Window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&HookProc)) {
    SetWindowLongPtrA(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FHook->Previous));
    RemovePropA(Window, HookProperty);
    delete FHook;
  } else {
    // Someone subclassed the window on top of us and calls our procedure as
    // its previous one; taking it out would break their chain. It stays, only
    // passing messages on, until WM_NCDESTROY frees the record.
    FHook->Snap = nullptr;
  }
}

bool TALScreenSnap::QueryTaskbarRect(RECT& Rect) {
  APPBARDATA Data{};
  Data.cbSize = sizeof Data;
  if (!SHAppBarMessage(ABM_GETTASKBARPOS, &Data)) return false;
  Rect = Data.rc;
  return true;
}

bool TALScreenSnap::QueryMonitorRects(HWND Window, RECT& Monitor, RECT& Work) {
  MONITORINFO Info{sizeof Info};
  if (!GetMonitorInfoA(MonitorFromWindow(Window, MONITOR_DEFAULTTONEAREST), &Info)) return false;
  Monitor = Info.rcMonitor;
  Work = Info.rcWork;
  return true;
}

void TALScreenSnap::Snap(HWND Window) {
  RECT Bar{};
  std::optional<TSnapRect> Taskbar;
  if (TaskbarRect && TaskbarRect(Bar)) Taskbar = ToSnapRect(Bar);
  // The monitor the window is on; the primary screen when that cannot be told.
  RECT Monitor{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, Work = Monitor;
  if (!MonitorRects || !MonitorRects(Window, Monitor, Work)) Work = Monitor;
  const TSnapRect Area = SnapAreaOn(ToSnapRect(Monitor), ToSnapRect(Work), Taskbar);
  RECT Own;
  if (!GetWindowRect(Window, &Own)) return;
  const TSnapRect Was = ToSnapRect(Own);
  const TSnapRect Now = SnapWindow(Was, Area, Threshold);
  if (Now != Was)
    SetWindowPos(Window, nullptr, Now.Left, Now.Top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK TALScreenSnap::HookProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* Hook = static_cast<THook*>(GetPropA(Window, HookProperty));
  if (!Hook) return DefWindowProcA(Window, Msg, WParam, LParam);
  const WNDPROC Previous = Hook->Previous;
  if (Msg == WM_NCDESTROY) {
    // The window's last message: the record goes, and the component learns
    // that there is nothing left to unhook.
    RemovePropA(Window, HookProperty);
    if (Hook->Snap) Hook->Snap->FHook = nullptr;
    delete Hook;
  } else if (Msg == WM_EXITSIZEMOVE && Hook->Snap && Hook->Snap->Active) {
    // Moved before the form's own handling, so that it sees where it ended.
    TALScreenSnap* Self = Hook->Snap;
    Guarded([&] { Self->Snap(Window); });
  }
  // The record may be gone after this call (the form can destroy itself), so
  // nothing of it is read afterwards.
  return CallWindowProcA(Previous, Window, Msg, WParam, LParam);
}
