#include "win/Application.h"

#include "win/Synchronize.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <utility>

TApplication Application;

namespace {
constexpr char AppClassName[] = "TApplication";
// Messages are looked at every few milliseconds while a worker's calls keep
// coming: often enough for a responsive window, rarely enough to cost nothing.
constexpr auto PumpEvery = std::chrono::milliseconds(8);
}

void TApplication::Initialize() {
  if (FHandle) return;
  HINSTANCE Instance = GetModuleHandleA(nullptr);
  WNDCLASSA Class{};
  Class.lpfnWndProc = WindowProc;
  Class.hInstance = Instance;
  Class.hIcon = LoadIconA(Instance, MAKEINTRESOURCEA(1));
  Class.lpszClassName = AppClassName;
  RegisterClassA(&Class);
  // A zero-size captioned pop-up in the middle of the screen: it has a taskbar
  // button but nothing to see. Created hidden; showing it shows the button.
  FHandle = CreateWindowExA(0, AppClassName, FTitle.c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0,
                            0, nullptr, nullptr, Instance, nullptr);
}

void TApplication::Finalize() noexcept {
  SetOnMessage(nullptr);
  if (FHandle) DestroyWindow(FHandle);
  FHandle = nullptr;
}

void TApplication::SetTitle(const std::string& Title) {
  FTitle = Title;
  if (FHandle) SetWindowTextA(FHandle, FTitle.c_str());
}

void TApplication::SetOnMessage(std::function<void(MSG&, bool&)> Hook) {
  FOnMessage = std::move(Hook);
  if (FOnMessage && !FHook)
    FHook = SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId());
  else if (!FOnMessage && FHook) {
    UnhookWindowsHookEx(FHook);
    FHook = nullptr;
  }
}

LRESULT CALLBACK TApplication::GetMessageHook(int Code, WPARAM WParam, LPARAM LParam) {
  if (Code == HC_ACTION && WParam == PM_REMOVE && Application.FOnMessage) {
    auto* Msg = reinterpret_cast<MSG*>(LParam);
    bool Handled = false;
    try {
      Application.FOnMessage(*Msg, Handled);
    } catch (...) {
      // No exception may cross the system's frames: hand it to our pump's
      // caller when our pump is peeking, else show it here.
      if (Application.FPeeking && !Application.FHookFailure)
        Application.FHookFailure = std::current_exception();
      else
        Guarded([Failure = std::current_exception()] { std::rethrow_exception(Failure); });
      Handled = true;
    }
    if (Handled) Msg->message = WM_NULL;
  }
  return CallNextHookEx(nullptr, Code, WParam, LParam);
}

void TApplication::Minimize() {
  if (!FHandle || IsIconic(FHandle)) return;
  if (MainForm && IsWindowVisible(MainForm)) {
    FMainFormHiddenByMinimize = true;
    ShowWindow(MainForm, SW_HIDE);
  }
  ShowWindow(FHandle, SW_MINIMIZE);
}

void TApplication::Restore() {
  if (!FHandle || !IsIconic(FHandle)) return;
  ShowWindow(FHandle, SW_RESTORE);
  if (!MainForm) return;
  if (FMainFormHiddenByMinimize) {
    FMainFormHiddenByMinimize = false;
    ShowWindow(MainForm, SW_SHOW);
  } else if (!IsWindowVisible(MainForm) && OnShowMainForm) {
    OnShowMainForm();
  }
  if (IsWindowVisible(MainForm)) SetForegroundWindow(MainForm);
}

LRESULT CALLBACK TApplication::WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  return Guarded(LRESULT{0}, [&]() -> LRESULT {
    switch (Msg) {
      case WM_SYSCOMMAND:
        switch (WParam & 0xFFF0) {
          case SC_MINIMIZE:
            Application.Minimize();
            return 0;
          case SC_RESTORE:
            Application.Restore();
            return 0;
          case SC_CLOSE:
            if (Application.MainForm) PostMessageA(Application.MainForm, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
      case WM_CLOSE:
        if (Application.MainForm) PostMessageA(Application.MainForm, WM_CLOSE, 0, 0);
        return 0;
      case WM_SETFOCUS:
        // Activating the taskbar button activates the main window.
        if (Application.MainForm && IsWindowVisible(Application.MainForm) &&
            IsWindowEnabled(Application.MainForm))
          SetFocus(Application.MainForm);
        return 0;
    }
    return DefWindowProcA(Window, Msg, WParam, LParam);
  });
}

void TApplication::Dispatch(MSG& Msg) {
  if (Accelerators && AccelWindow &&
      (Msg.hwnd == AccelWindow || IsChild(AccelWindow, Msg.hwnd)) &&
      TranslateAcceleratorA(AccelWindow, Accelerators, &Msg))
    return;
  TranslateMessage(&Msg);
  DispatchMessageA(&Msg);
}

bool TApplication::ProcessMessage(MSG& Msg) {
  FPeeking = true;
  const bool Got = PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE);
  FPeeking = false;
  if (FHookFailure) std::rethrow_exception(std::exchange(FHookFailure, nullptr));
  if (!Got) return false;
  if (Msg.message == WM_QUIT)
    FTerminated = true;
  else
    Dispatch(Msg);
  return true;
}

void TApplication::ProcessMessages() {
  RunPendingCalls();
  MSG Msg;
  while (ProcessMessage(Msg)) {
  }
}

void TApplication::HandleMessage() {
  // A worker that reports entry after entry (a sweep going on after its
  // command has returned) is served here as fast as inside WaitWhile: spinning
  // while its calls keep coming, asleep on messages and calls alike otherwise.
  bool Served = RunPendingCalls();
  MSG Msg;
  for (;;) {
    if (Served) ServeCalls([] { return false; }, PumpEvery);
    if (ProcessMessage(Msg) || FTerminated) return;
    if (!IsMainThread()) {  // no worker has ever been served: no calls can come
      WaitMessage();
      return;
    }
    Served = SleepForCallsOrMessages(INFINITE);
    if (!Served) return;  // a message came
  }
}

bool TApplication::WaitWhile(const std::function<bool()>& Busy, DWORD TimeoutMs) {
  constexpr DWORD PollMs = 20;
  AttachMainThread();
  const ULONGLONG Start = GetTickCount64();
  for (;;) {
    ProcessMessages();
    if (!Busy()) return true;
    const ULONGLONG Spent = GetTickCount64() - Start;
    if (TimeoutMs != INFINITE && Spent >= TimeoutMs) return false;
    switch (ServeCalls([&] { return !Busy(); }, PumpEvery)) {
      case TServeEnd::Done:
        return true;
      case TServeEnd::Budget:
        break;
      case TServeEnd::Idle: {
        DWORD Sleep = PollMs;
        if (TimeoutMs != INFINITE) Sleep = std::min<DWORD>(Sleep, TimeoutMs - static_cast<DWORD>(Spent));
        SleepForCallsOrMessages(Sleep);
        break;
      }
    }
  }
}

void TApplication::Run() {
  while (!FTerminated) Guarded([this] { HandleMessage(); });
}

void TApplication::ShowException(const std::exception& E) noexcept {
  std::string Text = E.what();
  if (!Text.empty() && Text.back() != '.') Text += '.';
  HWND Owner = GetActiveWindow();
  if (!Owner) Owner = MainForm;
  MessageBoxA(Owner, Text.c_str(), FTitle.c_str(), MB_OK | MB_ICONERROR);
}

int ShowMessageBox(const std::string& Text, UINT Flags) {
  return MessageBoxA(GetActiveWindow(), Text.c_str(), Application.Title().c_str(), Flags);
}
