#include "win/FileHandle.h"

TFileHandle OpenNoFollow(const std::wstring& Path, DWORD Access, DWORD Share) {
  return TFileHandle(CreateFileW(Path.c_str(), Access, Share, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

std::optional<std::wstring> FinalPathOf(HANDLE File) {
  std::wstring Path(MAX_PATH, L'\0');
  for (int Try = 0; Try < 3; ++Try) {
    const DWORD Len = GetFinalPathNameByHandleW(File, Path.data(), static_cast<DWORD>(Path.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (!Len) return std::nullopt;
    if (Len < Path.size()) {
      Path.resize(Len);
      return Path;
    }
    Path.resize(Len + 1);  // too small: Len is the size needed
  }
  return std::nullopt;
}

namespace {

// Path without the "\\?\C:" or "\\?\UNC\server\share" before its first
// backslash within the volume.
std::wstring_view WithinVolume(std::wstring_view Path) {
  if (Path.starts_with(L"\\\\?\\UNC\\")) {
    const auto Server = Path.find(L'\\', 8);
    const auto Share = Server == Path.npos ? Path.npos : Path.find(L'\\', Server + 1);
    return Share == Path.npos ? std::wstring_view() : Path.substr(Share);
  }
  if (Path.starts_with(L"\\\\?\\") && Path.size() > 6 && Path[5] == L':') return Path.substr(6);
  return {};
}

bool SameName(std::wstring_view Actual, std::wstring_view Expected) {
  if (SamePath(Actual, Expected)) return true;
  std::wstring_view Trimmed = Expected;
  while (!Trimmed.empty() && (Trimmed.back() == L'.' || Trimmed.back() == L' ')) Trimmed.remove_suffix(1);
  return Trimmed.size() < Expected.size() && !Trimmed.empty() && Trimmed.back() != L'\\' &&
         SamePath(Actual, Trimmed);
}

}  // namespace

bool NameLeadsTo(std::wstring_view Name, const std::wstring& Path) {
  const std::wstring_view Inside = WithinVolume(Path);
  return !Inside.empty() && SameName(Name, Inside);
}

bool HandleLeadsTo(HANDLE File, const std::wstring& Path) {
  if (auto Final = FinalPathOf(File)) return SameName(*Final, Path);
  const std::wstring_view Inside = WithinVolume(Path);
  if (Inside.empty()) return false;
  alignas(FILE_NAME_INFO) char Buffer[sizeof(FILE_NAME_INFO) + 65536];
  auto* Info = reinterpret_cast<FILE_NAME_INFO*>(Buffer);
  if (!GetFileInformationByHandleEx(File, FileNameInfo, Info, sizeof Buffer)) return false;
  return SameName(std::wstring_view(Info->FileName, Info->FileNameLength / sizeof(wchar_t)), Inside);
}

bool SamePath(std::wstring_view A, std::wstring_view B) {
  return CompareStringOrdinal(A.data(), static_cast<int>(A.size()), B.data(),
                              static_cast<int>(B.size()), TRUE) == CSTR_EQUAL;
}

bool PathHolds(std::wstring_view Folder, std::wstring_view Inner) {
  if (Inner.size() < Folder.size() || !SamePath(Folder, Inner.substr(0, Folder.size())))
    return false;
  return Inner.size() == Folder.size() || Folder.back() == L'\\' || Inner[Folder.size()] == L'\\';
}

std::optional<DWORD> AttributesOf(HANDLE File) {
  // The basic information only: GetFileInformationByHandle also asks for the
  // volume, which under Wine costs several times a whole deletion.
  FILE_BASIC_INFO Info;
  if (!GetFileInformationByHandleEx(File, FileBasicInfo, &Info, sizeof Info)) return std::nullopt;
  return Info.FileAttributes;
}
