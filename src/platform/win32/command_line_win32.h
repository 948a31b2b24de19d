// Windows backend only: how a whole command line splits into the program's arguments.
// No operating-system calls: the rule lives in the portable process.cpp, so that both
// builds test it and the fuzz build reaches it.
#pragma once

#include <string_view>

#include "platform/short_text.h"

/// The n-th argument (n from 1) of a whole Windows command line: the program's own
/// name, quoted or not, is removed first; before each argument characters 1 to 32
/// and empty pairs of double quotes are skipped; an argument runs to the next
/// character of code 32 or less outside double quotes, the quotes dropped; each is
/// cut at 255 characters. The line ends at its first NUL. Empty beyond the last
/// argument and for n below 1.
ShortText ArgumentOfCommandLine(std::string_view commandLine, int n);

/// The process's whole command line in the console's code page (Windows only).
std::string_view CommandLineInOem();

/// Takes one character of an argument.
using CharacterSink = void (*)(char c, void* context);

/// The same rule, the n-th argument's characters handed to `take` one by one, however
/// many there are; none beyond the last argument.
void ScanArgumentOfCommandLine(std::string_view commandLine, int n, CharacterSink take,
                               void* context);
