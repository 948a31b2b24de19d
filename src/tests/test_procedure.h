// The test procedure that every encoding test runs.
#pragma once

#include "tests/test_id.h"

/// Runs one test: writes its banner and the requirements line, and skips the test
/// with "NOT PASSED, skip test" and an empty line when its testEnabled flag in
/// runState is false. Touches no file in that case.
void RunTest(TestId id);

/// Writes the test's banner: a dash line as long as the title, the title, the dash
/// line again.
void WriteTestBanner(TestId id);
