#pragma once
// The options dialog: which items a Shred run clears and how the program
// behaves, in five tabs. It edits two stores: the switches of the settings
// object (copied in at creation, written back only by OK) and its own state in
// HKCU\Software\Vellumix\TOptionDlg (schedule and companion boxes), kept by the
// form-state store and the two schedule handlers.
//
// OK applies and saves everything; Cancel and Esc leave every store alone; the
// title-bar close box leaves the settings, autorun, timer and companion alone
// but the form-state store still saves the dialog's own values.

#include "resource.h"
#include "settings/FormStorage.h"
#include "settings/Option.h"
#include "win/Dialog.h"
#include "win/Handle.h"
#include "win/Timer.h"

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A box of the Browsers or Windows page: an item without a setting of its
// own, whose switch is stored by its id (settings/ItemSwitch.h).
struct TItemBox {
  std::string Id;
  int Page = 0;         // 0: Browsers, 1: Windows
  std::string Section;  // the heading it stands under: a browser, a kind of trace
  std::string Label, Hint;
  bool On = false;
  // The user may not change it; Why says so instead of the hint ("Needs an
  // administrator").
  bool Locked = false;
  std::string Why;
};

class TOptionDlg : public TDialog {
public:
  // What the dialog needs from the main window.
  struct THost {
    TOption* Option = nullptr;
    // Registers or unregisters start with Windows (Autorun, RunAtStart).
    std::function<void(bool Enable, bool RunAtStart)> SetAutorun;
    // The schedule timer, switched on or off by OK; may be null.
    TTimer* Timer = nullptr;
    // The main window's help command (Help button, F1).
    std::function<void()> HelpCommand;
    // The boxes of the Browsers and Windows pages, from the catalogue.
    std::vector<struct TItemBox> Items;
  };

  explicit TOptionDlg(THost Host);
  ~TOptionDlg() override;

  // The companion looked for beside the program; the Blinder tab shows only
  // when it exists.
  std::string CompanionPath;

  TFormPlacement FormStorage;

  // The control of this ID on whichever page holds it.
  HWND Control(int Id) const;
  bool Checked(int Id) const;
  // Ticks or clears a box; a change runs the box's click handler, as a click would.
  void SetChecked(int Id, bool On);
  int TabCount() const;
  int SelectedTab() const;
  void SelectTab(int Index);
  HWND Page(int Index) const { return FPages[Index]; }
  HWND ShownPage() const;

  // The boxes of the item pages, by id: ticked, and ticking one as Space does.
  bool ItemTicked(const std::string& Id) const;
  void TickItem(const std::string& Id, bool On);
  HWND ItemList(int ItemPage) const;

  // The companion's state announced elsewhere while the dialog is open.
  void BlinderEnabled(bool On) { SetChecked(IDC_CBXACTIVEBLINDER, On); }

  // Handlers, named after the control and event.
  void FormCreate();
  void OKBtnClick();
  void CancelBtnClick();
  void FormClose();
  void CbxTempfilesClick();
  void CBxScheduleClick();
  void CbBxScheduleChange();
  void CBxScheduleStartClick();
  void FormStorageRestorePlacement();
  void FormStorageSavePlacement();
  void SaveCbBxScheduleItemindex();

  static constexpr int PageCount = 7;
  // The pages of the tabs, in order.
  static constexpr int BrowsersPage = 2, WindowsPage = 3, BlinderPage = 6;

  // An administrator's policies (settings/Policy.h): a box of a forced item
  // shows the forced value, a locked selection keeps every item box as it is,
  // and the schedule controls set by policy show its values; all of them are
  // disabled and say "Set by your administrator". The user's own stored values
  // stay as they were, for when the policy goes.
  void ApplyPolicies();
  // The same for one item box: for pages whose boxes are made from the catalogue.
  void ApplyItemPolicy(int ControlId, std::string_view ItemId);
  bool SetByPolicy(int ControlId) const;

protected:
  bool OnInitDialog() override;
  bool OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam, INT_PTR& Result) override;
  bool PreviewKey(const MSG& Msg) override;

private:
  void CreatePages();
  void LayoutPages();
  void ShowPage(int Tab);
  // The tabs' pictures at the dialog's scale.
  void LoadTabIcons(int Dpi);
  void Clicked(int Id);
  void CloseWith(int Result);
  void FillItemPages();
  void ShowItemHint(HWND List);
  bool ItemNotify(const NMHDR& Header, INT_PTR& Result);
  int BoxOfRow(HWND List, int Row) const;
  void Broadcast(UINT Msg) const;

  void DisablePolicyControls();
  void AddPolicyHint(int ControlId);
  void KeepStoredValue(const std::string& Name);
  void RestoreKeptValues();

  // A value of the dialog's key as it was before a policy changed its control.
  struct TKeptValue {
    std::string Name;
    bool Present = false;
    DWORD Type = 0;
    std::vector<BYTE> Data;
  };

  THost FHost;
  std::vector<int> FPolicyControls;
  std::vector<TKeptValue> FKeptValues;
  HWND FPolicyHints = nullptr;
  bool FScheduleByPolicy = false;
  HWND FPages[PageCount] = {};
  int FPageOfTab[PageCount] = {};  // the page shown by each tab
  HIMAGELIST FTabIcons = nullptr;
  bool FFillingItems = false;  // ticks set by the dialog, not the user
  TGdiObject FNotificationPicture;
  UINT FEnableBlinder = 0, FDisableBlinder = 0, FShowBlinder = 0, FHideBlinder = 0;
};

// The schedule's start time as stored: REG_BINARY of exactly 8 bytes, an OLE
// date (little-endian double). Anything else, or a number that is not finite,
// counts as unreadable.
bool DecodeOleDate(const std::vector<std::uint8_t>& Data, double& Value);
