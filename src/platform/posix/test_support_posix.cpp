// POSIX tests only: large files, sparse wherever the file system has holes.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/test_support.h"

std::string MakeSparseFile(const std::string& path, std::uintmax_t size) {
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file < 0) return "cannot create " + path + ": " + std::strerror(errno);
  // Extending by the length leaves a hole on every file system that has them; FAT
  // refuses 4 GiB outright.
  const bool done = ftruncate(file, static_cast<off_t>(size)) == 0;
  const std::string failure = done ? "" : "cannot extend " + path + ": " + std::strerror(errno);
  close(file);
  if (!done) unlink(path.c_str());
  return failure;
}
