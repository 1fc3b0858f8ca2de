#include "win/Synchronize.h"

#include "base/Exception.h"

#include <atomic>
#include <exception>

namespace {

// One published call. Lives on the worker's stack; the worker does not return
// before the main thread has marked it done, and after that the main thread
// touches it only when the worker is asleep on Event.
struct TSyncCall {
  enum : int { Pending, Done, Sleeping };
  const std::function<void()>* Proc;
  std::exception_ptr Error;
  std::atomic<int> State{Pending};
  HANDLE Event = nullptr;  // written before State becomes Sleeping
  TSyncCall* Next = nullptr;
};

enum TMainState : int { msOther, msSpinning, msBlocked };

constexpr UINT WM_RUNCALLS = WM_APP + 0x5C;
constexpr char WindowClass[] = "VellumixMainThreadCalls";

// Calls published and not yet taken, newest first.
std::atomic<TSyncCall*> Head{nullptr};
std::atomic<int> MainState{msOther};
std::atomic<bool> WakePosted{false};
std::atomic<DWORD> MainThreadId{0};
HWND CallWindow = nullptr;
HANDLE WakeEvent = nullptr;  // auto-reset; set by workers while the main thread is blocked

// Spinning only pays when the other side runs on another processor.
bool CanSpin() {
  static const bool Multi = [] {
    SYSTEM_INFO Info;
    GetSystemInfo(&Info);
    return Info.dwNumberOfProcessors > 1;
  }();
  return Multi;
}

// How long one side spins for the other before it sleeps. The main thread's
// figure covers a worker's search for its next entry; the worker's covers a
// quick handler.
constexpr auto MainSpin = std::chrono::microseconds(300);
constexpr auto WorkerSpin = std::chrono::microseconds(100);

class TStopwatch {
public:
  TStopwatch() { QueryPerformanceCounter(&FStart); }
  void Restart() { QueryPerformanceCounter(&FStart); }
  std::chrono::microseconds Elapsed() const {
    static const LONGLONG Frequency = [] {
      LARGE_INTEGER F;
      QueryPerformanceFrequency(&F);
      return F.QuadPart;
    }();
    LARGE_INTEGER Now;
    QueryPerformanceCounter(&Now);
    return std::chrono::microseconds((Now.QuadPart - FStart.QuadPart) * 1000000 / Frequency);
  }

private:
  LARGE_INTEGER FStart;
};

void Wake() {
  switch (MainState.load()) {
    case msSpinning:
      break;
    case msBlocked:
      SetEvent(WakeEvent);
      break;
    default:
      if (!WakePosted.exchange(true) && !PostMessageA(CallWindow, WM_RUNCALLS, 0, 0))
        WakePosted = false;
      break;
  }
}

void Publish(TSyncCall* Call) {
  TSyncCall* Old = Head.load();
  do Call->Next = Old;
  while (!Head.compare_exchange_weak(Old, Call));
  Wake();
}

// Leaving a wait: workers must post from now on, and what they published
// while they thought the main thread would see it must run now.
bool LeaveWait() {
  MainState = msOther;
  return RunPendingCalls();
}

LRESULT CALLBACK CallWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_RUNCALLS) {
    RunPendingCalls();
    return 0;
  }
  return DefWindowProcA(Window, Msg, WParam, LParam);
}

}  // namespace

void AttachMainThread() {
  if (MainThreadId.load() != 0) return;
  WakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  WNDCLASSA Class{};
  Class.lpfnWndProc = CallWindowProc;
  Class.hInstance = GetModuleHandleA(nullptr);
  Class.lpszClassName = WindowClass;
  RegisterClassA(&Class);
  // A message-only window: never shown, never enumerated, but dispatched by
  // every message loop of this thread.
  CallWindow = CreateWindowExA(0, WindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               Class.hInstance, nullptr);
  MainThreadId = GetCurrentThreadId();
}

bool IsMainThread() noexcept { return MainThreadId.load() == GetCurrentThreadId(); }

// Sequentially consistent, like the state it is read after: a worker
// publishes, then reads the state; the main thread sets the state, then reads
// the calls. One of the two sees the other.
bool HasPendingCalls() noexcept { return Head.load() != nullptr; }

void TSynchronizer::Call(const std::function<void()>& Proc) {
  if (IsMainThread()) {
    Proc();
    return;
  }
  if (MainThreadId.load() == 0) throw Exception("No main thread serves the calls of a worker");
  TSyncCall Call;
  Call.Proc = &Proc;
  Publish(&Call);

  if (CanSpin()) {
    TStopwatch Watch;
    for (unsigned Round = 0;; ++Round) {
      if (Call.State.load(std::memory_order_acquire) == TSyncCall::Done) break;
      YieldProcessor();
      if ((Round & 63) == 63 && Watch.Elapsed() > WorkerSpin) break;
    }
  }
  if (Call.State.load(std::memory_order_acquire) != TSyncCall::Done) {
    if (!FEvent) FEvent.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    Call.Event = FEvent.get();
    int Expected = TSyncCall::Pending;
    if (Call.State.compare_exchange_strong(Expected, TSyncCall::Sleeping))
      WaitForSingleObject(FEvent.get(), INFINITE);
  }
  if (Call.Error) std::rethrow_exception(Call.Error);
}

bool RunPendingCalls() {
  // A wake-up message still queued is no longer needed; one that somebody
  // removed without dispatching it must not keep the workers from posting.
  WakePosted = false;
  TSyncCall* Taken = Head.exchange(nullptr);
  if (!Taken) return false;
  // Oldest first.
  TSyncCall* Ordered = nullptr;
  while (Taken) {
    TSyncCall* Next = Taken->Next;
    Taken->Next = Ordered;
    Ordered = Taken;
    Taken = Next;
  }
  while (Ordered) {
    TSyncCall* Call = Ordered;
    Ordered = Call->Next;  // read first: once done, Call may be gone
    try {
      (*Call->Proc)();
    } catch (...) {
      Call->Error = std::current_exception();
    }
    if (Call->State.exchange(TSyncCall::Done) == TSyncCall::Sleeping) SetEvent(Call->Event);
  }
  return true;
}

TServeEnd ServeCalls(const std::function<bool()>& Done, std::chrono::microseconds Budget) {
  if (!CanSpin()) {
    RunPendingCalls();
    return Done() ? TServeEnd::Done : TServeEnd::Idle;
  }
  TStopwatch Total, Idle;
  TServeEnd End;
  MainState = msSpinning;
  for (unsigned Round = 0;; ++Round) {
    if (HasPendingCalls()) {
      RunPendingCalls();
      MainState = msSpinning;  // a call may have waited in its own way
      Idle.Restart();
      if (Done()) {
        End = TServeEnd::Done;
        break;
      }
    } else {
      YieldProcessor();
    }
    if ((Round & 31) == 31) {
      if (Done()) {
        End = TServeEnd::Done;
        break;
      }
      if (Total.Elapsed() > Budget) {
        End = TServeEnd::Budget;
        break;
      }
      if (Idle.Elapsed() > MainSpin) {
        End = TServeEnd::Idle;
        break;
      }
    }
  }
  LeaveWait();
  return End;
}

bool SleepForCallsOrMessages(DWORD TimeoutMs) {
  MainState = msBlocked;
  if (!HasPendingCalls())
    MsgWaitForMultipleObjectsEx(1, &WakeEvent, TimeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  return LeaveWait();
}

void WaitForThreadServingCalls(HANDLE Thread) {
  for (;;) {
    MainState = msBlocked;
    // Checked after the state is set: a call may itself have waited and left
    // the state otherwise.
    if (RunPendingCalls()) continue;
    HANDLE Handles[2] = {Thread, WakeEvent};
    if (WaitForMultipleObjects(2, Handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) break;
  }
  LeaveWait();
}
