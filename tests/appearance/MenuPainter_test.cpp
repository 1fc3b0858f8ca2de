// The menu painter's keyboard answers, on a menu of the test's own.
#include "appearance/MenuPainter.h"

#include <gtest/gtest.h>

namespace {

TEST(MenuMnemonic, IsTheLetterAfterASingleAmpersand) {
  struct TCase {
    const char* Text;
    char Letter;
  };
  for (TCase C : {TCase{"&File", 'F'}, TCase{"E&xit", 'X'}, TCase{"Salt && &pepper", 'P'},
                  TCase{"Salt && pepper", 0}, TCase{"Plain", 0}, TCase{"Trailing&", 0}})
    EXPECT_EQ(MenuMnemonic(C.Text), C.Letter) << C.Text;
}

// Items that share a letter are selected in turn, from the one selected on;
// a letter of one item alone chooses it.
TEST(MenuPainter, ASharedLetterSelectsItsItemsInTurn) {
  HMENU Bar = CreateMenu(), Menu = CreatePopupMenu();
  AppendMenuA(Menu, MF_STRING, 1, "&Apple\tCtrl+A");
  AppendMenuA(Menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(Menu, MF_STRING, 2, "&Banana");
  AppendMenuA(Menu, MF_STRING, 3, "&avocado");
  AppendMenuA(Bar, MF_POPUP, reinterpret_cast<UINT_PTR>(Menu), "&Fruit");
  TMenuPainter Painter;
  Painter.Attach(Bar, 96);
  auto Select = [&](int Position) {
    for (int I = 0; I < GetMenuItemCount(Menu); ++I) {
      MENUITEMINFOA Info{sizeof Info};
      Info.fMask = MIIM_STATE;
      Info.fState = I == Position ? MFS_HILITE : 0;
      SetMenuItemInfoA(Menu, I, TRUE, &Info);
    }
  };
  EXPECT_EQ(Painter.MenuChar('a', Menu), MAKELRESULT(0, MNC_SELECT));
  Select(0);
  EXPECT_EQ(Painter.MenuChar('A', Menu), MAKELRESULT(3, MNC_SELECT));
  Select(3);
  EXPECT_EQ(Painter.MenuChar('a', Menu), MAKELRESULT(0, MNC_SELECT));
  EXPECT_EQ(Painter.MenuChar('b', Menu), MAKELRESULT(2, MNC_EXECUTE));
  EXPECT_EQ(Painter.MenuChar('f', Bar), 0);  // the bar is the system's
  DestroyMenu(Bar);
}

}  // namespace
