#pragma once
// One line of the command line's JSON output (JSON Lines): an object that
// begins {"v":1,"ev":<event>, then the fields in the order added.
//
// Every line is valid UTF-8, whatever the text came from: names read from
// files other programs wrote (profiles.ini, Local State) need not be UTF-8,
// and file names are UTF-16 that may hold an unpaired surrogate. So:
//   - UTF-8 text: well-formed sequences pass as they are; every other byte
//     (overlong forms, encoded surrogates, truncated sequences, beyond
//     U+10FFFF) is read as Windows-1252, the code page such files most often
//     come in: "Caf\xE9" shows as "Café";
//   - UTF-16 text: pairs become UTF-8; an unpaired surrogate becomes its
//     escape ("\udc80"), so two names on disk never print the same;
//   - quotes, backslashes and control characters (C0, DEL, C1) are escaped,
//     and so are U+2028 and U+2029, which JavaScript reads as line ends.

#include <cstdint>
#include <string>
#include <string_view>

class TJsonLine {
public:
  explicit TJsonLine(std::string_view Event);
  TJsonLine& Text(std::string_view Name, std::string_view Value);
  // A file name or path as the file functions give it.
  TJsonLine& Text(std::string_view Name, std::wstring_view Value);
  TJsonLine& Number(std::string_view Name, std::uint64_t Value);
  TJsonLine& Bool(std::string_view Name, bool Value);
  // The object, closed, with its line end.
  std::string Line() const { return FText + "}\n"; }

private:
  void Name(std::string_view Name);
  std::string FText;
};

// Text as a JSON string, quotes included.
std::string JsonString(std::string_view Text);
std::string JsonString(std::wstring_view Text);
