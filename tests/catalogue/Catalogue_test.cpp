// The one list of items: its ids, the orders the run and the commands take
// from it, and the stored switch of items without a setting of their own.
#include "catalogue/Catalogue.h"

#include "resource.h"
#include "support/Fixtures.h"
#include "support/TestKey.h"
#include "support/TestPolicies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Ids(const std::vector<const TItem*>& Items) {
  std::vector<std::string> Out;
  for (const TItem* Item : Items) Out.push_back(Item->Id);
  return Out;
}

TEST(Catalogue, IdsAreUniqueAndTheOrdersAreTheRunsAndTheMenus) {
  std::set<std::string> Seen;
  for (const TItem& Item : Catalogue()) {
    EXPECT_TRUE(Seen.insert(Item.Id).second) << Item.Id;
    EXPECT_EQ(FindItem(Item.Id), &Item);
    // The first items clear through their operation or sweep; the families'
    // through their plan.
    EXPECT_TRUE(Item.Switch ? Item.Clear || Item.Folder : Item.Preview != nullptr) << Item.Id << " clears nothing";
  }
  EXPECT_EQ(FindItem("no.such"), nullptr);

  // The Shred run: the three folder items first, then the operations in their fixed order.
  TOption All;
  std::size_t WithSetting = 0;
  for (const TItem& Item : Catalogue())
    if (Item.Switch) {
      All.*Item.Switch = true;
      ++WithSetting;
    }
  EXPECT_EQ(Ids(ChosenItems(All)),
            (std::vector<std::string>{"ie.cache", "ie.history", "system.temp", "ie.cookies", "ie.typed_urls",
                                      "toolbar.search_history", "shell.recent_docs", "wmp.recent",
                                      "realplayer.recent", "delphi.recent", "vb.recent", "vc.recent",
                                      "system.recycle_bin"}));
  TOption Two;
  Two.DelTempFiles = Two.DelCookie = true;
  EXPECT_EQ(Ids(ChosenItems(Two)), (std::vector<std::string>{"system.temp", "ie.cookies"}));
  EXPECT_TRUE(ChosenItems(TOption{}).empty());

  // The item commands: the menu's order.
  EXPECT_EQ(Ids(ItemsOfCommand(IDC_INTERNETALL)),
            (std::vector<std::string>{"ie.cache", "ie.history", "ie.cookies", "ie.typed_urls",
                                      "toolbar.search_history"}));
  EXPECT_EQ(Ids(ItemsOfCommand(IDC_DOCALL)),
            (std::vector<std::string>{"shell.recent_docs", "wmp.recent", "realplayer.recent", "delphi.recent",
                                      "vb.recent", "vc.recent", "system.recycle_bin", "system.temp"}));
  EXPECT_EQ(ItemsOfCommand(IDC_CLEARALL).size(), WithSetting);
  EXPECT_EQ(Ids(ItemsOfCommand(IDC_TEMPFILES)), std::vector<std::string>{"system.temp"});
  EXPECT_TRUE(ItemsOfCommand(1007).empty());
}

TEST(Catalogue, AStoredSwitchIsOnOnlyAsANonZeroDword) {
  TTestKey Key;
  Key.CreateKey();
  // HKEY_CURRENT_USER is the test's key while the switches are read.
  auto Redirect = [&](bool On) {
    HKEY Root = nullptr;
    if (On) {
      ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Key.Path().c_str(), 0, KEY_ALL_ACCESS, &Root), ERROR_SUCCESS);
    }
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, Root), ERROR_SUCCESS);
    if (Root) RegCloseKey(Root);
  };
  Redirect(true);
  EXPECT_FALSE(StoredItemSwitch("chrome.cache")) << "no key";
  Redirect(false);
  const std::string Items = "Software\\Vellumix\\Items";
  Key.SetDword("chrome.cache", 1, Items);
  Key.SetDword("edge.cache", 0, Items);
  Key.SetString("firefox.cache", "1", Items);
  Redirect(true);
  EXPECT_TRUE(StoredItemSwitch("chrome.cache"));
  EXPECT_FALSE(StoredItemSwitch("edge.cache"));
  EXPECT_FALSE(StoredItemSwitch("firefox.cache")) << "text is not a switch";
  EXPECT_FALSE(StoredItemSwitch("opera.cache")) << "absent";
  Redirect(false);
}

// An administrator's policy chooses for the Shred run whatever the user's
// switch says, and leaves the switch alone.
TEST(Catalogue, APolicyForcesAnItemOnOrOff) {
  TTestKey Key;
  TTestPolicies Policies(Key);
  Policies.SetDword(HKEY_LOCAL_MACHINE, "Items\\ie.cookies", 0);
  Policies.SetDword(HKEY_CURRENT_USER, "Items\\system.temp", 1);
  Policies.SetDword(HKEY_CURRENT_USER, "Items\\ie.cache", 0);
  Policies.SetDword(HKEY_CURRENT_USER, "LockSelection", 1);  // locks, chooses nothing
  TOption Option;
  Option.DelCookie = Option.DelHistory = Option.DelInetTemp = true;
  EXPECT_EQ(Ids(ChosenItems(Option)), (std::vector<std::string>{"ie.history", "system.temp"}));
  EXPECT_TRUE(Option.DelCookie);
  EXPECT_FALSE(Option.DelTempFiles);
  Policies.SetDword(HKEY_LOCAL_MACHINE, "Items\\ie.cache", 1);
  EXPECT_TRUE(ItemChosen(*FindItem("ie.cache"), TOption{}));
}

// Group Policy can set every item: the template has a policy for each id.
TEST(Catalogue, TheAdministrativeTemplateHasAPolicyForEveryItem) {
  std::ifstream File(DosPath(VELLUMIX_POLICIES) + "\\Vellumix.admx", std::ios::binary);
  ASSERT_TRUE(File) << "no template in " << VELLUMIX_POLICIES;
  std::stringstream Text;
  Text << File.rdbuf();
  for (const TItem& Item : Catalogue())
    EXPECT_NE(Text.str().find(std::string(R"(key="Software\Policies\Vellumix\Items" valueName=")") + Item.Id + '"'),
              std::string::npos)
        << Item.Id << " has no policy: add it to installer/policies/write.py";
}

}  // namespace
