#include "settings/UAbout.h"

#include "base/WebPages.h"
#include "resource.h"
#include "win/Shell.h"
#include "win/ShellOpen.h"
#include "win/Window.h"

TAboutBox::TAboutBox() : TDialog(IDD_ABOUT) {}

bool TAboutBox::OnInitDialog() {
  FormCreate();
  SetWindowTextA(Item(IDC_VERSION), Version.c_str());
  SetWindowTextA(Item(IDC_COMMENTS), ResourceData(IDR_NOTICES).c_str());
  SetFocus(Item(IDOK));
  return false;
}

void TAboutBox::FormCreate() {
  HICON Icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VELLUMIX),
                                             IMAGE_ICON, 32, 32, LR_SHARED));
  SendMessageA(Item(IDC_PROGRAMICON), STM_SETICON, reinterpret_cast<WPARAM>(Icon), 0);
  SetBoldFont(MulDiv(15, WindowPixelsPerInch(Handle()), 96));  // designed at 96 pixels per inch
}

void TAboutBox::SetBoldFont(int PixelHeight) {
  ::SetBoldFont(Item(IDC_PRODUCTNAME), FBold, PixelHeight);
}

void TAboutBox::ProductNameClick() { ShellOpenOrSay(Handle(), HomePageUrl); }

bool TAboutBox::OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam, INT_PTR& Result) {
  switch (Msg) {
    case WM_COMMAND:
      if (LOWORD(WParam) == IDC_PRODUCTNAME && HIWORD(WParam) == STN_CLICKED) {
        ProductNameClick();
        return true;
      }
      if (LOWORD(WParam) == IDOK || LOWORD(WParam) == IDCANCEL) {
        Close(IDOK);
        return true;
      }
      break;
    case WM_CLOSE:
      Close(IDOK);
      return true;
    case WM_DPICHANGED:
      // The system scales the dialog and its own font; the bold name is ours.
      SetBoldFont(MulDiv(15, HIWORD(WParam), 96));
      break;
    case WM_SETCURSOR:
      // The product's name is a link: the hand.
      if (reinterpret_cast<HWND>(WParam) == Item(IDC_PRODUCTNAME)) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        Result = TRUE;
        return true;
      }
      break;
    case WM_CTLCOLORSTATIC:
      // The link is drawn in the link colour; the notices read like a label.
      if (reinterpret_cast<HWND>(LParam) == Item(IDC_PRODUCTNAME)) {
        HDC Dc = reinterpret_cast<HDC>(WParam);
        SetTextColor(Dc, RGB(0x00, 0x44, 0xCC));
        SetBkColor(Dc, GetSysColor(COLOR_3DFACE));
        Result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_3DFACE));
        return true;
      }
      break;
  }
  return false;
}
