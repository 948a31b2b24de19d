// POSIX backend only: the machine's figures from uname, sysconf, /proc/cpuinfo and the
// processor's frequency limits in /sys.
#include <fcntl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/machine_figures.h"

namespace {

/// Reads the start of a small file relative to `directory` into `buffer`; the length
/// read, or -1.
ssize_t ReadSmallFile(int directory, const char* path, char* buffer, size_t size) {
  const int fd = openat(directory, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  ssize_t got;
  do {
    got = read(fd, buffer, size);
  } while (got < 0 && errno == EINTR);
  close(fd);
  return got;
}

/// The value of the first "key : value" line of /proc/cpuinfo with that key.
bool CpuInfoValue(const char* text, const char* key, std::string_view& value) {
  const size_t keyLength = std::strlen(key);
  for (const char* line = text; *line != '\0';) {
    const char* end = std::strchr(line, '\n');
    const std::string_view whole(line, end ? static_cast<size_t>(end - line) : std::strlen(line));
    if (whole.substr(0, keyLength) == key) {
      const size_t colon = whole.find(':');
      if (colon != std::string_view::npos) {
        value = whole.substr(colon + 1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        return true;
      }
    }
    if (end == nullptr) break;
    line = end + 1;
  }
  return false;
}

}  // namespace

MachineFigures ReadMachineFigures() {
  MachineFigures figures;
  utsname system;
  if (uname(&system) == 0) {
    figures.osName = system.sysname;
    figures.osBuild = system.release;
    // "6.1.0-18-amd64" is version 6.1.
    const std::string_view release(system.release);
    const size_t second = release.find('.', release.find('.') + 1);
    const size_t end = release.find_first_not_of("0123456789.");
    figures.osVersion = release.substr(0, std::min(second, end));
  }
  const long processors = sysconf(_SC_NPROCESSORS_ONLN);
  figures.cpuCount = processors > 0 ? static_cast<int>(processors) : 0;
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0) {
    figures.memoryMib = static_cast<int64_t>(pages) * pageSize / (1024 * 1024);
  }

  static char cpuInfo[8192];
  const ssize_t length = ReadSmallFile(AT_FDCWD, "/proc/cpuinfo", cpuInfo, sizeof cpuInfo - 1);
  cpuInfo[length > 0 ? length : 0] = '\0';
  std::string_view value;
  if (CpuInfoValue(cpuInfo, "model name", value)) figures.cpuModel = value;
  // The nominal clock where the system knows it: the current one changes with the load.
  char maximum[32];
  const ssize_t got =
      ReadSmallFile(AT_FDCWD, "/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", maximum,
                    sizeof maximum - 1);
  if (got > 0) {
    maximum[got] = '\0';
    figures.cpuMhz = static_cast<int>(std::strtol(maximum, nullptr, 10) / 1000);
  } else if (CpuInfoValue(cpuInfo, "cpu MHz", value)) {
    figures.cpuMhz = static_cast<int>(std::strtod(std::string(value).c_str(), nullptr) + 0.5);
  }
  return figures;
}
