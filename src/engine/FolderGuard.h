#pragma once
// The gate every swept folder passes before a scan starts. A sweep deletes
// whatever it finds below its folder, so a wrong folder is a disaster: the
// temporary folder falls back to the profile when TMP and TEMP are empty, a
// value of "X:\" names a whole drive, and the shell's folder values are
// whatever the registry says.

#include <string>

struct TFolderVerdict {
  // Allowed: the folder as it really is on disk (its final path, without the
  // "\\?\" prefix), which is what the sweep then walks.
  std::string Folder;
  // Refused: why, in words for the log ("it is a drive's root"). Empty when allowed.
  std::string Reason;
  bool Allowed() const noexcept { return Reason.empty(); }
};

// A folder may be swept when it is named by an absolute path, exists, is a
// folder and no link, and is not, and does not hold, a drive's root, the
// Windows folder, the system folders, Program Files, ProgramData, the user's
// profile or any of the user's known folders (Desktop, Documents, Downloads,
// Pictures, Music, Videos, AppData). Nothing inside the Windows folder, the
// system folders or Program Files may be swept either, but the Windows
// folder's Temp (and what it holds) and its Prefetch folder (itself only).
// Inside ProgramData (the machine's error reports, ...) is allowed.
TFolderVerdict CheckSweptFolder(const std::string& Folder);
