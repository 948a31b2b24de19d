// The seven tests as the report names them, taken from the benchmark's own tables:
// the labels of the main log, the options of the command line, the announcements.
#pragma once

#include <string_view>

#include "tests/test_id.h"

/// What a main log's label line says; test -1 for a label no test writes.
struct LabelMeaning {
  int test = -1;  ///< TestIndex order
  bool official = false;
};

LabelMeaning MeaningOfLabel(std::string_view label);

/// The test's option without its dash: "divx" ... "ccesp".
std::string_view TestOption(int test);

/// The short name the run's announcement uses: "DivX", "MPEG2/MAINC" ...
std::string_view TestShortName(int test);

/// The test of an option without its dash, in any case of A-Z; -1 for none.
int TestOfOption(std::string_view option);
