// Result validation.
#include "tests/validation.h"

#include <array>
#include <string_view>

#include "logs/activity_ledger.h"
#include "logs/main_log.h"
#include "logs/timing_log.h"
#include "packs/file_checks.h"
#include "platform/console.h"
#include "platform/directories.h"
#include "platform/short_text.h"
#include "run/run_state.h"

namespace {

constexpr char kValidating[] = "Doing test result validation... ";
constexpr char kValid[] = "result are valid";
constexpr char kInvalid[] = "INVALID RESULT";
constexpr char kNotesHeading[] = "Validation subsystem note:";

}  // namespace

bool RunValidationCheck(const ValidationCheck& check) {
  switch (check.kind) {
    case ValidationCheck::Kind::Delete:
      return RemoveFile(check.file);
    case ValidationCheck::Kind::Size:
      return CheckFileSizeWithin(check.directory, check.file, check.expected, check.limit);
    case ValidationCheck::Kind::Activity:
      return CheckProcessFigure(check.file, check.limit);
  }
  return false;
}

bool ValidateResult(TestId id) {
  const TestDefinition& test = DefinitionOf(id);
  ConsoleWrite(kValidating);
  // Every check runs: the delete checks are also the clean-up of their files.
  std::array<bool, kMaxValidationChecks> passed{};
  bool valid = true;
  for (int i = 0; i < test.checkCount; ++i) {
    passed[i] = RunValidationCheck(test.checks[i]);
    valid = valid && passed[i];
  }

  if (valid) {
    ConsoleWriteLine(kValid);
    WriteReducedClock();
    if (test.blankLineBeforeOfficialRecord) ConsoleWriteLine();
    RecordResult(test.testLog, test.officialLabel);
    if (!test.blankLineBeforeOfficialRecord) ConsoleWriteLine();
    runState.resultRecorded = true;
    return true;
  }

  ConsoleWriteLine(kInvalid);
  ConsoleWriteLine(kNotesHeading);
  for (int i = 0; i < test.checkCount; ++i) {
    if (passed[i]) continue;
    // Checks that share a note report it once, where the first of them failed.
    bool noted = false;
    for (int earlier = 0; earlier < i; ++earlier) {
      noted = noted || (!passed[earlier] && test.checks[earlier].note == test.checks[i].note);
    }
    if (noted) continue;
    ConsoleWriteLine(test.checks[i].note);
    LedgerNote(test.checks[i].note);
    if (test.checks[i].kind == ValidationCheck::Kind::Activity) WriteBusiestOtherProgram();
  }
  WriteReducedClock();
  ConsoleWriteLine();
  return false;
}
