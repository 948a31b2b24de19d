// Directory searches: the rules both backends share, with no operating-system calls.
#include "platform/directories.h"

#include "platform/backend_shared.h"

namespace {

// The attributes a filter can exclude or require; read-only is not among them.
constexpr uint8_t kFilteredAttributes = kAttributeHidden | kAttributeSystem |
                                        kAttributeVolumeLabel | kAttributeDirectory |
                                        kAttributeArchive;

}  // namespace

bool EntryPassesFilter(uint8_t attributes, uint16_t filter) {
  const uint8_t allowed = static_cast<uint8_t>(filter & 0xFF);
  // Read-only never excludes, neither as a forbidden nor as a required attribute.
  const uint8_t required = static_cast<uint8_t>((filter >> 8) & kFilteredAttributes);
  if ((attributes & kFilteredAttributes & ~allowed) != 0) return false;
  return (attributes & required) == required;
}

bool FileIsPresent(const ShortText& name) {
  if (name.empty()) return false;
  DirectorySearch search;
  DirectoryEntry entry;
  if (FindFirstEntry(name.view(), kEveryEntry, search, entry) != 0) return false;
  EndSearch(search);
  // Only the first match counts: a directory found first hides any later file.
  return (entry.attributes & kAttributeDirectory) == 0;
}
