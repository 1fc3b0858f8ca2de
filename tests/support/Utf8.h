#pragma once
// A strict UTF-8 check for what the program writes out, written apart from
// the program's own decoder so that one cannot excuse the other.

#include <cstddef>
#include <string_view>

// Whether Text is well-formed UTF-8 as Unicode's table of well-formed byte
// sequences lists it: shortest forms only, no surrogates, nothing above
// U+10FFFF, no sequence cut short.
inline bool StrictUtf8(std::string_view Text) {
  struct TRow {
    unsigned char FirstLow, FirstHigh, SecondLow, SecondHigh;
    std::size_t Length;
  };
  static constexpr TRow Rows[] = {
      {0x00, 0x7F, 0x00, 0x00, 1}, {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3},
      {0xE1, 0xEC, 0x80, 0xBF, 3}, {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3},
      {0xF0, 0xF0, 0x90, 0xBF, 4}, {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
  };
  auto Byte = [&](std::size_t At) { return static_cast<unsigned char>(Text[At]); };
  for (std::size_t At = 0; At < Text.size();) {
    const TRow* Row = nullptr;
    for (const TRow& R : Rows)
      if (Byte(At) >= R.FirstLow && Byte(At) <= R.FirstHigh) Row = &R;
    if (!Row || Text.size() - At < Row->Length) return false;
    for (std::size_t N = 1; N < Row->Length; ++N) {
      const unsigned char Low = N == 1 ? Row->SecondLow : 0x80, High = N == 1 ? Row->SecondHigh : 0xBF;
      if (Byte(At + N) < Low || Byte(At + N) > High) return false;
    }
    At += Row->Length;
  }
  return true;
}
