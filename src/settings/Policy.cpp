#include "settings/Policy.h"

#include "win/WidePath.h"

#include <windows.h>

#include <string>

namespace {

constexpr wchar_t PolicyKey[] = L"Software\\Policies\\Vellumix";

// The roots in the order they win: the machine's policy over the user's.
const HKEY Roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

std::optional<DWORD> RootDword(HKEY Root, const std::wstring& Key, std::string_view Name) {
  const std::wstring Value = Widen(Name);
  DWORD Data = 0, Size = sizeof Data;
  if (RegGetValueW(Root, Key.c_str(), Value.c_str(), RRF_RT_REG_DWORD, nullptr, &Data, &Size) != ERROR_SUCCESS)
    return std::nullopt;
  return Data;
}

std::optional<std::string> RootString(HKEY Root, std::string_view Name) {
  const std::wstring Value = Widen(Name);
  DWORD Size = 0;
  if (RegGetValueW(Root, PolicyKey, Value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &Size) != ERROR_SUCCESS)
    return std::nullopt;
  std::wstring Text(Size / sizeof(wchar_t) + 1, L'\0');
  Size = static_cast<DWORD>(Text.size() * sizeof(wchar_t));
  // RegGetValue ends the text, also one stored without its terminator.
  if (RegGetValueW(Root, PolicyKey, Value.c_str(), RRF_RT_REG_SZ, nullptr, Text.data(), &Size) != ERROR_SUCCESS)
    return std::nullopt;
  Text.resize(wcsnlen(Text.c_str(), Text.size()));
  return Narrow(Text);
}

// The first root's value that Convert accepts: a value that means nothing at
// the machine's root leaves the user's to hold.
template <class TRead, class TConvert>
auto FirstValid(TRead Read, TConvert Convert) -> decltype(Convert(*Read(HKEY_CURRENT_USER))) {
  for (HKEY Root : Roots)
    if (const auto Raw = Read(Root))
      if (auto Value = Convert(*Raw)) return Value;
  return std::nullopt;
}

std::optional<bool> PolicySwitch(std::string_view Name) {
  return FirstValid([Name](HKEY Root) { return RootDword(Root, PolicyKey, Name); },
                    [](DWORD Value) { return std::optional<bool>(Value != 0); });
}

bool Digit(char C) { return C >= '0' && C <= '9'; }

}  // namespace

TPolicy ItemPolicy(std::string_view Id) {
  const std::wstring Items = std::wstring(PolicyKey) + L"\\Items";
  const auto Forced = FirstValid([&](HKEY Root) { return RootDword(Root, Items, Id); },
                                 [](DWORD Value) { return std::optional<bool>(Value != 0); });
  if (!Forced) return TPolicy::NotSet;
  return *Forced ? TPolicy::ForcedOn : TPolicy::ForcedOff;
}

bool SelectionLocked() { return PolicySwitch("LockSelection").value_or(false); }

std::optional<bool> PolicyScheduleEnabled() { return PolicySwitch("ScheduleEnabled"); }
std::optional<bool> PolicyScheduleAtStart() { return PolicySwitch("ScheduleAtStart"); }
std::optional<bool> PolicyScheduleAtShutdown() { return PolicySwitch("ScheduleAtShutdown"); }

std::optional<int> PolicyScheduleKind() {
  return FirstValid([](HKEY Root) { return RootDword(Root, PolicyKey, "ScheduleKind"); },
                    [](DWORD Value) {
                      return Value <= static_cast<DWORD>(skDaily) ? std::optional<int>(static_cast<int>(Value))
                                                                  : std::nullopt;
                    });
}

std::optional<TTimeOfDay> PolicyScheduleTime() {
  return FirstValid([](HKEY Root) { return RootString(Root, "ScheduleTime"); },
                    [](const std::string& Text) { return ParsePolicyTime(Text); });
}

bool SchedulePolicySet() {
  return PolicyScheduleEnabled() || PolicyScheduleKind() || PolicyScheduleTime() || PolicyScheduleAtStart() ||
         PolicyScheduleAtShutdown();
}

std::optional<TTimeOfDay> ParsePolicyTime(std::string_view Text) {
  const std::size_t Colon = Text.find(':');
  if (Colon == std::string_view::npos || Colon < 1 || Colon > 2 || Text.size() != Colon + 3) return std::nullopt;
  for (std::size_t I = 0; I < Text.size(); ++I)
    if (I != Colon && !Digit(Text[I])) return std::nullopt;
  const int Hour = Colon == 1 ? Text[0] - '0' : (Text[0] - '0') * 10 + (Text[1] - '0');
  const int Minute = (Text[Colon + 1] - '0') * 10 + (Text[Colon + 2] - '0');
  if (Hour > 23 || Minute > 59) return std::nullopt;
  return TTimeOfDay{Hour, Minute, 0};
}
