#include "cli/Cli.h"

#include "catalogue/Catalogue.h"
#include "catalogue/CleanRun.h"
#include "cli/Console.h"
#include "cli/JsonLine.h"
#include "engine/CleanLock.h"
#include "engine/FolderGuard.h"
#include "settings/Option.h"
#include "settings/Policy.h"
#include "version.h"
#include "win/Registry.h"
#include "win/WidePath.h"

#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <exception>

namespace {

constexpr char SettingsKey[] = "Software\\Vellumix";

// One run of a command: what it writes, in text or JSON as asked.
struct TRun {
  const TCommandLine& Line;
  TConsole& Console;
  // Human text: written unless JSON was asked for.
  void Say(const std::string& Text) {
    if (!Line.Json) Console.Write(Text + "\n");
  }
  void Emit(const TJsonLine& Json) {
    if (Line.Json) Console.Write(Json.Line());
  }
  // Ends the run with an error: the sentence on the error stream (with how
  // to call the program, for a usage error), and in JSON the summary.
  int Fail(int Code, const std::string& Message) {
    Console.WriteError(Message + "\n");
    if (Code == ExitUsage) Console.WriteError(std::string(UsageHint) + "\n");
    Emit(TJsonLine("summary").Text("command", CommandName(Line.Command)).Text("error", Message).Number("exit", Code));
    return Code;
  }
};

// The settings the window would use; those of a first start when there are none
// (nothing is written: the window's first start still greets).
TOption LoadedOptions() {
  TOption Option;
  TRegistry Reg(HKEY_CURRENT_USER);
  if (Reg.OpenKeyReadOnly(SettingsKey)) {
    Reg.CloseKey();
    Option.KeyPath = SettingsKey;
    Option.Load();
  } else {
    Option.KeepTempFiles = true;
  }
  return Option;
}

// Chosen for a run without ids: the user's switch, unless a policy decides.
// As the Shred run chooses (the policy included).
bool ChosenForRun(const TItem& Item, const TOption& Option) { return ItemOffered(Item) && ItemChosen(Item, Option); }

const char* GroupName(TGroup Group) {
  switch (Group) {
    case TGroup::Internet: return "internet";
    case TGroup::Documents: return "documents";
    case TGroup::Browsers: return "browsers";
    case TGroup::Windows: return "windows";
  }
  return "";
}

const char* PolicyName(TPolicy Policy) {
  return Policy == TPolicy::ForcedOn ? "forced_on" : Policy == TPolicy::ForcedOff ? "forced_off" : "";
}

const char* KindName(TEntryKind Kind) {
  switch (Kind) {
    case TEntryKind::RegistryValue: return "registry";
    case TEntryKind::CacheEntry: return "cache";
    case TEntryKind::Operation: return "operation";
    case TEntryKind::Rows: return "rows";
  }
  return "";
}

bool Stays(TEntryOutcome Outcome) {
  return Outcome == TEntryOutcome::InUse || Outcome == TEntryOutcome::Changed || Outcome == TEntryOutcome::Refused ||
         Outcome == TEntryOutcome::NotEmpty || Outcome == TEntryOutcome::OtherNames;
}

// The result field of an entry after a clean, and for one that stayed, why.
// An operation that ran: "done". An entry the item's own clean took without a
// word on it (rows, a browser's files): "see_log", its lines say what became of it.
const char* ResultName(TEntryOutcome Outcome, bool Own) {
  switch (Outcome) {
    case TEntryOutcome::Removed: return Own ? "done" : "removed";
    case TEntryOutcome::Vanished: return "vanished";
    case TEntryOutcome::NotTried: return Own ? "see_log" : "not_tried";
    default: return "stayed";
  }
}

const char* WhyName(TEntryOutcome Outcome) {
  switch (Outcome) {
    case TEntryOutcome::InUse: return "in_use";
    case TEntryOutcome::Changed: return "changed";
    case TEntryOutcome::Refused: return "refused";
    case TEntryOutcome::NotEmpty: return "not_empty";
    case TEntryOutcome::OtherNames: return "other_names";
    default: return "";
  }
}

const char* WhyWords(TEntryOutcome Outcome) {
  switch (Outcome) {
    case TEntryOutcome::InUse: return "in use";
    case TEntryOutcome::Changed: return "changed since the preview";
    case TEntryOutcome::NotEmpty: return "not empty";
    case TEntryOutcome::OtherNames: return "it has other names";
    default: return "refused";
  }
}

// ---- list

int List(TRun& Run) {
  const TOption Option = LoadedOptions();
  std::uint64_t Count = 0;
  for (const TItem& Item : Catalogue()) {
    ++Count;
    const TPolicy Policy = ItemPolicy(Item.Id);
    const bool Chosen = ChosenForRun(Item, Option), Offered = ItemOffered(Item);
    TJsonLine Json("item");
    Json.Text("id", Item.Id).Text("label", Item.Label).Text("group", GroupName(Item.Group)).Bool("chosen", Chosen);
    Json.Bool("offered", Offered).Bool("admin", Item.Admin);
    if (Policy != TPolicy::NotSet) Json.Text("policy", PolicyName(Policy));
    Run.Emit(Json);
    std::string Text = Item.Id;
    Text.resize(std::max<std::size_t>(Text.size() + 2, 28), ' ');
    Text += Item.Label;
    std::string Flags;
    auto Flag = [&](const char* Word) { Flags += (Flags.empty() ? " (" : ", ") + std::string(Word); };
    if (Chosen) Flag("chosen");
    if (Item.Admin && !Elevated()) Flag("needs an administrator");
    else if (!Offered) Flag("not installed");
    if (Policy == TPolicy::ForcedOn) Flag("forced on by policy");
    if (Policy == TPolicy::ForcedOff) Flag("forced off by policy");
    Run.Say(Text + Flags + (Flags.empty() ? "" : ")"));
  }
  Run.Emit(TJsonLine("summary").Text("command", "list").Number("items", Count).Number("exit", ExitDone));
  return ExitDone;
}

// ---- choosing the items

// The items to run, in the Shred run's order (the early ones first); an exit
// code other than ExitDone when the ids cannot be run.
int ChooseItems(TRun& Run, const TOption& Option, std::vector<const TItem*>& Items) {
  const std::span<const TItem> All = Catalogue();
  std::vector<bool> Take(All.size());
  if (Run.Line.Items.empty()) {
    for (std::size_t At = 0; At < All.size(); ++At) Take[At] = ChosenForRun(All[At], Option);
  } else {
    std::vector<std::string_view> Ids;
    for (const TItem& Item : All) Ids.push_back(Item.Id);
    std::string Unknown;
    const std::vector<std::string_view> Matched = MatchItems(Run.Line.Items, Ids, Unknown);
    if (!Unknown.empty()) return Run.Fail(ExitUsage, "Unknown item: " + Unknown + " (vellumix list shows the ids).");
    for (std::size_t At = 0; At < All.size(); ++At) {
      const TItem& Item = All[At];
      if (std::find(Matched.begin(), Matched.end(), Item.Id) == Matched.end()) continue;
      // Named exactly, an item that cannot run is an error; taken by a
      // prefix, it is left out with a word.
      const bool Named = std::find(Run.Line.Items.begin(), Run.Line.Items.end(), Item.Id) != Run.Line.Items.end();
      std::string Why;
      int Code = ExitDone;
      if (ItemPolicy(Item.Id) == TPolicy::ForcedOff) {
        Why = std::string(Item.Id) + " is turned off by the administrator's policy.";
        Code = ExitPolicy;
      } else if (Item.Admin && !Elevated()) {
        Why = std::string(Item.Id) + " needs an administrator: run this from an elevated prompt.";
        Code = ExitElevation;
      }
      if (Code != ExitDone && Named) return Run.Fail(Code, Why);
      if (Code != ExitDone) {
        Run.Say("Left out: " + Why);
        Run.Emit(TJsonLine("note").Text("id", Item.Id).Text("text", "Left out: " + Why));
        continue;
      }
      Take[At] = true;
    }
  }
  for (bool Early : {true, false})
    for (std::size_t At = 0; At < All.size(); ++At)
      if (Take[At] && All[At].Early == Early) Items.push_back(&All[At]);
  return ExitDone;
}

// ---- preview and clean

// Writes one entry: as found (Outcomes null), or with what the clean did.
// Path: a file's or folder's path as found on disk, which JSON gives exactly
// (Where, in UTF-8, can only approximate an unpaired surrogate); empty for
// the other entries.
void WriteEntry(TRun& Run, const TItem& Item, const char* Kind, const std::string& Where, const char* Field,
                std::uint64_t Bytes, const TEntryOutcome* Outcome, bool Own, std::uint64_t Rows = 0,
                std::wstring_view Path = {}) {
  TJsonLine Json("entry");
  Json.Text("id", Item.Id).Text("kind", Kind);
  if (Path.empty()) Json.Text(Field, Where);
  else Json.Text(Field, Path);
  Json.Number("bytes", Bytes);
  if (Rows) Json.Number("rows", Rows);
  if (Outcome) {
    Json.Text("result", ResultName(*Outcome, Own));
    if (Stays(*Outcome)) Json.Text("why", WhyName(*Outcome));
  }
  Run.Emit(Json);
  // In text, a preview lists everything; a clean only what stayed.
  if (!Outcome)
    Run.Say("  " + Where + (Bytes ? "  (" + SizeText(Bytes) + ")" : ""));
  else if (Stays(*Outcome))
    Run.Say("  Stayed (" + std::string(WhyWords(*Outcome)) + "): " + Where);
}

void WriteEntries(TRun& Run, const TItemPlan& Plan, const TCleanReport* Report) {
  const TItem& Item = *Plan.Item;
  static const TEntryOutcome NotTried = TEntryOutcome::NotTried;
  for (std::size_t T = 0; T < Plan.Trees.size(); ++T) {
    const TTreePlan& Tree = Plan.Trees[T];
    for (std::size_t At = 0; At < Tree.Entries.size(); ++At) {
      const TTreePlan::TEntry& Entry = Tree.Entries[At];
      const bool Folder = Entry.IsFolder();
      const TEntryOutcome* Outcome =
          Report && T < Report->Trees.size() && At < Report->Trees[T].size() ? &Report->Trees[T][At] : nullptr;
      // A tree the item's own clean took is named too; its lines tell the rest.
      const bool Own = Report && !Outcome;
      if (Own) Outcome = &NotTried;
      const std::wstring Path = PlainPath(Tree.PathOf(Entry)) + (Folder ? L"\\" : L"");
      WriteEntry(Run, Item, Folder ? "folder" : "file", Narrow(Path), "path", Folder ? 0 : Entry.Size, Outcome, Own, 0,
                 Path);
    }
  }
  for (std::size_t At = 0; At < Plan.Entries.size(); ++At) {
    const TPlanEntry& Entry = Plan.Entries[At];
    const TEntryOutcome* Outcome =
        !Report ? nullptr : At < Report->Entries.size() ? &Report->Entries[At] : &NotTried;
    // Operations and rows belong to the item: its clean says nothing per entry.
    const bool Own = Entry.Kind == TEntryKind::Operation || Entry.Kind == TEntryKind::Rows;
    WriteEntry(Run, Item, KindName(Entry.Kind), Entry.Name, "name", Entry.Size, Outcome, Own,
               Entry.Kind == TEntryKind::Rows ? Entry.Rows : 0);
  }
}

// The item's heading: its label and id, what its plan holds.
void WriteItem(TRun& Run, const TItemPlan& Plan) {
  const TItem& Item = *Plan.Item;
  Run.Emit(TJsonLine("item")
               .Text("id", Item.Id)
               .Text("label", Item.Label)
               .Number("entries", Plan.Count())
               .Number("files", Plan.Files())
               .Number("bytes", Plan.Bytes()));
  Run.Say(std::string(Item.Label) + " (" + Item.Id + "): " + GroupedCount(Plan.Count()) + " entries, " +
          SizeText(Plan.Bytes()));
}

void WriteLine(TRun& Run, const TItem& Item, const char* Event, const std::string& Text) {
  Run.Emit(TJsonLine(Event).Text("id", Item.Id).Text("text", Text));
  Run.Say("  " + Text);
}

// The log line of an operation without its trailing blanks.
std::string Trimmed(std::string Line) {
  while (!Line.empty() && Line.back() == ' ') Line.pop_back();
  return Line;
}

// The command line's side of a clean: operations on this thread with a
// throwaway log, and each item's result written as it ends.
class TCliHost : public TCleanHost {
public:
  TCliHost(TRun& Run, TAction& Action) : FRun(Run), FAction(Action) {}
  TTally Total;
  bool Stayed = false;

  TEntryOutcome Operate(const TItem& Item, TTally& Tally, std::vector<std::string>& Lines) override {
    FAction.Tally = {};
    const std::size_t Before = FAction.Messages.size();
    // The log keeps its newest line first; taken however the operation ends.
    struct TTake {
      TAction& Action;
      std::size_t Before;
      TTally& Tally;
      std::vector<std::string>& Lines;
      ~TTake() {
        Tally += Action.Tally;
        for (std::size_t N = Action.Messages.size() - Before; N-- > 0;) Lines.push_back(Trimmed(Action.Messages[N]));
      }
    } Take{FAction, Before, Tally, Lines};
    (FAction.*Item.Clear)(true);
    // An operation that failed says so in its line and counts as refused.
    return FAction.Tally.Refused ? TEntryOutcome::Refused : TEntryOutcome::Removed;
  }

  void ItemDone(const TItemPlan& Plan, const TItemOutcome& Outcome) override {
    const TItem& Item = *Plan.Item;
    const TTally& Tally = Outcome.Tally;
    FRun.Say(std::string(Item.Label) + " (" + Item.Id + "): " + SummaryLine(Tally));
    for (const std::string& Line : Outcome.Lines) WriteLine(FRun, Item, "log", Line);
    WriteEntries(FRun, Plan, &Outcome.Report);
    FRun.Emit(TJsonLine("item")
                  .Text("id", Item.Id)
                  .Text("label", Item.Label)
                  .Number("files", Tally.Files)
                  .Number("bytes", Tally.Bytes)
                  .Number("stayed", Tally.Stayed()));
    Total += Tally;
    Stayed = Stayed || Tally.Stayed() > 0;
    for (const auto& Tree : Outcome.Report.Trees)
      for (TEntryOutcome Result : Tree) Stayed = Stayed || (Stays(Result) && Result != TEntryOutcome::NotEmpty);
    for (TEntryOutcome Result : Outcome.Report.Entries) Stayed = Stayed || Stays(Result);
  }

private:
  TRun& FRun;
  TAction& FAction;
};

// COM for this thread, apartment-threaded: the shell's and the history
// store's functions want it.
struct TComApartment {
  HRESULT Result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ~TComApartment() {
    if (SUCCEEDED(Result)) CoUninitialize();
  }
};

int PreviewOrClean(TRun& Run) {
  const bool Clean = Run.Line.Command == TCliCommand::Clean;
  const TOption Option = LoadedOptions();
  std::vector<const TItem*> Items;
  if (const int Code = ChooseItems(Run, Option, Items); Code != ExitDone) return Code;
  TCleanLock Lock;
  if (Clean && !Lock.TryAcquire())
    return Run.Fail(ExitBusy, "Another clean is running (in the window or another command): try again when it has ended.");
  TComApartment Com;
  TAction Action;  // before COM ends: it may hold the history store
  std::vector<TItemPlan> Plans(Items.size());
  for (std::size_t At = 0; At < Items.size(); ++At) Plans[At].Item = Items[At];
  TProgress Progress;
  TPreviewContext Look{Progress, Option.KeepTempFiles};
  TCliHost Host(Run, Action);
  if (Clean) CleanItems(Plans, true, Look, Host);
  std::uint64_t Entries = 0, Files = 0, Bytes = 0;
  MarkCovered(Plans);
  for (TItemPlan& Plan : Plans) {
    if (Clean) break;
    const TItem* Item = Plan.Item;
    if (Plan.CoveredBy) {
      WriteItem(Run, Plan);
      WriteLine(Run, *Item, "note", std::string(Item->Label) + ": cleared with " + Plan.CoveredBy->Label + ".");
      continue;
    }
    try {
      Item->Preview(Look, Plan);
    } catch (const std::exception& E) {
      Plan.Refusals.push_back(std::string("Could not look at ") + Item->Label + ": " + E.what());
    }
    Entries += Plan.Count();
    Files += Plan.Files();
    Bytes += Plan.Bytes();
    WriteItem(Run, Plan);
    for (const auto* Lines : {&Plan.Held, &Plan.Notes})
      for (const std::string& Note : *Lines) WriteLine(Run, *Item, "note", Note);
    for (const std::string& Refusal : Plan.Refusals) WriteLine(Run, *Item, "refused", Refusal);
    WriteEntries(Run, Plan, nullptr);
  }
  const TTally& Total = Host.Total;
  const bool Stayed = Host.Stayed;
  if (!Clean) {
    Run.Say("In all: " + GroupedCount(Entries) + " entries (" + GroupedCount(Files) + " files), " + SizeText(Bytes) +
            ", in " + GroupedCount(Items.size()) + " items.");
    Run.Emit(TJsonLine("summary")
                 .Text("command", "preview")
                 .Number("items", Items.size())
                 .Number("entries", Entries)
                 .Number("files", Files)
                 .Number("bytes", Bytes)
                 .Number("exit", ExitDone));
    return ExitDone;
  }
  const int Exit = Stayed ? ExitStayed : ExitDone;
  Run.Say(Items.empty() ? "Nothing is chosen: choose items in the window's options, or name them." : SummaryLine(Total));
  Run.Emit(TJsonLine("summary")
               .Text("command", "clean")
               .Number("items", Items.size())
               .Number("files", Total.Files)
               .Number("folders", Total.Folders)
               .Number("registry_values", Total.RegistryValues)
               .Number("cache_entries", Total.CacheEntries)
               .Number("rows", Total.Rows)
               .Number("bytes", Total.Bytes)
               .Number("stayed", Total.Stayed())
               .Number("in_use", Total.InUse)
               .Number("changed", Total.Changed)
               .Number("refused", Total.Refused)
               .Number("exit", Exit));
  return Exit;
}

// The user's consent to sweep a folder outside the profile's data, or its end.
int AllowOrForget(TRun& Run) {
  const bool Allow = Run.Line.Command == TCliCommand::AllowFolder;
  const std::string& Folder = Run.Line.Folder;
  if (Allow) {
    if (const std::string Why = AllowFolder(Folder); !Why.empty())
      return Run.Fail(ExitUsage, "Cannot allow \"" + Folder + "\": " + Why + ".");
  } else if (!ForgetFolder(Folder)) {
    return Run.Fail(ExitUsage, "\"" + Folder + "\" was not allowed.");
  }
  const std::string Text = Allow ? "Sweeps may now reach \"" + Folder + "\", while it is this same folder."
                                 : "Sweeps no longer reach \"" + Folder + "\".";
  Run.Say(Text);
  Run.Emit(TJsonLine("summary").Text("command", CommandName(Run.Line.Command)).Text("text", Text).Number("exit", ExitDone));
  return ExitDone;
}

int Dispatch(TRun& Run) {
  switch (Run.Line.Command) {
    case TCliCommand::Help: Run.Console.Write(UsageText()); return ExitDone;
    case TCliCommand::Version: Run.Console.Write("Vellumix " VELLUMIX_VERSION_FULL "\n"); return ExitDone;
    case TCliCommand::List: return List(Run);
    case TCliCommand::Preview:
    case TCliCommand::Clean: return PreviewOrClean(Run);
    case TCliCommand::AllowFolder:
    case TCliCommand::ForgetFolder: return AllowOrForget(Run);
    case TCliCommand::Window: break;
  }
  return ExitUsage;
}

}  // namespace

std::vector<std::string> ProgramArguments() {
  int Count = 0;
  wchar_t** Wide = CommandLineToArgvW(GetCommandLineW(), &Count);
  std::vector<std::string> Args;
  for (int At = 1; Wide && At < Count; ++At) Args.push_back(Narrow(Wide[At]));
  LocalFree(Wide);
  return Args;
}

int RunCommandLine(const TCommandLine& Line) {
  TConsole Console;
  TRun Runner{Line, Console};
  std::string Error;
  if (!Console.Open(Line.Out, Error)) return Runner.Fail(ExitUsage, Error);
  if (!Line.Error.empty()) {
    const int Code = Runner.Fail(ExitUsage, Line.Error);
    Console.Commit(Error);
    return Code;
  }
  int Code;
  try {
    Code = Dispatch(Runner);
  } catch (const std::exception& E) {
    Code = Runner.Fail(ExitStayed, std::string("Stopped: ") + E.what());
  }
  if (!Console.Commit(Error)) {
    // The output asked for is not there: as for an --out refused at the
    // start. A refusal (policy, busy, elevation) keeps its own code.
    Console.WriteError(Error + "\n");
    return Code == ExitDone || Code == ExitStayed ? ExitUsage : Code;
  }
  return Code;
}
