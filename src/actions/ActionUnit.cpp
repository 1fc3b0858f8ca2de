#include "actions/ActionUnit.h"

#include "base/LogLine.h"
#include "win/Application.h"
#include "win/Registry.h"

namespace {

constexpr std::size_t MaxKeptMessages = 26;

std::string TimeOfDay() {
  char Buffer[80];
  int Len = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, Buffer, sizeof Buffer);
  return Len > 0 ? std::string(Buffer, Len - 1) : std::string();
}

}  // namespace

bool TAction::AddMessage(const std::string& Msg, const std::string& Detail) {
  Messages.push_front(FormatLogLine(TimeOfDay(), Msg, Detail));
  return true;
}

void TAction::AddFailure(const std::string& Msg) {
  AddMessage(Msg, "");
  ++Tally.Refused;
  ++Tally.StayedOther;
}

void TAction::TrimMessages() {
  if (Messages.size() > MaxKeptMessages) Messages.resize(MaxKeptMessages);
}

bool TAction::ClearKeyValues(HKEY Root, const std::string& Path, bool Enabled) {
  if (!Enabled) return true;
  TRegistry Reg(Root);
  if (!Reg.OpenKey(Path, false)) throw EOpenRegErrors("Can't open " + Path);
  for (const std::string& Name : Reg.GetValueNames()) {
    // Long lists must not freeze the window.
    Application.ProcessMessages();
    if (Reg.DeleteValue(Name)) ++Tally.RegistryValues;
  }
  return true;
}
