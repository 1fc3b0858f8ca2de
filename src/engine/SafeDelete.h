#pragma once
// Deleting what a sweep found, and only that: through a handle opened without
// following links, checked to be the very entry that was found, so that a
// link (a junction, a symbolic link, or under Wine a Linux link that looks
// like a plain file) is never deleted through, and a path swapped since it was
// listed cannot redirect the deletion. Nothing is truncated, nothing is
// scheduled for deletion at restart, and nothing waits for a file in use.

#include <string>

enum class TRemoval {
  Removed,   // gone now
  Vanished,  // was already gone
  InUse,     // another program holds it
  Link,      // a link, or no longer the entry that was found: left alone
  NotEmpty,  // a folder with something inside
  Failed,    // refused for another reason (access denied, ...)
};

// Path: the "\\?\" form of an entry found on disk (win/WidePath.h, LongPath).
// A read-only file loses that attribute only for its deletion, and gets it
// back if the deletion fails.
TRemoval DeleteFoundFile(const std::wstring& Path);
// Removes a folder only when it is empty at that moment; its attributes are
// touched only for a removal that can succeed.
TRemoval RemoveFoundFolder(const std::wstring& Path);
