// Command texts as Windows programs read them: items split with the Windows rules,
// the program path at the front of a command line, and output redirection.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

/// Splits an argument text into items the way Windows programs do: characters of code
/// 32 or less separate items outside double quotes, a double quote opens or closes a
/// quoted stretch and is dropped, an empty pair of quotes between items gives nothing.
std::vector<std::string> SplitArguments(std::string_view text);

/// The text without the characters of code 32 or less at either end.
std::string_view TrimBlanks(std::string_view text);

/// Takes the first line off `text`, up to and with its "\n" (the whole text when it has
/// none), and returns it trimmed as by TrimBlanks, so a "\r" ending it goes too.
std::string_view TakeTrimmedLine(std::string_view& text);

/// The last part of a path after "\" or "/", lower-cased (A-Z only), with a final
/// ".exe" removed: the name a stand-in answers to.
std::string ProgramRole(std::string_view path);

/// The part of a Windows path up to its last "\" or "/" (without it); empty when the
/// path names no directory.
std::string DirectoryOf(std::string_view path);

/// The last part of a path, after its last "\" or "/" (or after "X:").
std::string BaseName(std::string_view path);

/// Joins a directory and a name with one "\"; a name that is already full (a drive
/// letter, or a leading "\" or "/") is returned as it is.
std::string JoinWindowsPath(std::string_view directory, std::string_view name);

/// A command line taken apart into the program path and the rest.
struct ProgramCall {
  std::string program;    ///< the path, quotes dropped; empty for an empty line
  std::string arguments;  ///< what follows it, leading blanks dropped
};

/// Finds the program path at the front of a command line as Windows does: a quoted
/// first item is the path; otherwise successively longer prefixes ending before a blank
/// are tried, each as written and with ".exe" added, and the first one for which
/// `isFile` answers true is the path. When none is a file, the first blank-delimited
/// item is taken (and the start then fails as for any missing program).
ProgramCall SplitProgramCall(std::string_view line,
                             const std::function<bool(const std::string&)>& isFile);

/// A command with its output redirection taken out.
struct RedirectedCommand {
  std::string command;  ///< the command without the redirection, trimmed
  std::string target;   ///< the file named after ">" or ">>", quotes dropped; empty if none
  bool append = false;  ///< ">>" was used
};

/// Takes the output redirection out of a command line: ">" or ">>" outside quotes,
/// then, after optional blanks, one item (quoted or up to the next blank). A number
/// right before ">" (as in "2>") is not treated specially. Returns false when a ">"
/// has no target or the redirection is given twice.
bool SplitRedirection(std::string_view line, RedirectedCommand& result);

/// True when the name is the null device ("nul", any case, with or without a colon).
bool IsNullDeviceName(std::string_view name);

/// Lower-cases A-Z only.
std::string LowerAscii(std::string_view text);
