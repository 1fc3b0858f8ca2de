#pragma once
// The program's command line for scripts, parsed (no Windows calls here):
//
//   vellumix /? | --help | --version
//   vellumix list     [--json] [--out FILE]
//   vellumix preview  [ID...] [--json] [--out FILE]
//   vellumix clean    [ID...] [--json] [--out FILE]
//   vellumix allow-folder FOLDER | forget-folder FOLDER
//
// Anything else starts the window as before: no arguments, "ie", "run", or a
// first argument that is neither a command nor an option.

#include <string>
#include <string_view>
#include <vector>

enum class TCliCommand { Window, Help, Version, List, Preview, Clean, AllowFolder, ForgetFolder };

struct TCommandLine {
  TCliCommand Command = TCliCommand::Window;
  // Item ids as given: "system.temp", or a prefix with ".*" ("ie.*").
  std::vector<std::string> Items;
  bool Json = false;
  std::string Out;  // --out FILE; empty: the inherited output or the console
  std::string Folder;  // allow-folder, forget-folder: the folder named
  // A usage error, as a sentence; the command is still set when it was known.
  std::string Error;

  // Whether the window starts, as it always did for these arguments.
  bool ForWindow() const noexcept { return Command == TCliCommand::Window && Error.empty(); }
};

// What the process returns; all below 256, as Wine passes only the low byte.
inline constexpr int ExitDone = 0;
inline constexpr int ExitStayed = 1;     // done, but some entries stayed
inline constexpr int ExitUsage = 2;
inline constexpr int ExitPolicy = 3;     // an item asked for is turned off by policy
inline constexpr int ExitBusy = 5;       // another clean is running
inline constexpr int ExitElevation = 6;  // an item asked for needs an administrator

// Args: the arguments after the program's name, in UTF-8.
TCommandLine ParseCommandLine(const std::vector<std::string>& Args);

// The ids (in their order) that the patterns choose: an exact id, or every id
// that begins with the part before ".*". Unknown gets the first pattern that
// chooses nothing (and the result is then empty).
std::vector<std::string_view> MatchItems(const std::vector<std::string>& Patterns,
                                         const std::vector<std::string_view>& Ids, std::string& Unknown);

// The name of a command as the summary gives it: "list", "preview", "clean".
const char* CommandName(TCliCommand Command);

// The help text, lines ending in "\n".
std::string UsageText();
// The one line that follows a usage error.
inline constexpr char UsageHint[] = "Usage: vellumix list|preview|clean [ID...] [--json] [--out FILE]; vellumix /? for help.";
