// The test procedure that every encoding test runs.
#include "tests/test_procedure.h"

#include <string_view>

#include "logs/activity_ledger.h"
#include "logs/main_log.h"
#include "packs/test_pack.h"
#include "platform/console.h"
#include "platform/directories.h"
#include "platform/process.h"
#include "run/cleanup.h"
#include "run/fatal_error.h"
#include "run/fatal_messages.h"
#include "run/run_state.h"
#include "tests/automation.h"
#include "tests/disk_preparation.h"
#include "tests/test_table.h"
#include "tests/validation.h"

namespace {

constexpr char kCheckingRequirements[] = "Checking test requirements... ";
constexpr char kRequirementsNotMet[] = "NOT PASSED, skip test";
constexpr char kRequirementsMet[] = "all is OK";
constexpr char kMeasuring[] = "Measurement part started... ";
constexpr char kMeasured[] = "complete";
constexpr char kRegistryEditorAfterWindir[] = "\\regedit.exe";
constexpr char kImportSilently[] = "/s ";

ShortText TextOf(CommandPlace place) {
  switch (place) {
    case CommandPlace::WorkDir:
      return runState.tempDir;
    case CommandPlace::MainconceptDir:
      return runState.mainconceptDir;
    case CommandPlace::CceDir:
      return runState.cceDir;
    case CommandPlace::NncronDir:
      return runState.nncronDir;
    case CommandPlace::CurrentDir:
      return GetCurrentDirectoryPath();
  }
  return ShortText();
}

void ImportRegistrySettings(const ShortText& settingsFile) {
  // Started directly, not through the interpreter; a missing WINDIR starts
  // "\regedit.exe", whose failure shows only in the result.
  RunProgram(GetEnvironmentValue("WINDIR") + kRegistryEditorAfterWindir,
             RegistryImportArguments(settingsFile));
}

void RemoveScratchDirectory() {
  RunProgram(runState.comSpec, kRemoveScratchDirectoryCommand);
}

}  // namespace

void WriteTestBanner(TestId id) {
  const ShortText title(DefinitionOf(id).title);
  ShortText dashes;
  for (int i = 0; i < title.length(); ++i) dashes += std::string_view("-");
  ConsoleWriteLine(dashes);
  ConsoleWriteLine(title);
  ConsoleWriteLine(dashes);
}

ShortText RegistryImportArguments(const ShortText& settingsFile) {
  return ShortText(kImportSilently) + runState.tempDir + "\\" + settingsFile;
}

ShortText MeasurementCommand(TestId id) {
  const TestDefinition& test = DefinitionOf(id);
  const MeasuredProgram& measured = test.measured;
  return ShortText("/c ") + runState.tempDir + kTimerAfterWorkDir + TextOf(measured.programDir) +
         measured.program + TextOf(measured.argumentDir) + measured.argument + kRedirectTo +
         test.testLog;
}

void RunTest(TestId id) {
  const TestDefinition& test = DefinitionOf(id);
  LedgerTestStarts(id, test.testLog);
  WriteTestBanner(id);
  ConsoleWrite(kCheckingRequirements);
  if (!runState.testEnabled[TestIndex(id)]) {
    ConsoleWriteLine(kRequirementsNotMet);
    ConsoleWriteLine();
    LedgerTestEnds(LedgerOutcome::Skipped);
    return;
  }
  ConsoleWriteLine(kRequirementsMet);

  // An existing scratch directory may hold another run's files: refused, not reused.
  if (test.createsScratchDir && !MakeDirectory(kScratchDirectory)) {
    FatalError(kFatal034ScratchDirNotCreated);
  }
  DeleteTestOutputs();
  UnpackTestPack(test.pack);

  if (!test.registrySettings.empty()) ImportRegistrySettings(test.registrySettings);
  if (!test.automationScript.empty()) StartAutomation(id);
  if (test.installsProCoder) InstallProCoder();
  PrepareDisks(test.sourceClip);

  ConsoleWrite(kMeasuring);
  // The helper runs to its end before the timing starts.
  if (test.installsProCoder) RunProgram(runState.comSpec, ProcoderHelperCommand());
  RunMeasuredCommand(runState.comSpec, MeasurementCommand(id));
  ConsoleWriteLine(kMeasured);

  // Debug mode keeps the pack's files, the outputs, the test log and the scratch
  // directory for inspection, and records nothing.
  if (runState.debugMode) return;

  DeletePackContents();
  // Before the choice of path: a script still running ends the run either way.
  if (!test.automationEndFailure.empty()) TestMarkerAfterMeasurement(id);

  LedgerOutcome outcome = LedgerOutcome::Unofficial;
  if (!(runState.*test.officialWhen)) {
    RecordResult(test.testLog, test.unofficialLabel);
    ConsoleWriteLine();
    runState.resultRecorded = true;
  } else {
    outcome = ValidateResult(id) ? LedgerOutcome::Official : LedgerOutcome::Invalid;
  }
  LedgerTestEnds(outcome);
  DeleteTestOutputs();
  if (test.removesScratchDir) RemoveScratchDirectory();
}
