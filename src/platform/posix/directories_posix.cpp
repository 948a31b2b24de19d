// POSIX backend only: the current directory, simple file operations and directory
// searches over readdir, with Windows names, wildcards and attributes.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/backend_shared.h"
#include "platform/directories.h"
#include "platform/io_result.h"
#include "platform/posix/held_files_posix.h"
#include "platform/posix/host_paths_posix.h"

namespace {

constexpr int32_t kNoMoreFiles = 18;

/// A running search: the listed directory and the last part of the pattern.
struct Search {
  DIR* listing = nullptr;
  int directoryFd = -1;
  std::string directory;
  std::string pattern;
  bool mountsRead = false;
  std::vector<std::string> mountedNames;  ///< entries of the directory that are mount points
};

Search* SearchOf(const DirectorySearch& search) {
  return reinterpret_cast<Search*>(search.state);
}

bool HasWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string::npos;
}

bool IsDots(std::string_view name) {
  return name == "." || name == "..";
}

// Last-write time in local time, packed the DOS way; DOS dates run from 1980 to 2107.
uint32_t DosTime(time_t seconds) {
  struct tm local;
  if (localtime_r(&seconds, &local) == nullptr) return 0;
  const int year = local.tm_year + 1900;
  if (year < 1980) return (1u << 21) | (1u << 16);
  if (year > 2107) return 0xFF9FBF7Du;
  const uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) |
                        (static_cast<uint32_t>(local.tm_mon + 1) << 5) |
                        static_cast<uint32_t>(local.tm_mday);
  const uint32_t time = (static_cast<uint32_t>(local.tm_hour) << 11) |
                        (static_cast<uint32_t>(local.tm_min) << 5) |
                        static_cast<uint32_t>(local.tm_sec / 2);
  return (date << 16) | time;
}

void FillFromStatus(const struct stat& status, DirectoryEntry& entry) {
  // Sizes of 2 GiB and more saturate rather than wrap to a small size that could pass a
  // size check.
  entry.size = status.st_size > 2147483647 ? 2147483647u : static_cast<uint32_t>(status.st_size);
  entry.time = DosTime(status.st_mtime);
  if (!S_ISDIR(status.st_mode) && (status.st_mode & S_IWUSR) == 0) {
    entry.attributes |= kAttributeReadOnly;
  }
}

// Mount paths in /proc/self/mountinfo write blanks, tabs, newlines and backslashes as
// three octal digits after a backslash.
std::string UnescapeMountPath(std::string_view text) {
  std::string path;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool octal = text[i] == '\\' && i + 3 < text.size() &&
                       std::all_of(text.begin() + i + 1, text.begin() + i + 4,
                                   [](char c) { return c >= '0' && c <= '7'; });
    if (octal) {
      path += static_cast<char>(((text[i + 1] - '0') << 6) | ((text[i + 2] - '0') << 3) |
                                (text[i + 3] - '0'));
      i += 3;
    } else {
      path += text[i];
    }
  }
  return path;
}

// Learns which entries of the listed directory are mount points. The listing cannot
// tell, and asking the file system about every subdirectory would cost a query per
// entry; the mount table is read once per search instead, and only when needed.
void ReadMountPoints(Search& search) {
  search.mountsRead = true;
  char resolved[PATH_MAX];
  if (realpath(search.directory.c_str(), resolved) == nullptr) return;
  const std::string here(resolved);
  const int fd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  std::string table;
  char chunk[4096];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    table.append(chunk, static_cast<size_t>(got));
  }
  close(fd);
  size_t lineStart = 0;
  while (lineStart < table.size()) {
    size_t lineEnd = table.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = table.size();
    const std::string_view line(table.data() + lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    // The fifth field is the mount point.
    size_t fieldStart = 0;
    for (int field = 0; field < 4 && fieldStart != std::string::npos; ++field) {
      fieldStart = line.find(' ', fieldStart);
      if (fieldStart != std::string::npos) ++fieldStart;
    }
    if (fieldStart == std::string::npos) continue;
    const size_t fieldEnd = line.find(' ', fieldStart);
    const std::string mountPoint = UnescapeMountPath(line.substr(
        fieldStart, fieldEnd == std::string::npos ? std::string::npos : fieldEnd - fieldStart));
    const size_t slash = mountPoint.rfind('/');
    if (slash == std::string::npos || slash + 1 >= mountPoint.size()) continue;
    const std::string parent = slash == 0 ? std::string("/") : mountPoint.substr(0, slash);
    if (parent == here) search.mountedNames.push_back(mountPoint.substr(slash + 1));
  }
}

bool IsMountPoint(Search& search, const std::string& name) {
  if (!search.mountsRead) ReadMountPoints(search);
  return std::find(search.mountedNames.begin(), search.mountedNames.end(), name) !=
         search.mountedNames.end();
}

// Describes one entry of the listed directory. The listing's type is trusted where it
// tells a directory from a file; only links and unknown types are looked at further, so
// a search asks the file system nothing beyond the listing in the usual case. Then
// size, time and read-only are not known and stay 0. False when the entry is gone.
bool Describe(Search& search, const std::string& name, unsigned char type, DirectoryEntry& entry) {
  entry = DirectoryEntry();
  entry.name = ShortText(std::string_view(name));
  // Files whose names start with a dot are hidden, as Wine shows them.
  if (name[0] == '.' && !IsDots(name)) entry.attributes |= kAttributeHidden;
  struct stat status;
  if (type == DT_UNKNOWN) {
    if (fstatat(search.directoryFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return false;
    type = S_ISLNK(status.st_mode) ? DT_LNK : (S_ISDIR(status.st_mode) ? DT_DIR : DT_REG);
    if (type != DT_LNK) FillFromStatus(status, entry);
  }
  if (type == DT_LNK) {
    // A link is classified by what it leads to, but a tree search never follows it.
    entry.leavesTree = true;
    if (fstatat(search.directoryFd, name.c_str(), &status, 0) == 0) {
      type = S_ISDIR(status.st_mode) ? DT_DIR : DT_REG;
      FillFromStatus(status, entry);
    } else {
      type = DT_REG;  // a dangling link is still an entry, as on Windows
    }
  }
  if (type == DT_DIR) {
    entry.attributes |= kAttributeDirectory;
    if (!entry.leavesTree && !IsDots(name) && IsMountPoint(search, name)) entry.leavesTree = true;
  } else {
    entry.attributes |= kAttributeArchive;
  }
  return true;
}

void Release(Search* search) {
  if (search->listing != nullptr) {
    closedir(search->listing);
  } else if (search->directoryFd >= 0) {
    close(search->directoryFd);
  }
  delete search;
}

// A name without wildcards is looked up like any path, so that it is found with the
// same case rules and without reading a large directory through.
int32_t FindOneName(const WindowsPath& path, Search& search, uint16_t filter,
                    DirectoryEntry& entry) {
  std::string host;
  if (!HostPathOf(path, host)) return kIoPathNotFound;
  struct stat status;
  if (lstat(host.c_str(), &status) != 0) return IoCodeOfErrno(errno, host);
  search.directoryFd = open(search.directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (search.directoryFd < 0) return IoCodeOfErrno(errno);
  DirectoryEntry found;
  if (!Describe(search, host.substr(host.rfind('/') + 1), DT_UNKNOWN, found)) {
    return kIoFileNotFound;
  }
  if (!EntryPassesFilter(found.attributes, filter)) return kIoFileNotFound;
  entry = found;
  return 0;
}

}  // namespace

ShortText GetCurrentDirectoryPath() {
  std::string path;
  if (!CurrentWindowsDirectory(path)) return ShortText();
  return ShortText(std::string_view(path));
}

bool ChangeDirectory(const ShortText& path) {
  if (path.empty()) return true;
  std::string host;
  return MapToHostPath(path.view(), host) && chdir(host.c_str()) == 0;
}

bool MakeDirectory(const ShortText& path) {
  std::string host;
  if (path.empty() || !MapToHostPath(path.view(), host)) return false;
  return mkdir(host.c_str(), 0777) == 0;
}

bool RemoveFile(const ShortText& name) {
  std::string host;
  if (name.empty() || !MapToHostPath(name.view(), host)) return false;
  struct stat status;
  if (lstat(host.c_str(), &status) != 0) return false;
  if (S_ISLNK(status.st_mode)) {
    // Deleting a link removes the link alone; a link to a directory is a directory.
    struct stat target;
    if (stat(host.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) return false;
    return unlink(host.c_str()) == 0;
  }
  if (S_ISDIR(status.st_mode)) return false;
  // Windows refuses to delete a read-only file, where root could unlink it.
  if ((status.st_mode & S_IWUSR) == 0) return false;
  if (S_ISREG(status.st_mode)) {
    const int fd = open(host.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
      // Someone else holds a lease on it right now: it is in use.
      if (errno == EWOULDBLOCK) return false;
    } else {
      const bool held = FileHeldElsewhere(fd);
      close(fd);
      if (held) return false;
    }
  }
  return unlink(host.c_str()) == 0;
}

int32_t FindFirstEntry(std::string_view pattern, uint16_t filter, DirectorySearch& search,
                       DirectoryEntry& entry) {
  EndSearch(search);
  search.filter = filter;
  WindowsPath path;
  if (!ResolveWindowsPath(pattern, path)) return kIoPathNotFound;
  // A drive root or an empty path names no entry.
  if (path.parts.empty()) return kIoFileNotFound;
  WindowsPath directoryPath = path;
  directoryPath.parts.pop_back();
  Search* state = new Search;
  state->pattern = path.parts.back();
  if (!HostPathOf(directoryPath, state->directory)) {
    Release(state);
    return kIoPathNotFound;
  }
  if (!HasWildcard(state->pattern)) {
    const int32_t code = FindOneName(path, *state, filter, entry);
    Release(state);
    return code;
  }
  const int fd = open(state->directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  state->listing = fd >= 0 ? fdopendir(fd) : nullptr;
  if (state->listing == nullptr) {
    const int error = errno;
    if (fd >= 0) close(fd);
    Release(state);
    return error == ENOENT ? kIoPathNotFound : IoCodeOfErrno(error);
  }
  state->directoryFd = fd;
  search.state = reinterpret_cast<intptr_t>(state);
  // No match at all is "file not found", as FindFirstFile says it.
  return FindNextEntry(search, entry) == 0 ? 0 : kIoFileNotFound;
}

int32_t FindNextEntry(DirectorySearch& search, DirectoryEntry& entry) {
  Search* state = SearchOf(search);
  if (state == nullptr) return kNoMoreFiles;
  while (const dirent* listed = readdir(state->listing)) {
    const std::string name(listed->d_name);
    if (!MatchesWildcard(state->pattern, name)) continue;
    DirectoryEntry found;
    if (!Describe(*state, name, listed->d_type, found)) continue;
    if (!EntryPassesFilter(found.attributes, search.filter)) continue;
    entry = found;
    return 0;
  }
  EndSearch(search);
  return kNoMoreFiles;
}

void EndSearch(DirectorySearch& search) {
  if (search.state != 0) Release(SearchOf(search));
  search.state = 0;
}
