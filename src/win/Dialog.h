#pragma once
// Dialog base: a dialog built from a .rc template, bound to its object through
// GWLP_USERDATA (set at WM_INITDIALOG, cleared at WM_NCDESTROY). Modal through
// ShowModal, or modeless through Create for tests that fill and press it.
//
// Both run the same window; the modal loop is this class's own, so that the
// dialog sees keys before its controls (PreviewKey) and every message still
// passes the application's message hook. No exception leaves the dialog
// procedure: it is shown in the application's error box.

#include "win/Handle.h"

#include <windows.h>

#include <string>

class TDialog {
public:
  explicit TDialog(int TemplateId) : FTemplateId(TemplateId) {}
  TDialog(const TDialog&) = delete;
  TDialog& operator=(const TDialog&) = delete;
  virtual ~TDialog();

  HWND Handle() const noexcept { return FHandle; }
  HWND Item(int Id) const { return GetDlgItem(FHandle, Id); }
  // IDOK, IDCANCEL, IDYES, IDNO...; 0 while the dialog is open.
  int ModalResult() const noexcept { return FModalResult; }

  // Creates the dialog, disables Owner, shows it and handles messages until
  // it closes; returns the result. The window is gone when this returns.
  int ShowModal(HWND Owner);
  // Creates the dialog modeless (hidden until shown). Close() destroys it.
  HWND Create(HWND Owner);
  // Passes a message taken from the queue through the dialog: the key preview,
  // then the dialog keys (Tab, arrows, Enter, Esc, mnemonics). True when it was
  // handled there and must not be dispatched.
  bool ProcessMessage(MSG& Msg);

protected:
  // WM_INITDIALOG. Return false when the focus was set.
  virtual bool OnInitDialog() { return true; }
  // Every other message; return true when handled (Result then holds the answer).
  virtual bool OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam, INT_PTR& Result);
  // Keys of the dialog and of its controls, before the controls see them.
  virtual bool PreviewKey(const MSG&) { return false; }
  // Ends the dialog with the result: modal, the loop ends; modeless, the window goes.
  void Close(int Result);

private:
  static INT_PTR CALLBACK DialogProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);

  int FTemplateId;
  HWND FHandle = nullptr;
  int FModalResult = 0;
  bool FModal = false;
};

// Loads a string of the program's resources.
std::string ResourceText(UINT Id);
// Loads an RCDATA resource of the program as text, its line ends made CR LF.
std::string ResourceData(int Id);

// Gives a label of a dialog the dialog font in bold at PixelHeight, kept in
// Font; the label lets go of the font it had before that font is freed.
void SetBoldFont(HWND Label, TGdiObject& Font, int PixelHeight);
