#pragma once
// The About box: the product's name (a link to its home page), icon and
// version, the maker's notice, and the notices of the code linked into the
// program.

#include "win/Dialog.h"
#include "win/Handle.h"

#include <string>

class TAboutBox : public TDialog {
public:
  TAboutBox();

  // The text of the Version label; set by the caller before the box is shown.
  std::string Version;

  void FormCreate();
  void ProductNameClick();

protected:
  bool OnInitDialog() override;
  bool OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam, INT_PTR& Result) override;

private:
  void SetBoldFont(int PixelHeight);
  TGdiObject FBold;
};
