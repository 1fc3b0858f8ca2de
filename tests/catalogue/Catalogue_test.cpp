// The one list of items: its ids, the orders the run and the commands take
// from it, and the stored switch of items without a setting of their own.
#include "catalogue/Catalogue.h"

#include "resource.h"
#include "support/TestKey.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    EXPECT_TRUE(Item.Clear || Item.Folder || Item.Clean) << Item.Id << " clears nothing";
  }
  EXPECT_EQ(FindItem("no.such"), nullptr);

  // The Shred run: the three folder items first, then the operations in their fixed order.
  TOption All;
  for (const TItem& Item : Catalogue())
    if (Item.Switch) All.*Item.Switch = true;
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
  EXPECT_EQ(ItemsOfCommand(IDC_CLEARALL).size(),
            static_cast<std::size_t>(std::count_if(Catalogue().begin(), Catalogue().end(),
                                                   [](const TItem& Item) { return Item.Tag != 0; })));
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
  EXPECT_FALSE(StoredItemSwitch("browser.chrome.cache")) << "no key";
  Redirect(false);
  const std::string Items = "Software\\Vellumix\\Items";
  Key.SetDword("browser.chrome.cache", 1, Items);
  Key.SetDword("browser.edge.cache", 0, Items);
  Key.SetString("browser.firefox.cache", "1", Items);
  Redirect(true);
  EXPECT_TRUE(StoredItemSwitch("browser.chrome.cache"));
  EXPECT_FALSE(StoredItemSwitch("browser.edge.cache"));
  EXPECT_FALSE(StoredItemSwitch("browser.firefox.cache")) << "text is not a switch";
  EXPECT_FALSE(StoredItemSwitch("browser.opera.cache")) << "absent";
  Redirect(false);
}

}  // namespace
