#include "settings/ItemSwitch.h"

#include "win/Registry.h"
#include "win/WidePath.h"

#include <windows.h>

namespace {

constexpr wchar_t ItemsKey[] = L"Software\\Vellumix\\Items";

}  // namespace

bool StoredItemSwitch(std::string_view Id) {
  DWORD Value = 0, Size = sizeof Value;
  const std::wstring Name = Widen(Id);
  return RegGetValueW(HKEY_CURRENT_USER, ItemsKey, Name.c_str(), RRF_RT_REG_DWORD, nullptr, &Value, &Size) ==
             ERROR_SUCCESS &&
         Value != 0;
}

void StoreItemSwitch(std::string_view Id, bool On) {
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!Reg.OpenKey("Software\\Vellumix\\Items", true))
    throw ERegistryException("Cannot write the item switches under HKEY_CURRENT_USER\\Software\\Vellumix\\Items");
  Reg.WriteInteger(std::string(Id), On ? 1u : 0u);
}
