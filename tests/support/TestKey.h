#pragma once
// A scratch registry key for one test: HKCU\Software\VellumixTest\<Suite>.<Test>,
// deleted before the test starts and again when it ends.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

class TTestKey {
public:
  TTestKey();
  ~TTestKey();
  TTestKey(const TTestKey&) = delete;
  TTestKey& operator=(const TTestKey&) = delete;

  // Below HKCU, without a leading backslash.
  const std::string& Path() const { return FPath; }
  // The same with a leading backslash, as the cleaning code writes its paths.
  const std::string& Absolute() const { return FAbsolute; }
  std::string Sub(const std::string& Name) const { return FPath + "\\" + Name; }

  // Raw access that bypasses the code under test.
  void SetDword(const std::string& Value, std::uint32_t Data, const std::string& Key = "") const;
  void SetString(const std::string& Value, const std::string& Data, const std::string& Key = "") const;
  void SetBinary(const std::string& Value, const void* Data, std::size_t Size,
                 const std::string& Key = "") const;
  void CreateKey(const std::string& Key = "") const;
  std::optional<std::uint32_t> Dword(const std::string& Value, const std::string& Key = "") const;
  std::optional<std::string> String(const std::string& Value, const std::string& Key = "") const;
  bool HasValue(const std::string& Value, const std::string& Key = "") const;
  bool Exists(const std::string& Key = "") const;

private:
  std::string Full(const std::string& Key) const { return Key.empty() ? FPath : Sub(Key); }
  std::string FPath;
  std::string FAbsolute;
};
