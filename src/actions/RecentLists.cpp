// The most-recently-used lists of the shell, Delphi 5, Visual Basic 6,
// Visual C++ 6, RealPlayer and Windows Media Player.
#include "actions/ActionUnit.h"

#include "actions/TraceKeys.h"
#include "engine/FolderGuard.h"
#include "win/Registry.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <shlobj.h>
#include <shlwapi.h>

namespace {

using namespace trace_keys;

// The full-width colon and comma of the Simplified Chinese code page, kept as
// those bytes whatever the user's code page: users have reported them so.
constexpr char FullWidthColon[] = "\xA3\xBA";
constexpr char FullWidthComma[] = "\xA3\xAC";

// A failure line of the recent-list operations: the operation's failure
// sentence, then the exception's class and message.
void AddListFailure(TAction& Action, const char* Failed, const Exception& E) {
  Action.AddFailure(std::string(Failed) + E.ClassName() + " " + E.Message());
}

// Clears one product's list keys in order; a missing key means the product is
// not installed, and later keys are then left alone.
void ClearProductLists(TAction& Action, std::initializer_list<const std::string*> Keys,
                       const char* Success, const char* NotInstalled, const char* Failed) {
  try {
    for (const std::string* Key : Keys) Action.ClearKeyValues(HKEY_CURRENT_USER, *Key, true);
    Action.AddMessage(Success, "");
  } catch (const EOpenRegErrors&) {
    Action.AddMessage(NotInstalled, "");
  } catch (const Exception& E) {
    AddListFailure(Action, Failed, E);
  }
}

// A key path as the trace keys write it, below its root.
const char* BelowRoot(const std::string& Path) { return Path.c_str() + (Path.starts_with('\\') ? 1 : 0); }

// True only when Root\Path is not there: a key the user may not even read is
// there all the same, and what it holds stays.
bool KeyMissing(HKEY Root, const std::string& Path) {
  TRegKey Key;
  return RegOpenKeyExA(Root, BelowRoot(Path), 0, KEY_READ, Key.put()) == ERROR_FILE_NOT_FOUND;
}

// Deletes MostRecentClips1 to MostRecentClips10 below Root's RealPlayer key.
// A list the registry refuses to delete is added to Stayed by its full name;
// one that is not there is nothing to delete.
void DeleteRecentClips(HKEY Root, std::string& Stayed) {
  for (int N = 1; N <= 10; ++N) {
    const std::string Path = RealPlayerPreferences + "MostRecentClips" + std::to_string(N);
    const LONG Rc = SHDeleteKeyA(Root, BelowRoot(Path));
    if (Rc == ERROR_SUCCESS || Rc == ERROR_FILE_NOT_FOUND) continue;
    if (!Stayed.empty()) Stayed += ", ";
    Stayed += (Root == HKEY_CLASSES_ROOT ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER") + Path;
  }
}

}  // namespace

std::string RecentDocumentsFailure(DWORD ErrorCode) {
  char Buffer[256] = {};
  DWORD Len = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ErrorCode, 0, Buffer, sizeof Buffer, nullptr);
  std::string Text(Buffer, Len);
  while (!Text.empty() && (static_cast<unsigned char>(Text.back()) <= ' ' || Text.back() == '.'))
    Text.pop_back();
  return "Clear recent documents failed.\r\nError messages: " + Text + "\r\nSolution" +
         FullWidthColon + "Found unknown error" + FullWidthComma + "please inform the author by Email.";
}

void TAction::ClearRecentDocuments(bool Enabled) {
  if (!Enabled) return;
  // The shell deletes the shortcuts in the folder its Recent value names:
  // that folder passes the same guard as a swept one (a Recent value of "C:\"
  // or of the Documents folder must not become a deletion there).
  const std::string Recent = SpecialFolder(CSIDL_RECENT);
  if (!Recent.empty() && GetFileAttributesW(WidePath(Recent).c_str()) != INVALID_FILE_ATTRIBUTES) {
    const TFolderVerdict Verdict = CheckSweptFolder(Recent);
    if (!Verdict.Allowed()) {
      AddFailure("Did not clear recent documents: the Recent folder \"" + Recent + "\" is refused, as " +
                 Verdict.Reason + ".");
      return;
    }
  }
  try {
    // A null path empties the shell's list.
    SHAddToRecentDocs(SHARD_PATHA, nullptr);
    AddMessage("Succeeded in clear recent documents.", "");
  } catch (...) {
    AddFailure(RecentDocumentsFailure(GetLastError()));
  }
}

void TAction::ClearDelphiRecent(bool Enabled) {
  if (!Enabled) return;
  ClearProductLists(*this, {&DelphiClosedFiles, &DelphiClosedProjects},
                    "Succeeded in clear Delphi recent documents.", "Delphi 5.0 not installed.",
                    "Clear Delphi recent documents failed. Error messages: ");
}

void TAction::ClearVbRecent(bool Enabled) {
  if (!Enabled) return;
  ClearProductLists(*this, {&VbRecentFiles}, "Succeeded in clear Visual Basic recent documents.",
                    "Visual Basic 6.0 not installed.",
                    "Clear Visual Basic recent documents failed. Error messages: ");
}

void TAction::ClearVcRecent(bool Enabled) {
  if (!Enabled) return;
  ClearProductLists(*this, {&VcRecentFiles}, "Succeeded in clear Visual C++ recent documents.",
                    "Visual C++ 6.0 not installed.",
                    "Clear Visual C++ recent documents failed. Error messages: ");
}

void TAction::ClearRealPlayerClips(bool Enabled) {
  if (!Enabled) return;
  // Older players keep their lists below HKEY_CLASSES_ROOT, newer ones below
  // HKEY_CURRENT_USER; both are cleared, and one line tells the result.
  bool Found = false;
  std::string Stayed;
  for (HKEY Root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER}) {
    if (KeyMissing(Root, RealPlayerPreferences)) continue;
    Found = true;
    DeleteRecentClips(Root, Stayed);
  }
  if (!Found)
    AddMessage("RealPlayer or RealOne Player not installed.", "");
  else if (Stayed.empty())
    AddMessage("Succeeded in clear RealPlayer recent clips.", "");
  else
    AddListFailure(*this, "Clear RealPlayer recent clips failed. Error messages: ",
                   ERegistryException("Can't delete " + Stayed));
}

void TAction::ClearMediaPlayerClips(bool Enabled) {
  if (!Enabled) return;
  // Either list may be missing, which leaves nothing to clear. One that is
  // there but cannot be cleared keeps its clips: the other is still cleared,
  // and the line says what stayed.
  std::string Errors;
  for (const std::string* List : {&MediaPlayerFiles, &MediaPlayerUrls}) {
    try {
      if (!KeyMissing(HKEY_CURRENT_USER, *List)) ClearKeyValues(HKEY_CURRENT_USER, *List, true);
    } catch (const Exception& E) {
      Errors += (Errors.empty() ? "" : "; ") + std::string(E.ClassName()) + " " + E.Message();
    }
  }
  if (Errors.empty())
    AddMessage("Succeeded in clear Windows Media Player recent clips.", "");
  else
    AddFailure("Clear Windows Media Player recent clips failed. Error messages: " + Errors);
}
