#include "win/Shell.h"

#include "win/WidePath.h"

#include <shlobj.h>

#include <iterator>

std::string ExePath() {
  std::wstring Path(MAX_PATH, L'\0');
  for (;;) {
    DWORD Len = GetModuleFileNameW(nullptr, Path.data(), static_cast<DWORD>(Path.size()));
    if (Len < Path.size()) return Narrow(Path.substr(0, Len));
    Path.resize(Path.size() * 2);
  }
}

std::string ExeFolder() {
  std::string Path = ExePath();
  return Path.substr(0, Path.find_last_of('\\') + 1);
}

bool FileExists(const std::string& Path) {
  DWORD Attributes = GetFileAttributesW(WidePath(Path).c_str());
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
  // What GetTempPath would take, without its fall-backs: with TMP and TEMP
  // empty it names the profile or the Windows folder, and it resolves a
  // relative value against the current folder. Neither is a temporary folder.
  for (const wchar_t* Name : {L"TMP", L"TEMP"}) {
    wchar_t Value[MAX_PATH * 4];
    const DWORD Len = GetEnvironmentVariableW(Name, Value, static_cast<DWORD>(std::size(Value)));
    if (!Len) continue;
    if (Len >= std::size(Value)) return {};
    std::string Path = Narrow(std::wstring_view(Value, Len));
    // "X:\" keeps its backslash: "X:" alone is the current folder of drive X.
    if (Path.size() > 3 && Path.back() == '\\') Path.pop_back();
    return Path;
  }
  return {};
}

std::string SpecialFolder(int Csidl) {
  PIDLIST_ABSOLUTE Items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, Csidl, &Items)) || !Items) return {};
  wchar_t Path[MAX_PATH] = {};
  const bool Named = SHGetPathFromIDListW(Items, Path);
  CoTaskMemFree(Items);  // the shell's allocator
  return Named ? Narrow(Path) : std::string{};
}

int WindowPixelsPerInch(HWND Window) {
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  static const auto GetDpiForWindow = reinterpret_cast<TGetDpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32"), "GetDpiForWindow")));
  const UINT Dpi = GetDpiForWindow && Window ? GetDpiForWindow(Window) : 0;
  return Dpi ? static_cast<int>(Dpi) : ScreenPixelsPerInch();
}
