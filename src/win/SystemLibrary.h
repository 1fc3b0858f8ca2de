#pragma once
// DLLs from the system folder only. Windows looks for a DLL named without a
// path in the program's own folder first, and Windows always takes from the
// system folder only the few it knows (kernel32, user32, shell32, ...). A
// portable copy of the program run from a Downloads folder that also holds a
// planted winmm.dll would run that DLL with the user's rights. So the program
// imports only DLLs Windows knows, loads every other DLL through
// LoadSystemLibrary, and WinMain narrows the search for all further loads of
// the process (the shell's and COM's included) with RestrictDllSearch.

#include <windows.h>

// Takes the program's folder and the current folder out of the DLL search of
// the whole process: SetDefaultDllDirectories(system folder) where the system
// has it (Windows 8, or Windows 7 with update KB2533623), else
// SetDllDirectory(""), which removes at least the current folder. True when
// the first was possible.
bool RestrictDllSearch() noexcept;

// Loads Name, a bare file name such as L"winmm.dll", from the system folder and
// nowhere else; null (with the system's error code) when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* Name) noexcept;
