// Registry settings as ".reg" text ("REGEDIT4" or version 5 files): the settings files
// of the test packs, and the registry of a simulated POSIX machine, kept as one such
// file that imports are merged into.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// One value: its name ("@" is the default value) and its data as the file writes it
/// after "=", e.g. "\"text\"" or "dword:0000000a".
struct RegistryValue {
  std::string name;
  std::string data;
};

struct RegistryKey {
  std::string path;  ///< e.g. "HKEY_CURRENT_USER\Software\Maker\Program"
  std::vector<RegistryValue> values;
};

/// A set of keys; key paths and value names compare regardless of the case of A-Z.
struct RegistryContents {
  std::vector<RegistryKey> keys;
};

/// Merges a ".reg" text into `registry`: "[key]" selects (and creates) a key, "[-key]"
/// deletes it with its subkeys, "name"=data sets a value, "name"=- deletes it. False
/// with a reason when the header is missing or a line cannot be read; then nothing of
/// the text has been merged.
bool ImportRegistryText(std::string_view text, RegistryContents& registry, std::string& error);

/// The registry as a "REGEDIT4" text with CR LF line ends.
std::string ExportRegistryText(const RegistryContents& registry);

/// The data of a string value; false when the key or value is missing or is no string.
bool FindRegistryString(const RegistryContents& registry, std::string_view key,
                        std::string_view name, std::string& value);

/// The data of a dword value; false when missing or not a dword.
bool FindRegistryNumber(const RegistryContents& registry, std::string_view key,
                        std::string_view name, uint32_t& value);
