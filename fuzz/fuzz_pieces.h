// For the fuzz targets: an input cut into texts at its NUL bytes, or fed in pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

/// The texts between the NUL bytes of the input, empty ones included; always at least
/// one.
inline std::vector<std::string> PiecesBetweenNuls(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> pieces;
  for (size_t start = 0;;) {
    const size_t nul = input.find('\0', start);
    pieces.emplace_back(input.substr(start, nul == std::string_view::npos ? nul : nul - start));
    if (nul == std::string_view::npos) break;
    start = nul + 1;
  }
  return pieces;
}

/// Feeds `text` to a reader of bytes that arrive in pieces (Feed(bytes, count), then
/// Finish()) in pieces of `piece` bytes, each a copy of its own so that AddressSanitizer
/// sees where it ends.
template <typename Reader>
void FeedInPieces(Reader& reader, std::string_view text, size_t piece) {
  for (size_t at = 0; at < text.size(); at += piece) {
    const std::string copy(text.substr(at, piece));
    reader.Feed(copy.data(), copy.size());
  }
  reader.Finish();
}

/// Reads `text` whole, one byte at a time and in pieces of a size its length picks,
/// with `read(text, piece)`; ends the process unless `same` finds the three readings
/// alike. Returns the whole reading.
template <typename Read, typename Same>
auto ReadInAnyPieces(std::string_view text, Read read, Same same) {
  const auto whole = read(text, text.empty() ? 1 : text.size());
  if (!same(whole, read(text, 1)) || !same(whole, read(text, 2 + text.size() % 13))) {
    std::abort();
  }
  return whole;
}
