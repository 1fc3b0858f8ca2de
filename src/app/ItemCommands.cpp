// The item commands of the Shred menu (one item, a group, or everything,
// whatever the settings say) and the option toggles of the Options menu.
#include "app/UMain.h"

#include "resource.h"
#include "win/Registry.h"
#include "win/Shell.h"

#include <shlobj.h>

#include <vector>

namespace {

// One step of an item command. Every cleaning operation runs as if its switch
// were on; "Refresh" copies the log into the pane.
enum class TStep {
  Cache, History, Cookies, LocationBar, Toolbar,
  RecentDocs, MediaPlayer, RealPlayer, Delphi, Vb, Vc, RecycleBin,
  CacheSweep, HistorySweep, TempSweep, Refresh
};

using enum TStep;

// The sequence of a menu tag; empty for a tag that does nothing.
std::vector<TStep> StepsOf(int Tag) {
  switch (Tag) {
    case IDC_IECACHE: return {Cache, CacheSweep};
    case IDC_IEHISTORY: return {History, HistorySweep};
    case IDC_IECOOKIE: return {Cookies};
    case IDC_IEURL: return {LocationBar};
    case IDC_GOOGLESEARCHHISTORY: return {Toolbar};
    case IDC_INTERNETALL:
      return {Cache, CacheSweep, History, HistorySweep, Refresh, Cookies, Refresh,
              LocationBar, Refresh, Toolbar, Refresh};
    case IDC_RECENTDOC: return {RecentDocs};
    case IDC_MSMEDIAPLAYER: return {MediaPlayer};
    case IDC_REALPLAYER: return {RealPlayer};
    case IDC_DELPHI: return {Delphi};
    case IDC_VB: return {Vb};
    case IDC_VC: return {Vc};
    case IDC_RECYCLE: return {RecycleBin};
    case IDC_TEMPFILES: return {TempSweep};
    case IDC_DOCALL:
      return {RecentDocs, Refresh, MediaPlayer, Refresh, RealPlayer, Refresh, Delphi, Refresh,
              Vb, Refresh, Vc, Refresh, RecycleBin, Refresh, TempSweep};
    case IDC_CLEARALL:
      return {Cache, CacheSweep, Refresh, History, HistorySweep, Refresh,
              Cookies, Refresh, LocationBar, Refresh, Toolbar, Refresh,
              RecentDocs, Refresh, MediaPlayer, Refresh, RealPlayer, Refresh,
              Delphi, Refresh, Vb, Refresh, Vc, Refresh, RecycleBin, Refresh, TempSweep};
  }
  return {};
}

void RunStep(TMainForm& Form, TStep Step) {
  TAction& A = *Form.Action;
  switch (Step) {
    case Cache: A.DeleteCache(true); break;
    case History: A.DeleteHistory(true); break;
    case Cookies: A.DeleteCookies(true); break;
    case LocationBar: A.DeleteLocationBar(true); break;
    case Toolbar: A.ClearToolbarHistory(true); break;
    case RecentDocs: A.ClearRecentDocuments(true); break;
    case MediaPlayer: A.ClearMediaPlayerClips(true); break;
    case RealPlayer: A.ClearRealPlayerClips(true); break;
    case Delphi: A.ClearDelphiRecent(true); break;
    case Vb: A.ClearVbRecent(true); break;
    case Vc: A.ClearVcRecent(true); break;
    case RecycleBin: A.ClearRecycleBin(true); break;
    case CacheSweep: Form.HandOffFolder(SpecialFolder(CSIDL_INTERNET_CACHE), CacheFolderName); break;
    case HistorySweep: Form.HandOffFolder(SpecialFolder(CSIDL_HISTORY), HistoryFolderName); break;
    case TempSweep: Form.HandOffFolder(TempFolder(), TempFolderName); break;
    case Refresh: Form.RefreshMemo(); break;
  }
}

}  // namespace

void TMainForm::ActionClearExecute(int Tag) {
  // The hidden Oicq item has its own ID but the Google Toolbar's tag.
  if (Tag == IDC_OICQUSERLIST) Tag = IDC_GOOGLESEARCHHISTORY;
  RunBusy([&] {
    if (Closing()) return;
    Action->TrimMessages();
    if (Tag == IDC_CLEARALL) {
      MessageBeep(MB_ICONASTERISK);
      if (OpenConfirmShredAll() != IDYES) {
        if (!Closing()) RefreshMemo();
        return;
      }
    }
    for (TStep Step : StepsOf(Tag)) {
      if (Closing()) return;  // a hand-off or a dialog processed messages
      RunStep(*this, Step);
    }
    if (!Closing()) RefreshMemo();
  });
}

// ---- option toggles

bool TMainForm::MenuChecked(int Tag) const {
  HMENU Menu = GetMenu(Handle());
  const UINT State = GetMenuState(Menu, Tag, MF_BYCOMMAND);
  if (State != static_cast<UINT>(-1)) return State & MF_CHECKED;
  // Items hidden from the menu keep their check marks here.
  auto Hidden = FHiddenChecks.find(Tag);
  return Hidden != FHiddenChecks.end() && Hidden->second;
}

void TMainForm::SetMenuCheck(int Tag, bool Checked) {
  HMENU Menu = GetMenu(Handle());
  if (CheckMenuItem(Menu, Tag, MF_BYCOMMAND | (Checked ? MF_CHECKED : MF_UNCHECKED)) ==
      static_cast<DWORD>(-1))
    FHiddenChecks[Tag] = Checked;
}

void TMainForm::mnuOptionExecute(int Tag) {
  if (!Option) return;
  const bool Value = !MenuChecked(Tag);
  bool Checks = true;
  switch (Tag) {
    case IDC_AUTORUN:
      SetAutorun(Value, ScheduleAtStart());
      Option->Autorun = Value;
      break;
    case IDC_MINRUN:
      Option->MinRun = Value;
      break;
    case IDC_TRAYICON:
      Option->ShowTrayIconOnly = Value;
      ApplyTaskbarRule();
      break;
    case IDC_GRADIENTMENU:
      XPMenu.SetGradient(Value);
      Option->GradientMenu = Value;
      break;
    case IDC_EJECTCDROM:
      Option->EjectCdrom = Value;
      break;
    default:
      Checks = false;
  }
  if (Checks) SetMenuCheck(Tag, Value);
  Option->Save();
}
