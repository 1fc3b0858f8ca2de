#include "win/WidePath.h"

namespace {

// A folder path must leave room for an 8.3 name below it (CreateDirectory's
// limit), so paths from this length on take the long form.
constexpr std::size_t LongFrom = MAX_PATH - 12;

bool IsDriveAbsolute(std::wstring_view Path) {
  return Path.size() >= 3 && Path[1] == L':' && (Path[2] == L'\\' || Path[2] == L'/');
}

bool IsUnc(std::wstring_view Path) {
  return Path.size() >= 3 && Path[0] == L'\\' && Path[1] == L'\\' && Path[2] != L'?' &&
         Path[2] != L'.';
}

std::wstring FullPath(const std::wstring& Path) {
  DWORD Needed = GetFullPathNameW(Path.c_str(), 0, nullptr, nullptr);
  if (!Needed) return Path;
  std::wstring Full(Needed, L'\0');
  DWORD Len = GetFullPathNameW(Path.c_str(), Needed, Full.data(), nullptr);
  if (!Len || Len >= Needed) return Path;
  Full.resize(Len);
  return Full;
}

}  // namespace

std::wstring Widen(std::string_view Text) {
  if (Text.empty()) return {};
  const int Len = MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring Wide(Len, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Len);
  return Wide;
}

std::string Narrow(std::wstring_view Text) {
  if (Text.empty()) return {};
  const int Len = WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string Utf8(Len, '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Utf8.data(), Len,
                      nullptr, nullptr);
  return Utf8;
}

std::optional<std::string> NarrowExact(std::wstring_view Text) {
  if (Text.empty()) return std::string();
  const int Size = static_cast<int>(Text.size());
  const int Len = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, Text.data(), Size, nullptr, 0,
                                      nullptr, nullptr);
  if (Len <= 0) return std::nullopt;
  std::string Utf8(Len, '\0');
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, Text.data(), Size, Utf8.data(), Len,
                          nullptr, nullptr) != Len)
    return std::nullopt;
  // Checked both ways: a converter that replaced instead of failing would
  // still not give the same name back.
  if (Widen(Utf8) != Text) return std::nullopt;
  return Utf8;
}

std::wstring WidePath(std::string_view Path) {
  std::wstring Wide = Widen(Path);
  if (Wide.size() < LongFrom) return Wide;
  if (IsDriveAbsolute(Wide)) return L"\\\\?\\" + FullPath(Wide);
  if (IsUnc(Wide)) return L"\\\\?\\UNC\\" + FullPath(Wide).substr(2);
  return Wide;
}

std::wstring PlainPath(std::wstring_view Path) {
  if (Path.starts_with(L"\\\\?\\UNC\\")) return L"\\" + std::wstring(Path.substr(7));
  if (Path.starts_with(L"\\\\?\\")) Path.remove_prefix(4);
  return std::wstring(Path);
}

std::wstring LongPath(std::string_view CanonicalPath) {
  std::wstring Wide = Widen(CanonicalPath);
  if (IsDriveAbsolute(Wide)) return L"\\\\?\\" + Wide;
  if (IsUnc(Wide)) return L"\\\\?\\UNC\\" + Wide.substr(2);
  return Wide;
}
