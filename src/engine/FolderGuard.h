#pragma once
// The gate every swept folder passes before a scan starts. A sweep deletes
// whatever it finds below its folder, so a wrong folder is a disaster: the
// temporary folder falls back to the profile when TMP and TEMP are empty, a
// value of "X:\" names a whole drive, and the shell's folder values are
// whatever the registry says.

#include <cstdint>
#include <string>

struct TFolderVerdict {
  // Allowed: the folder as it really is on disk (its final path, without the
  // "\\?\" prefix), which is what the sweep then walks.
  std::string Folder;
  // Refused: why, in words for the log ("it is a drive's root"). Empty when allowed.
  std::string Reason;
  // Allowed: the identity of the folder judged (file ID and volume serial).
  // The plan walks it only while the folder it opens is this one.
  std::uint64_t Id = 0;
  std::uint32_t Volume = 0;
  // Refused only for lying outside the folders a sweep may reach unasked:
  // the user may allow it (AllowFolder).
  bool NeedsConsent = false;
  bool Allowed() const noexcept { return Reason.empty(); }
};

// What a sweep is for, and so where it may go.
enum class TSweepScope {
  // Data of the user's programs: below the user's own AppData\Local or
  // AppData\Roaming (never those folders themselves).
  UserData,
  // The temporary folder: the user's own (AppData\Local\Temp) or one inside it.
  UserTemp,
};

// A folder may be swept when it is named by an absolute path, exists, is a
// folder and no link, and
// - is not, and does not hold, a drive's root, the Windows folder, the system
//   folders, Program Files, ProgramData, the folder of all profiles, the
//   user's profile or any of the user's known folders (Desktop, Documents,
//   Downloads, Pictures, Music, Videos, AppData);
// - does not lie inside the Windows folder, the system folders, Program
//   Files, the public profile, another user's profile or OneDrive;
// - lies where Scope lets a sweep go, or in the Windows folder's Temp, is its
//   Prefetch folder itself, or lies in the machine's error reports (the
//   administrator's items); or in a folder the user allowed, while that is
//   still the folder allowed.
// The profile is the one Windows keeps for this process's user; the folder
// values of the user's registry and environment, which any program of the
// user can write, decide nothing here.
TFolderVerdict CheckSweptFolder(const std::string& Folder, TSweepScope Scope = TSweepScope::UserData);

// The user's consent to sweep a folder outside those (a temporary folder on
// a RAM disk): stored with the folder's identity, so a folder put in its
// place later is refused again. Empty when stored; else why not (it does not
// exist, it is a link, it is one of the protected folders above).
std::string AllowFolder(const std::string& Folder);
// Takes a consent back; false when there was none.
bool ForgetFolder(const std::string& Folder);
// Tests: where the consents are kept, below HKEY_CURRENT_USER.
extern const char* AllowedFoldersKey;
