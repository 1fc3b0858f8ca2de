#pragma once
// Opening files and folders for the cleaner: never through a link, and with a
// way to ask where the opened object really is.

#include "win/Handle.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

// Opens a file or folder without following a link at its last step
// (FILE_FLAG_OPEN_REPARSE_POINT), sharing read, write and delete unless Share
// says otherwise. Null (invalid) on failure, with GetLastError set.
TFileHandle OpenNoFollow(const std::wstring& Path, DWORD Access,
                         DWORD Share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);

// Where an open file or folder really is, as "\\?\C:\..." or "\\?\UNC\...":
// links, 8.3 names and the letter case of the path used to open it resolved.
// Nothing when the system cannot tell.
std::optional<std::wstring> FinalPathOf(HANDLE File);

// True when the open file or folder is the one at Path (a "\\?\" path): a
// link or a swapped folder on the way leads elsewhere. Wine's final path
// fails beyond MAX_PATH; the path within the volume then decides. Wine also
// reports a name with trailing dots or blanks without them.
bool HandleLeadsTo(HANDLE File, const std::wstring& Path);

// The same test for a name the file system gave for an open file (its path
// within the volume, as FileNameInformation gives it).
bool NameLeadsTo(std::wstring_view Name, const std::wstring& Path);

// The same path, compared as Windows compares names (ordinal, ignoring case).
bool SamePath(std::wstring_view A, std::wstring_view B);

// True when Folder is Inner or lies above it ("C:\a" holds "C:\a\b", not
// "C:\ab"). Both plain absolute paths without a trailing backslash, except a
// drive's root ("C:\").
bool PathHolds(std::wstring_view Folder, std::wstring_view Inner);

// The attributes of an open file or folder; nothing on failure.
std::optional<DWORD> AttributesOf(HANDLE File);
