#include "win/ShellOpen.h"

#include <shellapi.h>

std::function<void(HWND, const std::string&)> ShellOpenHook;

void ShellOpen(HWND Owner, const std::string& Target) {
  if (ShellOpenHook) {
    ShellOpenHook(Owner, Target);
    return;
  }
  ShellExecuteA(Owner, "open", Target.c_str(), "", "", SW_SHOWNORMAL);
}
