// Deletion through a handle: what stays and what goes, on real files.
#include "engine/SafeDelete.h"

#include "support/TempTree.h"
#include "win/WidePath.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

bool Exists(const std::wstring& Path) { return GetFileAttributesW(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::stringstream S;
  S << In.rdbuf();
  return S.str();
}

// Creates a file whose name Windows only reaches through "\\?\".
std::wstring MakeFile(const std::wstring& Path) {
  HANDLE File = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  EXPECT_NE(File, INVALID_HANDLE_VALUE) << Narrow(Path);
  CloseHandle(File);
  return Path;
}

TEST(SafeDelete, FilesGoIncludingThoseOnlyTheLongFormReaches) {
  TTempTree Tree("SafeDeleteFiles");
  const std::wstring Root = LongPath(Tree.Path());
  for (const wchar_t* Name : {L"plain.txt", L"con.txt", L"NUL", L"aux.log", L"com1", L"trailing.",
                              L"trailing ", L"\xFF0E\xFF0E"}) {
    const std::wstring Path = MakeFile(Root + L"\\" + Name);
    EXPECT_EQ(DeleteFoundFile(Path), TRemoval::Removed) << Narrow(Name);
    EXPECT_FALSE(Exists(Path)) << Narrow(Name);
  }
  const std::wstring ReadOnly = MakeFile(Root + L"\\readonly.txt");
  SetFileAttributesW(ReadOnly.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(DeleteFoundFile(ReadOnly), TRemoval::Removed);
  EXPECT_FALSE(Exists(ReadOnly));
  EXPECT_EQ(DeleteFoundFile(ReadOnly), TRemoval::Vanished);
}

TEST(SafeDelete, AFileInUseStaysWhole) {
  TTempTree Tree("SafeDeleteInUse");
  const std::string Busy = Tree.File("busy.txt", "keep me");
  SetFileAttributesA(Busy.c_str(), FILE_ATTRIBUTE_READONLY);
  HANDLE Held = CreateFileA(Busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(Held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(DeleteFoundFile(LongPath(Busy)), TRemoval::InUse);
  CloseHandle(Held);
  EXPECT_EQ(ReadAll(Busy), "keep me");
  EXPECT_EQ(GetFileAttributesA(Busy.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});
}

TEST(SafeDelete, FoldersGoOnlyWhenEmptyAndKeepTheirAttributesOtherwise) {
  TTempTree Tree("SafeDeleteFolders");
  const DWORD Marks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const std::string Full = Tree.Folder("full");
  Tree.File("full\\inside.txt");
  SetFileAttributesA(Full.c_str(), Marks);
  // (Wine may keep none of these on a folder: what it kept must stay.)
  const DWORD Kept = GetFileAttributesA(Full.c_str()) & Marks;
  EXPECT_EQ(RemoveFoundFolder(LongPath(Full)), TRemoval::NotEmpty);
  EXPECT_EQ(GetFileAttributesA(Full.c_str()) & Marks, Kept) << "a folder that stays keeps its attributes";

  const std::string Empty = Tree.Folder("empty");
  SetFileAttributesA(Empty.c_str(), Marks);
  EXPECT_EQ(RemoveFoundFolder(LongPath(Empty)), TRemoval::Removed);
  EXPECT_FALSE(Exists(LongPath(Empty)));
  EXPECT_EQ(RemoveFoundFolder(LongPath(Tree["full\\inside.txt"])), TRemoval::Link) << "a file is no folder";
  SetFileAttributesA(Full.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(SafeDelete, NothingIsDeletedThroughALink) {
  TTempTree Tree("SafeDeleteLinks"), Target("SafeDeleteTarget");
  if (UnixPath(Tree.Path()).empty()) GTEST_SKIP() << "links are made through Wine";
  const std::string Bird = Target.File("bird.txt", "tweet");
  const std::string Nest = Target.Folder("nest");
  ASSERT_TRUE(MakeFileLink(Tree["file-link.txt"], Bird));
  ASSERT_TRUE(MakeFolderLink(Tree["folder-link"], Nest));
  // Under Wine a link to a file looks like a plain file: only where it leads tells.
  EXPECT_EQ(GetFileAttributesA(Tree["file-link.txt"].c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  EXPECT_EQ(DeleteFoundFile(LongPath(Tree["file-link.txt"])), TRemoval::Link);
  EXPECT_EQ(RemoveFoundFolder(LongPath(Tree["folder-link"])), TRemoval::Link);
  EXPECT_EQ(ReadAll(Bird), "tweet");
  EXPECT_TRUE(Exists(LongPath(Nest)));
  RemoveTree(Tree["file-link.txt"]);
  RemoveTree(Tree["folder-link"]);
  EXPECT_EQ(ReadAll(Bird), "tweet");
}

}  // namespace
