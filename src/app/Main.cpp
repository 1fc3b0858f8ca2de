// Program entry: the command line for scripts, or one instance at a time of
// the main window and its message loop.
#include "app/UMain.h"
#include "cli/Cli.h"
#include "win/Application.h"
#include "win/Handle.h"
#include "win/Registry.h"
#include "win/Shell.h"
#include "win/SystemLibrary.h"

#include <commctrl.h>
#include <ole2.h>

#include <memory>

namespace {

// Both ShowTrayIconOnly and MinRun set: the program starts in the notification
// area only. Anything unreadable shows the window.
bool ShowMainFormAtStart() {
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!Reg.OpenKeyReadOnly("Software\\Vellumix")) return true;
  auto TrayOnly = Reg.ReadBool("ShowTrayIconOnly");
  auto MinRun = Reg.ReadBool("MinRun");
  return !(TrayOnly && MinRun && *TrayOnly && *MinRun);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a DLL (the common controls, COM, the shell): no
  // DLL comes from the program's folder or the current folder.
  RestrictDllSearch();
  // A script's command runs on its own, window open or not: it is never
  // handed to a running instance, and shows no window.
  if (const TCommandLine Line = ParseCommandLine(ProgramArguments()); !Line.ForWindow()) return RunCommandLine(Line);

  TKernelHandle Mutex(CreateMutexA(nullptr, FALSE, "Vellumix"));
  const DWORD Wait = WaitForSingleObject(Mutex.get(), 10);
  if (Wait == WAIT_TIMEOUT) {
    // Another instance runs: ask it to come forward, and leave.
    BroadcastRegisteredMessage("Check Vellumix Previous Inst");
    return 0;
  }

  INITCOMMONCONTROLSEX Controls{sizeof Controls, ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&Controls);

  // The URL-history store is a COM object used from this thread.
  OleInitialize(nullptr);
  const bool ShowMainForm = ShowMainFormAtStart();
  Application.SetTitle("Vellumix");
  Application.Initialize();

  const std::string FirstArg = __argc > 1 ? __argv[1] : "";
  int ExitCode = 0;
  try {
    TMainForm MainForm(FirstArg);
    if (ShowMainForm) {
      if (MainForm.WindowState == TWindowState::wsMinimized)
        Application.Minimize();
      else
        MainForm.Show();
    }
    Application.Run();
  } catch (const std::exception& E) {
    Application.ShowException(E);
    ExitCode = 1;
  }
  Application.Finalize();
  OleUninitialize();

  if (Wait == WAIT_OBJECT_0 || Wait == WAIT_ABANDONED) ReleaseMutex(Mutex.get());
  return ExitCode;
}
