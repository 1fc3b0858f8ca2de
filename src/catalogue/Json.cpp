#include "catalogue/Json.h"

namespace {

constexpr int MaxDepth = 200;

class TJsonReader {
public:
  explicit TJsonReader(std::string_view Text) : FText(Text) {}

  bool Document(TJsonValue& Value) {
    if (FText.substr(0, 3) == "\xEF\xBB\xBF") FAt = 3;
    if (!Read(Value, 0)) return false;
    Blanks();
    return FAt == FText.size();
  }

private:
  std::string_view FText;
  std::size_t FAt = 0;

  void Blanks() {
    while (FAt < FText.size() && (FText[FAt] == ' ' || FText[FAt] == '\t' || FText[FAt] == '\n' || FText[FAt] == '\r'))
      ++FAt;
  }
  bool Take(char C) {
    Blanks();
    if (FAt < FText.size() && FText[FAt] == C) {
      ++FAt;
      return true;
    }
    return false;
  }
  bool Word(std::string_view W) {
    if (FText.substr(FAt, W.size()) != W) return false;
    FAt += W.size();
    return true;
  }

  bool Read(TJsonValue& Value, int Depth) {
    if (Depth > MaxDepth) return false;
    Blanks();
    if (FAt >= FText.size()) return false;
    const char C = FText[FAt];
    using enum TJsonValue::TKind;
    if (C == '{') {
      Value.Kind = Object;
      ++FAt;
      if (Take('}')) return true;
      do {
        std::pair<std::string, TJsonValue> Member;
        Blanks();
        if (!ReadString(Member.first) || !Take(':') || !Read(Member.second, Depth + 1)) return false;
        Value.Members.push_back(std::move(Member));
      } while (Take(','));
      return Take('}');
    }
    if (C == '[') {
      Value.Kind = Array;
      ++FAt;
      if (Take(']')) return true;
      do {
        Value.Items.emplace_back();
        if (!Read(Value.Items.back(), Depth + 1)) return false;
      } while (Take(','));
      return Take(']');
    }
    if (C == '"') {
      Value.Kind = String;
      return ReadString(Value.Text);
    }
    for (std::string_view Literal : {"true", "false"})
      if (Word(Literal)) {
        Value.Kind = Boolean;
        Value.Text = Literal;
        return true;
      }
    if (Word("null")) return true;
    const std::size_t Start = FAt;
    while (FAt < FText.size() && std::string_view("+-0123456789.eE").find(FText[FAt]) != std::string_view::npos) ++FAt;
    if (FAt == Start) return false;
    Value.Kind = Number;
    Value.Text = FText.substr(Start, FAt - Start);
    return true;
  }

  bool Hex4(unsigned& Unit) {
    if (FAt + 4 > FText.size()) return false;
    Unit = 0;
    for (int I = 0; I < 4; ++I) {
      const char C = FText[FAt++];
      Unit <<= 4;
      if (C >= '0' && C <= '9') Unit |= C - '0';
      else if ((C | 0x20) >= 'a' && (C | 0x20) <= 'f') Unit |= (C | 0x20) - 'a' + 10;
      else return false;
    }
    return true;
  }

  static void Append(std::string& Out, unsigned Code) {
    if (Code < 0x80) {
      Out += static_cast<char>(Code);
    } else if (Code < 0x800) {
      Out += static_cast<char>(0xC0 | (Code >> 6));
      Out += static_cast<char>(0x80 | (Code & 0x3F));
    } else if (Code < 0x10000) {
      Out += static_cast<char>(0xE0 | (Code >> 12));
      Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
      Out += static_cast<char>(0x80 | (Code & 0x3F));
    } else {
      Out += static_cast<char>(0xF0 | (Code >> 18));
      Out += static_cast<char>(0x80 | ((Code >> 12) & 0x3F));
      Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
      Out += static_cast<char>(0x80 | (Code & 0x3F));
    }
  }

  // At the opening quote.
  bool ReadString(std::string& Out) {
    if (FAt >= FText.size() || FText[FAt] != '"') return false;
    ++FAt;
    while (FAt < FText.size()) {
      const char C = FText[FAt++];
      if (C == '"') return true;
      if (static_cast<unsigned char>(C) < 0x20) return false;
      if (C != '\\') {
        Out += C;
        continue;
      }
      if (FAt >= FText.size()) return false;
      const char E = FText[FAt++];
      switch (E) {
        case '"': case '\\': case '/': Out += E; break;
        case 'b': Out += '\b'; break;
        case 'f': Out += '\f'; break;
        case 'n': Out += '\n'; break;
        case 'r': Out += '\r'; break;
        case 't': Out += '\t'; break;
        case 'u': {
          unsigned Unit = 0;
          if (!Hex4(Unit)) return false;
          if (Unit >= 0xD800 && Unit < 0xDC00) {
            unsigned Low = 0;
            if (!Word("\\u") || !Hex4(Low) || Low < 0xDC00 || Low >= 0xE000) return false;
            Unit = 0x10000 + ((Unit - 0xD800) << 10) + (Low - 0xDC00);
          } else if (Unit >= 0xDC00 && Unit < 0xE000) {
            return false;  // a lone surrogate names no character
          }
          Append(Out, Unit);
          break;
        }
        default: return false;
      }
    }
    return false;
  }
};

}  // namespace

const TJsonValue* TJsonValue::Member(std::string_view Name) const {
  if (Kind != TKind::Object) return nullptr;
  for (const auto& [Key, Value] : Members)
    if (Key == Name) return &Value;
  return nullptr;
}

std::optional<TJsonValue> ParseJson(std::string_view Text) {
  TJsonValue Value;
  if (!TJsonReader(Text).Document(Value)) return std::nullopt;
  return Value;
}
