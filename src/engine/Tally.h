#pragma once
// What a clean did, counted as it goes, and the one line that ends every run
// in the log: "Removed 1,204 files (38.2 MB) and 12 registry values; 3 files
// stayed (in use)."

#include <cstdint>
#include <string>

struct TTally {
  // Removed.
  std::uint64_t Files = 0, Bytes = 0, Folders = 0;
  std::uint64_t RegistryValues = 0, CacheEntries = 0;
  std::uint64_t Rows = 0;  // database rows (history, cookies, form entries)
  // Stayed: held by another program; no longer what the preview showed;
  // refused (access denied, a link, a folder the guard would not sweep).
  std::uint64_t InUse = 0, Changed = 0, Refused = 0;
  // How many of those that stayed were not files (registry values, operations).
  std::uint64_t StayedOther = 0;

  TTally& operator+=(const TTally& Other);
  std::uint64_t Stayed() const noexcept { return InUse + Changed + Refused; }
};

// 1234567 -> "1,234,567".
std::string GroupedCount(std::uint64_t Count);
// Bytes for people: "512 bytes", "1.0 KB", "38.2 MB", "4.7 GB" (units of 1,024).
std::string SizeText(std::uint64_t Bytes);
// The summary line, without a time stamp.
std::string SummaryLine(const TTally& Tally);
