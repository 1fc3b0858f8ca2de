#include "support/Windows.h"

#include <vector>

bool WaitUntil(const std::function<bool()>& Condition, std::chrono::milliseconds Timeout) {
  const auto Deadline = std::chrono::steady_clock::now() + Timeout;
  while (!Condition()) {
    if (std::chrono::steady_clock::now() > Deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// WM_GETTEXT itself: GetWindowText would give only the caption of another
// process's window, not a control's text.
std::string WindowText(HWND Window) {
  DWORD_PTR Len = 0;
  if (!SendMessageTimeoutA(Window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &Len)) return {};
  std::string Text(Len + 1, '\0');
  DWORD_PTR Copied = 0;
  SendMessageTimeoutA(Window, WM_GETTEXT, Len + 1, reinterpret_cast<LPARAM>(Text.data()),
                      SMTO_ABORTIFHUNG, 5000, &Copied);
  Text.resize(Copied);
  return Text;
}

std::string ClassName(HWND Window) {
  char Name[256] = {};
  GetClassNameA(Window, Name, sizeof Name);
  return Name;
}

std::string MessageBoxText(HWND Box) { return WindowText(GetDlgItem(Box, 0xFFFF)); }

namespace {

struct TFind {
  const std::string* Caption;
  HWND Found;
};

BOOL CALLBACK FindBox(HWND Window, LPARAM Param) {
  auto* F = reinterpret_cast<TFind*>(Param);
  DWORD Pid = 0;
  GetWindowThreadProcessId(Window, &Pid);
  if (Pid == GetCurrentProcessId() && IsWindowVisible(Window) && ClassName(Window) == "#32770" &&
      WindowText(Window) == *F->Caption) {
    F->Found = Window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

TBoxWatcher::TBoxWatcher(std::string Caption, int Button, std::chrono::milliseconds Timeout)
    : FCaption(std::move(Caption)) {
  FThread = std::thread([this, Button, Timeout] {
    TFind F{&FCaption, nullptr};
    if (!WaitUntil([&] { return EnumWindows(FindBox, reinterpret_cast<LPARAM>(&F)), F.Found != nullptr; },
                   Timeout))
      return;
    FText = MessageBoxText(F.Found);
    PostMessageA(F.Found, WM_COMMAND, MAKEWPARAM(Button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(F.Found, Button)));
    FAnswered = true;
  });
}

TBoxWatcher::~TBoxWatcher() {
  if (FThread.joinable()) FThread.join();
}

bool TBoxWatcher::Answered() {
  if (FThread.joinable()) FThread.join();
  return FAnswered;
}

const std::string& TBoxWatcher::Text() {
  Answered();
  return FText;
}
