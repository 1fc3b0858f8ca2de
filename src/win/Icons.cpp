#include "win/Icons.h"

#include <algorithm>

namespace {

// The layout of RT_GROUP_ICON data (it is not in the SDK's headers).
#pragma pack(push, 2)
struct TGroupIconEntry {
  BYTE Width, Height, ColorCount, Reserved;
  WORD Planes, BitCount;
  DWORD BytesInRes;
  WORD Id;
};
struct TGroupIconHeader {
  WORD Reserved, Type, Count;
};
#pragma pack(pop)

}  // namespace

std::vector<int> IconSizes(HMODULE Module, int Id) {
  std::vector<int> Sizes;
  HRSRC Info = FindResourceA(Module, MAKEINTRESOURCEA(Id), RT_GROUP_ICON);
  HGLOBAL Data = Info ? LoadResource(Module, Info) : nullptr;
  const auto* Bytes = Data ? static_cast<const BYTE*>(LockResource(Data)) : nullptr;
  const DWORD Length = Info ? SizeofResource(Module, Info) : 0;
  if (!Bytes || Length < sizeof(TGroupIconHeader)) return Sizes;
  const auto* Header = reinterpret_cast<const TGroupIconHeader*>(Bytes);
  const auto* Entries = reinterpret_cast<const TGroupIconEntry*>(Bytes + sizeof(TGroupIconHeader));
  const DWORD Count =
      std::min<DWORD>(Header->Count, (Length - sizeof(TGroupIconHeader)) / sizeof(TGroupIconEntry));
  for (DWORD I = 0; I < Count; ++I)
    Sizes.push_back(Entries[I].Width ? Entries[I].Width : 256);  // 0 stands for 256
  std::sort(Sizes.begin(), Sizes.end());
  Sizes.erase(std::unique(Sizes.begin(), Sizes.end()), Sizes.end());
  return Sizes;
}

int NearestIconSize(const std::vector<int>& Sizes, int Wanted) {
  if (Sizes.empty()) return 0;
  int Best = Sizes.front();
  for (int Size : Sizes)
    if (Size <= Wanted) Best = Size;
  return Best;
}

HICON LoadIconNear(HMODULE Module, int Id, int Wanted) {
  const int Size = std::min(NearestIconSize(IconSizes(Module, Id), Wanted), Wanted);
  if (Size <= 0) return nullptr;
  // Not LR_SHARED: a shared icon keeps the size it was first loaded at.
  return static_cast<HICON>(
      LoadImageW(Module, MAKEINTRESOURCEW(Id), IMAGE_ICON, Size, Size, LR_DEFAULTCOLOR));
}

int IconWidth(HICON Icon) {
  ICONINFO Info{};
  if (!Icon || !GetIconInfo(Icon, &Info)) return 0;
  BITMAP Bitmap{};
  GetObjectW(Info.hbmColor ? Info.hbmColor : Info.hbmMask, sizeof Bitmap, &Bitmap);
  if (Info.hbmColor) DeleteObject(Info.hbmColor);
  if (Info.hbmMask) DeleteObject(Info.hbmMask);
  return Bitmap.bmWidth;
}
