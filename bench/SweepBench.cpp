// The temporary-files sweep against two references, under Wine, on identical
// trees in the same run and prefix:
//   - the system's own "cmd /c rd /s /q",
//   - a plain one-thread find-and-delete loop (FindFirstFileExW, DeleteFileW,
//     RemoveDirectoryW): the floor that deleting itself sets,
//   - the main window's sweep of the temporary folder (its worker's plan and
//     clean), once while the main thread waits in a command (WaitForScanner)
//     and once while it sits idle in its message loop, as after a run has
//     returned.
// With "memory", the peak working set of the sweep above the idle figure
// instead of the references;
// with "idle", the processor time the program takes in 60 s with nothing to do.
//
// Run by hand: /usr/lib/wine/wine64 build/bench/sweep_bench.exe [folders] [files per folder] [memory] [idle]

#include "app/UMain.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include "BenchTree.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The floor: one thread that finds and deletes.
void PlainDelete(const std::wstring& Folder) {
  WIN32_FIND_DATAW E;
  HANDLE S = FindFirstFileExW((Folder + L"\\*").c_str(), FindExInfoBasic, &E, FindExSearchNameMatch,
                              nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (S != INVALID_HANDLE_VALUE) {
    do {
      if (!wcscmp(E.cFileName, L".") || !wcscmp(E.cFileName, L"..")) continue;
      const std::wstring Full = Folder + L"\\" + E.cFileName;
      if (E.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        PlainDelete(Full);
      else
        DeleteFileW(Full.c_str());
    } while (FindNextFileW(S, &E));
    FindClose(S);
  }
  RemoveDirectoryW(Folder.c_str());
}

void RunAndWait(const std::string& CommandLine) {
  STARTUPINFOA Startup{sizeof Startup};
  PROCESS_INFORMATION Info{};
  std::string Line = CommandLine;
  if (!CreateProcessA(nullptr, Line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &Startup, &Info))
    return;
  WaitForSingleObject(Info.hProcess, INFINITE);
  CloseHandle(Info.hThread);
  CloseHandle(Info.hProcess);
}

double PeakWorkingSetMb() {
  PROCESS_MEMORY_COUNTERS C{sizeof C};
  GetProcessMemoryInfo(GetCurrentProcess(), &C, sizeof C);
  return C.PeakWorkingSetSize / 1048576.0;
}
double WorkingSetMb() {
  PROCESS_MEMORY_COUNTERS C{sizeof C};
  GetProcessMemoryInfo(GetCurrentProcess(), &C, sizeof C);
  return C.WorkingSetSize / 1048576.0;
}

double CpuSeconds() {
  FILETIME Create, Exit, Kernel, User;
  GetProcessTimes(GetCurrentProcess(), &Create, &Exit, &Kernel, &User);
  auto Value = [](const FILETIME& T) { return ((ULONGLONG{T.dwHighDateTime} << 32) | T.dwLowDateTime) / 1e7; };
  return Value(Kernel) + Value(User);
}

}  // namespace

int main(int argc, char** argv) {
  const int Folders = argc > 1 ? std::atoi(argv[1]) : 200;
  const int Files = argc > 2 ? std::atoi(argv[2]) : 100;
  bool Memory = false, Idle = false;
  for (int I = 3; I < argc; ++I) {
    Memory |= !std::strcmp(argv[I], "memory");
    Idle |= !std::strcmp(argv[I], "idle");
  }
  const double Entries = Folders * (Files + 1.0);
  const std::string Base = TempFolder() + "\\VellumixSweepBench";
  CreateDirectoryA(Base.c_str(), nullptr);

  // The main window sweeps "the temporary folder": point it at a folder of ours.
  const std::string Temp = Base + "\\temp";
  CreateDirectoryA(Temp.c_str(), nullptr);
  SetEnvironmentVariableA("TMP", Temp.c_str());
  SetEnvironmentVariableA("TEMP", Temp.c_str());
  // The window's settings in a scratch key, marked as not the first start.
  HKEY Scratch;
  RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\VellumixBench", 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &Scratch, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, Scratch);
  RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Vellumix", "FirstTime", REG_SZ, "1", 2);
  Application.Initialize();
  TMainForm Form("");
  Form.Option->DelTempFiles = true;
  Form.Option->KeepTempFiles = false;

  std::printf("tree: %d folders x %d files = %.0f entries\n", Folders, Files, Entries);
  auto Report = [&](const char* What, double Seconds, double Reference) {
    std::printf("%-34s %8.3f s  %7.1f us/entry", What, Seconds, Seconds / Entries * 1e6);
    if (Reference > 0) std::printf("  %.2fx the floor", Seconds / Reference);
    std::printf("\n");
  };

  // The references (skipped for the memory figure, whose trees are large).
  double Rd = 0, Floor = 0, T0;
  if (!Memory) {
    MakeTree(Base + "\\rd", Folders, Files);
    T0 = Now();
    RunAndWait("cmd /c rd /s /q \"" + Base + "\\rd\"");
    Rd = Now() - T0;
    Report("cmd /c rd /s /q", Rd, 0);

    MakeTree(Base + "\\plain", Folders, Files);
    T0 = Now();
    PlainDelete(WidePath(Base + "\\plain"));
    Floor = Now() - T0;
    Report("plain find-and-delete (floor)", Floor, 0);
  }

  MakeTree(Temp, Folders, Files);
  const double IdleSet = WorkingSetMb();
  T0 = Now();
  Form.HandOffFolder(TempFolder());
  Form.WaitForScanner();
  const double Waiting = Now() - T0;
  Report("sweep, main thread waiting", Waiting, Floor);
  if (Rd > 0) std::printf("%-34s %8.2f x rd /s /q\n", "", Waiting / Rd);
  if (Memory)
    std::printf("%-34s %8.2f MB above the idle working set\n", "peak working set", PeakWorkingSetMb() - IdleSet);

  MakeTree(Temp, Folders, Files);
  T0 = Now();
  Form.HandOffFolder(TempFolder());
  while (Form.SweepBusy()) Application.HandleMessage();  // the program's own loop
  const double Looping = Now() - T0;
  Report("sweep, main thread in its loop", Looping, Floor);
  if (Rd > 0) std::printf("%-34s %8.2f x rd /s /q\n", "", Looping / Rd);

  if (Idle) {
    // A minute in the message loop with nothing to do.
    const double Cpu = CpuSeconds();
    SetTimer(nullptr, 0, 60000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); });
    Application.Run();
    std::printf("%-34s %8.3f s of processor time in 60 s\n", "idle", CpuSeconds() - Cpu);
  }
  RemoveDirectoryA(Temp.c_str());
  RemoveDirectoryA(Base.c_str());
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegCloseKey(Scratch);
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VellumixBench");
  return 0;
}
