#pragma once
// The program's date-time: days since 30 December 1899 as a double, the
// fraction being the time of day. Used for file and cache times and the
// schedule.

using TDateTime = double;

namespace datetime_detail {
// Days from 1 January 1970 of a proleptic Gregorian date.
constexpr long long DaysFromCivil(int Year, int Month, int Day) {
  Year -= Month <= 2;
  const long long Era = (Year >= 0 ? Year : Year - 399) / 400;
  const unsigned YearOfEra = static_cast<unsigned>(Year - Era * 400);
  const unsigned DayOfYear = (153 * (Month + (Month > 2 ? -3 : 9)) + 2) / 5 + Day - 1;
  const unsigned DayOfEra = YearOfEra * 365 + YearOfEra / 4 - YearOfEra / 100 + DayOfYear;
  return Era * 146097 + static_cast<long long>(DayOfEra) - 719468;
}
}  // namespace datetime_detail

constexpr TDateTime EncodeDate(int Year, int Month, int Day) {
  return static_cast<double>(datetime_detail::DaysFromCivil(Year, Month, Day) -
                             datetime_detail::DaysFromCivil(1899, 12, 30));
}

constexpr TDateTime EncodeTime(int Hour, int Minute, int Second, int Millisecond = 0) {
  return (((Hour * 60 + Minute) * 60 + Second) * 1000 + Millisecond) / 86400000.0;
}

static_assert(EncodeDate(1899, 12, 30) == 0);
static_assert(EncodeDate(1900, 1, 1) == 2);
static_assert(EncodeDate(2000, 1, 1) == 36526);
