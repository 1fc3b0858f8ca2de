#include "settings/UOptions.h"

#include "base/DateTime.h"
#include "base/Schedule.h"
#include "settings/ItemSwitch.h"
#include "settings/Policy.h"
#include "win/Application.h"
#include "win/Handle.h"
#include "win/Icons.h"
#include "win/Registry.h"
#include "win/Shell.h"
#include "win/SystemLibrary.h"
#include "win/WidePath.h"

#include <uxtheme.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The boxes that show the settings switches, in the order they are filled.
struct TBoxSwitch {
  int Id;
  bool TOption::*Switch;
};
constexpr TBoxSwitch BoxSwitches[] = {
    {IDC_CBXAUTORUN, &TOption::Autorun},
    {IDC_CBXMINRUN, &TOption::MinRun},
    {IDC_CBXTRAYICON, &TOption::ShowTrayIconOnly},
    {IDC_CBXGRADIENTMENU, &TOption::GradientMenu},
    {IDC_CBXCDROM, &TOption::EjectCdrom},
    {IDC_CBXINTERNETTEMP, &TOption::DelInetTemp},
    {IDC_CBXCOOKIE, &TOption::DelCookie},
    {IDC_CBXHISTRORY, &TOption::DelHistory},
    {IDC_CBXADDRESS, &TOption::DelLocationBar},
    {IDC_CBXGOOGLEHISTORY, &TOption::DelGoogleHistory},
    {IDC_CBXRECENTDOC, &TOption::ClearRecentDoc},
    {IDC_CBXDELPHI5, &TOption::ClearDelphiRecentDoc},
    {IDC_CBXVB6, &TOption::ClearVbRecentDoc},
    {IDC_CBXVC6, &TOption::ClearVcRecentDoc},
    {IDC_CBXREALPLY, &TOption::ClearRlpRecentDoc},
    {IDC_CBXMSMEDIAPLY, &TOption::ClearWmpRecentDoc},
    {IDC_CBXTEMPFILES, &TOption::DelTempFiles},
    {IDC_CBXKEEPTEMPFILES, &TOption::KeepTempFiles},
    {IDC_CBXRECYCLE, &TOption::EmptyRecycleBin},
};

// The item boxes and the catalogue's ids of their items, for the policies.
// (The catalogue lies above the settings and cannot be asked from here.)
struct TBoxItem {
  int Id;
  const char* Item;
};
constexpr TBoxItem BoxItems[] = {
    {IDC_CBXINTERNETTEMP, "ie.cache"},
    {IDC_CBXHISTRORY, "ie.history"},
    {IDC_CBXCOOKIE, "ie.cookies"},
    {IDC_CBXADDRESS, "ie.typed_urls"},
    {IDC_CBXGOOGLEHISTORY, "toolbar.search_history"},
    {IDC_CBXRECENTDOC, "shell.recent_docs"},
    {IDC_CBXMSMEDIAPLY, "wmp.recent"},
    {IDC_CBXREALPLY, "realplayer.recent"},
    {IDC_CBXDELPHI5, "delphi.recent"},
    {IDC_CBXVB6, "vb.recent"},
    {IDC_CBXVC6, "vc.recent"},
    {IDC_CBXRECYCLE, "system.recycle_bin"},
    {IDC_CBXTEMPFILES, "system.temp"},
};

constexpr char PolicyHint[] = "Set by your administrator";

// The tab control's own background behind a page, where visual styles are in
// use. uxtheme.dll is loaded from the system folder when first needed: it is
// not among the DLLs that Windows always takes from there.
void GiveTabBackground(HWND Page) {
  using TEnableThemeDialogTexture = HRESULT(WINAPI*)(HWND, DWORD);
  static const auto Enable = [] {
    HMODULE UxTheme = LoadSystemLibrary(L"uxtheme.dll");
    return reinterpret_cast<TEnableThemeDialogTexture>(reinterpret_cast<void*>(
        UxTheme ? GetProcAddress(UxTheme, "EnableThemeDialogTexture") : nullptr));
  }();
  if (Enable) Enable(Page, ETDT_ENABLETAB);
}

constexpr char SettingsKey[] = "Software\\Vellumix";
constexpr char DialogKey[] = "Software\\Vellumix\\TOptionDlg";
constexpr int Daily = 2;

constexpr int PageTemplates[TOptionDlg::PageCount] = {IDD_OPTINTERNET, IDD_OPTDOCUMENTS, IDD_OPTITEMS,
                                                      IDD_OPTITEMS,    IDD_OPTGENERAL,   IDD_OPTSCHEDULE,
                                                      IDD_OPTBLINDER};
const char* const TabCaptions[TOptionDlg::PageCount] = {"Internet", "Documents", "Browsers",      "Windows",
                                                        "General",  "Schedule",  "Pop-up Blinder"};
constexpr int TabIcons[TOptionDlg::PageCount] = {IDI_TABINTERNET, IDI_TABDOCUMENTS, IDI_TABBROWSERS, IDI_TABWINDOWS,
                                                 IDI_TABGENERAL,  IDI_TABSCHEDULE,  IDI_TABBLINDER};
// What an item page says when it has nothing to offer.
const char* const EmptyItemPage[2] = {"No browser was found on this computer.",
                                      "Nothing of Windows' to clear was found on this computer."};

// The pages are child dialogs of the options dialog: their controls report to
// the page, which hands the report on to the dialog.
INT_PTR CALLBACK PageProc(HWND Page, UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_INITDIALOG:
      return FALSE;
    case WM_COMMAND:
    case WM_NOTIFY:
      SetWindowLongPtrA(Page, DWLP_MSGRESULT, SendMessageA(GetParent(Page), Msg, WParam, LParam));
      return TRUE;
  }
  return FALSE;
}

SYSTEMTIME PickerTime(HWND Picker) {
  SYSTEMTIME Time{};
  SendMessageA(Picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&Time));
  return Time;
}

void SetPickerTime(HWND Picker, const SYSTEMTIME& Time) {
  SendMessageA(Picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&Time));
}

}  // namespace

bool DecodeOleDate(const std::vector<std::uint8_t>& Data, double& Value) {
  if (Data.size() != sizeof(double)) return false;
  double Read;
  std::memcpy(&Read, Data.data(), sizeof Read);  // x86-64 is little-endian, as the value is
  if (!std::isfinite(Read)) return false;
  Value = Read;
  return true;
}

TOptionDlg::TOptionDlg(THost Host) : TDialog(IDD_OPTIONS), FHost(std::move(Host)) {
  INITCOMMONCONTROLSEX Classes{sizeof Classes, ICC_TAB_CLASSES | ICC_DATE_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&Classes);
  CompanionPath = ExeFolder() + "blinder.exe";
}

TOptionDlg::~TOptionDlg() {
  // The window goes first (TDialog's destructor would be too late for the list).
  if (Handle()) DestroyWindow(Handle());
  if (FTabIcons) ImageList_Destroy(FTabIcons);
}

HWND TOptionDlg::Control(int Id) const {
  for (HWND Page : FPages)
    if (HWND Found = GetDlgItem(Page, Id)) return Found;
  return Item(Id);
}

bool TOptionDlg::Checked(int Id) const {
  return SendMessageA(Control(Id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TOptionDlg::SetChecked(int Id, bool On) {
  if (Checked(Id) == On) return;
  SendMessageA(Control(Id), BM_SETCHECK, On ? BST_CHECKED : BST_UNCHECKED, 0);
  Clicked(Id);
}

int TOptionDlg::TabCount() const {
  return static_cast<int>(SendMessageA(Item(IDC_PAGECONTROL), TCM_GETITEMCOUNT, 0, 0));
}

int TOptionDlg::SelectedTab() const {
  return static_cast<int>(SendMessageA(Item(IDC_PAGECONTROL), TCM_GETCURSEL, 0, 0));
}

void TOptionDlg::SelectTab(int Index) {
  SendMessageA(Item(IDC_PAGECONTROL), TCM_SETCURSEL, Index, 0);
  ShowPage(Index);
}

HWND TOptionDlg::ShownPage() const {
  for (HWND Page : FPages)
    if (IsWindowVisible(Page)) return Page;
  return nullptr;
}

// ---- building the dialog

bool TOptionDlg::OnInitDialog() {
  CreatePages();
  FormCreate();
  // The dialog is about to be shown: the form-state store restores.
  FormStorage.Restore();
  // After the stored values: a policy's value is the one shown.
  ApplyPolicies();
  return true;  // the focus goes to the tabs
}

void TOptionDlg::LoadTabIcons(int Dpi) {
  // The tabs' pictures are 16 pixels at 96 dpi; an image list holds one size,
  // so a new scale gets a new list.
  const int Size = NearestIconSize(IconSizes(GetModuleHandleW(nullptr), TabIcons[0]),
                                   MulDiv(16, Dpi, 96));
  HIMAGELIST Icons = ImageList_Create(Size, Size, ILC_COLOR32 | ILC_MASK, PageCount, 0);
  for (int Id : TabIcons) {
    TIcon Icon(LoadIconNear(GetModuleHandleW(nullptr), Id, Size));
    ImageList_AddIcon(Icons, Icon.get());
  }
  SendMessageA(Item(IDC_PAGECONTROL), TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(Icons));
  if (FTabIcons) ImageList_Destroy(FTabIcons);
  FTabIcons = Icons;
}

void TOptionDlg::CreatePages() {
  HWND Tabs = Item(IDC_PAGECONTROL);
  HINSTANCE Instance = GetModuleHandleA(nullptr);
  LoadTabIcons(WindowPixelsPerInch(Handle()));

  // Each page follows the tabs in the tab order, so Tab goes from the tabs into
  // the shown page and then on to the buttons.
  HWND Previous = Tabs;
  for (int I = 0; I < PageCount; ++I) {
    TCITEMA Tab{};
    Tab.mask = TCIF_TEXT | TCIF_IMAGE;
    Tab.pszText = const_cast<char*>(TabCaptions[I]);
    Tab.iImage = I;
    SendMessageA(Tabs, TCM_INSERTITEMA, I, reinterpret_cast<LPARAM>(&Tab));
    FPageOfTab[I] = I;
    FPages[I] = CreateDialogParamA(Instance, MAKEINTRESOURCEA(PageTemplates[I]), Handle(),
                                   PageProc, 0);
    if (!FPages[I]) throw std::runtime_error("Cannot create the options dialog's pages");
    GiveTabBackground(FPages[I]);
    SetWindowPos(FPages[I], Previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Previous = FPages[I];
  }

  HWND Schedule = Control(IDC_CBBXSCHEDULE);
  for (const char* Item : {"Minutely", "Hourly", "Daily"})
    SendMessageA(Schedule, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Item));
  SYSTEMTIME Time;
  GetLocalTime(&Time);
  Time.wHour = 9;
  Time.wMinute = Time.wSecond = Time.wMilliseconds = 0;
  SetPickerTime(Control(IDC_DATETIMEPICKER), Time);
  LayoutPages();
}

void TOptionDlg::LayoutPages() {
  HWND Tabs = Item(IDC_PAGECONTROL);
  RECT Area;
  GetWindowRect(Tabs, &Area);
  MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&Area), 2);
  SendMessageA(Tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&Area));
  for (HWND Page : FPages)
    MoveWindow(Page, Area.left, Area.top, Area.right - Area.left, Area.bottom - Area.top, FALSE);
}

void TOptionDlg::ShowPage(int Tab) {
  HWND Shown = Tab >= 0 && Tab < TabCount() ? FPages[FPageOfTab[Tab]] : nullptr;
  // As a property sheet does it: the focus may not stay on a page that goes
  // (the dialog manager would then walk the hidden controls for ever looking
  // for the next one), and a hidden page takes no focus and no keys.
  HWND Focus = GetFocus();
  bool FocusLeaves = false;
  for (HWND Page : FPages)
    if (Page != Shown && Focus && (Focus == Page || IsChild(Page, Focus))) FocusLeaves = true;
  for (HWND Page : FPages) {
    EnableWindow(Page, Page == Shown);
    ShowWindow(Page, Page == Shown ? SW_SHOW : SW_HIDE);
  }
  if (!FocusLeaves) return;
  HWND First = Shown ? GetNextDlgTabItem(Shown, nullptr, FALSE) : nullptr;
  if (First && !IsChild(Shown, First)) First = nullptr;
  SendMessageA(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(First ? First : Item(IDC_PAGECONTROL)), TRUE);
}

void TOptionDlg::FormCreate() {
  FormStorage.Attach(Handle());
  FormStorage.IniFileName = SettingsKey;
  FormStorage.IniSection = "TOptionDlg";  // the class name; a dialog's window class is "#32770"
  FormStorage.Version = 0;
  FormStorage.StoredProps = {
      {"CBxScheduleStart.Checked", IDC_CBXSCHEDULESTART},
      {"CBxScheduleShut.Checked", IDC_CBXSCHEDULESHUT},
      {"CbxTempfiles.Enabled", IDC_CBXTEMPFILES},
      {"CBxSchedule.Checked", IDC_CBXSCHEDULE},
      {"Label1.Enabled", IDC_LABEL1},
      {"LblStartTime.Enabled", IDC_LBLSTARTTIME},
      {"CbBxSchedule.Enabled", IDC_CBBXSCHEDULE},
      {"DateTimePicker.Enabled", IDC_DATETIMEPICKER},
      {"CBxActiveBlinder.Checked", IDC_CBXACTIVEBLINDER},
      {"CBxBlinderIcon.Checked", IDC_CBXBLINDERICON},
  };
  FormStorage.OnRestorePlacement = [this] { FormStorageRestorePlacement(); };
  FormStorage.OnSavePlacement = [this] { FormStorageSavePlacement(); };
  FormStorage.OnPropChanged = [this](int Id) { Clicked(Id); };

  SelectTab(0);

  SetWindowTextA(Control(IDC_LBLEJECTDES),
                 "This feature will automatically eject your CD-ROM before you\r\nshutdown or log "
                 "off the computer so you won't leave a CD in\r\nthe drive.");
  SetWindowTextA(Control(IDC_CBXKEEPTEMPFILES),
                 "&Keep the files that last accessed in over a week (recommended)");

  // The picture is decoration: without it the frame stays empty.
  FNotificationPicture.reset(LoadImageA(GetModuleHandleA(nullptr), IsWindowsXP() ? "NA_XP" : "NA_98",
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (FNotificationPicture)
    SendMessageA(Control(IDC_IMGNOTIFICATIONAREA), STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(FNotificationPicture.get()));

  // Without the companion its tab goes; its page stays, unseen, so that its
  // boxes keep their stored state and OK still tells a companion what they say.
  if (!FileExists(CompanionPath))
    SendMessageA(Item(IDC_PAGECONTROL), TCM_DELETEITEM, BlinderPage, 0);

  if (TOption* O = FHost.Option) {
    for (const TBoxSwitch& Box : BoxSwitches) SetChecked(Box.Id, O->*Box.Switch);
    O->DelInternetCache = false;
  }
  FillItemPages();

  FEnableBlinder = RegisterWindowMessageA("Enable Blinder");
  FDisableBlinder = RegisterWindowMessageA("Disable Blinder");
  FShowBlinder = RegisterWindowMessageA("Show Blinder");
  FHideBlinder = RegisterWindowMessageA("Hide Blinder");
}

// ---- the item pages

HWND TOptionDlg::ItemList(int ItemPage) const {
  return GetDlgItem(FPages[ItemPage == 0 ? BrowsersPage : WindowsPage], IDC_ITEMLIST);
}

void TOptionDlg::FillItemPages() {
  for (int ItemPage : {0, 1}) {
    HWND List = ItemList(ItemPage);
    SendMessageW(List, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    RECT Client;
    GetClientRect(List, &Client);
    LVCOLUMNW Column{};
    Column.mask = LVCF_WIDTH;
    Column.cx = Client.right - GetSystemMetrics(SM_CXVSCROLL);
    SendMessageW(List, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&Column));
    // A heading per browser or kind of trace, the boxes below it.
    SendMessageW(List, LVM_ENABLEGROUPVIEW, TRUE, 0);
    std::vector<std::string> Sections;
    int Row = 0;
    for (std::size_t Index = 0; Index < FHost.Items.size(); ++Index) {
      const TItemBox& Box = FHost.Items[Index];
      if (Box.Page != ItemPage) continue;
      auto Found = std::find(Sections.begin(), Sections.end(), Box.Section);
      const int Group = static_cast<int>(Found - Sections.begin()) + 1;
      if (Found == Sections.end()) {
        Sections.push_back(Box.Section);
        std::wstring Header = Widen(Box.Section);
        LVGROUP Heading{};
        Heading.cbSize = sizeof Heading;
        Heading.mask = LVGF_HEADER | LVGF_GROUPID;
        Heading.pszHeader = Header.data();
        Heading.iGroupId = Group;
        SendMessageW(List, LVM_INSERTGROUP, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&Heading));
      }
      std::wstring Text = Widen(Box.Label);
      if (Box.Locked) Text += L" (" + Widen(Box.Why.substr(0, Box.Why.find(':'))) + L")";
      LVITEMW Item{};
      Item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_GROUPID;
      Item.iItem = Row++;
      Item.pszText = Text.data();
      Item.lParam = static_cast<LPARAM>(Index);
      Item.iGroupId = Group;
      const int At = static_cast<int>(SendMessageW(List, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&Item)));
      FFillingItems = true;
      ListView_SetCheckState(List, At, Box.On);
      FFillingItems = false;
    }
    if (Row > 0) {
      ListView_SetItemState(List, 0, LVIS_FOCUSED, LVIS_FOCUSED);
      ShowItemHint(List);
    } else {
      SetWindowTextA(GetDlgItem(GetParent(List), IDC_ITEMHINT), EmptyItemPage[ItemPage]);
    }
  }
}

int TOptionDlg::BoxOfRow(HWND List, int Row) const {
  LVITEMW Item{};
  Item.mask = LVIF_PARAM;
  Item.iItem = Row;
  if (Row < 0 || !SendMessageW(List, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&Item))) return -1;
  return static_cast<int>(Item.lParam);
}

void TOptionDlg::ShowItemHint(HWND List) {
  int Row = ListView_GetNextItem(List, -1, LVNI_FOCUSED);
  const int Box = BoxOfRow(List, Row);
  if (Box < 0) return;
  const TItemBox& Shown = FHost.Items[Box];
  SetWindowTextA(GetDlgItem(GetParent(List), IDC_ITEMHINT), (Shown.Locked ? Shown.Why : Shown.Hint).c_str());
}

bool TOptionDlg::ItemNotify(const NMHDR& Header, INT_PTR& Result) {
  const auto& Change = reinterpret_cast<const NMLISTVIEW&>(Header);
  const int Box = BoxOfRow(Header.hwndFrom, Change.iItem);
  const bool TickChanges = (Change.uChanged & LVIF_STATE) && (Change.uNewState & LVIS_STATEIMAGEMASK) &&
                           (Change.uNewState & LVIS_STATEIMAGEMASK) != (Change.uOldState & LVIS_STATEIMAGEMASK);
  switch (Header.code) {
    case LVN_ITEMCHANGING:
      // A box the user may not change keeps its tick, whatever clicks it.
      Result = Box >= 0 && TickChanges && !FFillingItems && FHost.Items[Box].Locked;
      return true;
    case LVN_ITEMCHANGED:
      if (Box >= 0 && TickChanges && !FFillingItems)
        FHost.Items[Box].On = ListView_GetCheckState(Header.hwndFrom, Change.iItem);
      if (Change.uNewState & LVIS_FOCUSED) ShowItemHint(Header.hwndFrom);
      return true;
    case NM_CUSTOMDRAW: {
      // The boxes the user may not change read grey.
      auto& Draw = *reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&Header));
      if (Draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
        Result = CDRF_NOTIFYITEMDRAW;
      } else if (Draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        const int Drawn = BoxOfRow(Header.hwndFrom, static_cast<int>(Draw.nmcd.dwItemSpec));
        if (Drawn >= 0 && FHost.Items[Drawn].Locked) Draw.clrText = GetSysColor(COLOR_GRAYTEXT);
        Result = CDRF_DODEFAULT;
      }
      return true;
    }
  }
  return false;
}

bool TOptionDlg::ItemTicked(const std::string& Id) const {
  for (const TItemBox& Box : FHost.Items)
    if (Box.Id == Id) return Box.On;
  return false;
}

void TOptionDlg::TickItem(const std::string& Id, bool On) {
  for (int ItemPage : {0, 1}) {
    HWND List = ItemList(ItemPage);
    for (int Row = 0, Rows = ListView_GetItemCount(List); Row < Rows; ++Row) {
      const int Box = BoxOfRow(List, Row);
      if (Box >= 0 && FHost.Items[Box].Id == Id) ListView_SetCheckState(List, Row, On);
    }
  }
}

// ---- the schedule values

void TOptionDlg::FormStorageRestorePlacement() {
  HWND Schedule = Control(IDC_CBBXSCHEDULE);
  bool Read = false;
  TRegistry Reg(HKEY_CURRENT_USER);
  if (Reg.OpenKey(DialogKey, false)) {
    auto Index = Reg.ReadInteger("ScheduleItemindex");
    // An index past the list selects nothing: that counts as unreadable too.
    bool Selected = Index && *Index <= static_cast<std::uint32_t>(Daily) &&
                    SendMessageA(Schedule, CB_SETCURSEL, *Index, 0) != CB_ERR;
    double Time;
    auto Data = Reg.ReadBinary("DateTimePicker_Time");
    std::optional<TTimeOfDay> Start;
    if (Selected && Data && DecodeOleDate(*Data, Time)) Start = TimeOfDay(Time);
    if (Start) {
      // Only the time of day is used; the picker keeps its own date.
      HWND Picker = Control(IDC_DATETIMEPICKER);
      SYSTEMTIME Value = PickerTime(Picker);
      Value.wHour = static_cast<WORD>(Start->Hour);
      Value.wMinute = static_cast<WORD>(Start->Minute);
      Value.wSecond = static_cast<WORD>(Start->Second);
      Value.wMilliseconds = 0;
      SetPickerTime(Picker, Value);
      Read = true;
    }
  }
  if (!Read) SendMessageA(Schedule, CB_SETCURSEL, Daily, 0);
}

void TOptionDlg::FormStorageSavePlacement() {
  SaveCbBxScheduleItemindex();
  RestoreKeptValues();
}

void TOptionDlg::SaveCbBxScheduleItemindex() {
  try {
    TRegistry Reg(HKEY_CURRENT_USER);
    if (!Reg.OpenKey(DialogKey, false)) return;
    auto Index = SendMessageA(Control(IDC_CBBXSCHEDULE), CB_GETCURSEL, 0, 0);
    Reg.WriteInteger("ScheduleItemindex", static_cast<std::uint32_t>(Index));
    SYSTEMTIME T = PickerTime(Control(IDC_DATETIMEPICKER));
    double Value = EncodeDate(T.wYear, T.wMonth, T.wDay) +
                   EncodeTime(T.wHour, T.wMinute, T.wSecond, T.wMilliseconds);
    Reg.WriteBinary("DateTimePicker_Time", &Value, sizeof Value);
  } catch (const std::exception&) {
    // The schedule falls back to its defaults at the next opening.
  }
}

// ---- controls

void TOptionDlg::Clicked(int Id) {
  switch (Id) {
    case IDC_CBXTEMPFILES:
      CbxTempfilesClick();
      break;
    case IDC_CBXSCHEDULE:
      CBxScheduleClick();
      break;
    case IDC_CBXSCHEDULESTART:
      CBxScheduleStartClick();
      break;
  }
  DisablePolicyControls();  // the handlers above enable what their box governs
}

void TOptionDlg::CbxTempfilesClick() {
  EnableWindow(Control(IDC_CBXKEEPTEMPFILES), Checked(IDC_CBXTEMPFILES));
}

void TOptionDlg::CBxScheduleClick() {
  bool On = Checked(IDC_CBXSCHEDULE);
  EnableWindow(Control(IDC_CBBXSCHEDULE), On);
  EnableWindow(Control(IDC_LABEL1), On);
  if (SendMessageA(Control(IDC_CBBXSCHEDULE), CB_GETCURSEL, 0, 0) == Daily) {
    EnableWindow(Control(IDC_LBLSTARTTIME), On);
    EnableWindow(Control(IDC_DATETIMEPICKER), On);
  }
}

void TOptionDlg::CbBxScheduleChange() {
  bool IsDaily = SendMessageA(Control(IDC_CBBXSCHEDULE), CB_GETCURSEL, 0, 0) == Daily;
  EnableWindow(Control(IDC_DATETIMEPICKER), IsDaily);
  EnableWindow(Control(IDC_LBLSTARTTIME), IsDaily);
  DisablePolicyControls();
}

void TOptionDlg::CBxScheduleStartClick() {
  // A Shred run at start-up needs the program to start with Windows.
  if (Checked(IDC_CBXSCHEDULESTART)) SetChecked(IDC_CBXAUTORUN, true);
}

// ---- policies

void TOptionDlg::ApplyPolicies() {
  for (const TBoxItem& Box : BoxItems) ApplyItemPolicy(Box.Id, Box.Item);

  // The schedule page. The boxes are ticked without their click handlers: a
  // forced run at start-up does not tick start-with-Windows for the user.
  const auto ForceBox = [this](int Id, std::optional<bool> Value, const char* Stored) {
    if (!Value) return;
    KeepStoredValue(Stored);
    SendMessageA(Control(Id), BM_SETCHECK, *Value ? BST_CHECKED : BST_UNCHECKED, 0);
    AddPolicyHint(Id);
  };
  if (!SchedulePolicySet()) return;
  FScheduleByPolicy = true;
  ForceBox(IDC_CBXSCHEDULE, PolicyScheduleEnabled(), "CBxSchedule_Checked");
  ForceBox(IDC_CBXSCHEDULESTART, PolicyScheduleAtStart(), "CBxScheduleStart_Checked");
  ForceBox(IDC_CBXSCHEDULESHUT, PolicyScheduleAtShutdown(), "CBxScheduleShut_Checked");
  if (const auto Kind = PolicyScheduleKind()) {
    KeepStoredValue("ScheduleItemindex");
    SendMessageA(Control(IDC_CBBXSCHEDULE), CB_SETCURSEL, *Kind, 0);
    AddPolicyHint(IDC_CBBXSCHEDULE);
  }
  if (const auto Time = PolicyScheduleTime()) {
    KeepStoredValue("DateTimePicker_Time");
    HWND Picker = Control(IDC_DATETIMEPICKER);
    SYSTEMTIME Value = PickerTime(Picker);
    Value.wHour = static_cast<WORD>(Time->Hour);
    Value.wMinute = static_cast<WORD>(Time->Minute);
    Value.wSecond = Value.wMilliseconds = 0;
    SetPickerTime(Picker, Value);
    AddPolicyHint(IDC_DATETIMEPICKER);
  }
  CBxScheduleClick();
  if (Checked(IDC_CBXSCHEDULE)) CbBxScheduleChange();
  DisablePolicyControls();
}

void TOptionDlg::ApplyItemPolicy(int ControlId, std::string_view ItemId) {
  const TPolicy Policy = ItemPolicy(ItemId);
  if (Policy == TPolicy::NotSet && !SelectionLocked()) return;
  if (ControlId == IDC_CBXTEMPFILES) KeepStoredValue("CbxTempfiles_Enabled");
  if (Policy != TPolicy::NotSet) SetChecked(ControlId, Policy == TPolicy::ForcedOn);
  AddPolicyHint(ControlId);
  DisablePolicyControls();
}

bool TOptionDlg::SetByPolicy(int ControlId) const {
  return std::find(FPolicyControls.begin(), FPolicyControls.end(), ControlId) != FPolicyControls.end();
}

void TOptionDlg::DisablePolicyControls() {
  for (int Id : FPolicyControls) EnableWindow(Control(Id), FALSE);
}

// A disabled control gets no mouse messages (its page does), so the hint is
// a tool of the page, over the control's rectangle.
void TOptionDlg::AddPolicyHint(int ControlId) {
  if (SetByPolicy(ControlId)) return;
  FPolicyControls.push_back(ControlId);
  HWND Box = Control(ControlId);
  if (!Box) return;
  if (!FPolicyHints)
    FPolicyHints = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
  TTTOOLINFOA Tool{sizeof Tool};
  Tool.uFlags = TTF_SUBCLASS;
  Tool.hwnd = GetParent(Box);
  Tool.uId = static_cast<UINT_PTR>(ControlId);
  GetWindowRect(Box, &Tool.rect);
  MapWindowPoints(nullptr, Tool.hwnd, reinterpret_cast<POINT*>(&Tool.rect), 2);
  Tool.lpszText = const_cast<char*>(PolicyHint);
  SendMessageA(FPolicyHints, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&Tool));
}

void TOptionDlg::KeepStoredValue(const std::string& Name) {
  for (const TKeptValue& Kept : FKeptValues)
    if (Kept.Name == Name) return;
  TKeptValue Kept;
  Kept.Name = Name;
  TRegKey Key;
  DWORD Size = 0;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, DialogKey, 0, KEY_QUERY_VALUE, Key.put()) == ERROR_SUCCESS &&
      RegQueryValueExA(Key.get(), Name.c_str(), nullptr, &Kept.Type, nullptr, &Size) == ERROR_SUCCESS) {
    Kept.Data.resize(Size);
    Kept.Present = RegQueryValueExA(Key.get(), Name.c_str(), nullptr, &Kept.Type, Kept.Data.data(), &Size) ==
                   ERROR_SUCCESS;
    Kept.Data.resize(Size);
  }
  FKeptValues.push_back(std::move(Kept));
}

// After the form-state store saved what the controls show: the values a
// policy changed go back to what the user had stored.
void TOptionDlg::RestoreKeptValues() {
  if (FKeptValues.empty()) return;
  TRegKey Key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, DialogKey, 0, KEY_SET_VALUE, Key.put()) != ERROR_SUCCESS) return;
  for (const TKeptValue& Kept : FKeptValues) {
    if (Kept.Present)
      RegSetValueExA(Key.get(), Kept.Name.c_str(), 0, Kept.Type, Kept.Data.data(), static_cast<DWORD>(Kept.Data.size()));
    else
      RegDeleteValueA(Key.get(), Kept.Name.c_str());
  }
  if (!FScheduleByPolicy) return;
  // The stored enabled states, as the page's rules make them from the user's
  // own schedule values rather than from what the policy showed.
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!Reg.OpenKey(DialogKey, false)) return;
  const bool On = Reg.ReadString("CBxSchedule_Checked").value_or("") == "True";
  const bool Timed = On && Reg.ReadInteger("ScheduleItemindex").value_or(Daily) == static_cast<std::uint32_t>(Daily);
  Reg.WriteString("Label1_Enabled", On ? "True" : "False");
  Reg.WriteString("CbBxSchedule_Enabled", On ? "True" : "False");
  Reg.WriteString("LblStartTime_Enabled", Timed ? "True" : "False");
  Reg.WriteString("DateTimePicker_Enabled", Timed ? "True" : "False");
}

// ---- closing

void TOptionDlg::Broadcast(UINT Msg) const {
  DWORD Recipients = BSM_APPLICATIONS;
  BroadcastSystemMessageA(BSF_POSTMESSAGE, &Recipients, Msg, 0, 0);
}

void TOptionDlg::OKBtnClick() {
  if (FHost.SetAutorun) FHost.SetAutorun(Checked(IDC_CBXAUTORUN), Checked(IDC_CBXSCHEDULESTART));
  if (FHost.Timer) FHost.Timer->SetEnabled(Checked(IDC_CBXSCHEDULE));
  // Also when the companion's tab is hidden.
  Broadcast(Checked(IDC_CBXACTIVEBLINDER) ? FEnableBlinder : FDisableBlinder);
  Broadcast(Checked(IDC_CBXBLINDERICON) ? FShowBlinder : FHideBlinder);

  TOption* O = FHost.Option;
  if (!O) return;
  // A box set by policy shows the administrator's value: the user's stays.
  for (const TBoxSwitch& Box : BoxSwitches)
    if (!SetByPolicy(Box.Id)) O->*Box.Switch = Checked(Box.Id);
  O->DelInternetCache = false;
  for (const TItemBox& Box : FHost.Items)
    if (!Box.Locked) StoreItemSwitch(Box.Id, Box.On);
  // Without the sweep the box is greyed and means nothing: the safe value stays.
  if (!O->DelTempFiles) O->KeepTempFiles = true;
  O->Save();
}

void TOptionDlg::CancelBtnClick() { FormStorage.Active = false; }

void TOptionDlg::FormClose() {
  SendMessageA(Control(IDC_IMGNOTIFICATIONAREA), STM_SETIMAGE, IMAGE_BITMAP, 0);
  FNotificationPicture.reset();
}

void TOptionDlg::CloseWith(int Result) {
  FormStorage.SaveOnClose();
  FormClose();
  Close(Result);
}

bool TOptionDlg::OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam, INT_PTR& Result) {
  switch (Msg) {
    case WM_COMMAND: {
      int Id = LOWORD(WParam), Code = HIWORD(WParam);
      if (Id == IDOK) {
        // The dialog closes with OK also when applying failed (the error is shown).
        try {
          OKBtnClick();
        } catch (...) {
          CloseWith(IDOK);
          throw;
        }
        CloseWith(IDOK);
      } else if (Id == IDCANCEL) {
        CancelBtnClick();
        CloseWith(IDCANCEL);
      } else if (Id == IDC_HELPBTN) {
        if (FHost.HelpCommand) FHost.HelpCommand();
      } else if (Id == IDC_CBBXSCHEDULE && Code == CBN_SELCHANGE) {
        CbBxScheduleChange();
      } else if (Code == BN_CLICKED) {
        Clicked(Id);
      }
      return true;
    }
    case WM_NOTIFY: {
      const auto* Header = reinterpret_cast<const NMHDR*>(LParam);
      if (Header->idFrom == IDC_PAGECONTROL && Header->code == TCN_SELCHANGE)
        ShowPage(SelectedTab());
      else if (Header->idFrom == IDC_ITEMLIST)
        return ItemNotify(*Header, Result);
      return true;
    }
    case WM_DPICHANGED:
      // The system scales the dialog and its font (per-monitor v2), not our pictures.
      LoadTabIcons(HIWORD(WParam));
      return false;
    case WM_HELP:
      return true;  // F1 is answered when the key is released (PreviewKey)
    case WM_CLOSE:
      // The close box: like Cancel, but the dialog's own values are still saved.
      CloseWith(IDCANCEL);
      return true;
    case WM_DESTROY:
      FormStorage.SaveOnDestroy();
      FNotificationPicture.reset();
      return true;
  }
  return false;
}

bool TOptionDlg::PreviewKey(const MSG& Msg) {
  if (Msg.message == WM_KEYUP && Msg.wParam == VK_F1) {
    if (FHost.HelpCommand) FHost.HelpCommand();
    return true;
  }
  // Ctrl+Tab and Ctrl+Shift+Tab turn the pages, as in any tabbed dialog.
  if (Msg.message == WM_KEYDOWN && Msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0) {
    int Count = TabCount();
    if (Count > 0) {
      int Step = GetKeyState(VK_SHIFT) < 0 ? Count - 1 : 1;
      SelectTab((SelectedTab() + Step) % Count);
    }
    return true;
  }
  return false;
}
