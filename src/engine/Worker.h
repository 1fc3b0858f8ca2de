#pragma once
// One piece of work on its own thread, for a window that must keep answering
// while it runs. The window learns of the end by asking Finished (its waits
// poll) or by the message the work posts when it ends.

#include <atomic>
#include <exception>
#include <functional>
#include <thread>
#include <utility>

class TWorker {
public:
  TWorker() = default;
  ~TWorker() { Join(); }
  TWorker(const TWorker&) = delete;
  TWorker& operator=(const TWorker&) = delete;

  // Starts Work; Then runs on the worker right after it (to post the end),
  // also when Work raised. What Work raised is kept for Rethrow.
  void Start(std::function<void()> Work, std::function<void()> Then = {}) {
    Join();
    FFailure = nullptr;
    FFinished = false;
    FThread = std::thread([this, Work = std::move(Work), Then = std::move(Then)] {
      try {
        Work();
      } catch (...) {
        FFailure = std::current_exception();
      }
      FFinished.store(true, std::memory_order_release);
      if (Then) Then();
    });
  }
  bool Started() const noexcept { return FThread.joinable(); }
  bool Finished() const noexcept { return FFinished.load(std::memory_order_acquire); }
  void Join() {
    if (FThread.joinable()) FThread.join();
  }
  // Joins, then raises on this thread what the work raised, if anything.
  void Rethrow() {
    Join();
    if (std::exception_ptr Failure = std::exchange(FFailure, nullptr)) std::rethrow_exception(Failure);
  }

private:
  std::thread FThread;
  std::atomic<bool> FFinished{true};
  std::exception_ptr FFailure;
};
