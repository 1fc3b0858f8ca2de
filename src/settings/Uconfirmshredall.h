#pragma once
// The shred-all confirmation: asks once more before every item is cleared, and
// lets the user switch the question off (HKCU\Software\Vellumix, ConfirmShredAll).
//
// Results: IDYES (the Yes button or Alt+Y), IDNO (the No button or Enter: No is
// the default button), IDCANCEL (Esc or the close box). Only Yes writes the switch.

#include "win/Dialog.h"
#include "win/Handle.h"

class TDlgConfirmShredAll : public TDialog {
public:
  TDlgConfirmShredAll();

  void FormCreate();
  void YesBtnClick();

protected:
  bool OnInitDialog() override;
  bool OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam, INT_PTR& Result) override;

private:
  void SetBoldFont(int PixelHeight);
  TGdiObject FBold;
};

// The switch behind the dialog: true (ask) when the value is 1, missing or unreadable.
bool ConfirmShredAllWanted();
