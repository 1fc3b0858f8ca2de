#pragma once
// The form-state store: keeps a window's placement, or chosen Boolean properties
// of its controls, as REG_SZ values in HKCU\<IniFileName>\<IniSection>.
// Restored each time the window is about to become visible, saved once when it
// closes, and never saved for a window that was not shown in this run.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class TForm;

// A stored control property: "Control.Property" (stored under
// "Control_Property") and the control's ID in its window (or in a child dialog
// of it, such as a page of a tabbed dialog). The properties are
// Booleans: Checked (a check box's tick) and Enabled, stored as "True"/"False".
struct TStoredProp {
  std::string Entry;
  int ControlId;
};

class TFormPlacement {
public:
  // Form is needed only when the placement is stored.
  explicit TFormPlacement(HWND Window = nullptr, TForm* Form = nullptr)
      : FWindow(Window), FForm(Form) {}
  // For a store that is set up before its window has a handle.
  void Attach(HWND Window, TForm* Form = nullptr) {
    FWindow = Window;
    FForm = Form;
  }

  std::string IniFileName;  // key below HKEY_CURRENT_USER
  std::string IniSection;   // sub-key; empty: the window's class name
  int Version = 0;
  bool StorePlacement = false;  // position and show state
  std::vector<TStoredProp> StoredProps;
  bool Active = true;
  std::function<void()> OnRestorePlacement;
  std::function<void()> OnSavePlacement;
  // After a restored Checked property ticked or cleared a box, as a click
  // would: the window's own rules for the box follow.
  std::function<void(int ControlId)> OnPropChanged;

  // When the window is about to become visible.
  void Restore();
  // When the window is asked to close and its own close handling allows it.
  void SaveOnClose() { Save(false); }
  // When the window is destroyed; saves only if nothing was saved before.
  void SaveOnDestroy() {
    if (!FSaved) Save(true);
  }

  bool Restored() const noexcept { return FRestored; }
  bool Saved() const noexcept { return FSaved; }

private:
  std::string KeyPath() const;
  void Save(bool Destroying);
  void RestorePosition(class TRegistry& Reg);
  void RestoreProps(class TRegistry& Reg);

  HWND FWindow;
  TForm* FForm;
  bool FRestored = false;
  bool FSaved = false;
};

// Pure text helpers, shared with the tests.
// Splits "a,b c" at commas and blanks into four integers; bad or missing parts keep Defaults.
void ParseFourInts(const std::string& Text, int (&Values)[4], const int (&Defaults)[4]);
