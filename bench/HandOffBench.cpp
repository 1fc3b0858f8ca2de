// What the scanner's hand-off to the main thread costs per entry, under Wine:
// the same tree searched by a plain single-threaded FindFirstFile walk and by
// the scanner, its handlers on the main thread, while the main thread
//   - waits for it in Application.WaitWhile (the sweep's case),
//   - sleeps in its message loop (the last sweep of a run),
// and, for scale, what one cross-thread SendMessage round trip costs.
// Then the same comparison with a handler that deletes each file, as a sweep does.
//
// Run by hand: /usr/lib/wine/wine64 build/bench/handoff_bench.exe [folders] [files per folder]

#include "scan/FScanner.h"
#include "win/Application.h"
#include "win/Shell.h"

#include "BenchTree.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

void RemoveTree(const std::string& Path) {
  WIN32_FIND_DATAA E;
  HANDLE S = FindFirstFileA((Path + "\\*").c_str(), &E);
  if (S != INVALID_HANDLE_VALUE) {
    do {
      std::string N = E.cFileName;
      if (N == "." || N == "..") continue;
      std::string Full = Path + "\\" + N;
      if (E.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(Full);
      else
        DeleteFileA(Full.c_str());
    } while (FindNextFileA(S, &E));
    FindClose(S);
  }
  RemoveDirectoryA(Path.c_str());
}

// The reference: what the worker does, on one thread, the "handler" called directly.
void Walk(const std::string& Folder, const TMaskList& Masks,
          const std::function<void(const std::string&, const std::string&)>& Found) {
  WIN32_FIND_DATAA E;
  HANDLE S = FindFirstFileA(PathJoin(Folder, "*.*").c_str(), &E);
  if (S == INVALID_HANDLE_VALUE) return;
  do {
    if (E.cFileName[0] == '.' && (!E.cFileName[1] || (E.cFileName[1] == '.' && !E.cFileName[2])))
      continue;
    if (MatchesMaskList(E.cFileName, Masks)) Found(E.cFileName, Folder);
    if (E.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Walk(PathJoin(Folder, E.cFileName), Masks, Found);
  } while (FindNextFileA(S, &E));
  FindClose(S);
}

double Median(std::vector<double> V) {
  std::sort(V.begin(), V.end());
  return V[V.size() / 2];
}

enum class TWait { WaitWhile, MessageLoop };

double TimeScan(const std::string& Root, TWait How, std::size_t& Entries,
                const std::function<void(const std::string&, const std::string&)>& Found) {
  TBaseScanner Scanner;
  Scanner.ScanStrategy = ssSpecifiedDir;
  Scanner.Directory = Root;
  Scanner.Attributes = {};
  Entries = 0;
  Scanner.OnFileFound = [&](const std::string& N, const std::string& P, std::uint32_t,
                            std::uint32_t, TDateTime) {
    ++Entries;
    if (Found) Found(N, P);
  };
  const double Start = Now();
  Scanner.Execute();
  if (How == TWait::WaitWhile) {
    Application.WaitWhile([&] { return Scanner.Busy(); });
  } else {
    while (Scanner.Busy()) Application.HandleMessage();
  }
  return Now() - Start;
}

struct TSendArgs {
  HWND Target;
  int Count;
  volatile bool Finished;
};

DWORD WINAPI SendMany(LPVOID P) {
  auto* A = static_cast<TSendArgs*>(P);
  for (int I = 0; I < A->Count; ++I) SendMessageA(A->Target, WM_NULL, 0, 0);
  A->Finished = true;
  PostMessageA(A->Target, WM_NULL, 0, 0);
  return 0;
}

// One SendMessage round trip from a worker to a window of the main thread.
double SendMessageRoundTrip(int Count) {
  WNDCLASSA C{};
  C.lpfnWndProc = DefWindowProcA;
  C.hInstance = GetModuleHandleA(nullptr);
  C.lpszClassName = "HandOffBenchTarget";
  RegisterClassA(&C);
  HWND Target = CreateWindowExA(0, C.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                C.hInstance, nullptr);
  TSendArgs Args{Target, Count, false};
  const double Start = Now();
  HANDLE Thread = CreateThread(nullptr, 0, SendMany, &Args, 0, nullptr);
  while (!Args.Finished) Application.HandleMessage();
  const double Elapsed = Now() - Start;
  WaitForSingleObject(Thread, INFINITE);
  CloseHandle(Thread);
  DestroyWindow(Target);
  return Elapsed / Count;
}

}  // namespace

int main(int Argc, char** Argv) {
  const int Folders = Argc > 1 ? std::atoi(Argv[1]) : 20;
  const int Files = Argc > 2 ? std::atoi(Argv[2]) : 500;
  const int Rounds = 5;
  const std::string Root = TempFolder() + "\\VellumixHandOffBench";
  RemoveTree(Root);
  MakeTree(Root, Folders, Files);
  TMaskList Masks;
  ParseMaskList(Masks, "*");

  std::size_t Entries = 0;
  std::vector<double> WalkTimes, WaitTimes, LoopTimes;
  for (int R = 0; R < Rounds; ++R) {
    std::size_t Seen = 0;
    double Start = Now();
    Walk(Root, Masks, [&](const std::string&, const std::string&) { ++Seen; });
    WalkTimes.push_back(Now() - Start);
    WaitTimes.push_back(TimeScan(Root, TWait::WaitWhile, Entries, nullptr));
    if (Entries != Seen) std::printf("entry counts differ: %zu vs %zu\n", Entries, Seen);
    LoopTimes.push_back(TimeScan(Root, TWait::MessageLoop, Entries, nullptr));
  }
  const double Walk1 = Median(WalkTimes), Wait1 = Median(WaitTimes), Loop1 = Median(LoopTimes);
  const double PerEntry = 1e6 / Entries;
  std::printf("tree: %d folders x %d files = %zu entries (+%d folder hand-offs), median of %d\n",
              Folders, Files, Entries, Folders + 1, Rounds);
  std::printf("plain FindFirstFile walk         %8.1f ms  %6.2f us/entry\n", Walk1 * 1e3, Walk1 * PerEntry);
  std::printf("scanner, main in WaitWhile       %8.1f ms  %6.2f us/entry  added %6.2f us/entry\n",
              Wait1 * 1e3, Wait1 * PerEntry, (Wait1 - Walk1) * PerEntry);
  std::printf("scanner, main in message loop    %8.1f ms  %6.2f us/entry  added %6.2f us/entry\n",
              Loop1 * 1e3, Loop1 * PerEntry, (Loop1 - Walk1) * PerEntry);
  std::printf("cross-thread SendMessage          %6.2f us/round trip\n",
              SendMessageRoundTrip(2000) * 1e6);

  // As a sweep does: delete each file as it is reported.
  const int SweepFiles = Files;
  std::vector<double> WalkDelete, ScanDelete;
  auto Delete = [](const std::string& Name, const std::string& Path) {
    DeleteFileA(PathJoin(Path, Name).c_str());
  };
  std::size_t Swept = 0;
  for (int R = 0; R < 3; ++R) {
    RemoveTree(Root);
    MakeTree(Root, 4, SweepFiles);
    double Start = Now();
    Walk(Root, Masks, Delete);
    WalkDelete.push_back(Now() - Start);
    RemoveTree(Root);
    MakeTree(Root, 4, SweepFiles);
    ScanDelete.push_back(TimeScan(Root, TWait::WaitWhile, Swept, Delete));
  }
  const double WD = Median(WalkDelete), SD = Median(ScanDelete);
  std::printf("deleting %zu entries: walk %8.1f ms (%6.2f us/entry), scanner %8.1f ms (%6.2f us/entry), added %6.2f us/entry\n",
              Swept, WD * 1e3, WD * 1e6 / Swept, SD * 1e3, SD * 1e6 / Swept, (SD - WD) * 1e6 / Swept);
  RemoveTree(Root);
  return 0;
}
