// Faults of the machine around the program, end to end on the testbed's whole machine:
// a start directory that cannot be written, a work directory that is missing or goes
// away, a drive that disappears while the program runs, and a command interpreter that
// cannot be started. Each ends with its fatal message or its plain outcome, and a main
// log with earlier records comes out of it byte for byte as it went in, followed at
// most by the records that this run completed.
//
// POSIX only. The tests run as root, for whom file permissions stop no write, so the
// start directory is made read-only by a read-only bind mount (skipped where mounting
// is not permitted); the drives and the work directory are moved away while the
// program pauses.
#include <errno.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "encoding_tests_support.h"

namespace encoding {
namespace {

namespace fs = std::filesystem;

std::string MainLogPath() {
  return kStart + "\\zentravo-kelv-tarsel.log";
}

std::vector<std::string> EarlierLabels() {
  return {OfficialLabel(1), UnofficialLabel(2)};
}

/// What two tests of an earlier run left in the main log.
std::string EarlierMainLog() {
  return "Zentravo Kelvaran Project\r\nTarsel v2.0 RC3 logfile\r\n"
         "Created: 02.03.2004 at 09:15:00\r\n\r\n" +
         EarlierLabels()[0] + "\r\nAdded 02.03.2004 at 09:16:40\r\nEncoding time: 41.250\r\n\r\n" +
         EarlierLabels()[1] + "\r\nAdded 02.03.2004 at 09:18:02\r\nEncoding time: 44.031\r\n\r\n";
}

/// A folder bound onto itself read-only; unmounted when it goes.
class ReadOnlyMount {
 public:
  explicit ReadOnlyMount(const fs::path& folder) : folder_(folder) {
    if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      error_ = std::string("bind mount: ") + std::strerror(errno);
      return;
    }
    mounted_ = true;
    if (mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      error_ = std::string("read-only remount: ") + std::strerror(errno);
      return;
    }
    // Some container set-ups accept the remount and still write.
    const fs::path probe = folder / "write-probe";
    if (std::ofstream(probe) << "x") {
      std::error_code ignored;
      fs::remove(probe, ignored);
      error_ = "the read-only mount still takes writes";
    }
  }
  ~ReadOnlyMount() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
  }
  ReadOnlyMount(const ReadOnlyMount&) = delete;
  ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;

  /// Empty when the folder is mounted read-only; otherwise why not.
  const std::string& error() const { return error_; }

 private:
  fs::path folder_;
  bool mounted_ = false;
  std::string error_;
};

/// Why read-only mounts cannot be made here; empty when they can.
std::string MountingRefusal() {
  std::string pattern = (fs::temp_directory_path() / "tarsel-mount-probe-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return "no temporary folder";
  std::string refusal;
  {
    const ReadOnlyMount probe(pattern);
    refusal = probe.error();
  }
  std::error_code ignored;
  fs::remove_all(pattern, ignored);
  return refusal;
}

/// What one scenario shows.
struct Outcome {
  std::string mpgWord = "unofficial";
  std::string aviWord = "unofficial";
  std::string announcement;
  std::string tests;  ///< the console after the announcement
  int exitCode = 5;
  /// Records this run adds after the earlier ones.
  std::vector<std::string> addedLabels;
  bool earlierMainLog = true;  ///< false: there was none, and none may appear
};

class Faults : public ScenarioSuite<Faults> {
 protected:
  static void SetUpTestSuite() {
    if (ChosenLauncher() != Launcher::Native) return;
    auto& all = scenarios();
    const Prepare earlierLog = WithEarlierLog(nullptr);

    mountingRefusal() = MountingRefusal();
    if (mountingRefusal().empty()) {
      const auto readOnlyStart = [](SimulatedMachine& machine) {
        mounts().push_back(std::make_unique<ReadOnlyMount>(machine.HostPath(kStart)));
      };
      all["read-only, no main log"] = Scenario(kOtherClips, {"-divx"}, readOnlyStart);
      all["read-only, unofficial"] =
          Scenario(kOtherClips, {"-divx"}, WithEarlierLog(readOnlyStart));
      all["read-only, official"] =
          Scenario({"--avi-size", "500000"}, {"-divx"}, WithEarlierLog(readOnlyStart));
    }

    all["work: missing"] =
        Scenario(kOtherClips, {"-divx"}, WithEarlierLog([](SimulatedMachine& machine) {
                   machine.SetVariable("TEMP", "C:\\NoSuchFolder");
                 }));
    // Without a work directory the pack names would lead to the root of the current
    // drive; what a tester keeps there must stay, and no pack may be copied there.
    all["work: unset"] =
        Scenario(kOtherClips, {"-divx"}, WithEarlierLog([](SimulatedMachine& machine) {
                   machine.UnsetVariable("TEMP");
                   for (const char* name : {"D:\\timer.exe", "D:\\pack.001"}) {
                     machine.MakeFile(name, "the tester's own");
                   }
                 }));
    all["work: a file"] =
        Scenario(kOtherClips, {"-divx"}, WithEarlierLog([](SimulatedMachine& machine) {
                   machine.MakeFile("C:\\TempFile", "not a folder");
                   machine.SetVariable("TEMP", "C:\\TempFile");
                 }));
    all["work: no drive"] = Scenario(
        kOtherClips, {"-divx"},
        WithEarlierLog([](SimulatedMachine& machine) { machine.SetVariable("TEMP", "Q:\\Temp"); }));
    all["work: goes away"] =
        Scenario(kOtherClips, {"-mpeg1", "-divx"}, earlierLog,
                 DuringMarkerPause([](SimulatedMachine& machine) {
                   // Moved in one step: the program is deleting the pack's files in it.
                   std::error_code ignored;
                   fs::rename(machine.HostPath(kWork), machine.root() / "gone-work", ignored);
                 }));

    all["drive C: goes away"] = Scenario(kOtherClips, {"-mpeg1", "-divx"}, earlierLog,
                                         DuringMarkerPause(DriveGoesAway("C:")));
    all["drive D: goes away"] =
        Scenario(kOtherClips, {"-mpeg1"}, earlierLog, DuringMarkerPause(DriveGoesAway("D:")));

    const std::string system32 = "C:\\WINDOWS\\system32";
    const auto interpreter = [](Prepare change) {
      return WithEarlierLog([change](SimulatedMachine& machine) {
        PlaceLeftovers(machine);
        change(machine);
      });
    };
    all["interpreter: missing"] =
        Scenario(kOtherClips, {"-divx"}, interpreter([system32](SimulatedMachine& machine) {
                   machine.SetVariable("COMSPEC", system32 + "\\nosuch.exe");
                 }));
    all["interpreter: unset"] =
        Scenario(kOtherClips, {"-divx"},
                 interpreter([](SimulatedMachine& machine) { machine.UnsetVariable("COMSPEC"); }));
    all["interpreter: not executable"] =
        Scenario(kOtherClips, {"-divx"}, interpreter([system32](SimulatedMachine& machine) {
                   const std::string copy = system32 + "\\cmdcopy.exe";
                   std::error_code failed;
                   fs::copy_file(machine.HostPath(SimulatedMachine::kComSpec),
                                 machine.HostPath(copy), failed);
                   fs::permissions(machine.HostPath(copy),
                                   fs::perms::owner_read | fs::perms::owner_write |
                                       fs::perms::group_read | fs::perms::others_read,
                                   failed);
                   machine.SetVariable("COMSPEC", copy);
                 }));
    all["interpreter: a directory"] =
        Scenario(kOtherClips, {"-divx"}, interpreter([system32](SimulatedMachine& machine) {
                   machine.SetVariable("COMSPEC", system32);
                 }));
    all["interpreter: not a program"] = Scenario(
        kOtherClips, {"-divx"}, interpreter([system32](SimulatedMachine& machine) {
          const std::string broken = system32 + "\\broken.exe";
          std::error_code failed;
          machine.MakeFile(broken, "MZ, but nothing a system can run\n");
          fs::permissions(machine.HostPath(broken),
                          fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                          fs::perm_options::add, failed);
          machine.SetVariable("COMSPEC", broken);
        }));

    RunAll();
    // The folders are looked at as they were left, with the drives back in place and
    // the start directory writable again for the clean-up of the machines.
    for (const auto& undo : afterRuns()) undo();
    for (const auto& mount : mounts()) mountFailures() += mount->error();
    mounts().clear();
  }

  static void TearDownTestSuite() {
    mounts().clear();
    afterRuns().clear();
    scenarios().clear();
  }

  std::string WhyTheyCannotRunHere() const override {
    return UnlessNative("moves host folders and mounts while the program runs: native only");
  }

  static std::vector<std::unique_ptr<ReadOnlyMount>>& mounts() {
    static std::vector<std::unique_ptr<ReadOnlyMount>> all;
    return all;
  }
  static std::vector<std::function<void()>>& afterRuns() {
    static std::vector<std::function<void()>> all;
    return all;
  }
  static std::string& mountFailures() {
    static std::string failures;
    return failures;
  }
  static std::string& mountingRefusal() {
    static std::string refusal;
    return refusal;
  }

  using Prepare = std::function<void(SimulatedMachine&)>;

  /// Puts the earlier main log in place, then makes the change (if any).
  static Prepare WithEarlierLog(Prepare change) {
    return [change](SimulatedMachine& machine) {
      machine.MakeFile(MainLogPath(), EarlierMainLog());
      if (change) change(machine);
    };
  }

  /// Acts once the MPEG1 test's measurement is complete and its automation script has
  /// ended: the program is then in its pause before the marker test, and the next thing
  /// it does on its own is to record the result.
  static std::function<void(SimulatedMachine&, const std::string&)> DuringMarkerPause(
      std::function<void(SimulatedMachine&)> act) {
    return [act, done = false](SimulatedMachine& machine, const std::string& console) mutable {
      if (done || console.find(UpToMeasurement(4)) == std::string::npos) return;
      done = true;
      // The script waits for the encoder's signal in the work directory and then
      // removes the marker; a drive that went before that would leave it waiting.
      AwaitGone(machine, kStart + "\\nncron.out");
      act(machine);
    };
  }

  /// Moves a drive's entry out of the drives folder, keeping what it holds, and puts it
  /// back after the runs.
  static std::function<void(SimulatedMachine&)> DriveGoesAway(const std::string& drive) {
    return [drive](SimulatedMachine& machine) {
      const fs::path entry = machine.HostPath(drive);
      const fs::path away = machine.root() / ("gone-" + drive.substr(0, 1));
      std::error_code failed;
      fs::rename(entry, away, failed);
      if (failed) return;
      // The machines run side by side, each calling from its own thread.
      static std::mutex guard;
      const std::lock_guard<std::mutex> lock(guard);
      afterRuns().push_back([entry, away] {
        std::error_code ignored;
        fs::rename(away, entry, ignored);
      });
    };
  }

  /// What an earlier run left behind, which the start-up deletes without any help of
  /// the command interpreter.
  static void PlaceLeftovers(SimulatedMachine& machine) {
    for (const char* name : {"001.log", "004.mpg"}) machine.MakeFile(kStart + "\\" + name);
    for (const char* name : {"timer.exe", "pack.003"}) machine.MakeFile(kWork + "\\" + name);
  }

  static const SimulatedMachine& ExpectRun(const std::string& name, const Outcome& o) {
    const Scenario& s = Ran(name);
    const SimulatedMachine& machine = *s.machine;
    EXPECT_EQ(s.run.console,
              Analysis(o.mpgWord, o.aviWord) + Announcement(o.announcement) + o.tests);
    EXPECT_EQ(s.run.exitCode, o.exitCode);
    if (!o.earlierMainLog) {
      EXPECT_FALSE(machine.Exists(MainLogPath()));
      return machine;
    }
    const std::string earlier = EarlierMainLog();
    const std::string now = ReadAll(machine.HostPath(MainLogPath()));
    EXPECT_EQ(now.substr(0, earlier.size()), earlier);
    std::vector<std::string> labels = EarlierLabels();
    labels.insert(labels.end(), o.addedLabels.begin(), o.addedLabels.end());
    EXPECT_EQ(NormalizedMainLog(machine), ExpectedMainLog(labels));
    return machine;
  }
};

TEST_F(Faults, StartDirectoryThatCannotBeWritten) {
  if (!mountingRefusal().empty()) {
    GTEST_SKIP() << "a read-only start directory needs a read-only bind mount, refused here: "
                 << mountingRefusal();
  }
  EXPECT_EQ(mountFailures(), "");
  struct Case {
    const char* name;
    Outcome outcome;
  };
  // The test log cannot be written either: without a main log there is nowhere to
  // put even the header; with one, the unofficial record finds no test log and adds
  // nothing, and validation finds none of the encoder's files.
  Case cases[] = {
      {"read-only, no main log", {}},
      {"read-only, unofficial", {}},
      {"read-only, official", {}},
  };
  cases[0].outcome.tests = UpToMeasurement(1) + FatalReport("#010 cannot create main logfile");
  cases[0].outcome.earlierMainLog = false;
  cases[1].outcome.tests = Unofficial(1) + "All tests done\n";
  cases[1].outcome.exitCode = 0;
  cases[2].outcome.mpgWord = "original";
  cases[2].outcome.tests =
      Invalid(1, {kEncoderLogs, kFirstPass, kSizeMismatch, kEncodedFile, kActivity}) +
      "All tests done\n";
  cases[2].outcome.exitCode = 0;
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.outcome.announcement = "DivX ";
    const SimulatedMachine& machine = ExpectRun(c.name, c.outcome);
    EXPECT_EQ(
        FilesIn(machine, kStart),
        CleanStart(c.outcome.earlierMainLog ? std::vector<std::string>{"zentravo-kelv-tarsel.log"}
                                            : std::vector<std::string>{}));
  }
}

TEST_F(Faults, WorkDirectoryThatIsMissing) {
  struct Case {
    const char* name;
    std::string announcement;
    std::string testsBefore;  ///< the tests that end before the one that needs the folder
    std::vector<std::string> addedLabels;
    std::vector<RecordedCommand> commands;  ///< after the start-up's
  };
  const Case cases[] = {
      {"work: missing", "DivX ", "", {}, {}},
      {"work: unset", "DivX ", "", {}, {}},
      {"work: a file", "DivX ", "", {}, {}},
      {"work: no drive", "DivX ", "", {}, {}},
      // The first test's result is recorded before the folder is missed.
      {"work: goes away", "MPEG1 DivX ", Unofficial(4), {UnofficialLabel(4)}, TestCommands(4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o;
    o.announcement = c.announcement;
    o.tests = c.testsBefore + UpToRequirements(1) +
              FatalReport("#001 cannot find temporary files directory");
    o.addedLabels = c.addedLabels;
    const SimulatedMachine& machine = ExpectRun(c.name, o);
    EXPECT_TRUE(CommandsAre(machine, Join<RecordedCommand>({StartUpCommands(), c.commands})));
  }
  const SimulatedMachine& unset = *scenarios().at("work: unset").machine;
  for (const char* name : {"D:\\timer.exe", "D:\\pack.001"}) {
    EXPECT_TRUE(unset.Exists(name)) << name;
  }
  EXPECT_FALSE(unset.Exists("D:\\zentravotemppack.exe"));
}

TEST_F(Faults, DriveThatDisappears) {
  // Drive C: holds the work directory: the MPEG1 result is recorded on drive D:, and
  // the next test cannot unpack its pack.
  Outcome c;
  c.announcement = "MPEG1 DivX ";
  c.tests = Unofficial(4) + UpToRequirements(1) +
            FatalReport("#001 cannot find temporary files directory");
  c.addedLabels = {UnofficialLabel(4)};
  const SimulatedMachine& withoutC = ExpectRun("drive C: goes away", c);
  EXPECT_TRUE(CommandsAre(withoutC, Join<RecordedCommand>({StartUpCommands(), TestCommands(4)})));

  // Drive D: holds the start directory: the main log can no longer be found, so it
  // counts as missing and cannot be created; the one on the drive stays untouched.
  Outcome d;
  d.announcement = "MPEG1 ";
  d.tests = UpToMeasurement(4) + FatalReport("#010 cannot create main logfile");
  ExpectRun("drive D: goes away", d);
}

TEST_F(Faults, CommandInterpreterThatCannotBeStarted) {
  // Nothing the interpreter should do is done, and the first thing that is checked
  // afterwards is the copy of the pack.
  for (const char* name :
       {"interpreter: missing", "interpreter: unset", "interpreter: not executable",
        "interpreter: a directory", "interpreter: not a program"}) {
    SCOPED_TRACE(name);
    Outcome o;
    o.announcement = "DivX ";
    o.tests = UpToRequirements(1) + FatalReport("#004 cannot process pack");
    const SimulatedMachine& machine = ExpectRun(name, o);
    EXPECT_TRUE(CommandsAre(machine, std::vector<RecordedCommand>{}));
    EXPECT_EQ(DirectStarts(machine), std::vector<RecordedEvent>{});
    EXPECT_EQ(FilesIn(machine, kStart), CleanStart({"zentravo-kelv-tarsel.log"}));
    EXPECT_EQ(FilesIn(machine, kWork), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace encoding
