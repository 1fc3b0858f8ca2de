#pragma once
// Checks on the action log for the cleaning-operation tests.

#include "actions/ActionUnit.h"
#include "win/Application.h"

#include <gmock/gmock.h>

#include <functional>
#include <string>

// A log line for Sentence with an empty detail: "<time> <Sentence>  ".
MATCHER_P(LineOf, Sentence, "is the log line of \"" + std::string(Sentence) + "\"") {
  const std::string Tail = std::string(" ").append(Sentence).append("  ");
  return arg.size() > Tail.size() && arg.compare(arg.size() - Tail.size(), Tail.size(), Tail) == 0;
}

// Makes ClearKeyValues' message pump raise, once per posted WM_APP, the
// exception Raise throws: the way to meet an operation's guard with a failure
// that the registry itself does not produce.
class TRaisingPump {
public:
  explicit TRaisingPump(std::function<void()> Raise) {
    Application.SetOnMessage([Raise](MSG& Msg, bool& Handled) {
      if (Msg.message != WM_APP || Msg.hwnd) return;
      Handled = true;
      Raise();
    });
    PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);
  }
  ~TRaisingPump() {
    Application.SetOnMessage(nullptr);
    MSG Msg;
    while (PeekMessageA(&Msg, nullptr, WM_APP, WM_APP, PM_REMOVE)) {
    }
  }
  TRaisingPump(const TRaisingPump&) = delete;
  TRaisingPump& operator=(const TRaisingPump&) = delete;
};
