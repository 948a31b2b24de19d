// The run from start to end.
#include "run/run_sequence.h"

#include "logs/activity_ledger.h"
#include "logs/main_log.h"
#include "platform/console.h"
#include "platform/directories.h"
#include "platform/process.h"
#include "platform/short_text.h"
#include "run/analysis.h"
#include "run/cleanup.h"
#include "run/command_line.h"
#include "tests/test_procedure.h"

namespace {

constexpr char kStopNncronCommand[] = "/c net stop nncron > nul";
constexpr char kStartingTests[] = "Starting test(s) execution: ";
constexpr char kAllTestsDone[] = "All tests done";
constexpr char kEditorAfterWindir[] = "\\system32\\notepad.exe ";
constexpr int kFinishPauseMilliseconds = 3000;

}  // namespace

void WriteAnnouncement(const SelectionList& selection) {
  ConsoleWrite(kStartingTests);
  // Each announcement is written on its own: together they may exceed a short text.
  for (SelectionCode code : selection) {
    if (code == SelectionCode::End) break;
    ConsoleWrite(ShortText(DefinitionOf(code).announcement));
  }
  ConsoleWriteLine();
  ConsoleWriteLine();
}

void DispatchSelection(const SelectionList& selection, void (*runTest)(TestId)) {
  for (SelectionCode code : selection) {
    if (code == SelectionCode::End) return;
    const SelectionDefinition& entry = DefinitionOf(code);
    for (int i = 0; i < entry.testCount; ++i) runTest(entry.tests[i]);
    if (code == SelectionCode::DvdRipGroup) return;
  }
}

void RunBenchmark() {
  // Every command is waited for unless a caller says otherwise for one call.
  SetRunMode(RunMode::WaitForExit);

  runState.resultRecorded = false;
  runState.debugMode = false;
  runState.tempDir = GetEnvironmentValue("TEMP");
  runState.comSpec = GetEnvironmentValue("COMSPEC");
  runState.startDir = GetCurrentDirectoryPath();

  // What an interrupted earlier run may have left running or lying on drive C:. The
  // results are not looked at: a missing COMSPEC just starts nothing.
  RunProgram(runState.comSpec, kStopNncronCommand);
  RunProgram(runState.comSpec, kRemoveScratchDirectoryCommand);

  // Debug mode is not known yet, so the leftovers always go.
  DeleteTestOutputs();
  DeletePackContents();

  ClearConsole();
  // The banner is the main log's title: the project's name.
  ConsoleWriteLine(kMainLogTitle);
  ConsoleWriteLine(kProgramVersion);
  ConsoleWriteLine();

  ParseArguments();
  if (runState.selection[0] == SelectionCode::End) PrintUsage();

  StartActivityLedger(ListFilesOfTheRun);
  AnalyzeEnvironment();
  WriteAnnouncement(runState.selection);
  DispatchSelection(runState.selection, RunTest);
  FinishRun();
}

void FinishRun() {
  // Debug mode leaves every temporary file where it is.
  if (runState.debugMode) ExitProgram(0);
  Pause(kFinishPauseMilliseconds);
  RemoveScratchDirectoryIfPresent();
  DeleteTestOutputs();
  DeletePackContents();
  WriteLedgerNotice();
  ConsoleWriteLine(kAllTestsDone);
  if (runState.resultRecorded) {
    // The editor runs beside us and outlives the run; the log name is relative to
    // the start directory, which is current.
    SetRunMode(RunMode::NoWait);
    RunProgram(runState.comSpec, ShortText("/c ") + GetEnvironmentValue("WINDIR") +
                                     kEditorAfterWindir + kMainLogName);
    SetRunMode(RunMode::WaitForExit);
  }
  ExitProgram(0);
}
