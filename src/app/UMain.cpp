#include "app/UMain.h"

#include "catalogue/Catalogue.h"

#include "app/Preview.h"
#include "resource.h"
#include "win/Registry.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

namespace {

constexpr char SettingsKey[] = "Software\\Vellumix";
constexpr char StartHint[] = "Click 'Shred' to Clear or 'Options' to Customize your settings";
constexpr char LightsHint[] = "This status light is green when Vellumix is not busy";
// Passed to the companion so that it knows who started it.
constexpr char CompanionArgument[] = "/startup";

constexpr int SpeedBarHeight = 60;
constexpr int HintBarHeight = 3;
constexpr int StatusLineHeight = 24;

HICON LoadPicture(int Id, int Size) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(Id), IMAGE_ICON,
                                       Size, Size, LR_DEFAULTCOLOR | LR_SHARED));
}

std::string LoadText(UINT Id) {
  char Buffer[512];
  int Len = LoadStringA(GetModuleHandleA(nullptr), Id, Buffer, sizeof Buffer);
  return std::string(Buffer, Len > 0 ? Len : 0);
}

HWND CreateStatusBar(HWND Parent, int Id, DWORD Style) {
  return CreateWindowExA(0, STATUSCLASSNAMEA, "",
                         WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER |
                             Style,
                         0, 0, 0, 0, Parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)),
                         GetModuleHandleA(nullptr), nullptr);
}

BOOL CALLBACK CloseBrowserWindow(HWND Window, LPARAM) {
  char Name[256] = {};
  GetClassNameA(Window, Name, 256);
  std::string Class = Name;
  if (Class.find("IEFrame") != std::string::npos ||
      Class.find("CabinetWClass") != std::string::npos)
    PostMessageA(Window, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace


TMainForm::TMainForm(const std::string& FirstArg) : FDpi(ScreenPixelsPerInch()) {
  CreateFonts();
  CreateHandle({"TMainForm", CS_DBLCLKS, LoadPicture(IDI_VELLUMIX, 32), nullptr}, 0,
               WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, "Vellumix", CW_USEDEFAULT, CW_USEDEFAULT,
               Scale(517), Scale(372), Application.Handle(),
               LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDM_MAIN)));
  if (!Handle()) throw std::runtime_error("Cannot create the main window");
  if (const int Dpi = WindowPixelsPerInch(Handle()); Dpi != FDpi) {
    FDpi = Dpi;
    CreateFonts();
  }
  Name = "MainForm";
  Position = TPosition::poDesktopCenter;
  ALScreenSnap = std::make_unique<TALScreenSnap>(this);
  ALScreenSnap->Threshold = 20;
  Application.MainForm = Handle();
  Application.OnShowMainForm = [this] {
    WindowState = TWindowState::wsNormal;
    Show();
  };
  FAccelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDA_MAIN));
  Application.Accelerators = FAccelerators;
  Application.AccelWindow = Handle();
  Timer.Attach(Handle(), ScheduleTimerId);
  CreateControls();
  CreateTrayIcon();
  // Like any creation handler, a failure is shown and the window still comes up.
  Guarded([&] { FormCreate(FirstArg); });
  FReady = true;
  PostMessageA(Handle(), AddTrayIconMessage, 0, 0);
}

TMainForm::~TMainForm() {
  // A window never closed goes now, while the hooks and fonts it uses live.
  DestroyHandle();
  Application.SetOnMessage(nullptr);
  Application.OnShowMainForm = nullptr;
  Application.Accelerators = nullptr;
  Application.MainForm = nullptr;
}

void TMainForm::CreateFonts() {
  FFormFont.reset(CreatePixelFont("Arial", Scale(12)));
  FMemoFont.reset(CreatePixelFont("Tahoma", Scale(13)));
}

void TMainForm::DpiChanged(int Dpi, const RECT& Suggested) {
  FDpi = Dpi;
  // The controls keep using the old fonts until they are given the new ones.
  TGdiObject OldForm = std::move(FFormFont), OldMemo = std::move(FMemoFont);
  CreateFonts();
  SendMessageA(Memo, WM_SETFONT, reinterpret_cast<WPARAM>(FMemoFont.get()), TRUE);
  SpeedBar.SetFont(static_cast<HFONT>(FFormFont.get()));
  SpeedBar.SetPictureSize(Scale(32));
  LayOutSpeedButtons();
  XPMenu.Refresh(Dpi);
  SetWindowPos(Handle(), nullptr, Suggested.left, Suggested.top, Suggested.right - Suggested.left,
               Suggested.bottom - Suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  FormResize();
}

void TMainForm::LayOutSpeedButtons() {
  int Left = 4;
  for (HWND Button : {SpeedItemStart, SpeedItemPreview, SpeedItemoption, SpeedItemhelp, SpeedItemExit}) {
    MoveWindow(Button, Scale(Left), Scale(4), Scale(81), Scale(53), TRUE);
    Left += 81;
  }
}

void TMainForm::CreateControls() {
  HWND Form = Handle();
  SpeedBar.Create(Form, IDC_SPEEDBAR, Scale(SpeedBarHeight), static_cast<HFONT>(FFormFont.get()));
  SpeedBar.SetPictureSize(Scale(32));
  struct TItem {
    HWND* Button;
    int Id;
    const char* Caption;
    int Picture;
    const char* Hint;
  };
  const TItem Items[] = {
      {&SpeedItemStart, IDC_START, "Shred", IDI_SHRED, "Clear user defined items"},
      {&SpeedItemPreview, IDC_PREVIEW, "Preview", IDI_PREVIEW, "Show what Shred would remove, then remove exactly that"},
      {&SpeedItemoption, IDC_OPTION, "Options", IDI_OPTIONS, "Display customize dialog box"},
      {&SpeedItemhelp, IDC_HELPCONTENTS, "Help", IDI_HELP, "Display the help manual"},
      {&SpeedItemExit, IDC_EXIT, "Exit", IDI_EXIT, "Exit Vellumix"},
  };
  for (const TItem& Item : Items)
    *Item.Button = SpeedBar.AddButton(Item.Id, Item.Caption, Item.Picture, Item.Hint, 0, 0, 0, 0);
  LayOutSpeedButtons();

  Memo = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                         WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0,
                         0, 0, Form, reinterpret_cast<HMENU>(IDC_MEMO), GetModuleHandleA(nullptr),
                         nullptr);
  SendMessageA(Memo, WM_SETFONT, reinterpret_cast<WPARAM>(FMemoFont.get()), FALSE);
  SubclassControl(Memo, this);

  StatusBar = CreateStatusBar(Form, IDC_STATUSBAR, 0);
  int HintPart[] = {50};
  SendMessageA(StatusBar, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(HintPart));

  dfsStatusBar = CreateStatusBar(Form, IDC_DFSSTATUSBAR, SBARS_SIZEGRIP);
  FGrayBall = LoadPicture(IDI_GRAYBALL, 16);
  FRedBall = LoadPicture(IDI_REDBALL, 16);
  FGreenBall = LoadPicture(IDI_GREENBALL, 16);
  FormResize();
}

void TMainForm::FormCreate(const std::string& FirstArg) {
  LaunchCompanion();
  LoadSkins();
  Action = std::make_unique<TAction>();
  Action->IECache = &myIECache;
  ShowLights(false);
  FWaitCursor = LoadCursor(nullptr, IDC_WAIT);

  // Start minimised when asked; a missing value leaves the window normal.
  TRegistry Reg(HKEY_CURRENT_USER);
  if (Reg.OpenKeyReadOnly(SettingsKey))
    if (auto MinRun = Reg.ReadBool("MinRun"))
      WindowState = *MinRun ? TWindowState::wsMinimized : TWindowState::wsNormal;
  Reg.CloseKey();

  if (FirstArg == "ie") AskCloseBrowsers();
  PreviousInstanceMessage = RegisterWindowMessageA("Check Vellumix Previous Inst");
  Application.SetOnMessage([this](MSG& Msg, bool& Handled) { AppMessage(Msg, Handled); });
  SetHint(StartHint);
  FirstInt();
  UpdateAppearance();

  FormPlacement.Attach(Handle(), this);
  FormPlacement.IniFileName = SettingsKey;
  FormPlacement.IniSection = "Position";
  FormPlacement.Version = 1;
  FormPlacement.StorePlacement = true;

  Option = std::make_unique<TOption>();
  Option->KeyPath = SettingsKey;
  Option->Load();
  Timer.SetEnabled(ScheduleEnabled());
  BuildFamilyMenus();
  UpdateMenuChecks();
  // Started with Windows: the start-up run, before the window is first shown.
  if (FirstArg == "run" && ScheduleAtStart()) StartActionExecute();
}

bool (*TMainForm::FolderWritable)(const std::string&) = TMainForm::ProbeFolderWritable;

bool TMainForm::ProbeFolderWritable(const std::string& Folder) {
  // A file of our own, made and gone at once: what the user may do there.
  const std::wstring Probe = Widen(Folder) + L"vellumix-write-test-" +
                             std::to_wstring(GetCurrentProcessId()) + L"-" +
                             std::to_wstring(GetTickCount64()) + L".tmp";
  HANDLE File = CreateFileW(Probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (File == INVALID_HANDLE_VALUE) return GetLastError() != ERROR_ACCESS_DENIED;
  CloseHandle(File);
  return true;
}

bool TMainForm::CompanionMayStart(const std::string& Folder) {
  // A portable copy in Downloads would otherwise run whatever a web page
  // dropped beside it under that name.
  return StoredDialogBox("CBxActiveBlinder_Checked") || !FolderWritable(Folder);
}

void TMainForm::LaunchCompanion() {
  const std::string Folder = ExeFolder();
  const std::string Companion = Folder + "blinder.exe";
  if (!FileExists(Companion) || !CompanionMayStart(Folder)) return;
  const std::wstring File = Widen(Companion), Argument = Widen(CompanionArgument);
  ShellExecuteW(Handle(), L"open", File.c_str(), Argument.c_str(), L"", SW_HIDE);
}

void TMainForm::LoadSkins() {
  std::string Skins = ExeFolder() + "skins\\";
  auto Load = [&](const char* Name, TGdiObject& Into) {
    if (FileExists(Skins + Name))
      Into.reset(LoadImageA(nullptr, (Skins + Name).c_str(), IMAGE_BITMAP, 0, 0,
                            LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  };
  Load("winxp1.bmp", FWallpaper1);
  Load("winxp2.bmp", FWallpaper2);
}

void TMainForm::FirstInt() {
  TRegistry Reg(HKEY_CURRENT_USER);
  bool FirstTime = !Reg.OpenKeyReadOnly(SettingsKey) || Reg.ReadString("FirstTime").value_or("") != "1";
  Reg.CloseKey();
  if (!FirstTime) return;
  {
    TOption Defaults;
    Defaults.KeyPath = SettingsKey;
    Defaults.WriteDefaults();
  }
  MessageBoxA(nullptr,
              "This is first time Vellumix starts, Please customize your settings by click "
              "\"options\" button.",
              "Vellumix", MB_OK | MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND);
  if (Reg.OpenKey(SettingsKey, true)) Reg.WriteString("FirstTime", "1");
}

void TMainForm::AskCloseBrowsers() {
  if (MessageBoxA(nullptr, "Let Vellumix close all Internet Explorer for you now?",
                  "Confirm Close Browsers",
                  MB_YESNO | MB_ICONQUESTION | MB_TOPMOST | MB_SETFOREGROUND) == IDYES)
    EnumWindows(CloseBrowserWindow, 0);
}

void TMainForm::AppMessage(MSG& Msg, bool& Handled) {
  BlinderMessage(Msg);
  if (Msg.message != PreviousInstanceMessage || !PreviousInstanceMessage) return;
  // Until the window is ready (the first-start greeting is up during creation)
  // a second start is left alone: the greeting comes before the window.
  if (!FReady) return;
  // A second start: bring this instance forward. The broadcast reaches each of
  // our top-level windows, so this runs several times; every step is idempotent.
  BringForward();
  Handled = true;
}

void TMainForm::OnShow() {
  FormPlacement.Restore();
  ApplyTaskbarRule();
}

void TMainForm::UpdateAppearance() {
  using TBevel = TSpeedBar::TBevel;
  HMENU Menu = GetMenu(Handle());
  if (!IsWindowsXP()) {
    SpeedBar.SetBevels(FWallpaper1 ? TBevel::bvNone : TBevel::bvRaised,
                       FWallpaper1 ? TBevel::bvNone : TBevel::bvLowered);
    SpeedBar.SetWallpaper(static_cast<HBITMAP>(FWallpaper2.get()));
    XPMenu.SetActive(true);
    return;
  }
  // An XP visual style is in use when the appearance scheme "Current" is empty
  // or missing; an unreadable setting counts as the classic look.
  bool VisualStyle = false;
  TRegistry Reg(HKEY_CURRENT_USER);
  if (Reg.OpenKeyReadOnly("\\Control Panel\\Appearance"))
    VisualStyle = !Reg.ValueExists("Current") || Reg.ReadString("Current").value_or("x").empty();
  std::string Scheme = "NormalColor";
  if (Reg.OpenKeyReadOnly("\\Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager"))
    Scheme = Reg.ReadString("ColorName").value_or(Scheme);

  if (VisualStyle) {
    SpeedBar.SetBevels(TBevel::bvNone, TBevel::bvNone);
    SpeedBar.SetWallpaper(static_cast<HBITMAP>(
        (Scheme == "NormalColor" || Scheme == "HomeStead" ? FWallpaper1 : FWallpaper2).get()));
    XPMenu.SetActive(true);
    EnableMenuItem(Menu, IDC_GRADIENTMENU, MF_BYCOMMAND | MF_ENABLED);
  } else {
    SpeedBar.SetBevels(TBevel::bvRaised, TBevel::bvLowered);
    SpeedBar.SetWallpaper(nullptr);
    XPMenu.SetActive(false);
    EnableMenuItem(Menu, IDC_GRADIENTMENU, MF_BYCOMMAND | MF_GRAYED);
  }
}

void TMainForm::UpdateMenuChecks() {
  if (!Option) return;
  HMENU Menu = GetMenu(Handle());
  SetMenuCheck(IDC_AUTORUN, Option->Autorun);
  SetMenuCheck(IDC_MINRUN, Option->MinRun);
  SetMenuCheck(IDC_GRADIENTMENU, Option->GradientMenu);
  SetMenuCheck(IDC_TRAYICON, Option->ShowTrayIconOnly);
  SetMenuCheck(IDC_EJECTCDROM, Option->EjectCdrom);
  XPMenu.Attach(Menu, FDpi);
  XPMenu.SetGradient(Option->GradientMenu);
}

// ---- log pane

void TMainForm::RefreshMemo() {
  std::string Text;
  for (const std::string& Line : Action->Messages) {
    if (!Text.empty()) Text += "\r\n";
    Text += Line;
  }
  SetWindowTextA(Memo, Text.c_str());
  MemoChange();
}

int TMainForm::VisibleLineCount() const {
  HDC Dc = GetDC(Memo);
  HGDIOBJ Old = SelectObject(Dc, reinterpret_cast<HFONT>(SendMessageA(Memo, WM_GETFONT, 0, 0)));
  TEXTMETRICA Metrics{};
  const bool Measured = GetTextMetricsA(Dc, &Metrics);
  SelectObject(Dc, Old);
  ReleaseDC(Memo, Dc);
  const int LineHeight = Metrics.tmHeight + Metrics.tmExternalLeading;
  if (!Measured || LineHeight <= 0) return 0;
  RECT Rect;
  SendMessageA(Memo, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&Rect));
  return (Rect.bottom - Rect.top) / LineHeight;
}

void TMainForm::MemoChange() {
  int Lines = static_cast<int>(SendMessageA(Memo, EM_GETLINECOUNT, 0, 0));
  ShowScrollBar(Memo, SB_VERT, Lines > VisibleLineCount());
}

bool TMainForm::ControlMessage(HWND Control, UINT Msg, WPARAM WParam, LPARAM LParam,
                               LRESULT& Result) {
  if (Control != Memo) return false;
  switch (Msg) {
    case WM_CONTEXTMENU:
      MemoContextMenu({GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)});
      Result = 0;
      return true;
    case WM_MOUSEMOVE:
      HideCaret(nullptr);
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      HideCaret(nullptr);
      break;
    case WM_SETCURSOR:
      // The pane shows the arrow, not the text cursor, unless the window is busy.
      if (LOWORD(LParam) == HTCLIENT) {
        if (!SendMessageA(Handle(), WM_SETCURSOR, WParam, LParam))
          SetCursor(LoadCursor(nullptr, IDC_ARROW));
        Result = TRUE;
        return true;
      }
      break;
  }
  return false;
}

// ---- status line

void TMainForm::SetHint(const std::string& Hint) {
  // The hint bar's owner-drawn panel holds the text; drawing it copies the
  // text to the visible status line.
  FHint = Hint;
  SendMessageA(StatusBar, SB_SETTEXTA, SBT_OWNERDRAW | SBT_NOBORDERS,
               reinterpret_cast<LPARAM>(FHint.c_str()));
}

void TMainForm::StatusBarDrawPanel(const DRAWITEMSTRUCT& Item) {
  SendMessageA(dfsStatusBar, SB_SETTEXTA, 0, static_cast<LPARAM>(Item.itemData));
}

std::string TMainForm::StatusText() const {
  auto Len = LOWORD(SendMessageA(dfsStatusBar, SB_GETTEXTLENGTHA, 0, 0));
  std::string Text(Len + 1, '\0');
  SendMessageA(dfsStatusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(Text.data()));
  Text.resize(Len);
  return Text;
}

void TMainForm::dfsStatusBarResize() {
  RECT Rect;
  GetClientRect(dfsStatusBar, &Rect);
  // The two lights stay at the right end.
  int Text = Rect.right - Scale(IsWindowsXP() ? 85 : 62);
  int Parts[] = {Text, Text + Scale(22), -1};
  SendMessageA(dfsStatusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(Parts));
}

void TMainForm::dfsStatusBarIconClick() {
  MessageBoxA(Handle(),
              "The red light on the right of the Vellumix status line is on when Vellumix is busy "
              "(for example, while busy shredding files). The green light is on when Vellumix is "
              "not busy.",
              "Vellumix", MB_OK | MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND);
}

// The hint of whatever the mouse points at; the busy cursor over the whole window.
bool TMainForm::SetCursorFor(HWND Target) {
  std::string Hint = SpeedBar.HintOf(Target);
  // The empty log pane tells what to do first. Through the hint bar like every
  // hint, so that its next repaint shows this text rather than overwriting it.
  if (Target == Memo && GetWindowTextLengthA(Memo) == 0) Hint = StartHint;
  if (Target == dfsStatusBar) {
    POINT Cursor;
    GetCursorPos(&Cursor);
    ScreenToClient(dfsStatusBar, &Cursor);
    for (int Part : {1, 2}) {
      RECT Rect;
      SendMessageA(dfsStatusBar, SB_GETRECT, Part, reinterpret_cast<LPARAM>(&Rect));
      if (PtInRect(&Rect, Cursor)) Hint = LightsHint;
    }
  }
  if (Hint != FHint) SetHint(Hint);
  if (!FScreenCursor) return false;
  SetCursor(FScreenCursor);
  return true;
}

void TMainForm::MenuSelect(UINT Item, UINT Flags, HMENU Menu) {
  if (Flags == 0xFFFF && !Menu) {  // the menu closed
    SetHint("");
    return;
  }
  std::string Hint;
  if (Flags & MF_POPUP) {
    HMENU Bar = GetMenu(Handle());
    if (Menu == Bar)
      Hint = LoadText(IDS_MENUMODE);
    else if (Menu == GetSubMenu(Bar, 1))  // Shred: Internet, Documents, Browsers, Windows
      Hint = Item < 2 ? LoadText(Item == 0 ? IDS_INTERNETITEMS : IDS_DOCUMENTSITEMS)
                      : Item == 2 ? "Browsers' items" : "Windows' items";
  } else if (Item >= ItemCommandBase && Item < FamilyCommandEnd) {
    Hint = FamilyCommandHint(static_cast<int>(Item));
  } else if (!(Flags & MF_SEPARATOR)) {
    Hint = LoadText(Item);
  }
  SetHint(Hint);
}

// ---- layout

void TMainForm::FormResize() {
  RECT Client;
  GetClientRect(Handle(), &Client);
  const int Width = Client.right, Height = Client.bottom;
  const int Top = Scale(SpeedBarHeight), Line = Scale(StatusLineHeight), Hint = Scale(HintBarHeight);
  MoveWindow(SpeedBar.Handle(), 0, 0, Width, Top, TRUE);
  MoveWindow(dfsStatusBar, 0, Height - Line, Width, Line, TRUE);
  MoveWindow(StatusBar, 0, Height - Line - Hint, Width, Hint, TRUE);
  MoveWindow(Memo, 0, Top, Width, std::max(0, Height - Top - Line - Hint), TRUE);
  dfsStatusBarResize();
  MemoChange();
}

// ---- commands and closing

void TMainForm::Command(int Id) {
  switch (Id) {
    case IDC_START: case IDC_TRAYSHRED:  // toolbar, F10, Shred > User Defined, the icon's menu
      StartActionExecute();
      break;
    case IDC_PREVIEW:
      PreviewActionExecute();
      break;
    case IDC_IECACHE: case IDC_IEHISTORY: case IDC_IECOOKIE: case IDC_IEURL:
    case IDC_GOOGLESEARCHHISTORY: case IDC_OICQUSERLIST: case IDC_INTERNETALL:
    case IDC_RECENTDOC: case IDC_MSMEDIAPLAYER: case IDC_REALPLAYER: case IDC_DELPHI:
    case IDC_VB: case IDC_VC: case IDC_RECYCLE: case IDC_TEMPFILES: case IDC_DOCALL:
    case IDC_CLEARALL:
      ActionClearExecute(Id);
      break;
    case IDC_AUTORUN: case IDC_MINRUN: case IDC_TRAYICON: case IDC_GRADIENTMENU:
    case IDC_EJECTCDROM:
      mnuOptionExecute(Id);
      break;
    case IDC_EXIT: case IDC_TRAYEXIT:
      ExitActionExecute();
      break;
    case IDC_OPTION: case IDC_TRAYOPTIONS:
      OptionActionExecute();
      break;
    case IDC_HELPCONTENTS: case IDC_TRAYHELP:
      HelpContents1Execute();
      break;
    case IDC_TRAYRESTORE:
      mnuRestoreClick();
      break;
    case IDC_FAQ:
      mnuFAQClick();
      break;
    case IDC_HOMEPAGE:
      mnuHomePageClick();
      break;
    case IDC_ABOUT:
      mnuAboutClick();
      break;
    default:
      if (Id >= ItemCommandBase && Id < FamilyCommandEnd) FamilyCommandExecute(Id);
  }
}

void TMainForm::FormClose() {
  BroadcastRegisteredMessage("Exit Blinder");
  Option.reset();
}

void TMainForm::FormDestroy() {
  // A sweep still running ends without touching anything more.
  StopSweep();
  FSweeper.Join();
  FSweepRunning = false;
  Action.reset();
}

LRESULT TMainForm::OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_COMMAND:
      // Menus and accelerators (no control; an accelerator's code is 1), and
      // the toolbar's buttons.
      if (!LParam && HIWORD(WParam) == 1 && LogPaneAccelerator(LOWORD(WParam))) return 0;
      if (!LParam || HIWORD(WParam) == BN_CLICKED) Command(LOWORD(WParam));
      return 0;
    case WM_NOTIFY: {
      const auto* Header = reinterpret_cast<const NMHDR*>(LParam);
      if (Header->hwndFrom == dfsStatusBar && Header->code == NM_CLICK) {
        auto Part = reinterpret_cast<const NMMOUSE*>(LParam)->dwItemSpec;
        if (Part == 1 || Part == 2) dfsStatusBarIconClick();
      }
      return 0;
    }
    case WM_MEASUREITEM:
      if (XPMenu.MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(LParam))) return TRUE;
      break;
    case WM_DRAWITEM:
      if (WParam == IDC_STATUSBAR) {
        StatusBarDrawPanel(*reinterpret_cast<const DRAWITEMSTRUCT*>(LParam));
        return TRUE;
      }
      if (XPMenu.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(LParam))) return TRUE;
      break;
    case WM_MENUCHAR:
      if (LRESULT Answer = XPMenu.MenuChar(LOWORD(WParam), reinterpret_cast<HMENU>(LParam)))
        return Answer;
      break;
    case WM_SETCURSOR:
      if (LOWORD(LParam) == HTCLIENT && SetCursorFor(reinterpret_cast<HWND>(WParam))) return TRUE;
      break;
    case WM_INITMENUPOPUP:
      if (!HIWORD(LParam)) FamilyMenuOpening(reinterpret_cast<HMENU>(WParam));  // not the system menu
      break;
    case WM_MENUSELECT:
      MenuSelect(LOWORD(WParam), HIWORD(WParam), reinterpret_cast<HMENU>(LParam));
      return 0;
    case WM_SIZE:
      FormResize();
      return 0;
    case WM_DPICHANGED:
      DpiChanged(HIWORD(WParam), *reinterpret_cast<const RECT*>(LParam));
      return 0;
    case WM_GETMINMAXINFO: {
      auto* Info = reinterpret_cast<MINMAXINFO*>(LParam);
      Info->ptMinTrackSize = {Scale(420), Scale(250)};
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      // The read-only log pane keeps the colours of a text window.
      if (reinterpret_cast<HWND>(LParam) == Memo) {
        SetTextColor(reinterpret_cast<HDC>(WParam), GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(reinterpret_cast<HDC>(WParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    case WM_SETTINGCHANGE:
      UpdateAppearance();
      XPMenu.Refresh(FDpi);  // the menu font may have changed
      break;
    case WM_SYSCOMMAND:
      if (WMSysCommand(WParam)) return 0;
      break;
    case SweepDoneMessage:
      FinishSweep();
      return 0;
    case AddTrayIconMessage:
      TrayIcon.Add();
      return 0;
    case WM_TIMER:
      if (WParam == ScheduleTimerId) TimerTimer();
      return 0;
    case WM_QUERYENDSESSION:
      return WMQueryEndSession(LParam);
    case WM_ENDSESSION:
      // The session ends: close as on Exit, so the placement is saved and the
      // companion told. Windows may end the process any time after this.
      if (WParam) Close();
      return 0;
    case WM_CLOSE:
      if (FClosed) return 0;
      if (!Idle()) {
        // A command is running and uses what closing frees: the window closes
        // when it has ended, which a running sweep is asked to do now.
        FCloseRequested = true;
        StopSweep();
        // An open preview closes without removing anything.
        if (PreviewDlg && PreviewDlg->Handle()) {
          PreviewDlg->Progress.Cancel();
          PostMessageW(PreviewDlg->Handle(), WM_COMMAND, IDCANCEL, 0);
        }
        return 0;
      }
      FClosed = true;
      // A placement that cannot be saved is reported; the window closes all the same.
      Guarded([&] { FormPlacement.SaveOnClose(); });
      Guarded([&] { FormClose(); });
      DestroyWindow(Handle());
      return 0;
    case WM_DESTROY:
      // Whatever fails here, the program still ends and frees its mutex.
      Guarded([&] { FormPlacement.SaveOnDestroy(); });
      Guarded([&] { FormDestroy(); });
      Application.SetOnMessage(nullptr);
      PostQuitMessage(0);
      return 0;
  }
  return Default(Msg, WParam, LParam);
}
