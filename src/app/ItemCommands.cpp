// The item commands of the Shred menu (one item, a group, or everything,
// whatever the settings say) and the option toggles of the Options menu.
#include "app/UMain.h"

#include "resource.h"
#include "win/Registry.h"
#include "catalogue/Catalogue.h"
#include "settings/Policy.h"
#include "win/Shell.h"

#include <algorithm>
#include <string_view>
#include <vector>

void TMainForm::ActionClearExecute(int Tag) {
  // The hidden Oicq item has its own ID but the Google Toolbar's tag.
  if (Tag == IDC_OICQUSERLIST) Tag = IDC_GOOGLESEARCHHISTORY;
  ClearItems(ItemsOfCommand(Tag), Tag == IDC_CLEARALL);
}

void TMainForm::FamilyCommandExecute(int Id) {
  std::vector<const TItem*> Items;
  for (const TItem* Item : ItemsOfFamilyCommand(Id))
    if (ItemOffered(*Item) && (Id < SectionCommandBase || (Option && ItemChosen(*Item, *Option))))
      Items.push_back(Item);
  if (Items.empty() && Id >= SectionCommandBase && Idle()) {
    // A browser's command clears what the options chose for it: say how to choose.
    const std::vector<const TItem*> Section = ItemsOfFamilyCommand(Id);
    if (!Section.empty() && Action) {
      Action->TrimMessages();
      Action->AddMessage(std::string("Nothing is chosen for ") + Section.front()->Section +
                             ": choose its items on the Browsers page of the options (F11).",
                         "");
      RefreshMemo();
    }
    return;
  }
  ClearItems(Items, false);
}

void TMainForm::ClearItems(const std::vector<const TItem*>& Asked, bool Confirm) {
  RunBusy([&] {
    if (Closing()) return;
    Action->TrimMessages();
    if (Confirm) {
      MessageBeep(MB_ICONASTERISK);
      if (OpenConfirmShredAll() != IDYES) {
        if (!Closing()) RefreshMemo();
        return;
      }
    }
    Action->Tally = {};
    // An item an administrator turned off stays off, whatever asks for it.
    std::vector<const TItem*> Items;
    for (const TItem* Item : Asked)
      if (ItemPolicy(Item->Id) == TPolicy::ForcedOff) {
        Action->AddMessage(std::string("Left ") + Item->Label + " as it is: your administrator turned it off.", "");
        ++Action->Tally.Refused;
        ++Action->Tally.StayedOther;
      } else {
        Items.push_back(Item);
      }
    FSummaryDue = !Asked.empty();
    // Every item is cleared as if its switch were on; the pane follows each.
    for (const TItem* Item : Items) {
      if (Closing()) return;  // a hand-off or a dialog processed messages
      ClearItem(*Item);
      if (!Closing()) RefreshMemo();
    }
    if (!Closing()) RefreshMemo();
  });
}

void TMainForm::BuildFamilyMenus() {
  HMENU Shred = GetSubMenu(GetMenu(Handle()), 1);
  if (!Shred) return;
  UINT At = 2;  // after Internet and Documents
  for (auto [Popup, Caption] : {std::pair{&FBrowsersMenu, "&Browsers"}, std::pair{&FWindowsMenu, "&Windows"}}) {
    *Popup = CreatePopupMenu();
    FillFamilyMenu(*Popup);
    InsertMenuA(Shred, At++, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(*Popup), Caption);
  }
}

void TMainForm::FamilyMenuOpening(HMENU Popup) {
  if (!Popup || (Popup != FBrowsersMenu && Popup != FWindowsMenu)) return;
  FillFamilyMenu(Popup);
  XPMenu.Renew(Popup);
}

void TMainForm::FillFamilyMenu(HMENU Popup) {
  while (GetMenuItemCount(Popup) > 0) DeleteMenu(Popup, 0, MF_BYPOSITION);
  bool Any = false;
  if (Popup == FBrowsersMenu) {
    // A command per browser found here: what the options chose for it. The
    // sections' commands count every browser, found or not.
    int Section = SectionCommandBase;
    for (const std::string& Name : SectionsOf(TGroup::Browsers)) {
      const int Id = Section++;
      const std::vector<const TItem*> Items = ItemsOfFamilyCommand(Id);
      if (std::none_of(Items.begin(), Items.end(), [](const TItem* I) { return ItemOffered(*I); })) continue;
      AppendMenuA(Popup, MF_STRING, Id, Name.c_str());
      Any = true;
    }
    if (!Any) AppendMenuA(Popup, MF_STRING | MF_GRAYED, 0, "No browser found");
  } else {
    // A command per item, by section; those that need an administrator show it.
    const char* Last = nullptr;
    for (const TItem& Item : Catalogue()) {
      if (Item.Group != TGroup::Windows || (Item.Present && !Item.Present())) continue;
      if (Last && Item.Section && std::string_view(Last) != Item.Section) AppendMenuA(Popup, MF_SEPARATOR, 0, nullptr);
      Last = Item.Section;
      const bool Offered = ItemOffered(Item);
      const std::string Text = std::string(Item.Label) + (Offered ? "" : " (administrator)");
      AppendMenuA(Popup, MF_STRING | (Offered ? 0 : MF_GRAYED), ItemCommand(Item), Text.c_str());
      Any = true;
    }
    if (!Any) AppendMenuA(Popup, MF_STRING | MF_GRAYED, 0, "Nothing to clear");
  }
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
