// The command line's JSON text: every line well-formed UTF-8 whatever the
// text came from, and what it says read back as the program meant it.
#include "cli/JsonLine.h"

#include "support/Utf8.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <variant>

namespace {

// The value of the one field of a line {"v":1,"ev":"entry","path":...} as a
// JSON reader gives it: UTF-16, escapes as their code units (an unpaired
// surrogate included). Nothing when it is no JSON string.
std::optional<std::wstring> ReadBack(std::string_view Line) {
  constexpr std::string_view Head = "{\"v\":1,\"ev\":\"entry\",\"path\":\"", Tail = "\"}\n";
  if (!Line.starts_with(Head) || !Line.ends_with(Tail)) return std::nullopt;
  const std::string_view Text = Line.substr(Head.size(), Line.size() - Head.size() - Tail.size());
  std::wstring Value;
  std::string Run;  // raw UTF-8 since the last escape
  auto Flush = [&] {
    const int Length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Run.data(), static_cast<int>(Run.size()),
                                           nullptr, 0);
    std::wstring Wide(Length, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Run.data(), static_cast<int>(Run.size()), Wide.data(), Length);
    Value += Wide;
    Run.clear();
    return Length > 0 || Wide.empty();
  };
  for (std::size_t At = 0; At < Text.size(); ++At) {
    const char C = Text[At];
    if (C == '"' || static_cast<unsigned char>(C) < 0x20) return std::nullopt;  // unescaped
    if (C != '\\') {
      Run += C;
      continue;
    }
    if (!Flush() || ++At == Text.size()) return std::nullopt;
    switch (Text[At]) {
      case '"': Value += L'"'; break;
      case '\\': Value += L'\\'; break;
      case 'n': Value += L'\n'; break;
      case 'r': Value += L'\r'; break;
      case 't': Value += L'\t'; break;
      case 'u':
        if (Text.size() - At < 5) return std::nullopt;
        Value += static_cast<wchar_t>(std::stoul(std::string(Text.substr(At + 1, 4)), nullptr, 16));
        At += 4;
        break;
      default: return std::nullopt;
    }
  }
  if (!Flush()) return std::nullopt;
  return Value;
}

struct TCase {
  const char* What;
  std::variant<std::string, std::wstring> Value;
  std::string Json;    // the string as written, quotes included
  std::wstring Reads;  // what a reader gets; empty: the wide value itself
};

TEST(JsonLineTest, EveryLineIsUtf8AndReadsBackAsMeant) {
  using namespace std::string_literals;
  const TCase Cases[] = {
      {"control characters", "a\x01\x1f\x7f\n\r\t\"\\b"s, R"("a\u0001\u001f\u007f\n\r\t\"\\b")",
       L"a\x01\x1f\x7f\n\r\t\"\\b"},
      {"line separators and a C1 control", "\xE2\x80\xA8|\xE2\x80\xA9|\xC2\x9B"s, R"("\u2028|\u2029|\u009b")",
       L"\x2028|\x2029|\x9b"},
      {"UTF-8 passes as it is", "\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"s,
       "\"\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\"", L"\xe9\x20ac\xffff\xd83d\xde00\xdbff\xdfff"},
      {"a Latin-1 byte", "Caf\xE9"s, "\"Caf\xC3\xA9\"", L"Caf\xe9"},
      {"Windows-1252's own bytes; an undefined one is a C1 control", "\x80\x96\x9F\x81"s,
       "\"\xE2\x82\xAC\xE2\x80\x93\xC5\xB8\\u0081\"", L"\x20ac\x2013\x178\x81"},
      {"an overlong form", "\xC0\xAF\xE0\x80\xAF"s, "\"\xC3\x80\xC2\xAF\xC3\xA0\xE2\x82\xAC\xC2\xAF\"",
       L"\xc0\xaf\xe0\x20ac\xaf"},
      {"a surrogate encoded in UTF-8", "\xED\xA0\x80"s, "\"\xC3\xAD\xC2\xA0\xE2\x82\xAC\"", L"\xed\xa0\x20ac"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80\xFF"s, "\"\xC3\xB4\\u0090\xE2\x82\xAC\xE2\x82\xAC\xC3\xBF\"",
       L"\xf4\x90\x20ac\x20ac\xff"},
      {"a sequence cut short, then one that is whole", "\xE2\x82x\xE2\x82\xAC"s,
       "\"\xC3\xA2\xE2\x80\x9Ax\xE2\x82\xAC\"", L"\xe2\x201ax\x20ac"},
      {"a sequence cut short by the end", "a\xF0\x9F\x98"s, "\"a\xC3\xB0\xC5\xB8\xCB\x9C\"", L"a\xf0\x178\x2dc"},
      {"a lone high surrogate", L"a\xD800z"s, R"("a\ud800z")", L""},
      {"a lone low surrogate", L"\xDC80z"s, R"("\udc80z")", L""},
      {"a high surrogate at the end", L"x\xDBFF"s, R"("x\udbff")", L""},
      {"a pair the wrong way round", L"\xDE00\xD83D"s, R"("\ude00\ud83d")", L""},
      {"a valid pair", L"\xD83D\xDE00."s, "\"\xF0\x9F\x98\x80.\"", L""},
      {"wide controls and separators", L"C:\\a\"\x01\x7f\x2029\xe9"s, "\"C:\\\\a\\\"\\u0001\\u007f\\u2029\xC3\xA9\"",
       L""},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.What);
    TJsonLine Line("entry");
    std::visit([&](const auto& Value) { Line.Text("path", Value); }, Case.Value);
    const std::string Text = Line.Line();
    EXPECT_TRUE(StrictUtf8(Text)) << Text;
    EXPECT_EQ(Text, "{\"v\":1,\"ev\":\"entry\",\"path\":" + Case.Json + "}\n");
    const std::wstring Meant = Case.Reads.empty() ? std::get<std::wstring>(Case.Value) : Case.Reads;
    EXPECT_EQ(ReadBack(Text), Meant);
  }
}

// Two names that UTF-8 alone would both show as U+FFFD stay apart.
TEST(JsonLineTest, NamesThatDifferOnlyInAnUnpairedSurrogateStayApart) {
  EXPECT_NE(JsonString(std::wstring_view(L"a\xDC80")), JsonString(std::wstring_view(L"a\xDC81")));
  EXPECT_NE(JsonString(std::wstring_view(L"a\xDC80")), JsonString(std::wstring_view(L"a\xFFFD")));
}

}  // namespace
