#pragma once
// Wildcard masks as the scanner selects entries by name: "*" any run of bytes,
// "?" one byte, "[...]" a set ("[!...]" negated, "a-z" ranges), ";" between the
// masks of a list. Names and masks are ANSI byte strings; only the ASCII
// letters fold case. No Win32 here: the same code builds natively for fuzzing
// and benchmarks.

#include "base/Exception.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Tells whether a byte starts a double-byte character of the code page in use.
using TLeadByteTest = bool (*)(unsigned char Byte);

// The active ANSI code page's test on Windows (no lead bytes under UTF-8 or a
// single-byte code page); natively there are no lead bytes.
bool ActiveCodePageLeadByte(unsigned char Byte);

class TMask {
public:
  // Compiles Mask; throws Exception "'<mask>' is an invalid mask at (<pos>)",
  // pos being the 1-based byte where the fault was found.
  explicit TMask(const std::string& Mask, TLeadByteTest IsLeadByte = ActiveCodePageLeadByte);

  TMask(TMask&&) noexcept = default;
  TMask& operator=(TMask&&) noexcept = default;
  TMask(const TMask&) = delete;
  TMask& operator=(const TMask&) = delete;

  // True when the whole name (no path) matches.
  bool Matches(const std::string& Name) const noexcept {
    return Matches(Name.data(), Name.size());
  }
  bool Matches(const char* Name, std::size_t Length) const noexcept;

  // At most this many states may follow a "*".
  static constexpr int MaxSkips = 30;

private:
  enum class TKind : std::uint8_t { Literal, Any, Set, DoubleByte, End };
  // A set holds the bytes it accepts, indexed by the name's byte as it is
  // (folding and negation applied when compiled). Owned by its state.
  struct TByteSet {
    std::uint32_t Bits[8];
    bool Has(unsigned char B) const noexcept { return (Bits[B >> 5] >> (B & 31)) & 1; }
  };
  struct TState {
    TKind Kind;
    bool Skip;          // preceded by "*"
    unsigned char Char;  // literal (upper-cased) or lead byte
    unsigned char Trail;
    std::unique_ptr<TByteSet> Set;
  };

  void Compile(const std::string& Mask, TLeadByteTest IsLeadByte, bool Fill);
  bool Test(const TState& S, const unsigned char* Name, std::size_t Pos,
            std::size_t Length) const noexcept;

  static std::size_t Width(const TState& S) noexcept {
    return S.Kind == TKind::DoubleByte ? 2 : S.Kind == TKind::End ? 0 : 1;
  }

  std::vector<TState> FStates;  // ends with an End state
  // The states from the last starred one on have a fixed width in total, so
  // they can only match at the name's end minus that width.
  std::size_t FTailFrom = 0;   // index of the last starred state, or NoTail
  std::size_t FTailWidth = 0;  // width of the states from there on (all of them without a star)
  static constexpr std::size_t NoTail = static_cast<std::size_t>(-1);
};

// One item of a mask list; owns its compiled mask.
class TMultiMask {
public:
  explicit TMultiMask(TMask Mask) : FMask(std::move(Mask)) {}
  const TMask& Mask() const noexcept { return FMask; }

private:
  TMask FMask;
};

using TMaskList = std::vector<TMultiMask>;

// Appends one item per ";"-separated entry of Text, leading and trailing
// blanks removed, empty entries skipped. An invalid entry throws and stops the
// splitting; the items added before it stay in List.
void ParseMaskList(TMaskList& List, const std::string& Text,
                   TLeadByteTest IsLeadByte = ActiveCodePageLeadByte);

// True at the first item whose mask matches; false for an empty list.
bool MatchesMaskList(const std::string& Name, const TMaskList& List) noexcept;
