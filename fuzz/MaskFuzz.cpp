// Compiles arbitrary masks and mask lists, matches arbitrary names, and checks
// every answer and every error message against a plain reference: the rules
// written out the slow way, with an exhaustive search over every place a
// starred state could match.
//
// Input: byte 0 picks the lead-byte test, byte 1 the length of the mask text;
// the mask text follows, the rest is the name.

#include "scan/Masks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

bool ShiftJisLead(unsigned char B) { return (B >= 0x81 && B <= 0x9F) || (B >= 0xE0 && B <= 0xFC); }
bool NoLead(unsigned char) { return false; }

unsigned char Up(unsigned char C) { return C >= 'a' && C <= 'z' ? C - 'a' + 'A' : C; }

struct TRefState {
  enum { Literal, Any, Set, DoubleByte, End } Kind;
  bool Skip = false;
  unsigned char Char = 0, Trail = 0;
  bool Negate = false;
  std::vector<bool> Members = std::vector<bool>(256);
};

struct TRefMask {
  std::vector<TRefState> States;
  std::string Error;
};

TRefMask RefCompile(const std::string& Mask, TLeadByteTest Lead) {
  TRefMask R;
  auto Fail = [&](std::size_t Pos) {
    R.Error = "'" + Mask + "' is an invalid mask at (" + std::to_string(Pos) + ")";
    return R;
  };
  bool Pending = false;
  int Skips = 0;
  std::size_t I = 0, N = Mask.size();
  auto At = [&](std::size_t K) { return static_cast<unsigned char>(Mask[K]); };
  auto Emit = [&](TRefState S, std::size_t Pos) {
    if (Pending) ++Skips;
    S.Skip = Pending;
    Pending = false;
    R.States.push_back(S);
    return Skips > 30 ? std::optional<std::size_t>(Pos) : std::nullopt;
  };
  while (I < N) {
    unsigned char C = At(I);
    std::optional<std::size_t> Bad;
    if (C == '*') {
      Pending = true;
      ++I;
      continue;
    }
    if (C == '?') {
      if (!Pending) Bad = Emit({TRefState::Any}, I + 1);
      ++I;
    } else if (C == '[') {
      TRefState S{TRefState::Set};
      std::size_t J = I + 1;
      if (J < N && At(J) == '!') S.Negate = true, ++J;
      int Previous = -1;
      bool Empty = true;
      while (true) {
        if (J >= N) return Fail(N + 1);
        unsigned char B = At(J);
        if (B == ']') break;
        if (Lead(B)) {
          J += 2;
        } else if (B == '-') {
          if (Previous < 0) return Fail(J + 1);
          if (J + 1 >= N) return Fail(N + 1);
          for (int V = Previous; V <= Up(At(J + 1)); ++V) S.Members[V] = true;
          J += 2;
        } else {
          Previous = Up(B);
          S.Members[Previous] = true;
          Empty = false;
        J += 1;
        }
      }
      if (Empty) return Fail(J + 1);
      Bad = Emit(S, J + 1);
      I = J + 1;
    } else if (Lead(C) && I + 1 < N) {
      TRefState S{TRefState::DoubleByte};
      S.Char = C, S.Trail = At(I + 1);
      Bad = Emit(S, I + 2);
      I += 2;
    } else {
      TRefState S{TRefState::Literal};
      S.Char = Up(C);
      Bad = Emit(S, I + 1);
      ++I;
    }
    if (Bad) return Fail(*Bad);
  }
  if (auto Bad = Emit({TRefState::End}, N + 1)) return Fail(*Bad);
  return R;
}

bool RefTest(const TRefState& S, const std::string& Name, std::size_t Q) {
  std::size_t L = Name.size();
  if (Q >= L) return S.Kind == TRefState::End;
  unsigned char B = Name[Q];
  switch (S.Kind) {
    case TRefState::Literal: return Up(B) == S.Char;
    case TRefState::Any: return true;
    case TRefState::Set: return S.Members[Up(B)] != S.Negate;
    case TRefState::DoubleByte: return B == S.Char && Q + 1 < L && (unsigned char)Name[Q + 1] == S.Trail;
    case TRefState::End: return false;
  }
  return false;
}

bool RefMatch(const TRefMask& M, const std::string& Name) {
  std::size_t L = Name.size(), K = M.States.size();
  // Memo[i][p]: 0 unknown, 1 no, 2 yes — can states i.. match from p on?
  std::vector<std::uint8_t> Memo(K * (L + 2));
  auto Go = [&](auto& Self, std::size_t I, std::size_t P) -> bool {
    if (I == K) return true;
    std::uint8_t& Slot = Memo[I * (L + 2) + P];
    if (Slot) return Slot == 2;
    const TRefState& S = M.States[I];
    std::size_t Width = S.Kind == TRefState::DoubleByte ? 2 : S.Kind == TRefState::End ? 0 : 1;
    bool Ok = false;
    for (std::size_t Q = P; Q <= L && !Ok; ++Q) {
      if (RefTest(S, Name, Q)) Ok = Self(Self, I + 1, std::min(Q + Width, L + 1));
      if (!S.Skip) break;
    }
    Slot = Ok ? 2 : 1;
    return Ok;
  };
  return Go(Go, 0, 0);
}

std::vector<std::string> RefSplit(const std::string& Text) {
  std::vector<std::string> Out;
  std::string E;
  auto Close = [&] {
    while (!E.empty() && E.back() == ' ') E.pop_back();
    if (!E.empty()) Out.push_back(E);
    E.clear();
  };
  for (char C : Text) {
    if (C == ';') Close();
    else if (C == ' ' && E.empty()) continue;
    else E += C;
  }
  Close();
  return Out;
}

[[noreturn]] void Disagree(const char* What, const std::string& Mask, const std::string& Name) {
  std::fprintf(stderr, "%s: mask [%s] name [%s]\n", What, Mask.c_str(), Name.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size < 2) return 0;
  TLeadByteTest Lead = (Data[0] & 1) ? ShiftJisLead : NoLead;
  std::size_t MaskLen = Data[1] % (Size - 1);
  std::string Mask(reinterpret_cast<const char*>(Data + 2), MaskLen);
  std::string Name(reinterpret_cast<const char*>(Data + 2 + MaskLen), Size - 2 - MaskLen);

  // One mask.
  TRefMask Ref = RefCompile(Mask, Lead);
  try {
    TMask M(Mask, Lead);
    if (!Ref.Error.empty()) Disagree("compiled an invalid mask", Mask, Name);
    if (M.Matches(Name) != RefMatch(Ref, Name)) Disagree("match differs", Mask, Name);
  } catch (const Exception& E) {
    if (E.Message() != Ref.Error) Disagree(("error differs: " + E.Message() + " vs " + Ref.Error).c_str(), Mask, Name);
  }

  // The same text as a list.
  std::vector<std::string> Entries = RefSplit(Mask);
  TMaskList List;
  std::string ListError;
  try {
    ParseMaskList(List, Mask, Lead);
  } catch (const Exception& E) {
    ListError = E.Message();
  }
  bool RefAny = false;
  std::size_t Compiled = 0;
  std::string RefListError;
  for (const std::string& Entry : Entries) {
    TRefMask R = RefCompile(Entry, Lead);
    if (!R.Error.empty()) {
      RefListError = R.Error;
      break;
    }
    ++Compiled;
    RefAny = RefAny || RefMatch(R, Name);
  }
  if (ListError != RefListError || List.size() != Compiled) Disagree("list differs", Mask, Name);
  if (MatchesMaskList(Name, List) != RefAny) Disagree("list match differs", Mask, Name);
  return 0;
}
