#include "emulation.h"

#include "launch.h"

#include <cstdlib>
#include <set>
#include <utility>

namespace {

/// The tests that run under emulation, "Suite.Test" each.
const std::set<std::string> kChosenTests = {
    "RunControl.NoArgumentsShowsTheUsage",
    "EncodingRuns.DivXAloneOfficialAndValid",
    "EncodingRuns.CommandLongerThan255CharactersIsCut",
    "FatalRuns.TestPackFailures",
};

/// The scenarios those tests read, with their suites.
const std::set<std::pair<std::string, std::string>> kChosenScenarios = {
    {"EncodingRuns", "divx"},
    {"EncodingRuns", "cut"},
    {"FatalRuns", "005"},
};

}  // namespace

bool UnderI386Emulation() {
  const char* value = std::getenv("TARSEL_I386_EMULATED");
  return value != nullptr && std::string(value) == "1";
}

bool ScenarioChosenForEmulation(const std::string& suite, const std::string& name) {
  return kChosenScenarios.count({suite, name}) != 0;
}

void ProgramRunTest::SetUp() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  if (UnderI386Emulation() &&
      kChosenTests.count(std::string(test->test_suite_name()) + "." + test->name()) == 0) {
    GTEST_SKIP() << "under qemu-user every start of the 32-bit program costs most of a minute; "
                    "only the runs chosen for 32-bit code go ahead";
  }
  const std::string why = WhyTheyCannotRunHere();
  if (!why.empty()) GTEST_SKIP() << why;
}

std::string ProgramRunTest::UnlessNative(const std::string& why) {
  return ChosenLauncher() == Launcher::Native ? "" : why;
}
