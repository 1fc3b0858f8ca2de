#pragma once
// The preview window: what the Shred run would remove, item by item and entry
// by entry, computed on a worker while the window answers. Its Shred button
// hands the plans back to the main window, which removes exactly the ticked
// entries that are still what was shown.

#include "catalogue/Catalogue.h"
#include "engine/Progress.h"
#include "engine/Worker.h"
#include "win/Dialog.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

class TPreviewDlg : public TDialog {
public:
  TPreviewDlg(std::vector<const TItem*> Items, bool KeepRecentTemp);
  ~TPreviewDlg() override;

  // Removes what the window shows and leaves ticked, while the window stays
  // open with its buttons disabled; the window closes when it returns.
  std::function<void(std::vector<TItemPlan>& Plans)> OnShred;
  // The line under the lists (the totals; the progress while computing or shredding).
  void SetStatus(const std::string& Text);

  // Valid once Computed() is true.
  std::vector<TItemPlan>& Plans() noexcept { return FPlans; }
  bool Computed() const noexcept { return FComputed; }
  // The computing was stopped (Esc) before its end: what was found is shown.
  bool Stopped() const noexcept { return FStopped; }
  TProgress Progress;

  // The totals of everything ticked, as the bottom line shows them.
  std::string TotalsText() const;
  // Every entry of every item as UTF-8 CSV (with a byte-order mark, so that
  // spreadsheets read it as UTF-8): item, kind, path, size, modified, included.
  std::string Csv() const;
  // Where Export... writes; tests replace the dialog.
  static std::wstring (*AskExportName)(HWND Owner);

  // Tests: run when the window starts computing, and once it has computed.
  static std::function<void(TPreviewDlg&)> OnStarting, OnComputed;

  // The item row selected and its entry rows (for tests and the window).
  void SelectItem(int Index);
  int EntryRows() const noexcept { return static_cast<int>(FRows.size()); }
  // Ticks or unticks an entry row of the selected item.
  void TickEntry(int Row, bool Ticked);
  bool EntryTicked(int Row) const;
  std::wstring EntryPath(int Row) const;
  // Sorts the entry rows: 0 by name, 1 by size (largest first), 2 by date (newest first).
  void SortEntries(int Column);

protected:
  bool OnInitDialog() override;
  bool OnMessage(UINT Msg, WPARAM WParam, LPARAM LParam, INT_PTR& Result) override;
  bool PreviewKey(const MSG& Msg) override;

private:
  // A row of the entry list: an entry of one of the item's trees, or (Tree
  // is NoTree) one of its other entries.
  struct TRow {
    std::uint32_t Tree, Index;
  };
  static constexpr std::uint32_t NoTree = 0xFFFFFFFF;

  void Start();
  void Finish();
  void ShowProgress();
  void FillItems();
  void UpdateItemRow(int Index);
  void UpdateTotals();
  void LayOut();
  void Export();
  bool EntryNotify(NMHDR& Header, INT_PTR& Result);
  std::wstring CellText(const TRow& Row, int Column) const;
  std::uint64_t RowSize(const TRow& Row) const;
  std::uint64_t RowTime(const TRow& Row) const;
  std::wstring_view RowName(const TRow& Row) const;
  bool& RowTicked(const TRow& Row);

  std::vector<const TItem*> FItems;
  bool FKeepRecentTemp;
  std::vector<TItemPlan> FPlans;
  std::atomic<std::size_t> FCurrent{0};  // the item the worker looks at
  TWorker FWorker;
  bool FComputed = false, FStopped = false, FFilling = false, FShredding = false;
  void Shred();
  int FSelected = -1;
  std::vector<TRow> FRows;
};
