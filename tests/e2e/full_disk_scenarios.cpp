// A disk that fills up while the main log is appended, end to end on the testbed's
// whole machine. The main log, or the whole start directory, lies on a small tmpfs,
// which is filled up before the run, or during the three-second pause that follows
// an MPEG test's measurement: the test log is written by then, the automation script
// has ended, and the main log is not yet touched. The run must end with the main log's own fatal
// message and keep every earlier record byte for byte, with nothing of the failed record after
// them.
//
// Native runs only, and only where a tmpfs can be mounted (as root); elsewhere the
// tests are skipped with the reason.
#include <errno.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "encoding_tests_support.h"

namespace encoding {
namespace {

namespace fs = std::filesystem;

const std::string kMainLog = "\\zentravo-kelv-tarsel.log";

/// A tmpfs of `size` (a mount option such as "64k") mounted on a folder, created when
/// missing, while the object lives.
class SmallDisk {
 public:
  SmallDisk(const fs::path& at, const std::string& size) : at_(at) {
    std::error_code ignored;
    fs::create_directories(at, ignored);
    const std::string options = "size=" + size;
    if (mount("tarsel-small-disk", at.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) !=
        0) {
      problem_ = "cannot mount a tmpfs on " + at.string() + ": " + std::strerror(errno);
      return;
    }
    mounted_ = true;
  }
  ~SmallDisk() {
    // Lazily, so that a process still in there cannot keep the machine's folder alive.
    if (mounted_) umount2(at_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool mounted() const { return mounted_; }
  const std::string& problem() const { return problem_; }

  /// The unit in which the disk hands out room: a file takes whole blocks.
  size_t BlockSize() const {
    struct statvfs status;
    return statvfs(at_.c_str(), &status) == 0 ? status.f_bsize : 4096;
  }

  /// Takes all the room that is left with the file "filler"; true when none is left.
  bool Fill() const {
    const int fd = open((at_ / "filler").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const std::string block(BlockSize(), 'f');
    while (write(fd, block.data(), block.size()) > 0) {
    }
    const bool full = errno == ENOSPC;
    close(fd);
    struct statvfs status;
    return full && statvfs(at_.c_str(), &status) == 0 && status.f_bavail == 0;
  }

 private:
  fs::path at_;
  bool mounted_ = false;
  std::string problem_;
};

/// A main log of earlier runs, exactly `size` bytes long: the header and records.
std::string EarlierRecords(size_t size) {
  std::string text =
      "Zentravo Kelvaran Project\r\nTarsel v2.0 RC3 logfile\r\n"
      "Created: 01.02.2004 at 03:04:05\r\n\r\n";
  const auto record = [](const std::string& time) {
    return "Official XviD test result (validation passed)\r\nAdded 01.02.2004 at 03:04:05\r\n"
           "Encoding time: " +
           time + "\r\n\r\n";
  };
  while (text.size() + record("80.000").size() * 2 <= size) text += record("80.000");
  // The last record's time takes up what is left.
  const size_t rest = size - text.size() - record("").size();
  return text + record("81." + std::string(rest - 3, '5'));
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

/// Whether `text` is exactly one record of the main log with this label.
::testing::AssertionResult IsOneRecord(const std::string& text, const std::string& label) {
  const std::string added = "\r\nAdded ";
  const std::string time = "\r\nEncoding time: ";
  const size_t at = text.find(time);
  const bool shaped = text.compare(0, label.size() + added.size(), label + added) == 0 &&
                      at == label.size() + added.size() + 22 &&
                      text.size() > at + time.size() + 4 &&
                      text.find("\r\n", at + time.size()) == text.size() - 4 &&
                      text.compare(text.size() - 4, 4, "\r\n\r\n") == 0;
  if (shaped) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "not one record \"" << label << "\": " << text;
}

/// The disk of one scenario and what stood on it before the run.
struct DiskOfScenario {
  std::unique_ptr<SmallDisk> disk;
  std::string earlier;  ///< the main log before the run; empty when there was none
  bool filled = false;  ///< the disk was full before the main log was written
};

class FullDiskRuns : public ScenarioSuite<FullDiskRuns> {
 protected:
  static void SetUpTestSuite() {
    if (ChosenLauncher() != Launcher::Native) return;
    if (geteuid() != 0) {
      skipReason() = "mounting a tmpfs needs root";
      return;
    }
    const fs::path probeAt =
        fs::temp_directory_path() / ("tarsel-probe-" + std::to_string(getpid()));
    {
      const SmallDisk probe(probeAt, "16k");
      if (!probe.mounted()) skipReason() = probe.problem();
    }
    std::error_code ignored;
    fs::remove(probeAt, ignored);
    if (!skipReason().empty()) return;

    auto& all = scenarios();
    // Earlier records fill the main log's first block but for 100 bytes: the DivX
    // record of this run fits, the XviD record after it does not and fails part-way.
    all["log on a full disk"] = Scenario(kOtherClips, {"-divx", "-xvid"}, [](SimulatedMachine& m) {
      DiskOfScenario& d = disks()["log on a full disk"];
      d.disk = std::make_unique<SmallDisk>(m.root() / "small-disk", "64k");
      if (!d.disk->mounted()) return;
      const fs::path log = m.root() / "small-disk" / "zentravo-kelv-tarsel.log";
      d.earlier = EarlierRecords(d.disk->BlockSize() - 100);
      WriteAll(log, d.earlier);
      d.filled = d.disk->Fill();
      fs::create_symlink(log, m.HostPath(kStart + kMainLog));
    });
    // No main log yet: its header cannot be written out.
    all["start directory fills, no log"] =
        Scenario(kOtherClips, {"-mpeg1"}, StartOnSmallDisk("start directory fills, no log", 0),
                 FillAfterMeasurement("start directory fills, no log"));
    // Room for 40 more bytes in the main log's last block: the record fails part-way.
    all["start directory fills, earlier log"] = Scenario(
        kOtherClips, {"-mpeg1"}, StartOnSmallDisk("start directory fills, earlier log", 40),
        FillAfterMeasurement("start directory fills, earlier log"));

    RunAll();
  }

  static void TearDownTestSuite() {
    // The disks go first: the machines' folders cannot be removed while mounted.
    disks().clear();
    scenarios().clear();
  }

  std::string WhyTheyCannotRunHere() const override {
    const std::string why = UnlessNative("a host tmpfs means nothing to Wine");
    return why.empty() ? skipReason() : why;
  }

  static std::string& skipReason() {
    static std::string reason;
    return reason;
  }

  static std::map<std::string, DiskOfScenario>& disks() {
    static std::map<std::string, DiskOfScenario> all;
    return all;
  }

  /// Puts the start directory on a small disk of its own: its contents move aside and
  /// are linked back in. With `room` > 0 a main log of earlier runs is put there, so
  /// much short of a whole number of blocks.
  static std::function<void(SimulatedMachine&)> StartOnSmallDisk(const std::string& name,
                                                                 size_t room) {
    return [name, room](SimulatedMachine& m) {
      DiskOfScenario& d = disks()[name];
      const fs::path start = m.HostPath(kStart);
      const fs::path aside = start.parent_path() / "Tarsel-contents";
      fs::rename(start, aside);
      d.disk = std::make_unique<SmallDisk>(start, "4m");
      if (!d.disk->mounted()) return;
      for (const fs::directory_entry& entry : fs::directory_iterator(aside)) {
        fs::create_symlink(entry.path(), start / entry.path().filename());
      }
      if (room == 0) return;
      d.earlier = EarlierRecords(d.disk->BlockSize() * 2 - room);
      WriteAll(start / "zentravo-kelv-tarsel.log", d.earlier);
    };
  }

  /// Fills the disk once the measurement line is complete and the automation script
  /// has removed its marker, which frees the marker's block.
  static std::function<void(SimulatedMachine&, const std::string&)> FillAfterMeasurement(
      const std::string& name) {
    return [name](SimulatedMachine& m, const std::string& console) {
      DiskOfScenario& d = disks().at(name);
      if (d.filled || !d.disk || console.find(UpToMeasurement(4)) == std::string::npos) return;
      // The program now pauses for three seconds before it writes the main log.
      if (AwaitGone(m, kStart + "\\nncron.out")) d.filled = d.disk->Fill();
    };
  }

  /// The scenario's run, checked to have ended with `message` after `tests`.
  static const Scenario& ExpectFatalRun(const std::string& name, const std::string& announcement,
                                        const std::string& tests, const std::string& message) {
    const Scenario& s = scenarios().at(name);
    const DiskOfScenario& d = disks().at(name);
    EXPECT_TRUE(s.machine->layoutError().empty()) << s.machine->layoutError();
    EXPECT_TRUE(d.disk && d.disk->mounted()) << (d.disk ? d.disk->problem() : "no disk");
    EXPECT_TRUE(d.filled);
    EXPECT_FALSE(s.run.timedOut);
    EXPECT_EQ(s.run.console, Analysis("unofficial", "unofficial") + Announcement(announcement) +
                                 tests + FatalReport(message));
    EXPECT_EQ(s.run.exitCode, 5);
    return s;
  }
};

TEST_F(FullDiskRuns, EarlierRecordsAndThisRunsFirstRecordSurvive) {
  const std::string name = "log on a full disk";
  const Scenario& s = ExpectFatalRun(name, "DivX XviD ", Unofficial(1) + UpToMeasurement(2),
                                     "#016 cannot append result to main logfile");
  const std::string earlier = disks().at(name).earlier;
  const std::string after = ReadAll(s.machine->HostPath(kStart + kMainLog));
  ASSERT_GE(after.size(), earlier.size());
  EXPECT_EQ(after.substr(0, earlier.size()), earlier);
  // Then the DivX record whole, and not one byte of the XviD record.
  EXPECT_TRUE(IsOneRecord(after.substr(earlier.size()), UnofficialLabel(1)));
}

TEST_F(FullDiskRuns, HeaderOfANewLogOnAFullDisk) {
  const Scenario& s = ExpectFatalRun("start directory fills, no log", "MPEG1 ", UpToMeasurement(4),
                                     "#011 cannot create main logfile");
  // No headerless file is left for the next run to append to.
  EXPECT_FALSE(fs::exists(s.machine->HostPath(kStart + kMainLog)));
}

TEST_F(FullDiskRuns, RecordThatFillsTheDiskIsTakenBack) {
  const std::string name = "start directory fills, earlier log";
  const Scenario& s = ExpectFatalRun(name, "MPEG1 ", UpToMeasurement(4),
                                     "#016 cannot append result to main logfile");
  EXPECT_EQ(ReadAll(s.machine->HostPath(kStart + kMainLog)), disks().at(name).earlier);
  // The clean-up still deleted the test's outputs on the full disk.
  EXPECT_FALSE(s.machine->Exists(kStart + "\\004.log"));
}

}  // namespace
}  // namespace encoding
