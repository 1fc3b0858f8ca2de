#pragma once
// An icon in the notification area, for as long as the object lives.
//
// The shell talks to the icon through a hidden top-level window of its own
// (top-level, so that it also hears "TaskbarCreated" and puts the icon back
// when the shell restarts). A right click or the keyboard opens PopupMenu at
// the cursor; a left double click runs the menu's default item. Both reach
// OnCommand with the item's ID. Every button press reaches OnMouseDown first.

#include "win/Window.h"

#include <shellapi.h>

#include <functional>
#include <string>

class TTrayIcon : private TWindow {
public:
  TTrayIcon() = default;
  ~TTrayIcon() override;

  // Creates the icon's window; Add shows the icon. Adding waits for the shell,
  // which serves the messages other programs send meanwhile: a window that
  // must not be reached half-made adds its icon once its message loop runs.
  void Create(HICON Icon, const std::string& Tip);
  void Add();
  // The shell shows the icon (it accepted it, and still has it).
  bool Added() const noexcept { return FAdded; }
  // The hidden window the icon's messages come to.
  HWND Window() const noexcept { return Handle(); }

  HMENU PopupMenu = nullptr;
  std::function<void(UINT Button)> OnMouseDown;  // WM_LBUTTONDOWN, WM_RBUTTONDOWN, ...
  std::function<void(UINT Id)> OnCommand;
  std::function<void(UINT Item, UINT Flags, HMENU Menu)> OnMenuSelect;

  // A balloon above the icon; false when the shell has no balloons or refused.
  bool ShowBalloon(const std::string& Title, const std::string& Text, DWORD IconFlags,
                   UINT TimeoutMs);
  // Opens PopupMenu at Where (screen coordinates), as a right click does.
  void Popup(POINT Where);
  // Runs PopupMenu's default item, as a double click does.
  void RunDefault();

  // The message the shell sends the icon's window.
  static constexpr UINT CallbackMessage = WM_APP + 1;

protected:
  LRESULT OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam) override;

private:
  bool Notify(DWORD Action, NOTIFYICONDATAA& Data);
  NOTIFYICONDATAA Data() const;
  void MouseMessage(UINT Mouse);

  HICON FIcon = nullptr;
  std::string FTip;
  bool FAdded = false;
  UINT FTaskbarCreated = 0;
};

// The shell (shell32.dll) is version 5.0 or later: it shows balloon tips.
bool ShellHasBalloons();
