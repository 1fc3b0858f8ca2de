#pragma once
// The one list of everything the program can clean. The Shred run, the item
// commands of the Shred menu, the preview and its clean all go through it; a
// new item is one more row here.

#include "actions/ActionUnit.h"
#include "engine/Progress.h"
#include "engine/Tally.h"
#include "engine/TreePlan.h"
#include "settings/Option.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

enum class TGroup { Internet, Documents };

// One entry of a preview that is not a file or folder of a swept tree.
enum class TEntryKind : std::uint8_t { RegistryValue, CacheEntry, Operation };
struct TPlanEntry {
  TEntryKind Kind = TEntryKind::Operation;
  std::string Name;  // a registry value's key and name, a cache entry's URL, an operation's description
  std::uint64_t Size = 0;
  std::uint64_t Time = 0;  // UTC FILETIME as an integer, 0 when unknown
  // What must still hold for the clean to touch it: a registry value's type
  // and data hash; an operation's content token.
  std::uint64_t Token = 0;
  HKEY Root = nullptr;      // registry values
  std::wstring Key, Value;  // registry values: key path below Root, value name
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
};

// Every item, in the order the Shred menu and the item commands follow.
std::span<const TItem> Catalogue();
const TItem* FindItem(std::string_view Id);
// The items of an item command's tag, in order; empty for no command.
std::vector<const TItem*> ItemsOfCommand(int Tag);
// The switch of an item that has no setting of its own: the DWORD named after
// its id under HKEY_CURRENT_USER\Software\Vellumix\Items; absent (or not a
// DWORD) is off.
bool StoredItemSwitch(std::string_view Id);
bool ItemChosen(const TItem& Item, const TOption& Option);
// The items a Shred run would clear with these settings, in the run's order:
// the early ones, then the rest.
std::vector<const TItem*> ChosenItems(const TOption& Option);

// The preview's clean of what runs off the main thread: folder trees, registry
// values and cache entries that still match. Operations are left to the caller.
void CleanPlanEntries(TItemPlan& Plan, TProgress& Progress, TTally& Tally);
// The token an operation has now; the clean runs it only when unchanged.
std::uint64_t OperationToken(const TItem& Item);
