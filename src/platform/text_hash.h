// The one hash of texts and bytes in the program, its tools and its tests: 64-bit
// FNV-1a. Its values are stored (the ledger's machine id, the check values of packs),
// so it never changes.
#pragma once

#include <cstdint>
#include <string_view>

/// Where a hash starts: FNV-1a's offset basis, the hash of no bytes.
constexpr uint64_t kHashStart = 14695981039346656037ull;

/// The hash of the bytes after those that made `hash`: hashing "ab" equals hashing
/// "b" from the hash of "a".
constexpr uint64_t HashBytes(std::string_view bytes, uint64_t hash = kHashStart) {
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}
