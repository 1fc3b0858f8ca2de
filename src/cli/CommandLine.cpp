#include "cli/CommandLine.h"

#include <algorithm>

namespace {

bool IsHelp(std::string_view Arg) { return Arg == "/?" || Arg == "-?" || Arg == "-h" || Arg == "--help"; }

bool IsOption(std::string_view Arg) { return !Arg.empty() && (Arg.front() == '-' || Arg.front() == '/'); }

// An id, or a prefix of one followed by ".*"; no other wildcard.
bool ValidPattern(std::string_view Arg) {
  if (Arg.ends_with(".*")) Arg.remove_suffix(2);
  return !Arg.empty() && Arg.find('*') == std::string_view::npos;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& Args) {
  TCommandLine Line;
  if (Args.empty()) return Line;
  const std::string_view First = Args.front();
  if (First == "list") Line.Command = TCliCommand::List;
  else if (First == "preview") Line.Command = TCliCommand::Preview;
  else if (First == "clean") Line.Command = TCliCommand::Clean;
  else if (First == "help") Line.Command = TCliCommand::Help;
  else if (First == "allow-folder") Line.Command = TCliCommand::AllowFolder;
  else if (First == "forget-folder") Line.Command = TCliCommand::ForgetFolder;
  else if (!IsOption(First)) return Line;  // the window's own: "ie", "run", or ignored as ever
  // Help wins wherever it stands: "vellumix clean /?" explains, it does not clean.
  if (std::any_of(Args.begin(), Args.end(), [](const std::string& Arg) { return IsHelp(Arg); })) {
    Line.Command = TCliCommand::Help;
    return Line;
  }
  if (First == "--version") {
    Line.Command = TCliCommand::Version;
    if (Args.size() > 1) Line.Error = "--version takes nothing more.";
    return Line;
  }
  std::size_t At = 1;
  if (IsOption(First)) {
    // Options before a command: still read, so that --json shapes the error.
    At = 0;
    Line.Error = "No command: give list, preview or clean first.";
  }
  bool OutGiven = false;
  for (; At < Args.size(); ++At) {
    const std::string& Arg = Args[At];
    std::string Error;
    if (Arg == "--json") {
      Line.Json = true;
    } else if (Arg == "--out" || Arg.starts_with("--out=")) {
      std::string File;
      if (Arg == "--out") {
        if (At + 1 < Args.size()) File = Args[++At];
      } else {
        File = Arg.substr(6);
      }
      if (OutGiven) Error = "--out is given twice.";
      else if (File.empty()) Error = "--out needs a file name.";
      OutGiven = true;
      Line.Out = File;
    } else if (IsOption(Arg)) {
      Error = "Unknown option: " + Arg + ".";
    } else if (Line.Command == TCliCommand::AllowFolder || Line.Command == TCliCommand::ForgetFolder) {
      if (!Line.Folder.empty()) Error = "Name one folder only: " + Arg + ".";
      Line.Folder = Arg;
    } else if (Line.Command == TCliCommand::List || Line.Command == TCliCommand::Help) {
      Error = std::string(Line.Command == TCliCommand::List ? "list" : "help") + " takes no items: " + Arg + ".";
    } else if (!ValidPattern(Arg)) {
      Error = "Not an item id: " + Arg + " (an id, or a prefix with .* as in chrome.*).";
    } else {
      Line.Items.push_back(Arg);
    }
    if (Line.Error.empty()) Line.Error = std::move(Error);
  }
  if (Line.Error.empty() && Line.Folder.empty() &&
      (Line.Command == TCliCommand::AllowFolder || Line.Command == TCliCommand::ForgetFolder))
    Line.Error = std::string(CommandName(Line.Command)) + " needs a folder.";
  return Line;
}

std::vector<std::string_view> MatchItems(const std::vector<std::string>& Patterns,
                                         const std::vector<std::string_view>& Ids, std::string& Unknown) {
  std::vector<bool> Chosen(Ids.size());
  for (const std::string& Pattern : Patterns) {
    const bool Prefix = Pattern.ends_with(".*");
    // "chrome.*" takes "chrome.cache", never "chromex.cache".
    const std::string_view Stem = Prefix ? std::string_view(Pattern).substr(0, Pattern.size() - 1) : Pattern;
    bool Any = false;
    for (std::size_t At = 0; At < Ids.size(); ++At)
      if (Prefix ? Ids[At].starts_with(Stem) : Ids[At] == Stem) Chosen[At] = Any = true;
    if (!Any) {
      Unknown = Pattern;
      return {};
    }
  }
  std::vector<std::string_view> Matched;
  for (std::size_t At = 0; At < Ids.size(); ++At)
    if (Chosen[At]) Matched.push_back(Ids[At]);
  return Matched;
}

const char* CommandName(TCliCommand Command) {
  switch (Command) {
    case TCliCommand::List: return "list";
    case TCliCommand::Preview: return "preview";
    case TCliCommand::Clean: return "clean";
    case TCliCommand::Help: return "help";
    case TCliCommand::Version: return "version";
    case TCliCommand::AllowFolder: return "allow-folder";
    case TCliCommand::ForgetFolder: return "forget-folder";
    case TCliCommand::Window: break;
  }
  return "";
}

std::string UsageText() {
  return "Vellumix: removes the traces of what you did on this computer.\n"
         "\n"
         "  vellumix list     [--json] [--out FILE]\n"
         "      Every item the program can clean, with its id.\n"
         "  vellumix preview  [ID...] [--json] [--out FILE]\n"
         "      What a clean would remove, entry by entry; nothing is touched.\n"
         "  vellumix clean    [ID...] [--json] [--out FILE]\n"
         "      Removes it, and says what stayed and why.\n"
         "  vellumix allow-folder FOLDER\n"
         "      Lets sweeps reach a folder outside your profile's data (a temporary\n"
         "      folder on a RAM disk), for as long as it is the same folder.\n"
         "  vellumix forget-folder FOLDER\n"
         "      Takes that back.\n"
         "  vellumix /? | --help | --version\n"
         "\n"
         "Without IDs, preview and clean take the items the Shred button would take.\n"
         "An ID is an item's id (system.temp) or a prefix with .* (ie.*).\n"
         "--json   one JSON object per line (UTF-8), ending with a summary.\n"
         "--out    write to FILE (replaced whole) rather than the console.\n"
         "\n"
         "Exit codes: 0 done; 1 done, some entries stayed; 2 usage error;\n"
         "3 an item is turned off by policy; 5 another clean is running;\n"
         "6 an item needs an administrator.\n";
}
