#pragma once
// The tokens a preview records and its clean compares: FNV-1a, 64 bits, which
// is enough to tell whether a value, a list or a content has changed.

#include <cstddef>
#include <cstdint>

constexpr std::uint64_t HashSeed = 14695981039346656037ull;

inline std::uint64_t Hash(const void* Data, std::size_t Size, std::uint64_t Seed = HashSeed) {
  const auto* Byte = static_cast<const unsigned char*>(Data);
  for (std::size_t I = 0; I < Size; ++I) Seed = (Seed ^ Byte[I]) * 1099511628211ull;
  return Seed;
}

template <class T>
std::uint64_t HashOf(const T& Value, std::uint64_t Seed) {
  return Hash(&Value, sizeof Value, Seed);
}
