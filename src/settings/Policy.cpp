#include "settings/Policy.h"

#include "win/WidePath.h"

#include <windows.h>

TPolicy ItemPolicy(std::string_view Id) {
  const std::wstring Name = Widen(Id);
  for (HKEY Root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    DWORD Value = 0, Size = sizeof Value;
    if (RegGetValueW(Root, L"Software\\Policies\\Vellumix\\Items", Name.c_str(), RRF_RT_REG_DWORD, nullptr, &Value,
                     &Size) == ERROR_SUCCESS)
      return Value ? TPolicy::ForcedOn : TPolicy::ForcedOff;
  }
  return TPolicy::NotSet;
}
