// The item commands of the Shred menu and the option toggles, on the main
// window in this process, with its swept folders at trees of the test's own.
#include "app/SweepFixture.h"

#include "actions/ActionUnit.h"
#include "app/MenuLook.h"
#include "catalogue/BrowserProfiles.h"
#include "catalogue/Catalogue.h"
#include "win/Registry.h"

#include <optional>

namespace {

using ::testing::Each;
using ::testing::EndsWith;
using ::testing::HasSubstr;

class ItemCommandTest : public SweepTest {
protected:
  // Closes the window; the registry is the test's own again, for the next one.
  void Close() {
    Form.reset();
    Redirect(false);
  }
  // A value as the window sees it (through the redirected HKEY_CURRENT_USER).
  static std::optional<std::uint32_t> Number(const char* Name) {
    TRegistry Reg(HKEY_CURRENT_USER);
    if (!Reg.OpenKeyReadOnly("Software\\Vellumix")) return std::nullopt;
    return Reg.ReadInteger(Name);
  }
  static std::optional<std::string> RunValue() {
    TRegistry Reg(HKEY_CURRENT_USER);
    if (!Reg.OpenKeyReadOnly("Software\\Microsoft\\Windows\\CurrentVersion\\Run")) return std::nullopt;
    return Reg.ReadString("Vellumix");
  }
  // Every file found in the three folders is a sign of a sweep that did not run.
  void Seed() {
    for (TTempTree* T : {&Cache, &History, &Temp}) T->File("seed\\f.txt");
  }
  std::vector<std::string> Sweeps(std::initializer_list<TTempTree*> Trees) const {
    std::vector<std::string> Out;
    for (TTempTree* T : Trees) Out.push_back(T->Path());
    return Out;
  }
};

// Every item command clears its items although every switch is off: the
// number of lines its operations write, and the folders it sweeps, in order.
TEST_F(ItemCommandTest, EachTagRunsItsSequenceWhateverTheSettingsSay) {
  Switches({});
  Key.SetDword("ConfirmShredAll", 0, "Software\\Vellumix");
  struct TCase {
    int Tag;
    std::size_t Lines;
    std::vector<TTempTree*> Swept;
  };
  const std::vector<TCase> Cases = {
      {IDC_IECACHE, 1, {&Cache}},
      {IDC_IEHISTORY, 1, {&History}},
      {IDC_IECOOKIE, 1, {}},
      {IDC_IEURL, 1, {}},
      {IDC_GOOGLESEARCHHISTORY, 1, {}},
      {IDC_OICQUSERLIST, 1, {}},  // the hidden item, Shift+Q
      {IDC_INTERNETALL, 5, {&Cache, &History}},
      {IDC_RECENTDOC, 1, {}},
      {IDC_MSMEDIAPLAYER, 1, {}},
      {IDC_REALPLAYER, 1, {}},
      {IDC_DELPHI, 1, {}},
      {IDC_VB, 1, {}},
      {IDC_VC, 1, {}},
      {IDC_RECYCLE, 1, {}},
      {IDC_TEMPFILES, 0, {&Temp}},  // the sweep's line needs the switch
      {IDC_DOCALL, 7, {&Temp}},
      {IDC_CLEARALL, 12, {&Cache, &History, &Temp}},
      {1007, 0, {}},  // no such item
  };
  TMainForm& F = CreateForm();
  RecordSweeps();
  for (const TCase& C : Cases) {
    Seed();
    Swept.clear();
    F.Action->Messages.clear();
    F.ActionClearExecute(C.Tag);
    WaitSweep();
    std::vector<std::string> Expected;
    for (TTempTree* T : C.Swept) Expected.push_back(T->Path());
    // A command ends with its summary: one file was seeded in each swept folder.
    const bool Runs = C.Tag != 1007;
    EXPECT_EQ(F.Action->Messages.size(), C.Lines + Runs) << C.Tag << "\n" << Log();
    if (Runs) {
      EXPECT_THAT(Line(0), HasSubstr(" Removed " + std::to_string(C.Swept.size()) +
                                     (C.Swept.size() == 1 ? " file (1 byte)" : " files (")))
          << C.Tag;
    }
    EXPECT_EQ(Swept, Expected) << C.Tag;
    for (TTempTree* T : C.Swept) EXPECT_FALSE(Exists((*T)["seed"])) << C.Tag << " " << T->Path();
    EXPECT_TRUE(F.Idle()) << C.Tag;
    EXPECT_EQ(Log().empty(), !Runs) << C.Tag << ": the pane shows the log";
  }
}

TEST_F(ItemCommandTest, GroupsRunTheirOperationsInOrder) {
  Switches({});
  TMainForm& F = CreateForm();
  F.ActionClearExecute(IDC_INTERNETALL);
  WaitSweep();
  // Newest first.
  ASSERT_EQ(F.Action->Messages.size(), 6u) << Log();
  EXPECT_NE(Line(0).find(" Removed "), std::string::npos) << Line(0);
  EXPECT_NE(Line(1).find("Google Toolbar"), std::string::npos) << Line(1);
  EXPECT_NE(Line(2).find("ocation"), std::string::npos) << Line(2);
  EXPECT_NE(Line(3).find("cookies"), std::string::npos) << Line(3);
  EXPECT_NE(Line(4).find("history"), std::string::npos) << Line(4);
  EXPECT_NE(Line(5).find("cache"), std::string::npos) << Line(5);
}

// The Windows sub-menu clears its item whatever the switch says; a browser's
// command clears what the options chose for it, and says how to choose.
TEST_F(ItemCommandTest, FamilyCommandsClearTheirItemOrSayHowToChoose) {
  Switches({});
  const std::string RunMru = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
  Key.SetString("a", "notepad\\1", RunMru);
  Key.SetString("MRUList", "a", RunMru);
  Key.SetString("a", "kept", RunMru + "Neighbour");
  TMainForm& F = CreateForm();
  const TItem* Run = FindItem("windows.run_history");
  ASSERT_TRUE(Run);
  SendMessageW(F.Handle(), WM_COMMAND, ItemCommand(*Run), 0);  // as the menu item does
  EXPECT_THAT(Line(0), HasSubstr(" Removed 0 files (0 bytes) and 2 registry values. "));
  EXPECT_THAT(Line(1), HasSubstr(" Run history: removed 0 files (0 bytes) and 2 registry values. "));
  {
    TRegistry Reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(Reg.OpenKeyReadOnly(RunMru)) << "the key stays";
    EXPECT_TRUE(Reg.GetValueNames().empty());
    ASSERT_TRUE(Reg.OpenKeyReadOnly(RunMru + "Neighbour"));
    EXPECT_EQ(Reg.ReadString("a"), "kept");
  }
  // Turned off by an administrator: left, whatever asks for it.
  {
    TRegistry Reg(HKEY_CURRENT_USER);  // the window's, redirected
    ASSERT_TRUE(Reg.OpenKey(RunMru, false));
    Reg.WriteString("a", "notepad\\1");
    ASSERT_TRUE(Reg.OpenKey("\\Software\\Policies\\Vellumix\\Items", true));
    Reg.WriteInteger("windows.run_history", 0);
  }
  SendMessageW(F.Handle(), WM_COMMAND, ItemCommand(*Run), 0);
  EXPECT_THAT(Line(1), HasSubstr(" Left Run history as it is: your administrator turned it off. "));
  EXPECT_THAT(Line(0), HasSubstr("; 1 entry stayed (refused). "));
  EXPECT_EQ(ValueNamesOf(RunMru), std::vector<std::string>{"a"});
  SendMessageW(F.Handle(), WM_COMMAND, SectionCommandBase, 0);  // the first browser, nothing chosen
  EXPECT_THAT(Line(0), HasSubstr(" Nothing is chosen for " + SectionsOf(TGroup::Browsers).front() +
                                 ": choose its items on the Browsers page of the options (F11). "));
  EXPECT_TRUE(F.Idle());
}

// What a sub-menu holds: each item's command and text.
std::vector<std::pair<UINT, std::string>> MenuItems(HMENU Menu) {
  std::vector<std::pair<UINT, std::string>> Items;
  for (int I = 0, N = GetMenuItemCount(Menu); I < N; ++I) {
    char Text[128] = {};
    GetMenuStringA(Menu, I, Text, sizeof Text, MF_BYPOSITION);
    Items.emplace_back(GetMenuItemID(Menu, I), Text);
  }
  return Items;
}

// The family sub-menus are filled each time they open, as Windows tells the
// window: a browser installed while the program runs shows the next time,
// with its command, its hint and the look of every other item.
TEST_F(ItemCommandTest, TheBrowsersMenuFollowsWhatIsInstalledEachTimeItOpens) {
  TTempTree Profiles("FamilyMenus");
  struct TBaseFolders {
    TBaseFolders(const TTempTree& Tree) { SetBrowserBaseFolders(Tree.Folder("Roaming"), Tree.Folder("Local")); }
    ~TBaseFolders() { SetBrowserBaseFolders("", ""); }
  } Base(Profiles);
  Switches({});
  TMainForm& F = CreateForm();
  HMENU Shred = GetSubMenu(GetMenu(F.Handle()), 1);
  HMENU Browsers = GetSubMenu(Shred, 2), Windows = GetSubMenu(Shred, 3);
  auto Open = [&](HMENU Popup, int Position) {
    SendMessageA(F.Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(Popup), MAKELPARAM(Position, FALSE));
  };
  using Entries = std::vector<std::pair<UINT, std::string>>;
  Open(Browsers, 2);
  EXPECT_EQ(MenuItems(Browsers), (Entries{{0, "No browser found"}}));
  const int Wider = TDrawnItem(F.Handle(), Browsers, 0).Width;

  Profiles.Folder("Local\\Google\\Chrome\\User Data");
  const std::vector<std::string> Sections = SectionsOf(TGroup::Browsers);
  const auto Chrome = std::find(Sections.begin(), Sections.end(), "Google Chrome");
  ASSERT_NE(Chrome, Sections.end());
  const UINT Id = SectionCommandBase + static_cast<UINT>(Chrome - Sections.begin());
  EXPECT_EQ(MenuItems(Browsers), (Entries{{0, "No browser found"}})) << "filled when it opens, not before";
  Open(Browsers, 2);
  EXPECT_EQ(MenuItems(Browsers), (Entries{{Id, "Google Chrome"}}));
  const TDrawnItem Drawn(F.Handle(), Browsers, 0);
  EXPECT_TRUE(Drawn.OwnerDrawn);
  EXPECT_LT(Drawn.Width, Wider) << "measured for its own, shorter text";
  EXPECT_THAT(MenuLooks(F.Handle()), Each(TLook::Plain));
  SendMessageA(F.Handle(), WM_MENUSELECT, MAKEWPARAM(Id, 0), reinterpret_cast<LPARAM>(Browsers));
  EXPECT_EQ(F.Hint(), "Clear what is chosen for Google Chrome in the options");

  // The Windows sub-menu is filled anew too, with what it had.
  const Entries Before = MenuItems(Windows);
  ASSERT_FALSE(Before.empty());
  Open(Windows, 3);
  EXPECT_EQ(MenuItems(Windows), Before);
  EXPECT_TRUE(TDrawnItem(F.Handle(), Windows, 0).OwnerDrawn);
}

TEST_F(ItemCommandTest, TemporaryFilesWritesItsLineOnlyWithTheSwitchOn) {
  for (bool On : {false, true}) {
    Switches(On ? std::initializer_list<const char*>{"DelTempFiles"}
                : std::initializer_list<const char*>{});
    Temp.File("a.txt");
    TMainForm& F = CreateForm();
    F.ActionClearExecute(IDC_TEMPFILES);
    WaitSweep();
    EXPECT_FALSE(Exists(Temp["a.txt"])) << On;
    // The summary comes last either way.
    EXPECT_THAT(Line(0), HasSubstr(" Removed 1 file (1 byte). "));
    if (On) {
      EXPECT_THAT(Line(1), EndsWith(std::string(" ") + Succeeded + "  "));
    }
    EXPECT_EQ(F.Action->Messages.size(), On ? 2u : 1u);
    Close();
  }
}

// "All Items" asks first unless the question is switched off; only Yes clears.
TEST_F(ItemCommandTest, AllItemsClearsOnlyWhenTheAnswerIsYes) {
  struct TCase {
    const char* Stored;  // ConfirmShredAll: a number, text, or nothing
    int Answer;          // the button pressed, 0 when no question is expected
    bool Cleared;
  };
  const TCase Cases[] = {
      {"0", 0, true},   {"1", IDYES, true},     {"1", IDNO, false},
      {"1", IDCANCEL, false}, {nullptr, IDNO, false}, {"text", IDNO, false},
  };
  for (const TCase& C : Cases) {
    Switches({});
    if (!C.Stored)
      RegDeleteKeyValueA(HKEY_CURRENT_USER, Key.Sub("Software\\Vellumix").c_str(), "ConfirmShredAll");
    else if (std::string(C.Stored) == "text")
      Key.SetString("ConfirmShredAll", "0", "Software\\Vellumix");  // not a number: asks
    else
      Key.SetDword("ConfirmShredAll", std::stoi(C.Stored), "Software\\Vellumix");
    Temp.File("a.txt");
    TMainForm& F = CreateForm();
    F.Action->AddMessage("earlier", "");
    std::optional<TBoxWatcher> Question;
    if (C.Answer) Question.emplace("Confirm Shred all items", C.Answer);
    F.ActionClearExecute(IDC_CLEARALL);
    WaitSweep();
    const std::string Case = std::string(C.Stored ? C.Stored : "missing") + "/" + std::to_string(C.Answer);
    if (Question) {
      EXPECT_TRUE(Question->Answered()) << Case;
    }
    EXPECT_EQ(Exists(Temp["a.txt"]), !C.Cleared) << Case;
    EXPECT_EQ(F.Action->Messages.size(), C.Cleared ? 14u : 1u) << Case << "\n" << Log();
    EXPECT_NE(Log().find(" earlier "), std::string::npos) << Case << ": the pane shows the log";
    EXPECT_TRUE(F.Idle());
    Close();
  }
}

// ---- option toggles

TEST_F(ItemCommandTest, TogglesFlipTheSwitchTheCheckMarkAndSave) {
  Switches({});
  TMainForm& F = CreateForm();
  struct TCase {
    int Tag;
    bool TOption::*Switch;
    const char* Value;
  };
  const TCase Cases[] = {
      {IDC_MINRUN, &TOption::MinRun, "MinRun"},
      {IDC_GRADIENTMENU, &TOption::GradientMenu, "GradientMenu"},
      {IDC_EJECTCDROM, &TOption::EjectCdrom, "EjectCdrom"},  // hidden from the menu
      {IDC_TRAYICON, &TOption::ShowTrayIconOnly, "ShowTrayIconOnly"},
  };
  for (const TCase& C : Cases) {
    for (bool Expected : {true, false}) {
      F.mnuOptionExecute(C.Tag);
      EXPECT_EQ((*F.Option).*C.Switch, Expected) << C.Value;
      EXPECT_EQ(F.MenuChecked(C.Tag), Expected) << C.Value;
      EXPECT_EQ(Number(C.Value), Expected ? 1u : 0u) << C.Value;
    }
  }
  EXPECT_FALSE(F.XPMenu.Gradient());
  F.mnuOptionExecute(IDC_GRADIENTMENU);
  EXPECT_TRUE(F.XPMenu.Gradient());
  // Tray only hides the taskbar button, which sits on the application window.
  F.Show();
  F.mnuOptionExecute(IDC_TRAYICON);
  EXPECT_FALSE(IsWindowVisible(Application.Handle()));
  F.mnuOptionExecute(IDC_TRAYICON);
  EXPECT_TRUE(IsWindowVisible(Application.Handle()));
  // Nothing to switch: no check mark, but the settings are saved all the same.
  RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Vellumix", "DelCookie");
  F.mnuOptionExecute(1005);
  EXPECT_EQ(Number("DelCookie"), 0u);
}

// The stored gradient shows in every drop-down as soon as the window is there,
// and its menu item switches it off and on again.
TEST_F(ItemCommandTest, TheGradientShowsAtStartUpWhenStoredAndFollowsItsToggle) {
  Switches({"GradientMenu"});
  TMainForm& F = CreateForm();
  EXPECT_THAT(MenuLooks(F.Handle()), Each(TLook::Gradient));
  F.mnuOptionExecute(IDC_GRADIENTMENU);
  EXPECT_THAT(MenuLooks(F.Handle()), Each(TLook::Plain));
  F.mnuOptionExecute(IDC_GRADIENTMENU);
  EXPECT_THAT(MenuLooks(F.Handle()), Each(TLook::Gradient));
}

TEST_F(ItemCommandTest, AutorunRegistersTheProgramWithTheStartUpRunWhenScheduled) {
  Switches({});
  TMainForm& F = CreateForm();
  F.mnuOptionExecute(IDC_AUTORUN);
  EXPECT_TRUE(F.Option->Autorun);
  EXPECT_TRUE(F.MenuChecked(IDC_AUTORUN));  // hidden from the menu, kept all the same
  EXPECT_EQ(RunValue(), ExePath());
  F.mnuOptionExecute(IDC_AUTORUN);
  EXPECT_FALSE(RunValue());
  EXPECT_EQ(Number("Autorun"), 0u);

  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey("Software\\Vellumix\\TOptionDlg", true));
  Reg.WriteString("CBxScheduleStart_Checked", "True");
  F.mnuOptionExecute(IDC_AUTORUN);
  EXPECT_EQ(RunValue(), ExePath() + " run");
}

}  // namespace
