#pragma once
// What the Windows items reach besides files and registry values, and where
// they look. The items take both from here: the system's own in the program,
// stand-ins in tests (Wine stubs the jump lists, has no cleanup handler for
// the thumbnail cache and no clipboard history; and a test must never sweep
// the prefix's real Recent folder).

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct TWindowsPlaces {
  std::string Recent;        // the user's Recent folder (%APPDATA%\Microsoft\Windows\Recent)
  std::string LocalAppData;  // %LOCALAPPDATA%
  std::string Windows;       // the Windows folder
  std::string ProgramData;   // %ProgramData%
};

struct TWindowsCalls {
  // Removes the recent and frequent (not the pinned) entries of the jump list
  // of the application with this AppUserModelID.
  HRESULT (*ClearJumpList)(const wchar_t* AppId);
  // Windows' disk-cleanup handler of the thumbnail cache for a volume ("C:"):
  // the bytes it would free, or with Purge those it freed. REGDB_E_CLASSNOTREG
  // where the system has no such handler.
  HRESULT (*ThumbnailHandler)(const wchar_t* Volume, bool Purge, std::uint64_t& Bytes);
  // Clears Windows' clipboard history (pinned entries stay); Cleared tells
  // whether Windows says it did. REGDB_E_CLASSNOTREG (or E_NOINTERFACE) where
  // the system has no clipboard history.
  HRESULT (*ClearClipboardHistory)(bool& Cleared);
};

// The system's folders and calls.
TWindowsPlaces SystemWindowsPlaces();
const TWindowsCalls& SystemWindowsCalls();

// What the items use: the system's, unless replaced. Set before a preview or
// clean starts, never during one; null restores the system's.
TWindowsPlaces WindowsPlaces();
const TWindowsCalls& WindowsCalls();
void ReplaceWindowsPlaces(const TWindowsPlaces* Places);
void ReplaceWindowsCalls(const TWindowsCalls* Calls);

// How many of Explorer's folder windows are open (classes CabinetWClass and
// ExploreWClass), in any process of this desktop.
int ExplorerFolderWindows();

// The applications whose jump lists the recent items' clean clears, by
// AppUserModelID: Explorer's own (Quick Access), and every application that
// registers an AppUserModelID for its file types.
std::vector<std::wstring> JumpListApplications();
