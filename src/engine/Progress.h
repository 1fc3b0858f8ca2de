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
  // Set when a plan has been made and its clean begins: the entries and
  // bytes it holds (the counters then go on from there).
  std::atomic<std::uint64_t> PlannedEntries{0}, PlannedBytes{0};
  void BeginClean(std::uint64_t Entries, std::uint64_t Bytes) {
    PlannedBytes = Bytes;
    PlannedEntries = Entries;
  }

  // Any thread.
  void Cancel();
  bool Cancelled() const noexcept { return FCancelled.load(std::memory_order_relaxed); }
  void Reset();

  // Worker (any of several): before each entry. Returns false when the work
  // is to stop; waits while a hold is in force (tests use it to act at a
  // known entry: no more than the limit are ever begun while it holds).
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
  std::atomic<std::uint64_t> FBegun{0};
  std::mutex FLock;
  std::condition_variable FRaised;
};
