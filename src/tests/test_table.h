// The constant properties of each test, one row per test in TestId order.
#pragma once

#include <array>
#include <string_view>

#include "tests/test_id.h"

/// What sets one test apart from the others.
struct TestDefinition {
  /// The middle line of the test's banner; the lines above and below it are as
  /// many dashes as it has characters.
  std::string_view title;
};

inline constexpr std::array<TestDefinition, kTestCount> kTestDefinitions = {{
    {"DivX encoding test started"},
    {"XviD encoding test started"},
    {"Windows Media Video 9 encoding test started"},
    {"MPEG1/Mainconcept encoding test started"},
    {"MPEG2/Mainconcept encoding test started"},
    {"MPEG2/Canopus encoding test started"},
    {"MPEG2/Cinema Craft encoding test started"},
}};

/// The row of a test.
constexpr const TestDefinition& DefinitionOf(TestId id) {
  return kTestDefinitions[TestIndex(id)];
}
