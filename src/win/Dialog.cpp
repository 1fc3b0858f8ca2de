#include "win/Dialog.h"

#include "win/Application.h"
#include "win/Window.h"

#include <utility>

TDialog::~TDialog() {
  if (!FHandle) return;
  SetWindowLongPtrA(FHandle, GWLP_USERDATA, 0);
  DestroyWindow(std::exchange(FHandle, nullptr));
}

HWND TDialog::Create(HWND Owner) {
  FModalResult = 0;
  CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(FTemplateId), Owner, DialogProc,
                     reinterpret_cast<LPARAM>(this));
  return FHandle;
}

int TDialog::ShowModal(HWND Owner) {
  // The owner takes no input while the dialog is up, as with any modal dialog.
  if (!Create(Owner)) throw std::runtime_error("Cannot create the dialog");
  FModal = true;
  bool OwnerEnabled = Owner && IsWindowEnabled(Owner);
  if (OwnerEnabled) EnableWindow(Owner, FALSE);
  ShowWindow(FHandle, SW_SHOW);
  while (FModalResult == 0 && FHandle) {
    MSG Msg;
    BOOL Got = GetMessageA(&Msg, nullptr, 0, 0);
    if (Got <= 0) {
      // The quit request belongs to the outer loop: leave it for it.
      if (Got == 0) PostQuitMessage(static_cast<int>(Msg.wParam));
      if (!FModalResult) FModalResult = IDCANCEL;
      break;
    }
    if (!ProcessMessage(Msg)) {
      TranslateMessage(&Msg);
      DispatchMessageA(&Msg);
    }
  }
  // The owner comes back before the dialog goes, so that it gets the activation.
  if (OwnerEnabled) EnableWindow(Owner, TRUE);
  if (FHandle) DestroyWindow(FHandle);  // WM_NCDESTROY forgets the handle
  FModal = false;
  return FModalResult;
}

bool TDialog::ProcessMessage(MSG& Msg) {
  if (!FHandle || Msg.message == WM_NULL) return false;
  if (Msg.hwnd != FHandle && !IsChild(FHandle, Msg.hwnd)) return false;
  if (Msg.message >= WM_KEYFIRST && Msg.message <= WM_KEYLAST &&
      Guarded(false, [&] { return PreviewKey(Msg); }))
    return true;
  return IsDialogMessageA(FHandle, &Msg) != FALSE;
}

void TDialog::Close(int Result) {
  FModalResult = Result;
  if (!FModal && FHandle) DestroyWindow(FHandle);
}

bool TDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

INT_PTR CALLBACK TDialog::DialogProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_INITDIALOG) {
    auto* Self = reinterpret_cast<TDialog*>(LParam);
    Self->FHandle = Window;
    SetWindowLongPtrA(Window, GWLP_USERDATA, LParam);
    return Guarded(INT_PTR{TRUE}, [&] { return INT_PTR{Self->OnInitDialog()}; });
  }
  auto* Self = reinterpret_cast<TDialog*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
  if (!Self) return FALSE;
  INT_PTR Result = 0;
  bool Handled = Guarded(false, [&] { return Self->OnMessage(Msg, WParam, LParam, Result); });
  if (Msg == WM_NCDESTROY) {
    SetWindowLongPtrA(Window, GWLP_USERDATA, 0);
    Self->FHandle = nullptr;
    return FALSE;
  }
  if (!Handled) return FALSE;
  // These few answer through the procedure's own result; the rest through DWLP_MSGRESULT.
  if ((Msg >= WM_CTLCOLORMSGBOX && Msg <= WM_CTLCOLORSTATIC) || Msg == WM_COMPAREITEM ||
      Msg == WM_VKEYTOITEM || Msg == WM_CHARTOITEM || Msg == WM_QUERYDRAGICON)
    return Result;
  SetWindowLongPtrA(Window, DWLP_MSGRESULT, Result);
  return TRUE;
}

std::string ResourceText(UINT Id) {
  char Buffer[1024];
  int Len = LoadStringA(GetModuleHandleA(nullptr), Id, Buffer, sizeof Buffer);
  return std::string(Buffer, Len > 0 ? Len : 0);
}

std::string ResourceData(int Id) {
  HMODULE Module = GetModuleHandleA(nullptr);
  HRSRC Found = FindResourceA(Module, MAKEINTRESOURCEA(Id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!Found) return {};
  HGLOBAL Loaded = LoadResource(Module, Found);
  const char* Data = static_cast<const char*>(LockResource(Loaded));
  if (!Data) return {};
  std::string Text;
  for (DWORD I = 0, Size = SizeofResource(Module, Found); I < Size; ++I) {
    if (Data[I] == '\r') continue;
    if (Data[I] == '\n') Text += '\r';
    Text += Data[I];
  }
  return Text;
}

void SetBoldFont(HWND Label, TGdiObject& Font, int PixelHeight) {
  TGdiObject Old = std::move(Font);
  Font.reset(CreatePixelFont("MS Shell Dlg 2", PixelHeight, FW_BOLD));
  SendMessageA(Label, WM_SETFONT, reinterpret_cast<WPARAM>(Font.get()), TRUE);
}
