#include "settings/Uconfirmshredall.h"

#include "resource.h"
#include "win/Registry.h"
#include "win/Shell.h"
#include "win/Window.h"

namespace {

constexpr char SettingsKey[] = "Software\\Vellumix";

}  // namespace

bool ConfirmShredAllWanted() {
  try {
    TRegistry Reg(HKEY_CURRENT_USER);
    if (!Reg.OpenKey(SettingsKey, true)) return true;
    return Reg.ReadBool("ConfirmShredAll").value_or(true);
  } catch (const std::exception&) {
    return true;
  }
}

TDlgConfirmShredAll::TDlgConfirmShredAll() : TDialog(IDD_CONFIRMSHREDALL) {}

bool TDlgConfirmShredAll::OnInitDialog() {
  FormCreate();
  SendMessageA(Item(IDC_CBXCONFIRMSHREDALL), BM_SETCHECK, BST_CHECKED, 0);
  // No has the focus, so that Enter and Space answer No.
  SetFocus(Item(IDNO));
  return false;
}

void TDlgConfirmShredAll::FormCreate() {
  HICON Icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VELLUMIX),
                                             IMAGE_ICON, 32, 32, LR_SHARED));
  SendMessageA(Item(IDC_IMAGE1), STM_SETICON, reinterpret_cast<WPARAM>(Icon), 0);
  SetBoldFont(MulDiv(13, WindowPixelsPerInch(Handle()), 96));  // designed at 96 pixels per inch
}

void TDlgConfirmShredAll::SetBoldFont(int PixelHeight) {
  ::SetBoldFont(Item(IDC_CONFIRMLABEL), FBold, PixelHeight);
}

void TDlgConfirmShredAll::YesBtnClick() {
  try {
    TRegistry Reg(HKEY_CURRENT_USER);
    if (Reg.OpenKey(SettingsKey, true))
      Reg.WriteBool("ConfirmShredAll",
                    SendMessageA(Item(IDC_CBXCONFIRMSHREDALL), BM_GETCHECK, 0, 0) == BST_CHECKED);
  } catch (const std::exception&) {
    // The question is asked again next time.
  }
}

bool TDlgConfirmShredAll::OnMessage(UINT Msg, WPARAM WParam, LPARAM, INT_PTR&) {
  if (Msg == WM_COMMAND) {
    switch (LOWORD(WParam)) {
      case IDYES:
        YesBtnClick();
        Close(IDYES);
        return true;
      case IDNO:
        Close(IDNO);
        return true;
      case IDCANCEL:  // Esc, and the close box: back out, nothing cleared, nothing written
        Close(IDCANCEL);
        return true;
    }
  } else if (Msg == WM_CLOSE) {
    Close(IDCANCEL);
    return true;
  } else if (Msg == WM_DPICHANGED) {
    // The system scales the dialog and its own font; the bold label is ours.
    SetBoldFont(MulDiv(13, HIWORD(WParam), 96));
  }
  return false;
}
