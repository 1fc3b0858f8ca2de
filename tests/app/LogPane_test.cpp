// The log pane's own menu: save, copy, select all, clear.
#include "app/MainFormFixture.h"

#include "resource.h"
#include "support/TempTree.h"
#include "support/Windows.h"
#include "win/WidePath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

// What a file holds, or nothing when it cannot be opened as a file.
std::optional<std::string> ReadBytes(const std::wstring& Path) {
  HANDLE File = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string Bytes(GetFileSize(File, nullptr), '\0');
  DWORD Read = 0;
  ReadFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Read, nullptr);
  CloseHandle(File);
  Bytes.resize(Read);
  return Bytes;
}

// The names in a folder, "." and ".." aside.
std::vector<std::wstring> Names(const std::string& Folder) {
  std::vector<std::wstring> Found;
  WIN32_FIND_DATAW Data;
  HANDLE Find = FindFirstFileW((Widen(Folder) + L"\\*").c_str(), &Data);
  if (Find == INVALID_HANDLE_VALUE) return Found;
  do {
    const std::wstring Name = Data.cFileName;
    if (Name != L"." && Name != L"..") Found.push_back(Name);
  } while (FindNextFileW(Find, &Data));
  FindClose(Find);
  return Found;
}

std::wstring ClipboardText() {
  std::wstring Text;
  if (!OpenClipboard(nullptr)) return L"<clipboard busy>";
  if (HANDLE Data = GetClipboardData(CF_UNICODETEXT)) {
    Text = static_cast<const wchar_t*>(GlobalLock(Data));
    GlobalUnlock(Data);
  }
  CloseClipboard();
  return Text;
}

class LogPaneTest : public MainFormTest {
protected:
  void TearDown() override {
    TMainForm::AskSaveLogName = TMainForm::ShowSaveLogDialog;
    MainFormTest::TearDown();
  }
  // The form with these lines in its log and its pane.
  TMainForm& WithLog(std::initializer_list<const char*> Lines) {
    TMainForm& F = Create();
    for (const char* Line : Lines) F.Action->Messages.push_back(Line);
    F.RefreshMemo();
    return F;
  }
  // Save Log as the user gives File for a name.
  static void SaveAs(TMainForm& F, const std::wstring& File) {
    static std::wstring Chosen;
    Chosen = File;
    TMainForm::AskSaveLogName = [](HWND) { return Chosen; };
    F.LogPaneCommand(IDC_LOGSAVE);
  }
};

TEST_F(LogPaneTest, SaveLogWritesThePaneAsUtf8TextWithCrLfLineEnds) {
  TTempTree Tree("LogPaneSave");
  // A name beyond the ANSI code pages, and an older, longer file in its place.
  const std::string Name = Tree.File("журнал 日本.txt", std::string(500, 'x'));
  TMainForm& F = WithLog({"Shred started", "Größe 日本", "two\nparts"});

  SaveAs(F, Widen(Name));

  EXPECT_EQ(ReadBytes(Widen(Name)),
            std::string("Shred started\r\nGr\xC3\xB6\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC\r\ntwo\r\nparts"));
  EXPECT_EQ(Names(Tree.Path()), std::vector<std::wstring>{Widen("журнал 日本.txt")})
      << "nothing else is left beside it";
}

// The error box names the file and gives the system's reason; no file is left.
TEST_F(LogPaneTest, AnUnwritableTargetIsReportedAndLeavesNoFile) {
  TTempTree Tree("LogPaneUnwritable");
  TMainForm& F = WithLog({"a line"});
  struct TCase {
    std::string Target;
    const char* What;
  };
  for (const TCase& C : {TCase{Tree.Folder("a folder"), "a folder"},
                         TCase{Tree["missing\\log.txt"], "a missing folder"}}) {
    SCOPED_TRACE(C.What);
    {
      TBoxWatcher Box("Vellumix");
      SaveAs(F, Widen(C.Target));
      ASSERT_TRUE(Box.Answered());
      const std::string Prefix = "Cannot save the log to \"" + C.Target + "\": ";
      EXPECT_EQ(Box.Text().substr(0, Prefix.size()), Prefix);
      EXPECT_GT(Box.Text().size(), Prefix.size() + 3) << "a reason follows: " << Box.Text();
    }
    const DWORD Attributes = GetFileAttributesW(Widen(C.Target).c_str());
    if (C.What == std::string("a folder")) {
      EXPECT_NE(Attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
      EXPECT_TRUE(Names(C.Target).empty());
    } else {
      EXPECT_EQ(Attributes, INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_EQ(Names(Tree.Path()), std::vector<std::wstring>{L"a folder"}) << "no file beside it";
  }
}

TEST_F(LogPaneTest, CopyNeedsASelectionAndPutsItOnTheClipboard) {
  TMainForm& F = WithLog({"first", "Größe 日本"});
  auto Enabled = [&](UINT Id) {
    TMenu Menu = F.LogPaneMenu();
    return !(GetMenuState(GetSubMenu(Menu.get(), 0), Id, MF_BYCOMMAND) & MF_GRAYED);
  };
  SendMessageW(F.Memo, EM_SETSEL, 3, 3);
  EXPECT_FALSE(Enabled(IDC_LOGCOPY));
  EXPECT_TRUE(Enabled(IDC_LOGSAVE));

  // "first\r\n" is 7 characters: the selection is the second line's first word.
  SendMessageW(F.Memo, EM_SETSEL, 7, 12);
  ASSERT_TRUE(Enabled(IDC_LOGCOPY));
  F.LogPaneCommand(IDC_LOGCOPY);
  EXPECT_EQ(ClipboardText(), L"Gr\u00f6\u00dfe");

  F.LogPaneCommand(IDC_LOGSELECTALL);
  DWORD Start = 1, End = 0;
  SendMessageW(F.Memo, EM_GETSEL, reinterpret_cast<WPARAM>(&Start), reinterpret_cast<LPARAM>(&End));
  EXPECT_EQ(Start, 0u);
  EXPECT_EQ(End, static_cast<DWORD>(GetWindowTextLengthW(F.Memo)));
}

TEST_F(LogPaneTest, ClearEmptiesTheLogAndThePane) {
  TMainForm& F = WithLog({"one", "two"});
  F.LogPaneCommand(IDC_LOGCLEAR);
  EXPECT_TRUE(F.Action->Messages.empty());
  EXPECT_EQ(GetWindowTextLengthW(F.Memo), 0);
  TMenu Menu = F.LogPaneMenu();
  for (UINT Id : {IDC_LOGCOPY, IDC_LOGSELECTALL, IDC_LOGSAVE, IDC_LOGCLEAR})
    EXPECT_TRUE(GetMenuState(GetSubMenu(Menu.get(), 0), Id, MF_BYCOMMAND) & MF_GRAYED)
        << "an empty pane offers nothing, item " << Id;
}

// Whichever way it is asked for, the pane shows our menu and not the edit
// control's own (Undo, Cut, Paste...).
// The command IDs of the menu seen, read while it is open.
std::vector<UINT> ShownItems;
void CALLBACK CloseShownMenu(HWND, UINT, UINT_PTR, DWORD) {
  if (HWND Popup = FindWindowA("#32768", nullptr); Popup && IsWindowVisible(Popup)) {
    HMENU Menu = reinterpret_cast<HMENU>(SendMessageA(Popup, MN_GETHMENU, 0, 0));
    ShownItems.clear();
    for (int I = 0; I < GetMenuItemCount(Menu); ++I) ShownItems.push_back(GetMenuItemID(Menu, I));
    EndMenu();
  }
}

// Ctrl+A as the message loop meets it: the key goes to the window with the
// focus, and the loop turns it into the accelerator's command.
void PressCtrlA(HWND Focus) {
  BYTE Keys[256], Held[256];
  GetKeyboardState(Keys);
  std::copy(std::begin(Keys), std::end(Keys), std::begin(Held));
  Held[VK_CONTROL] = Held[VK_LCONTROL] = 0x80;
  SetKeyboardState(Held);
  PostMessageA(Focus, WM_KEYDOWN, 'A', 0x001E0001);
  Application.ProcessMessages();
  SetKeyboardState(Keys);
}

// In the log pane Ctrl+A selects the text, as in any text window; elsewhere it
// stays the key of All Items, which asks first.
TEST_F(LogPaneTest, CtrlASelectsThePanesTextOnlyWhileThePaneHasTheFocus) {
  Key.SetDword("ConfirmShredAll", 1, "Software\\Vellumix");
  TMainForm& F = WithLog({"first line", "second line"});
  F.Show();
  Pump();
  SetFocus(F.Memo);
  ASSERT_EQ(GetFocus(), F.Memo);
  {
    TBoxWatcher Question("Confirm Shred all items", IDNO, 500ms);
    PressCtrlA(F.Memo);
    EXPECT_FALSE(Question.Answered()) << "the question came while the pane had the focus";
  }
  DWORD Start = 1, End = 0;
  SendMessageW(F.Memo, EM_GETSEL, reinterpret_cast<WPARAM>(&Start), reinterpret_cast<LPARAM>(&End));
  EXPECT_EQ(Start, 0u);
  EXPECT_EQ(End, static_cast<DWORD>(GetWindowTextLengthW(F.Memo)));
  EXPECT_EQ(F.Action->Messages.size(), 2u);

  SetFocus(F.Handle());
  ASSERT_EQ(GetFocus(), F.Handle());
  {
    TBoxWatcher Question("Confirm Shred all items", IDNO);
    PressCtrlA(F.Handle());
    EXPECT_TRUE(Question.Answered());
  }
  EXPECT_EQ(F.Action->Messages.size(), 2u) << "No leaves the log as it was";
}

TEST_F(LogPaneTest, TheContextMenuIsThePanesOwn) {
  TMainForm& F = WithLog({"a line"});
  F.Show();
  Pump();
  RECT Pane;
  GetWindowRect(F.Memo, &Pane);
  for (LPARAM At : {MAKELPARAM(Pane.left + 10, Pane.top + 10), MAKELPARAM(-1, -1)}) {
    ShownItems.clear();
    const UINT_PTR Timer = SetTimer(nullptr, 0, 50, CloseShownMenu);
    // Returns once the timer has seen the menu and closed it.
    SendMessageW(F.Memo, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(F.Memo), At);
    KillTimer(nullptr, Timer);
    const std::vector<UINT> Ours = {IDC_LOGCOPY, IDC_LOGSELECTALL, 0, IDC_LOGSAVE, IDC_LOGCLEAR};
    EXPECT_EQ(ShownItems, Ours) << "at " << At;
  }
}

}  // namespace
