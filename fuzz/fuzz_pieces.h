// For the fuzz targets: an input cut into texts at its NUL bytes.
#pragma once

#include <cstddef>
#include <cstdint>
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
