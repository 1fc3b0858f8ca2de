#pragma once
// Synchronous calls from worker threads to the main thread.
//
// A worker publishes a call and blocks until the main thread has run it; an
// exception the call throws is rethrown on the worker. The main thread runs
// published calls whenever it pumps messages: TApplication::ProcessMessages and
// HandleMessage run them first, and a hidden window runs them when its wake-up
// message is dispatched by any message loop (the program's own, a modal dialog's,
// a message box's). TApplication::WaitWhile serves them fastest: between calls
// it spins briefly, so a worker that reports entry after entry pays no kernel
// round trip, and it sleeps in MsgWaitForMultipleObjects when nothing comes.
//
// How a worker wakes the main thread depends on what the main thread is doing,
// which it announces here: spinning (nothing to do), blocked in a wait of this
// unit (set the wake event), or anything else (post the wake-up message once).

#include "win/Handle.h"

#include <windows.h>

#include <chrono>
#include <functional>

// Makes the calling thread the main thread and creates its hidden window.
// Call on the main thread before the first worker hands off; later calls do
// nothing.
void AttachMainThread();
bool IsMainThread() noexcept;

// A worker's line to the main thread. One per worker thread; not shared.
class TSynchronizer {
public:
  // Runs Proc on the main thread and returns when it has returned, rethrowing
  // what it threw. On the main thread itself Proc runs at once.
  void Call(const std::function<void()>& Proc);

private:
  TKernelHandle FEvent;  // created the first time the worker has to sleep
};

// Main thread: runs every call published so far, in order; true if any ran.
bool RunPendingCalls();
// Any thread: a call is waiting (a cheap test for spinning loops).
bool HasPendingCalls() noexcept;

// Main thread: serves calls as they arrive, spinning in between, until Done()
// holds, Budget has passed, or no call has come for a short while. Tells which.
enum class TServeEnd { Done, Budget, Idle };
TServeEnd ServeCalls(const std::function<bool()>& Done, std::chrono::microseconds Budget);

// Main thread: sleeps until a message arrives (MsgWaitForMultipleObjectsEx with
// QS_ALLINPUT), a call is published, or Timeout passes. Runs the calls that are
// waiting when it wakes, and tells whether any ran; does not remove messages.
bool SleepForCallsOrMessages(DWORD TimeoutMs);

// Main thread: runs calls until Thread has ended; processes no window messages.
void WaitForThreadServingCalls(HANDLE Thread);
