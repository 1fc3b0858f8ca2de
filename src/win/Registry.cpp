#include "win/Registry.h"

#include <shlwapi.h>

namespace {

const char* Relative(const std::string& Path) {
  const char* P = Path.c_str();
  return *P == '\\' ? P + 1 : P;
}

// Walks one of the two enumerations (values or subkeys) until the registry says
// there are no more items; names that grew meanwhile are retried with a larger buffer.
template <class EnumFn>
std::vector<std::string> EnumNames(HKEY Key, DWORD MaxLen, EnumFn Enum) {
  std::vector<std::string> Names;
  if (!Key) return Names;
  std::string Buffer(MaxLen + 1, '\0');
  for (DWORD Index = 0;;) {
    DWORD Len = static_cast<DWORD>(Buffer.size());
    LONG Rc = Enum(Key, Index, Buffer.data(), &Len);
    if (Rc == ERROR_MORE_DATA) {
      Buffer.resize(Buffer.size() * 2);
      continue;
    }
    if (Rc != ERROR_SUCCESS) break;
    Names.emplace_back(Buffer.data(), Len);
    ++Index;
  }
  return Names;
}

}  // namespace

void TRegistry::SetRootKey(HKEY Root) noexcept {
  CloseKey();
  FRoot = Root;
}

bool TRegistry::OpenKey(const std::string& Path, bool CanCreate) {
  CloseKey();
  HKEY Key = nullptr;
  LONG Rc = CanCreate ? RegCreateKeyExA(FRoot, Relative(Path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &Key, nullptr)
                      : RegOpenKeyExA(FRoot, Relative(Path), 0, KEY_ALL_ACCESS, &Key);
  if (Rc != ERROR_SUCCESS) return false;
  FKey.reset(Key);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& Path) {
  CloseKey();
  HKEY Key = nullptr;
  if (RegOpenKeyExA(FRoot, Relative(Path), 0, KEY_READ, &Key) != ERROR_SUCCESS) return false;
  FKey.reset(Key);
  return true;
}

bool TRegistry::KeyExists(const std::string& Path) const {
  TRegKey Key;
  return RegOpenKeyExA(FRoot, Relative(Path), 0, KEY_READ, Key.put()) == ERROR_SUCCESS;
}

std::optional<std::vector<std::uint8_t>> TRegistry::ReadRaw(const std::string& Name,
                                                            DWORD Type) const {
  if (!FKey) return std::nullopt;
  DWORD Actual = 0, Size = 0;
  if (RegQueryValueExA(FKey.get(), Name.c_str(), nullptr, &Actual, nullptr, &Size) != ERROR_SUCCESS ||
      Actual != Type)
    return std::nullopt;
  // The value may change between the two calls; ask again while it grows.
  std::vector<std::uint8_t> Data;
  LONG Rc;
  do {
    Data.resize(Size);
    Rc = RegQueryValueExA(FKey.get(), Name.c_str(), nullptr, &Actual, Data.data(), &Size);
  } while (Rc == ERROR_MORE_DATA);
  if (Rc != ERROR_SUCCESS || Actual != Type) return std::nullopt;
  Data.resize(Size);
  return Data;
}

std::optional<std::uint32_t> TRegistry::ReadInteger(const std::string& Name) const {
  auto Data = ReadRaw(Name, REG_DWORD);
  if (!Data || Data->size() != sizeof(std::uint32_t)) return std::nullopt;
  std::uint32_t Value;
  memcpy(&Value, Data->data(), sizeof Value);
  return Value;
}

std::optional<bool> TRegistry::ReadBool(const std::string& Name) const {
  auto Value = ReadInteger(Name);
  if (!Value) return std::nullopt;
  return *Value != 0;
}

std::optional<std::string> TRegistry::ReadString(const std::string& Name) const {
  auto Data = ReadRaw(Name, REG_SZ);
  if (!Data) Data = ReadRaw(Name, REG_EXPAND_SZ);
  if (!Data) return std::nullopt;
  // Stored strings need not carry their terminator; stop at the first one if they do.
  std::string Text(Data->begin(), Data->end());
  Text.resize(strnlen(Text.c_str(), Text.size()));
  return Text;
}

std::optional<std::vector<std::uint8_t>> TRegistry::ReadBinary(const std::string& Name) const {
  return ReadRaw(Name, REG_BINARY);
}

bool TRegistry::ValueExists(const std::string& Name) const {
  return FKey && RegQueryValueExA(FKey.get(), Name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                     ERROR_SUCCESS;
}

void TRegistry::WriteRaw(const std::string& Name, DWORD Type, const void* Data, std::size_t Size) {
  if (!FKey || RegSetValueExA(FKey.get(), Name.c_str(), 0, Type, static_cast<const BYTE*>(Data),
                              static_cast<DWORD>(Size)) != ERROR_SUCCESS)
    throw ERegistryException("Failed to set data for '" + Name + "'");
}

void TRegistry::WriteInteger(const std::string& Name, std::uint32_t Value) {
  WriteRaw(Name, REG_DWORD, &Value, sizeof Value);
}

void TRegistry::WriteBool(const std::string& Name, bool Value) { WriteInteger(Name, Value ? 1 : 0); }

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
  WriteRaw(Name, REG_SZ, Value.c_str(), Value.size() + 1);
}

void TRegistry::WriteBinary(const std::string& Name, const void* Data, std::size_t Size) {
  WriteRaw(Name, REG_BINARY, Data, Size);
}

std::vector<std::string> TRegistry::GetValueNames() const {
  DWORD MaxLen = 0;
  if (FKey) RegQueryInfoKeyA(FKey.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, &MaxLen, nullptr, nullptr, nullptr);
  return EnumNames(FKey.get(), MaxLen, [](HKEY Key, DWORD Index, char* Name, DWORD* Len) {
    return RegEnumValueA(Key, Index, Name, Len, nullptr, nullptr, nullptr, nullptr);
  });
}

std::vector<std::string> TRegistry::GetKeyNames() const {
  DWORD MaxLen = 0;
  if (FKey) RegQueryInfoKeyA(FKey.get(), nullptr, nullptr, nullptr, nullptr, &MaxLen, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr);
  return EnumNames(FKey.get(), MaxLen, [](HKEY Key, DWORD Index, char* Name, DWORD* Len) {
    return RegEnumKeyExA(Key, Index, Name, Len, nullptr, nullptr, nullptr, nullptr);
  });
}

bool TRegistry::DeleteValue(const std::string& Name) {
  return FKey && RegDeleteValueA(FKey.get(), Name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteKey(const std::string& Path) {
  if (*Relative(Path) == '\0') return false;  // never the root itself
  return SHDeleteKeyA(FRoot, Relative(Path)) == ERROR_SUCCESS;
}
