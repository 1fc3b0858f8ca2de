#include "cli/JsonLine.h"

#include <cstdio>

namespace {

// Windows-1252 from 0x80 to 0x9F (above, it is Latin-1). The five bytes it
// leaves undefined keep their own value, as Windows' own conversion does:
// C1 controls, escaped below.
constexpr char16_t Cp1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t FromCp1252(unsigned char Byte) { return Byte >= 0x80 && Byte < 0xA0 ? Cp1252[Byte - 0x80] : Byte; }

// The length of the well-formed UTF-8 sequence that Text begins with, and its
// code point; 0 when it begins with none. Well-formed as Unicode defines it:
// the shortest form, no surrogates, nothing above U+10FFFF.
std::size_t DecodeUtf8(std::string_view Text, char32_t& Code) {
  const unsigned char Lead = static_cast<unsigned char>(Text[0]);
  std::size_t Length;
  unsigned char Low = 0x80, High = 0xBF;  // the range of the second byte
  if (Lead < 0x80) {
    Code = Lead;
    return 1;
  } else if (Lead >= 0xC2 && Lead <= 0xDF) {
    Length = 2;
    Code = Lead & 0x1F;
  } else if (Lead >= 0xE0 && Lead <= 0xEF) {
    Length = 3;
    Code = Lead & 0x0F;
    if (Lead == 0xE0) Low = 0xA0;   // overlong
    if (Lead == 0xED) High = 0x9F;  // surrogates
  } else if (Lead >= 0xF0 && Lead <= 0xF4) {
    Length = 4;
    Code = Lead & 0x07;
    if (Lead == 0xF0) Low = 0x90;   // overlong
    if (Lead == 0xF4) High = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (Text.size() < Length) return 0;
  for (std::size_t At = 1; At < Length; ++At) {
    const unsigned char Next = static_cast<unsigned char>(Text[At]);
    if (Next < (At == 1 ? Low : 0x80) || Next > (At == 1 ? High : 0xBF)) return 0;
    Code = Code << 6 | (Next & 0x3F);
  }
  return Length;
}

// One code point, escaped where JSON or its readers need it. A surrogate
// (unpaired: pairs arrive joined) can only be escaped.
void Append(std::string& Quoted, char32_t Code) {
  switch (Code) {
    case '"': Quoted += "\\\""; return;
    case '\\': Quoted += "\\\\"; return;
    case '\n': Quoted += "\\n"; return;
    case '\r': Quoted += "\\r"; return;
    case '\t': Quoted += "\\t"; return;
  }
  if (Code < 0x20 || (Code >= 0x7F && Code < 0xA0) || Code == 0x2028 || Code == 0x2029 ||
      (Code >= 0xD800 && Code < 0xE000)) {
    char Escape[8];
    std::snprintf(Escape, sizeof Escape, "\\u%04x", static_cast<unsigned>(Code));
    Quoted += Escape;
  } else if (Code < 0x80) {
    Quoted += static_cast<char>(Code);
  } else if (Code < 0x800) {
    Quoted += static_cast<char>(0xC0 | Code >> 6);
    Quoted += static_cast<char>(0x80 | (Code & 0x3F));
  } else if (Code < 0x10000) {
    Quoted += static_cast<char>(0xE0 | Code >> 12);
    Quoted += static_cast<char>(0x80 | (Code >> 6 & 0x3F));
    Quoted += static_cast<char>(0x80 | (Code & 0x3F));
  } else {
    Quoted += static_cast<char>(0xF0 | Code >> 18);
    Quoted += static_cast<char>(0x80 | (Code >> 12 & 0x3F));
    Quoted += static_cast<char>(0x80 | (Code >> 6 & 0x3F));
    Quoted += static_cast<char>(0x80 | (Code & 0x3F));
  }
}

}  // namespace

std::string JsonString(std::string_view Text) {
  std::string Quoted = "\"";
  while (!Text.empty()) {
    char32_t Code;
    std::size_t Length = DecodeUtf8(Text, Code);
    if (!Length) {
      // One byte that begins no well-formed sequence; what follows it gets its own look.
      Code = FromCp1252(static_cast<unsigned char>(Text[0]));
      Length = 1;
    }
    Append(Quoted, Code);
    Text.remove_prefix(Length);
  }
  return Quoted += '"';
}

std::string JsonString(std::wstring_view Text) {
  std::string Quoted = "\"";
  for (std::size_t At = 0; At < Text.size(); ++At) {
    char32_t Code = static_cast<char16_t>(Text[At]);
    if (Code >= 0xD800 && Code < 0xDC00 && At + 1 < Text.size()) {
      const char32_t Low = static_cast<char16_t>(Text[At + 1]);
      if (Low >= 0xDC00 && Low < 0xE000) {
        Code = 0x10000 + ((Code - 0xD800) << 10) + (Low - 0xDC00);
        ++At;
      }
    }
    Append(Quoted, Code);
  }
  return Quoted += '"';
}

TJsonLine::TJsonLine(std::string_view Event) : FText("{\"v\":1,\"ev\":" + JsonString(Event)) {}

void TJsonLine::Name(std::string_view Name) { FText.append(",").append(JsonString(Name)).append(":"); }

TJsonLine& TJsonLine::Text(std::string_view Name, std::string_view Value) {
  this->Name(Name);
  FText += JsonString(Value);
  return *this;
}

TJsonLine& TJsonLine::Text(std::string_view Name, std::wstring_view Value) {
  this->Name(Name);
  FText += JsonString(Value);
  return *this;
}

TJsonLine& TJsonLine::Number(std::string_view Name, std::uint64_t Value) {
  this->Name(Name);
  FText += std::to_string(Value);
  return *this;
}

TJsonLine& TJsonLine::Bool(std::string_view Name, bool Value) {
  this->Name(Name);
  FText += Value ? "true" : "false";
  return *this;
}
