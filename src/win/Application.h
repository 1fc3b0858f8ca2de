#pragma once
// The application object: the main thread's message pump and the program's
// title. All windows of the program live on the main thread, and every wait the
// main thread does goes through this pump, so a command that waits (the scanner,
// a long registry list) keeps the window alive.

#include <windows.h>

#include <functional>
#include <string>

class TApplication {
public:
  std::string Title;

  // Sees each message taken from the queue before it is dispatched; setting
  // Handled drops the message.
  std::function<void(MSG& Msg, bool& Handled)> OnMessage;

  // Keyboard accelerators routed to AccelWindow.
  HACCEL Accelerators = nullptr;
  HWND AccelWindow = nullptr;

  // Set when WM_QUIT has been taken from the queue.
  bool Terminated() const noexcept { return FTerminated; }
  void Terminate() noexcept { PostQuitMessage(0); }

  // Handles every message already queued, then returns.
  void ProcessMessages();
  // Waits for one message (sleeping, not spinning) and handles it.
  void HandleMessage();
  // Handles messages until WM_QUIT.
  void Run();

  // Processes messages and serves the worker threads' calls (win/Synchronize.h)
  // while Busy() holds, without spinning for long: between calls it spins for a
  // fraction of a millisecond, then sleeps until a message or a call arrives.
  // Busy is tested after every message and call and at least every 20 ms, so it
  // may also depend on other threads. Returns true when Busy() no longer holds,
  // false when TimeoutMs passed first. Main thread only. WM_QUIT ends nothing
  // here; it sets Terminated() as usual.
  bool WaitWhile(const std::function<bool()>& Busy, DWORD TimeoutMs = INFINITE);

private:
  bool ProcessMessage(MSG& Msg);
  void Dispatch(MSG& Msg);

  bool FTerminated = false;
};

extern TApplication Application;

// A plain message box owned by the active window, captioned with the title.
int ShowMessageBox(const std::string& Text, UINT Flags = MB_OK);
