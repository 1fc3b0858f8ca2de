#include "support/TestKey.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <vector>

TTestKey::TTestKey() {
  const auto* Info = ::testing::UnitTest::GetInstance()->current_test_info();
  FPath = std::string("Software\\VellumixTest\\") + Info->test_suite_name() + "." + Info->name();
  for (char& C : FPath)
    if (C == '/') C = '_';  // parameterised names
  FAbsolute = std::string(1, '\\').append(FPath);
  SHDeleteKeyA(HKEY_CURRENT_USER, FPath.c_str());
}

TTestKey::~TTestKey() { SHDeleteKeyA(HKEY_CURRENT_USER, FPath.c_str()); }

void TTestKey::CreateKey(const std::string& Key) const {
  HKEY H;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Full(Key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &H, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(H);
}

void TTestKey::SetDword(const std::string& Value, std::uint32_t Data, const std::string& Key) const {
  ASSERT_EQ(SHSetValueA(HKEY_CURRENT_USER, Full(Key).c_str(), Value.c_str(), REG_DWORD, &Data,
                        sizeof Data),
            ERROR_SUCCESS);
}

void TTestKey::SetString(const std::string& Value, const std::string& Data,
                         const std::string& Key) const {
  ASSERT_EQ(SHSetValueA(HKEY_CURRENT_USER, Full(Key).c_str(), Value.c_str(), REG_SZ, Data.c_str(),
                        static_cast<DWORD>(Data.size() + 1)),
            ERROR_SUCCESS);
}

void TTestKey::SetBinary(const std::string& Value, const void* Data, std::size_t Size,
                         const std::string& Key) const {
  ASSERT_EQ(SHSetValueA(HKEY_CURRENT_USER, Full(Key).c_str(), Value.c_str(), REG_BINARY, Data,
                        static_cast<DWORD>(Size)),
            ERROR_SUCCESS);
}

std::optional<std::uint32_t> TTestKey::Dword(const std::string& Value, const std::string& Key) const {
  DWORD Type = 0, Data = 0, Size = sizeof Data;
  if (SHGetValueA(HKEY_CURRENT_USER, Full(Key).c_str(), Value.c_str(), &Type, &Data, &Size) !=
          ERROR_SUCCESS ||
      Type != REG_DWORD)
    return std::nullopt;
  return Data;
}

std::optional<std::string> TTestKey::String(const std::string& Value, const std::string& Key) const {
  DWORD Type = 0, Size = 0;
  if (SHGetValueA(HKEY_CURRENT_USER, Full(Key).c_str(), Value.c_str(), &Type, nullptr, &Size) !=
          ERROR_SUCCESS ||
      Type != REG_SZ)
    return std::nullopt;
  std::vector<char> Data(Size + 1);
  SHGetValueA(HKEY_CURRENT_USER, Full(Key).c_str(), Value.c_str(), &Type, Data.data(), &Size);
  return std::string(Data.data());
}

bool TTestKey::HasValue(const std::string& Value, const std::string& Key) const {
  return SHGetValueA(HKEY_CURRENT_USER, Full(Key).c_str(), Value.c_str(), nullptr, nullptr,
                     nullptr) == ERROR_SUCCESS;
}

bool TTestKey::Exists(const std::string& Key) const {
  HKEY H;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, Full(Key).c_str(), 0, KEY_READ, &H) != ERROR_SUCCESS)
    return false;
  RegCloseKey(H);
  return true;
}
