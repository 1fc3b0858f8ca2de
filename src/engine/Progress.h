#pragma once
// What a worker has done so far, shared with the window that waits for it:
// counters the window reads whenever it likes (no hand-off per entry), and a
// request to stop that the worker honours at its next entry.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class TProgress {
public:
  std::atomic<std::uint64_t> Entries{0}, Bytes{0};

  // Any thread.
  void Cancel();
  bool Cancelled() const noexcept { return FCancelled.load(std::memory_order_relaxed); }
  void Reset();

  // Worker: before each entry. Returns false when the work is to stop; waits
  // while a hold is in force (tests use it to act at a known entry).
  bool Next();
  // Worker: one entry done.
  void Count(std::uint64_t EntryBytes) {
    Bytes.fetch_add(EntryBytes, std::memory_order_relaxed);
    Entries.fetch_add(1, std::memory_order_release);
  }

  // Tests: the worker waits before entry number Limit + 1 until the limit is
  // raised or the work cancelled.
  void HoldAfter(std::uint64_t Limit);

private:
  std::atomic<bool> FCancelled{false};
  std::atomic<std::uint64_t> FLimit{UINT64_MAX};
  std::mutex FLock;
  std::condition_variable FRaised;
};
