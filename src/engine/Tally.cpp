#include "engine/Tally.h"

#include <cstdio>
#include <vector>

TTally& TTally::operator+=(const TTally& Other) {
  Files += Other.Files;
  Bytes += Other.Bytes;
  Folders += Other.Folders;
  RegistryValues += Other.RegistryValues;
  CacheEntries += Other.CacheEntries;
  Rows += Other.Rows;
  InUse += Other.InUse;
  Changed += Other.Changed;
  Refused += Other.Refused;
  StayedOther += Other.StayedOther;
  return *this;
}

std::string GroupedCount(std::uint64_t Count) {
  std::string Digits = std::to_string(Count);
  for (auto At = static_cast<std::ptrdiff_t>(Digits.size()) - 3; At > 0; At -= 3)
    Digits.insert(static_cast<std::size_t>(At), 1, ',');
  return Digits;
}

std::string SizeText(std::uint64_t Bytes) {
  if (Bytes < 1024) return GroupedCount(Bytes) + (Bytes == 1 ? " byte" : " bytes");
  static constexpr const char* Units[] = {"KB", "MB", "GB", "TB", "PB"};
  double Value = static_cast<double>(Bytes) / 1024;
  int Unit = 0;
  // 1,023.96 KB would print as "1024.0 KB": it is shown as 1.0 MB instead.
  while (Value >= 1023.95 && Unit < 4) {
    Value /= 1024;
    ++Unit;
  }
  char Text[32];
  std::snprintf(Text, sizeof Text, "%.1f %s", Value, Units[Unit]);
  return Text;
}

namespace {

std::string Counted(std::uint64_t Count, const char* One, const char* Many) {
  return GroupedCount(Count) + " " + (Count == 1 ? One : Many);
}

}  // namespace

std::string SummaryLine(const TTally& Tally) {
  std::string Line = "Removed " + Counted(Tally.Files, "file", "files") + " (" + SizeText(Tally.Bytes) + ")";
  // "A, B and C": the parts after the files that are there.
  std::vector<std::string> Parts;
  if (Tally.CacheEntries) Parts.push_back(Counted(Tally.CacheEntries, "cache entry", "cache entries"));
  if (Tally.Rows) Parts.push_back(Counted(Tally.Rows, "database row", "database rows"));
  if (Tally.RegistryValues) Parts.push_back(Counted(Tally.RegistryValues, "registry value", "registry values"));
  for (std::size_t I = 0; I < Parts.size(); ++I) Line += (I + 1 == Parts.size() ? " and " : ", ") + Parts[I];
  if (const std::uint64_t Stayed = Tally.Stayed()) {
    const bool OnlyFiles = Tally.StayedOther == 0;
    Line += "; " + Counted(Stayed, OnlyFiles ? "file" : "entry", OnlyFiles ? "files" : "entries") + " stayed (";
    std::string Reasons;
    auto Reason = [&](std::uint64_t Count, const char* Why) {
      if (!Count) return;
      if (!Reasons.empty()) Reasons += ", ";
      // One reason alone needs no count: "3 files stayed (in use)".
      Reasons += Count == Stayed ? std::string(Why) : GroupedCount(Count) + " " + Why;
    };
    Reason(Tally.InUse, "in use");
    Reason(Tally.Changed, "changed");
    Reason(Tally.Refused, "refused");
    Line += Reasons + ")";
  }
  return Line + ".";
}
