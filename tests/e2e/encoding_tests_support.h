// What the encoding tests show on the testbed's whole machine: the console text, the
// commands and program starts, the main log and the files left behind, as the
// program's own description gives them; and running several machines at once.
#pragma once

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "emulation.h"
#include "simulated_machine.h"

namespace encoding {

/// Where the testbed puts things (Windows paths).
inline const std::string kStart = "D:\\Tarsel";
inline const std::string kWork = "C:\\DOCUME~1\\Tester\\LOCALS~1\\Temp";
inline const std::string kScratch = "C:\\zentravo-kelv-tarsel-testdir";
inline const std::string kProCoder = "C:\\Program Files\\Canopus\\ProCoder";

/// Clip sizes other than the reference sizes, for unofficial runs.
inline const std::vector<std::string> kOtherClips = {"--mpg-size", "300000", "--avi-size",
                                                     "500000"};

/// The reference sizes of the seven encoded files, test 1 to 7.
constexpr std::array<long long, 8> kOutputSize = {0,        21327872,  21512192,  21843968,
                                                  21428228, 133482496, 139083780, 130736572};

std::string FatalReport(const std::string& message);

/// The whole file, bytes unchanged; empty when it cannot be read.
std::string ReadAll(const std::filesystem::path& path);

/// Waits until `condition()` holds, looking every 20 ms, however slow the machine is;
/// false only after five minutes, which ends the wait of a run that went wrong.
template <typename Condition>
bool Eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

/// The program's banner.
inline const std::string kProgramBanner = "Zentravo Kelvaran Project\nTarsel v2.0 RC3\n\n";

/// The two reports of the environment analysis on the testbed's machine, with the
/// result words of the clip lines; without the DivX codec, DivX is disabled.
std::string Reports(const std::string& mpgWord, const std::string& aviWord, bool divxCodec = true);

/// The banner and the reports.
std::string Analysis(const std::string& mpgWord, const std::string& aviWord, bool divxCodec = true);

/// "Starting test(s) execution: " with the announcements, and the empty line.
std::string Announcement(const std::string& announcements);

/// The banner of test `number` (1 to 7).
std::string Banner(int number);

/// A test whose requirements are not met.
std::string Skipped(int number);

/// A test up to its completed requirements line.
std::string UpToRequirements(int number);

/// A test up to its completed measurement line.
std::string UpToMeasurement(int number);

/// Whole tests.
std::string Valid(int number);
std::string Unofficial(int number);
std::string Invalid(int number, const std::vector<std::string>& notes);
std::string InDebugMode(int number);

/// The validation notes.
inline const std::string kEncoderLogs = "-- cannot find one of encoder logs or it still locked";
inline const std::string kEncoderLog = "-- cannot find encoder log or it still locked";
inline const std::string kFirstPass = "-- cannot find 1st pass file or it still locked";
inline const std::string kSizeMismatch = "-- encoded file size mismatch";
inline const std::string kEncodedFile = "-- cannot find encoded file or it still locked";
inline const std::string kActivity = "-- other program activity detected";

/// Every command the interpreter gets from one test, in order. `stopsAt` leaves out
/// what follows a failure: "unpack", "profile", "xcopy"; "" for a whole test.
/// `debug`: the scratch directory is not removed at the end.
std::vector<RecordedCommand> TestCommands(int number, const std::string& work = kWork,
                                          bool debug = false, const std::string& stopsAt = "");

/// The two commands of the start-up.
std::vector<RecordedCommand> StartUpCommands();

/// The end of a run that recorded a result: the editor with the main log.
RecordedCommand EditorCommand();

/// The command that removes the scratch directory.
RecordedCommand RemoveScratchCommand();

/// The programs started directly (the registry editor, nnCron, the editor), as the
/// stand-ins record them.
std::vector<RecordedEvent> TestEvents(int number, const std::string& work = kWork);
RecordedEvent EditorEvent();
std::vector<RecordedEvent> DirectStarts(const SimulatedMachine& machine);

/// Joins lists.
template <typename T>
std::vector<T> Join(std::initializer_list<std::vector<T>> parts) {
  std::vector<T> all;
  for (const std::vector<T>& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

/// The main log with every timestamp replaced by "<timestamp>" and every encoding
/// time that the timing tool can print ("1.234") by "<time>"; empty when it is missing.
std::string NormalizedMainLog(const SimulatedMachine& machine);

/// The normalized main log holding records with these labels.
std::string ExpectedMainLog(const std::vector<std::string>& labels);

std::string OfficialLabel(int number);
std::string UnofficialLabel(int number);

/// The names in a directory, sorted; directories end with "\".
std::vector<std::string> FilesIn(const SimulatedMachine& machine, const std::string& directory);

/// The start directory after a run that left nothing of its own, with `more` added.
std::vector<std::string> CleanStart(std::vector<std::string> more = {});

/// Waits until the events hold a start of `role` (a program the run does not wait
/// for); false when it never comes (Eventually).
bool AwaitEvent(const SimulatedMachine& machine, const std::string& role);

/// Waits until the file is gone; false when it never goes (Eventually).
bool AwaitGone(const SimulatedMachine& machine, const std::string& windowsPath);

/// One run of the program on a machine of its own.
struct Scenario {
  Scenario() = default;
  Scenario(std::vector<std::string> layoutOptions, std::vector<std::string> programArguments,
           std::function<void(SimulatedMachine&)> before = nullptr,
           std::function<void(SimulatedMachine&, const std::string&)> meanwhile = nullptr)
      : layout(std::move(layoutOptions)),
        arguments(std::move(programArguments)),
        prepare(std::move(before)),
        during(std::move(meanwhile)) {}

  std::vector<std::string> layout;     ///< options of the layout tool, after the defaults
  std::vector<std::string> arguments;  ///< the program's
  std::function<void(SimulatedMachine&)> prepare;  ///< before the run; may be empty
  /// Called with the console so far while the program runs; may be empty.
  std::function<void(SimulatedMachine&, const std::string&)> during;

  std::unique_ptr<SimulatedMachine> machine;
  ProgramRun run;
};

/// A scenario's preparation: the timing tool leaves `log` (after whatever the encoder
/// printed) in place of its report, so that the program reads it as the test log.
std::function<void(SimulatedMachine&)> TimerLeaves(std::string log);

/// A test suite whose scenarios, put into scenarios() by its SetUpTestSuite, all run
/// at once (RunAll) before its first test; its tests then read what each run did.
/// Under emulation only the scenarios chosen for it run, and only the tests chosen
/// for it read them (emulation.h).
template <typename Suite>
class ScenarioSuite : public ProgramRunTest {
 protected:
  static std::map<std::string, Scenario>& scenarios() {
    static std::map<std::string, Scenario> all;
    return all;
  }

  static void RunAll();

  /// The scenario `name`, after checking that its machine was laid out and its run
  /// ended by itself.
  static Scenario& Ran(const std::string& name) {
    Scenario& scenario = scenarios().at(name);
    EXPECT_TRUE(scenario.machine->layoutError().empty()) << scenario.machine->layoutError();
    EXPECT_FALSE(scenario.run.timedOut);
    return scenario;
  }

  static void TearDownTestSuite() { scenarios().clear(); }
};

/// Lays out a machine for each scenario (no extra encoder work, the timing tool
/// reporting a process share of 99, then the scenario's options), prepares it, and
/// runs them all at the same time: most of a run is fixed pauses.
void RunScenarios(const std::vector<Scenario*>& scenarios);

/// Under emulation, drops every scenario of the running suite that is not chosen for
/// it.
void KeepChosenScenarios(std::map<std::string, Scenario>& scenarios);

template <typename Suite>
void ScenarioSuite<Suite>::RunAll() {
  KeepChosenScenarios(scenarios());
  std::vector<Scenario*> pointers;
  for (auto& [name, scenario] : scenarios()) pointers.push_back(&scenario);
  RunScenarios(pointers);
}

}  // namespace encoding
