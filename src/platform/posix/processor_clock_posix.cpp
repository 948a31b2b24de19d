// POSIX backend only: processor clocks and throttling counters from sysfs. Each file is
// opened, read and closed: sysfs gives a fresh value on every open, and the ledger's
// budget of open files stays whole for the stat files of the processes.
#include "platform/posix/processor_clock_posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "platform/posix/system_records_posix.h"

namespace {

/// What is read once per processor: its nominal clock and its package.
struct ProcessorFacts {
  uint32_t nominalMhz = 0;
  int64_t package = -1;  ///< the physical package's id; -1 when unknown
};

ProcessorFacts facts[ProcessSnapshot::kProcessorCapacity];
bool factsRead = false;

/// The text of the file `cpuN/part` under the folder; empty when it cannot be read.
std::string_view ReadCpuFile(int cpuFolder, int number, const char* part, char (&buffer)[64]) {
  char path[96];
  std::snprintf(path, sizeof path, "cpu%d/%s", number, part);
  const int fd = openat(cpuFolder, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  ssize_t got;
  do {
    got = read(fd, buffer, sizeof buffer);
  } while (got < 0 && errno == EINTR);
  close(fd);
  return got > 0 ? std::string_view(buffer, static_cast<size_t>(got)) : std::string_view();
}

void ReadFacts(int cpuFolder, const int* numbers, int count) {
  char text[64];
  for (int i = 0; i < count; ++i) {
    // The clock the processor is sold for where the driver tells it apart from the
    // turbo maximum, else the maximum.
    uint32_t nominal =
        ReadCpufreqMhz(ReadCpuFile(cpuFolder, numbers[i], "cpufreq/base_frequency", text));
    if (nominal == 0) {
      nominal =
          ReadCpufreqMhz(ReadCpuFile(cpuFolder, numbers[i], "cpufreq/cpuinfo_max_freq", text));
    }
    facts[i].nominalMhz = nominal;
    facts[i].package =
        ReadSysfsCount(ReadCpuFile(cpuFolder, numbers[i], "topology/physical_package_id", text));
  }
  factsRead = true;
}

}  // namespace

void ReadProcessorClocks(int cpuFolder, const int* numbers, bool throttle,
                         ProcessSnapshot& snapshot) {
  if (cpuFolder < 0) return;
  const int count = snapshot.processorCount;
  if (!factsRead) ReadFacts(cpuFolder, numbers, count);
  char text[64];
  int64_t events = -1;
  for (int i = 0; i < count; ++i) {
    ProcessorSample& processor = snapshot.processors[i];
    processor.nominalMhz = facts[i].nominalMhz;
    if (processor.nominalMhz != 0) {
      processor.currentMhz =
          ReadCpufreqMhz(ReadCpuFile(cpuFolder, numbers[i], "cpufreq/scaling_cur_freq", text));
    }
    if (!throttle) continue;
    // A core's events are its own; a package's are told by each of its processors, and
    // counted at the first of them.
    const auto add = [&events](int64_t counted) {
      if (counted >= 0) events = (events < 0 ? 0 : events) + counted;
    };
    add(ReadSysfsCount(
        ReadCpuFile(cpuFolder, numbers[i], "thermal_throttle/core_throttle_count", text)));
    bool firstOfPackage = true;
    for (int k = 0; k < i && firstOfPackage; ++k)
      firstOfPackage = facts[k].package != facts[i].package;
    if (firstOfPackage) {
      add(ReadSysfsCount(
          ReadCpuFile(cpuFolder, numbers[i], "thermal_throttle/package_throttle_count", text)));
    }
  }
  snapshot.throttleEvents = events;
}

void ForgetProcessorClocks() {
  factsRead = false;
}
