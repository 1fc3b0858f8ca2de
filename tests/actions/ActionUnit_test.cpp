#include "actions/ActionUnit.h"

#include "support/TestKey.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Now() {
  char Buffer[80];
  int Len = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, Buffer, sizeof Buffer);
  return std::string(Buffer, Len - 1);
}

TEST(ActionLog, LineIsTimeSentenceDetailEachFollowedByABlank) {
  TAction Action;
  // The clock may tick while the line is made: its time is one of the two.
  const std::string Before = Now();
  ASSERT_TRUE(Action.AddMessage("Succeeded in delete cookies.", ""));
  const std::string After = Now();
  EXPECT_TRUE(Action.Messages[0] == Before + " Succeeded in delete cookies.  " ||
              Action.Messages[0] == After + " Succeeded in delete cookies.  ")
      << Action.Messages[0];
  Action.AddMessage("Eject CD-ROM failed.", "detail text");
  ASSERT_GE(Action.Messages.size(), 2u);
  const std::string& Line = Action.Messages[0];
  EXPECT_NE(Line.find(" Eject CD-ROM failed. detail text "), std::string::npos);
  EXPECT_EQ(Line.substr(Line.size() - std::string(" Eject CD-ROM failed. detail text ").size()),
            " Eject CD-ROM failed. detail text ");
  EXPECT_EQ(Action.Messages[1].substr(Action.Messages[1].size() - 2), "  ");
}

TEST(ActionLog, NewestFirstAndTrimmedToTwentySix) {
  TAction Action;
  for (int I = 0; I < 30; ++I) Action.AddMessage("line " + std::to_string(I), "");
  ASSERT_EQ(Action.Messages.size(), 30u);
  EXPECT_NE(Action.Messages.front().find(" line 29 "), std::string::npos);

  Action.TrimMessages();
  ASSERT_EQ(Action.Messages.size(), 26u);
  EXPECT_NE(Action.Messages[0].find(" line 29 "), std::string::npos);
  EXPECT_NE(Action.Messages[25].find(" line 4 "), std::string::npos);

  Action.TrimMessages();  // at 26 nothing changes
  EXPECT_EQ(Action.Messages.size(), 26u);
  TAction Short;
  Short.AddMessage("only", "");
  Short.TrimMessages();
  EXPECT_EQ(Short.Messages.size(), 1u);
}

class ClearKeyValuesTest : public ::testing::Test {
protected:
  TTestKey Key;
  TAction Action;
};

TEST_F(ClearKeyValuesTest, DeletesValuesButNotSubkeys) {
  Key.SetString("File1", "C:\\a.txt");
  Key.SetDword("MaxFiles", 4);
  Key.SetString("", "default value");
  Key.SetString("Kept", "x", "Sub");
  EXPECT_TRUE(Action.ClearKeyValues(HKEY_CURRENT_USER, Key.Absolute(), true));
  EXPECT_FALSE(Key.HasValue("File1"));
  EXPECT_FALSE(Key.HasValue("MaxFiles"));
  EXPECT_FALSE(Key.HasValue(""));
  EXPECT_TRUE(Key.Exists("Sub"));
  EXPECT_EQ(Key.String("Kept", "Sub"), "x");
}

TEST_F(ClearKeyValuesTest, EmptyKeyIsFine) {
  Key.CreateKey();
  EXPECT_TRUE(Action.ClearKeyValues(HKEY_CURRENT_USER, Key.Absolute(), true));
  EXPECT_TRUE(Key.Exists());
}

TEST_F(ClearKeyValuesTest, MissingKeyRaisesWithThePathAsGiven) {
  const std::string Path = Key.Absolute();
  try {
    Action.ClearKeyValues(HKEY_CURRENT_USER, Path, true);
    FAIL() << "no exception";
  } catch (const EOpenRegErrors& E) {
    EXPECT_EQ(std::string(E.what()), "Can't open " + Path);
    EXPECT_STREQ(E.ClassName(), "EOpenRegErrors");
  }
  EXPECT_FALSE(Key.Exists());  // opened, never created
}

TEST_F(ClearKeyValuesTest, DisabledDoesNothing) {
  Key.SetDword("Stays", 1);
  EXPECT_TRUE(Action.ClearKeyValues(HKEY_CURRENT_USER, Key.Absolute(), false));
  EXPECT_TRUE(Key.HasValue("Stays"));
  EXPECT_TRUE(Action.ClearKeyValues(HKEY_CURRENT_USER, Key.Absolute() + "\\missing", false));
}

int Seen;
LRESULT CALLBACK ProbeProc(HWND W, UINT M, WPARAM Wp, LPARAM Lp) {
  if (M == WM_APP) ++Seen;
  return DefWindowProcA(W, M, Wp, Lp);
}

// Pending window messages are handled before each deletion, so the window stays alive.
TEST_F(ClearKeyValuesTest, HandlesPendingMessagesBeforeDeleting) {
  Seen = 0;
  WNDCLASSA Class{};
  Class.lpszClassName = "VellumixPumpProbe";
  Class.lpfnWndProc = ProbeProc;
  RegisterClassA(&Class);
  HWND Probe = CreateWindowA(Class.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(Probe);

  Key.CreateKey();
  PostMessageA(Probe, WM_APP, 0, 0);
  Action.ClearKeyValues(HKEY_CURRENT_USER, Key.Absolute(), true);
  EXPECT_EQ(Seen, 0);  // no values, no deletions, no pumping

  Key.SetDword("One", 1);
  Action.ClearKeyValues(HKEY_CURRENT_USER, Key.Absolute(), true);
  EXPECT_EQ(Seen, 1);
  DestroyWindow(Probe);
}

}  // namespace
