#pragma once
// A throwaway folder tree for one test, in the temporary folder:
// <temp>\VellumixTest\<Name>, emptied before the test and removed after it.
// Folder links inside it are removed, never followed.

#include <windows.h>

#include <string>

class TTempTree {
public:
  explicit TTempTree(const std::string& Name);
  ~TTempTree();
  TTempTree(const TTempTree&) = delete;
  TTempTree& operator=(const TTempTree&) = delete;

  // The root, without a trailing backslash.
  const std::string& Path() const { return FPath; }
  std::string operator[](const std::string& Relative) const { return FPath + "\\" + Relative; }

  // Creates a file (and its parent folders) holding Content; returns its path.
  std::string File(const std::string& Relative, const std::string& Content = "x") const;
  // Creates a folder (and its parents); returns its path.
  std::string Folder(const std::string& Relative) const;

private:
  std::string FPath;
};

// Removes a folder tree; folder links in it are unlinked, not followed.
void RemoveTree(const std::string& Path);

// Sets a file's or folder's last-write time, given in UTC.
bool SetLastWriteTime(const std::string& Path, const SYSTEMTIME& Utc);

// Wine only: the Unix path of a Windows path, empty when not running on Wine.
std::string UnixPath(const std::string& Path);

// Wine only: Path is a Linux link to a file (which Windows programs see as a
// plain file: deleting it through Windows deletes its target).
bool IsFileLink(const std::string& Path);

// Wine only: makes Link (a Windows path that does not exist yet) a Linux
// symbolic link to the folder Target, which Windows programs see as a folder
// with the reparse-point attribute. Waits until the link is there; false if it
// never came (or not on Wine).
bool MakeFolderLink(const std::string& Link, const std::string& Target);
// The same for a file: only ever inside a throwaway tree.
inline bool MakeFileLink(const std::string& Link, const std::string& Target) {
  return MakeFolderLink(Link, Target);
}
