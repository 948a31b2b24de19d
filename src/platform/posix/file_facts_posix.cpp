// POSIX backend only: file facts with stat.
#include <limits.h>
#include <sys/stat.h>

#include <string>

#include "platform/file_facts.h"
#include "platform/posix/host_paths_posix.h"

namespace {

bool Take(const struct stat& status, FileFacts& facts) {
  facts.isDirectory = S_ISDIR(status.st_mode);
  facts.isRegular = S_ISREG(status.st_mode);
  facts.size = static_cast<int64_t>(status.st_size);
  facts.modified =
      static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  facts.volume = static_cast<uint64_t>(status.st_dev);
  facts.index = static_cast<uint64_t>(status.st_ino);
  return true;
}

}  // namespace

const int kLongestPath = PATH_MAX - 1;

bool ReadFileFacts(std::string_view path, FileFacts& facts) {
  std::string host;
  if (path.empty() || !MapToHostPath(path, host)) return false;
  struct stat status;
  return stat(host.c_str(), &status) == 0 && Take(status, facts);
}

bool ReadOpenFileFacts(const TextFile& file, FileFacts& facts) {
  if (file.state == TextFileState::Closed) return false;
  struct stat status;
  return fstat(static_cast<int>(file.handle), &status) == 0 && Take(status, facts);
}
