// The test procedure that every encoding test runs.
#pragma once

#include "platform/short_text.h"
#include "tests/test_id.h"

/// Runs one test from its row of the test table: the banner and the requirements
/// line (a test whose testEnabled flag is false stops there with "NOT PASSED, skip
/// test" and touches no file); the scratch directory of WMV9; the clean-up of earlier
/// outputs; the pack; the registry import, the automation start or the ProCoder
/// installation; the disk preparation; the timed measurement. In debug mode the test
/// ends there and leaves every file in place. Otherwise the pack's files are deleted,
/// the marker test of the MPEG tests is made, and the result is recorded as
/// unofficial (a clip of another size) or validated; the outputs, and the scratch
/// directory of WMV9 and MPEG2/Canopus, are removed. Every unrecoverable condition
/// ends the run through FatalError.
void RunTest(TestId id);

/// Writes the test's banner: a dash line as long as the title, the title, the dash
/// line again.
void WriteTestBanner(TestId id);

/// The argument text of the registry editor for a settings file of the pack:
/// "/s " W "\" file.
ShortText RegistryImportArguments(const ShortText& settingsFile);

/// The timed command of the test, run through the command interpreter: the timing
/// tool in the work directory, the measured program with its argument, and the
/// redirection into the test log; cut at 255 characters like every short text.
ShortText MeasurementCommand(TestId id);
