#pragma once
// Opening a file or web page with the user's default program: the shell verb
// "open", no parameters, no working folder, shown normally.

#include <windows.h>

#include <functional>
#include <string>

// 0 when the shell opened Target; else the reason, as a system error code
// (ERROR_NO_ASSOCIATION when no program opens that kind of file). The shell
// shows no error of its own.
DWORD ShellOpen(HWND Owner, const std::string& Target);

// ShellOpen, and a message box naming Target and the reason when it failed:
// a command that shows nothing at all leaves the user guessing.
bool ShellOpenOrSay(HWND Owner, const std::string& Target);

// Tests put a recorder here to see what would be opened; empty: the shell.
extern std::function<void(HWND Owner, const std::string& Target)> ShellOpenHook;
