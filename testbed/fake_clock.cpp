// The processor clock of a simulated POSIX machine.
#include "fake_clock.h"

#include <string_view>

#include "standin_files.h"

std::vector<int> HostProcessorNumbers() {
  std::vector<int> numbers;
  std::string stat;
  if (!ReadHostFile("/proc/stat", stat)) return numbers;
  std::string_view rest(stat);
  while (!rest.empty()) {
    const std::string_view line = rest.substr(0, rest.find('\n'));
    rest.remove_prefix(line.size() < rest.size() ? line.size() + 1 : rest.size());
    if (line.size() < 4 || line.substr(0, 3) != "cpu" || line[3] < '0' || line[3] > '9') continue;
    int number = 0;
    for (size_t at = 3; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at) {
      number = number * 10 + (line[at] - '0');
    }
    numbers.push_back(number);
  }
  return numbers;
}

std::string CurrentClockFile(const std::string& root, int number) {
  return root + "/sys/devices/system/cpu/cpu" + std::to_string(number) +
         "/cpufreq/scaling_cur_freq";
}

bool WriteCurrentClocks(const std::string& root, int khz) {
  bool written = true;
  for (const int number : HostProcessorNumbers()) {
    written = WriteHostFile(CurrentClockFile(root, number), std::to_string(khz) + "\n") && written;
  }
  return written;
}
