#include "support/Fixtures.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdlib>

std::string DosPath(std::string_view UnixPath) {
  std::string Path = "Z:";
  for (char C : UnixPath) Path += C == '/' ? '\\' : C;
  return Path;
}

std::string HomePath(std::string_view Relative) {
  // Wine keeps HOME from Windows programs but tells it, in NT form, as WINEHOMEDIR.
  const char* Home = std::getenv("WINEHOMEDIR");
  std::string Path = Home ? Home : "";
  if (Path.rfind("\\??\\", 0) == 0) Path.erase(0, 4);
  if (!Relative.empty()) Path.append("\\").append(Relative);
  for (char& C : Path)
    if (C == '/') C = '\\';
  return Path;
}

std::string FixturePath(std::string_view Name) {
  return DosPath(VELLUMIX_FIXTURES) + "\\" + std::string(Name);
}

void ImportRegFile(std::string_view Name) {
  std::string Command = "regedit.exe /s \"" + FixturePath(Name) + "\"";
  STARTUPINFOA Startup{};
  Startup.cb = sizeof Startup;
  PROCESS_INFORMATION Process{};
  ASSERT_TRUE(CreateProcessA(nullptr, Command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &Startup, &Process))
      << Command;
  DWORD Wait = WaitForSingleObject(Process.hProcess, 30000);
  DWORD Exit = 1;
  GetExitCodeProcess(Process.hProcess, &Exit);
  CloseHandle(Process.hThread);
  CloseHandle(Process.hProcess);
  ASSERT_EQ(Wait, WAIT_OBJECT_0) << Command;
  ASSERT_EQ(Exit, 0u) << Command;
}

TScratchKeys::TScratchKeys(std::initializer_list<std::pair<HKEY, std::string>> Keys) : FKeys(Keys) {
  DeleteAll();  // left over by an earlier run that died
}

TScratchKeys::~TScratchKeys() { DeleteAll(); }

void TScratchKeys::DeleteAll() const {
  for (const auto& [Root, Path] : FKeys) SHDeleteKeyA(Root, Path.c_str());
}

TEnvVar::TEnvVar(const char* Name, const std::string& Value) : FName(Name) {
  char Old[MAX_PATH * 2];
  const DWORD Len = GetEnvironmentVariableA(Name, Old, sizeof Old);
  FHad = Len > 0 && Len < sizeof Old;
  if (FHad) FOld = Old;
  SetEnvironmentVariableA(Name, Value.c_str());
}

TEnvVar::~TEnvVar() { SetEnvironmentVariableA(FName, FHad ? FOld.c_str() : nullptr); }
