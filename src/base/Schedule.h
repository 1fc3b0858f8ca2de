#pragma once
// The timed schedule's rules: which tick starts a run, and when the next tick
// is due. Kept free of the platform so that it can be fuzzed and benchmarked.

#include <cmath>
#include <optional>

struct TTimeOfDay {
  int Hour = 0, Minute = 0, Second = 0;
  bool operator==(const TTimeOfDay&) const = default;
};

// The item index of the options dialog's interval list, as stored.
enum TScheduleKind { skMinutely = 0, skHourly = 1, skDaily = 2 };

// The time of day of a date-time (days since 30 December 1899, the fraction
// being the time; before that day the fraction counts forward too). Rounded to
// the millisecond, then cut to the second. None for a value that is no number.
inline std::optional<TTimeOfDay> TimeOfDay(double DateTime) {
  if (!std::isfinite(DateTime)) return std::nullopt;
  constexpr long long MsPerDay = 86'400'000;
  long long Ms = std::llround(std::fabs(DateTime - std::trunc(DateTime)) * MsPerDay);
  if (Ms >= MsPerDay) Ms = MsPerDay - 1;  // a hair below midnight stays on its day
  const int Seconds = static_cast<int>(Ms / 1000);
  return TTimeOfDay{Seconds / 3600, Seconds / 60 % 60, Seconds % 60};
}

// Whether the tick at Now starts a run. Daily needs the stored start time: a
// daily schedule without one never runs. An unknown kind never runs.
inline bool ScheduleDue(int Kind, const TTimeOfDay& Now, const std::optional<TTimeOfDay>& Start) {
  switch (Kind) {
    case skMinutely: return Now.Second == 0;
    case skHourly: return Now.Minute == 0 && Now.Second == 0;
    case skDaily: return Start && *Start == Now;
  }
  return false;
}

// A periodic one-second timer drifts later on every tick (the system rounds
// its period up), so now and then a second would pass untested. Instead each
// tick is due just after the next whole second, whatever the time of the
// tick before: the margin keeps a tick that fires a little early on the right
// side of the second.
inline constexpr unsigned TickMarginMs = 15;
inline unsigned MsToNextTick(unsigned Millisecond) {
  return 1000 - Millisecond % 1000 + TickMarginMs;
}
