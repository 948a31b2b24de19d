// Fuzzes the program's own arguments and the reading of the command line. The input,
// split at NUL bytes, is the argument vector after the program's name (an empty piece
// is an empty argument). CommandArgument must give the non-empty ones in order, each
// cut at 255 characters and terminated, and an empty text for every other number.
// The same pieces, written into a Windows command line (each quoted, or bare where it
// holds no blank or control character, the double quotes in it dropped), must come
// back from ArgumentOfCommandLine; the whole input taken as a command line must give
// terminated texts of at most 255 characters.
// The parser, fed as the program feeds it, must keep its last position for End, store
// only options, and stop at exactly the argument that its rules stop at.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_pieces.h"
#include "platform/posix/backend_posix.h"
#include "platform/process.h"
#include "platform/win32/command_line_win32.h"
#include "run/command_line.h"
#include "run/run_state.h"

namespace {

void Expect(bool condition) {
  if (!condition) std::abort();
}

bool Terminated(const ShortText& text) {
  return text.length() <= ShortText::kCapacity && text.c_str()[text.length()] == '\0';
}

// Only "A" to "Z" change, each to its lower-case letter.
bool LowerCased(const ShortText& lowered, std::string_view original) {
  if (static_cast<size_t>(lowered.length()) != original.size()) return false;
  for (size_t i = 0; i < original.size(); ++i) {
    const char c = original[i];
    const char wanted = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
    if (lowered[static_cast<int>(i)] != wanted) return false;
  }
  return true;
}

// Writes the pieces into a Windows command line after a quoted program path with a
// blank in it, and returns what each argument must read back as.
std::vector<std::string> WriteCommandLine(const std::vector<std::string>& pieces,
                                          std::string& line) {
  line = "\"C:\\Program Files\\zentravo-kelv-tarsel.exe\"";
  std::vector<std::string> arguments;
  for (size_t i = 0; i < pieces.size(); ++i) {
    std::string text;
    bool bare = true;
    for (const char c : pieces[i]) {
      if (c == '"') continue;
      if (static_cast<unsigned char>(c) <= 32) bare = false;
      text += c;
    }
    // An empty text would be an empty pair of quotes, which is no argument.
    if (text.empty()) continue;
    // Separators vary: a blank, a tab, or an empty pair of quotes between blanks.
    static const char* const kSeparators[] = {" ", "\t", " \"\" "};
    line += kSeparators[i % 3];
    line += bare && i % 2 == 0 ? text : "\"" + text + "\"";
    arguments.push_back(text.substr(0, ShortText::kCapacity));
  }
  return arguments;
}

bool IsOption(const ShortText& lowered) {
  for (const SelectionDefinition& definition : kSelectionDefinitions) {
    if (!definition.option.empty() && lowered.view() == definition.option) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> pieces = PiecesBetweenNuls(data, size);
  std::string programName = "zentravo-kelv-tarsel";
  std::vector<char*> argv = {programName.data()};
  for (std::string& piece : pieces) argv.push_back(piece.data());
  argv.push_back(nullptr);
  SetCommandArguments(static_cast<int>(argv.size() - 1), argv.data());

  std::vector<std::string_view> expected;
  for (const std::string& piece : pieces) {
    if (!piece.empty()) expected.push_back(std::string_view(piece).substr(0, ShortText::kCapacity));
  }
  const int count = static_cast<int>(expected.size());
  for (int n = 1; n <= count; ++n) {
    const ShortText argument = CommandArgument(n);
    Expect(argument.view() == expected[static_cast<size_t>(n - 1)]);
    Expect(Terminated(argument));
  }
  for (const int beyond : {count + 1, count + 2, 0, -1, INT_MAX, INT_MIN}) {
    const ShortText argument = CommandArgument(beyond);
    Expect(argument.empty() && Terminated(argument));
  }

  std::string line;
  const std::vector<std::string> written = WriteCommandLine(pieces, line);
  const int writtenCount = static_cast<int>(written.size());
  for (int n = 1; n <= writtenCount; ++n) {
    Expect(ArgumentOfCommandLine(line, n).view() == written[static_cast<size_t>(n - 1)]);
  }
  Expect(ArgumentOfCommandLine(line, writtenCount + 1).empty());
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  for (int n = 0; n <= 4; ++n) Expect(Terminated(ArgumentOfCommandLine(raw, n)));

  // The program reads one argument more than the list can hold, then parses.
  std::vector<ShortText> read;
  while (static_cast<int>(read.size()) < kSelectionPositions) {
    const ShortText argument = CommandArgument(static_cast<int>(read.size()) + 1);
    if (argument.empty()) break;
    Expect(LowerCased(LowerCase(argument), argument.view()));
    read.push_back(argument);
  }
  const ParsedArguments parsed = ParseArgumentTexts(read.data(), static_cast<int>(read.size()));

  int stored = 0;
  while (stored < kSelectionPositions && parsed.selection[stored] != SelectionCode::End) {
    // Each stored code is the option that its argument names.
    Expect(DefinitionOf(parsed.selection[stored]).option ==
           LowerCase(read[static_cast<size_t>(stored)]).view());
    ++stored;
  }
  Expect(stored < kSelectionPositions);
  for (int position = stored; position < kSelectionPositions; ++position) {
    Expect(parsed.selection[position] == SelectionCode::End);
  }
  Expect(!(parsed.rejected && parsed.debugMode));
  if (stored == static_cast<int>(read.size())) {
    // Every argument was taken: nothing left to refuse or to switch debug mode on.
    Expect(!parsed.rejected && !parsed.debugMode && parsed.rejectedArgument.empty());
    return 0;
  }
  // Parsing stopped at argument stored + 1, for the hidden option or a refusal.
  const ShortText stoppedAt = LowerCase(read[static_cast<size_t>(stored)]);
  Expect(parsed.rejected || parsed.debugMode);
  if (parsed.debugMode) {
    Expect(stoppedAt.view() == kDebugOption && parsed.rejectedArgument.empty());
  } else {
    Expect(parsed.rejectedArgument == stoppedAt && stoppedAt.view() != kDebugOption);
    // An option is refused only where the list has no room left for it.
    Expect(!IsOption(stoppedAt) || stored == kSelectionPositions - 1);
  }
  return 0;
}
