#include "win/Shell.h"

#include <shlobj.h>

#include <cstring>

std::string ExePath() {
  std::string Path(MAX_PATH, '\0');
  for (;;) {
    DWORD Len = GetModuleFileNameA(nullptr, Path.data(), static_cast<DWORD>(Path.size()));
    if (Len < Path.size()) return Path.substr(0, Len);
    Path.resize(Path.size() * 2);
  }
}

std::string ExeFolder() {
  std::string Path = ExePath();
  return Path.substr(0, Path.find_last_of('\\') + 1);
}

bool FileExists(const std::string& Path) {
  DWORD Attributes = GetFileAttributesA(Path.c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

OSVERSIONINFOA OsVersion() {
  OSVERSIONINFOA Info{sizeof Info};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&Info)) Info = OSVERSIONINFOA{sizeof Info};
#pragma GCC diagnostic pop
  return Info;
}

bool IsWindowsXP() {
  OSVERSIONINFOA Info = OsVersion();
  return Info.dwMajorVersion == 5 && Info.dwMinorVersion == 1;
}

void BroadcastRegisteredMessage(const char* Name) {
  DWORD Recipients = BSM_APPLICATIONS;
  BroadcastSystemMessageA(BSF_POSTMESSAGE, &Recipients, RegisterWindowMessageA(Name), 0, 0);
}

int ScreenPixelsPerInch() {
  HDC Screen = GetDC(nullptr);
  int Ppi = GetDeviceCaps(Screen, LOGPIXELSY);
  ReleaseDC(nullptr, Screen);
  return Ppi;
}

std::string TempFolder() {
  DWORD Needed = GetTempPathA(0, nullptr);
  if (!Needed) return {};
  std::string Path(Needed, '\0');
  DWORD Len = GetTempPathA(Needed, Path.data());
  if (!Len || Len >= Needed) return {};
  Path.resize(strnlen(Path.c_str(), Len));
  if (!Path.empty() && Path.back() == '\\') Path.pop_back();
  return Path;
}

std::string SpecialFolder(int Csidl) {
  PIDLIST_ABSOLUTE Items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, Csidl, &Items)) || !Items) return {};
  char Path[MAX_PATH] = {};
  const bool Named = SHGetPathFromIDListA(Items, Path);
  CoTaskMemFree(Items);  // the shell's allocator
  return Named ? Path : std::string{};
}

int WindowPixelsPerInch(HWND Window) {
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  static const auto GetDpiForWindow = reinterpret_cast<TGetDpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32"), "GetDpiForWindow")));
  const UINT Dpi = GetDpiForWindow && Window ? GetDpiForWindow(Window) : 0;
  return Dpi ? static_cast<int>(Dpi) : ScreenPixelsPerInch();
}
