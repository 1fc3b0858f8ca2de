#pragma once
// One clean at a time in the session, whichever process asks: the window's
// commands and the command line's clean each hold this lock while they work,
// so two never sweep the same folders at once. It is a named mutex: owned by
// the thread that took it, and free again when its owner ends without
// letting go (a clean that crashed blocks nobody).

#include "win/Handle.h"

// Every process of the session that cleans uses this name.
inline constexpr wchar_t CleanLockName[] = L"Local\\Vellumix.Clean";

class TCleanLock {
public:
  TCleanLock() = default;
  ~TCleanLock() { Release(); }
  TCleanLock(const TCleanLock&) = delete;
  TCleanLock& operator=(const TCleanLock&) = delete;

  // Takes the lock when no one holds it; false, at once, when someone does
  // (or when the mutex cannot be made). Call Release on the same thread.
  bool TryAcquire();
  void Release();
  bool Held() const noexcept { return FHeld; }

private:
  TKernelHandle FMutex;
  bool FHeld = false;
};
