// The test procedure that every encoding test runs.
#include "tests/test_procedure.h"

#include <string_view>

#include "platform/console.h"
#include "platform/short_text.h"
#include "run/run_state.h"
#include "tests/test_table.h"

namespace {

constexpr char kCheckingRequirements[] = "Checking test requirements... ";
constexpr char kRequirementsNotMet[] = "NOT PASSED, skip test";

}  // namespace

void WriteTestBanner(TestId id) {
  const ShortText title(DefinitionOf(id).title);
  ShortText dashes;
  for (int i = 0; i < title.length(); ++i) dashes += std::string_view("-");
  ConsoleWriteLine(dashes);
  ConsoleWriteLine(title);
  ConsoleWriteLine(dashes);
}

void RunTest(TestId id) {
  WriteTestBanner(id);
  ConsoleWrite(kCheckingRequirements);
  if (!runState.testEnabled[TestIndex(id)]) {
    ConsoleWriteLine(kRequirementsNotMet);
    ConsoleWriteLine();
    return;
  }
  // An enabled test goes on here with "all is OK", the pack, the measurement and
  // the result. Nothing enables a test until the environment analysis exists.
}
