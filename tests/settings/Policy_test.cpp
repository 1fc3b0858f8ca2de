// The administrator's policies: the machine's values win over the user's, and
// anything absent, of another type or out of range is not configured.
#include "settings/Policy.h"

#include "support/TestPolicies.h"

#include <gtest/gtest.h>

namespace {

const HKEY Machine = HKEY_LOCAL_MACHINE;
const HKEY User = HKEY_CURRENT_USER;

TEST(Policy, AnItemIsForcedByTheMachineBeforeTheUser) {
  TTestKey Key;
  TTestPolicies Policies(Key);
  EXPECT_EQ(ItemPolicy("ie.cache"), TPolicy::NotSet) << "no policy key at all";

  Policies.SetDword(User, "Items\\ie.cache", 1);
  Policies.SetDword(User, "Items\\ie.cookies", 0);
  Policies.SetDword(User, "Items\\system.temp", 1);
  Policies.SetDword(Machine, "Items\\system.temp", 0);
  Policies.SetDword(Machine, "Items\\chrome.cache", 7);
  Policies.SetString(Machine, "Items\\ie.history", "0");
  Policies.SetDword(User, "Items\\ie.history", 1);
  Policies.SetString(User, "Items\\vb.recent", "1");
  Policies.SetDword(User, "ie.typed_urls", 1);  // not below Items

  EXPECT_EQ(ItemPolicy("ie.cache"), TPolicy::ForcedOn);
  EXPECT_EQ(ItemPolicy("ie.cookies"), TPolicy::ForcedOff);
  EXPECT_EQ(ItemPolicy("system.temp"), TPolicy::ForcedOff) << "the machine wins";
  EXPECT_EQ(ItemPolicy("chrome.cache"), TPolicy::ForcedOn);
  EXPECT_EQ(ItemPolicy("ie.history"), TPolicy::ForcedOn) << "text is no policy; the user's DWORD holds";
  EXPECT_EQ(ItemPolicy("vb.recent"), TPolicy::NotSet);
  EXPECT_EQ(ItemPolicy("ie.typed_urls"), TPolicy::NotSet);
  EXPECT_EQ(ItemPolicy("wmp.recent"), TPolicy::NotSet);
}

TEST(Policy, LockAndScheduleValues) {
  TTestKey Key;
  TTestPolicies Policies(Key);
  EXPECT_FALSE(SelectionLocked());
  EXPECT_FALSE(SchedulePolicySet());
  EXPECT_EQ(PolicyScheduleKind(), std::nullopt);
  EXPECT_EQ(PolicyScheduleTime(), std::nullopt);

  Policies.SetDword(User, "LockSelection", 1);
  Policies.SetDword(User, "ScheduleEnabled", 1);
  Policies.SetDword(Machine, "ScheduleEnabled", 0);
  Policies.SetDword(User, "ScheduleKind", 1);
  Policies.SetString(User, "ScheduleTime", "18:45");
  Policies.SetString(Machine, "ScheduleTime", "7:05");
  Policies.SetDword(Machine, "ScheduleAtStart", 1);
  Policies.SetDword(User, "ScheduleAtShutdown", 0);
  EXPECT_TRUE(SelectionLocked());
  EXPECT_EQ(PolicyScheduleEnabled(), false);
  EXPECT_EQ(PolicyScheduleKind(), 1);
  EXPECT_EQ(PolicyScheduleTime(), (TTimeOfDay{7, 5, 0}));
  EXPECT_EQ(PolicyScheduleAtStart(), true);
  EXPECT_EQ(PolicyScheduleAtShutdown(), false);
  EXPECT_TRUE(SchedulePolicySet());

  Policies.SetDword(Machine, "LockSelection", 0);  // the machine unlocks
  Policies.SetDword(Machine, "ScheduleKind", 3);   // no such kind: the user's holds
  Policies.SetString(Machine, "ScheduleTime", "24:00");
  EXPECT_FALSE(SelectionLocked());
  EXPECT_EQ(PolicyScheduleKind(), 1);
  EXPECT_EQ(PolicyScheduleTime(), (TTimeOfDay{18, 45, 0}));
}

TEST(Policy, TimesAreHoursAndMinutes) {
  const struct {
    const char* Text;
    std::optional<TTimeOfDay> Time;
  } Cases[] = {
      {"00:00", TTimeOfDay{0, 0, 0}}, {"9:30", TTimeOfDay{9, 30, 0}}, {"23:59", TTimeOfDay{23, 59, 0}},
      {"24:00", std::nullopt},        {"12:60", std::nullopt},        {"12:5", std::nullopt},
      {"123:45", std::nullopt},       {":45", std::nullopt},          {"12:45:00", std::nullopt},
      {"1a:30", std::nullopt},        {" 9:30", std::nullopt},        {"", std::nullopt},
      {"-1:30", std::nullopt},
  };
  for (const auto& Case : Cases) EXPECT_EQ(ParsePolicyTime(Case.Text), Case.Time) << '"' << Case.Text << '"';
}

}  // namespace
