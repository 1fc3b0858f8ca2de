#pragma once
// Saving a text the program made to a file the user chose.

#include <windows.h>

#include <string>

// The system's sentence for an error code, without its line end.
std::string SystemReason(DWORD Error);

// Writes Bytes as the whole of File. The text goes to a file beside it that is
// then renamed over it, so a write that fails halfway (a full disk) leaves
// neither a cut-off file nor a damaged older one. Throws std::runtime_error
// "Cannot save <What> to "<File>": <reason>".
void SaveWholeFile(const std::wstring& File, const std::string& Bytes, const std::string& What);

// The standard Save As dialog; empty when the user cancels. Filter as
// OPENFILENAME wants it (pairs ended by NULs).
std::wstring AskSaveFileName(HWND Owner, const wchar_t* Title, const wchar_t* DefaultName,
                             const wchar_t* Filter, const wchar_t* DefaultExtension);
