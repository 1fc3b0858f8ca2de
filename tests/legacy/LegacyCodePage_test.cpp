// This runner's manifest has no UTF-8 code page, as Windows before 10 1903
// reads every manifest: the ANSI code page is a legacy one, whose best-fit
// mapping turns U+FF0E into "." and U+FF3C into "\". Names found on disk must
// reach the deletion exactly as they are.
#include "engine/SafeDelete.h"
#include "scan/FScanner.h"

#include "support/TempTree.h"
#include "win/Application.h"
#include "win/WidePath.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace {

std::string ReadAll(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

void Write(const std::wstring& Path, const char* Content) {
  HANDLE File = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(File, INVALID_HANDLE_VALUE) << Narrow(Path);
  DWORD Written;
  WriteFile(File, Content, static_cast<DWORD>(strlen(Content)), &Written, nullptr);
  CloseHandle(File);
}

TEST(LegacyCodePage, CraftedNamesCannotSteerADeletionOutOfTheSweptFolder) {
  if (GetACP() == CP_UTF8) GTEST_SKIP() << "the ANSI code page is UTF-8 here";
  TTempTree Scratch("LegacyCodePage");
  // The victim, where "..\AppData\Roaming\SomeApp\victim.ini" seen from tmp leads.
  const std::string Victim = Scratch.File("AppData\\Roaming\\SomeApp\\victim.ini", "[victim]");
  const std::string Beside = Scratch.File("beside.txt", "beside");
  Scratch.Folder("tmp");
  const std::wstring Tmp = LongPath(Scratch["tmp"]);
  // "．．＼AppData＼Roaming＼SomeApp＼victim.ini", one name; and a folder named "．．".
  const std::wstring Crafted =
      L"\xFF0E\xFF0E\xFF3C" L"AppData\xFF3CRoaming\xFF3CSomeApp\xFF3C" L"victim.ini";
  Write(Tmp + L"\\" + Crafted, "crafted");
  CreateDirectoryW((Tmp + L"\\\xFF0E\xFF0E").c_str(), nullptr);
  Write(Tmp + L"\\\xFF0E\xFF0E\\inner.txt", "inner");

  // What the sweep does: every file found is deleted through its path.
  TBaseScanner Scanner;
  Scanner.ScanStrategy = ssSpecifiedDir;
  Scanner.Directory = Scratch["tmp"];
  Scanner.Attributes = {};
  std::set<std::wstring> Found;
  Scanner.OnFileFound = [&](const std::string& Name, const std::string& Path, std::uint32_t Attr,
                            std::uint32_t, TDateTime) {
    Found.insert(Widen(Name));
    if (!(Attr & FILE_ATTRIBUTE_DIRECTORY)) DeleteFoundFile(LongPath(PathJoin(Path, Name)));
  };
  Scanner.Execute();
  ASSERT_TRUE(Application.WaitWhile([&] { return Scanner.Busy(); }, 20000));

  EXPECT_EQ(Found, (std::set<std::wstring>{Crafted, L"\xFF0E\xFF0E", L"inner.txt"}))
      << "names reported as they are on disk";
  EXPECT_EQ(ReadAll(Victim), "[victim]");
  EXPECT_EQ(ReadAll(Beside), "beside");
  EXPECT_EQ(GetFileAttributesW((Tmp + L"\\" + Crafted).c_str()), INVALID_FILE_ATTRIBUTES)
      << "the crafted file itself is what goes";
}

}  // namespace
