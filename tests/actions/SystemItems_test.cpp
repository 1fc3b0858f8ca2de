#include "actions/ActionUnit.h"

#include "ActionTestSupport.h"
#include "support/Fixtures.h"
#include "support/Windows.h"
#include "win/Application.h"
#include "win/Registry.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <fstream>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

bool Exists(const std::string& Path) { return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Puts one file into the desktop trash, the way a Linux file manager does.
void SeedTrash(const std::string& Name) {
  std::ofstream(HomePath(".local/share/Trash/files/" + Name)) << "secret";
  std::ofstream(HomePath(".local/share/Trash/info/" + Name + ".trashinfo"))
      << "[Trash Info]\nPath=/tmp/" << Name << "\nDeletionDate=2024-05-01T10:00:00\n";
  ASSERT_TRUE(Exists(HomePath(".local/share/Trash/files/" + Name)));
}

TEST(RecycleBin, EmptiedWhenSwitchedOn) {
  SeedTrash("letter.txt");
  TAction Action;
  Action.ClearRecycleBin(false);
  EXPECT_THAT(Action.Messages, IsEmpty());
  EXPECT_TRUE(Exists(HomePath(".local/share/Trash/files/letter.txt")));

  Action.ClearRecycleBin(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in empty recycle bin.")));
  EXPECT_FALSE(Exists(HomePath(".local/share/Trash/files/letter.txt")));
  EXPECT_FALSE(Exists(HomePath(".local/share/Trash/info/letter.txt.trashinfo")));
}

// scripts/test gives the prefix two CD-ROM drives, R: and S:, linked to
// folders below HOME that do not exist: a drive holds a disc while its folder exists.
class CdromDrives : public ::testing::Test {
protected:
  void SetUp() override {
    if (GetDriveTypeA("R:\\") != DRIVE_CDROM || GetDriveTypeA("S:\\") != DRIVE_CDROM)
      GTEST_SKIP() << "the test prefix has no CD-ROM drives R: and S: (made by scripts/test)";
  }
  void TearDown() override {
    RemoveDirectoryA(HomePath("cdrom-r").c_str());
    RemoveDirectoryA(HomePath("cdrom-s").c_str());
  }
  static void InsertDisc(char Drive) {
    ASSERT_TRUE(CreateDirectoryA(HomePath(std::string("cdrom-") + Drive).c_str(), nullptr));
  }
};

TEST_F(CdromDrives, DiscFoundOnlyInACdromDrive) {
  const UINT ErrorMode = GetErrorMode();
  EXPECT_FALSE(AnyCdromWithDisc("CZ"));  // fixed drives only: no CD-ROM drive at all
  EXPECT_FALSE(AnyCdromWithDisc("RS"));  // CD-ROM drives, both empty
  TAction Action;
  EXPECT_FALSE(Action.HasCdromWithDisc());

  InsertDisc('s');  // D: empty, E: with a disc
  EXPECT_TRUE(AnyCdromWithDisc("RS"));
  EXPECT_FALSE(AnyCdromWithDisc("R"));
  EXPECT_TRUE(Action.HasCdromWithDisc());
  EXPECT_EQ(GetErrorMode(), ErrorMode);  // restored after each test
}

struct TMciLog {
  static inline std::vector<std::string> Commands;
  static inline MCIERROR Result = 0;
  static MCIERROR WINAPI Send(LPCSTR Command, LPSTR Return, UINT ReturnSize, HWND Notify) {
    Commands.push_back(Command);
    EXPECT_EQ(Return, nullptr);
    EXPECT_EQ(ReturnSize, 0u);
    EXPECT_EQ(Notify, nullptr);
    return Result;
  }
};

class EjectTray : public CdromDrives {
protected:
  void SetUp() override {
    CdromDrives::SetUp();
    TMciLog::Commands.clear();
    TMciLog::Result = 0;
    Action.Mci.SendString = TMciLog::Send;  // the system's error texts stay
  }
  TAction Action;
};

TEST_F(EjectTray, NoDiscNoCommandNoLine) {
  Action.EjectCdromTray(true);
  EXPECT_THAT(TMciLog::Commands, IsEmpty());
  EXPECT_THAT(Action.Messages, IsEmpty());
}

TEST_F(EjectTray, OpensTheDoorWhenADiscIsIn) {
  InsertDisc('r');
  Action.EjectCdromTray(false);
  EXPECT_THAT(TMciLog::Commands, IsEmpty());

  Action.EjectCdromTray(true);
  EXPECT_THAT(TMciLog::Commands, ElementsAre("Set cdaudio door open"));
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in Eject CD-ROM")));
}

TEST_F(EjectTray, MciFailureCarriesTheMciText) {
  InsertDisc('r');
  TMciLog::Result = MCIERR_INVALID_DEVICE_NAME;
  Action.EjectCdromTray(true);
  ASSERT_EQ(Action.Messages.size(), 1u);
  const std::string Tail =
      " Eject CD-CDROM failed. The specified device is not open or is not recognized by MCI. ";
  EXPECT_TRUE(Action.Messages[0].ends_with(Tail)) << Action.Messages[0];
}

// The program's own MCI path (Wine's CD audio device reports success).
TEST_F(CdromDrives, EjectWithTheSystemMci) {
  InsertDisc('r');
  TAction Action;
  Action.EjectCdromTray(true);
  EXPECT_THAT(Action.Messages, ElementsAre(LineOf("Succeeded in Eject CD-ROM")));
}

TEST(Autorun, CommandLine) {
  struct {
    const char* Path;
    bool Run;
    const char* Command;
  } const Cases[] = {
      {"C:\\Tools\\app.exe", true, "C:\\Tools\\app.exe run"},
      {"C:\\Tools\\app.exe", false, "C:\\Tools\\app.exe"},
      {"C:\\Program Files\\Vellumix\\vellumix.exe", true, "\"C:\\Program Files\\Vellumix\\vellumix.exe\" run"},
      {"C:\\Program Files\\Vellumix\\vellumix.exe", false, "\"C:\\Program Files\\Vellumix\\vellumix.exe\""},
  };
  for (const auto& C : Cases) EXPECT_EQ(AutorunCommand(C.Path, C.Run), C.Command) << C.Path;
}

const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::optional<std::string> RunValue() {
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!Reg.OpenKey(RunKey, false)) return std::nullopt;
  return Reg.ReadString("Vellumix");
}

std::string ThisProgram() {
  char Path[MAX_PATH];
  return std::string(Path, GetModuleFileNameA(nullptr, Path, MAX_PATH));
}

// The real Run key of the test prefix; the value is removed before and after.
class AutorunKey : public ::testing::Test {
protected:
  AutorunKey() {
    Application.SetTitle("Vellumix");
    Remove();
  }
  ~AutorunKey() override { Remove(); }
  static void Remove() {
    TRegistry Reg(HKEY_CURRENT_USER);
    if (Reg.OpenKey(RunKey, false)) Reg.DeleteValue("Vellumix");
  }
};

TEST_F(AutorunKey, RegistersAndUnregisters) {
  ASSERT_EQ(ThisProgram().find(' '), std::string::npos) << "the build folder has a blank";
  EXPECT_TRUE(SetAutorun(true, true));
  EXPECT_EQ(RunValue(), ThisProgram() + " run");
  EXPECT_TRUE(SetAutorun(true, false));
  EXPECT_EQ(RunValue(), ThisProgram());
  for (bool RunAtStart : {false, true}) {
    SetAutorun(true, true);
    EXPECT_TRUE(SetAutorun(false, RunAtStart));
    EXPECT_EQ(RunValue(), std::nullopt);
  }
  // Already absent: nothing to see. A box here would hang the call until the
  // watcher answers it, so the watcher shows whether one came.
  TBoxWatcher Box("Vellumix", IDOK, 1s);
  EXPECT_TRUE(SetAutorun(false, false));
  EXPECT_FALSE(Box.Answered());
}

// Lets everyone only read the Run key while it lives, as a locked-down policy would.
class TReadOnlyRunKey {
public:
  TReadOnlyRunKey() {
    TRegKey Key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, RunKey, 0, READ_CONTROL | WRITE_DAC, Key.put()), ERROR_SUCCESS);
    DWORD Size = 0;
    RegGetKeySecurity(Key.get(), DACL_SECURITY_INFORMATION, nullptr, &Size);
    FOriginal.resize(Size);
    EXPECT_EQ(RegGetKeySecurity(Key.get(), DACL_SECURITY_INFORMATION, FOriginal.data(), &Size), ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR ReadOnly = nullptr;
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;KR;;;WD)", SDDL_REVISION_1,
                                                                     &ReadOnly, nullptr));
    EXPECT_EQ(RegSetKeySecurity(Key.get(), DACL_SECURITY_INFORMATION, ReadOnly), ERROR_SUCCESS);
    LocalFree(ReadOnly);
  }
  ~TReadOnlyRunKey() {
    TRegKey Key;
    RegOpenKeyExA(HKEY_CURRENT_USER, RunKey, 0, WRITE_DAC, Key.put());
    RegSetKeySecurity(Key.get(), DACL_SECURITY_INFORMATION, FOriginal.data());
  }

private:
  std::vector<BYTE> FOriginal;
};

TEST_F(AutorunKey, FailureShowsTheBoxAndStillReturnsTrue) {
  {
    TReadOnlyRunKey Locked;
    TBoxWatcher Box("Vellumix");
    EXPECT_TRUE(SetAutorun(true, true));
    EXPECT_TRUE(Box.Answered());
    EXPECT_EQ(Box.Text(), "Set Autorun failed.");
  }
  EXPECT_EQ(RunValue(), std::nullopt);
}

// Unregistering that leaves the value behind is a failure too: Windows would
// go on starting the program.
TEST_F(AutorunKey, ValueThatCannotBeRemovedShowsTheBox) {
  ASSERT_TRUE(SetAutorun(true, false));
  {
    TReadOnlyRunKey Locked;
    TBoxWatcher Box("Vellumix");
    EXPECT_TRUE(SetAutorun(false, false));
    EXPECT_TRUE(Box.Answered());
    EXPECT_EQ(Box.Text(), "Set Autorun failed.");
  }
  EXPECT_EQ(RunValue(), ThisProgram());
}

}  // namespace
