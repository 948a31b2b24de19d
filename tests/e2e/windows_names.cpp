#include "windows_names.h"

#include <system_error>

#include "platform/short_text.h"

namespace fs = std::filesystem;

fs::path FindEntry(const fs::path& folder, const std::string& name) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(folder / name, error))) return folder / name;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (SameIgnoringCase(entry.path().filename().string(), name)) return entry.path();
  }
  return fs::path();
}
