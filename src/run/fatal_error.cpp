// The single path that ends a run on an unrecoverable condition.
#include "run/fatal_error.h"

#include "platform/console.h"
#include "platform/io_result.h"
#include "platform/process.h"
#include "run/cleanup.h"
#include "run/run_state.h"

namespace {

constexpr int kFatalPauseMilliseconds = 3000;
constexpr char kCriticalError[] = "CRITICAL ERROR: ";
constexpr char kTestAborted[] = "Cannot continue, test aborted";
constexpr char kPressAnyKey[] = "Press any key to close this window";

FatalErrorWitness witness;

}  // namespace

void SetFatalErrorWitness(FatalErrorWitness newWitness) {
  witness = newWitness;
}

void CleanUpAndReportFatalError(const ShortText& message) {
  if (witness.record != nullptr) witness.record(message);
  RemoveScratchDirectoryIfPresent();
  DeleteTestOutputs();
  DeletePackContents();
  // A failure that the raising code left pending would make every console write
  // below do nothing, and the user would never see why the run ended.
  TakeIoResult();
  ConsoleWriteLine();
  if (witness.notice != nullptr) witness.notice();
  // Two writes: joined, a full-length message would lose its last 16 characters.
  ConsoleWrite(kCriticalError);
  ConsoleWriteLine(message);
  ConsoleWriteLine(kTestAborted);
  ConsoleWriteLine();
  ConsoleWriteLine(kPressAnyKey);
}

void FatalError(const ShortText& message) {
  // Debug mode keeps every file for inspection and says nothing.
  if (runState.debugMode) ExitProgram(kFatalExitCode);
  Pause(kFatalPauseMilliseconds);
  CleanUpAndReportFatalError(message);
  WaitForKey();
  ExitProgram(kFatalExitCode);
}
