#pragma once
// Registry accessor: one root, at most one open key at a time, closed by the
// destructor on every path. Paths are taken below the root; a leading
// backslash is allowed and means the same.
//
// Reads return std::nullopt when the value is missing or has another type
// (a REG_SZ "1" is not a DWORD). Writes raise ERegistryException.

#include "base/Exception.h"
#include "win/Handle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

DECLARE_EXCEPTION(ERegistryException, Exception);

class TRegistry {
public:
  explicit TRegistry(HKEY Root = HKEY_CURRENT_USER) noexcept : FRoot(Root) {}

  HKEY RootKey() const noexcept { return FRoot; }
  void SetRootKey(HKEY Root) noexcept;

  // Opens Path for reading and writing, creating it when CanCreate is true.
  // Closes any key held before.
  bool OpenKey(const std::string& Path, bool CanCreate);
  // Opens Path for reading only: what a standard user may always do, also
  // where writing is not allowed (machine-wide keys seen through HKCR, a
  // settings key made read-only). Closes any key held before.
  bool OpenKeyReadOnly(const std::string& Path);
  void CloseKey() noexcept { FKey.reset(); }
  bool KeyExists(const std::string& Path) const;
  HKEY CurrentKey() const noexcept { return FKey.get(); }

  std::optional<bool> ReadBool(const std::string& Name) const;
  std::optional<std::uint32_t> ReadInteger(const std::string& Name) const;
  std::optional<std::string> ReadString(const std::string& Name) const;
  std::optional<std::vector<std::uint8_t>> ReadBinary(const std::string& Name) const;
  bool ValueExists(const std::string& Name) const;

  void WriteBool(const std::string& Name, bool Value);
  void WriteInteger(const std::string& Name, std::uint32_t Value);
  void WriteString(const std::string& Name, const std::string& Value);
  void WriteBinary(const std::string& Name, const void* Data, std::size_t Size);

  // Names in the registry's enumeration order; empty when no key is open.
  std::vector<std::string> GetValueNames() const;
  std::vector<std::string> GetKeyNames() const;

  bool DeleteValue(const std::string& Name);
  // Deletes Path below the root with everything beneath it.
  bool DeleteKey(const std::string& Path);

private:
  std::optional<std::vector<std::uint8_t>> ReadRaw(const std::string& Name, DWORD Type) const;
  void WriteRaw(const std::string& Name, DWORD Type, const void* Data, std::size_t Size);

  HKEY FRoot;
  TRegKey FKey;
};
