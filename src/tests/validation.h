// Result validation: whether a measured time counts as an official result.
#pragma once

#include "tests/test_id.h"
#include "tests/test_table.h"

/// Runs one check of a result and answers whether it succeeded. A delete check
/// removes its file whatever the outcome.
bool RunValidationCheck(const ValidationCheck& check);

/// Writes "Doing test result validation... ", runs every check of the test in table
/// order (all of them, whatever the earlier ones gave), then either completes the
/// line with "result are valid", records the test log under the official label with
/// an empty line before (DivX) or after the record, and sets runState.resultRecorded;
/// or completes it with "INVALID RESULT", writes "Validation subsystem note:", the
/// note of every failed check in table order (each note once) and an empty line, and
/// records nothing; with the activity ledger on, the notes go to it too, and the
/// note of other program activity is followed by the busiest other program. Returns
/// whether the result was valid. A test log that cannot be read ends the run ("#017",
/// and the main log's own codes).
bool ValidateResult(TestId id);
