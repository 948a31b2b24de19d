// Running programs, the environment, the program's own arguments, pausing and
// ending the process.
#pragma once

#include <cstdint>
#include <string_view>

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

/// The value of an environment variable at the moment of the call; the name is
/// matched regardless of the case of "a" to "z"; empty when absent.
ShortText GetEnvironmentValue(const ShortText& name);

/// The n-th argument after the program's own name (n from 1), cut at 255
/// characters; empty beyond the last argument.
ShortText CommandArgument(int n);

/// Ends the process with `code` after all console text has been shown. Open text
/// files are not written out.
[[noreturn]] void ExitProgram(int code);

/// Returns after at least `milliseconds`.
void Pause(int milliseconds);

// The rest is for the platform layer's own backends.

/// The mode chosen by the last SetRunMode; WaitForExit before any.
RunMode CurrentRunMode();

/// The value in `entry`, an environment entry "NAME=value", when its name is `name`
/// with "a" to "z" compared as their capitals; null when it names another variable.
const char* ValueOfEntryNamed(const char* entry, const ShortText& name);

/// The n-th argument (n from 1) of a whole Windows command line: the program's own
/// name, quoted or not, is removed first; before each argument characters 1 to 32
/// and empty pairs of double quotes are skipped; an argument runs to the next
/// character of code 32 or less outside double quotes, the quotes dropped; each is
/// cut at 255 characters. The line ends at its first NUL. Empty beyond the last
/// argument and for n below 1.
ShortText ArgumentOfCommandLine(std::string_view commandLine, int n);
