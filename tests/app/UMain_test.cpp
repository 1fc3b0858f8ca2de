#include "app/MainFormFixture.h"

#include "app/MenuLook.h"
#include "resource.h"
#include "support/TempTree.h"
#include "support/TestKey.h"
#include "support/Windows.h"
#include "win/Icons.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <commctrl.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>

namespace {

TEST_F(MainFormTest, CreationBuildsTheWindowAndLoadsTheSettings) {
  // A partial load: the first two values are read, then the forced ones follow.
  Key.SetDword("DelInetTemp", 0, "Software\\Vellumix");
  Key.SetDword("DelCookie", 1, "Software\\Vellumix");
  TMainForm& F = Create();
  EXPECT_EQ(GetText(F.Handle()), "Vellumix");
  EXPECT_EQ(GetWindow(F.Handle(), GW_OWNER), Application.Handle());
  EXPECT_FALSE(IsWindowVisible(F.Handle()));  // the entry shows it
  RECT Rect;
  GetWindowRect(F.Handle(), &Rect);
  EXPECT_EQ(Rect.right - Rect.left, 517);
  EXPECT_EQ(Rect.bottom - Rect.top, 372);
  EXPECT_TRUE(F.Idle());
  ASSERT_TRUE(F.Option && F.Action);
  EXPECT_EQ(F.Option->KeyPath, "Software\\Vellumix");
  EXPECT_EQ(F.Action->IECache, &F.myIECache);
  EXPECT_EQ(F.myIECache.FilterMask(), 0x00310037u);
  EXPECT_TRUE(F.Option->DelCookie);
  EXPECT_TRUE(F.Option->KeepTempFiles);
  EXPECT_EQ(Light(1), Ball(IDI_GREENBALL));
  EXPECT_EQ(Light(2), Ball(IDI_GRAYBALL));
  for (HWND Button : {F.SpeedItemStart, F.SpeedItemoption, F.SpeedItemhelp, F.SpeedItemExit})
    EXPECT_TRUE(IsWindowEnabled(Button));
  EXPECT_EQ(GetText(F.SpeedItemStart), "Shred");
  EXPECT_EQ(GetText(F.SpeedItemExit), "Exit");
  EXPECT_TRUE(GetWindowLongA(F.Memo, GWL_STYLE) & ES_READONLY);
  EXPECT_FALSE(GetWindowLongA(F.Memo, GWL_STYLE) & WS_TABSTOP);

  // Menu bar captions, and the shortcut shown with an item.
  HMENU Menu = GetMenu(F.Handle());
  char Caption[64];
  const char* Top[] = {"&File", "&Shred", "&Options", "&Help"};
  ASSERT_EQ(GetMenuItemCount(Menu), 4);
  for (int I = 0; I < 4; ++I) {
    GetMenuStringA(Menu, I, Caption, sizeof Caption, MF_BYPOSITION);
    EXPECT_STREQ(Caption, Top[I]);
  }
  GetMenuStringA(Menu, IDC_IECACHE, Caption, sizeof Caption, MF_BYCOMMAND);
  EXPECT_STREQ(Caption, "Cache\tShift+C");
}

// Every drop-down shows its shortcuts in one column, clear of the longest
// label: each item drawn as it is when its menu opens, the shortcut found
// after the blank stretch that parts it from the label.
TEST_F(MainFormTest, EveryDropDownShowsItsShortcutsInOneColumnApartFromTheLabels) {
  TMainForm& F = Create();
  const int Gap = 2 * MenuCharWidth();  // wider than the space between two words
  std::vector<HMENU> Menus = DropDowns(F.Handle());
  // File, Shred, Internet, Documents, Browsers, Windows, Options, Help
  ASSERT_EQ(Menus.size(), 8u);
  for (HMENU Menu : Menus) {
    std::set<int> Columns;
    std::string Items;
    for (int I = 0, N = GetMenuItemCount(Menu); I < N; ++I) {
      char Text[128] = {};
      GetMenuStringA(Menu, I, Text, sizeof Text, MF_BYPOSITION);
      if (!std::strchr(Text, '\t')) continue;
      TDrawnItem Item(F.Handle(), Menu, I);
      ASSERT_TRUE(Item.OwnerDrawn) << Text;
      const int Column = Item.TextAfterGap(Gap);
      EXPECT_GE(Column, 0) << "the shortcut runs into its label: " << Text;
      Columns.insert(Column);
      Items += std::string(Text) + " at " + std::to_string(Column) + "; ";
    }
    EXPECT_LE(Columns.size(), 1u) << Items;  // a menu without shortcuts has none
  }
}

// The items are drawn by the program, so it also answers the keyboard: the
// underlined letter of an item in an open menu chooses that item.
TEST_F(MainFormTest, TheUnderlinedLetterInAnOpenMenuChoosesItsItem) {
  TMainForm& F = Create();
  HMENU Shred = GetSubMenu(GetMenu(F.Handle()), 1);
  struct TCase {
    HMENU Menu;
    char Key;
    LRESULT Answer;
  };
  for (TCase C : {TCase{Shred, 'd', MAKELRESULT(1, MNC_EXECUTE)},
                  TCase{Shred, 'I', MAKELRESULT(0, MNC_EXECUTE)},
                  TCase{Shred, 'b', MAKELRESULT(2, MNC_EXECUTE)},
                  TCase{Shred, 'W', MAKELRESULT(3, MNC_EXECUTE)},
                  TCase{GetSubMenu(Shred, 1), 'c', MAKELRESULT(7, MNC_EXECUTE)},  // V&C Projects
                  TCase{GetSubMenu(Shred, 0), 'o', MAKELRESULT(2, MNC_EXECUTE)},  // C&ookies
                  TCase{Shred, 'z', 0},
                  TCase{GetMenu(F.Handle()), 's', 0}})  // the bar is the system's
    EXPECT_EQ(SendMessageA(F.Handle(), WM_MENUCHAR, MAKEWPARAM(C.Key, MF_POPUP),
                           reinterpret_cast<LPARAM>(C.Menu)),
              C.Answer)
        << C.Key;
}

TEST_F(MainFormTest, MinRunMakesTheWindowStartMinimised) {
  Key.SetDword("MinRun", 1, "Software\\Vellumix");
  EXPECT_EQ(Create().WindowState, TWindowState::wsMinimized);
}

TEST_F(MainFormTest, FirstStartWritesDefaultsAndGreetsOnce) {
  Key.SetString("FirstTime", "1 ", "Software\\Vellumix");  // not exactly "1": first run again
  {
    TBoxWatcher Greeting("Vellumix");
    Create();
    ASSERT_TRUE(Greeting.Answered());
    EXPECT_EQ(Greeting.Text(),
              "This is first time Vellumix starts, Please customize your settings by click "
              "\"options\" button.");
  }
  Form.reset();
  Redirect(false);
  EXPECT_EQ(Key.String("FirstTime", "Software\\Vellumix"), "1");
  EXPECT_EQ(Key.Dword("KeepTempFiles", "Software\\Vellumix"), 1u);
  EXPECT_EQ(Key.Dword("DelCookie", "Software\\Vellumix"), 0u);
  EXPECT_EQ(Key.Dword("ConfirmShredAll", "Software\\Vellumix"), 1u);
  EXPECT_EQ(Key.String("CBxSchedule_Checked", "Software\\Vellumix\\TOptionDlg"), "False");
}

TEST_F(MainFormTest, BusyStateIsADepthThatShowsBusyUntilItsLastFrameEnds) {
  TMainForm& F = Create();
  F.SetBusy(true);
  EXPECT_FALSE(F.Idle());
  EXPECT_FALSE(IsWindowEnabled(F.SpeedItemStart));
  EXPECT_TRUE(IsWindowEnabled(F.SpeedItemExit));
  EXPECT_EQ(Light(1), Ball(IDI_GRAYBALL));
  EXPECT_EQ(Light(2), Ball(IDI_REDBALL));

  F.SetBusy(true);  // a frame inside the frame
  EXPECT_FALSE(F.Idle());
  F.SetBusy(false);
  // The inner frame ends: still busy, as the outer one still runs.
  EXPECT_FALSE(F.Idle());
  EXPECT_FALSE(IsWindowEnabled(F.SpeedItemStart));
  EXPECT_EQ(Light(2), Ball(IDI_REDBALL));
  F.SetBusy(false);
  EXPECT_TRUE(F.Idle());
  EXPECT_TRUE(IsWindowEnabled(F.SpeedItemStart));
  EXPECT_EQ(Light(1), Ball(IDI_GREENBALL));
  EXPECT_EQ(Light(2), Ball(IDI_GRAYBALL));
  F.SetBusy(false);  // one end too many changes nothing
  EXPECT_TRUE(F.Idle());
}

TEST_F(MainFormTest, HintsReachTheStatusLine) {
  TMainForm& F = Create();
  F.Show();
  ASSERT_TRUE(WaitStatus("Click 'Shred' to Clear or 'Options' to Customize your settings"));

  SendMessageA(F.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(F.SpeedItemExit),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_TRUE(WaitStatus("Exit Vellumix"));

  HMENU Bar = GetMenu(F.Handle());
  HMENU Shred = GetSubMenu(Bar, 1);
  struct TCase {
    UINT Item;
    UINT Flags;
    HMENU Menu;
    const char* Hint;
  };
  for (TCase C : {TCase{IDC_IECACHE, 0, GetSubMenu(Shred, 0), "Delete temporary internet files"},
                  TCase{1, MF_POPUP, Bar, "Press ESC key to exit menu mode"},
                  TCase{0, MF_POPUP, Shred, "Internet Items"},
                  TCase{1, MF_POPUP, Shred, "Documents Items"},
                  TCase{IDC_GOOGLESEARCHHISTORY, 0, GetSubMenu(Shred, 0), ""},
                  TCase{IDC_START, 0, Shred, "Clear user defined items"},
                  TCase{0xFFFF, 0xFFFF, nullptr, ""}}) {
    SendMessageA(F.Handle(), WM_MENUSELECT, MAKEWPARAM(C.Item, C.Flags),
                 reinterpret_cast<LPARAM>(C.Menu));
    EXPECT_TRUE(WaitStatus(C.Hint)) << C.Hint;
  }

  // The lights explain themselves; the text panel has no hint.
  RECT Light;
  SendMessageA(F.dfsStatusBar, SB_GETRECT, 2, reinterpret_cast<LPARAM>(&Light));
  MapWindowPoints(F.dfsStatusBar, nullptr, reinterpret_cast<POINT*>(&Light), 2);
  SetCursorPos((Light.left + Light.right) / 2, (Light.top + Light.bottom) / 2);
  SendMessageA(F.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(F.dfsStatusBar),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_TRUE(WaitStatus("This status light is green when Vellumix is not busy"));

  // Pointing at the empty log pane brings the first text back, and it stays
  // there once the hint bar has repainted. The mouse brings WM_SETCURSOR first.
  auto Point = [&] {
    SendMessageA(F.Memo, WM_SETCURSOR, reinterpret_cast<WPARAM>(F.Memo),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    SendMessageA(F.Memo, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  };
  const std::string Start = "Click 'Shred' to Clear or 'Options' to Customize your settings";
  Point();
  ASSERT_TRUE(WaitStatus(Start));
  for (int I = 0; I < 5; ++I) {
    UpdateWindow(F.StatusBar);
    Pump();
  }
  EXPECT_EQ(F.StatusText(), Start);
  // With lines in it the pane has no hint of its own.
  F.Action->AddMessage("line", "");
  F.RefreshMemo();
  F.SetHint("other");
  ASSERT_TRUE(WaitStatus("other"));
  Point();
  EXPECT_TRUE(WaitStatus(""));
}

TEST_F(MainFormTest, ScrollBarOnlyWhenTheLinesOverflow) {
  TMainForm& F = Create();
  F.Show();
  const int Fit = F.VisibleLineCount();
  ASSERT_GT(Fit, 5);
  for (int I = 0; I < Fit; ++I) F.Action->AddMessage("line " + std::to_string(I), "");
  F.RefreshMemo();
  EXPECT_FALSE(HasScrollBar(F.Memo));
  F.Action->AddMessage("one more", "");
  F.RefreshMemo();
  EXPECT_TRUE(HasScrollBar(F.Memo));
  const std::string Text = GetText(F.Memo);
  EXPECT_LT(Text.find(" one more  "), Text.find(" line 0  "));  // newest at the top

  // A taller window fits them all again.
  RECT Rect;
  GetWindowRect(F.Handle(), &Rect);
  MoveWindow(F.Handle(), Rect.left, 0, Rect.right - Rect.left, 700, TRUE);
  EXPECT_FALSE(HasScrollBar(F.Memo));
}

TEST_F(MainFormTest, ClickingALightExplainsIt) {
  TMainForm& F = Create();
  F.Show();
  auto Click = [&](int Part) {
    NMMOUSE Mouse{};
    Mouse.hdr = {F.dfsStatusBar, IDC_DFSSTATUSBAR, static_cast<UINT>(NM_CLICK)};
    Mouse.dwItemSpec = Part;
    SendMessageA(F.Handle(), WM_NOTIFY, IDC_DFSSTATUSBAR, reinterpret_cast<LPARAM>(&Mouse));
  };
  for (int Part : {1, 2}) {
    TBoxWatcher Box("Vellumix");
    Click(Part);
    ASSERT_TRUE(Box.Answered());
    EXPECT_EQ(Box.Text(),
              "The red light on the right of the Vellumix status line is on when Vellumix is busy "
              "(for example, while busy shredding files). The green light is on when Vellumix is "
              "not busy.");
  }
  TBoxWatcher None("Vellumix", IDOK, std::chrono::milliseconds(500));
  Click(0);
  EXPECT_FALSE(None.Answered());
}

TEST_F(MainFormTest, WithoutSkinsTheToolbarKeepsItsBevels) {
  TMainForm& F = Create();
  F.UpdateAppearance();  // not Windows XP here, and no skins beside the test runner
  EXPECT_EQ(F.SpeedBar.Wallpaper(), nullptr);
  EXPECT_EQ(F.SpeedBar.BevelInner(), TSpeedBar::TBevel::bvRaised);
  EXPECT_EQ(F.SpeedBar.BevelOuter(), TSpeedBar::TBevel::bvLowered);
}

// Windows of the two browser classes get WM_CLOSE; others are left alone.
TEST_F(MainFormTest, TheIeQuestionClosesBrowserWindowsOnYes) {
  WNDCLASSA Class{};
  Class.lpfnWndProc = DefWindowProcA;
  for (const char* Name : {"IEFrame", "CabinetWClass", "Notepad"}) {
    Class.lpszClassName = Name;
    RegisterClassA(&Class);
  }
  for (int Answer : {IDNO, IDYES}) {
    SCOPED_TRACE(Answer);
    HWND Ie = CreateWindowA("IEFrame", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND Folder = CreateWindowA("CabinetWClass", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND Other = CreateWindowA("Notepad", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    {
      TBoxWatcher Question("Confirm Close Browsers", Answer);
      Create("ie");
      ASSERT_TRUE(Question.Answered());
      EXPECT_EQ(Question.Text(), "Let Vellumix close all Internet Explorer for you now?");
    }
    Pump();
    EXPECT_EQ(IsWindow(Ie), Answer == IDNO);
    EXPECT_EQ(IsWindow(Folder), Answer == IDNO);
    EXPECT_TRUE(IsWindow(Other));
    for (HWND W : {Ie, Folder, Other}) DestroyWindow(W);
    Form.reset();
    Redirect(false);
  }
  // Only "ie" asks.
  TBoxWatcher None("Confirm Close Browsers", IDNO, std::chrono::milliseconds(500));
  Create("IE");
  EXPECT_FALSE(None.Answered());
}

UINT ExitBlinderSeen;
LRESULT CALLBACK Listener(HWND W, UINT M, WPARAM Wp, LPARAM Lp) {
  if (M == RegisterWindowMessageA("Exit Blinder")) ++ExitBlinderSeen;
  return DefWindowProcA(W, M, Wp, Lp);
}

TEST_F(MainFormTest, ClosingSavesThePlacementAndSaysGoodbyeToTheCompanion) {
  WNDCLASSA Class{};
  Class.lpfnWndProc = Listener;
  Class.lpszClassName = "CompanionListener";
  RegisterClassA(&Class);
  HWND Companion = CreateWindowA("CompanionListener", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ExitBlinderSeen = 0;

  TMainForm& F = Create();
  F.Show();
  F.ExitActionExecute();
  EXPECT_FALSE(IsWindow(F.Handle()));
  EXPECT_FALSE(F.Option);  // released when the window closed
  EXPECT_FALSE(F.Action);
  EXPECT_TRUE(WaitUntil([] {
    Pump();
    return ExitBlinderSeen > 0;
  }));
  Redirect(false);
  EXPECT_EQ(Key.String("FormVersion", "Software\\Vellumix\\Position"), "1");
  EXPECT_EQ(Key.String("Visible", "Software\\Vellumix\\Position"), "0");
  DestroyWindow(Companion);
}

TEST_F(MainFormTest, ASecondStartBringsTheWindowForward) {
  TMainForm& F = Create();
  ASSERT_FALSE(IsWindowVisible(F.Handle()));
  PostMessageA(F.Handle(), F.PreviousInstanceMessage, 0, 0);
  EXPECT_TRUE(WaitUntil([&] {
    Pump();
    return IsWindowVisible(F.Handle()) != FALSE;
  }));
  Application.Minimize();
  EXPECT_FALSE(IsWindowVisible(F.Handle()));
  PostMessageA(Application.Handle(), F.PreviousInstanceMessage, 0, 0);
  EXPECT_TRUE(WaitUntil([&] {
    Pump();
    return IsWindowVisible(F.Handle()) && !Application.Minimized();
  }));
}

TEST_F(MainFormTest, ASecondStartRestoresAMinimisedWindowInPlace) {
  // Closed minimised last time, somewhere else.
  Key.SetString("FormVersion", "1", "Software\\Vellumix\\Position");
  Key.SetString("ShowCmd", "2", "Software\\Vellumix\\Position");
  Key.SetString("NormPos", "10,10,527,382", "Software\\Vellumix\\Position");
  TMainForm& F = Create();
  F.Show();
  ASSERT_TRUE(WaitUntil([&] {
    Pump();
    return Application.Minimized();
  })) << "shown minimised, as it was closed";
  Application.Restore();  // the user brings it back and moves it
  SetWindowPos(F.Handle(), nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Pump();
  RECT Before;
  GetWindowRect(F.Handle(), &Before);
  Application.Minimize();
  ASSERT_FALSE(IsWindowVisible(F.Handle()));

  PostMessageA(Application.Handle(), F.PreviousInstanceMessage, 0, 0);
  ASSERT_TRUE(WaitUntil([&] {
    Pump();
    return IsWindowVisible(F.Handle()) && !Application.Minimized();
  }));
  for (int I = 0; I < 5; ++I) Pump();  // a minimise posted by a placement restore would come now
  EXPECT_TRUE(IsWindowVisible(F.Handle()));
  EXPECT_FALSE(IsIconic(F.Handle()));
  EXPECT_FALSE(Application.Minimized());
  RECT After;
  GetWindowRect(F.Handle(), &After);
  EXPECT_EQ(After.left, Before.left);
  EXPECT_EQ(After.top, Before.top);
}

TEST_F(MainFormTest, AFailingSaveOnClosingIsShownAndTheWindowStillCloses) {
  TMainForm& F = Create();
  F.Show();
  Pump();
  F.FormPlacement.OnSavePlacement = [] { throw std::runtime_error("Cannot save the placement"); };
  TBoxWatcher Box("Vellumix");
  F.Close();
  EXPECT_TRUE(Box.Answered());
  EXPECT_EQ(Box.Text(), "Cannot save the placement.");
  EXPECT_FALSE(IsWindow(F.Handle()));
  MSG Msg;
  EXPECT_TRUE(PeekMessageA(&Msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "the program ends";
}

TEST_F(MainFormTest, MovingToAScreenOfAnotherScaleRescalesFontsAndLayout) {
  TMainForm& F = Create();
  F.Show();
  Pump();
  auto FontHeight = [](HWND Window) {
    LOGFONTA Font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Window, WM_GETFONT, 0, 0)), sizeof Font, &Font);
    return std::abs(Font.lfHeight);
  };
  auto Height = [](HWND Window) {
    RECT R;
    GetWindowRect(Window, &R);
    return R.bottom - R.top;
  };
  const int Dpi = F.Dpi();
  const int MemoFont = FontHeight(F.Memo), ButtonFont = FontHeight(F.SpeedItemExit);
  const int Bar = Height(F.SpeedBar.Handle()), Button = Height(F.SpeedItemExit);
  HMENU Shred = GetSubMenu(GetMenu(F.Handle()), 1);
  const int Item = TDrawnItem(F.Handle(), Shred, 0).Height;
  RECT Suggested;
  GetWindowRect(F.Handle(), &Suggested);
  Suggested.right = Suggested.left + MulDiv(517, 144, 96);
  Suggested.bottom = Suggested.top + MulDiv(372, 144, 96);
  SendMessageA(F.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&Suggested));

  EXPECT_EQ(F.Dpi(), 144);
  EXPECT_EQ(FontHeight(F.Memo), MulDiv(13, 144, 96)) << "was " << MemoFont << " at " << Dpi;
  EXPECT_GT(FontHeight(F.SpeedItemExit), ButtonFont);
  EXPECT_EQ(Height(F.SpeedBar.Handle()), MulDiv(60, 144, 96)) << "was " << Bar;
  EXPECT_EQ(Height(F.SpeedItemExit), MulDiv(53, 144, 96)) << "was " << Button;
  EXPECT_EQ(Height(F.Handle()), Suggested.bottom - Suggested.top);
  EXPECT_GT(TDrawnItem(F.Handle(), Shred, 0).Height, Item) << "menu items keep their size";
}

// Each toolbar button has a tool in the tooltip control showing its hint, also
// a button added after the window was made.
TEST_F(MainFormTest, EveryToolbarButtonHasATooltipWithItsHint) {
  TMainForm& F = Create();
  HWND Later = F.SpeedBar.AddButton(IDC_START, "Later", IDI_SHRED, "A button added later", 0, 0, 0, 0);
  HWND Tips = F.SpeedBar.Tooltip();
  ASSERT_TRUE(IsWindow(Tips));
  std::map<HWND, std::string> Shown;
  const int Count = static_cast<int>(SendMessageW(Tips, TTM_GETTOOLCOUNT, 0, 0));
  for (int I = 0; I < Count; ++I) {
    wchar_t Text[256] = {};
    TTTOOLINFOW Tool{};
    Tool.cbSize = sizeof Tool;
    Tool.lpszText = Text;
    ASSERT_TRUE(SendMessageW(Tips, TTM_ENUMTOOLSW, I, reinterpret_cast<LPARAM>(&Tool)));
    EXPECT_EQ(Tool.uFlags & (TTF_IDISHWND | TTF_SUBCLASS), UINT(TTF_IDISHWND | TTF_SUBCLASS));
    Shown[reinterpret_cast<HWND>(Tool.uId)] = Narrow(Text);
  }
  const std::map<HWND, std::string> Expected = {
      {F.SpeedItemStart, "Clear user defined items"},
      {F.SpeedItemPreview, "Show what Shred would remove, then remove exactly that"},
      {F.SpeedItemoption, "Display customize dialog box"},
      {F.SpeedItemhelp, "Display the help manual"},
      {F.SpeedItemExit, "Exit Vellumix"},
      {Later, "A button added later"}};
  EXPECT_EQ(Shown, Expected);
  for (const auto& [Button, Hint] : Expected) EXPECT_EQ(F.SpeedBar.HintOf(Button), Hint);
}

// The toolbar's pictures follow the window's scale: the drawn size nearest
// below 32 pixels at that scale (shrunk only below the smallest drawn size).
TEST_F(MainFormTest, ToolbarPicturesAreDrawnAtTheWindowsScale) {
  TMainForm& F = Create();
  EXPECT_EQ(IconWidth(F.SpeedBar.PictureOf(F.SpeedItemExit)), F.Scale(32));
  for (auto [Dpi, Size] : {std::pair{144, 48}, {120, 40}, {168, 48}, {192, 64}, {72, 24}, {96, 32}}) {
    RECT Suggested;
    GetWindowRect(F.Handle(), &Suggested);
    Suggested.right = Suggested.left + MulDiv(517, Dpi, 96);
    Suggested.bottom = Suggested.top + MulDiv(372, Dpi, 96);
    SendMessageA(F.Handle(), WM_DPICHANGED, MAKEWPARAM(Dpi, Dpi), reinterpret_cast<LPARAM>(&Suggested));
    for (HWND Button : {F.SpeedItemStart, F.SpeedItemoption, F.SpeedItemhelp, F.SpeedItemExit})
      EXPECT_EQ(IconWidth(F.SpeedBar.PictureOf(Button)), Size) << "at " << Dpi << " dpi";
    EXPECT_EQ(F.SpeedBar.PictureSize(), MulDiv(32, Dpi, 96));
  }
}

// Let go of near an edge, the window snaps to it; 20 pixels is near.
TEST_F(MainFormTest, TheWindowSnapsToTheScreenEdgesWithinTwentyPixels) {
  TMainForm& F = Create();
  F.Show();
  Pump();
  F.ALScreenSnap->TaskbarRect = [](RECT&) { return false; };  // the whole screen
  auto LetGoAt = [&](int Left, int Top) {
    SetWindowPos(F.Handle(), nullptr, Left, Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageA(F.Handle(), WM_EXITSIZEMOVE, 0, 0);
    RECT R;
    GetWindowRect(F.Handle(), &R);
    return std::pair{R.left, R.top};
  };
  EXPECT_EQ(LetGoAt(19, 100), std::pair(0L, 100L));
  EXPECT_EQ(LetGoAt(20, 100), std::pair(20L, 100L));
  EXPECT_EQ(LetGoAt(-40, -5), std::pair(0L, 0L));
  try {
    TALScreenSnap Second(&F);
    ADD_FAILURE() << "a second snapping component was made";
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "TALScreenSnap component cannot be duplicated in MainForm");
  }
  EXPECT_EQ(LetGoAt(5, 100), std::pair(0L, 100L)) << "the first still snaps";
}

}  // namespace

namespace {

// The companion beside the program starts when only an administrator could
// have put it there, or once the user has switched it on.
TEST_F(MainFormTest, TheCompanionMayStartFromAFolderUsersCannotWriteOrOnceSwitchedOn) {
  struct TCase {
    bool Writable;
    const char* Switch;  // null: never stored
    bool Starts;
  };
  const TCase Cases[] = {{true, nullptr, false}, {true, "False", false}, {true, "true", false},
                         {true, "True", true},   {false, nullptr, true}, {false, "False", true}};
  static bool Writable;
  const auto Real = TMainForm::FolderWritable;
  TMainForm::FolderWritable = [](const std::string&) { return Writable; };
  for (const TCase& C : Cases) {
    Writable = C.Writable;
    SHDeleteValueA(HKEY_CURRENT_USER, Key.Sub("Software\\Vellumix\\TOptionDlg").c_str(), "CBxActiveBlinder_Checked");
    if (C.Switch) Key.SetString("CBxActiveBlinder_Checked", C.Switch, "Software\\Vellumix\\TOptionDlg");
    Redirect(true);
    EXPECT_EQ(TMainForm::CompanionMayStart("C:\\Program Files\\Vellumix\\"), C.Starts)
        << C.Writable << " " << (C.Switch ? C.Switch : "(none)");
    Redirect(false);
  }
  TMainForm::FolderWritable = Real;
  // The real probe: a folder of ours is writable and keeps no trace of the test.
  TTempTree Tree("CompanionProbe");
  EXPECT_TRUE(TMainForm::ProbeFolderWritable(Tree.Path() + "\\"));
  WIN32_FIND_DATAA Entry;
  EXPECT_EQ(FindFirstFileA((Tree.Path() + "\\*.tmp").c_str(), &Entry), INVALID_HANDLE_VALUE);
}

}  // namespace
