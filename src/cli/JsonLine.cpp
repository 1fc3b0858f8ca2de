#include "cli/JsonLine.h"

#include <cstdio>

std::string JsonString(std::string_view Text) {
  std::string Quoted = "\"";
  for (const char C : Text) {
    switch (C) {
      case '"': Quoted += "\\\""; break;
      case '\\': Quoted += "\\\\"; break;
      case '\n': Quoted += "\\n"; break;
      case '\r': Quoted += "\\r"; break;
      case '\t': Quoted += "\\t"; break;
      default:
        if (static_cast<unsigned char>(C) < 0x20) {
          char Escape[8];
          std::snprintf(Escape, sizeof Escape, "\\u%04x", static_cast<unsigned>(C));
          Quoted += Escape;
        } else {
          Quoted += C;
        }
    }
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
