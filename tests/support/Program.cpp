#include "support/Program.h"

#include "support/Windows.h"

#include <stdexcept>

std::string BuildFolder() {
  char Path[MAX_PATH];
  GetModuleFileNameA(nullptr, Path, MAX_PATH);
  std::string Folder = Path;
  Folder.resize(Folder.find_last_of('\\'));      // ...\build\tests
  return Folder.substr(0, Folder.find_last_of('\\') + 1);  // ...\build\ .
}

TProgram::TProgram(const std::string& Exe, const std::string& Args) {
  std::string CommandLine = "\"" + Exe + "\"" + (Args.empty() ? "" : " " + Args);
  STARTUPINFOA Startup{sizeof Startup};
  std::string Folder = Exe.substr(0, Exe.find_last_of('\\'));
  if (!CreateProcessA(Exe.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      Folder.c_str(), &Startup, &FInfo))
    throw std::runtime_error("cannot start " + Exe);
}

TProgram::~TProgram() {
  if (Running()) {
    TerminateProcess(FInfo.hProcess, 1);
    WaitForSingleObject(FInfo.hProcess, 10000);
  }
  CloseHandle(FInfo.hThread);
  CloseHandle(FInfo.hProcess);
}

bool TProgram::Running() const { return WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT; }

bool TProgram::WaitExit(std::chrono::milliseconds Timeout) {
  return WaitForSingleObject(FInfo.hProcess, static_cast<DWORD>(Timeout.count())) == WAIT_OBJECT_0;
}

DWORD TProgram::ExitCode() const {
  DWORD Code = STILL_ACTIVE;
  GetExitCodeProcess(FInfo.hProcess, &Code);
  return Code;
}

namespace {
struct TSearch {
  DWORD Pid;
  const std::string* Class;
  const char* Caption;
  std::vector<HWND> Found;
};

BOOL CALLBACK Collect(HWND Window, LPARAM Param) {
  auto* S = reinterpret_cast<TSearch*>(Param);
  DWORD Pid = 0;
  GetWindowThreadProcessId(Window, &Pid);
  if (Pid == S->Pid && ClassName(Window) == *S->Class &&
      (!S->Caption || WindowText(Window) == S->Caption))
    S->Found.push_back(Window);
  return TRUE;
}
}  // namespace

std::vector<HWND> TProgram::Windows(const std::string& Class, const char* Caption) const {
  TSearch S{Pid(), &Class, Caption, {}};
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&S));
  return S.Found;
}

HWND TProgram::WaitWindow(const std::string& Class, bool Visible, const char* Caption,
                          std::chrono::milliseconds Timeout) const {
  HWND Found = nullptr;
  WaitUntil(
      [&] {
        for (HWND W : Windows(Class, Caption))
          if (!Visible || IsWindowVisible(W)) Found = W;
        return Found != nullptr;
      },
      Timeout);
  return Found;
}

bool TProgram::Settled(HWND Window) const {
  DWORD_PTR Result;
  return SendMessageTimeoutA(Window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &Result) != 0;
}
