#pragma once
// A small, tolerant JSON reader for the few keys the program reads from other
// programs' files (a browser's Local State and Bookmarks). It reads the whole
// text into a tree; any flaw makes it read nothing, so that a caller never
// acts on half a file.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TJsonValue {
  enum class TKind { Null, Boolean, Number, String, Array, Object };
  TKind Kind = TKind::Null;
  std::string Text;  // a string's UTF-8 value; a number or boolean as written
  std::vector<TJsonValue> Items;  // an array's
  std::vector<std::pair<std::string, TJsonValue>> Members;  // an object's, in order

  // The first member named Name of an object; null for none or a non-object.
  const TJsonValue* Member(std::string_view Name) const;
};

// Nothing for text that is not one JSON value (trailing blanks allowed, a
// UTF-8 byte order mark too), or that nests deeper than 200 levels.
std::optional<TJsonValue> ParseJson(std::string_view Text);
