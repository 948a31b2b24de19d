// Ctrl-C while a test measures, end to end on the testbed's whole machine. The program
// ends at once with the signal's status, writes nothing more and removes nothing; the
// start-up of the next run removes what it left (the scratch directory, the unpacked
// pack files, the test outputs and test logs) and stops the automation manager with
// "net stop nncron", while the marker of the automation scripts and every completed
// record of the main log stay.
//
// POSIX only: Ctrl-C is SIGINT to the program's process group, and an automation
// manager that outlives it, as a service does, is started here in a session of its own.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "encoding_tests_support.h"

namespace encoding {
namespace {

namespace fs = std::filesystem;

constexpr int kInterruptedStatus = 128 + SIGINT;

std::string MainLogPath() {
  return kStart + "\\zentravo-kelv-tarsel.log";
}

/// What one test of an earlier run left in the main log.
std::string EarlierMainLog() {
  return "Zentravo Kelvaran Project\r\nTarsel v2.0 RC3 logfile\r\n"
         "Created: 28.02.2004 at 18:02:11\r\n\r\n" +
         OfficialLabel(3) + "\r\nAdded 28.02.2004 at 18:04:57\r\nEncoding time: 63.906\r\n\r\n";
}

/// True once the process is gone or only a zombie is left of it.
bool HasEnded(int processId) {
  std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return true;
  const size_t name = text.rfind(')');
  return name == std::string::npos || name + 2 >= text.size() || text[name + 2] == 'Z' ||
         text[name + 2] == 'X';
}

/// The process group of a process that has `file` open; 0 when there is none.
pid_t GroupHolding(const fs::path& file) {
  std::error_code error;
  const fs::path wanted = fs::canonical(file, error);
  if (error) return 0;
  for (const fs::directory_entry& process : fs::directory_iterator("/proc", error)) {
    const std::string id = process.path().filename().string();
    if (id.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code gone;
    for (const fs::directory_entry& fd : fs::directory_iterator(process.path() / "fd", gone)) {
      if (fs::read_symlink(fd.path(), gone) != wanted) continue;
      const pid_t group = getpgid(static_cast<pid_t>(std::atoi(id.c_str())));
      if (group > 0) return group;
    }
  }
  return 0;
}

/// The process id that the automation manager leaves while it runs; 0 when none.
int AutomationProcessId(const SimulatedMachine& machine) {
  std::ifstream file(machine.testbedFolder() / "nncron.pid");
  int id = 0;
  return file >> id ? id : 0;
}

/// The machine's automation manager running a script that lasts a minute, started in a
/// session of its own so that no Ctrl-C reaches it: one left from an interrupted run,
/// as a service is left running.
class LingeringAutomation {
 public:
  explicit LingeringAutomation(const SimulatedMachine& machine) {
    machine.MakeFile("C:\\linger.nnc", "pause 60000\n");
    const std::string program = machine.HostPath("C:\\Program Files\\nnCron\\nncron.exe");
    std::string name = "C:\\Program Files\\nnCron\\nncron.exe";
    std::string arguments = "-runfile C:\\linger.nnc";
    char* const argv[] = {name.data(), arguments.data(), nullptr};
    std::vector<std::string> variables = {
        "PATH=/usr/bin:/bin", "TARSEL_DRIVES=" + machine.HostPath("C:").parent_path().string(),
        "TARSEL_TESTBED=" + machine.testbedFolder().string()};
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    const std::string directory = machine.HostPath(kStart).string();
    pid_ = fork();
    if (pid_ == 0) {
      setsid();
      if (chdir(directory.c_str()) != 0) _exit(126);
      execve(program.c_str(), argv, envp.data());
      _exit(127);
    }
    started_ = pid_ > 0 && Eventually([&] { return AutomationProcessId(machine) == pid_; });
  }
  ~LingeringAutomation() {
    if (pid_ <= 0 || reaped_) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  LingeringAutomation(const LingeringAutomation&) = delete;
  LingeringAutomation& operator=(const LingeringAutomation&) = delete;

  /// It runs and has announced its process id.
  bool started() const { return started_; }

  /// Waits for it to end; true when it was ended by SIGTERM, as the
  /// command interpreter's "net stop" ends it.
  bool Stopped() {
    int status = 0;
    const bool ended = Eventually([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
    if (!ended) return false;
    reaped_ = true;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
  }

 private:
  pid_t pid_ = -1;
  bool started_ = false;
  bool reaped_ = false;
};

/// What an interruption is made of.
struct Plan {
  const char* name = "";
  std::vector<std::string> arguments;
  const char* announcement = "";
  int earlierTest = 0;               ///< a test that ends, unofficially, before the interrupted one
  int number = 0;                    ///< the test whose measurement is interrupted
  bool scratch = false;              ///< the test works in the scratch directory
  bool automation = false;           ///< the test runs its automation script beside the encoder
  std::vector<std::string> outputs;  ///< the test's outputs, as the clean-up names them
  /// Empty: Ctrl-C as soon as the measurement line shows. Otherwise the role of the
  /// encoder: Ctrl-C once it runs, its test log open.
  std::string encoder;
};

std::vector<Plan> Plans() {
  Plan wmv9;
  wmv9.name = "WMV9 after a DivX result";
  wmv9.arguments = {"-divx", "-wmv9"};
  wmv9.announcement = "DivX WMV9 ";
  wmv9.earlierTest = 1;
  wmv9.number = 3;
  wmv9.scratch = true;
  wmv9.outputs = {kScratch + "\\003.tmp", kStart + "\\003.tmp", kStart + "\\003.avi",
                  kStart + "\\003.log"};

  Plan mpeg1;
  mpeg1.name = "MPEG1 while encoding";
  mpeg1.arguments = {"-mpeg1"};
  mpeg1.announcement = "MPEG1 ";
  mpeg1.number = 4;
  mpeg1.automation = true;
  mpeg1.outputs = {kStart + "\\004.mpg", kStart + "\\004.log", kStart + "\\temp.mpg"};
  mpeg1.encoder = "mcmpgenc";
  return {wmv9, mpeg1};
}

/// One run interrupted during a measurement, what it left, and the next run.
struct Interruption {
  explicit Interruption(Plan p) : plan(std::move(p)) {}

  Plan plan;
  std::unique_ptr<SimulatedMachine> machine;
  ProgramRun interrupted;
  std::vector<RecordedCommand> commandsThen;
  std::vector<std::string> workFilesThen;
  bool scratchThen = false;
  bool markerThen = false;
  int automationThen = 0;  ///< the id of the automation manager that the run started
  bool automationEnded = false;
  bool testLogThen = false;
  double secondsAfterCtrlC = -1;  ///< from the Ctrl-C to the end, when pressed here
  std::string mainLogThen;
  std::unique_ptr<LingeringAutomation> lingering;
  ProgramRun next;
};

/// The console of the test that ends before the interrupted one.
std::string Before(const Plan& plan) {
  return plan.earlierTest == 0 ? "" : Unofficial(plan.earlierTest);
}

/// The test log of test `number`, in the start directory.
std::string TestLog(int number) {
  return kStart + "\\00" + std::to_string(number) + ".log";
}

/// The console up to the interrupted measurement line.
std::string UpToInterruption(int number) {
  return UpToRequirements(number) +
         "Optimizing disk operations... complete\n"
         "Measurement part started... ";
}

class Interruptions : public ProgramRunTest {
 protected:
  static void SetUpTestSuite() {
    if (ChosenLauncher() != Launcher::Native) return;
    // Started from a shell's background job, this binary inherits Ctrl-C ignored, and
    // so would every program it starts: the interruption would never land.
    struct sigaction current = {};
    sigaction(SIGINT, nullptr, &current);
    if (current.sa_handler == SIG_IGN) {
      savedInterrupt() = std::make_unique<struct sigaction>(current);
      signal(SIGINT, SIG_DFL);
    }

    auto& all = cases();
    for (Plan& plan : Plans()) all.push_back(std::make_unique<Interruption>(std::move(plan)));

    // Every encoding takes three seconds, long enough to be interrupted while it runs.
    for (auto& c : all) {
      std::vector<std::string> options = {"--work-seconds", "3", "--timer-share", "99"};
      options.insert(options.end(), kOtherClips.begin(), kOtherClips.end());
      c->machine = std::make_unique<SimulatedMachine>(options);
      if (c->machine->layoutError().empty()) c->machine->MakeFile(MainLogPath(), EarlierMainLog());
    }
    std::vector<std::thread> runs;
    for (auto& c : all) {
      if (!c->machine->layoutError().empty()) continue;
      Interruption* run = c.get();
      runs.emplace_back([run] {
        if (run->plan.encoder.empty()) {
          run->interrupted = run->machine->RunAndInterrupt(
              run->plan.arguments, Before(run->plan) + UpToInterruption(run->plan.number));
        } else {
          InterruptWhileEncoding(*run);
        }
      });
    }
    for (std::thread& run : runs) run.join();

    for (auto& c : all) {
      SimulatedMachine& machine = *c->machine;
      if (!machine.layoutError().empty()) continue;
      c->commandsThen = machine.RecordedCommands();
      c->workFilesThen = FilesIn(machine, kWork);
      c->scratchThen = machine.Exists(kScratch);
      c->markerThen = machine.Exists(kStart + "\\nncron.out");
      c->testLogThen = machine.Exists(TestLog(c->plan.number));
      c->mainLogThen = ReadAll(machine.HostPath(MainLogPath()));
      if (c->plan.automation) {
        c->automationThen = AutomationProcessId(machine);
        c->automationEnded =
            c->automationThen > 0 && Eventually([&] { return HasEnded(c->automationThen); });
        c->lingering = std::make_unique<LingeringAutomation>(machine);
      }
      // Where the Ctrl-C came before the interpreter opened the test log or the encoder
      // wrote its files, they are laid out as a later interruption leaves them.
      for (const std::string& output : c->plan.outputs) {
        if (!machine.Exists(output)) machine.MakeFile(output, "left by the interrupted run");
      }
      c->next = machine.Run({});
    }
  }

  static void TearDownTestSuite() {
    cases().clear();
    if (savedInterrupt()) sigaction(SIGINT, savedInterrupt().get(), nullptr);
    savedInterrupt().reset();
  }

  std::string WhyTheyCannotRunHere() const override {
    return UnlessNative("Ctrl-C is pressed only by the native launcher");
  }

  static std::vector<std::unique_ptr<Interruption>>& cases() {
    static std::vector<std::unique_ptr<Interruption>> all;
    return all;
  }
  static std::unique_ptr<struct sigaction>& savedInterrupt() {
    static std::unique_ptr<struct sigaction> saved;
    return saved;
  }

  /// The SIGINT of RunAndInterrupt, sent to the program's process group once the
  /// encoder runs with its test log open (the group is found through the process that
  /// holds the log), rather than as soon as the measurement line shows.
  static void InterruptWhileEncoding(Interruption& c) {
    SimulatedMachine& machine = *c.machine;
    const std::string measurement = Before(c.plan) + UpToInterruption(c.plan.number);
    std::chrono::steady_clock::time_point pressed;
    bool sent = false;
    c.interrupted = machine.Run(c.plan.arguments, [&](const std::string& console) {
      if (sent || console.find(measurement) == std::string::npos) return;
      sent = true;
      if (!AwaitEvent(machine, c.plan.encoder)) return;
      pid_t group = 0;
      Eventually([&] {
        group = GroupHolding(machine.HostPath(TestLog(c.plan.number)));
        return group > 0;
      });
      // Never this binary's own group.
      if (group <= 1 || group == getpgrp()) return;
      pressed = std::chrono::steady_clock::now();
      kill(-group, SIGINT);
    });
    if (pressed != std::chrono::steady_clock::time_point()) {
      c.secondsAfterCtrlC =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count();
    }
  }

  /// The commands of the interrupted run: the start-up's, those of the tests that
  /// ended, and the interrupted test's up to its measurement, which the Ctrl-C may
  /// have reached before or after the interpreter recorded it.
  static std::vector<RecordedCommand> CommandsUpToMeasurement(const Plan& plan,
                                                              bool withMeasurement) {
    std::vector<RecordedCommand> expected = StartUpCommands();
    if (plan.earlierTest != 0) {
      const std::vector<RecordedCommand> whole = TestCommands(plan.earlierTest);
      expected.insert(expected.end(), whole.begin(), whole.end());
    }
    for (const RecordedCommand& command : TestCommands(plan.number)) {
      const bool measurement = command.command.find("\\timer.exe ") != std::string::npos;
      if (measurement && withMeasurement) expected.push_back(command);
      if (measurement) break;
      expected.push_back(command);
    }
    return expected;
  }
};

TEST_F(Interruptions, EndAtOnceAndLeaveEverything) {
  for (const auto& c : cases()) {
    const Plan& plan = c->plan;
    SCOPED_TRACE(plan.name);
    ASSERT_TRUE(c->machine->layoutError().empty()) << c->machine->layoutError();
    EXPECT_FALSE(c->interrupted.timedOut);
    EXPECT_EQ(c->interrupted.exitCode, kInterruptedStatus);
    // Nothing after the interrupted line: no "complete", no message, no farewell.
    EXPECT_EQ(c->interrupted.console, Analysis("unofficial", "unofficial") +
                                          Announcement(plan.announcement) + Before(plan) +
                                          UpToInterruption(plan.number));
    EXPECT_EQ(c->interrupted.errors, "");

    if (plan.encoder.empty()) {
      // The Ctrl-C may come before or after the interpreter recorded the measurement.
      const std::vector<RecordedCommand> before = CommandsUpToMeasurement(plan, false);
      const std::vector<RecordedCommand> with = CommandsUpToMeasurement(plan, true);
      EXPECT_TRUE(c->commandsThen == before || c->commandsThen == with)
          << ::testing::PrintToString(c->commandsThen);
    } else {
      EXPECT_EQ(c->commandsThen, CommandsUpToMeasurement(plan, true));
      EXPECT_TRUE(c->testLogThen);
      // Every wait ahead (the rest of the encoding, the pause before the marker test,
      // the pause at the end) is longer than this.
      EXPECT_GE(c->secondsAfterCtrlC, 0) << "Ctrl-C was never pressed";
      EXPECT_LT(c->secondsAfterCtrlC, 2.5);
    }

    // The pack's files are where the pack put them, its timing tool and job among them.
    const std::string job = plan.number == 3 ? "003.dat" : "004.mes";
    for (const std::string& name : {std::string("timer.exe"), job}) {
      EXPECT_NE(std::find(c->workFilesThen.begin(), c->workFilesThen.end(), name),
                c->workFilesThen.end())
          << name;
    }
    EXPECT_EQ(c->scratchThen, plan.scratch);
    EXPECT_EQ(c->markerThen, plan.automation);

    // The records of the earlier run, and of this run's test that ended, stay whole.
    const std::string earlier = EarlierMainLog();
    EXPECT_EQ(c->mainLogThen.substr(0, earlier.size()), earlier);
    std::vector<std::string> labels = {OfficialLabel(3)};
    if (plan.earlierTest != 0) labels.push_back(UnofficialLabel(plan.earlierTest));
    EXPECT_EQ(NormalizedMainLog(*c->machine), ExpectedMainLog(labels));
  }
}

TEST_F(Interruptions, AutomationBesideTheEncoderGetsTheSameCtrlC) {
  for (const auto& c : cases()) {
    if (!c->plan.automation) continue;
    SCOPED_TRACE(c->plan.name);
    EXPECT_GT(c->automationThen, 0) << "the automation manager never announced itself";
    EXPECT_TRUE(c->automationEnded);
  }
}

TEST_F(Interruptions, NextStartUpRemovesTheLeftovers) {
  for (const auto& c : cases()) {
    const Plan& plan = c->plan;
    SCOPED_TRACE(plan.name);
    const SimulatedMachine& machine = *c->machine;
    ASSERT_TRUE(machine.layoutError().empty()) << machine.layoutError();
    // No argument: the start-up's work and the usage text, nothing that a test or the
    // end of a run would clean up as well.
    EXPECT_FALSE(c->next.timedOut);
    EXPECT_EQ(c->next.exitCode, 0);
    EXPECT_EQ(c->next.console.rfind(kProgramBanner + "Command syntax: ", 0), 0u) << c->next.console;
    EXPECT_TRUE(CommandsAre(machine, Join<RecordedCommand>({c->commandsThen, StartUpCommands()})));

    EXPECT_FALSE(machine.Exists(kScratch));
    EXPECT_EQ(FilesIn(machine, kWork), std::vector<std::string>{});
    for (const std::string& output : plan.outputs) {
      EXPECT_FALSE(machine.Exists(output)) << output;
    }
    // The program never deletes the marker of the automation scripts.
    std::vector<std::string> kept = {"zentravo-kelv-tarsel.log"};
    if (plan.automation) kept.push_back("nncron.out");
    EXPECT_EQ(FilesIn(machine, kStart), CleanStart(kept));
    EXPECT_EQ(ReadAll(machine.HostPath(MainLogPath())), c->mainLogThen);
  }
}

TEST_F(Interruptions, NextStartUpStopsTheAutomationManager) {
  for (const auto& c : cases()) {
    if (!c->plan.automation) continue;
    SCOPED_TRACE(c->plan.name);
    ASSERT_TRUE(c->lingering);
    ASSERT_TRUE(c->lingering->started());
    EXPECT_TRUE(c->lingering->Stopped());
    // "net stop" found its process id and took it away.
    EXPECT_EQ(AutomationProcessId(*c->machine), 0);
  }
}

}  // namespace
}  // namespace encoding
