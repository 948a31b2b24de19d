// Fuzzes the reading of environment variables over an environment made from the input.
// The input, split at NUL bytes, gives the name asked for (its first piece; a byte 1 in
// it stands for a NUL, which no entry can hold) and the entries, as they are: without
// "=", starting with "=", with 8-bit bytes, with values far longer than 255 characters.
// Besides that name, the names of the first entries are asked for with their case
// turned round, so that matches are common, and with bit 0x20 of every byte turned
// round, which must match only where each changed byte is a letter. Each answer is
// checked against a plain restatement of the rule: the first entry whose first
// characters equal the name, "a" to "z" compared as capitals, and whose next character
// is "=", gives the rest of the entry cut at 255 characters; no such entry gives an
// empty text.
//
// POSIX only, as the fuzz build is: the environment block is the process's `environ`.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_pieces.h"
#include "platform/process.h"

extern char** environ;

namespace {

char Capital(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

char CaseTurned(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - ('a' - 'A'));
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c + ('a' - 'A'));
  return c;
}

std::string_view Reference(const std::vector<std::string>& entries, std::string_view name) {
  for (const std::string& entry : entries) {
    if (entry.size() <= name.size() || entry[name.size()] != '=') continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) same = Capital(entry[i]) == Capital(name[i]);
    if (same) return std::string_view(entry).substr(name.size() + 1, ShortText::kCapacity);
  }
  return {};
}

void Check(const std::vector<std::string>& entries, std::string_view name) {
  const ShortText value = GetEnvironmentValue(ShortText(name));
  // A name longer than a short text is asked for cut, as the program would hold it.
  const std::string_view wanted = Reference(entries, name.substr(0, ShortText::kCapacity));
  if (value.view() != wanted) std::abort();
  if (value.c_str()[value.length()] != '\0') std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> pieces = PiecesBetweenNuls(data, size);
  std::string name = pieces.front();
  for (char& c : name) {
    if (c == '\x01') c = '\0';
  }
  // An empty piece would end the block early: C environments have no empty entries.
  std::vector<std::string> entries;
  for (size_t i = 1; i < pieces.size(); ++i) {
    if (!pieces[i].empty()) entries.push_back(pieces[i]);
  }
  std::vector<char*> block;
  for (std::string& entry : entries) block.push_back(entry.data());
  block.push_back(nullptr);

  char** const saved = environ;
  environ = block.data();
  Check(entries, name);
  for (size_t i = 0; i < entries.size() && i < 8; ++i) {
    const std::string& entry = entries[i];
    // Names end at an "=": the first one, and the last one (a name may hold "=").
    for (const size_t equals : {entry.find('='), entry.rfind('=')}) {
      if (equals == std::string::npos) continue;
      std::string turned = entry.substr(0, equals);
      std::string flipped = turned;
      for (char& c : turned) c = CaseTurned(c);
      for (char& c : flipped) c = static_cast<char>(c ^ 0x20);
      Check(entries, turned);
      Check(entries, flipped);
    }
  }
  environ = saved;
  return 0;
}
