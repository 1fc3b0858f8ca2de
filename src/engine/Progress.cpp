#include "engine/Progress.h"

void TProgress::Cancel() {
  {
    std::lock_guard Lock(FLock);
    FCancelled = true;
  }
  FRaised.notify_all();
}

void TProgress::Reset() {
  Entries = 0;
  Bytes = 0;
  FCancelled = false;
}

bool TProgress::Next() {
  if (Entries.load(std::memory_order_relaxed) >= FLimit.load(std::memory_order_relaxed)) {
    std::unique_lock Lock(FLock);
    FRaised.wait(Lock, [this] { return FCancelled || Entries < FLimit; });
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
