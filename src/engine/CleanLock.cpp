#include "engine/CleanLock.h"

bool TCleanLock::TryAcquire() {
  if (FHeld) return true;
  if (!FMutex) FMutex.reset(CreateMutexW(nullptr, FALSE, CleanLockName));
  if (!FMutex) return false;
  const DWORD Wait = WaitForSingleObject(FMutex.get(), 0);
  // Abandoned: its last owner ended while holding it; the lock is ours now.
  FHeld = Wait == WAIT_OBJECT_0 || Wait == WAIT_ABANDONED;
  return FHeld;
}

void TCleanLock::Release() {
  if (!FHeld) return;
  ReleaseMutex(FMutex.get());
  FHeld = false;
}
