// The installer made by scripts/package, run silently in the test prefix:
// what it installs and registers, the installed program, and the uninstaller.
#include "support/Fixtures.h"
#include "support/Program.h"
#include "support/Windows.h"
#include "win/Handle.h"
#include "win/Registry.h"
#include "version.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

namespace {

constexpr char Settings[] = "Software\\Vellumix";
constexpr char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vellumix";
constexpr char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool Exists(const std::string& Path) { return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Folder(int Csidl) {
  char Path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, Csidl, nullptr, SHGFP_TYPE_CURRENT, Path);
  return Path;
}

class Installer : public ::testing::Test {
protected:
  const std::string Setup = DosPath(VELLUMIX_PACKAGE_DIR) + "\\vellumix-" VELLUMIX_VERSION_SHORT "-setup.exe";
  const std::string Dir = Folder(CSIDL_PROGRAM_FILES) + "\\Vellumix\\";
  const std::string Shortcut = Folder(CSIDL_COMMON_PROGRAMS) + "\\Vellumix.lnk";
  const std::vector<std::string> Files = {"vellumix.exe", "skins\\winxp1.bmp", "skins\\winxp2.bmp",
                                          "manual.htm",   "faq.htm",           "LICENSE.txt",
                                          "uninstall.exe"};

  void SetUp() override {
    if (!Exists(Setup)) GTEST_SKIP() << "no installer at " << Setup << " (scripts/package makes it)";
    ASSERT_FALSE(Exists(Dir)) << "installed already";
    SHDeleteKeyA(HKEY_CURRENT_USER, Settings);
  }
  void TearDown() override {
    SHDeleteKeyA(HKEY_CURRENT_USER, Settings);
    SHDeleteValueA(HKEY_CURRENT_USER, RunKey, "Vellumix");
  }
  // Runs the uninstaller silently. It copies itself to the temporary folder as
  // Un.exe (Un_A.exe in older versions) and goes on there, so its end is
  // awaited by that process's name.
  static void Uninstall(const std::string& From, const char* Args) {
    {
      TProgram Un(From + "uninstall.exe", Args);
      ASSERT_TRUE(Un.WaitExit());
    }
    EXPECT_TRUE(WaitUntil([] { return !UninstallerRuns(); }, std::chrono::seconds(60)));
  }
  static bool UninstallerRuns() {
    TKernelHandle Snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 Entry{sizeof Entry};
    for (BOOL More = Process32First(Snapshot.get(), &Entry); More; More = Process32Next(Snapshot.get(), &Entry))
      if (StrCmpIA(Entry.szExeFile, "Un.exe") == 0 || StrCmpNIA(Entry.szExeFile, "Un_", 3) == 0) return true;
    return false;
  }
};

TEST_F(Installer, InstallsRunsAndUninstallsLeavingTheSettings) {
  {
    TProgram Install(Setup, "/S");
    ASSERT_TRUE(Install.WaitExit(std::chrono::seconds(60)));
    ASSERT_EQ(Install.ExitCode(), 0u);
  }
  // Per machine (Wine's user is an administrator), into the 64-bit Program Files.
  for (const std::string& File : Files) EXPECT_TRUE(Exists(Dir + File)) << File;
  EXPECT_TRUE(Exists(Shortcut));
  {
    TRegistry Entry(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(Entry.OpenKey(UninstallKey, false));
    EXPECT_EQ(Entry.ReadString("DisplayName"), "Vellumix");
    EXPECT_EQ(Entry.ReadString("DisplayVersion"), VELLUMIX_VERSION_SHORT);
    EXPECT_EQ(Entry.ReadString("Publisher"), "The Vellumix developers");
    EXPECT_EQ(Entry.ReadString("DisplayIcon"), Dir + "vellumix.exe,0");
    EXPECT_GT(Entry.ReadInteger("EstimatedSize").value_or(0), 500u);  // KiB; the program alone is more
    EXPECT_EQ(Entry.ReadString("UninstallString"), "\"" + Dir + "uninstall.exe\" /AllUsers");
  }

  // The installed program starts and shows its window; the user lets it start with Windows.
  {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(Settings, true));
    Reg.WriteString("FirstTime", "1");
    ASSERT_TRUE(Reg.OpenKey(std::string("\\") + RunKey, true));
    Reg.WriteString("Vellumix", "\"" + Dir + "vellumix.exe\"");
  }
  TProgram Program(Dir + "vellumix.exe");
  ASSERT_TRUE(Program.WaitWindow("TMainForm", true, "Vellumix"));

  // Uninstalled while it runs: the program is asked to exit and does so.
  Uninstall(Dir, "/S");
  EXPECT_TRUE(Program.WaitExit(std::chrono::seconds(5)));
  EXPECT_EQ(Program.ExitCode(), 0u);
  for (const std::string& File : Files) EXPECT_FALSE(Exists(Dir + File)) << File;
  EXPECT_FALSE(Exists(Shortcut));
  EXPECT_FALSE(Exists(Dir));
  TRegistry Machine(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(Machine.KeyExists(UninstallKey));
  TRegistry User;
  ASSERT_TRUE(User.OpenKey(RunKey, false));
  EXPECT_FALSE(User.ValueExists("Vellumix"));
  // Silent: the settings stay.
  ASSERT_TRUE(User.OpenKey(std::string("\\") + Settings, false));
  EXPECT_EQ(User.ReadString("FirstTime"), "1");
}

// A start-with-Windows value of another copy (a portable one) and a file of
// the user's own in the program's folder are not the uninstaller's to remove.
TEST_F(Installer, UninstallLeavesWhatItDidNotPutThere) {
  {
    TProgram Install(Setup, "/S");
    ASSERT_TRUE(Install.WaitExit(std::chrono::seconds(60)));
    ASSERT_EQ(Install.ExitCode(), 0u);
  }
  const std::string Portable = "\"C:\\Tools\\Vellumix\\vellumix.exe\" run";
  {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(RunKey, true));
    Reg.WriteString("Vellumix", Portable);
  }
  const std::string Own = Dir + "notes.txt";
  HANDLE File = CreateFileA(Own.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(File, INVALID_HANDLE_VALUE);
  CloseHandle(File);

  Uninstall(Dir, "/S");
  EXPECT_FALSE(Exists(Dir + "vellumix.exe"));
  EXPECT_FALSE(Exists(Dir + "uninstall.exe"));
  EXPECT_TRUE(Exists(Own));
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKey(RunKey, false));
  EXPECT_EQ(Reg.ReadString("Vellumix"), Portable);

  DeleteFileA(Own.c_str());
  RemoveDirectoryA(Dir.c_str());
}

// Per user: the user's own programs folder, Start menu and uninstall entry;
// nothing machine-wide.
TEST_F(Installer, PerUserInstallStaysWithTheUser) {
  char Local[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, Local), S_OK);
  const std::string UserDir = std::string(Local) + "\\Programs\\Vellumix\\";
  const std::string UserShortcut = Folder(CSIDL_PROGRAMS) + "\\Vellumix.lnk";
  {
    TProgram Install(Setup, "/S /CurrentUser");
    ASSERT_TRUE(Install.WaitExit(std::chrono::seconds(60)));
    ASSERT_EQ(Install.ExitCode(), 0u);
  }
  for (const std::string& File : Files) EXPECT_TRUE(Exists(UserDir + File)) << File;
  EXPECT_TRUE(Exists(UserShortcut));
  EXPECT_FALSE(Exists(Dir));
  EXPECT_FALSE(Exists(Shortcut));
  TRegistry Machine(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(Machine.KeyExists(UninstallKey));
  TRegistry Entry;
  ASSERT_TRUE(Entry.OpenKey(UninstallKey, false));
  EXPECT_EQ(Entry.ReadString("UninstallString"), "\"" + UserDir + "uninstall.exe\" /CurrentUser");
  Entry.CloseKey();

  Uninstall(UserDir, "/S /CurrentUser");
  EXPECT_FALSE(Exists(UserDir));
  EXPECT_FALSE(Exists(UserShortcut));
  EXPECT_FALSE(TRegistry().KeyExists(UninstallKey));
}

// Per machine, only below Program Files, whose permissions keep standard users
// from replacing what administrators start: an update of a copy that an older
// setup put elsewhere is refused. (Silent, /D is not used: the setup chooses
// the folder by its mode. Setting a folder's permissions instead could not be
// checked here: Wine's icacls changes nothing.)
TEST_F(Installer, PerMachineGoesOnlyBelowProgramFiles) {
  const std::string Elsewhere = "C:\\VellumixElsewhere";
  {
    TRegistry Entry(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(Entry.OpenKey(UninstallKey, true));
    Entry.WriteString("InstallLocation", Elsewhere);
  }
  {
    TProgram Install(Setup, "/S /AllUsers");
    ASSERT_TRUE(Install.WaitExit(std::chrono::seconds(60)));
    EXPECT_NE(Install.ExitCode(), 0u);
  }
  EXPECT_FALSE(Exists(Elsewhere + "\\vellumix.exe"));
  EXPECT_FALSE(Exists(Dir + "vellumix.exe"));
  TRegistry Entry(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(Entry.OpenKey(UninstallKey, false));
  EXPECT_FALSE(Entry.ValueExists("DisplayName"));
  Entry.CloseKey();
  EXPECT_TRUE(Entry.DeleteKey(UninstallKey));
  RemoveDirectoryA(Elsewhere.c_str());
}

}  // namespace
