// Registry settings as ".reg" text: portable, no operating-system calls.
#include "registry_file.h"

#include "command_text.h"
#include "platform/short_text.h"

namespace {

RegistryKey* FindKey(RegistryContents& registry, std::string_view path) {
  for (RegistryKey& key : registry.keys) {
    if (SameIgnoringCase(key.path, path)) return &key;
  }
  return nullptr;
}

const RegistryValue* FindValue(const RegistryContents& registry, std::string_view key,
                               std::string_view name) {
  for (const RegistryKey& candidate : registry.keys) {
    if (!SameIgnoringCase(candidate.path, key)) continue;
    for (const RegistryValue& value : candidate.values) {
      if (SameIgnoringCase(value.name, name)) return &value;
    }
  }
  return nullptr;
}

// Reads a quoted name or string starting at `at` (on the opening quote); "\\" and "\""
// stand for one character. Returns the position after the closing quote, or npos.
size_t ReadQuoted(std::string_view line, size_t at, std::string& text) {
  for (++at; at < line.size(); ++at) {
    if (line[at] == '"') return at + 1;
    if (line[at] == '\\' && at + 1 < line.size()) ++at;
    text += line[at];
  }
  return std::string_view::npos;
}

}  // namespace

bool ImportRegistryText(std::string_view text, RegistryContents& registry, std::string& error) {
  RegistryContents merged = registry;
  RegistryKey* current = nullptr;
  bool headerSeen = false;
  int number = 0;
  while (!text.empty()) {
    const std::string_view line = TakeTrimmedLine(text);
    ++number;
    const auto fail = [&](const std::string& why) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    };
    if (line.empty() || line.front() == ';') continue;
    if (!headerSeen) {
      if (line != "REGEDIT4" && line != "Windows Registry Editor Version 5.00") {
        return fail("not a registry file");
      }
      headerSeen = true;
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']' || line.size() < 3) return fail("bad key line");
      std::string_view path = line.substr(1, line.size() - 2);
      if (path.front() == '-') {
        path.remove_prefix(1);
        const std::string prefix = LowerAscii(path) + "\\";
        std::vector<RegistryKey> kept;
        for (RegistryKey& key : merged.keys) {
          const std::string lowered = LowerAscii(key.path);
          if (!SameIgnoringCase(key.path, path) && lowered.compare(0, prefix.size(), prefix) != 0) {
            kept.push_back(std::move(key));
          }
        }
        merged.keys = std::move(kept);
        current = nullptr;
        continue;
      }
      current = FindKey(merged, path);
      if (current == nullptr) {
        merged.keys.push_back(RegistryKey{std::string(path), {}});
        current = &merged.keys.back();
      }
      continue;
    }
    if (current == nullptr) return fail("value outside a key");
    std::string name;
    size_t at = 0;
    if (line.front() == '@') {
      name = "@";
      at = 1;
    } else if (line.front() == '"') {
      at = ReadQuoted(line, 0, name);
      if (at == std::string_view::npos) return fail("unterminated name");
    } else {
      return fail("bad value line");
    }
    if (at >= line.size() || line[at] != '=') return fail("no \"=\" after the name");
    const std::string data(TrimBlanks(line.substr(at + 1)));
    if (data.empty()) return fail("no data");
    std::vector<RegistryValue>& values = current->values;
    size_t found = values.size();
    for (size_t i = 0; i < values.size(); ++i) {
      if (SameIgnoringCase(values[i].name, name)) found = i;
    }
    if (data == "-") {
      if (found < values.size()) values.erase(values.begin() + static_cast<long>(found));
    } else if (found < values.size()) {
      values[found].data = data;
    } else {
      values.push_back(RegistryValue{name, data});
    }
  }
  if (!headerSeen) {
    error = "not a registry file";
    return false;
  }
  registry = std::move(merged);
  return true;
}

std::string ExportRegistryText(const RegistryContents& registry) {
  std::string text = "REGEDIT4\r\n";
  for (const RegistryKey& key : registry.keys) {
    text += "\r\n[" + key.path + "]\r\n";
    for (const RegistryValue& value : key.values) {
      if (value.name == "@") {
        text += "@";
      } else {
        text += "\"";
        for (const char c : value.name) {
          if (c == '"' || c == '\\') text += '\\';
          text += c;
        }
        text += "\"";
      }
      text += "=" + value.data + "\r\n";
    }
  }
  return text;
}

bool FindRegistryString(const RegistryContents& registry, std::string_view key,
                        std::string_view name, std::string& value) {
  const RegistryValue* found = FindValue(registry, key, name);
  if (found == nullptr || found->data.empty() || found->data.front() != '"') return false;
  value.clear();
  return ReadQuoted(found->data, 0, value) == found->data.size();
}

bool FindRegistryNumber(const RegistryContents& registry, std::string_view key,
                        std::string_view name, uint32_t& value) {
  const RegistryValue* found = FindValue(registry, key, name);
  if (found == nullptr) return false;
  const std::string data = LowerAscii(found->data);
  constexpr std::string_view kDword = "dword:";
  if (data.compare(0, kDword.size(), kDword) != 0 || data.size() == kDword.size() ||
      data.size() > kDword.size() + 8) {
    return false;
  }
  uint32_t number = 0;
  for (size_t i = kDword.size(); i < data.size(); ++i) {
    const char c = data[i];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) return false;
    number = number * 16 + static_cast<uint32_t>(digit);
  }
  value = number;
  return true;
}
