#pragma once
// The one list of everything the program can clean. The Shred run, the item
// commands of the Shred menu, the preview and its clean all go through it; a
// new item is one more row here.

#include "actions/ActionUnit.h"
#include "engine/FolderGuard.h"
#include "engine/Progress.h"
#include "engine/Tally.h"
#include "engine/TreePlan.h"
#include "settings/ItemSwitch.h"
#include "settings/Option.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

enum class TGroup { Internet, Documents, Browsers, Windows };

// One entry of a preview that is not a file or folder of a swept tree.
//   RegistryValue  Root, Key (path below Root), Value; Token: type and data hash
//   CacheEntry     Name: the URL
//   Operation      Name: what it clears; Token: the content token it had
//   Rows           rows of a database, removed by the item's own clean: Key the
//                  database's "\\?\" path, Rows how many, Size the bytes they
//                  hold (an estimate), Token the database's identity
enum class TEntryKind : std::uint8_t { RegistryValue, CacheEntry, Operation, Rows };
struct TPlanEntry {
  TEntryKind Kind = TEntryKind::Operation;
  std::string Name;  // what the preview shows: a path, a value, a URL, a description
  std::uint64_t Size = 0;
  std::uint64_t Time = 0;  // UTC FILETIME as an integer, 0 when unknown
  // What must still hold for the clean to touch it (see the kinds above).
  std::uint64_t Token = 0;
  std::uint64_t Rows = 0;
  HKEY Root = nullptr;
  std::wstring Key, Value;
  bool Ticked = true;
};

struct TItem;

// What one item would remove.
struct TItemPlan {
  const TItem* Item = nullptr;
  bool Ticked = true;
  std::vector<TTreePlan> Trees;
  std::vector<TPlanEntry> Entries;
  // Folders the guard refused, as log sentences.
  std::vector<std::string> Refusals;
  // Said in the log when the plan is cleaned: what could not be looked at
  // and why; each counts as an entry that stayed (refused).
  std::vector<std::string> Notes;
  // The same for what a running program holds (a browser): in use.
  std::vector<std::string> Held;
  // The whole item stays because a program holds it: "Google Chrome is
  // running". Its plan is unticked, and its Held lines are said all the same.
  std::string Skipped;
  // Another item of the same run takes what this one would (both clear the
  // shell's recent documents): this one is not planned, and says so.
  const TItem* CoveredBy = nullptr;

  std::uint64_t Files() const;
  std::uint64_t Bytes() const;
  std::uint64_t RegistryValues() const;
  std::uint64_t Count() const;  // every ticked entry, files and others
};

// How a preview reaches the machine; tests may replace the folders.
struct TPreviewContext {
  TProgress& Progress;
  bool KeepRecentTemp = false;  // the age rule of the temporary folder
};

// What the clean of one plan did with each of its entries, for callers that
// name what stayed (the command line). NotTried for an entry left to the
// item's own clean or operation.
struct TCleanReport {
  std::vector<std::vector<TEntryOutcome>> Trees;  // by the plan's trees, then their entries
  std::vector<TEntryOutcome> Entries;             // by the plan's entries
};

// What an item's clean reports to: counts, and sentences for the log in order.
struct TCleanContext {
  TProgress& Progress;
  TTally& Tally;
  std::vector<std::string>& Lines;
  TCleanReport* Report = nullptr;  // none: counts only
};

struct TItem {
  const char* Id;
  TGroup Group;
  int Tag;           // its item command in the Shred menu
  const char* Label;  // as the preview names it
  const char* Hint;
  // Chosen for the Shred run: this setting; for an item without one, its
  // stored switch (StoredItemSwitch).
  bool TOption::*Switch;
  // The Shred run clears it (and starts its folder sweep) before the others.
  bool Early;
  // The operation that clears it, logging its sentence; none for a sweep alone.
  void (TAction::*Clear)(bool Enabled);
  // Its folder sweep: the folder and how the log names it; none without.
  std::string (*Folder)();
  const char* FolderName;
  // What it would remove. Runs on a worker.
  void (*Preview)(TPreviewContext& Context, TItemPlan& Plan);
  // Where its box and menu command stand within the group: "Google Chrome",
  // "Explorer"; none for the first groups' items.
  const char* Section = nullptr;
  // Offered only when the program runs elevated.
  bool Admin = false;
  // Whether what it cleans exists on this machine (a browser installed);
  // none: always. Items not present are not offered in the options.
  bool (*Present)() = nullptr;
  // Removes what its plan holds, on a worker with COM initialised
  // (apartment-threaded). None: CleanEntries. An item whose Clear operation
  // runs on the main thread leaves its operations to the caller.
  void (*Clean)(TCleanContext& Context, TItemPlan& Plan) = nullptr;
  // The id of an item that takes all this one takes, and more: in a run
  // with both, only that one is planned.
  const char* CoveredBy = nullptr;
};

// Every item, in the order the Shred menu and the item commands follow.
std::span<const TItem> Catalogue();
const TItem* FindItem(std::string_view Id);
// The items of an item command's tag, in order; empty for no command.
std::vector<const TItem*> ItemsOfCommand(int Tag);
// The commands of the family sub-menus of the Shred menu: one per item
// (Windows), one per section (a browser: its chosen items).
constexpr int ItemCommandBase = 5000, SectionCommandBase = 5800, FamilyCommandEnd = 5900;
int ItemCommand(const TItem& Item);
// The sections of a group, in catalogue order, each once.
std::vector<std::string> SectionsOf(TGroup Group);
// The items of a family command: its item, or its section's items.
std::vector<const TItem*> ItemsOfFamilyCommand(int Id);
// The hint a family command shows in the status line.
std::string FamilyCommandHint(int Id);
bool ItemChosen(const TItem& Item, const TOption& Option);
// The items a Shred run would clear with these settings, in the run's order:
// the early ones, then the rest.
std::vector<const TItem*> ChosenItems(const TOption& Option);

// The preview's clean of what runs off the main thread, for a ticked plan: the
// item's own Clean when it has one, else CleanEntries. Operations of items with
// a Clear operation are left to the caller.
void CleanPlanEntries(TItemPlan& Plan, TCleanContext& Context);
// The plain clean: folder trees, registry values and cache entries that still
// match what the plan recorded.
void CleanEntries(TCleanContext& Context, TItemPlan& Plan);
// The preview of the registry values of a key below Root (Path with or
// without a leading backslash); nothing when the key is missing.
void PreviewValues(TItemPlan& Plan, HKEY Root, const std::string& Path);
// Plans the tree at Folder after the guard allowed it; a refusal goes into
// the plan's refusals, naming the folder as What ("the temporary folder").
void PreviewTree(TPreviewContext& Context, TItemPlan& Plan, const std::string& Folder, const std::string& What,
                 const TTreeRules& Rules = {}, TSweepScope Scope = TSweepScope::UserData);
// Whether this process runs elevated (an administrator's token).
bool Elevated();
// Whether the item may run here: present, and elevated when it needs it.
bool ItemOffered(const TItem& Item);
// The same for a process that is (or is not) elevated.
bool ItemOffered(const TItem& Item, bool Elevated);
// The token an operation has now; the clean runs it only when unchanged.
std::uint64_t OperationToken(const TItem& Item);
// The item of Items that covers Item (see TItem::CoveredBy); none when none does.
const TItem* CoveringItem(const TItem& Item, std::span<const TItem* const> Items);
// Marks each ticked plan whose covering item has a ticked plan too.
void MarkCovered(std::vector<TItemPlan>& Plans);
