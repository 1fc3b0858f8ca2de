#include "settings/Uconfirmshredall.h"

#include "resource.h"
#include "settings/DialogDriver.h"
#include "settings/UAbout.h"
#include "support/TestKey.h"
#include "win/Registry.h"
#include "win/ShellOpen.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char Settings[] = "Software\\Vellumix";

class ConfirmShredAllTest : public ::testing::Test {
protected:
  ConfirmShredAllTest() : Redirect(Key.Path()) {}

  static std::optional<std::uint32_t> Stored() {
    TRegistry Reg;
    if (!Reg.OpenKey(Settings, false)) return std::nullopt;
    return Reg.ReadInteger("ConfirmShredAll");
  }

  TTestKey Key;
  TRedirectedHkcu Redirect;
};

// Every way out of the question, and what each leaves in the registry. Only
// Yes (clicked, or Alt+Y) says yes; Esc and the close box back out.
TEST_F(ConfirmShredAllTest, EachAnswerAndWhatItWrites) {
  enum class TWay { ClickYes, AltY, ClickNo, Enter, Esc, CloseBox };
  struct TCase {
    const char* Name;
    TWay Way;
    bool Untick;
    int Result;
    std::optional<std::uint32_t> Written;
  };
  for (const TCase& Case : {
           TCase{"Yes, box ticked", TWay::ClickYes, false, IDYES, 1u},
           TCase{"Yes, box unticked", TWay::ClickYes, true, IDYES, 0u},
           TCase{"Alt+Y, box unticked", TWay::AltY, true, IDYES, 0u},
           TCase{"No, box unticked", TWay::ClickNo, true, IDNO, std::nullopt},
           TCase{"Enter", TWay::Enter, true, IDNO, std::nullopt},
           TCase{"Esc", TWay::Esc, true, IDCANCEL, std::nullopt},
           TCase{"close box", TWay::CloseBox, true, IDCANCEL, std::nullopt},
       }) {
    SCOPED_TRACE(Case.Name);
    SHDeleteKeyA(HKEY_CURRENT_USER, Settings);
    TDlgConfirmShredAll Dialog;
    ASSERT_TRUE(Dialog.Create(nullptr));
    ShowWindow(Dialog.Handle(), SW_SHOW);
    SetForegroundWindow(Dialog.Handle());
    PumpDialog(Dialog);
    HWND Box = Dialog.Item(IDC_CBXCONFIRMSHREDALL);
    EXPECT_EQ(SendMessageA(Box, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(GetFocus(), Dialog.Item(IDNO));
    if (Case.Untick) {
      SendMessageA(Box, BM_CLICK, 0, 0);
      SetFocus(Dialog.Item(IDNO));
    }
    switch (Case.Way) {
      case TWay::ClickYes:
        SendMessageA(Dialog.Item(IDYES), BM_CLICK, 0, 0);
        break;
      case TWay::AltY:
        PressAlt(Dialog, 'y');
        break;
      case TWay::ClickNo:
        SendMessageA(Dialog.Item(IDNO), BM_CLICK, 0, 0);
        break;
      case TWay::Enter:
        PressKey(Dialog, VK_RETURN);
        break;
      case TWay::Esc:
        PressKey(Dialog, VK_ESCAPE);
        break;
      case TWay::CloseBox:
        SendMessageA(Dialog.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
    PumpDialog(Dialog);
    EXPECT_EQ(Dialog.ModalResult(), Case.Result);
    EXPECT_FALSE(Dialog.Handle());
    EXPECT_EQ(Stored(), Case.Written);
  }
}

TEST_F(ConfirmShredAllTest, TheQuestionIsAskedUnlessSwitchedOffAsANumber) {
  EXPECT_TRUE(ConfirmShredAllWanted());  // missing
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(Settings, true));
  Reg.WriteInteger("ConfirmShredAll", 0);
  EXPECT_FALSE(ConfirmShredAllWanted());
  Reg.WriteInteger("ConfirmShredAll", 1);
  EXPECT_TRUE(ConfirmShredAllWanted());
  Reg.WriteString("ConfirmShredAll", "0");  // text is unreadable: ask
  EXPECT_TRUE(ConfirmShredAllWanted());
}

TEST(AboutBoxTest, ShowsTheVersionAndTheNoticesAndItsNameOpensTheHomePage) {
  std::vector<std::string> Opened;
  ShellOpenHook = [&](HWND, const std::string& Target) { Opened.push_back(Target); };
  TAboutBox Box;
  Box.Version = "Version 1.4";
  ASSERT_TRUE(Box.Create(nullptr));
  ShowWindow(Box.Handle(), SW_SHOW);
  char Text[256];
  GetWindowTextA(Box.Handle(), Text, sizeof Text);
  EXPECT_STREQ(Text, "About Vellumix");
  GetWindowTextA(Box.Item(IDC_VERSION), Text, sizeof Text);
  EXPECT_STREQ(Text, "Version 1.4");
  GetWindowTextA(Box.Item(IDC_PRODUCTNAME), Text, sizeof Text);
  EXPECT_STREQ(Text, "Vellumix");
  std::string Notices(GetWindowTextLengthA(Box.Item(IDC_COMMENTS)) + 1, '\0');
  GetWindowTextA(Box.Item(IDC_COMMENTS), Notices.data(), static_cast<int>(Notices.size()));
  EXPECT_NE(Notices.find("MinGW-w64 runtime\r\nCopyright (c) 2009-2016 the mingw-w64 project"),
            std::string::npos);
  EXPECT_NE(Notices.find("winpthreads\r\nCopyright (c) 2011-2016 mingw-w64 project"),
            std::string::npos);
  EXPECT_NE(Notices.find("Permission is hereby granted"), std::string::npos);

  // A click on the name.
  HWND Name = Box.Item(IDC_PRODUCTNAME);
  SendMessageA(Name, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageA(Name, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  ASSERT_EQ(Opened.size(), 1u);
  EXPECT_EQ(Opened[0].rfind("https://", 0), 0u);

  PressKey(Box, VK_RETURN, Box.Item(IDOK));
  EXPECT_EQ(Box.ModalResult(), IDOK);
  ShellOpenHook = nullptr;
}

}  // namespace
