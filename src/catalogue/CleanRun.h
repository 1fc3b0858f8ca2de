#pragma once
// The one clean of a run, whoever asks for it: the window's Shred of planned
// items, the preview window's Shred and the command line. Each item is
// previewed unless its plan was made already; what its plan holds is removed
// where it is still what was found; its operations run only while their store
// is what the preview saw. Whatever fails inside an item becomes a line
// ("Could not clean <item>: <reason>") and an entry that stayed, and the run
// goes on with the next item.

#include "catalogue/Catalogue.h"

#include <functional>
#include <string>
#include <vector>

// What one item did.
struct TItemOutcome {
  TTally Tally;
  std::vector<std::string> Lines;  // for the log, in order
  TCleanReport Report;             // by the plan's trees and entries
};

// Where a run reports, and how it runs what needs a place of its own.
class TCleanHost {
public:
  virtual ~TCleanHost() = default;
  // Runs an item's preview and clean and returns when they have ended: the
  // window on a worker while it keeps answering, the command line here.
  // Work catches what it raises.
  virtual void RunWork(const std::function<void()>& Work) { Work(); }
  // Runs the item's operation (its Clear) where operations run, adding its
  // counts to Tally and its sentences to Lines; returns what became of it.
  virtual TEntryOutcome Operate(const TItem& Item, TTally& Tally, std::vector<std::string>& Lines) = 0;
  // An item has ended.
  virtual void ItemDone(const TItemPlan& Plan, const TItemOutcome& Outcome) = 0;
  // The run is to end now (the window closes).
  virtual bool Ending() { return false; }
};

// Cleans each plan in order, previewing it first when Look (a plan then
// holds only its item). Plans whose covering item is in the run too are
// marked and only said. Returns false when the run was stopped (Progress
// cancelled, or the host ending) before its end.
bool CleanItems(std::vector<TItemPlan>& Plans, bool Look, TPreviewContext& Context, TCleanHost& Host);
