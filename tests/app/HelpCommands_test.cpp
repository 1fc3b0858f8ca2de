// The main window's Options command, the shred-all question, the help
// commands and the About box, with the real main window in this process.
#include "app/UMain.h"

#include "app/MenuLook.h"
#include "base/WebPages.h"
#include "resource.h"
#include "support/TempTree.h"
#include "support/TestKey.h"
#include "support/Windows.h"
#include "win/Registry.h"
#include "win/Shell.h"
#include "win/ShellOpen.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

class HelpCommandsTest : public ::testing::Test {
protected:
  void SetUp() override {
    Application.SetTitle("Vellumix");
    Application.Initialize();
    Key.SetString("FirstTime", "1", "Software\\Vellumix");
    HKEY Root;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Key.Path().c_str(), 0, KEY_ALL_ACCESS, &Root),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, Root), ERROR_SUCCESS);
    RegCloseKey(Root);
    ShellOpenHook = [this](HWND, const std::string& Target) { Opened.push_back(Target); };
    Form = std::make_unique<TMainForm>("");
  }
  void TearDown() override {
    if (Driver.joinable()) Driver.join();
    Form.reset();
    ShellOpenHook = nullptr;
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    MSG Msg;
    while (PeekMessageA(&Msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }

  // Runs Body on a second thread once a dialog of this caption shows; the
  // main thread meanwhile sits in the dialog's modal loop. When no dialog
  // comes, the main thread is told to quit, which ends a modal loop that
  // nothing would end otherwise.
  void WhenShown(const char* Caption, std::function<void(HWND)> Body) {
    Found = false;
    Driver = std::thread([this, Caption, Body = std::move(Body), Main = GetCurrentThreadId()] {
      HWND Dialog = nullptr;
      // Visible: created with all its controls, and in its modal loop.
      if (WaitUntil([&] {
            Dialog = FindWindowA("#32770", Caption);
            return Dialog && IsWindowVisible(Dialog);
          }, 60s)) {
        Found = true;
        Body(Dialog);
      } else {
        PostThreadMessageA(Main, WM_QUIT, 0, 0);
      }
    });
  }
  static void PostKey(HWND Window, UINT Key) {
    PostMessageA(Window, WM_KEYDOWN, Key, 1);
    PostMessageA(Window, WM_KEYUP, Key, 1 | (3u << 30));
  }

  TTestKey Key;
  std::unique_ptr<TMainForm> Form;
  std::vector<std::string> Opened;
  std::thread Driver;
  std::atomic<bool> Found{false};
};

// The local page when it lies beside the program, the web page otherwise;
// each way in to each command.
TEST_F(HelpCommandsTest, HelpOpensTheLocalPageWhenItIsThereAndTheWebPageOtherwise) {
  struct TCase {
    const char* Name;
    std::function<void()> Run;
    const char* File;
    const char* Url;
  };
  TMainForm& F = *Form;
  auto Menu = [&](int Id) { return [&F, Id] { SendMessageA(F.Handle(), WM_COMMAND, Id, 0); }; };
  auto F1 = [&] {
    PostMessageA(F.Handle(), WM_KEYDOWN, VK_F1, 1);
    Application.ProcessMessages();
  };
  auto Button = [&] { SendMessageA(F.SpeedItemhelp, BM_CLICK, 0, 0); };
  const TCase Cases[] = {
      {"Help menu", Menu(IDC_HELPCONTENTS), ManualFile, ManualUrl},
      {"F1", F1, ManualFile, ManualUrl},
      {"toolbar Help", Button, ManualFile, ManualUrl},
      {"questions", Menu(IDC_FAQ), FaqFile, FaqUrl},
      {"home page", Menu(IDC_HOMEPAGE), nullptr, HomePageUrl},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    for (bool Installed : {false, true}) {
      std::string Local = Case.File ? ExeFolder() + Case.File : "";
      if (Installed && Case.File) {
        HANDLE File = CreateFileA(Local.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(File, INVALID_HANDLE_VALUE);
        CloseHandle(File);
      }
      Opened.clear();
      Case.Run();
      if (Case.File) DeleteFileA(Local.c_str());
      ASSERT_EQ(Opened.size(), 1u);
      EXPECT_EQ(Opened[0], Installed && Case.File ? Local : std::string(Case.Url));
    }
  }
}

TEST_F(HelpCommandsTest, AboutShowsTheVersionFromTheVersionHeader) {
  std::string Version;
  WhenShown("About Vellumix", [&](HWND Box) {
    Version = WindowText(GetDlgItem(Box, IDC_VERSION));
    PostKey(GetDlgItem(Box, IDOK), VK_RETURN);
  });
  SendMessageA(Form->Handle(), WM_COMMAND, IDC_ABOUT, 0);
  Driver.join();
  ASSERT_TRUE(Found);
  EXPECT_EQ(Version, "Version 1.4");
  EXPECT_EQ(Form->AboutBox, nullptr);
  EXPECT_TRUE(IsWindowEnabled(Form->Handle()));
}

TEST_F(HelpCommandsTest, TheShredAllQuestionIsAskedUnlessSwitchedOffAndEscBacksOut) {
  WhenShown("Confirm Shred all items", [](HWND Box) {
    SendMessageA(GetDlgItem(Box, IDC_CBXCONFIRMSHREDALL), BM_CLICK, 0, 0);  // untick
    PostKey(GetDlgItem(Box, IDNO), VK_ESCAPE);
  });
  EXPECT_EQ(Form->OpenConfirmShredAll(), IDCANCEL);
  Driver.join();
  ASSERT_TRUE(Found);
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey("Software\\Vellumix", false));
  EXPECT_FALSE(Reg.ValueExists("ConfirmShredAll"));

  Reg.WriteInteger("ConfirmShredAll", 0);
  EXPECT_EQ(Form->OpenConfirmShredAll(), IDYES);  // no dialog: nothing drives one
}

TEST_F(HelpCommandsTest, OptionsFollowTheCompanionWhileOpenAndOKAppliesAtOnce) {
  TMainForm& F = *Form;
  bool FollowedOn = false, FollowedOff = false;
  WhenShown("Options Dialog", [&](HWND Dialog) {
    HWND Main = F.Handle();
    auto Box = [&](int Id) {
      HWND Found = nullptr;
      WaitUntil([&] {
        for (HWND Page = FindWindowExA(Dialog, nullptr, "#32770", nullptr); Page && !Found;
             Page = FindWindowExA(Dialog, Page, "#32770", nullptr))
          Found = GetDlgItem(Page, Id);
        return Found != nullptr;
      });
      return Found;
    };
    auto Ticked = [](HWND Box) { return SendMessageA(Box, BM_GETCHECK, 0, 0) == BST_CHECKED; };
    HWND Blinder = Box(IDC_CBXACTIVEBLINDER);
    PostMessageA(Main, RegisterWindowMessageA("Enable Blinder"), 0, 0);
    FollowedOn = WaitUntil([&] { return Ticked(Blinder); });
    PostMessageA(Main, RegisterWindowMessageA("Disable Blinder"), 0, 0);
    FollowedOff = WaitUntil([&] { return !Ticked(Blinder); });
    SendMessageA(Box(IDC_CBXSCHEDULE), BM_CLICK, 0, 0);
    SendMessageA(Box(IDC_CBXTRAYICON), BM_CLICK, 0, 0);
    SendMessageA(Box(IDC_CBXGRADIENTMENU), BM_CLICK, 0, 0);
    PostMessageA(Dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_FALSE(F.Timer.Enabled());
  EXPECT_THAT(MenuLooks(F.Handle()), ::testing::Each(TLook::Plain));
  SendMessageA(F.Handle(), WM_COMMAND, IDC_OPTION, 0);
  Driver.join();
  ASSERT_TRUE(Found);
  EXPECT_TRUE(FollowedOn);
  EXPECT_TRUE(FollowedOff);
  EXPECT_EQ(F.OptionDlg, nullptr);
  EXPECT_TRUE(F.Timer.Enabled());
  EXPECT_TRUE(F.Option->ShowTrayIconOnly);
  EXPECT_TRUE(GetMenuState(GetMenu(F.Handle()), IDC_TRAYICON, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_FALSE(IsWindowVisible(Application.Handle()));
  EXPECT_THAT(MenuLooks(F.Handle()), ::testing::Each(TLook::Gradient));
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey("Software\\Vellumix", false));
  EXPECT_EQ(Reg.ReadInteger("ShowTrayIconOnly"), 1u);
}

}  // namespace

namespace {

// A page no program opens: the shell's silence becomes a box that names it.
TEST(ShellOpenTest, APageNoProgramOpensIsNamedInABox) {
  Application.SetTitle("Vellumix");
  TTempTree Tree("HelpWithoutAProgram");
  const std::string Page = Tree.File("manual.vellumix-no-program");
  EXPECT_NE(ShellOpen(nullptr, Page), 0u);
  TBoxWatcher Box("Vellumix");
  EXPECT_FALSE(ShellOpenOrSay(nullptr, Page));
  ASSERT_TRUE(Box.Answered());
  EXPECT_THAT(Box.Text(), ::testing::HasSubstr("Vellumix could not open " + Page));
}

}  // namespace
