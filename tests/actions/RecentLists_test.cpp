#include "actions/ActionUnit.h"

#include "ActionTestSupport.h"
#include "support/Fixtures.h"
#include "win/Registry.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <shlwapi.h>

#include <functional>
#include <stdexcept>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string Delphi = "Software\\Borland\\Delphi\\5.0";
const std::string ClosedFiles = Delphi + "\\Closed Files";
const std::string ClosedProjects = Delphi + "\\Closed Projects";
const std::string VbFiles = "Software\\Microsoft\\Visual Basic\\6.0\\RecentFiles";
const std::string VcFiles = "Software\\Microsoft\\DevStudio\\6.0\\Recent File List";
const std::string RealPrefs = "Software\\RealNetworks\\RealPlayer\\6.0\\Preferences";
const std::string WmpFiles = "Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList";
const std::string WmpUrls = "Software\\Microsoft\\MediaPlayer\\Player\\RecentUrlList";

std::vector<std::string> ValueNames(HKEY Root, const std::string& Path) {
  TRegistry Reg(Root);
  if (!Reg.OpenKey(Path, false)) return {"<no key>"};
  return Reg.GetValueNames();
}

std::vector<std::string> KeyNames(HKEY Root, const std::string& Path) {
  TRegistry Reg(Root);
  if (!Reg.OpenKey(Path, false)) return {"<no key>"};
  return Reg.GetKeyNames();
}

void SetString(HKEY Root, const std::string& Path, const std::string& Name, const std::string& Data) {
  TRegistry Reg(Root);
  ASSERT_TRUE(Reg.OpenKey(Path, true)) << Path;
  Reg.WriteString(Name, Data);
}

// Gives Root\Path the permissions Sddl while it lives, as a policy or another
// account may have set them. Its owner may always give full access back.
class TKeyPermissions {
public:
  TKeyPermissions(HKEY Root, std::string Path, const char* Sddl) : FRoot(Root), FPath(std::move(Path)) {
    Permit(Sddl);
  }
  ~TKeyPermissions() { Permit("D:P(A;;KA;;;WD)"); }  // so that the scratch keys can go
  TKeyPermissions(const TKeyPermissions&) = delete;
  TKeyPermissions& operator=(const TKeyPermissions&) = delete;

private:
  void Permit(const char* Sddl) const {
    TRegKey Key;
    ASSERT_EQ(RegOpenKeyExA(FRoot, FPath.c_str(), 0, WRITE_DAC, Key.put()), ERROR_SUCCESS) << FPath;
    PSECURITY_DESCRIPTOR Descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(Sddl, SDDL_REVISION_1, &Descriptor, nullptr));
    EXPECT_EQ(RegSetKeySecurity(Key.get(), DACL_SECURITY_INFORMATION, Descriptor), ERROR_SUCCESS) << FPath;
    LocalFree(Descriptor);
  }
  HKEY FRoot;
  std::string FPath;
};
constexpr char ReadOnly[] = "D:P(A;;KR;;;WD)";  // everyone may read, nobody change
constexpr char NoAccess[] = "D:P";              // nobody may even read

class RecentLists : public ::testing::Test {
protected:
  // None of these exist in a fresh test prefix.
  TScratchKeys Keys{{HKEY_CURRENT_USER, "Software\\Borland"},
                    {HKEY_CURRENT_USER, "Software\\Microsoft\\Visual Basic"},
                    {HKEY_CURRENT_USER, "Software\\Microsoft\\DevStudio"},
                    {HKEY_CURRENT_USER, "Software\\RealNetworks"},
                    {HKEY_CLASSES_ROOT, "Software\\RealNetworks"},
                    {HKEY_CURRENT_USER, "Software\\Microsoft\\MediaPlayer"}};
  TAction Action;
};

TEST_F(RecentLists, SwitchedOffTouchesNothing) {
  ImportRegFile("delphi5.reg");
  ImportRegFile("vc6.reg");
  ImportRegFile("realplayer-hkcu.reg");
  ImportRegFile("mediaplayer.reg");
  SetString(HKEY_CURRENT_USER, VbFiles, "File1", "C:\\vb\\Form1.frm");
  Action.ClearRecentDocuments(false);
  Action.ClearDelphiRecent(false);
  Action.ClearVbRecent(false);
  Action.ClearVcRecent(false);
  Action.ClearRealPlayerClips(false);
  Action.ClearMediaPlayerClips(false);
  EXPECT_THAT(Action.Messages, IsEmpty());
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, ClosedFiles), ElementsAre("File_0", "File_1"));
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, VbFiles), ElementsAre("File1"));
  EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, VcFiles).size(), 5u);
  EXPECT_EQ(KeyNames(HKEY_CURRENT_USER, RealPrefs).size(), 5u);
  EXPECT_EQ(ValueNames(HKEY_CURRENT_USER, WmpFiles).size(), 2u);
}

TEST_F(RecentLists, ShellRecentDocuments) {
  Action.ClearRecentDocuments(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in clear recent documents.")));
}

// The shell deletes the shortcuts of the folder its Recent value names: a value
// that names a drive's root is refused like a swept folder.
TEST_F(RecentLists, ARecentFolderTheGuardRefusesIsNotCleared) {
  const std::string Folders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey(Folders, true));
  const auto Was = Reg.ReadString("Recent");
  Reg.WriteString("Recent", "C:\\");
  Action.ClearRecentDocuments(true);
  if (Was)
    Reg.WriteString("Recent", *Was);
  else
    Reg.DeleteValue("Recent");
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf(
      "Did not clear recent documents: the Recent folder \"C:\\\" is refused, as it is a drive's root.")));
}

TEST_F(RecentLists, ShellFailureLineCarriesTheSystemTextAndTheRequest) {
  EXPECT_EQ(RecentDocumentsFailure(ERROR_ACCESS_DENIED),
            "Clear recent documents failed.\r\nError messages: Access denied\r\n"
            "Solution\xA3\xBA" "Found unknown error\xA3\xAC" "please inform the author by Email.");
}

TEST_F(RecentLists, DelphiBothListsCleared) {
  ImportRegFile("delphi5.reg");
  Action.ClearDelphiRecent(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in clear Delphi recent documents.")));
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, ClosedFiles), IsEmpty());
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, ClosedProjects), IsEmpty());
}

TEST_F(RecentLists, DelphiWithoutClosedProjectsIsNotInstalledButFilesAreCleared) {
  ImportRegFile("delphi5.reg");
  SHDeleteKeyA(HKEY_CURRENT_USER, ClosedProjects.c_str());
  Action.ClearDelphiRecent(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Delphi 5.0 not installed.")));
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, ClosedFiles), IsEmpty());
}

TEST_F(RecentLists, DelphiWithoutClosedFilesLeavesProjects) {
  ImportRegFile("delphi5.reg");
  SHDeleteKeyA(HKEY_CURRENT_USER, ClosedFiles.c_str());
  Action.ClearDelphiRecent(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Delphi 5.0 not installed.")));
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, ClosedProjects), ElementsAre("File_0"));
}

struct TProductCase {
  const char* Name;
  std::function<void(TAction&)> Clear;
  const char* Success;
  const char* NotInstalled;
  const char* FailurePrefix;
};

const TProductCase Products[] = {
    {"Delphi", [](TAction& A) { A.ClearDelphiRecent(true); }, "Succeeded in clear Delphi recent documents.",
     "Delphi 5.0 not installed.", "Clear Delphi recent documents failed. Error messages: "},
    {"VisualBasic", [](TAction& A) { A.ClearVbRecent(true); },
     "Succeeded in clear Visual Basic recent documents.", "Visual Basic 6.0 not installed.",
     "Clear Visual Basic recent documents failed. Error messages: "},
    {"VisualCpp", [](TAction& A) { A.ClearVcRecent(true); }, "Succeeded in clear Visual C++ recent documents.",
     "Visual C++ 6.0 not installed.", "Clear Visual C++ recent documents failed. Error messages: "},
};

TEST_F(RecentLists, ProductsNotInstalled) {
  for (const TProductCase& P : Products) {
    TAction A;
    P.Clear(A);
    EXPECT_THAT(A.Messages, ElementsAre(LineOf(P.NotInstalled))) << P.Name;
  }
}

TEST_F(RecentLists, OtherFailuresNameTheClassAndMessage) {
  ImportRegFile("delphi5.reg");
  ImportRegFile("vc6.reg");
  SetString(HKEY_CURRENT_USER, VbFiles, "File1", "C:\\vb\\Form1.frm");
  for (const TProductCase& P : Products) {
    TAction A;
    {
      TRaisingPump Pump([] { throw ERegistryException("Access is denied"); });
      P.Clear(A);
    }
    EXPECT_THAT(A.Messages, ElementsAre(LineOf(std::string(P.FailurePrefix) + "ERegistryException Access is denied")))
        << P.Name;
  }
}

TEST_F(RecentLists, ForeignExceptionsPassToTheCaller) {
  SetString(HKEY_CURRENT_USER, VbFiles, "File1", "C:\\vb\\Form1.frm");
  TRaisingPump Pump([] { throw std::runtime_error("not ours"); });
  EXPECT_THROW(Action.ClearVbRecent(true), std::runtime_error);
  EXPECT_THAT(Action.Messages, IsEmpty());
}

TEST_F(RecentLists, VisualBasicEmptyListSucceeds) {
  TRegistry Reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(Reg.OpenKey(VbFiles, true));
  Reg.CloseKey();
  Action.ClearVbRecent(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in clear Visual Basic recent documents.")));
}

TEST_F(RecentLists, VisualCppEveryValueGoesSubkeysStay) {
  ImportRegFile("vc6.reg");
  ASSERT_EQ(ValueNames(HKEY_CURRENT_USER, VcFiles).size(), 5u);
  Action.ClearVcRecent(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in clear Visual C++ recent documents.")));
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, VcFiles), IsEmpty());
  EXPECT_THAT(KeyNames(HKEY_CURRENT_USER, VcFiles), ElementsAre("Kept"));
}

struct TRealCase {
  const char* Name;
  bool Hkcr, Hkcu;
  const char* Line;
};

TEST_F(RecentLists, RealPlayerOneLineWhateverTheRoots) {
  const TRealCase Cases[] = {
      {"HKCR only", true, false, "Succeeded in clear RealPlayer recent clips."},
      {"HKCU only", false, true, "Succeeded in clear RealPlayer recent clips."},
      {"both", true, true, "Succeeded in clear RealPlayer recent clips."},
      {"neither", false, false, "RealPlayer or RealOne Player not installed."},
  };
  for (const TRealCase& C : Cases) {
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\RealNetworks");
    SHDeleteKeyA(HKEY_CLASSES_ROOT, "Software\\RealNetworks");
    if (C.Hkcr) ImportRegFile("realplayer-hkcr.reg");
    if (C.Hkcu) ImportRegFile("realplayer-hkcu.reg");
    TAction A;
    A.ClearRealPlayerClips(true);
    EXPECT_THAT(A.Messages, ElementsAre(LineOf(C.Line))) << C.Name;
    if (C.Hkcr) {
      EXPECT_THAT(KeyNames(HKEY_CLASSES_ROOT, RealPrefs), ElementsAre("Volume")) << C.Name;
    }
    if (C.Hkcu) {
      EXPECT_THAT(KeyNames(HKEY_CURRENT_USER, RealPrefs), ElementsAre("MostRecentClips11", "Volume")) << C.Name;
    }
  }
}

TEST_F(RecentLists, RealPlayerWithOnlyTheThirdClip) {
  SetString(HKEY_CURRENT_USER, RealPrefs + "\\MostRecentClips3", "", "C:\\clips\\three.ra");
  SetString(HKEY_CURRENT_USER, RealPrefs + "\\MostRecentClips3\\Info", "Title", "Three");
  Action.ClearRealPlayerClips(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in clear RealPlayer recent clips.")));
  EXPECT_THAT(KeyNames(HKEY_CURRENT_USER, RealPrefs), IsEmpty());
}

TEST_F(RecentLists, MediaPlayerListsCleared) {
  ImportRegFile("mediaplayer.reg");
  Action.ClearMediaPlayerClips(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in clear Windows Media Player recent clips.")));
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, WmpFiles), IsEmpty());
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, WmpUrls), IsEmpty());
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, "Software\\Microsoft\\MediaPlayer\\Player\\Settings"),
              ElementsAre("Volume"));
}

TEST_F(RecentLists, MediaPlayerWithoutListsSucceeds) {
  Action.ClearMediaPlayerClips(true);
  SetString(HKEY_CURRENT_USER, WmpUrls, "URL0", "http://example.com/");  // only the address list
  Action.ClearMediaPlayerClips(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in clear Windows Media Player recent clips."),
                                           LineOf("Succeeded in clear Windows Media Player recent clips.")));
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, WmpUrls), IsEmpty());
  EXPECT_EQ(Action.Tally.Refused, 0u);
}

// A list the registry will not let us change keeps its clips: that is a
// failure, counted as refused, and the other list is cleared all the same.
TEST_F(RecentLists, MediaPlayerListTheRegistryRefusesIsAFailure) {
  ImportRegFile("mediaplayer.reg");
  {
    TKeyPermissions Locked(HKEY_CURRENT_USER, WmpFiles, ReadOnly);
    Action.ClearMediaPlayerClips(true);
  }
  EXPECT_THAT(Action.Messages,
              ElementsAre(LineOf("Clear Windows Media Player recent clips failed. Error messages: EOpenRegErrors "
                                 "Can't open \\" + WmpFiles)));
  EXPECT_EQ(Action.Tally.Refused, 1u);
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, WmpFiles), ElementsAre("File0", "File1"));
  EXPECT_THAT(ValueNames(HKEY_CURRENT_USER, WmpUrls), IsEmpty());
}

TEST_F(RecentLists, MediaPlayerFailuresNameTheClassAndMessage) {
  SetString(HKEY_CURRENT_USER, WmpUrls, "URL0", "http://example.com/");
  {
    TRaisingPump Pump([] { throw ERegistryException("Access is denied"); });
    Action.ClearMediaPlayerClips(true);
  }
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf(
      "Clear Windows Media Player recent clips failed. Error messages: ERegistryException Access is denied")));
  EXPECT_EQ(Action.Tally.Refused, 1u);
}

// Lists the registry refuses to delete, in both places the player keeps them:
// one line names both, and every other list goes. (Wine lets a key's owner
// delete it whatever its permissions say; a list whose nested key nobody may
// read cannot be emptied, and so stays, as on Windows.)
TEST_F(RecentLists, RealPlayerListsTheRegistryRefusesAreAFailure) {
  ImportRegFile("realplayer-hkcr.reg");
  ImportRegFile("realplayer-hkcu.reg");
  SetString(HKEY_CLASSES_ROOT, RealPrefs + "\\MostRecentClips5\\Deeper", "", "nested");
  {
    TKeyPermissions OldPlayer(HKEY_CLASSES_ROOT, RealPrefs + "\\MostRecentClips5\\Deeper", NoAccess);
    TKeyPermissions NewPlayer(HKEY_CURRENT_USER, RealPrefs + "\\MostRecentClips1\\Deeper", NoAccess);
    Action.ClearRealPlayerClips(true);
  }
  EXPECT_THAT(Action.Messages,
              ElementsAre(LineOf("Clear RealPlayer recent clips failed. Error messages: ERegistryException "
                                 "Can't delete HKEY_CLASSES_ROOT\\" + RealPrefs + "\\MostRecentClips5, "
                                 "HKEY_CURRENT_USER\\" + RealPrefs + "\\MostRecentClips1")));
  EXPECT_EQ(Action.Tally.Refused, 1u);
  EXPECT_THAT(KeyNames(HKEY_CLASSES_ROOT, RealPrefs), ElementsAre("MostRecentClips5", "Volume"));
  EXPECT_THAT(KeyNames(HKEY_CURRENT_USER, RealPrefs), ElementsAre("MostRecentClips1", "MostRecentClips11", "Volume"));
}

}  // namespace
