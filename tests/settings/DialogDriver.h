#pragma once
// Drives a dialog of this thread the way a user does: keys go into the queue
// of the control that has the focus and reach it through the dialog's own
// message handling (IsDialogMessage), clicks are BM_CLICK.

#include "win/Dialog.h"

#include <windows.h>

// HKEY_CURRENT_USER redirected to a test's own key while it lives, so that
// code that insists on HKCU\Software\Vellumix writes below the test key.
class TRedirectedHkcu {
public:
  explicit TRedirectedHkcu(const std::string& Path);
  ~TRedirectedHkcu();
  TRedirectedHkcu(const TRedirectedHkcu&) = delete;
  TRedirectedHkcu& operator=(const TRedirectedHkcu&) = delete;
};

// Handles every queued message, through the dialog first.
void PumpDialog(TDialog& Dialog);
// A key pressed and released on the focused control (or on Target).
void PressKey(TDialog& Dialog, UINT Key, HWND Target = nullptr);
// Alt and a letter: a mnemonic.
void PressAlt(TDialog& Dialog, char Letter);
