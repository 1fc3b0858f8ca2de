// The MSI made by scripts/package, for managed machines, under the system's
// msiexec: a silent per-machine install, a major upgrade to the next version
// (built beside it for the tests), a downgrade refused, and the uninstall.
// The steps build on each other and each costs seconds: one test.
#include "support/Fixtures.h"
#include "support/Program.h"
#include "win/Registry.h"
#include "version.h"

#include <gtest/gtest.h>
#include <shlobj.h>

namespace {

constexpr char UninstallKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr DWORD InstallFailure = 1603;  // ERROR_INSTALL_FAILURE: what a refused downgrade ends with

bool Exists(const std::string& Path) { return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Folder(int Csidl) {
  char Path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, Csidl, nullptr, SHGFP_TYPE_CURRENT, Path);
  return Path;
}

// The versions of the machine's Apps entries named Vellumix.
std::vector<std::string> AppsEntries() {
  std::vector<std::string> Versions;
  TRegistry Reg(HKEY_LOCAL_MACHINE);
  if (!Reg.OpenKeyReadOnly(UninstallKeys)) return Versions;
  for (const std::string& Name : Reg.GetKeyNames()) {
    TRegistry Entry(HKEY_LOCAL_MACHINE);
    if (Entry.OpenKeyReadOnly(std::string(UninstallKeys) + "\\" + Name) &&
        Entry.ReadString("DisplayName").value_or("") == "Vellumix")
      Versions.push_back(Entry.ReadString("DisplayVersion").value_or("?"));
  }
  return Versions;
}

DWORD Msiexec(const std::string& Args) {
  char System[MAX_PATH] = {};
  GetSystemDirectoryA(System, MAX_PATH);
  TProgram Run(std::string(System) + "\\msiexec.exe", Args + " /qn");
  EXPECT_TRUE(Run.WaitExit(std::chrono::seconds(90))) << Args;
  return Run.ExitCode();
}

TEST(Msi, InstallsUpgradesRefusesADowngradeAndUninstalls) {
  const std::string Current = DosPath(VELLUMIX_PACKAGE_DIR) + "\\vellumix-" VELLUMIX_VERSION_SHORT ".msi";
  const std::string Next = DosPath(VELLUMIX_PACKAGE_TESTS_DIR) + "\\vellumix-next.msi";
  if (!Exists(Current) || !Exists(Next)) GTEST_SKIP() << "no MSI at " << Current << " (scripts/package makes it)";
  const std::string Dir = Folder(CSIDL_PROGRAM_FILES) + "\\Vellumix\\";
  // The Start menu of all users; Wine's msi puts it in the user's whatever ALLUSERS says.
  const std::string Shortcut = Folder(CSIDL_COMMON_PROGRAMS) + "\\Vellumix.lnk";
  const std::string WineShortcut = Folder(CSIDL_PROGRAMS) + "\\Vellumix.lnk";
  const auto HasShortcut = [&] { return Exists(Shortcut) || Exists(WineShortcut); };
  const std::vector<std::string> Files = {"vellumix.exe", "manual.htm", "faq.htm", "LICENSE.txt", "skins\\winxp1.bmp",
                                          "PolicyDefinitions\\Vellumix.admx",
                                          "PolicyDefinitions\\en-US\\Vellumix.adml"};
  ASSERT_FALSE(Exists(Dir)) << "installed already";
  const std::string ThisVersion = VELLUMIX_VERSION_SHORT "." VELLUMIX_STR(VELLUMIX_VERSION_PATCH);
  const std::string NextVersion =
      VELLUMIX_STR(VELLUMIX_VERSION_MAJOR) "." + std::to_string(VELLUMIX_VERSION_MINOR + 1) + ".0";

  ASSERT_EQ(Msiexec("/i \"" + Current + "\""), 0u);
  for (const std::string& File : Files) EXPECT_TRUE(Exists(Dir + File)) << File;
  EXPECT_TRUE(HasShortcut());
  EXPECT_FALSE(Exists(Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Vellumix.lnk"));
  EXPECT_FALSE(Exists(Folder(CSIDL_DESKTOPDIRECTORY) + "\\Vellumix.lnk"));
  EXPECT_EQ(AppsEntries(), std::vector<std::string>{ThisVersion});

  // The next version replaces this one.
  ASSERT_EQ(Msiexec("/i \"" + Next + "\""), 0u);
  for (const std::string& File : Files) EXPECT_TRUE(Exists(Dir + File)) << File;
  EXPECT_TRUE(HasShortcut());
  EXPECT_EQ(AppsEntries(), std::vector<std::string>{NextVersion});

  // This one again would be a downgrade.
  EXPECT_EQ(Msiexec("/i \"" + Current + "\""), InstallFailure);
  EXPECT_EQ(AppsEntries(), std::vector<std::string>{NextVersion});
  EXPECT_TRUE(Exists(Dir + "vellumix.exe"));

  EXPECT_EQ(Msiexec("/x \"" + Next + "\""), 0u);
  EXPECT_FALSE(Exists(Dir)) << "files left behind";
  EXPECT_FALSE(HasShortcut());
  EXPECT_TRUE(AppsEntries().empty());
}

}  // namespace
