#pragma once
// The application object: the main thread's message pump, the program's title
// and the application window.
//
// The application window is a hidden-looking window that owns the main window
// and carries the program's taskbar button: showing or hiding it shows or hides
// the button, and minimising the application minimises it and hides the main
// window. All windows of the program live on the main thread, and every wait the
// main thread does goes through this pump, so a command that waits (the scanner,
// a long registry list) keeps the window alive.

#include <windows.h>

#include <exception>
#include <stdexcept>
#include <functional>
#include <string>

class TApplication {
public:
  // Creates the application window. Call once, before the main window.
  void Initialize();
  void Finalize() noexcept;

  HWND Handle() const noexcept { return FHandle; }
  HWND MainForm = nullptr;

  const std::string& Title() const noexcept { return FTitle; }
  void SetTitle(const std::string& Title);

  // Sees each message taken from the thread's queue, by any message loop (also
  // those of modal dialogs and message boxes); setting Handled drops the message.
  // An exception from the hook leaves ProcessMessages/HandleMessage when this
  // pump took the message, and is shown in the error box otherwise.
  void SetOnMessage(std::function<void(MSG& Msg, bool& Handled)> Hook);

  // Keyboard accelerators routed to AccelWindow.
  HACCEL Accelerators = nullptr;
  HWND AccelWindow = nullptr;

  bool Minimized() const noexcept { return FHandle && IsIconic(FHandle); }
  // Hides the main window and minimises the application window.
  void Minimize();
  // Restores the application window and shows the main window again if
  // minimising hid it.
  void Restore();
  // Called to show the main window when the application is restored after a
  // minimised start (the main window has never been shown then).
  std::function<void()> OnShowMainForm;

  // Set when WM_QUIT has been taken from the queue.
  bool Terminated() const noexcept { return FTerminated; }
  void Terminate() noexcept { PostQuitMessage(0); }

  // Handles every message already queued, then returns.
  void ProcessMessages();
  // Waits for one message (sleeping, not spinning) and handles it.
  void HandleMessage();
  // Handles messages until WM_QUIT; an exception that leaves a message's
  // handling is shown in the error box and the loop goes on.
  void Run();

  // Processes messages and serves the worker threads' calls (win/Synchronize.h)
  // while Busy() holds, without spinning for long: between calls it spins for a
  // fraction of a millisecond, then sleeps until a message or a call arrives.
  // Busy is tested after every message and call and at least every 20 ms, so it
  // may also depend on other threads. Returns true when Busy() no longer holds,
  // false when TimeoutMs passed first. Main thread only. WM_QUIT ends nothing
  // here; it sets Terminated() as usual.
  bool WaitWhile(const std::function<bool()>& Busy, DWORD TimeoutMs = INFINITE);

  // The error box for exceptions that reach the application: the message, OK.
  void ShowException(const std::exception& E) noexcept;

private:
  bool ProcessMessage(MSG& Msg);
  void Dispatch(MSG& Msg);
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);
  static LRESULT CALLBACK GetMessageHook(int Code, WPARAM WParam, LPARAM LParam);

  HWND FHandle = nullptr;
  std::string FTitle;
  std::function<void(MSG&, bool&)> FOnMessage;
  HHOOK FHook = nullptr;
  bool FPeeking = false;            // inside this pump's PeekMessage
  std::exception_ptr FHookFailure;  // raised by the hook meanwhile
  bool FMainFormHiddenByMinimize = false;
  bool FTerminated = false;
};

extern TApplication Application;

// A plain message box owned by the active window, captioned with the title.
int ShowMessageBox(const std::string& Text, UINT Flags = MB_OK);

// Runs Body; an exception is shown in the error box and OnError returned.
// For window procedures, dialog procedures, hooks and thread functions.
template <class R, class F>
R Guarded(R OnError, F&& Body) noexcept {
  try {
    return Body();
  } catch (const std::exception& E) {
    Application.ShowException(E);
  } catch (...) {
    Application.ShowException(std::runtime_error("Unexpected error."));
  }
  return OnError;
}

template <class F>
void Guarded(F&& Body) noexcept {
  Guarded(0, [&] { return Body(), 0; });
}
