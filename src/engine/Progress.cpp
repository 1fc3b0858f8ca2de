#include "engine/Progress.h"

void TProgress::Cancel() {
  {
    std::lock_guard Lock(FLock);
    FCancelled = true;
  }
  FRaised.notify_all();
}

void TProgress::Reset() {
  FBegun = 0;
  PlannedEntries = 0;
  PlannedBytes = 0;
  Entries = 0;
  Bytes = 0;
  FCancelled = false;
}

bool TProgress::Next() {
  const std::uint64_t Number = FBegun.fetch_add(1, std::memory_order_relaxed);
  if (Number >= FLimit.load(std::memory_order_relaxed)) {
    std::unique_lock Lock(FLock);
    FRaised.wait(Lock, [&] { return FCancelled || Number < FLimit; });
  }
  return !Cancelled();
}

void TProgress::HoldAfter(std::uint64_t Limit) {
  {
    std::lock_guard Lock(FLock);
    FLimit = Limit;
  }
  FRaised.notify_all();
}
