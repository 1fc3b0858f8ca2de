#include "win/Application.h"

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
  MSG Msg;
  while (ProcessMessage(Msg)) {
  }
}

void TApplication::HandleMessage() {
  MSG Msg;
  if (!ProcessMessage(Msg) && !FTerminated) WaitMessage();
}

void TApplication::Run() {
  while (!FTerminated) HandleMessage();
}

int ShowMessageBox(const std::string& Text, UINT Flags) {
  return MessageBoxA(GetActiveWindow(), Text.c_str(), Application.Title.c_str(), Flags);
}
