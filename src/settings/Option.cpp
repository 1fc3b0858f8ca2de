#include "settings/Option.h"

#include "win/Application.h"
#include "win/Registry.h"

#include <iterator>

namespace {

struct TSwitch {
  const char* Name;
  bool TOption::*Member;
};

// The order of loading. Stored settings depend on it: a load stops at the first
// value it cannot read, so later switches keep what they held.
constexpr TSwitch Switches[] = {
    {"DelInetTemp", &TOption::DelInetTemp},
    {"DelCookie", &TOption::DelCookie},
    {"DelHistory", &TOption::DelHistory},
    {"DelLocationBar", &TOption::DelLocationBar},
    {"DelInternetCache", &TOption::DelInternetCache},
    {"DelGoogleHistory", &TOption::DelGoogleHistory},
    {"ClearRecentDoc", &TOption::ClearRecentDoc},
    {"ClearDelphiRecentDoc", &TOption::ClearDelphiRecentDoc},
    {"ClearVbRecentDoc", &TOption::ClearVbRecentDoc},
    {"ClearVcRecentDoc", &TOption::ClearVcRecentDoc},
    {"ClearRlpRecentDoc", &TOption::ClearRlpRecentDoc},
    {"ClearWmpRecentDoc", &TOption::ClearWmpRecentDoc},
    {"DelTempFiles", &TOption::DelTempFiles},
    {"KeepTempFiles", &TOption::KeepTempFiles},
    {"EmptyRecycleBin", &TOption::EmptyRecycleBin},
    {"Autorun", &TOption::Autorun},
    {"MinRun", &TOption::MinRun},
    {"ShowTrayIconOnly", &TOption::ShowTrayIconOnly},
    {"GradientMenu", &TOption::GradientMenu},
    {"EjectCdrom", &TOption::EjectCdrom},
};
static_assert(std::size(Switches) == 20);

// Opens HKCU\KeyPath, creating it when it is missing; for reading only when
// Write is false, so that a read-only key still loads. Says why in a message
// box when even the created key cannot be opened.
bool OpenSettingsKey(TRegistry& Reg, const std::string& KeyPath, const char* Failure,
                     bool Write = true) {
  auto Open = [&] { return Write ? Reg.OpenKey(KeyPath, false) : Reg.OpenKeyReadOnly(KeyPath); };
  if (Open()) return true;
  Reg.OpenKey(KeyPath, true);
  if (Open()) return true;
  ShowMessageBox(Failure);
  return false;
}

}  // namespace

void TOption::Load() {
  if (KeyPath.empty()) return;
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!OpenSettingsKey(Reg, KeyPath, "Error in Opening Created Key", false)) return;
  for (const TSwitch& S : Switches) {
    std::optional<bool> Value = Reg.ReadBool(S.Name);
    if (!Value) {
      DelGoogleHistory = false;
      GradientMenu = false;
      KeepTempFiles = true;
      return;
    }
    this->*S.Member = *Value;
  }
}

void TOption::Save() {
  if (KeyPath.empty()) return;
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!OpenSettingsKey(Reg, KeyPath, "Error in Opening Created Registry")) return;
  for (const TSwitch& S : Switches) Reg.WriteBool(S.Name, this->*S.Member);
}

void TOption::WriteDefaults() {
  if (KeyPath.empty()) return;
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!OpenSettingsKey(Reg, KeyPath, "Error in Opening Created Key")) return;
  for (const TSwitch& S : Switches) {
    bool Value = this->*S.Member;
    if (S.Member == &TOption::KeepTempFiles) Value = true;
    if (S.Member == &TOption::GradientMenu) Value = false;
    Reg.WriteBool(S.Name, Value);
  }
  try {
    TRegistry Dialog(HKEY_CURRENT_USER);
    if (Dialog.OpenKey(KeyPath + "\\TOptionDlg", true)) Dialog.WriteString("CBxSchedule_Checked", "False");
  } catch (const Exception&) {
    // The options dialog falls back to its own defaults.
  }
  Reg.WriteBool("ConfirmShredAll", true);
}
