// The single path that ends a run on an unrecoverable condition.
#pragma once

#include "platform/short_text.h"

/// The exit status of every fatal error.
constexpr int kFatalExitCode = 5;

/// Ends the run: in debug mode at once with code 5 and no output; otherwise after a
/// pause of 3000 ms, the clean-up and the report of CleanUpAndReportFatalError, and
/// one key press, with code 5. `message` is one of fatal_messages.h, for "#033"
/// followed by the argument.
[[noreturn]] void FatalError(const ShortText& message);

/// A side record that the fatal path keeps informed (the activity ledger): `record`
/// gets the message first, before anything is cleaned up; `notice` writes its console
/// lines right before "CRITICAL ERROR: ". Either may be null; none is set at first.
struct FatalErrorWitness {
  void (*record)(const ShortText& message) = nullptr;
  void (*notice)() = nullptr;
};

void SetFatalErrorWitness(FatalErrorWitness witness);

/// The part of FatalError between its pause and its key wait: removes the scratch
/// directory when it exists, returns to the start directory, deletes the test
/// outputs and the pack contents, drops any pending I/O failure, then writes one
/// line end (ending a label left open, or an empty line), the witness's notice,
/// "CRITICAL ERROR: " and
/// the message, "Cannot continue, test aborted", an empty line and "Press any key to
/// close this window".
void CleanUpAndReportFatalError(const ShortText& message);
