#pragma once
// One piece of work on its own thread, for a window that must keep answering
// while it runs. The window learns of the end by asking Finished (its waits
// poll) or by the message the work posts when it ends.

#include <atomic>
#include <functional>
#include <thread>

class TWorker {
public:
  TWorker() = default;
  ~TWorker() { Join(); }
  TWorker(const TWorker&) = delete;
  TWorker& operator=(const TWorker&) = delete;

  // Starts Work, which must catch what it raises; Then runs on the worker
  // right after it (to post the end), also when Work raised.
  void Start(std::function<void()> Work, std::function<void()> Then = {}) {
    Join();
    FFinished = false;
    FThread = std::thread([this, Work = std::move(Work), Then = std::move(Then)] {
      try {
        Work();
      } catch (...) {
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

private:
  std::thread FThread;
  std::atomic<bool> FFinished{true};
};
