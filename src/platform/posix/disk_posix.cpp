// POSIX backend only: free space of a drive's file system with statvfs.
#include <sys/statvfs.h>

#include <string>

#include "platform/disk.h"
#include "platform/posix/host_paths_posix.h"

int32_t FreeDiskBytes(int drive) {
  char letter;
  if (drive == 0) {
    std::string current;
    if (!CurrentWindowsDirectory(current)) return -1;
    letter = current[0];
  } else if (drive >= 1 && drive <= 26) {
    letter = static_cast<char>('A' + drive - 1);
  } else {
    return -1;
  }
  std::string root;
  if (!DriveRoot(letter, root)) return -1;
  struct statvfs volume;
  if (statvfs(root.c_str(), &volume) != 0) return -1;
  // What an unprivileged user may still use, as Windows reports it to the caller.
  const unsigned long long bytes =
      static_cast<unsigned long long>(volume.f_bavail) * volume.f_frsize;
  return bytes > 2147483647ull ? 2147483647 : static_cast<int32_t>(bytes);
}
