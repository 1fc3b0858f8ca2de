// The command line's parsing, its choice of items by id, and JSON text.
#include "cli/CommandLine.h"
#include "cli/JsonLine.h"

#include <gtest/gtest.h>

namespace {

struct TParseCase {
  std::vector<std::string> Args;
  TCliCommand Command;
  bool Error;
  std::vector<std::string> Items = {};
  bool Json = false;
  std::string Out = {};
};

TEST(CommandLineTest, ParsesCommandsOptionsAndErrors) {
  using enum TCliCommand;
  const TParseCase Cases[] = {
      // The window's own start arguments keep their meaning.
      {{}, Window, false},
      {{"ie"}, Window, false},
      {{"run"}, Window, false},
      {{"somethingelse"}, Window, false},
      {{"/?"}, Help, false},
      {{"-?"}, Help, false},
      {{"--help"}, Help, false},
      {{"clean", "system.temp", "/?"}, Help, false},  // explains, never cleans
      {{"help"}, Help, false},
      {{"--version"}, Version, false},
      {{"--version", "list"}, Version, true},
      {{"list"}, List, false},
      {{"list", "--json"}, List, false, {}, true},
      {{"list", "ie.cache"}, List, true},
      {{"preview"}, Preview, false},
      {{"preview", "ie.cache", "chrome.*", "--json", "--out", "C:\\o u t.jsonl"}, Preview, false,
       {"ie.cache", "chrome.*"}, true, "C:\\o u t.jsonl"},
      {{"clean", "--out=report.txt", "system.temp"}, Clean, false, {"system.temp"}, false, "report.txt"},
      {{"clean", "--out"}, Clean, true},
      {{"clean", "--out="}, Clean, true},
      {{"clean", "--out", "a", "--out", "b"}, Clean, true},
      {{"clean", "--jsn"}, Clean, true},
      {{"clean", "/x"}, Clean, true},
      {{"clean", "*"}, Clean, true},
      {{"clean", ".*"}, Clean, true},
      {{"clean", "ie*.cache"}, Clean, true},
      {{"clean", "ie.*.x"}, Clean, true},
      {{"--json"}, Window, true},  // options without a command
      {{"--json", "list"}, Window, true},
      {{"allow-folder", "R:\\Temp"}, TCliCommand::AllowFolder, false},
      {{"allow-folder"}, TCliCommand::AllowFolder, true},
      {{"allow-folder", "R:\\Temp", "S:\\Temp"}, TCliCommand::AllowFolder, true},
      {{"forget-folder", "R:\\Temp", "--json"}, TCliCommand::ForgetFolder, false, {}, true},
  };
  for (const TParseCase& Case : Cases) {
    std::string Shown;
    for (const std::string& Arg : Case.Args) Shown += "[" + Arg + "]";
    SCOPED_TRACE(Shown);
    const TCommandLine Line = ParseCommandLine(Case.Args);
    EXPECT_EQ(Line.Command, Case.Command);
    EXPECT_EQ(!Line.Error.empty(), Case.Error) << Line.Error;
    EXPECT_EQ(Line.ForWindow(), Case.Command == Window && !Case.Error);
    if (Case.Error) continue;
    EXPECT_EQ(Line.Items, Case.Items);
    EXPECT_EQ(Line.Json, Case.Json);
    EXPECT_EQ(Line.Out, Case.Out);
    if (Case.Command == TCliCommand::AllowFolder || Case.Command == TCliCommand::ForgetFolder) {
      EXPECT_EQ(Line.Folder, "R:\\Temp");
    }
  }
}

TEST(CommandLineTest, MatchesIdsExactlyOrByPrefixInTheCataloguesOrder) {
  const std::vector<std::string_view> Ids = {"ie.cache", "ie.history", "chrome.cache", "chromex.cache", "system.temp"};
  struct TCase {
    std::vector<std::string> Patterns;
    std::vector<std::string_view> Matched;
    std::string Unknown;
  };
  const TCase Cases[] = {
      {{"ie.*"}, {"ie.cache", "ie.history"}, ""},
      {{"chrome.*"}, {"chrome.cache"}, ""},  // not chromex
      {{"system.temp", "ie.cache", "ie.*"}, {"ie.cache", "ie.history", "system.temp"}, ""},
      {{"system"}, {}, "system"},  // an id is whole
      {{"ie.cache", "edge.*"}, {}, "edge.*"},
      {{"IE.cache"}, {}, "IE.cache"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Patterns.front());
    std::string Unknown;
    EXPECT_EQ(MatchItems(Case.Patterns, Ids, Unknown), Case.Matched);
    EXPECT_EQ(Unknown, Case.Unknown);
  }
}

TEST(CommandLineTest, JsonTextIsEscapedAndKeepsUtf8) {
  EXPECT_EQ(JsonString("C:\\Temp\\\"a\"\n\t\x01 \xC3\xA9\xE2\x82\xAC"),
            "\"C:\\\\Temp\\\\\\\"a\\\"\\n\\t\\u0001 \xC3\xA9\xE2\x82\xAC\"");
  EXPECT_EQ(TJsonLine("entry").Text("id", "system.temp").Number("bytes", 18446744073709551615ull).Bool("x", false).Line(),
            "{\"v\":1,\"ev\":\"entry\",\"id\":\"system.temp\",\"bytes\":18446744073709551615,\"x\":false}\n");
}

}  // namespace
