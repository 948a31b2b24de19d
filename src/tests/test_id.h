// The seven encoding tests.
#pragma once

#include <cstdint>

/// The seven tests, in the order of their packs "pack.001" to "pack.007". The values
/// equal the first seven selection codes of the command line.
enum class TestId : uint8_t {
  DivX = 1,
  XviD = 2,
  WMV9 = 3,
  MPEG1 = 4,             ///< MPEG1/Mainconcept
  MPEG2Mainconcept = 5,  ///< MPEG2/Mainconcept
  MPEG2Canopus = 6,      ///< MPEG2/Canopus ProCoder
  MPEG2CCE = 7,          ///< MPEG2/Cinema Craft Encoder SP
};

constexpr int kTestCount = 7;

/// The 0-based row of a test in every per-test table.
constexpr int TestIndex(TestId id) {
  return static_cast<int>(id) - 1;
}
