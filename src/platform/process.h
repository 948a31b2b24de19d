// Running programs, the environment, the program's own arguments, pausing and
// ending the process.
#pragma once

#include <cstdint>
#include <string>

#include "platform/short_text.h"

/// Whether RunProgram waits for the started program. Starts as WaitForExit.
enum class RunMode { WaitForExit, NoWait };

void SetRunMode(RunMode mode);

/// Starts `program` (the path as given: no search along the program path, a
/// relative path taken from the current directory) with the command line
/// `"program" arguments`. The child inherits the environment, the current
/// directory, the standard streams and the console. In WaitForExit mode returns
/// after the child has ended; in NoWait mode at once, and the child runs on by
/// itself. Returns 0 when the program was started, non-zero when it could not be
/// (then nothing was started). The child's exit status is never obtained.
int32_t RunProgram(const ShortText& program, const ShortText& arguments);

/// RunProgram in WaitForExit mode whatever the run mode, calling `tick` every
/// `intervalMs` while the program runs. The wait is a wait with a time limit on the
/// program's end, so the program is never polled with sleeps and stays one thread.
/// Where the system offers no such wait it waits as RunProgram does, without ticks.
int32_t RunProgramWithTicks(const ShortText& program, const ShortText& arguments, int intervalMs,
                            void (*tick)());

/// The largest resident set, in KiB, of the program that RunProgramWithTicks ran last and
/// of the descendants it waited for, as the system reports it when the program ends
/// (POSIX); 0 where the system does not tell (Windows, where the ledger reads the peak
/// working sets from its process lists).
uint64_t LastProgramPeakMemoryKib();

/// The value of an environment variable at the moment of the call; the name is
/// matched regardless of the case of "a" to "z"; empty when absent.
ShortText GetEnvironmentValue(const ShortText& name);

/// The n-th argument after the program's own name (n from 1), cut at 255
/// characters; empty beyond the last argument.
ShortText CommandArgument(int n);

/// The n-th argument after the program's own name (n from 1) whole, however long;
/// empty beyond the last argument.
std::string WholeCommandArgument(int n);

/// Ends the process with `code` after all console text has been shown. Open text
/// files are not written out.
[[noreturn]] void ExitProgram(int code);

/// Returns after at least `milliseconds`.
void Pause(int milliseconds);
