#include "win/ShellOpen.h"

#include "win/Application.h"
#include "win/WidePath.h"

#include <shellapi.h>

std::function<void(HWND, const std::string&)> ShellOpenHook;

DWORD ShellOpen(HWND Owner, const std::string& Target) {
  if (ShellOpenHook) {
    ShellOpenHook(Owner, Target);
    return 0;
  }
  const std::wstring File = Widen(Target);
  SHELLEXECUTEINFOW Info{sizeof Info};
  Info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  Info.hwnd = Owner;
  Info.lpVerb = L"open";
  Info.lpFile = File.c_str();
  Info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&Info)) return 0;
  const DWORD Error = GetLastError();
  return Error ? Error : ERROR_NO_ASSOCIATION;
}

bool ShellOpenOrSay(HWND Owner, const std::string& Target) {
  const DWORD Error = ShellOpen(Owner, Target);
  if (!Error) return true;
  wchar_t Reason[512] = {};
  DWORD Len = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, Error,
                             0, Reason, 512, nullptr);
  while (Len && (Reason[Len - 1] == L'\n' || Reason[Len - 1] == L'\r' || Reason[Len - 1] == L'.' ||
                 Reason[Len - 1] == L' '))
    --Len;
  std::string Text = "Vellumix could not open " + Target;
  Text += Len ? ": " + Narrow(std::wstring_view(Reason, Len)) + "." : " (error " + std::to_string(Error) + ").";
  ShowMessageBox(Text, MB_OK | MB_ICONWARNING);
  return false;
}
