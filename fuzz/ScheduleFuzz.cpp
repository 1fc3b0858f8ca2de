// The schedule's rules on arbitrary input: any stored date-time gives a valid
// time of day or none (never a number that no clock shows), its date never
// matters, each tick is due just after a whole second, and the rules agree
// with what each kind promises.
//
// Input: an 8-byte date-time as the registry holds it, then a day number, a
// time of day, a millisecond and a kind.

#include "base/DateTime.h"
#include "base/Schedule.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool Holds) {
  if (!Holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  struct TInput {
    double Stored;
    std::int16_t Day;
    std::uint8_t Hour, Minute, Second;
    std::uint16_t Millisecond;
    std::int8_t Kind;
  } In;
  if (Size < sizeof In) return 0;
  std::memcpy(&In, Data, sizeof In);

  const auto Stored = TimeOfDay(In.Stored);
  Check(Stored.has_value() == std::isfinite(In.Stored));
  if (Stored)
    Check(Stored->Hour >= 0 && Stored->Hour < 24 && Stored->Minute >= 0 && Stored->Minute < 60 &&
          Stored->Second >= 0 && Stored->Second < 60);

  const TTimeOfDay Now{In.Hour % 24, In.Minute % 60, In.Second % 60};
  // Before 30 December 1899 the time is counted away from zero, as the day is.
  const double Time = EncodeTime(Now.Hour, Now.Minute, Now.Second);
  const auto Back = TimeOfDay(In.Day < 0 ? In.Day - Time : In.Day + Time);
  Check(Back && *Back == Now);

  const unsigned Ms = In.Millisecond % 1000;
  const unsigned Delay = MsToNextTick(Ms);
  Check(Delay >= TickMarginMs && Delay <= 1000 + TickMarginMs);
  Check((Ms + Delay) % 1000 == TickMarginMs);

  const bool Due = ScheduleDue(In.Kind, Now, Stored);
  switch (In.Kind) {
    case skMinutely: Check(Due == (Now.Second == 0)); break;
    case skHourly: Check(Due == (Now.Minute == 0 && Now.Second == 0)); break;
    case skDaily: Check(Due == (Stored && *Stored == Now)); break;
    default: Check(!Due);
  }
  return 0;
}
