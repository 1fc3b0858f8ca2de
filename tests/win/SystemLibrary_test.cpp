#include "win/SystemLibrary.h"

#include "win/Handle.h"
#include "win/Shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace {

bool Exists(const std::string& Path) { return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ModuleFile(HMODULE Module) {
  char Path[MAX_PATH];
  std::string File(Path, GetModuleFileNameA(Module, Path, MAX_PATH));
  std::transform(File.begin(), File.end(), File.begin(), [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
  return File;
}

std::string SystemFile(const char* Name) {
  char Path[MAX_PATH];
  std::string File = std::string(Path, GetSystemDirectoryA(Path, MAX_PATH)) + "\\" + Name;
  std::transform(File.begin(), File.end(), File.begin(), [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
  return File;
}

// A DLL that leaves a marker beside itself when loaded, in the current folder
// under a name no system DLL has. Each test runs in a process of its own, so
// narrowing this process's DLL search touches no other test.
class DllSearch : public ::testing::Test {
protected:
  const std::string Folder = TempFolder() + "\\vellumix-dllsearch\\";
  const std::string Dll = Folder + "vxstandin.dll";

  void SetUp() override {
    Clean();
    ASSERT_TRUE(CreateDirectoryA(Folder.c_str(), nullptr));
    char Runner[MAX_PATH];
    std::string StandIn(Runner, GetModuleFileNameA(nullptr, Runner, MAX_PATH));
    StandIn = StandIn.substr(0, StandIn.find_last_of('\\')) + "\\standin\\winmm.dll";
    ASSERT_TRUE(CopyFileA(StandIn.c_str(), Dll.c_str(), FALSE));
    GetCurrentDirectoryA(MAX_PATH, FPrevious);
    ASSERT_TRUE(SetCurrentDirectoryA(Folder.c_str()));
  }
  void TearDown() override {
    SetCurrentDirectoryA(FPrevious);
    Clean();
  }
  void Clean() const {
    DeleteFileA(Dll.c_str());
    DeleteFileA((Dll + ".loaded").c_str());
    RemoveDirectoryA(Folder.c_str());
  }
  char FPrevious[MAX_PATH] = {};
};

TEST_F(DllSearch, TheCurrentFolderIsSearchedUntilRestricted) {
  {
    TModule Found(LoadLibraryA("vxstandin.dll"));  // the ordinary search finds it
    ASSERT_TRUE(Found);
  }
  ASSERT_TRUE(Exists(Dll + ".loaded"));
  ASSERT_TRUE(DeleteFileA((Dll + ".loaded").c_str()));

  EXPECT_TRUE(RestrictDllSearch());  // Wine has SetDefaultDllDirectories
  TModule Again(LoadLibraryA("vxstandin.dll"));
  EXPECT_FALSE(Again);
  EXPECT_FALSE(Exists(Dll + ".loaded"));
}

TEST_F(DllSearch, SystemLibrariesComeFromTheSystemFolderOnly) {
  TModule Planted(LoadSystemLibrary(L"vxstandin.dll"));
  EXPECT_FALSE(Planted);
  EXPECT_FALSE(Exists(Dll + ".loaded"));

  TModule Winmm(LoadSystemLibrary(L"winmm.dll"));
  ASSERT_TRUE(Winmm);
  EXPECT_EQ(ModuleFile(Winmm.get()), SystemFile("winmm.dll"));
  EXPECT_TRUE(GetProcAddress(Winmm.get(), "mciSendStringA"));
}

}  // namespace
