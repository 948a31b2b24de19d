// Fuzzes the program's own arguments and the reading of the command line. The input,
// split at NUL bytes, is the argument vector after the program's name (an empty piece
// is an empty argument). CommandArgument must give the non-empty ones in order, each
// cut at 255 characters and terminated, and an empty text for every other number.
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
