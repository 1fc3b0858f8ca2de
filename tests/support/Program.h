#pragma once
// Whole-program tests: start vellumix.exe (or another program) as its own
// process and find its windows. The destructor ends a program still running.

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

// The build folder, where vellumix.exe lies (the test runners lie in tests\).
std::string BuildFolder();

class TProgram {
public:
  explicit TProgram(const std::string& Exe, const std::string& Args = "");
  ~TProgram();
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  DWORD Pid() const noexcept { return FInfo.dwProcessId; }
  bool Running() const;
  // Waits for the program to end; true if it did in time.
  bool WaitExit(std::chrono::milliseconds Timeout = std::chrono::seconds(15));
  DWORD ExitCode() const;

  // The program's top-level windows of a window class (and caption, if given).
  std::vector<HWND> Windows(const std::string& Class, const char* Caption = nullptr) const;
  // Waits for a top-level window of the class (visible, if asked); null on time-out.
  HWND WaitWindow(const std::string& Class, bool Visible = true, const char* Caption = nullptr,
                  std::chrono::milliseconds Timeout = std::chrono::seconds(20)) const;
  // Returns once the program's message loop has handled a message sent to Window.
  bool Settled(HWND Window) const;

private:
  PROCESS_INFORMATION FInfo{};
};
