#include "win/Window.h"

#include "win/Application.h"

#include <commctrl.h>

#include <utility>

TWindow::~TWindow() { DestroyHandle(); }

void TWindow::DestroyHandle() noexcept {
  if (!FHandle) return;
  SetWindowLongPtrA(FHandle, GWLP_USERDATA, 0);
  DestroyWindow(std::exchange(FHandle, nullptr));
}

void TWindow::CreateHandle(const TClassInfo& Class, DWORD ExStyle, DWORD Style,
                           const std::string& Caption, int X, int Y, int Width, int Height,
                           HWND Parent, HMENU Menu) {
  HINSTANCE Instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA Info{sizeof Info};
  if (!GetClassInfoExA(Instance, Class.Name, &Info)) {
    Info = WNDCLASSEXA{sizeof Info};
    Info.style = Class.Style;
    Info.lpfnWndProc = WindowProc;
    Info.hInstance = Instance;
    Info.hIcon = Class.Icon;
    Info.hCursor = LoadCursor(nullptr, IDC_ARROW);
    Info.hbrBackground = Class.Background;
    Info.lpszClassName = Class.Name;
    RegisterClassExA(&Info);
  }
  CreateWindowExA(ExStyle, Class.Name, Caption.c_str(), Style, X, Y, Width, Height, Parent, Menu,
                  Instance, this);
}

LRESULT TWindow::OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  return Default(Msg, WParam, LParam);
}

LRESULT CALLBACK TWindow::WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_NCCREATE) {
    auto* Self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTA*>(LParam)->lpCreateParams);
    Self->FHandle = Window;
    SetWindowLongPtrA(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
  }
  auto* Self = reinterpret_cast<TWindow*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
  if (!Self) return DefWindowProcA(Window, Msg, WParam, LParam);
  if (Msg == WM_NCDESTROY) {
    SetWindowLongPtrA(Window, GWLP_USERDATA, 0);
    Self->FHandle = nullptr;
    return DefWindowProcA(Window, Msg, WParam, LParam);
  }
  return Guarded(LRESULT{0}, [&] { return Self->OnMessage(Msg, WParam, LParam); });
}

namespace {

LRESULT CALLBACK HookedControlProc(HWND Control, UINT Msg, WPARAM WParam, LPARAM LParam,
                                   UINT_PTR Id, DWORD_PTR Data) {
  if (Msg == WM_NCDESTROY) RemoveWindowSubclass(Control, HookedControlProc, Id);
  auto* Hook = reinterpret_cast<TControlHook*>(Data);
  LRESULT Result = 0;
  if (Guarded(false, [&] { return Hook->ControlMessage(Control, Msg, WParam, LParam, Result); }))
    return Result;
  return DefSubclassProc(Control, Msg, WParam, LParam);
}

}  // namespace

void SubclassControl(HWND Control, TControlHook* Hook) {
  SetWindowSubclass(Control, HookedControlProc, 1, reinterpret_cast<DWORD_PTR>(Hook));
}

std::string GetText(HWND Window) {
  int Len = GetWindowTextLengthA(Window);
  std::string Text(Len + 1, '\0');
  Text.resize(GetWindowTextA(Window, Text.data(), Len + 1));
  return Text;
}

HFONT CreatePixelFont(const char* Face, int PixelHeight, int Weight) {
  return CreateFontA(-PixelHeight, 0, 0, 0, Weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, Face);
}
