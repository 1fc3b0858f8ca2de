// The preview window, and the Preview command of the main window with the
// clean that follows its Shred button.
#include "app/Preview.h"

#include "app/UMain.h"
#include "app/WindowHost.h"
#include "resource.h"
#include "win/Application.h"
#include "win/TextFile.h"
#include "win/WidePath.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>

namespace {

constexpr UINT_PTR ProgressTimer = 1;


std::wstring LocalTimeText(std::uint64_t Utc) {
  if (!Utc) return {};
  FILETIME Time{static_cast<DWORD>(Utc), static_cast<DWORD>(Utc >> 32)};
  SYSTEMTIME System, Local;
  if (!FileTimeToSystemTime(&Time, &System) || !SystemTimeToTzSpecificLocalTime(nullptr, &System, &Local))
    return {};
  wchar_t Date[64] = {}, Clock[64] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &Local, nullptr, Date, 64);
  GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &Local, nullptr, Clock, 64);
  return std::wstring(Date) + L" " + Clock;
}

const wchar_t* KindText(TEntryKind Kind) {
  switch (Kind) {
    case TEntryKind::RegistryValue: return L"Registry value";
    case TEntryKind::CacheEntry: return L"Cache entry";
    case TEntryKind::Operation: return L"Operation";
    case TEntryKind::Rows: return L"Database rows";
  }
  return L"";
}

void AddColumn(HWND List, int Index, const wchar_t* Caption, int Width, bool Right = false) {
  LVCOLUMNW Column{};
  Column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  Column.fmt = Right ? LVCFMT_RIGHT : LVCFMT_LEFT;
  Column.cx = Width;
  Column.pszText = const_cast<wchar_t*>(Caption);
  SendMessageW(List, LVM_INSERTCOLUMNW, Index, reinterpret_cast<LPARAM>(&Column));
}

void SetCell(HWND List, int Row, int Column, const std::wstring& Text) {
  LVITEMW Item{};
  Item.iSubItem = Column;
  Item.pszText = const_cast<wchar_t*>(Text.c_str());
  SendMessageW(List, LVM_SETITEMTEXTW, Row, reinterpret_cast<LPARAM>(&Item));
}

// A text cell. One that begins as a formula would (=, +, -, @, or a tab or
// carriage return, which a spreadsheet may skip before one) gets a leading
// apostrophe, so that a name such as "=HYPERLINK(...)" stays text; then it
// is quoted where CSV needs it.
std::string CsvField(const std::string& Text) {
  const bool Formula = !Text.empty() && std::string_view("=+-@\t\r").find(Text.front()) != std::string_view::npos;
  const std::string Cell = Formula ? "'" + Text : Text;
  if (Cell.find_first_of(",\"\r\n") == std::string::npos) return Cell;
  std::string Quoted = "\"";
  for (char C : Cell) {
    if (C == '"') Quoted += '"';
    Quoted += C;
  }
  return Quoted + "\"";
}

}  // namespace

std::wstring (*TPreviewDlg::AskExportName)(HWND) = [](HWND Owner) {
  return AskSaveFileName(Owner, L"Export Preview", L"Vellumix preview.csv",
                         L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0", L"csv");
};
std::function<void(TPreviewDlg&)> TPreviewDlg::OnStarting, TPreviewDlg::OnComputed;

TPreviewDlg::TPreviewDlg(std::vector<const TItem*> Items, bool KeepRecentTemp)
    : TDialog(IDD_PREVIEW), FItems(std::move(Items)), FKeepRecentTemp(KeepRecentTemp) {}

TPreviewDlg::~TPreviewDlg() {
  Progress.Cancel();
  FWorker.Join();
}

bool TPreviewDlg::OnInitDialog() {
  for (int Id : {IDC_PREVIEWITEMS, IDC_PREVIEWENTRIES}) {
    HWND List = Item(Id);
    // Notifications in UTF-16, whatever the window's character set.
    SendMessageW(List, CCM_SETUNICODEFORMAT, TRUE, 0);
    SendMessageW(List, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  }
  RECT Units{0, 0, 100, 0};
  MapDialogRect(Handle(), &Units);
  auto Width = [&](int DialogUnits) { return MulDiv(DialogUnits, Units.right, 100); };
  HWND Items = Item(IDC_PREVIEWITEMS), Entries = Item(IDC_PREVIEWENTRIES);
  AddColumn(Items, 0, L"Item", Width(250));
  AddColumn(Items, 1, L"Entries", Width(70), true);
  AddColumn(Items, 2, L"Size", Width(80), true);
  AddColumn(Entries, 0, L"Name", Width(250));
  AddColumn(Entries, 1, L"Size", Width(60), true);
  AddColumn(Entries, 2, L"Modified", Width(70));
  AddColumn(Entries, 3, L"Kind", Width(50));
  EnableWindow(Item(IDOK), FALSE);
  EnableWindow(Item(IDC_PREVIEWEXPORT), FALSE);
  LayOut();
  if (OnStarting) OnStarting(*this);
  Start();
  return true;
}

void TPreviewDlg::Start() {
  FPlans.assign(FItems.size(), {});
  for (std::size_t I = 0; I < FItems.size(); ++I) FPlans[I].Item = FItems[I];
  // Two items that take the same trace: only the one that takes more looks.
  MarkCovered(FPlans);
  Progress.Reset();
  SetTimer(Handle(), ProgressTimer, 100, nullptr);
  const HWND Window = Handle();
  FWorker.Start(
      [this] {
        // The shell's functions some items look through want an apartment.
        const HRESULT Com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        TPreviewContext Context{Progress, FKeepRecentTemp};
        for (std::size_t I = 0; I < FPlans.size() && !Progress.Cancelled(); ++I) {
          FCurrent = I;
          TItemPlan& Plan = FPlans[I];
          if (Plan.CoveredBy) continue;
          // One item that fails to look leaves the others' look whole.
          try {
            Plan.Item->Preview(Context, Plan);
          } catch (const std::exception& E) {
            Plan.Notes.push_back(std::string("Could not look at ") + Plan.Item->Label + ": " + E.what());
          }
        }
        if (SUCCEEDED(Com)) CoUninitialize();
      },
      [Window] { PostMessageW(Window, WM_TIMER, ProgressTimer, 0); });
  ShowProgress();
}

void TPreviewDlg::ShowProgress() {
  const std::size_t Current = std::min(FCurrent.load(), FItems.size() - 1);
  const std::string Text = std::string("Looking at ") + FItems[Current]->Label + ": " +
                           GroupedCount(Progress.Entries) + " entries (" + SizeText(Progress.Bytes) +
                           ") so far. Esc stops.";
  SetStatus(Text);
}

void TPreviewDlg::Finish() {
  KillTimer(Handle(), ProgressTimer);
  FWorker.Join();  // what an item raised was caught by the worker itself
  FComputed = true;
  FStopped = Progress.Cancelled();
  FillItems();
  EnableWindow(Item(IDOK), TRUE);
  EnableWindow(Item(IDC_PREVIEWEXPORT), TRUE);
  SendMessageW(Handle(), DM_SETDEFID, IDOK, 0);
  SetFocus(Item(IDC_PREVIEWITEMS));
  if (OnComputed) OnComputed(*this);
}

void TPreviewDlg::FillItems() {
  HWND List = Item(IDC_PREVIEWITEMS);
  FFilling = true;
  SendMessageW(List, LVM_DELETEALLITEMS, 0, 0);
  for (std::size_t I = 0; I < FPlans.size(); ++I) {
    const std::wstring Label = Widen(FPlans[I].Item->Label);
    LVITEMW Row{};
    Row.mask = LVIF_TEXT;
    Row.iItem = static_cast<int>(I);
    Row.pszText = const_cast<wchar_t*>(Label.c_str());
    SendMessageW(List, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&Row));
    ListView_SetCheckState(List, static_cast<int>(I), FPlans[I].Ticked);
    UpdateItemRow(static_cast<int>(I));
  }
  FFilling = false;
  if (!FPlans.empty()) {
    ListView_SetItemState(List, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SelectItem(0);
  }
  UpdateTotals();
}

void TPreviewDlg::UpdateItemRow(int Index) {
  const TItemPlan& Plan = FPlans[Index];
  HWND List = Item(IDC_PREVIEWITEMS);
  // An item that did not look itself says why in its row, beside its name,
  // where the words have room.
  const std::string Instead = !Plan.Skipped.empty() ? "skipped: " + Plan.Skipped
                              : Plan.CoveredBy       ? std::string("with ") + Plan.CoveredBy->Label
                                                     : std::string();
  SetCell(List, Index, 0, Widen(Instead.empty() ? Plan.Item->Label : Plan.Item->Label + (" \xE2\x80\x94 " + Instead)));
  SetCell(List, Index, 1, Instead.empty() ? Widen(GroupedCount(Plan.Count())) : std::wstring());
  SetCell(List, Index, 2, Instead.empty() ? Widen(SizeText(Plan.Bytes())) : std::wstring());
}

std::string TPreviewDlg::TotalsText() const {
  std::uint64_t Files = 0, Bytes = 0, Values = 0, Rows = 0, RowBytes = 0, Others = 0;
  for (const TItemPlan& Plan : FPlans) {
    if (!Plan.Ticked) continue;
    Files += Plan.Files();
    for (const TTreePlan& Tree : Plan.Trees) Bytes += Tree.TickedBytes();
    Values += Plan.RegistryValues();
    for (const TPlanEntry& Entry : Plan.Entries)
      if (Entry.Ticked && Entry.Kind == TEntryKind::Rows) Rows += Entry.Rows, RowBytes += Entry.Size;
    Others += Plan.Count() - Plan.Files() - Plan.RegistryValues();
  }
  Others -= Rows;
  std::string Text = GroupedCount(Files) + (Files == 1 ? " file (" : " files (") + SizeText(Bytes) + "); " +
                     GroupedCount(Values) + (Values == 1 ? " registry value" : " registry values");
  if (Rows) Text += "; " + GroupedCount(Rows) + (Rows == 1 ? " database row (" : " database rows (") +
                    SizeText(RowBytes) + ")";
  if (Others) Text += "; " + GroupedCount(Others) + (Others == 1 ? " other entry" : " other entries");
  return Text + (FStopped ? ". Stopped before the end: only what was found is shown." : ".");
}

void TPreviewDlg::UpdateTotals() { SetStatus(TotalsText()); }

void TPreviewDlg::SetStatus(const std::string& Text) {
  SetWindowTextW(Item(IDC_PREVIEWTOTALS), Widen(Text).c_str());
}

void TPreviewDlg::Shred() {
  if (!FComputed || FShredding) return;
  FShredding = true;
  for (int Id : {IDOK, IDCANCEL, IDC_PREVIEWEXPORT, IDC_PREVIEWITEMS, IDC_PREVIEWENTRIES}) EnableWindow(Item(Id), FALSE);
  SetStatus("Removing what is ticked...");
  if (OnShred) Guarded([&] { OnShred(FPlans); });
  Close(IDOK);
}

void TPreviewDlg::SelectItem(int Index) {
  FSelected = Index;
  FRows.clear();
  if (Index >= 0 && Index < static_cast<int>(FPlans.size())) {
    const TItemPlan& Plan = FPlans[Index];
    for (std::uint32_t T = 0; T < Plan.Trees.size(); ++T)
      for (std::uint32_t E = 0; E < Plan.Trees[T].Entries.size(); ++E) FRows.push_back({T, E});
    for (std::uint32_t E = 0; E < Plan.Entries.size(); ++E) FRows.push_back({NoTree, E});
  }
  HWND List = Item(IDC_PREVIEWENTRIES);
  SendMessageW(List, LVM_SETITEMCOUNT, FRows.size(), 0);
  InvalidateRect(List, nullptr, TRUE);
  // What the item could not look at, and why (a running browser, a refused
  // folder), stands above its entries.
  std::string Label = "&Entries of the selected item:";
  if (Index >= 0 && Index < static_cast<int>(FPlans.size())) {
    std::string Said;
    for (const auto* Lines : {&FPlans[Index].Refusals, &FPlans[Index].Notes, &FPlans[Index].Held})
      for (const std::string& Line : *Lines) Said += " " + Line;
    for (std::size_t At = Said.find('&'); At != std::string::npos; At = Said.find('&', At + 2)) Said.insert(At, 1, '&');
    Label += Said;
  }
  SetWindowTextW(Item(IDC_PREVIEWENTRIESLABEL), Widen(Label).c_str());
}

std::wstring_view TPreviewDlg::RowName(const TRow& Row) const {
  const TItemPlan& Plan = FPlans[FSelected];
  if (Row.Tree == NoTree) return {};
  const TTreePlan& Tree = Plan.Trees[Row.Tree];
  return Tree.NameOf(Tree.Entries[Row.Index]);
}

std::uint64_t TPreviewDlg::RowSize(const TRow& Row) const {
  const TItemPlan& Plan = FPlans[FSelected];
  return Row.Tree == NoTree ? Plan.Entries[Row.Index].Size : Plan.Trees[Row.Tree].Entries[Row.Index].Size;
}

std::uint64_t TPreviewDlg::RowTime(const TRow& Row) const {
  const TItemPlan& Plan = FPlans[FSelected];
  return Row.Tree == NoTree ? Plan.Entries[Row.Index].Time : Plan.Trees[Row.Tree].Entries[Row.Index].LastWrite;
}

bool& TPreviewDlg::RowTicked(const TRow& Row) {
  TItemPlan& Plan = FPlans[FSelected];
  return Row.Tree == NoTree ? Plan.Entries[Row.Index].Ticked : Plan.Trees[Row.Tree].Entries[Row.Index].Ticked;
}

std::wstring TPreviewDlg::CellText(const TRow& Row, int Column) const {
  const TItemPlan& Plan = FPlans[FSelected];
  switch (Column) {
    case 0:
      if (Row.Tree == NoTree) return Widen(Plan.Entries[Row.Index].Name);
      return PlainPath(Plan.Trees[Row.Tree].PathOf(Plan.Trees[Row.Tree].Entries[Row.Index]));
    case 1:
      if (Row.Tree != NoTree && Plan.Trees[Row.Tree].Entries[Row.Index].IsFolder()) return {};
      return Widen(SizeText(RowSize(Row)));
    case 2: return LocalTimeText(RowTime(Row));
    case 3:
      if (Row.Tree == NoTree) return KindText(Plan.Entries[Row.Index].Kind);
      return Plan.Trees[Row.Tree].Entries[Row.Index].IsFolder() ? L"Folder" : L"File";
  }
  return {};
}

std::wstring TPreviewDlg::EntryPath(int Row) const { return CellText(FRows.at(Row), 0); }

bool TPreviewDlg::EntryTicked(int Row) const { return const_cast<TPreviewDlg*>(this)->RowTicked(FRows.at(Row)); }

void TPreviewDlg::TickEntry(int Row, bool Ticked) {
  RowTicked(FRows.at(Row)) = Ticked;
  SendMessageW(Item(IDC_PREVIEWENTRIES), LVM_REDRAWITEMS, Row, Row);
  UpdateItemRow(FSelected);
  UpdateTotals();
}

void TPreviewDlg::SortEntries(int Column) {
  auto LargestFirst = [&](auto Key) {
    std::stable_sort(FRows.begin(), FRows.end(), [&](const TRow& A, const TRow& B) { return Key(B) < Key(A); });
  };
  switch (Column) {
    case 0:
      // Files and folders by their names (as Windows compares them), then the
      // item's other entries by theirs.
      std::stable_sort(FRows.begin(), FRows.end(), [&](const TRow& A, const TRow& B) {
        if ((A.Tree == NoTree) != (B.Tree == NoTree)) return B.Tree == NoTree;
        if (A.Tree == NoTree)
          return FPlans[FSelected].Entries[A.Index].Name < FPlans[FSelected].Entries[B.Index].Name;
        const std::wstring_view NA = RowName(A), NB = RowName(B);
        return CompareStringOrdinal(NA.data(), static_cast<int>(NA.size()), NB.data(), static_cast<int>(NB.size()),
                                    TRUE) == CSTR_LESS_THAN;
      });
      break;
    case 1: LargestFirst([&](const TRow& R) { return RowSize(R); }); break;
    case 2: LargestFirst([&](const TRow& R) { return RowTime(R); }); break;
    default: return;
  }
  InvalidateRect(Item(IDC_PREVIEWENTRIES), nullptr, TRUE);
}

std::string TPreviewDlg::Csv() const {
  std::string Out = "\xEF\xBB\xBFItem,Kind,Path,Size,Modified,Included\r\n";
  auto Line = [&](const TItemPlan& Plan, const char* Kind, const std::string& Path, std::uint64_t Size,
                  std::uint64_t Time, bool Ticked) {
    Out += CsvField(Plan.Item->Id) + "," + Kind + "," + CsvField(Path) + "," + std::to_string(Size) + "," +
           CsvField(Narrow(LocalTimeText(Time))) + "," + (Plan.Ticked && Ticked ? "yes" : "no") + "\r\n";
  };
  for (const TItemPlan& Plan : FPlans) {
    for (const TTreePlan& Tree : Plan.Trees)
      for (const TTreePlan::TEntry& Entry : Tree.Entries)
        Line(Plan, Entry.IsFolder() ? "folder" : "file", Narrow(PlainPath(Tree.PathOf(Entry))), Entry.Size,
             Entry.LastWrite, Entry.Ticked);
    for (const TPlanEntry& Entry : Plan.Entries) {
      const char* Kind = Entry.Kind == TEntryKind::RegistryValue ? "registry value"
                         : Entry.Kind == TEntryKind::CacheEntry  ? "cache entry"
                         : Entry.Kind == TEntryKind::Rows        ? "database rows"
                                                                 : "operation";
      Line(Plan, Kind, Entry.Name, Entry.Size, Entry.Time, Entry.Ticked);
    }
  }
  return Out;
}

void TPreviewDlg::Export() {
  const std::wstring File = AskExportName(Handle());
  if (!File.empty()) SaveWholeFile(File, Csv(), "the preview");
}

void TPreviewDlg::LayOut() {
  RECT Client;
  GetClientRect(Handle(), &Client);
  RECT Units{6, 9, 54, 14};  // margin, label height, button width and height
  MapDialogRect(Handle(), &Units);
  const int M = Units.left, Label = Units.top, ButtonW = Units.right, ButtonH = Units.bottom;
  const int W = Client.right - 2 * M, H = Client.bottom;
  const int ButtonTop = H - M - ButtonH, TotalsTop = ButtonTop - M / 2 - Label;
  const int ListsTop = M + Label, ListsBottom = TotalsTop - M / 2;
  const int ItemsH = std::max(0, (ListsBottom - ListsTop - Label) / 3);
  auto Move = [&](int Id, int X, int Y, int Width, int Height) {
    SetWindowPos(Item(Id), nullptr, X, Y, std::max(0, Width), std::max(0, Height), SWP_NOZORDER | SWP_NOACTIVATE);
  };
  Move(IDC_PREVIEWITEMSLABEL, M, M / 2, W, Label);
  Move(IDC_PREVIEWITEMS, M, ListsTop, W, ItemsH);
  Move(IDC_PREVIEWENTRIESLABEL, M, ListsTop + ItemsH + M / 2, W, Label);
  const int EntriesTop = ListsTop + ItemsH + M / 2 + Label;
  Move(IDC_PREVIEWENTRIES, M, EntriesTop, W, ListsBottom - EntriesTop);
  Move(IDC_PREVIEWTOTALS, M, TotalsTop, W, Label);
  Move(IDC_PREVIEWEXPORT, M, ButtonTop, ButtonW, ButtonH);
  Move(IDCANCEL, Client.right - M - ButtonW, ButtonTop, ButtonW, ButtonH);
  Move(IDOK, Client.right - 2 * M - 2 * ButtonW + M / 2, ButtonTop, ButtonW, ButtonH);
  InvalidateRect(Handle(), nullptr, TRUE);
}

bool TPreviewDlg::EntryNotify(NMHDR& Header, INT_PTR& Result) {
  switch (Header.code) {
    case LVN_GETDISPINFOW: {
      auto& Info = reinterpret_cast<NMLVDISPINFOW&>(Header);
      if (FSelected < 0 || Info.item.iItem < 0 || Info.item.iItem >= static_cast<int>(FRows.size())) return false;
      const TRow& Row = FRows[Info.item.iItem];
      if (Info.item.mask & LVIF_TEXT) {
        const std::wstring Text = CellText(Row, Info.item.iSubItem);
        lstrcpynW(Info.item.pszText, Text.c_str(), Info.item.cchTextMax);
      }
      if (Info.item.mask & LVIF_STATE) {
        Info.item.state = INDEXTOSTATEIMAGEMASK(RowTicked(Row) ? 2 : 1);
        Info.item.stateMask = LVIS_STATEIMAGEMASK;
      }
      return true;
    }
    case NM_CLICK: {
      // An owner-data list leaves its check boxes to us.
      LVHITTESTINFO Hit{};
      Hit.pt = reinterpret_cast<NMITEMACTIVATE&>(Header).ptAction;
      const int Row = static_cast<int>(SendMessageW(Header.hwndFrom, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&Hit)));
      if (Row >= 0 && (Hit.flags & LVHT_ONITEMSTATEICON)) TickEntry(Row, !EntryTicked(Row));
      return true;
    }
    case LVN_KEYDOWN:
      if (reinterpret_cast<NMLVKEYDOWN&>(Header).wVKey == VK_SPACE) {
        for (int Row = -1; (Row = static_cast<int>(SendMessageW(Header.hwndFrom, LVM_GETNEXTITEM, Row, LVNI_SELECTED))) >= 0;)
          TickEntry(Row, !EntryTicked(Row));
        Result = TRUE;
        return true;
      }
      return false;
    case LVN_COLUMNCLICK:
      // Name, size and date sort; the kind column does not.
      SortEntries(reinterpret_cast<NMLISTVIEW&>(Header).iSubItem);
      return true;
  }
  return false;
}

bool TPreviewDlg::OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam, INT_PTR& Result) {
  switch (Msg) {
    case WM_TIMER:
      if (WParam != ProgressTimer || FComputed) return true;
      if (FWorker.Finished())
        Finish();
      else
        ShowProgress();
      return true;
    case WM_SIZE:
      LayOut();
      return true;
    case WM_GETMINMAXINFO: {
      RECT Least{0, 0, 260, 180};
      MapDialogRect(Handle(), &Least);
      reinterpret_cast<MINMAXINFO*>(LParam)->ptMinTrackSize = {Least.right, Least.bottom};
      return true;
    }
    case WM_COMMAND:
      switch (LOWORD(WParam)) {
        case IDOK:
          Shred();
          return true;
        case IDCANCEL:
          if (FShredding) return true;  // the Shred closes the window when it has ended
          if (!FComputed) {
            Progress.Cancel();  // the worker ends at its next entry; what it found is shown
            return true;
          }
          Close(IDCANCEL);
          return true;
        case IDC_PREVIEWEXPORT:
          if (FComputed) Guarded([&] { Export(); });
          return true;
      }
      return false;
    case WM_NOTIFY: {
      auto& Header = *reinterpret_cast<NMHDR*>(LParam);
      if (Header.idFrom == IDC_PREVIEWENTRIES) return EntryNotify(Header, Result);
      if (Header.idFrom == IDC_PREVIEWITEMS && Header.code == LVN_ITEMCHANGED && !FFilling) {
        const auto& Change = reinterpret_cast<NMLISTVIEW&>(Header);
        if (Change.iItem < 0 || Change.iItem >= static_cast<int>(FPlans.size())) return false;
        if ((Change.uChanged & LVIF_STATE) && (Change.uNewState & LVIS_STATEIMAGEMASK) &&
            (Change.uNewState & LVIS_STATEIMAGEMASK) != (Change.uOldState & LVIS_STATEIMAGEMASK)) {
          FPlans[Change.iItem].Ticked = ListView_GetCheckState(Header.hwndFrom, Change.iItem);
          UpdateTotals();
        }
        if ((Change.uNewState & LVIS_SELECTED) && !(Change.uOldState & LVIS_SELECTED)) SelectItem(Change.iItem);
        return true;
      }
      return false;
    }
  }
  return false;
}

bool TPreviewDlg::PreviewKey(const MSG& Msg) {
  // Esc while computing stops the computing; the window stays.
  if (Msg.message == WM_KEYDOWN && Msg.wParam == VK_ESCAPE && !FComputed) {
    Progress.Cancel();
    return true;
  }
  return false;
}

// ---- the main window's command

void TMainForm::PreviewActionExecute() {
  RunBusy([this] {
    if (Closing()) return;
    const std::vector<const TItem*> Items = ItemsToShred();
    if (Items.empty()) return;
    TPreviewDlg Dialog(Items, Option->KeepTempFiles);
    Dialog.OnShred = [this](std::vector<TItemPlan>& Plans) { CleanPreview(Plans); };
    // Known to the window while it is open, however it ends.
    struct TForget {
      TPreviewDlg*& Open;
      ~TForget() { Open = nullptr; }
    } Forget{PreviewDlg = &Dialog};
    Dialog.ShowModal(Handle());
  });
}

void TMainForm::CleanPreview(std::vector<TItemPlan>& Plans) {
  Action->Tally = {};
  FSummaryDue = true;
  SweepProgress.Reset();
  std::uint64_t Entries = 0, Bytes = 0;
  for (const TItemPlan& Plan : Plans)
    if (Plan.Ticked) Entries += Plan.Count(), Bytes += Plan.Bytes();
  // The counters go on from the plan's totals, as after a sweep's own look.
  SweepProgress.Entries = Entries;
  SweepProgress.Bytes = Bytes;
  SweepProgress.BeginClean(Entries, Bytes);
  FProgressItem = "Shred";
  TPreviewContext Context{SweepProgress, Option->KeepTempFiles};
  TWindowHost Host(*this);
  const bool Ended = CleanItems(Plans, false, Context, Host);
  Action->Tally += Host.Removed;
  if (Closing()) return;
  // The summary now, while the preview still shows: the command's end would
  // come only once the window has gone.
  FSummaryDue = false;
  Action->AddMessage((Ended ? "" : "Stopped before the end: what was not reached stays. ") + SummaryLine(Action->Tally),
                     "");
  RefreshMemo();
}
