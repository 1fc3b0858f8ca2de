#pragma once
// The main window: toolbar, menus, the log pane, the status line, and
// everything that lives as long as the program runs (settings, action object,
// folder list).

#include "actions/ActionUnit.h"
#include "appearance/ALScreenSnap.h"
#include "appearance/MenuPainter.h"
#include "appearance/SpeedBar.h"
#include "base/Schedule.h"
#include "iecache/IECache.h"
#include "engine/FolderGuard.h"
#include "engine/Progress.h"
#include "engine/Tally.h"
#include "engine/TreePlan.h"
#include "engine/Worker.h"
#include "settings/FormStorage.h"
#include "settings/Option.h"
#include "settings/UAbout.h"
#include "settings/UOptions.h"
#include "win/Form.h"
#include "win/Handle.h"
#include "win/Timer.h"
#include "win/TrayIcon.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

// How the log names the three swept folders.
inline constexpr char CacheFolderName[] = "the Internet cache folder";
inline constexpr char HistoryFolderName[] = "the History folder";
inline constexpr char TempFolderName[] = "the temporary folder";
// The line of a Shred run with no item chosen.
inline constexpr char NothingChosen[] =
    "Nothing to shred: no item is chosen. Choose items in Options, then press Shred again.";
// The status line's answer to a command asked for while another one works.
inline constexpr char BusyHint[] = "Vellumix is busy: try again when the light is green.";

struct TItem;

class TMainForm : public TForm, private TControlHook {
public:
  // Creates the window and all it owns (hidden; the entry shows it).
  // FirstArg is the program's first command-line argument, or empty.
  explicit TMainForm(const std::string& FirstArg);
  ~TMainForm() override;

  std::unique_ptr<TOption> Option;
  std::unique_ptr<TAction> Action;
  // The URL-cache enumerator the cache and cookie operations walk.
  TIECache myIECache = TIECache::ForMainWindow();
  // What the running sweep's worker has done; tests may hold it at an entry.
  TProgress SweepProgress;
  // Tests: called on the main thread each time a wait for a sweep has looked
  // at it (once more after it has ended), and when a sweep starts.
  std::function<void()> OnSweepWait;
  std::function<void(const std::string& Folder)> OnSweepStart;
  // No command runs.
  bool Idle() const noexcept { return FBusyDepth == 0; }
  UINT PreviousInstanceMessage = 0;
  TFormPlacement FormPlacement;

  // Controls.
  TSpeedBar SpeedBar;
  HWND SpeedItemStart = nullptr, SpeedItemPreview = nullptr, SpeedItemoption = nullptr, SpeedItemhelp = nullptr,
       SpeedItemExit = nullptr;
  HWND Memo = nullptr;
  HWND StatusBar = nullptr;     // 3 pixels high: receives the hints
  HWND dfsStatusBar = nullptr;  // the visible status line: text and two lights
  TMenuPainter XPMenu;
  // Snaps the window to the screen's edges when the user lets go of it nearby.
  std::unique_ptr<TALScreenSnap> ALScreenSnap;

  // The Shred run: every item whose switch is on, in a fixed order.
  void StartActionExecute();
  // The preview of what the Shred run would clear (Preview.cpp); its Shred
  // removes exactly the entries it showed and left ticked that still match.
  void PreviewActionExecute();
  // The open preview window, while it is open.
  class TPreviewDlg* PreviewDlg = nullptr;
  // An item command of the Shred menu, by its tag (101-106, 201-209, 301):
  // its items are cleared whatever the settings say.
  void ActionClearExecute(int Tag);
  // The Browsers and Windows sub-menus' commands: an item, or a browser's
  // chosen items.
  void FamilyCommandExecute(int Id);
  // An option toggle of the Options menu, by its tag (1001-1004, 1010): the
  // switch and its check mark flip, and the settings are saved.
  void mnuOptionExecute(int Tag);
  // An option item's check mark, also of the items hidden from the menu.
  bool MenuChecked(int Tag) const;

  // Folder sweeps, each on a worker. Every sweep waits for the one before it.
  // Waits for the running sweep to end, the window answering meanwhile.
  void WaitForScanner();
  bool SweepBusy() const noexcept;
  // Starts the sweep of Folder (a guarded folder): its tree is planned and
  // cleaned on the worker.
  void SweepFolder(const TFolderVerdict& Verdict);
  // Waits for the running sweep, then sweeps Folder if the folder guard
  // allows it; a refused folder (also one the system could not name) gets a
  // line in the log that names it as What (or by its path) and says why.
  void HandOffFolder(const std::string& Folder, const std::string& What = "");
  // Ends the running sweep at its next entry; what it had not reached stays,
  // and the log says how many entries are left.
  void StopSweep();

  // Busy state: a depth, entered and left in pairs.
  void SetBusy(bool Busy);
  void ShowLights(bool Busy);
  void SetWaitCursor(bool Busy);

  // Log pane.
  void RefreshMemo();  // the pane shows a copy of the action log
  void MemoChange();
  int VisibleLineCount() const;
  // The pane's own menu (LogPane.cpp), at a point on the screen; (-1, -1),
  // as WM_CONTEXTMENU gives it for the keyboard, puts it at the selection.
  void MemoContextMenu(POINT Screen);
  // The menu with its items enabled as the pane stands now (copy needs a selection).
  TMenu LogPaneMenu() const;
  // Runs one of its commands (IDC_LOGCOPY...); an error is shown in the error box.
  void LogPaneCommand(int Id);
  // An accelerator's command that means something else while the pane has
  // the focus: true when the pane took it.
  bool LogPaneAccelerator(int Id);
  // Asks where to save the log; empty when the user cancels. Tests replace it.
  static std::wstring (*AskSaveLogName)(HWND Owner);
  static std::wstring ShowSaveLogDialog(HWND Owner);
  // Writes the pane's whole text to File as UTF-8 with CRLF line ends; throws
  // naming the file and the system's reason, leaving no file of ours behind.
  void SaveLog(const std::wstring& File) const;

  // Status line.
  void SetHint(const std::string& Hint);
  std::string StatusText() const;  // panel 0 of the visible status line
  // The hint last given (the status line shows it once it repaints).
  const std::string& Hint() const noexcept { return FHint; }

  void UpdateAppearance();
  // The window moved to a screen of another scale: fonts and layout follow,
  // and the window takes the size the system suggests.
  void DpiChanged(int Dpi, const RECT& Suggested);
  // Design sizes are for 96 pixels per inch.
  int Scale(int Pixels) const { return MulDiv(Pixels, FDpi, 96); }
  // The screen scale the window is laid out for.
  int Dpi() const { return FDpi; }
  // The option menu's check marks follow the settings; the menu painter its gradient.
  void UpdateMenuChecks();
  void ExitActionExecute() { Close(); }

  // The schedule (Schedule.cpp): the options dialog's stored choices, read
  // anew each time; anything unreadable reads as off, the kind as daily.
  // A box of the options dialog, as the dialog stored it ("True" or "False");
  // exactly "True" is on, anything unreadable off.
  static bool StoredDialogBox(const char* Name);
  static bool ScheduleEnabled();
  static bool ScheduleAtShutdown();
  static bool ScheduleAtStart();
  static int ScheduleKind();
  static std::optional<TDateTime> ScheduleTime();
  // The schedule timer: one tick a second while the schedule is on.
  static constexpr UINT_PTR ScheduleTimerId = 1;
  TTimer Timer;
  void TimerTimer();
  // The local time the timer goes by; the system's clock unless a test sets one.
  std::function<SYSTEMTIME()> Clock;
  // Windows asks whether the session may end: runs the shutdown schedule and
  // the tray eject, and always agrees.
  // ENDSESSION_CLOSEAPP in Flags: a program asks us to close (an installer),
  // the session goes on: no shutdown run then.
  LRESULT WMQueryEndSession(LPARAM Flags = 0);

  // The notification-area icon and the window states (Tray.cpp).
  // The icon is there from creation; the shell shows it once the message loop runs.
  TTrayIcon TrayIcon;
  static constexpr UINT AddTrayIconMessage = WM_APP + 10;
  // Posted by a sweep's worker when it has finished.
  static constexpr UINT SweepDoneMessage = WM_APP + 11;
  HMENU PopupMenu = nullptr;  // the first pop-up of FTrayMenu
  void TrayIconMouseDown();
  void mnuRestoreClick();
  // True when the command was handled (minimised to the notification area).
  bool WMSysCommand(WPARAM Command);
  static int ReadTipTimes();
  static void IncTipTimes();
  // The taskbar button shows unless the program keeps to the notification area.
  void ApplyTaskbarRule();
  // The open options dialog and About box, while they are open.
  TOptionDlg* OptionDlg = nullptr;
  TAboutBox* AboutBox = nullptr;

  // Options, the shred-all question and help (HelpCommands.cpp).
  void OptionActionExecute();
  // IDYES at once when the question is switched off; else the dialog's answer.
  int OpenConfirmShredAll();
  void HelpContents1Execute();
  void mnuFAQClick();
  void mnuHomePageClick();
  void mnuAboutClick();

  // The companion beside the program is started only when nobody but an
  // administrator could have put it there (the folder is not writable, as
  // Program Files is not), or once the user has switched it on.
  static bool CompanionMayStart(const std::string& Folder);
  // Whether the user can create files in Folder; tests replace it, as they
  // run where every folder is writable.
  static bool (*FolderWritable)(const std::string& Folder);
  static bool ProbeFolderWritable(const std::string& Folder);

protected:
  LRESULT OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam) override;
  void OnShow() override;  // FormShow

private:
  void CreateControls();
  void CreateFonts();
  void LayOutSpeedButtons();
  void CreateTrayIcon();
  // Restores, shows and focuses the main window, from any state.
  void BringForward();
  // Runs Command framed by the busy state, which is left however it ends and
  // not before the command's last sweep has ended; a close asked for meanwhile
  // happens then. While another command runs, Command does not run: the status
  // line says so, and the answer is false.
  bool RunBusy(const std::function<void()>& Command);
  void RunItems();
  // The items a Shred run (or its preview) clears, the log cut to its newest
  // lines first; none, and a line saying how to choose, when none is chosen.
  std::vector<const TItem*> ItemsToShred();
  // One item of a run or command: its operation, then its folder sweep; an
  // item with neither is planned and cleaned at once (ClearPlanned).
  void ClearItem(const TItem& Item);
  void ClearPlanned(const TItem& Item);
  class TWindowHost;
  // Clears Items as an item command does, after the question when Confirm.
  void ClearItems(const std::vector<const TItem*>& Items, bool Confirm);
  // The Browsers and Windows sub-menus of the Shred menu, from the catalogue.
  void BuildFamilyMenus();
  // WM_INITMENUPOPUP: a family sub-menu about to open is filled anew, so that
  // a browser installed (or removed) while the program runs shows at once.
  void FamilyMenuOpening(HMENU Popup);
  // Puts the items of one family sub-menu in place of those it had.
  void FillFamilyMenu(HMENU Popup);
  // Runs Work on a worker with COM initialised, the window answering and the
  // status line following SweepProgress meanwhile.
  void CleanOnWorker(const std::function<void()>& Work);
  // Removes what a preview planned and left ticked; operations only while
  // what they clear is what the preview saw.
  void CleanPreview(std::vector<struct TItemPlan>& Plans);
  // The status line, while a worker works: what it works on (Label), the
  // entries and size so far.
  void ShowProgress(const std::string& Label);
  void SetMenuCheck(int Tag, bool Checked);
  // The window has closed (the settings object and the log are gone), or
  // closes as soon as the running command has ended.
  bool Closing() const { return FCloseRequested || !Option || !Action; }
  void FormCreate(const std::string& FirstArg);
  void LaunchCompanion();
  void LoadSkins();
  void FirstInt();
  void AskCloseBrowsers();
  void AppMessage(MSG& Msg, bool& Handled);
  void BlinderMessage(const MSG& Msg);
  void FormResize();
  void dfsStatusBarResize();
  void dfsStatusBarIconClick();
  void StatusBarDrawPanel(const DRAWITEMSTRUCT& Item);
  void Command(int Id);
  void MenuSelect(UINT Item, UINT Flags, HMENU Menu);
  bool SetCursorFor(HWND Target);
  void FormClose();
  void FormDestroy();
  bool ControlMessage(HWND Control, UINT Msg, WPARAM WParam, LPARAM LParam,
                      LRESULT& Result) override;

  int FDpi;
  TGdiObject FFormFont, FMemoFont;
  TGdiObject FWallpaper1, FWallpaper2;  // ImgSpbBg1, ImgSpbBg2
  HICON FGrayBall = nullptr, FRedBall = nullptr, FGreenBall = nullptr;
  HCURSOR FWaitCursor = nullptr;  // the system wait cursor, shown while busy
  HCURSOR FScreenCursor = nullptr;
  HACCEL FAccelerators = nullptr;
  TMenu FTrayMenu;
  std::string FHint;  // the text held by StatusBar's owner-drawn panel
  bool FClosed = false;
  bool FCloseRequested = false;  // a close arrived while a command ran
  int FBusyDepth = 0;
  // The running sweep: of the temporary folder (the age rule and its line
  // apply), and stopped before its end.
  bool FSweepIsTemp = false;
  bool FSweepStopped = false;
  bool FSweepRunning = false;
  bool FSummaryDue = false;  // the running command ends with the summary line
  std::string FProgressItem;  // the item the command clears now
  std::string FSweepLabel;    // the item whose folder the running sweep sweeps
  ULONGLONG FProgressShown = 0;
  std::string FSweepFolder;
  TTally FSweepTally;  // written by the worker until it has finished
  // Declared after what its work uses, so that it is joined before they go.
  TWorker FSweeper;
  // The worker has finished: its end is taken in (once). True when no sweep runs.
  bool FinishSweep();
  void SweepDone();
  bool FReady = false;  // creation has ended
  HMENU FBrowsersMenu = nullptr, FWindowsMenu = nullptr;  // owned by the menu bar
  std::map<int, bool> FHiddenChecks;  // check marks of option items not in the menu
  std::optional<SYSTEMTIME> FLastTick;  // the second the schedule last looked at
};
