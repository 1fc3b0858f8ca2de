#pragma once
// The boundary between the program's strings and the wide-character file
// functions. Text inside the program is UTF-8; file-system names are converted
// with CP_UTF8 explicitly, never through the ANSI code page: before Windows 10
// 1903 that is a legacy one (1252, 936, ...) whose best-fit mapping turns a
// crafted name such as "．．＼x" into "..\x".

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

// UTF-8 to UTF-16 and back. Invalid input is replaced (U+FFFD), so these are
// for text that is shown, and for paths the program built itself.
std::wstring Widen(std::string_view Text);
std::string Narrow(std::wstring_view Text);
// UTF-16 to UTF-8 only when the name converts back to exactly itself; nothing
// for a name with an unpaired surrogate, which no UTF-8 string can carry.
std::optional<std::string> NarrowExact(std::wstring_view Text);

// Path for the wide file functions. An absolute path ("C:\...", "\\server\share\...")
// long enough to be refused by the plain functions is made absolute and
// normalised, then given the "\\?\" prefix that lifts the MAX_PATH limit;
// shorter or relative paths are only widened.
std::wstring WidePath(std::string_view Path);

// Path for a file the cleaner touches: a canonical absolute path (as the
// folder guard or a directory listing gives it) with the "\\?\" prefix and no
// normalisation at all, so that names Windows otherwise rewrites (a trailing
// dot or blank, "con.txt", "NUL") mean exactly the entry found on disk. A
// relative path is only widened.
std::wstring LongPath(std::string_view CanonicalPath);
// The other way: "\\?\C:\x" -> "C:\x", "\\?\UNC\server\share" -> "\\server\share";
// any other path as it is. Paths as people read them, and as they compare.
std::wstring PlainPath(std::wstring_view Path);
