// Finding installed programs on the drives, and presence and size checks of files.
#include "packs/file_checks.h"

#include <cstdlib>
#include <string_view>

#include "platform/directories.h"
#include "platform/io_result.h"
#include "platform/raw_file.h"

namespace {

constexpr std::string_view kSearchedDriveLetters = "CDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::string_view kEveryName = "*.*";

/// Names are the same when they differ at most in the case of A-Z.
bool SameName(const ShortText& a, const ShortText& b) {
  return SameIgnoringCase(a.view(), b.view());
}

/// Whether the tree search may list the subdirectory `name` of `dir`.
bool CanEnter(const ShortText& dir, const DirectoryEntry& entry) {
  if ((entry.attributes & kAttributeDirectory) == 0 || entry.leavesTree) return false;
  const std::string_view name = entry.name.view();
  if (name == "." || name == "..") return false;
  // A name holding a backslash (possible on a POSIX file system) would be read back
  // as several path parts, and "x\.." would list this directory again, for ever.
  if (name.find('\\') != std::string_view::npos) return false;
  // A path cut at 255 characters names another directory, possibly an ancestor; so
  // the subdirectory's path and the pattern after it must fit whole.
  return dir.length() + entry.name.length() + 1 + static_cast<int>(kEveryName.size()) <=
         ShortText::kCapacity;
}

/// Opens `name` in the current directory exclusively and gives its size. Leaves no
/// pending I/O result behind: a candidate that cannot be opened leaves no trace.
bool ReadExclusiveSize(const ShortText& name, int32_t& size) {
  // A code nobody took belongs to an earlier operation; it must not decide this one.
  TakeIoResult();
  RawFile file;
  OpenForReading(file, name);
  if (TakeIoResult() != 0) return false;
  size = FileLength(file);
  CloseFile(file);
  return TakeIoResult() == 0;
}

/// Runs ReadExclusiveSize in `dir` (empty: the current directory) and makes the
/// directory current again afterwards.
bool ReadExclusiveSizeIn(const ShortText& dir, const ShortText& name, int32_t& size) {
  const ShortText remembered = GetCurrentDirectoryPath();
  if (!ChangeDirectory(dir)) return false;
  const bool opened = ReadExclusiveSize(name, size);
  ChangeDirectory(remembered);
  return opened;
}

}  // namespace

ShortText FindProgramOnDrives(const ShortText& name, int32_t size) {
  const ShortText remembered = GetCurrentDirectoryPath();
  for (const char letter : kSearchedDriveLetters) {
    const ShortText root = ShortText(std::string_view(&letter, 1)) + ":\\";
    // Entering the root is how a drive (with a medium in it) is told to exist.
    if (!ChangeDirectory(root)) continue;
    const ShortText found = FindFileInTree(root, name, size);
    if (!found.empty()) {
      ChangeDirectory(remembered);
      return found;
    }
  }
  ChangeDirectory(remembered);
  return ShortText();
}

ShortText FindFileInTree(const ShortText& dir, const ShortText& name, int32_t size) {
  DirectorySearch search;
  DirectoryEntry entry;
  if (FindFirstEntry((dir + ShortText(kEveryName)).view(), kEveryEntry, search, entry) != 0) {
    return ShortText();
  }
  do {
    if (CanEnter(dir, entry)) {
      const ShortText found = FindFileInTree(dir + entry.name + "\\", name, size);
      if (!found.empty()) {
        EndSearch(search);
        return found;
      }
    }
    if (!SameName(entry.name, name)) continue;

    // The first name match ends the scan of this directory, whatever it holds.
    EndSearch(search);
    if (size == 0) return dir;
    if (!ChangeDirectory(dir)) return ShortText();
    int32_t actual = 0;
    return ReadExclusiveSize(entry.name, actual) && actual == size ? dir : ShortText();
  } while (FindNextEntry(search, entry) == 0);
  return ShortText();
}

bool CheckFile(const ShortText& dir, const ShortText& name, int32_t size) {
  if (name.empty()) return false;
  if (size == 0) return FileIsPresent(dir.empty() ? name : dir + "\\" + name);
  int32_t actual = 0;
  return ReadExclusiveSizeIn(dir, name, actual) && actual == size;
}

bool CheckFileSizeWithin(const ShortText& dir, const ShortText& name, int32_t expected,
                         int32_t tolerance) {
  if (name.empty()) return false;
  int32_t actual = 0;
  if (!ReadExclusiveSizeIn(dir, name, actual)) return false;
  // In 64 bits, so that no pair of 32-bit sizes can overflow the difference.
  return std::llabs(int64_t{actual} - int64_t{expected}) <= int64_t{tolerance};
}
