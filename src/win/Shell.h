#pragma once
// Small shell and system helpers.

#include <windows.h>

#include <string>

// The folder of the running executable, with a trailing backslash.
std::string ExeFolder();
bool FileExists(const std::string& Path);
bool IsWindowsXP();
// Posts a registered message to the top-level windows of all applications.
void BroadcastRegisteredMessage(const char* Name);
