// A stand-in for a system DLL planted beside the program (built as winmm.dll
// and as wininet.dll): whoever loads it leaves a marker file beside it, its
// own path with ".loaded" added.
#define WIN32_LEAN_AND_MEAN  // no mmsystem.h: its declarations would import what this defines
#include <windows.h>

#include <cwchar>

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID) {
  if (Reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t Path[MAX_PATH + 8];
  const DWORD Len = GetModuleFileNameW(Instance, Path, MAX_PATH);
  if (Len == 0 || Len >= MAX_PATH) return TRUE;
  std::wcscpy(Path + Len, L".loaded");
  HANDLE File = CreateFileW(Path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (File != INVALID_HANDLE_VALUE) CloseHandle(File);
  return TRUE;
}

#ifdef STANDIN_WINMM
// What a program importing winmm for the CD tray would bind to: without these
// the loader could refuse the DLL before its DllMain ran, and the marker would
// prove nothing.
extern "C" __declspec(dllexport) DWORD WINAPI mciSendStringA(const char*, char*, UINT, HWND) {
  return 1;
}
extern "C" __declspec(dllexport) BOOL WINAPI mciGetErrorStringA(DWORD, char*, UINT) { return FALSE; }
#endif
