// Command texts as Windows programs read them: portable, no operating-system calls.
#include "command_text.h"

#include <algorithm>

namespace {

bool IsSeparator(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}

// Reads one item starting at `at`: up to the next separator outside quotes, the quotes
// dropped. Returns the position after it.
size_t ReadItem(std::string_view text, size_t at, std::string& item) {
  bool quoted = false;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && IsSeparator(c)) {
      break;
    } else {
      item += c;
    }
  }
  return at;
}

}  // namespace

std::string LowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

std::vector<std::string> SplitArguments(std::string_view text) {
  std::vector<std::string> items;
  size_t at = 0;
  while (true) {
    while (at < text.size() && IsSeparator(text[at])) ++at;
    if (at >= text.size()) break;
    std::string item;
    const size_t end = ReadItem(text, at, item);
    // An empty pair of quotes stands for no item at all, as Windows skips it.
    const bool onlyQuotes = item.empty();
    at = end;
    if (!onlyQuotes) items.push_back(item);
  }
  return items;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsSeparator(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSeparator(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view TakeTrimmedLine(std::string_view& text) {
  const size_t end = std::min(text.find('\n'), text.size());
  const std::string_view line = text.substr(0, end);
  text.remove_prefix(end < text.size() ? end + 1 : end);
  return TrimBlanks(line);
}

std::string ProgramRole(std::string_view path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsPathSeparator(path[i])) start = i + 1;
  }
  std::string role = LowerAscii(path.substr(start));
  constexpr std::string_view kExe = ".exe";
  if (role.size() > kExe.size() &&
      role.compare(role.size() - kExe.size(), kExe.size(), kExe) == 0) {
    role.resize(role.size() - kExe.size());
  }
  return role;
}

std::string DirectoryOf(std::string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsPathSeparator(path[i - 1])) {
      // Keep the separator of a drive root ("C:\"), which is its own directory.
      if (i == 3 && path[1] == ':') return std::string(path.substr(0, 3));
      return std::string(path.substr(0, i - 1));
    }
  }
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  return std::string();
}

std::string BaseName(std::string_view path) {
  const size_t separator = path.find_last_of("\\/:");
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

std::string JoinWindowsPath(std::string_view directory, std::string_view name) {
  const bool full =
      (name.size() >= 2 && name[1] == ':') || (!name.empty() && IsPathSeparator(name[0]));
  if (full || directory.empty()) return std::string(name);
  std::string joined(directory);
  if (!IsPathSeparator(joined.back())) joined += '\\';
  joined += name;
  return joined;
}

ProgramCall SplitProgramCall(std::string_view line,
                             const std::function<bool(const std::string&)>& isFile) {
  line = TrimBlanks(line);
  ProgramCall call;
  if (line.empty()) return call;
  if (line.front() == '"') {
    const size_t close = line.find('"', 1);
    if (close == std::string_view::npos) {
      call.program = std::string(line.substr(1));
      return call;
    }
    call.program = std::string(line.substr(1, close - 1));
    call.arguments = std::string(TrimBlanks(line.substr(close + 1)));
    return call;
  }
  // Try every prefix that ends before a blank, then the whole line.
  for (size_t end = 0; end <= line.size(); ++end) {
    if (end < line.size() && line[end] != ' ') continue;
    const std::string prefix(line.substr(0, end));
    if (prefix.empty() || prefix.back() == ' ') continue;
    if (isFile(prefix) || isFile(prefix + ".exe")) {
      call.program = isFile(prefix) ? prefix : prefix + ".exe";
      call.arguments = std::string(TrimBlanks(line.substr(end)));
      return call;
    }
  }
  size_t end = 0;
  while (end < line.size() && !IsSeparator(line[end])) ++end;
  call.program = std::string(line.substr(0, end));
  call.arguments = std::string(TrimBlanks(line.substr(end)));
  return call;
}

bool SplitRedirection(std::string_view line, RedirectedCommand& result) {
  result = RedirectedCommand();
  std::string command;
  bool quoted = false;
  bool found = false;
  for (size_t at = 0; at < line.size();) {
    const char c = line[at];
    if (c == '"') quoted = !quoted;
    if (quoted || c != '>') {
      command += c;
      ++at;
      continue;
    }
    if (found) return false;
    found = true;
    ++at;
    if (at < line.size() && line[at] == '>') {
      result.append = true;
      ++at;
    }
    while (at < line.size() && line[at] == ' ') ++at;
    at = ReadItem(line, at, result.target);
    if (result.target.empty()) return false;
  }
  result.command = std::string(TrimBlanks(command));
  return true;
}

bool IsNullDeviceName(std::string_view name) {
  const std::string lowered = LowerAscii(name);
  return lowered == "nul" || lowered == "nul:";
}
