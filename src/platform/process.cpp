// Running programs and the environment: the rules both backends share, with no
// operating-system calls.
#include "platform/process.h"

#include "platform/backend_shared.h"
#include "platform/win32/command_line_win32.h"

namespace {

RunMode runMode = RunMode::WaitForExit;

// Scans one item starting at `at` (which is not a separator): up to the next
// character of code 32 or less outside double quotes, the quotes dropped; each of its
// characters goes to `take`, when there is one.
size_t ScanItem(std::string_view line, size_t at, CharacterSink take, void* context) {
  bool quoted = false;
  for (; at < line.size(); ++at) {
    const unsigned char c = static_cast<unsigned char>(line[at]);
    if (c == '"') {
      quoted = !quoted;
    } else if (c <= 32 && !quoted) {
      break;
    } else if (take != nullptr) {
      take(line[at], context);
    }
  }
  return at;
}

// Skips characters 1 to 32 and empty pairs of double quotes.
size_t SkipSeparators(std::string_view line, size_t at) {
  while (at < line.size()) {
    const unsigned char c = static_cast<unsigned char>(line[at]);
    if (c >= 1 && c <= 32) {
      ++at;
    } else if (c == '"' && at + 1 < line.size() && line[at + 1] == '"') {
      at += 2;
    } else {
      break;
    }
  }
  return at;
}

}  // namespace

void SetRunMode(RunMode mode) {
  runMode = mode;
}

int32_t RunProgram(const ShortText& program, const ShortText& arguments) {
  return StartProgram(program, arguments, runMode == RunMode::WaitForExit, 0, nullptr);
}

int32_t RunProgramWithTicks(const ShortText& program, const ShortText& arguments, int intervalMs,
                            void (*tick)()) {
  return StartProgram(program, arguments, true, intervalMs, tick);
}

const char* ValueOfEntryNamed(const char* entry, const ShortText& name) {
  int i = 0;
  while (i < name.length() && entry[i] != '\0' && UpperAscii(entry[i]) == UpperAscii(name[i])) {
    ++i;
  }
  return i == name.length() && entry[i] == '=' ? entry + i + 1 : nullptr;
}

void ScanArgumentOfCommandLine(std::string_view commandLine, int n, CharacterSink take,
                               void* context) {
  // The line ends at its first NUL, as the system hands it over.
  const size_t nul = commandLine.find('\0');
  if (nul != std::string_view::npos) commandLine = commandLine.substr(0, nul);
  if (n < 1) return;

  // The program's name goes first, as one item even when quoted with blanks in it.
  size_t at = 0;
  while (at < commandLine.size() && static_cast<unsigned char>(commandLine[at]) <= 32) ++at;
  at = ScanItem(commandLine, at, nullptr, nullptr);

  for (int index = 1;; ++index) {
    at = SkipSeparators(commandLine, at);
    if (at >= commandLine.size()) return;
    at = ScanItem(commandLine, at, index == n ? take : nullptr, context);
    if (index == n) return;
  }
}

ShortText ArgumentOfCommandLine(std::string_view commandLine, int n) {
  ShortText argument;
  // Appending past 255 is dropped by ShortText; the scan goes on to the item's end.
  ScanArgumentOfCommandLine(
      commandLine, n,
      [](char c, void* context) { *static_cast<ShortText*>(context) += std::string_view(&c, 1); },
      &argument);
  return argument;
}
