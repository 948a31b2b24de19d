// The command line: the test options, the hidden debug option and the usage text.
#pragma once

#include "platform/short_text.h"
#include "run/run_state.h"

/// What a list of argument texts selects.
struct ParsedArguments {
  SelectionList selection{};   ///< filled from position 1; End after the last
  bool debugMode = false;      ///< the hidden option came before any refused argument
  bool rejected = false;       ///< an argument was refused: the run must end with "#033"
  ShortText rejectedArgument;  ///< the refused argument, lower-cased
};

/// The hidden option: debug mode, and the arguments after it are not looked at.
inline constexpr char kDebugOption[] = "-silentdebug";

/// Reads `arguments[0]` as argument 1 and so on, in order; an empty text, or a
/// position at or beyond `count`, ends the list. Each argument is lower-cased (A-Z
/// only) and must equal an option text exactly. The first argument that is no
/// option is refused and ends the parsing, unless the hidden option came before it.
/// The list keeps its last position for End, so only 99 arguments can select
/// tests: a 100th argument is refused like an unknown one, unless it is the hidden
/// option, which stores nothing but End.
ParsedArguments ParseArgumentTexts(const ShortText* arguments, int count);

/// Parses the program's own arguments into runState.selection and
/// runState.debugMode. After the hidden option writes the three debug lines and an
/// empty line. A refused argument ends the run through FatalError with
/// "#033 unknown command line argument: " and the lower-cased argument.
void ParseArguments();

/// Writes the usage and requirements text.
void WriteUsageText();

/// Writes the usage text, waits for one key press and ends the process with code 0.
[[noreturn]] void PrintUsage();
