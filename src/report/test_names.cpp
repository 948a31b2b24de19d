// The seven tests as the report names them.
#include "report/test_names.h"

#include "run/run_state.h"
#include "tests/test_table.h"

namespace {

const SelectionDefinition& SelectionOf(int test) {
  return kSelectionDefinitions[test + 1];
}

}  // namespace

LabelMeaning MeaningOfLabel(std::string_view label) {
  for (int test = 0; test < kTestCount; ++test) {
    if (label == kTestDefinitions[test].officialLabel) return {test, true};
    if (label == kTestDefinitions[test].unofficialLabel) return {test, false};
  }
  return {};
}

std::string_view TestOption(int test) {
  return SelectionOf(test).option.substr(1);
}

std::string_view TestShortName(int test) {
  std::string_view name = SelectionOf(test).announcement;
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}

int TestOfOption(std::string_view option) {
  for (int test = 0; test < kTestCount; ++test) {
    if (SameIgnoringCase(option, TestOption(test))) return test;
  }
  return -1;
}
