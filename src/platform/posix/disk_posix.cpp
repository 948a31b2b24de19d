// POSIX backend only: free space of a drive's file system with statvfs.
#include <sys/statvfs.h>

#include <string>

#include "platform/disk.h"
#include "platform/posix/host_paths_posix.h"

namespace {

/// The bytes available to an unprivileged user on the drive's file system, as Windows
/// reports them to the caller; false when the drive does not exist or cannot be read.
bool AvailableBytes(int drive, unsigned long long& bytes) {
  char letter;
  if (drive == 0) {
    std::string current;
    if (!CurrentWindowsDirectory(current)) return false;
    letter = current[0];
  } else if (drive >= 1 && drive <= 26) {
    letter = static_cast<char>('A' + drive - 1);
  } else {
    return false;
  }
  std::string root;
  if (!DriveRoot(letter, root)) return false;
  struct statvfs volume;
  if (statvfs(root.c_str(), &volume) != 0) return false;
  bytes = static_cast<unsigned long long>(volume.f_bavail) * volume.f_frsize;
  return true;
}

}  // namespace

int32_t FreeDiskBytes(int drive) {
  unsigned long long bytes = 0;
  if (!AvailableBytes(drive, bytes)) return -1;
  return bytes > 2147483647ull ? 2147483647 : static_cast<int32_t>(bytes);
}

int64_t FreeDiskMebibytes(int drive) {
  unsigned long long bytes = 0;
  if (!AvailableBytes(drive, bytes)) return -1;
  return static_cast<int64_t>(bytes >> 20);
}
