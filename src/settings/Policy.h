#pragma once
// What an administrator has decided: values below Software\Policies\Vellumix,
// read from HKEY_LOCAL_MACHINE first, then HKEY_CURRENT_USER (Group Policy
// writes both and removes its values when it no longer applies). The program
// and its installers never write there. A value that is absent, of another
// type or out of range is not configured at its root: the user's policy, and
// then the user's own choice, holds.
//
//   Items\<id>          DWORD  1 the item is always cleared, 0 never
//   LockSelection       DWORD  non-zero: the user cannot change the items
//   ScheduleEnabled     DWORD  the timed schedule on (1) or off (0)
//   ScheduleKind        DWORD  0 every minute, 1 every hour, 2 daily
//   ScheduleTime        REG_SZ "HH:MM", the daily run's time (24 hours)
//   ScheduleAtStart     DWORD  a run when the program starts with Windows
//   ScheduleAtShutdown  DWORD  a run when Windows ends the session
//
// installer/policies/Vellumix.admx describes the same values to Group Policy.

#include "base/Schedule.h"

#include <optional>
#include <string_view>

enum class TPolicy { NotSet, ForcedOn, ForcedOff };

TPolicy ItemPolicy(std::string_view Id);
bool SelectionLocked();

std::optional<bool> PolicyScheduleEnabled();
// One of TScheduleKind.
std::optional<int> PolicyScheduleKind();
std::optional<TTimeOfDay> PolicyScheduleTime();
std::optional<bool> PolicyScheduleAtStart();
std::optional<bool> PolicyScheduleAtShutdown();
// Whether any of the schedule's values is set by policy.
bool SchedulePolicySet();

// "HH:MM" (hour 0-23, one or two digits; minute two digits), none for anything else.
std::optional<TTimeOfDay> ParsePolicyTime(std::string_view Text);
