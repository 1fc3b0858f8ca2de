#pragma once
// The main window with its three swept folders pointed at trees of the test's
// own: the process's temporary folder (TMP, TEMP) and the shell's cache and
// history folders, so nothing else is ever swept.

#include "app/MainFormFixture.h"

#include "support/Fixtures.h"
#include "support/TempTree.h"
#include "win/Registry.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <gmock/gmock.h>
#include <shlobj.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>


using ::testing::EndsWith;
using ::testing::HasSubstr;

inline constexpr LONGLONG Hour = 36'000'000'000LL;  // 100-ns units
inline constexpr LONGLONG Day = 24 * Hour;

inline FILETIME Ago(LONGLONG Units) {
  FILETIME Now;
  GetSystemTimeAsFileTime(&Now);
  const ULONGLONG T = ((ULONGLONG{Now.dwHighDateTime} << 32) | Now.dwLowDateTime) - Units;
  return {static_cast<DWORD>(T), static_cast<DWORD>(T >> 32)};
}

// Last access and last write, given as how long ago. Under Wine a folder's
// creation time is its last-write time.
inline void SetTimes(const std::string& Path, LONGLONG AccessAgo, LONGLONG WriteAgo) {
  HANDLE File = CreateFileW(WidePath(Path).c_str(), FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(File, INVALID_HANDLE_VALUE) << Path;
  const FILETIME Access = Ago(AccessAgo), Write = Ago(WriteAgo);
  EXPECT_TRUE(SetFileTime(File, nullptr, &Access, &Write)) << Path;
  CloseHandle(File);
}

inline bool Exists(const std::string& Path) {
  return GetFileAttributesW(WidePath(Path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadAll(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

// The value names of a key below HKEY_CURRENT_USER.
inline std::vector<std::string> ValueNamesOf(const std::string& Path) {
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!Reg.OpenKeyReadOnly(Path)) return {};
  return Reg.GetValueNames();
}

// "f100.txt", "f101.txt", ...: names that sort as they are numbered.
inline std::string NumberedName(int I) { return std::string("f").append(std::to_string(100 + I)).append(".txt"); }

inline constexpr char Succeeded[] = "Succeeded in delete temporary files.";

class SweepTest : public MainFormTest {
protected:
  SweepTest()
      : Temp(Name() + ".tmp"), Cache(Name() + ".cache"), History(Name() + ".history"),
        Outside(Name() + ".outside"), Tmp("TMP", Temp.Path()), TempVar("TEMP", Temp.Path()) {}

  static std::string Name() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }

  // The settings switches, in the settings key, before the window loads them.
  void Switches(std::initializer_list<const char*> On, bool KeepTempFiles = false) {
    for (const char* Name : SettingSwitches)
      Key.SetDword(Name, 0, "Software\\Vellumix");
    for (const char* Name : On) Key.SetDword(Name, 1, "Software\\Vellumix");
    Key.SetDword("KeepTempFiles", KeepTempFiles, "Software\\Vellumix");
  }

  // The window, with the shell's cache and history folders at the test's trees.
  TMainForm& CreateForm() {
    const std::string Folders =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    Key.SetString("Cache", Cache.Path(), Folders);
    Key.SetString("History", History.Path(), Folders);
    TMainForm& F = Create();
    EXPECT_EQ(SpecialFolder(CSIDL_INTERNET_CACHE), Cache.Path());
    EXPECT_EQ(SpecialFolder(CSIDL_HISTORY), History.Path());
    EXPECT_EQ(TempFolder(), Temp.Path());
    return F;
  }

  // Waits for the running sweep (the last of a run is not awaited by the run).
  void WaitSweep() {
    ASSERT_TRUE(Application.WaitWhile([&] { return Form->SweepBusy(); }, 20000));
  }

  void SweepTemp() {
    Form->HandOffFolder(TempFolder());
    WaitSweep();
  }

  // Records the folder each sweep starts in, into Swept.
  void RecordSweeps() {
    Form->OnSweepStart = [this](const std::string& Folder) {
      if (Folder == Cache.Path() || Folder == History.Path() || Folder == Temp.Path()) Swept.push_back(Folder);
    };
  }
  std::vector<std::string> Swept;

  std::string Log() const { return GetText(Form->Memo); }
  // Line I of the log, newest first.
  std::string Line(std::size_t I) const {
    const auto& M = Form->Action->Messages;
    return I < M.size() ? M[I] : "";
  }

  TTempTree Temp, Cache, History;
  TTempTree Outside;  // beside the swept folders, never in them
  TEnvVar Tmp, TempVar;
};
