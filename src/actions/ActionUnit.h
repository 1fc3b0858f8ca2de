#pragma once
// The action object: one operation per kind of trace, and the result log that
// the main window shows. Every operation runs on the main thread.

#include "base/Exception.h"

#include <windows.h>

#include <deque>
#include <string>

// A registry key to be cleared could not be opened. Message: "Can't open " + path.
DECLARE_EXCEPTION(EOpenRegErrors, Exception);

class TAction {
public:
  // The log, newest line first.
  std::deque<std::string> Messages;

  // Inserts "<time> <Msg> <Detail> " at the top of the log.
  bool AddMessage(const std::string& Msg, const std::string& Detail);
  // Keeps the 26 newest lines.
  void TrimMessages();

  // Deletes every value (not the subkeys) of Root\Path. Does nothing when
  // Enabled is false; raises EOpenRegErrors when the key cannot be opened.
  bool ClearKeyValues(HKEY Root, const std::string& Path, bool Enabled);
};
