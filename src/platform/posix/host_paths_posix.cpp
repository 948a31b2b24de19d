// POSIX backend only: drive letters, Windows path texts and host paths, errno codes.
#include "platform/posix/host_paths_posix.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/io_result.h"
#include "platform/short_text.h"

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string JoinHost(const std::string& directory, std::string_view name) {
  std::string joined = directory;
  if (joined.empty() || joined.back() != '/') joined += '/';
  joined += name;
  return joined;
}

// Adds the parts of a relative Windows text to `parts`, folding "." and ".." as
// Windows does before it touches the file system.
void AppendParts(std::string_view text, std::vector<std::string>& parts) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSeparator(text[i])) ++i;
    size_t end = i;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    const std::string_view part = text.substr(i, end - i);
    if (part.empty() || part == ".") {
      // nothing to add
    } else if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.emplace_back(part);
    }
    i = end;
  }
}

// The name in `directory` that equals `name` apart from the case of A-Z, in the order
// the directory lists its entries.
bool FindNameIgnoringCase(const std::string& directory, const std::string& name,
                          std::string& found) {
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* listing = fdopendir(fd);
  if (listing == nullptr) {
    close(fd);
    return false;
  }
  bool matched = false;
  while (const dirent* entry = readdir(listing)) {
    if (SameIgnoringCase(entry->d_name, name)) {
      found = entry->d_name;
      matched = true;
      break;
    }
  }
  closedir(listing);
  return matched;
}

bool CurrentWindowsPath(WindowsPath& path) {
  std::string text;
  if (!CurrentWindowsDirectory(text)) return false;
  path.drive = text[0];
  path.parts.clear();
  AppendParts(std::string_view(text).substr(3), path.parts);
  return true;
}

bool WildcardMatchFrom(std::string_view pattern, std::string_view name) {
  // Greedy matching with one backtrack point for the last "*" seen.
  size_t p = 0, n = 0;
  size_t starPattern = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starPattern = p++;
      starName = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || UpperAscii(pattern[p]) == UpperAscii(name[n]))) {
      ++p;
      ++n;
    } else if (starPattern != std::string_view::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool DriveRoot(char letter, std::string& root) {
  if (!IsDriveLetter(letter)) return false;
  const char upper = UpperAscii(letter);
  const char* drives = getenv("TARSEL_DRIVES");
  if (drives == nullptr || *drives == '\0') {
    if (upper != 'C') return false;
    // Not `root = "/"`: at -O3 GCC 12 warns falsely that the copy may overlap.
    root.assign(1, '/');
    return true;
  }
  const char entry[] = {static_cast<char>(upper - 'A' + 'a'), ':', '\0'};
  std::string candidate = JoinHost(drives, entry);
  struct stat status;
  if (stat(candidate.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return false;
  root = std::move(candidate);
  return true;
}

bool CurrentWindowsDirectory(std::string& path) {
  char current[PATH_MAX];
  if (getcwd(current, sizeof current) == nullptr) return false;
  const std::string_view here(current);
  char bestLetter = 0;
  size_t bestLength = 0;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::string root;
    if (!DriveRoot(letter, root)) continue;
    char resolved[PATH_MAX];
    if (realpath(root.c_str(), resolved) == nullptr) continue;
    const std::string_view prefix(resolved);
    const bool contains =
        here.substr(0, prefix.size()) == prefix &&
        (prefix == "/" || here.size() == prefix.size() || here[prefix.size()] == '/');
    // Strictly longer only, so that on a tie the earlier letter stays.
    if (contains && (bestLetter == 0 || prefix.size() > bestLength)) {
      bestLetter = letter;
      bestLength = prefix.size();
    }
  }
  if (bestLetter == 0) return false;
  std::string_view rest = here.substr(bestLength);
  while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  path.assign({bestLetter, ':', '\\'});
  for (const char c : rest) path += (c == '/') ? '\\' : c;
  return true;
}

bool ResolveWindowsPath(std::string_view text, WindowsPath& path) {
  if (text.find('\0') != std::string_view::npos) return false;
  path.parts.clear();
  if (text.size() >= 2 && IsDriveLetter(text[0]) && text[1] == ':') {
    const char drive = UpperAscii(text[0]);
    text.remove_prefix(2);
    if (text.empty() || !IsSeparator(text[0])) {
      // "X:name" continues from the current directory when X is the current drive.
      WindowsPath current;
      if (CurrentWindowsPath(current) && current.drive == drive) path = current;
    }
    path.drive = drive;
  } else if (!text.empty() && IsSeparator(text[0])) {
    WindowsPath current;
    if (!CurrentWindowsPath(current)) return false;
    path.drive = current.drive;
  } else {
    if (!CurrentWindowsPath(path)) return false;
  }
  AppendParts(text, path.parts);
  return true;
}

bool HostPathOf(const WindowsPath& path, std::string& host) {
  std::string root;
  if (!DriveRoot(path.drive, root)) return false;
  std::string exact = root;
  for (const std::string& part : path.parts) exact = JoinHost(exact, part);
  struct stat status;
  // The usual case: every part is spelled as it is on disk.
  if (lstat(exact.c_str(), &status) == 0) {
    host = std::move(exact);
    return true;
  }
  std::string current = root;
  bool pastMissing = false;
  for (const std::string& part : path.parts) {
    const std::string candidate = JoinHost(current, part);
    std::string found;
    if (pastMissing || lstat(candidate.c_str(), &status) == 0) {
      current = candidate;
    } else if (FindNameIgnoringCase(current, part, found)) {
      current = JoinHost(current, found);
    } else {
      current = candidate;
      pastMissing = true;
    }
  }
  host = std::move(current);
  return true;
}

bool MapToHostPath(std::string_view text, std::string& host) {
  WindowsPath path;
  return ResolveWindowsPath(text, path) && HostPathOf(path, host);
}

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  if (WildcardMatchFrom(pattern, name)) return true;
  // DOS heritage: "name.*" covers "name" without an extension, which makes "*.*" match
  // every name.
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
    return WildcardMatchFrom(pattern.substr(0, pattern.size() - 2), name);
  }
  return false;
}

int32_t IoCodeOfErrno(int error, const std::string& hostPath) {
  switch (error) {
    case ENOENT: {
      if (hostPath.empty()) return kIoFileNotFound;
      const size_t slash = hostPath.rfind('/');
      const std::string directory =
          slash == std::string::npos ? "." : (slash == 0 ? "/" : hostPath.substr(0, slash));
      struct stat status;
      const bool directoryExists = stat(directory.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
      return directoryExists ? kIoFileNotFound : kIoPathNotFound;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kIoPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case EEXIST:
      return kIoAccessDenied;
    case EWOULDBLOCK:
    case EBUSY:
    case ETXTBSY:
      return kIoSharingViolation;
    default:
      return error != 0 ? error : kIoAccessDenied;
  }
}
