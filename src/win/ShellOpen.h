#pragma once
// Opening a file or web page with the user's default program: the shell verb
// "open", no parameters, no working folder, shown normally. The result is not
// checked: the shell reports its own errors.

#include <windows.h>

#include <functional>
#include <string>

void ShellOpen(HWND Owner, const std::string& Target);

// Tests put a recorder here to see what would be opened; empty: the shell.
extern std::function<void(HWND Owner, const std::string& Target)> ShellOpenHook;
