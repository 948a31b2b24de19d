// The automation-driven MPEG tests.
#include "tests/automation.h"

#include "platform/directories.h"
#include "platform/process.h"
#include "run/cleanup.h"
#include "run/fatal_error.h"
#include "run/run_state.h"
#include "tests/test_table.h"

namespace {

constexpr char kQuote[] = "\"";
constexpr char kCopyOverwriting[] = "/c copy /y ";
constexpr char kDiscardOutput[] = " > nul";

ShortText ProfilePath() {
  return runState.procoderDir + kProfileDirAfterProcoder + kProfileAfterProfileDir;
}

}  // namespace

void StartAutomation(TestId id) {
  const TestDefinition& test = DefinitionOf(id);
  // nnCron runs beside the encoder for the whole measurement; it is never waited for.
  SetRunMode(RunMode::NoWait);
  RunProgram(runState.nncronDir + kNncronAfterDir,
             ShortText(kRunScript) + runState.tempDir + "\\" + test.automationScript);
  SetRunMode(RunMode::WaitForExit);
  Pause(kAutomationWaitMilliseconds);
  if (!FileIsPresent(kMarkerFile)) FatalError(test.automationStartFailure);
}

void TestMarkerAfterMeasurement(TestId id) {
  Pause(kAutomationWaitMilliseconds);
  if (FileIsPresent(kMarkerFile)) FatalError(DefinitionOf(id).automationEndFailure);
}

ShortText ProfileCopyCommand() {
  return ShortText(kCopyOverwriting) + runState.tempDir + kProfileSourceAfterWorkDir + kQuote +
         ProfilePath() + kQuote + kDiscardOutput;
}

ShortText ProcoderCopyCommand() {
  return ShortText("/c ") + GetEnvironmentValue("WINDIR") + kXcopyAfterWindir + kQuote +
         runState.procoderDir + kEveryFile + kQuote + " " + kQuote + kScratchDirectory + "\\" +
         kQuote + kXcopyOptions;
}

ShortText ProcoderHelperCommand() {
  return ShortText("/c ") + runState.tempDir + kProcoderHelperAfterWorkDir +
         GetCurrentDirectoryPath() + "\\" + DefinitionOf(TestId::MPEG2Canopus).sourceClip;
}

void InstallProCoder() {
  // Only the last level is created; an existing one is no failure.
  MakeDirectory(runState.procoderDir + kProfileDirAfterProcoder);
  RunProgram(runState.comSpec, ProfileCopyCommand());
  if (!FileIsPresent(ProfilePath())) FatalError(kFatal022ProcoderProfileNotCreated);
  RunProgram(runState.comSpec, ProcoderCopyCommand());
  if (!FileIsPresent(ShortText(kScratchDirectory) + kProcoderInScratchDir)) {
    FatalError(kFatal023ProcoderNotCopied);
  }
}
