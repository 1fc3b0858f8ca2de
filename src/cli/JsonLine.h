#pragma once
// One line of the command line's JSON output (JSON Lines): an object that
// begins {"v":1,"ev":<event>, then the fields in the order added. Text is
// UTF-8 and stays so; only quotes, backslashes and control characters are
// escaped.

#include <cstdint>
#include <string>
#include <string_view>

class TJsonLine {
public:
  explicit TJsonLine(std::string_view Event);
  TJsonLine& Text(std::string_view Name, std::string_view Value);
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
