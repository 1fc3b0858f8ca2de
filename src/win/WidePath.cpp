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
  const int Len = MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring Wide(Len, L'\0');
  MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Len);
  return Wide;
}

std::string Narrow(std::wstring_view Text) {
  if (Text.empty()) return {};
  const int Len = WideCharToMultiByte(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr,
                                      0, nullptr, nullptr);
  std::string Ansi(Len, '\0');
  WideCharToMultiByte(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), Ansi.data(), Len,
                      nullptr, nullptr);
  return Ansi;
}

std::wstring WidePath(std::string_view Path) {
  std::wstring Wide = Widen(Path);
  if (Wide.size() < LongFrom) return Wide;
  if (IsDriveAbsolute(Wide)) return L"\\\\?\\" + FullPath(Wide);
  if (IsUnc(Wide)) return L"\\\\?\\UNC\\" + FullPath(Wide).substr(2);
  return Wide;
}
