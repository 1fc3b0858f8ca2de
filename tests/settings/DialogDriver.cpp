#include "settings/DialogDriver.h"

#include <cctype>

TRedirectedHkcu::TRedirectedHkcu(const std::string& Path) {
  HKEY Root = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Root,
                  nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, Root);
  RegCloseKey(Root);
}

TRedirectedHkcu::~TRedirectedHkcu() { RegOverridePredefKey(HKEY_CURRENT_USER, nullptr); }

void PumpDialog(TDialog& Dialog) {
  MSG Msg;
  while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) {
    if (Msg.message == WM_QUIT) continue;
    if (!Dialog.ProcessMessage(Msg)) {
      TranslateMessage(&Msg);
      DispatchMessageA(&Msg);
    }
  }
}

void PressKey(TDialog& Dialog, UINT Key, HWND Target) {
  HWND Window = Target ? Target : GetFocus();
  UINT Scan = MapVirtualKeyA(Key, MAPVK_VK_TO_VSC);
  PostMessageA(Window, WM_KEYDOWN, Key, 1 | (Scan << 16));
  PumpDialog(Dialog);
  PostMessageA(Window, WM_KEYUP, Key, 1 | (Scan << 16) | (1u << 30) | (1u << 31));
  PumpDialog(Dialog);
}

void PressAlt(TDialog& Dialog, char Letter) {
  // What TranslateMessage makes of Alt+letter: the letter as a system character.
  PostMessageA(GetFocus(), WM_SYSCHAR, std::tolower(static_cast<unsigned char>(Letter)),
               1 | (1u << 29));
  PumpDialog(Dialog);
}
