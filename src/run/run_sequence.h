// The run from start to end: start-up, command line, announcement, the tests in
// argument order, and the normal end.
#pragma once

#include "run/run_state.h"
#include "tests/test_id.h"

/// The whole run. Never returns: it ends through FinishRun, the usage text or
/// FatalError.
[[noreturn]] void RunBenchmark();

/// Writes "Starting test(s) execution: ", the announcement of each entry of the
/// list up to the first End, the line end and one empty line.
void WriteAnnouncement(const SelectionList& selection);

/// Calls `runTest` for each test of each entry up to the first End, in order. Stops
/// right after a DvdRipGroup entry: that group ends the run, so the entries after it
/// are announced but never run.
void DispatchSelection(const SelectionList& selection, void (*runTest)(TestId));

/// The normal end: in debug mode at once with code 0 and nothing else; otherwise a
/// pause of 3000 ms, the scratch directory removed when it exists, the test outputs
/// and pack contents deleted, "All tests done", the main log opened in the text
/// editor (without waiting) when a result was recorded, and code 0.
[[noreturn]] void FinishRun();
