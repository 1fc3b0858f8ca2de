// The item commands of the Shred menu (one item, a group, or everything,
// whatever the settings say) and the option toggles of the Options menu.
#include "app/UMain.h"

#include "resource.h"
#include "win/Registry.h"
#include "catalogue/Catalogue.h"
#include "win/Shell.h"

#include <vector>

void TMainForm::ActionClearExecute(int Tag) {
  // The hidden Oicq item has its own ID but the Google Toolbar's tag.
  if (Tag == IDC_OICQUSERLIST) Tag = IDC_GOOGLESEARCHHISTORY;
  const std::vector<const TItem*> Items = ItemsOfCommand(Tag);
  RunBusy([&] {
    if (Closing()) return;
    Action->TrimMessages();
    if (Tag == IDC_CLEARALL) {
      MessageBeep(MB_ICONASTERISK);
      if (OpenConfirmShredAll() != IDYES) {
        if (!Closing()) RefreshMemo();
        return;
      }
    }
    Action->Tally = {};
    FSummaryDue = !Items.empty();
    // Every item is cleared as if its switch were on; the pane follows each.
    for (const TItem* Item : Items) {
      if (Closing()) return;  // a hand-off or a dialog processed messages
      ClearItem(*Item);
      if (!Closing()) RefreshMemo();
    }
    if (!Closing()) RefreshMemo();
  });
}

// ---- option toggles

bool TMainForm::MenuChecked(int Tag) const {
  HMENU Menu = GetMenu(Handle());
  const UINT State = GetMenuState(Menu, Tag, MF_BYCOMMAND);
  if (State != static_cast<UINT>(-1)) return State & MF_CHECKED;
  // Items hidden from the menu keep their check marks here.
  auto Hidden = FHiddenChecks.find(Tag);
  return Hidden != FHiddenChecks.end() && Hidden->second;
}

void TMainForm::SetMenuCheck(int Tag, bool Checked) {
  HMENU Menu = GetMenu(Handle());
  if (CheckMenuItem(Menu, Tag, MF_BYCOMMAND | (Checked ? MF_CHECKED : MF_UNCHECKED)) ==
      static_cast<DWORD>(-1))
    FHiddenChecks[Tag] = Checked;
}

void TMainForm::mnuOptionExecute(int Tag) {
  if (!Option) return;
  const bool Value = !MenuChecked(Tag);
  bool Checks = true;
  switch (Tag) {
    case IDC_AUTORUN:
      SetAutorun(Value, ScheduleAtStart());
      Option->Autorun = Value;
      break;
    case IDC_MINRUN:
      Option->MinRun = Value;
      break;
    case IDC_TRAYICON:
      Option->ShowTrayIconOnly = Value;
      ApplyTaskbarRule();
      break;
    case IDC_GRADIENTMENU:
      XPMenu.SetGradient(Value);
      Option->GradientMenu = Value;
      break;
    case IDC_EJECTCDROM:
      Option->EjectCdrom = Value;
      break;
    default:
      Checks = false;
  }
  if (Checks) SetMenuCheck(Tag, Value);
  Option->Save();
}
