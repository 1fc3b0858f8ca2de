#include "support/TestPolicies.h"

#include <gtest/gtest.h>

namespace {

HKEY CreateBelowUser(const std::string& Path) {
  HKEY Key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Key, nullptr),
            ERROR_SUCCESS);
  return Key;
}

}  // namespace

TTestPolicies::TTestPolicies(const TTestKey& Key, bool RedirectUser) {
  // Both targets are opened before either root is redirected.
  FMachine = CreateBelowUser(Key.Sub("Machine"));
  if (RedirectUser) FUser = CreateBelowUser(Key.Sub("User"));
  EXPECT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, FMachine), ERROR_SUCCESS);
  if (FUser) {
    EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, FUser), ERROR_SUCCESS);
  }
}

TTestPolicies::~TTestPolicies() {
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  if (FUser) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegCloseKey(FMachine);
  if (FUser) RegCloseKey(FUser);
}

void TTestPolicies::Set(HKEY Root, const std::string& Name, DWORD Type, const void* Data, DWORD Size) const {
  HKEY Base = Root == HKEY_LOCAL_MACHINE ? FMachine : (FUser ? FUser : HKEY_CURRENT_USER);
  std::string Key = "Software\\Policies\\Vellumix", Value = Name;
  if (const auto Slash = Name.rfind('\\'); Slash != std::string::npos) {
    Key.append(1, '\\').append(Name, 0, Slash);
    Value.erase(0, Slash + 1);
  }
  HKEY Open = nullptr;
  ASSERT_EQ(RegCreateKeyExA(Base, Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Open, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(Open, Value.c_str(), 0, Type, static_cast<const BYTE*>(Data), Size), ERROR_SUCCESS);
  RegCloseKey(Open);
}

void TTestPolicies::SetDword(HKEY Root, const std::string& Name, std::uint32_t Data) const {
  Set(Root, Name, REG_DWORD, &Data, sizeof Data);
}

void TTestPolicies::SetString(HKEY Root, const std::string& Name, const std::string& Data) const {
  Set(Root, Name, REG_SZ, Data.c_str(), static_cast<DWORD>(Data.size() + 1));
}
