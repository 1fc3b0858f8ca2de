// The folder guard on the real folders of the test prefix.
#include "engine/FolderGuard.h"

#include "support/TempTree.h"
#include "support/TestKey.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <gmock/gmock.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

using ::testing::HasSubstr;

std::string ShellPath(int Csidl) {
  wchar_t Path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, Csidl, nullptr, SHGFP_TYPE_CURRENT, Path))) return {};
  return Narrow(Path);
}

std::string WindowsFolder() {
  wchar_t Path[MAX_PATH] = {};
  GetWindowsDirectoryW(Path, MAX_PATH);
  return Narrow(Path);
}

TEST(FolderGuard, RefusesWhatASweepMustNeverTouch) {
  TTempTree Tree("FolderGuard");
  Tree.File("file.txt");
  const std::string Profile = ShellPath(CSIDL_PROFILE);
  ASSERT_FALSE(Profile.empty());
  struct TCase {
    std::string Folder;
    const char* Reason;  // a part of it
  };
  const TCase Cases[] = {
      {"", "no folder is named"},
      {".", "not an absolute path"},
      {"VellumixTest", "not an absolute path"},
      {"C:", "not an absolute path"},  // the current folder of drive C
      {"C:\\", "drive's root"},
      {"C:\\.", "drive's root"},
      {"C:\\windows\\..", "drive's root"},
      {"\\\\server\\share", "drive's root"},
      {"\\\\server\\share\\", "drive's root"},
      {"C:\\does-not-exist", "does not exist"},
      {Tree["file.txt"], "not a folder"},
      {WindowsFolder(), "is the Windows folder"},
      {WindowsFolder() + "\\Fonts", "lies inside the Windows folder"},
      {WindowsFolder() + "\\system32", "the Windows folder"},
      {ShellPath(CSIDL_PROGRAM_FILES), "is the Program Files folder"},
      {ShellPath(CSIDL_COMMON_APPDATA), "is the ProgramData folder"},
      {Profile, "is the user's profile folder"},
      {Profile + ".", "is the user's profile folder"},  // Windows drops a trailing dot
      {Profile + " ", "is the user's profile folder"},  // and a trailing blank
      {Profile + "\\..", "is the folder of all users' profiles"},
      {Profile + "\\AppData", "is the user's AppData folder"},
      {ShellPath(CSIDL_APPDATA), "is the user's AppData folder"},
      {ShellPath(CSIDL_LOCAL_APPDATA), "is the user's AppData folder"},
      // Under Wine these are links to one folder: refused as links there, as
      // the user's own folders elsewhere.
      {ShellPath(CSIDL_PERSONAL), ""},
      {ShellPath(CSIDL_DESKTOPDIRECTORY), ""},
      {ShellPath(CSIDL_MYPICTURES), ""},
  };
  for (const TCase& C : Cases) {
    const TFolderVerdict Verdict = CheckSweptFolder(C.Folder);
    EXPECT_FALSE(Verdict.Allowed()) << C.Folder;
    EXPECT_THAT(Verdict.Reason, HasSubstr(C.Reason)) << C.Folder;
  }
}

TEST(FolderGuard, AllowsAnOrdinaryFolderAsItReallyIs) {
  TTempTree Tree("FolderGuardAllowed");
  Tree.Folder("sub");
  for (const std::string& Given : {Tree.Path(), Tree.Path() + "\\", Tree["sub\\.."], Tree.Path() + "."}) {
    const TFolderVerdict Verdict = CheckSweptFolder(Given);
    EXPECT_TRUE(Verdict.Allowed()) << Given << ": " << Verdict.Reason;
    EXPECT_EQ(Verdict.Folder, Tree.Path()) << Given;
  }
  // The temporary folders of the user and of Windows are what sweeps are for.
  EXPECT_TRUE(CheckSweptFolder(TempFolder()).Allowed()) << CheckSweptFolder(TempFolder()).Reason;
  CreateDirectoryA((WindowsFolder() + "\\Temp").c_str(), nullptr);
  EXPECT_TRUE(CheckSweptFolder(WindowsFolder() + "\\Temp").Allowed());
}

TEST(FolderGuard, AllowsTheAdministratorsFoldersInsideWindowsAndProgramDataAndNothingBeside) {
  const std::string Windows = WindowsFolder(), Wer = ShellPath(CSIDL_COMMON_APPDATA) + "\\Microsoft\\Windows\\WER";
  // Made where the prefix lacks them, and removed again afterwards (the
  // deepest first).
  std::vector<std::string> Made;
  for (const std::string& Folder :
       {Windows + "\\Prefetch", Windows + "\\Prefetch\\ReadyBoot", Windows + "\\Prefetcher",
        ShellPath(CSIDL_COMMON_APPDATA) + "\\Microsoft", ShellPath(CSIDL_COMMON_APPDATA) + "\\Microsoft\\Windows", Wer,
        Wer + "\\ReportArchive", Wer + "\\ReportQueue", Wer + "\\Temp"})
    if (CreateDirectoryA(Folder.c_str(), nullptr)) Made.push_back(Folder);
  struct TCase {
    std::string Folder;
    bool Allowed;
  };
  const TCase Cases[] = {
      {Windows + "\\Prefetch", true},
      {Windows + "\\prefetch\\", true},
      {Windows + "\\Prefetch\\ReadyBoot", false},  // the folder itself only
      {Windows + "\\Prefetcher", false},
      {Windows + "\\Temp\\..\\Prefetch", true},
      {Wer + "\\ReportArchive", true},
      {Wer + "\\ReportQueue", true},
      {Wer + "\\Temp", true},
  };
  for (const TCase& C : Cases) {
    const TFolderVerdict Verdict = CheckSweptFolder(C.Folder);
    EXPECT_EQ(Verdict.Allowed(), C.Allowed) << C.Folder << ": " << Verdict.Reason;
    if (!C.Allowed) {
      EXPECT_THAT(Verdict.Reason, HasSubstr("inside the Windows folder")) << C.Folder;
    }
  }
  for (auto It = Made.rbegin(); It != Made.rend(); ++It) RemoveDirectoryA(It->c_str());
}

// Sweeps reach the user's own data unasked, and nothing else: what lies
// elsewhere needs the user's consent, and some folders not even that.
TEST(FolderGuard, AllowsOnlyTheUsersOwnDataUnlessTheUserAllowedAFolder) {
  TTempTree Tree("FolderGuardAllowList");
  const std::string Profile = ShellPath(CSIDL_PROFILE), Users = Profile.substr(0, Profile.rfind('\\'));
  const std::string Roaming = ShellPath(CSIDL_APPDATA) + "\\VellumixGuardTest";
  // Made for the test, removed after it (the deepest first).
  std::vector<std::string> Made;
  for (const std::string& Folder :
       {Roaming, Users + "\\Public\\VellumixGuardTest", Users + "\\someone-else",
        Users + "\\someone-else\\AppData", Users + "\\someone-else\\AppData\\Local",
        Users + "\\someone-else\\AppData\\Local\\Temp", std::string("V:\\VellumixGuardTest")})
    if (CreateDirectoryA(Folder.c_str(), nullptr)) Made.push_back(Folder);
  TTempTree Synced("FolderGuardOneDrive");
  const std::string OneDrive = Synced.Path(), RamDisk = "V:\\VellumixGuardTest";
  SetEnvironmentVariableA("OneDrive", OneDrive.c_str());
  struct TCase {
    std::string Folder;
    TSweepScope Scope;
    const char* Reason;  // a part of it; empty: allowed
    bool NeedsConsent = false;
  };
  const TCase Cases[] = {
      {Tree.Path(), TSweepScope::UserData, ""},
      {Tree.Path(), TSweepScope::UserTemp, ""},
      {Roaming, TSweepScope::UserData, ""},
      {Roaming, TSweepScope::UserTemp, "it is not your own temporary folder", true},
      {Users + "\\Public\\VellumixGuardTest", TSweepScope::UserData, "lies inside the public profile"},
      {Users + "\\Public", TSweepScope::UserTemp, "is the public profile"},
      {Users + "\\someone-else\\AppData\\Local\\Temp", TSweepScope::UserTemp, "inside another user's profile"},
      {Users, TSweepScope::UserData, "is the folder of all users' profiles"},
      {OneDrive, TSweepScope::UserData, "is OneDrive"},
      {RamDisk, TSweepScope::UserTemp, "not your own temporary folder (to sweep it all the same, allow it once: "
                                       "vellumix allow-folder \"V:\\VellumixGuardTest\")", true},
      {RamDisk, TSweepScope::UserData, "outside your own profile's AppData folders", true},
  };
  for (const TCase& C : Cases) {
    const TFolderVerdict Verdict = CheckSweptFolder(C.Folder, C.Scope);
    EXPECT_EQ(Verdict.Allowed(), !*C.Reason) << C.Folder << ": " << Verdict.Reason;
    if (*C.Reason) {
      EXPECT_THAT(Verdict.Reason, HasSubstr(C.Reason)) << C.Folder;
    }
    EXPECT_EQ(Verdict.NeedsConsent, C.NeedsConsent) << C.Folder;
    if (Verdict.Allowed()) {
      EXPECT_NE(Verdict.Id, 0u) << C.Folder;
    }
  }

  // The user allows the folder on the other drive: it, and what it holds, may
  // be swept; no consent opens a protected folder.
  TTestKey Key;
  const char* const Kept = AllowedFoldersKey;
  AllowedFoldersKey = Key.Path().c_str();
  EXPECT_EQ(AllowFolder(RamDisk), "");
  CreateDirectoryA((RamDisk + "\\inner").c_str(), nullptr);
  for (const std::string& Folder : {RamDisk, RamDisk + "\\inner"})
    EXPECT_TRUE(CheckSweptFolder(Folder, TSweepScope::UserTemp).Allowed()) << Folder;
  EXPECT_THAT(AllowFolder(Users + "\\Public"), HasSubstr("is the public profile"));
  EXPECT_THAT(AllowFolder(OneDrive), HasSubstr("is OneDrive"));
  EXPECT_FALSE(CheckSweptFolder(Users + "\\Public", TSweepScope::UserData).Allowed());
  // Another folder put in its place under the same name is refused again.
  RemoveDirectoryA((RamDisk + "\\inner").c_str());
  ASSERT_TRUE(MoveFileA(RamDisk.c_str(), (RamDisk + ".old").c_str()));
  ASSERT_TRUE(CreateDirectoryA(RamDisk.c_str(), nullptr));
  const TFolderVerdict Swapped = CheckSweptFolder(RamDisk, TSweepScope::UserTemp);
  EXPECT_FALSE(Swapped.Allowed());
  EXPECT_TRUE(Swapped.NeedsConsent);
  EXPECT_TRUE(ForgetFolder(RamDisk));
  EXPECT_FALSE(ForgetFolder(RamDisk));
  RemoveDirectoryA((RamDisk + ".old").c_str());

  AllowedFoldersKey = Kept;
  SetEnvironmentVariableA("OneDrive", nullptr);
  for (auto It = Made.rbegin(); It != Made.rend(); ++It) RemoveDirectoryA(It->c_str());
}

TEST(FolderGuard, RefusesALinkAndJudgesAFolderBehindOneWhereItLeads) {
  TTempTree Tree("FolderGuardLinks"), Target("FolderGuardTarget");
  if (UnixPath(Tree.Path()).empty()) GTEST_SKIP() << "folder links are made through Wine";
  ASSERT_TRUE(MakeFolderLink(Tree["link"], Target.Path()));
  EXPECT_THAT(CheckSweptFolder(Tree["link"]).Reason, HasSubstr("is a link"));
  // Through a link to the Windows folder, its Fonts folder is still inside it.
  ASSERT_TRUE(MakeFolderLink(Tree["windows"], WindowsFolder()));
  EXPECT_THAT(CheckSweptFolder(Tree["windows\\Fonts"]).Reason, HasSubstr("inside the Windows folder"));
  RemoveTree(Tree["link"]);
  RemoveTree(Tree["windows"]);
}

}  // namespace
