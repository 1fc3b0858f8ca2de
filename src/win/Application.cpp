#include "win/Application.h"

#include "win/Synchronize.h"

#include <algorithm>
#include <chrono>

TApplication Application;

void TApplication::Dispatch(MSG& Msg) {
  bool Handled = false;
  if (OnMessage) OnMessage(Msg, Handled);
  if (Handled) return;
  if (Accelerators && AccelWindow &&
      (Msg.hwnd == AccelWindow || IsChild(AccelWindow, Msg.hwnd)) &&
      TranslateAcceleratorA(AccelWindow, Accelerators, &Msg))
    return;
  TranslateMessage(&Msg);
  DispatchMessageA(&Msg);
}

bool TApplication::ProcessMessage(MSG& Msg) {
  if (!PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) return false;
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
  RunPendingCalls();
  MSG Msg;
  if (!ProcessMessage(Msg) && !FTerminated) WaitMessage();
}

bool TApplication::WaitWhile(const std::function<bool()>& Busy, DWORD TimeoutMs) {
  // Messages are looked at every few milliseconds while calls keep coming:
  // often enough for a responsive window, rarely enough to cost nothing.
  constexpr auto PumpEvery = std::chrono::milliseconds(8);
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
  while (!FTerminated) HandleMessage();
}

int ShowMessageBox(const std::string& Text, UINT Flags) {
  return MessageBoxA(GetActiveWindow(), Text.c_str(), Application.Title.c_str(), Flags);
}
