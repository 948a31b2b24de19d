// The activity ledger: an opt-in side file, named by TARSEL_ACTIVITY_LOG, that records
// which machine ran the tests and, for each test started, its outcome (invalid ones
// with their notes) and what other programs used the processor during its measurement
// (logs/ledger_format.h and docs/activity-ledger.md have the format). It never changes
// a result, an exit status, the main log or, when it is off, anything at all: unset,
// every call here does nothing, and the measured command is run exactly as before.
//
// The file is opened, appended to and closed for each block; a block that fails
// half-way is taken back as a main log record is, so earlier blocks stay intact.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/short_text.h"
#include "tests/test_id.h"

/// The variable that names the ledger.
inline constexpr char kActivityLedgerVariable[] = "TARSEL_ACTIVITY_LOG";

/// The most files of the run that the ledger tells itself apart from.
inline constexpr int kMaxRunFiles = 96;

/// Names, as full Windows paths, the files the run reads or writes beyond those the
/// ledger knows itself (the main log, the test outputs and the pack contents); the
/// count given. Asked again before every block, as the analysis finds more.
using RunFileLister = int (*)(ShortText* names, int capacity);

/// Switches the ledger on when TARSEL_ACTIVITY_LOG is set and not empty, outside debug
/// mode (which records nothing), and appends the machine's block. Call with the start
/// directory current and runState's start and work directories known. A ledger that is
/// a file of the run (whatever name or link leads there), a symbolic link, or a file
/// that is neither empty nor a ledger is refused with one console line, here or, when
/// that shows only later, where the notice goes, and the run goes on without it.
void StartActivityLedger(RunFileLister moreRunFiles = nullptr);

/// A test begins: the reading of its start time. `testLog` is the test log it writes,
/// relative to the start directory.
void LedgerTestStarts(TestId id, const ShortText& testLog);

/// Runs the measured command. With the ledger off, exactly RunProgram. With it on,
/// snapshots of every process before, every 500 ms while it runs, and after.
int32_t RunMeasuredCommand(const ShortText& program, const ShortText& arguments);

/// A validation note that the console showed for the test.
void LedgerNote(const ShortText& note);

/// With the ledger on and some other process busy during the measurement, the line
/// "-- busiest other program: NAME (N ms of processor time)".
void WriteBusiestOtherProgram();

/// With the ledger on and a busy processor below 95 % of its nominal clock during at
/// least 10 % of the measurement, the line "-- processor clock reduced during N % of
/// the measurement".
void WriteReducedClock();

enum class LedgerOutcome { Official, Unofficial, Invalid, Skipped };

/// The test ended: appends its block, reading the test log's figures (unless it was
/// skipped) before the log is deleted. A fatal error ends the test's block itself.
void LedgerTestEnds(LedgerOutcome outcome);

/// "Activity ledger not written: <reason>" when a block could not be written, or the
/// refusal line when the ledger was refused after the start.
void WriteLedgerNotice();

// The pure parts, for the tests.

/// The full form of a Windows path text: "X:\..." as it is, "\..." on the drive of
/// `base`, anything else relative to `base` (a full directory path). "/" counts as
/// "\", repeated separators are folded, "." and ".." resolved.
ShortText FullWindowsPath(const ShortText& path, const ShortText& base);

/// True when the full path (compared as Windows does, "a" to "z" as their capitals)
/// names the main log or a test output in `startDir`, a pack content in `tempDir`, or
/// anything in the scratch directory.
bool LedgerNameRefused(const ShortText& fullPath, const ShortText& startDir,
                       const ShortText& tempDir);

/// How the next block joins the `tail` (the last bytes) of an existing ledger that
/// holds `size` bytes: nothing when it ends where a block ends (after an empty line,
/// or right after the version line), else a line end when its last line lacks one,
/// then the cut mark and an empty line.
ShortText LedgerJoint(std::string_view tail, int64_t size);
