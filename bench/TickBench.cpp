// What one tick of the schedule timer costs under Wine when it starts nothing:
// the three registry reads and the decision, on the real main window, with a
// daily schedule whose time never comes. Once a second this is all the
// schedule costs.
//
// Run by hand: /usr/lib/wine/wine64 build/bench/tick_bench.exe [ticks]

#include "app/UMain.h"
#include "win/Application.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const int Ticks = argc > 1 ? std::atoi(argv[1]) : 20000;
  // The window's settings in a scratch key, marked as not the first start.
  HKEY Scratch;
  RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\VellumixBench", 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &Scratch, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, Scratch);
  RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Vellumix", "FirstTime", REG_SZ, "1", 2);
  const char Dialog[] = "Software\\Vellumix\\TOptionDlg";
  RegSetKeyValueA(HKEY_CURRENT_USER, Dialog, "CBxSchedule_Checked", REG_SZ, "True", 5);
  const DWORD Daily = 2;
  RegSetKeyValueA(HKEY_CURRENT_USER, Dialog, "ScheduleItemindex", REG_DWORD, &Daily, sizeof Daily);
  const double Noon = 0.5;
  RegSetKeyValueA(HKEY_CURRENT_USER, Dialog, "DateTimePicker_Time", REG_BINARY, &Noon, sizeof Noon);

  Application.Initialize();
  {
    TMainForm Form("");
    // Never noon: a new second each tick, so that none is skipped as seen.
    SYSTEMTIME Now{2026, 1, 0, 1, 1, 0, 0, 500};
    Form.Clock = [&] {
      Now.wSecond = static_cast<WORD>((Now.wSecond + 1) % 60);
      if (Now.wSecond == 0) Now.wMinute = static_cast<WORD>((Now.wMinute + 1) % 60);
      return Now;
    };
    const auto Start = std::chrono::steady_clock::now();
    for (int I = 0; I < Ticks; ++I) Form.TimerTimer();
    const std::chrono::duration<double, std::micro> Spent = std::chrono::steady_clock::now() - Start;
    std::printf("%d ticks: %.1f us per tick (%.4f %% of a second)\n", Ticks, Spent.count() / Ticks,
                Spent.count() / Ticks / 1e4);
  }
  Application.Finalize();
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegCloseKey(Scratch);
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VellumixBench");
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VellumixBench");
  return 0;
}
