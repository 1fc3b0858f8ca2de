#pragma once
// Where the command line's text goes. The program is a GUI-subsystem
// executable: it has standard handles only when its caller handed them over
// (a pipe or a file, as scripts do), and no console of its own. So output
// goes to
//   1. the file of --out, when given: written beside it under a temporary
//      name and renamed over it at the end, so a reader never sees half of it;
//   2. else the inherited standard output, when it is a pipe, a file or a
//      console;
//   3. else the console of the process that started this one (cmd.exe),
//      joined with AttachConsole;
//   4. else nowhere: the exit code still tells.
// Errors go to the inherited standard error, else that console, never into
// the --out file. Text is UTF-8 inside: a pipe or file gets its bytes as they
// are (no BOM); a console gets UTF-16 through WriteConsoleW.

#include "win/Handle.h"

#include <windows.h>

#include <string>
#include <string_view>

class TConsole {
public:
  TConsole() = default;
  ~TConsole();  // a --out file not committed is removed
  TConsole(const TConsole&) = delete;
  TConsole& operator=(const TConsole&) = delete;

  // Chooses where the text goes. False, with the reason in Error, when the
  // --out file cannot be made, or what stands under its name cannot be
  // replaced (a folder, a read-only file, one held open); errors can still be
  // written then.
  bool Open(const std::string& OutFile, std::string& Error);
  void Write(std::string_view Text);
  void WriteError(std::string_view Text);
  // Puts the --out file in place; false, with the reason, when that failed.
  bool Commit(std::string& Error);

private:
  struct TStream {
    HANDLE Handle = nullptr;
    bool Console = false;
  };
  static bool Put(const TStream& Stream, std::string_view Text);
  TStream Inherited(DWORD Which);
  TStream AttachedConsole();

  TStream FOut, FError;
  bool FAttachTried = false;
  TFileHandle FConsoleOut;  // the parent's console, once joined
  TFileHandle FFile;        // the temporary file behind --out
  std::wstring FTemporary, FTarget;
  DWORD FWriteFailed = 0;  // the system error of a write to it that failed
};
