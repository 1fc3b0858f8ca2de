#pragma once
// The boundary between the program's strings and the wide-character file
// functions. Names and paths are ANSI strings everywhere else (UTF-8 where the
// manifest's code page is in force); file searches and deletions that may meet
// long names or paths deeper than MAX_PATH go through the wide functions.

#include <windows.h>

#include <string>
#include <string_view>

// ANSI (the process's code page, UTF-8 under the manifest) to UTF-16 and back.
// Both convert exactly what the ANSI functions would.
std::wstring Widen(std::string_view Text);
std::string Narrow(std::wstring_view Text);

// Path for the wide file functions. An absolute path ("C:\...", "\\server\share\...")
// long enough to be refused by the plain functions is made absolute and
// normalised, then given the "\\?\" prefix that lifts the MAX_PATH limit;
// shorter or relative paths are only widened.
std::wstring WidePath(std::string_view Path);
