#pragma once
// What the benchmarks under Wine share: a clock and the tree they work on.

#include <windows.h>

#include <string>

// Seconds from the performance counter.
inline double Now() {
  static const LARGE_INTEGER Frequency = [] {
    LARGE_INTEGER F;
    QueryPerformanceFrequency(&F);
    return F;
  }();
  LARGE_INTEGER C;
  QueryPerformanceCounter(&C);
  return static_cast<double>(C.QuadPart) / Frequency.QuadPart;
}

// Root\folder<N>\file<M>.tmp: Folders folders of Files empty files each.
inline void MakeTree(const std::string& Root, int Folders, int Files) {
  CreateDirectoryA(Root.c_str(), nullptr);
  for (int F = 0; F < Folders; ++F) {
    const std::string Folder = Root + "\\folder" + std::to_string(F);
    CreateDirectoryA(Folder.c_str(), nullptr);
    for (int I = 0; I < Files; ++I) {
      const std::string Path = Folder + "\\file" + std::to_string(I) + ".tmp";
      HANDLE H = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      if (H != INVALID_HANDLE_VALUE) CloseHandle(H);
    }
  }
}
