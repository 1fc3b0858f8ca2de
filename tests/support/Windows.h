#pragma once
// Helpers for tests that meet real windows.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

using namespace std::chrono_literals;

// Polls Condition until it holds or Timeout passes; true if it held.
bool WaitUntil(const std::function<bool()>& Condition,
               std::chrono::milliseconds Timeout = std::chrono::seconds(10));

// Watches, on its own thread, for a dialog box of this process with the given
// caption; records the box's text and answers it with Button. The destructor
// waits for the watcher to finish.
class TBoxWatcher {
public:
  explicit TBoxWatcher(std::string Caption, int Button = IDOK,
                       std::chrono::milliseconds Timeout = std::chrono::seconds(10));
  ~TBoxWatcher();
  TBoxWatcher(const TBoxWatcher&) = delete;
  TBoxWatcher& operator=(const TBoxWatcher&) = delete;

  // Waits for the watcher; true if a box was seen and answered.
  bool Answered();
  const std::string& Text();

private:
  std::string FCaption;
  std::string FText;
  std::atomic<bool> FAnswered{false};
  std::thread FThread;
};

// The text of a message box's text control.
std::string MessageBoxText(HWND Box);
// A window's text, also of another process's window or control.
std::string WindowText(HWND Window);
std::string ClassName(HWND Window);
