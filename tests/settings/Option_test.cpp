#include "settings/Option.h"

#include "support/TestKey.h"
#include "support/Windows.h"
#include "win/Application.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

struct TNamedSwitch {
  const char* Name;
  bool TOption::*Member;
};

// In the order the settings are loaded.
const std::array<TNamedSwitch, 20> LoadOrder = {{
    {"DelInetTemp", &TOption::DelInetTemp},
    {"DelCookie", &TOption::DelCookie},
    {"DelHistory", &TOption::DelHistory},
    {"DelLocationBar", &TOption::DelLocationBar},
    {"DelInternetCache", &TOption::DelInternetCache},
    {"DelGoogleHistory", &TOption::DelGoogleHistory},
    {"ClearRecentDoc", &TOption::ClearRecentDoc},
    {"ClearDelphiRecentDoc", &TOption::ClearDelphiRecentDoc},
    {"ClearVbRecentDoc", &TOption::ClearVbRecentDoc},
    {"ClearVcRecentDoc", &TOption::ClearVcRecentDoc},
    {"ClearRlpRecentDoc", &TOption::ClearRlpRecentDoc},
    {"ClearWmpRecentDoc", &TOption::ClearWmpRecentDoc},
    {"DelTempFiles", &TOption::DelTempFiles},
    {"KeepTempFiles", &TOption::KeepTempFiles},
    {"EmptyRecycleBin", &TOption::EmptyRecycleBin},
    {"Autorun", &TOption::Autorun},
    {"MinRun", &TOption::MinRun},
    {"ShowTrayIconOnly", &TOption::ShowTrayIconOnly},
    {"GradientMenu", &TOption::GradientMenu},
    {"EjectCdrom", &TOption::EjectCdrom},
}};

std::size_t IndexOf(const std::string& Name) {
  for (std::size_t I = 0; I < LoadOrder.size(); ++I)
    if (Name == LoadOrder[I].Name) return I;
  ADD_FAILURE() << Name;
  return 0;
}

class OptionTest : public ::testing::Test {
protected:
  TOption Fresh() const {
    TOption O;
    O.KeyPath = Key.Path();
    return O;
  }
  TTestKey Key;
};

TEST_F(OptionTest, SaveThenLoadRoundTripsEverySwitch) {
  // Every switch alone on, then all on: catches a value saved or loaded under another name.
  for (std::size_t On = 0; On <= LoadOrder.size(); ++On) {
    TOption Saved = Fresh();
    for (std::size_t I = 0; I < LoadOrder.size(); ++I)
      Saved.*LoadOrder[I].Member = (On == LoadOrder.size() || I == On);
    Saved.Save();
    for (std::size_t I = 0; I < LoadOrder.size(); ++I)
      EXPECT_EQ(Key.Dword(LoadOrder[I].Name), Saved.*LoadOrder[I].Member ? 1u : 0u) << LoadOrder[I].Name;

    TOption Loaded = Fresh();
    Loaded.Load();
    for (const auto& S : LoadOrder) EXPECT_EQ(Loaded.*S.Member, Saved.*S.Member) << S.Name << " " << On;
  }
}

TEST_F(OptionTest, AnyNonZeroDwordLoadsAsTrue) {
  for (const auto& S : LoadOrder) Key.SetDword(S.Name, 0);
  Key.SetDword("DelCookie", 0x80000000u);
  TOption O = Fresh();
  O.Load();
  EXPECT_TRUE(O.DelCookie);
  EXPECT_FALSE(O.DelInetTemp);
}

// A load that stops early: members before the failure hold what was read, the
// failing one and later ones keep their previous value, then three are forced.
TEST_F(OptionTest, LoadStopsAtFirstUnreadableValue) {
  struct TCase {
    const char* Failing;
    bool WrongType;  // REG_SZ "1" instead of a missing value
  };
  for (TCase C : {TCase{"DelGoogleHistory", false}, TCase{"ClearVbRecentDoc", true},
                  TCase{"DelInetTemp", false}, TCase{"EjectCdrom", true}}) {
    SCOPED_TRACE(C.Failing);
    const std::size_t Stop = IndexOf(C.Failing);
    TTestKey Scratch;  // fresh key each case
    for (std::size_t I = 0; I < LoadOrder.size(); ++I) {
      if (I == Stop) {
        if (C.WrongType) Scratch.SetString(LoadOrder[I].Name, "1");
      } else {
        Scratch.SetDword(LoadOrder[I].Name, 1);  // stored: everything on
      }
    }
    // In memory before loading: alternate, so "kept" and "read" tell apart.
    TOption O;
    O.KeyPath = Scratch.Path();
    for (std::size_t I = 0; I < LoadOrder.size(); ++I) O.*LoadOrder[I].Member = I % 2 == 0;
    O.Load();

    for (std::size_t I = 0; I < LoadOrder.size(); ++I) {
      const std::string Name = LoadOrder[I].Name;
      bool Expected = I < Stop ? true : I % 2 == 0;
      if (Name == "DelGoogleHistory" || Name == "GradientMenu") Expected = false;
      if (Name == "KeepTempFiles") Expected = true;
      EXPECT_EQ(O.*LoadOrder[I].Member, Expected) << Name;
    }
  }
}

TEST_F(OptionTest, LoadOfMissingKeyCreatesItAndForcesDefaults) {
  TOption O = Fresh();
  O.GradientMenu = O.DelGoogleHistory = O.Autorun = true;
  O.Load();
  EXPECT_TRUE(Key.Exists());
  EXPECT_FALSE(O.GradientMenu);
  EXPECT_FALSE(O.DelGoogleHistory);
  EXPECT_TRUE(O.KeepTempFiles);
  EXPECT_TRUE(O.Autorun);  // not read, so kept
}

TEST_F(OptionTest, WriteDefaultsOnFreshProfile) {
  TOption O = Fresh();
  O.WriteDefaults();
  for (const auto& S : LoadOrder)
    EXPECT_EQ(Key.Dword(S.Name), std::string(S.Name) == "KeepTempFiles" ? 1u : 0u) << S.Name;
  EXPECT_EQ(Key.Dword("ConfirmShredAll"), 1u);
  EXPECT_EQ(Key.String("CBxSchedule_Checked", "TOptionDlg"), "False");

  TOption Loaded = Fresh();
  Loaded.Load();
  for (const auto& S : LoadOrder)
    EXPECT_EQ(Loaded.*S.Member, std::string(S.Name) == "KeepTempFiles") << S.Name;
}

TEST_F(OptionTest, EmptyKeyPathTouchesNothing) {
  TOption O;
  O.DelCookie = true;
  O.Load();
  O.Save();
  O.WriteDefaults();
  EXPECT_TRUE(O.DelCookie);
  EXPECT_FALSE(O.KeepTempFiles);
  // Nothing written to the root of HKCU either.
  EXPECT_NE(RegQueryValueExA(HKEY_CURRENT_USER, "DelCookie", nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_NE(RegQueryValueExA(HKEY_CURRENT_USER, "ConfirmShredAll", nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
}

// A key name longer than the registry allows can be neither created nor opened.
TEST_F(OptionTest, UnopenableKeySaysSoAndKeepsMembers) {
  struct TCase {
    void (TOption::*Operation)();
    const char* Text;
  };
  for (TCase C : {TCase{&TOption::Load, "Error in Opening Created Key"},
                  TCase{&TOption::WriteDefaults, "Error in Opening Created Key"},
                  TCase{&TOption::Save, "Error in Opening Created Registry"}}) {
    SCOPED_TRACE(C.Text);
    TOption O;
    O.KeyPath = Key.Sub(std::string(300, 'x'));
    O.DelCookie = true;
    Application.SetTitle("Vellumix");
    TBoxWatcher Box("Vellumix");
    (O.*C.Operation)();
    ASSERT_TRUE(Box.Answered());
    EXPECT_EQ(Box.Text(), C.Text);
    EXPECT_TRUE(O.DelCookie);
    EXPECT_FALSE(O.KeepTempFiles);
  }
}

}  // namespace
