#pragma once
// Small shell and system helpers.

#include <windows.h>

#include <string>

// The running executable's full path, and its folder with a trailing backslash.
std::string ExePath();
std::string ExeFolder();
bool FileExists(const std::string& Path);
// The system's version as it reports it.
OSVERSIONINFOA OsVersion();
bool IsWindowsXP();
// The screen's logical pixels per inch.
int ScreenPixelsPerInch();
// A window's pixels per inch: of the screen it is on where the system tells
// (Windows 10 and later), else the screen's.
int WindowPixelsPerInch(HWND Window);
// The user's temporary folder as TMP (or else TEMP) names it, without a
// trailing backslash unless it is a drive's root; empty when neither is set.
// Not checked: every swept folder passes the folder guard first.
std::string TempFolder();
// A shell special folder (CSIDL_...) as the shell names it; empty when the
// shell cannot name it.
std::string SpecialFolder(int Csidl);
// Posts a registered message to the top-level windows of all applications.
void BroadcastRegisteredMessage(const char* Name);
