#include "win/SystemLibrary.h"

#include <cwchar>

bool RestrictDllSearch() noexcept {
  // Looked up, not imported: Windows 7 without the update lacks it, and an
  // import the system cannot resolve would stop the program from starting.
  using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD Flags);
  auto SetDefault = reinterpret_cast<TSetDefaultDllDirectories>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (SetDefault && SetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
  SetDllDirectoryW(L"");
  return false;
}

HMODULE LoadSystemLibrary(const wchar_t* Name) noexcept {
  if (HMODULE Module = LoadLibraryExW(Name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return Module;
  // Without the update that brought the flag, the call fails with
  // ERROR_INVALID_PARAMETER: name the file in the system folder instead, and
  // let its own dependencies be looked for there first.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t Path[MAX_PATH];
  const UINT Len = GetSystemDirectoryW(Path, MAX_PATH);
  if (Len == 0 || Len + 1 + std::wcslen(Name) >= MAX_PATH) return nullptr;
  Path[Len] = L'\\';
  std::wcscpy(Path + Len + 1, Name);
  return LoadLibraryExW(Path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
