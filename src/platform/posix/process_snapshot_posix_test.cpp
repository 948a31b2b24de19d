// Snapshots from /proc: between full readings a process that slept is carried as last
// read, one that works is read again, one that ended is gone; and however many
// processes there are, the snapshots leave the program most of its open-file limit.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/posix/backend_posix.h"
#include "platform/posix/system_records_posix.h"
#include "platform/process_snapshot.h"
#include "platform/test_support.h"

namespace {

constexpr uint64_t kMissing = UINT64_MAX;

/// The snapshot's record of the process `id`, in whatever order the folder listed it;
/// null when it has none.
const ProcessSample* RecordOf(const ProcessSnapshot& snapshot, pid_t id) {
  for (int i = 0; i < snapshot.count; ++i) {
    if (snapshot.processes[i].id == static_cast<uint32_t>(id)) return &snapshot.processes[i];
  }
  return nullptr;
}

uint64_t CpuOf(const ProcessSnapshot& snapshot, pid_t id) {
  const ProcessSample* record = RecordOf(snapshot, id);
  return record ? record->cpuMs : kMissing;
}

/// The processor time of a process as /proc says it now, read past the snapshots.
uint64_t CpuNow(pid_t id) {
  std::ifstream file("/proc/" + std::to_string(id) + "/stat");
  const std::string line((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ProcessSample sample;
  return ReadProcessStatLine(line, static_cast<int>(sysconf(_SC_CLK_TCK)), sample) ? sample.cpuMs
                                                                                   : kMissing;
}

/// Waits until the process has used more than `cpuMs`; false after ten seconds.
bool WorksPast(pid_t id, uint64_t cpuMs) {
  for (int i = 0; i < 200; ++i) {
    const uint64_t now = CpuNow(id);
    if (now != kMissing && now > cpuMs) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

/// A child that sleeps until told to go, then keeps a processor busy until it is
/// ended, at the latest when the test ends.
class Spinner {
 public:
  Spinner() {
    if (pipe(pipeEnds_) != 0) return;
    id_ = fork();
    if (id_ == 0) {
      char go;
      if (read(pipeEnds_[0], &go, 1) == 1) {
        volatile unsigned spin = 0;
        for (;;) spin = spin + 1;
      }
      _exit(0);
    }
  }
  ~Spinner() { End(); }
  pid_t id() const { return id_; }
  bool Go() { return write(pipeEnds_[1], "g", 1) == 1; }
  void End() {
    if (id_ > 0) {
      kill(id_, SIGKILL);
      waitpid(id_, nullptr, 0);
    }
    id_ = -1;
    for (int& end : pipeEnds_) {
      if (end >= 0) close(end);
      end = -1;
    }
  }

 private:
  int pipeEnds_[2] = {-1, -1};
  pid_t id_ = -1;
};

TEST(ProcessSnapshotPosix, BetweenFullReadingsOnlyWorkingProcessesAreReadAgain) {
  static ProcessSnapshot snapshot;
  Spinner spinner;
  ASSERT_GT(spinner.id(), 0);
  ASSERT_TRUE(TakeProcessSnapshot(snapshot, SnapshotReading::Every));
  const uint64_t asleep = CpuOf(snapshot, spinner.id());
  ASSERT_NE(asleep, kMissing);
  ASSERT_TRUE(TakeProcessSnapshot(snapshot, SnapshotReading::Every));
  EXPECT_EQ(CpuOf(snapshot, spinner.id()), asleep);  // quiet from now on

  ASSERT_TRUE(spinner.Go());
  ASSERT_TRUE(WorksPast(spinner.id(), asleep));
  ASSERT_TRUE(TakeProcessSnapshot(snapshot, SnapshotReading::Active));
  EXPECT_EQ(CpuOf(snapshot, spinner.id()), asleep) << "a quiet process is carried as last read";

  ASSERT_TRUE(TakeProcessSnapshot(snapshot, SnapshotReading::Every));
  const uint64_t working = CpuOf(snapshot, spinner.id());
  EXPECT_GT(working, asleep);
  ASSERT_TRUE(WorksPast(spinner.id(), working));
  ASSERT_TRUE(TakeProcessSnapshot(snapshot, SnapshotReading::Active));
  EXPECT_GT(CpuOf(snapshot, spinner.id()), working) << "a working process is read again";

  const pid_t ended = spinner.id();
  spinner.End();
  ASSERT_TRUE(TakeProcessSnapshot(snapshot, SnapshotReading::Active));
  EXPECT_EQ(CpuOf(snapshot, ended), kMissing);
  FinishProcessSnapshots();
}

int OpenDescriptorCount() {
  int count = 0;
  DIR* listing = opendir("/proc/self/fd");
  if (listing == nullptr) return -1;
  while (const dirent* entry = readdir(listing)) count += entry->d_name[0] != '.';
  closedir(listing);
  return count - 1;  // the listing's own
}

class ProcessSnapshotFolder : public TempFolderTest {};

// A machine of 300 processes and a limit of 40 open files beyond those already open:
// every process is listed, one whose name holds a line end too, and the snapshots keep
// at most a quarter of the limit.
TEST_F(ProcessSnapshotFolder, ManyProcessesAndFewOpenFiles) {
  constexpr int kProcesses = 300;
  const std::filesystem::path folder = std::filesystem::current_path() / "proc";
  std::filesystem::create_directory(folder);
  WriteBytes(folder / "stat", "cpu  100 0 100 800 0 0 0 0 0 0\n");
  for (int id = 1; id <= kProcesses; ++id) {
    std::filesystem::create_directory(folder / std::to_string(id));
    WriteBytes(folder / std::to_string(id) / "stat",
               std::to_string(id) + (id == 7 ? " (two\nlines) " : " (p) ") +
                   "S 1 1 1 0 -1 0 0 0 0 0 " + std::to_string(id) + " 0 0 0 20 0 1 0 5 1000 10\n");
  }
  const int before = OpenDescriptorCount();
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit few = saved;
  few.rlim_cur = static_cast<rlim_t>(before + 40);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0);

  SetSystemRoot(std::filesystem::current_path().c_str());
  static ProcessSnapshot snapshot;
  const bool taken = TakeProcessSnapshot(snapshot, SnapshotReading::Every);
  const int held = OpenDescriptorCount() - before;
  const bool again = TakeProcessSnapshot(snapshot, SnapshotReading::Active);
  SetSystemRoot("");
  setrlimit(RLIMIT_NOFILE, &saved);

  ASSERT_TRUE(taken);
  ASSERT_TRUE(again);
  EXPECT_EQ(snapshot.count, kProcesses);
  EXPECT_EQ(snapshot.seen, kProcesses);
  // The folder and its "stat", and at most a quarter of the limit.
  EXPECT_LE(held, 2 + (before + 40) / 4);
  EXPECT_EQ(OpenDescriptorCount(), before);
}

/// Writes `text` into the file at `path` below `root`, with the folders on the way.
void Lay(const std::filesystem::path& root, const std::string& path, const std::string& text) {
  std::filesystem::create_directories((root / path).parent_path());
  std::ofstream(root / path, std::ios::binary) << text;
}

// A made-up machine: three processors, the first with a base clock below its turbo
// maximum, the second with the maximum only, the third without cpufreq; two packages;
// the program and one child of it, whose peak resident set is read.
TEST_F(ProcessSnapshotFolder, ClocksThrottlingAndPeakMemoryFromTheSystemRoot) {
  const std::filesystem::path root = std::filesystem::current_path();
  const std::string self = std::to_string(getpid());
  Lay(root, "proc/stat",
      "cpu  30 0 30 300 0 0 0 0 0 0\ncpu0 10 0 10 100 0 0 0 0 0 0\n"
      "cpu1 10 0 10 100 0 0 0 0 0 0\ncpu3 10 0 10 100 0 0 0 0 0 0\nintr 1 2 3\n");
  Lay(root, "proc/" + self + "/stat",
      self + " (tarsel) S 1 1 1 0 -1 0 0 0 0 0 5 0 0 0 20 0 1 0 5 1 1\n");
  Lay(root, "proc/" + self + "/status", "VmHWM:\t 9999 kB\n");
  Lay(root, "proc/999999/stat",
      "999999 (x264) S " + self + " 1 1 0 -1 0 0 0 0 0 9 0 0 0 20 0 1 0 6 1 1\n");
  Lay(root, "proc/999999/status", "Name:\tx264\nVmHWM:\t   51234 kB\n");
  const std::string cpus = "sys/devices/system/cpu/";
  const struct {
    const char* cpu;
    const char* base;
    const char* maximum;
    const char* current;
    const char* core;
    const char* package;
    const char* packageId;
  } processors[] = {{"cpu0", "2000000\n", "3500000\n", "1500000\n", "3\n", "10\n", "0\n"},
                    {"cpu1", nullptr, "2400000\n", "2400000\n", "4\n", "10\n", "0\n"},
                    {"cpu3", nullptr, nullptr, nullptr, "1\n", "5\n", "1\n"}};
  for (const auto& p : processors) {
    const std::string folder = cpus + p.cpu + "/";
    if (p.base) Lay(root, folder + "cpufreq/base_frequency", p.base);
    if (p.maximum) Lay(root, folder + "cpufreq/cpuinfo_max_freq", p.maximum);
    if (p.current) Lay(root, folder + "cpufreq/scaling_cur_freq", p.current);
    Lay(root, folder + "thermal_throttle/core_throttle_count", p.core);
    Lay(root, folder + "thermal_throttle/package_throttle_count", p.package);
    Lay(root, folder + "topology/physical_package_id", p.packageId);
  }

  static ProcessSnapshot snapshot;
  SetSystemRoot(root.c_str());
  ASSERT_TRUE(TakeProcessSnapshot(snapshot, SnapshotReading::Every));
  ASSERT_EQ(snapshot.processorCount, 3);
  const uint32_t nominal[] = {2000, 2400, 0}, current[] = {1500, 2400, 0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(snapshot.processors[i].nominalMhz, nominal[i]) << i;
    EXPECT_EQ(snapshot.processors[i].currentMhz, current[i]) << i;
    EXPECT_EQ(snapshot.processors[i].busyMs, 200u) << i;
  }
  // Each core's events, and each package's once.
  EXPECT_EQ(snapshot.throttleEvents, 3 + 4 + 1 + 10 + 5);
  ASSERT_EQ(snapshot.count, 2);
  ASSERT_TRUE(RecordOf(snapshot, getpid()) && RecordOf(snapshot, 999999));
  EXPECT_EQ(RecordOf(snapshot, getpid())->peakMemoryKib, 0u) << "the program itself is not read";
  EXPECT_EQ(RecordOf(snapshot, 999999)->peakMemoryKib, 51234u);

  // Snapshots between full readings leave the counters alone.
  Lay(root, cpus + "cpu0/cpufreq/scaling_cur_freq", "1000000\n");
  ASSERT_TRUE(TakeProcessSnapshot(snapshot, SnapshotReading::Active));
  EXPECT_EQ(snapshot.processors[0].currentMhz, 1000u);
  EXPECT_EQ(snapshot.throttleEvents, -1);

  // A machine without cpufreq and thermal_throttle: no clocks, no count.
  std::filesystem::remove_all(root / "sys");
  SetSystemRoot(root.c_str());
  ASSERT_TRUE(TakeProcessSnapshot(snapshot, SnapshotReading::Every));
  SetSystemRoot("");
  EXPECT_EQ(snapshot.processorCount, 3);
  EXPECT_EQ(snapshot.processors[0].nominalMhz, 0u);
  EXPECT_EQ(snapshot.processors[0].currentMhz, 0u);
  EXPECT_EQ(snapshot.throttleEvents, -1);
}

}  // namespace
