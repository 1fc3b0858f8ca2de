#pragma once
// The plan of a folder sweep: every file and folder of a tree, each with the
// identity it had when it was found, and the clean that removes exactly the
// ticked entries that are still that identity.
//
// The walk lists each folder through a handle that pins it (no deletion or
// renaming while it is listed), never enters a link, and checks every folder
// it enters to be the one its parent listed. The clean opens each folder the
// same way and checks its identity; it opens each file relative to that folder
// without following links, compares the file's identity through the handle
// and deletes through that handle. A path swapped since the walk therefore
// cannot redirect a deletion; an entry that changed stays and is counted; one
// that appeared since is never looked at. Nothing is truncated, nothing waits
// for a file in use, nothing is scheduled for deletion at restart.

#include "engine/Progress.h"
#include "engine/Tally.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TTreeRules {
  // Entries used within this long (100-ns units) stay out of the plan: files
  // by the newer of last access and last write, folders by creation. 0: none.
  std::uint64_t KeepFor = 0;
  std::uint64_t Now = 0;  // UTC, as a FILETIME's integer
  // Which entries of the root folder itself the plan takes, a folder with all
  // it holds; none: every entry. Others are neither listed nor entered.
  std::function<bool(std::wstring_view Name, bool Folder)> Take;
};

// The temporary folder's rule: what was used in the last eight days stays.
TTreeRules KeepRecentlyUsed();

class TTreePlan {
public:
  struct TFolder {
    std::uint64_t Id = 0;  // the file system's file ID
    std::uint32_t Parent = 0, NameAt = 0;
    std::uint16_t NameLength = 0;
  };
  struct TEntry {
    std::uint64_t Id = 0, Size = 0, LastWrite = 0;  // LastWrite: UTC FILETIME
    std::uint32_t Folder = 0;  // the folder that holds it
    std::uint32_t Self = 0;    // a folder's own index in Folders
    std::uint32_t NameAt = 0, Attributes = 0;
    std::uint16_t NameLength = 0;
    bool Ticked = true;
    bool IsFolder() const noexcept { return Attributes & 0x10; }
  };

  std::wstring Root;  // "\\?\" form; folder 0
  std::uint32_t Volume = 0;
  std::vector<TFolder> Folders;
  // Folder by folder, each folder's entries together, a folder listed before
  // what it holds.
  std::vector<TEntry> Entries;
  std::vector<wchar_t> Names;
  // Folders that were not what their parent listed when the walk came to
  // them, and names the walk could not carry: left out of the plan.
  std::uint64_t Skipped = 0;
  // The root was not the folder expected (another folder was put in its place
  // or on its way since it was judged): nothing was walked.
  bool RootChanged = false;

  std::wstring_view NameOf(const TEntry& Entry) const {
    return {Names.data() + Entry.NameAt, Entry.NameLength};
  }
  std::wstring FolderPath(std::uint32_t Folder) const;
  std::wstring PathOf(const TEntry& Entry) const;
  std::uint64_t TickedBytes() const;
  std::uint64_t TickedFiles() const;
};

// Walks the tree at Root (the "\\?\" form of a folder the guard allowed),
// when the folder there is still the one with RootId on RootVolume (the
// identity the guard judged; 0: any); stops early, with what it found so far,
// when Progress is cancelled. Every entry found counts in Progress.
TTreePlan PlanTree(const std::wstring& Root, const TTreeRules& Rules, TProgress& Progress, std::uint64_t RootId = 0,
                   std::uint32_t RootVolume = 0);

// What the clean did with one entry of a plan.
enum class TEntryOutcome : std::uint8_t {
  NotTried,  // not ticked, or the clean was stopped before it
  Removed,
  Vanished,  // already gone
  InUse,     // held by another program
  Changed,   // no longer what the preview recorded
  Refused,   // access denied, a link, a folder no longer the one walked
  NotEmpty,  // a folder that still held something
  // A file with other names (hard links): removing this name would free
  // nothing, and lifting its read-only flag would change the others.
  OtherNames,
};

// Removes the ticked entries that are still what the plan recorded: files
// first, then folders deepest first, each only when empty then. Counts into
// Tally; every entry handled counts in Progress. Outcomes, when given, gets
// one outcome per entry of the plan, by index (for callers that name what
// stayed).
void CleanTree(const TTreePlan& Plan, TProgress& Progress, TTally& Tally,
               std::vector<TEntryOutcome>* Outcomes = nullptr);
