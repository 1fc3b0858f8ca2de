#include "scan/Masks.h"

#include <array>

#ifdef _WIN32
#include <windows.h>
#endif

bool ActiveCodePageLeadByte(unsigned char Byte) {
#ifdef _WIN32
  return IsDBCSLeadByte(Byte) != 0;
#else
  (void)Byte;
  return false;
#endif
}

namespace {

// ASCII upper case; every other byte, accented letters included, stays.
constexpr std::array<unsigned char, 256> MakeUpper() {
  std::array<unsigned char, 256> T{};
  for (int I = 0; I < 256; ++I)
    T[I] = static_cast<unsigned char>(I >= 'a' && I <= 'z' ? I - 'a' + 'A' : I);
  return T;
}
constexpr std::array<unsigned char, 256> Upper = MakeUpper();

[[noreturn]] void Invalid(const std::string& Mask, std::size_t Position) {
  throw Exception("'" + Mask + "' is an invalid mask at (" + std::to_string(Position) + ")");
}

}  // namespace

TMask::TMask(const std::string& Mask, TLeadByteTest IsLeadByte) {
  // The first pass only counts, so the state array is allocated once at its
  // exact size; both passes raise the same errors.
  Compile(Mask, IsLeadByte, false);
  Compile(Mask, IsLeadByte, true);
}

// Positions in errors are 1-based; the end of the text is its length plus one.
// Every read is bounded by the text's length.
void TMask::Compile(const std::string& Mask, TLeadByteTest IsLeadByte, bool Fill) {
  const auto* M = reinterpret_cast<const unsigned char*>(Mask.data());
  const std::size_t N = Mask.size();
  bool PendingSkip = false;
  int Skips = 0;
  std::size_t Count = 0;

  // Adds a state; Completes is the position of the byte that completes it.
  auto Emit = [&](TState State, std::size_t Completes) {
    if (PendingSkip && ++Skips > MaxSkips) Invalid(Mask, Completes);
    State.Skip = PendingSkip;
    PendingSkip = false;
    ++Count;
    if (Fill) FStates.push_back(std::move(State));
  };

  std::size_t I = 0;
  while (I < N) {
    const unsigned char C = M[I];
    if (C == '*') {
      PendingSkip = true;  // a run of stars acts as one
      ++I;
    } else if (C == '?') {
      // "*?" is "*": the "?" after a star is dropped.
      if (!PendingSkip) Emit(TState{TKind::Any, false, 0, 0, nullptr}, I + 1);
      ++I;
    } else if (C == '[') {
      std::size_t J = I + 1;
      bool Negate = false;
      if (J < N && M[J] == '!') {
        Negate = true;
        ++J;
      }
      bool Members[256] = {};
      bool HasPrevious = false;
      unsigned char Previous = 0;
      for (;;) {
        if (J >= N) Invalid(Mask, N + 1);  // not closed
        const unsigned char B = M[J];
        if (B == ']') {
          if (!HasPrevious) Invalid(Mask, J + 1);  // empty
          break;
        }
        if (IsLeadByte(B)) {
          J += 2;  // a double-byte character cannot be a member
        } else if (B == '-') {
          if (!HasPrevious) Invalid(Mask, J + 1);
          if (J + 1 >= N) Invalid(Mask, N + 1);  // "[a-" is not closed
          // A range does not move the previous member: "[a-c-e]" is A..C and A..E.
          const unsigned char End = Upper[M[J + 1]];
          for (int V = Previous; V <= End; ++V) Members[V] = true;
          J += 2;
        } else {
          Previous = Upper[B];
          Members[Previous] = true;
          HasPrevious = true;
          ++J;
        }
      }
      TState State{TKind::Set, false, 0, 0, nullptr};
      if (Fill) {
        // Index the set by the name's own byte: fold and negate once here.
        State.Set = std::make_unique<TByteSet>();
        for (auto& W : State.Set->Bits) W = 0;
        for (int V = 0; V < 256; ++V)
          if (Members[Upper[V]] != Negate) State.Set->Bits[V >> 5] |= 1u << (V & 31);
      }
      Emit(std::move(State), J + 1);
      I = J + 1;
    } else if (IsLeadByte(C) && I + 1 < N) {
      Emit(TState{TKind::DoubleByte, false, C, M[I + 1], nullptr}, I + 2);
      I += 2;
    } else {
      // A lead byte with nothing after it is an ordinary byte.
      Emit(TState{TKind::Literal, false, Upper[C], 0, nullptr}, I + 1);
      ++I;
    }
  }
  Emit(TState{TKind::End, false, 0, 0, nullptr}, N + 1);
  if (!Fill) {
    FStates.reserve(Count);
    return;
  }
  FTailFrom = NoTail;
  FTailWidth = 0;
  for (std::size_t K = FStates.size(); K-- > 0;) {
    FTailWidth += Width(FStates[K]);
    if (FStates[K].Skip) {
      FTailFrom = K;
      break;
    }
  }
}

bool TMask::Test(const TState& S, const unsigned char* Name, std::size_t Pos,
                 std::size_t Length) const noexcept {
  // At the end of the name only the end state passes: "?" and negated sets
  // need a byte to be there.
  if (Pos >= Length) return S.Kind == TKind::End;
  switch (S.Kind) {
    case TKind::Literal:
      return Upper[Name[Pos]] == S.Char;
    case TKind::Any:
      return true;
    case TKind::Set:
      return S.Set->Has(Name[Pos]);
    case TKind::DoubleByte:
      return Name[Pos] == S.Char && Pos + 1 < Length && Name[Pos + 1] == S.Trail;
    case TKind::End:
      return false;
  }
  return false;
}

// Every state but the end one takes a fixed number of bytes, so when a state
// after a star fails, only the most recent star needs to be retried one byte
// further on: moving an earlier star can only push everything after it to the
// right. One resume point gives the same answers as a stack of them, in time
// bounded by name length times mask length. For the same reason the states
// from the last star on can only match flush with the end of the name, so
// they are tested there once instead of searched for.
bool TMask::Matches(const char* NameText, std::size_t Length) const noexcept {
  const auto* Name = reinterpret_cast<const unsigned char*>(NameText);
  const TState* States = FStates.data();
  if (FTailFrom == NoTail && Length != FTailWidth) return false;  // no star: exact width
  std::size_t Pos = 0, I = 0;
  bool CanResume = false;
  std::size_t ResumePos = 0, ResumeState = 0;
  for (;;) {
    const TState& S = States[I];
    if (I == FTailFrom) {
      if (Length - Pos < FTailWidth) return false;
      for (std::size_t At = Length - FTailWidth;; ++I) {
        const TState& T = States[I];
        if (!Test(T, Name, At, Length)) return false;
        if (T.Kind == TKind::End) return true;
        At += Width(T);
      }
    }
    if (S.Skip) {
      if (S.Kind == TKind::Literal) {
        const unsigned char C = S.Char;
        while (Pos < Length && Upper[Name[Pos]] != C) ++Pos;
      } else {
        while (Pos < Length && !Test(S, Name, Pos, Length)) ++Pos;
      }
      if (Pos >= Length) return false;  // the end state is never searched for: it is the tail
      CanResume = true;
      ResumePos = Pos + 1;
      ResumeState = I;
    } else if (!Test(S, Name, Pos, Length)) {
      if (!CanResume) return false;
      Pos = ResumePos;
      I = ResumeState;
      continue;
    }
    if (S.Kind == TKind::End) return true;
    Pos += Width(S);
    ++I;
  }
}

void ParseMaskList(TMaskList& List, const std::string& Text, TLeadByteTest IsLeadByte) {
  std::string Entry;
  auto Close = [&] {
    while (!Entry.empty() && Entry.back() == ' ') Entry.pop_back();
    if (!Entry.empty()) List.emplace_back(TMask(Entry, IsLeadByte));
    Entry.clear();
  };
  for (char C : Text) {
    if (C == ';')
      Close();
    else if (C != ' ' || !Entry.empty())
      Entry.push_back(C);
  }
  Close();
}

bool MatchesMaskList(const std::string& Name, const TMaskList& List) noexcept {
  for (const TMultiMask& Item : List)
    if (Item.Mask().Matches(Name)) return true;
  return false;
}
