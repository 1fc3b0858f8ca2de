#include "settings/FormStorage.h"

#include "support/TestKey.h"
#include "win/Form.h"
#include "win/Shell.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int BoxId = 10, LabelId = 11;

// A real top-level window with a check box and a label, like the dialogs that
// store control properties.
class TTestForm : public TForm {
public:
  explicit TTestForm(bool Resizable = true) {
    CreateHandle({"TTestForm"}, 0, Resizable ? WS_OVERLAPPEDWINDOW : WS_POPUP | WS_CAPTION,
                 "Test", 100, 100, 300, 200, nullptr);
    Box = CreateWindowA("BUTTON", "Box", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 5, 5, 80, 20,
                        Handle(), reinterpret_cast<HMENU>(BoxId), nullptr, nullptr);
    Label = CreateWindowA("STATIC", "Label", WS_CHILD | WS_VISIBLE, 5, 30, 80, 20, Handle(),
                          reinterpret_cast<HMENU>(LabelId), nullptr, nullptr);
  }
  HWND Box, Label;
};

class FormStorageTest : public ::testing::Test {
protected:
  // A store for a placement under <test key>\Position, version 1.
  static void SetUpPlacement(TFormPlacement& Store, const TTestKey& Key) {
    Store.IniFileName = Key.Path();
    Store.IniSection = "Position";
    Store.Version = 1;
    Store.StorePlacement = true;
  }
  static RECT NormalRect(HWND Window) {
    WINDOWPLACEMENT Place{sizeof Place};
    GetWindowPlacement(Window, &Place);
    return Place.rcNormalPosition;
  }
  void StorePosition(const std::string& Version, const std::string& NormPos,
                     int Ppi = 0) const {
    Key.SetString("FormVersion", Version, "Position");
    Key.SetString("NormPos", NormPos, "Position");
    Key.SetString("MinMaxPos", "-1,-1,-1,-1", "Position");
    Key.SetString("PixelsPerInch", std::to_string(Ppi ? Ppi : ScreenPixelsPerInch()), "Position");
  }

  TTestKey Key;
};

TEST_F(FormStorageTest, PlacementRoundTrips) {
  {
    TTestForm Form;
    TFormPlacement Store(Form.Handle(), &Form);
    SetUpPlacement(Store, Key);
    Form.Position = TPosition::poDesktopCenter;
    Store.Restore();  // nothing stored yet: the first start keeps its design
    EXPECT_EQ(Form.Position, TPosition::poDesktopCenter);
    Form.Show();
    MoveWindow(Form.Handle(), 40, 50, 333, 222, TRUE);
    Store.SaveOnClose();
    Store.SaveOnDestroy();  // already saved at close: no second save
  }
  EXPECT_EQ(Key.String("FormVersion", "Position"), "1");
  EXPECT_EQ(Key.String("NormPos", "Position"), "40,50,373,272");
  EXPECT_EQ(Key.String("PixelsPerInch", "Position"), std::to_string(ScreenPixelsPerInch()));
  EXPECT_EQ(Key.String("ShowCmd", "Position"), "1");
  EXPECT_EQ(Key.String("Visible", "Position"), "0");
  EXPECT_TRUE(Key.String("Flags", "Position"));
  EXPECT_TRUE(Key.String("MinMaxPos", "Position"));

  TTestForm Again;
  TFormPlacement Store(Again.Handle(), &Again);
  SetUpPlacement(Store, Key);
  Again.Position = TPosition::poDesktopCenter;
  Store.Restore();
  EXPECT_FALSE(IsWindowVisible(Again.Handle()));  // applying the placement does not show it
  RECT Rect = NormalRect(Again.Handle());
  EXPECT_EQ(Rect.left, 40);
  EXPECT_EQ(Rect.top, 50);
  EXPECT_EQ(Rect.right, 373);
  EXPECT_EQ(Rect.bottom, 272);
  // Centring when shown would undo the stored position.
  EXPECT_EQ(Again.Position, TPosition::poDesigned);
  EXPECT_EQ(Again.WindowState, TWindowState::wsNormal);
}

TEST_F(FormStorageTest, StateOfAnOlderVersionOrAnotherDpiIsIgnored) {
  struct TCase {
    const char* Version;
    int PpiFactor;  // stored PixelsPerInch = screen * factor
    bool Applied;
  };
  for (TCase C : {TCase{"0", 1, false}, TCase{"junk", 1, false}, TCase{"1", 2, false},
                  TCase{"2", 1, true}}) {
    SCOPED_TRACE(C.Version + std::string(" x") + std::to_string(C.PpiFactor));
    StorePosition(C.Version, "10,20,210,220", ScreenPixelsPerInch() * C.PpiFactor);
    TTestForm Form;
    RECT Before = NormalRect(Form.Handle());
    TFormPlacement Store(Form.Handle(), &Form);
    SetUpPlacement(Store, Key);
    bool Fired = false;
    Store.OnRestorePlacement = [&] { Fired = true; };
    Store.Restore();
    EXPECT_TRUE(Store.Restored());
    RECT After = NormalRect(Form.Handle());
    EXPECT_EQ(After.left, C.Applied ? 10 : Before.left);
    EXPECT_EQ(After.top, C.Applied ? 20 : Before.top);
    // An older version skips the notification too; another DPI only skips the position.
    EXPECT_EQ(Fired, std::string(C.Version) != "0" && std::string(C.Version) != "junk");
  }
}

TEST_F(FormStorageTest, BadNumbersFallBackAndAFixedBorderKeepsItsSize) {
  StorePosition("1", "15, 25 ,x");  // right and bottom unreadable: the current edges
  TTestForm Fixed(false);
  RECT Before = NormalRect(Fixed.Handle());
  TFormPlacement Store(Fixed.Handle(), &Fixed);
  SetUpPlacement(Store, Key);
  Store.Restore();
  RECT After = NormalRect(Fixed.Handle());
  EXPECT_EQ(After.left, 15);
  EXPECT_EQ(After.top, 25);
  EXPECT_EQ(After.right - After.left, Before.right - Before.left);
  EXPECT_EQ(After.bottom - After.top, Before.bottom - Before.top);

  StorePosition("1", "300,20,100,220");  // right not right of left: not applied
  TTestForm Inverted;
  RECT Kept = NormalRect(Inverted.Handle());
  TFormPlacement Second(Inverted.Handle(), &Inverted);
  SetUpPlacement(Second, Key);
  Second.Restore();
  EXPECT_EQ(NormalRect(Inverted.Handle()).left, Kept.left);
}

TEST_F(FormStorageTest, ShowCommandBecomesTheWindowState) {
  Application.Initialize();
  struct TCase {
    const char* ShowCmd;
    bool MainForm;
    TWindowState State;
    bool PostsMinimize;
  };
  for (TCase C : {TCase{"3", false, TWindowState::wsMaximized, false},
                  TCase{"9", false, TWindowState::wsNormal, false},
                  TCase{"6", false, TWindowState::wsMinimized, false},
                  TCase{"2", true, TWindowState::wsNormal, true},
                  TCase{"42", false, TWindowState::wsNormal, false}}) {
    SCOPED_TRACE(C.ShowCmd);
    Key.SetString("FormVersion", "1", "Position");
    Key.SetString("ShowCmd", C.ShowCmd, "Position");
    TTestForm Form;
    Form.WindowState = TWindowState::wsMaximized == C.State ? TWindowState::wsNormal
                                                            : TWindowState::wsMaximized;
    if (C.MainForm) Application.MainForm = Form.Handle();
    TFormPlacement Store(Form.Handle(), &Form);
    SetUpPlacement(Store, Key);
    Store.Restore();
    Application.MainForm = nullptr;
    EXPECT_EQ(Form.WindowState, C.State);
    MSG Msg;
    bool Posted = PeekMessageA(&Msg, Application.Handle(), WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE);
    EXPECT_EQ(Posted, C.PostsMinimize);
    if (Posted) {
      EXPECT_EQ(Msg.wParam, static_cast<WPARAM>(SC_MINIMIZE));
    }
  }
}

TEST_F(FormStorageTest, StoredPropertiesAreTrimmedAndMatchedWithoutCase) {
  TTestForm Form;
  TFormPlacement Store(Form.Handle());
  Store.IniFileName = Key.Path();  // no section: the window's class name
  Store.StoredProps = {{"Box.Checked", BoxId}, {"Label.Enabled", LabelId}};
  int Saves = 0;
  Store.OnSavePlacement = [&] { ++Saves; };

  Key.SetString("Box_Checked", "  tRUe ", "TTestForm");
  Key.SetString("Label_Enabled", "FALSE", "TTestForm");
  Store.Restore();
  EXPECT_EQ(SendMessageA(Form.Box, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_FALSE(IsWindowEnabled(Form.Label));

  Key.SetString("Box_Checked", "maybe", "TTestForm");  // matches nothing: unchanged
  Key.SetString("Label_Enabled", "", "TTestForm");
  Store.Restore();
  EXPECT_EQ(SendMessageA(Form.Box, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_FALSE(IsWindowEnabled(Form.Label));

  SendMessageA(Form.Box, BM_SETCHECK, BST_UNCHECKED, 0);
  EnableWindow(Form.Label, TRUE);
  Store.SaveOnClose();
  EXPECT_EQ(Key.String("FormVersion", "TTestForm"), "0");
  EXPECT_EQ(Key.String("Box_Checked", "TTestForm"), "False");
  EXPECT_EQ(Key.String("Label_Enabled", "TTestForm"), "True");
  EXPECT_FALSE(Key.HasValue("NormPos", "TTestForm"));  // no placement in this store
  EXPECT_EQ(Saves, 1);
}

TEST_F(FormStorageTest, NothingIsSavedForAWindowNeverShownOrAnInactiveStore) {
  {
    TTestForm Form;
    TFormPlacement Store(Form.Handle(), &Form);
    SetUpPlacement(Store, Key);
    Store.SaveOnClose();
    Store.SaveOnDestroy();
    EXPECT_FALSE(Store.Saved());
  }
  EXPECT_FALSE(Key.Exists("Position"));

  TTestForm Form;
  TFormPlacement Store(Form.Handle(), &Form);
  SetUpPlacement(Store, Key);
  Store.Restore();
  Store.Active = false;  // the dialog's Cancel
  Store.SaveOnClose();
  Store.SaveOnDestroy();
  EXPECT_FALSE(Key.Exists("Position"));

  Store.Active = true;
  Store.SaveOnDestroy();  // saving while the window is destroyed
  EXPECT_EQ(Key.String("Visible", "Position"), "1");
}

TEST(ParseFourInts, SplitsAtCommasAndBlanks) {
  int Values[4];
  ParseFourInts("1, 2 ,3,   -4", Values, {9, 9, 9, 9});
  EXPECT_EQ(Values[0], 1);
  EXPECT_EQ(Values[3], -4);
  ParseFourInts("7,x", Values, {0, 5, 6, 8});
  EXPECT_EQ(Values[0], 7);
  EXPECT_EQ(Values[1], 5);
  EXPECT_EQ(Values[2], 6);
  EXPECT_EQ(Values[3], 8);
  ParseFourInts("", Values, {1, 2, 3, 4});
  EXPECT_EQ(Values[2], 3);
}

}  // namespace
