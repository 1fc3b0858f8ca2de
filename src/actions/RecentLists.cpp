// The most-recently-used lists of the shell, Delphi 5, Visual Basic 6,
// Visual C++ 6, RealPlayer and Windows Media Player.
#include "actions/ActionUnit.h"

#include "actions/TraceKeys.h"
#include "engine/FolderGuard.h"
#include "win/Registry.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <shlobj.h>

namespace {

using namespace trace_keys;

// The full-width colon and comma of the Simplified Chinese code page, kept as
// those bytes whatever the user's code page: users have reported them so.
constexpr char FullWidthColon[] = "\xA3\xBA";
constexpr char FullWidthComma[] = "\xA3\xAC";

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
    Action.AddFailure(std::string(Failed) + E.ClassName() + " " + E.Message());
  }
}

// Deletes MostRecentClips1 to MostRecentClips10 below the open RealPlayer key.
void DeleteRecentClips(TRegistry& Reg) {
  for (int N = 1; N <= 10; ++N)
    Reg.DeleteKey(RealPlayerPreferences + "MostRecentClips" + std::to_string(N));
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
  bool Reported = false;
  TRegistry Reg(HKEY_CLASSES_ROOT);
  bool Found = Reg.OpenKey(RealPlayerPreferences, false);
  if (Found) {
    DeleteRecentClips(Reg);
    AddMessage("Succeeded in clear RealPlayer recent clips.", "");
    Reported = true;
  }
  Reg.SetRootKey(HKEY_CURRENT_USER);
  if (Reg.OpenKey(RealPlayerPreferences, false)) {
    Found = true;
    DeleteRecentClips(Reg);
    if (!Reported) AddMessage("Succeeded in clear RealPlayer recent clips.", "");
  }
  if (!Found) AddMessage("RealPlayer or RealOne Player not installed.", "");
}

void TAction::ClearMediaPlayerClips(bool Enabled) {
  if (!Enabled) return;
  // Either list may be missing; the player needs no other care, so every
  // outcome is reported as done.
  try {
    TRegistry Reg(HKEY_CURRENT_USER);
    if (Reg.OpenKey(MediaPlayerFiles, false)) ClearKeyValues(HKEY_CURRENT_USER, MediaPlayerFiles, true);
    Reg.CloseKey();
    if (Reg.OpenKey(MediaPlayerUrls, false)) ClearKeyValues(HKEY_CURRENT_USER, MediaPlayerUrls, true);
  } catch (...) {
  }
  AddMessage("Succeeded in clear Windows Media Player recent clips.", "");
}
