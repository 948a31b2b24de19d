// The activity ledger end to end. On and off: a "-all" run and a fatal run, each with
// and without TARSEL_ACTIVITY_LOG, show the same console, commands and main log; an
// unwritable ledger costs one console line and nothing else. And a competitor: a busy
// program beside a measurement that the timing tool calls too little of the processor,
// which the ledger names among the other programs, also when a tester's script started
// it before the program. And the report reads a ledger the program wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "encoding_tests_support.h"
#include "launch.h"

namespace encoding {
namespace {

const std::string kLedgerVariable = "TARSEL_ACTIVITY_LOG";
const std::string kLedgerName = "activity.txt";
/// An open-file limit below the number of processes on any machine the tests run on.
constexpr int kFewFiles = 48;

std::function<void(SimulatedMachine&)> LedgerNamed(const std::string& name,
                                                   std::function<void(SimulatedMachine&)> more) {
  return [name, more](SimulatedMachine& machine) {
    if (more) more(machine);
    if (!name.empty()) machine.SetVariable(kLedgerVariable, name);
  };
}

/// The ledger's "key=value" lines of its blocks, in order, CR LF checked.
std::vector<std::pair<std::string, std::string>> LedgerEntries(const SimulatedMachine& machine) {
  const std::string text = ReadAll(machine.HostPath(kStart + "\\" + kLedgerName));
  std::vector<std::pair<std::string, std::string>> entries;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      ADD_FAILURE() << "a line without CR LF at " << at;
      break;
    }
    const std::string line = text.substr(at, end - at);
    at = end + 2;
    const size_t equals = line.find('=');
    if (equals != std::string::npos)
      entries.emplace_back(line.substr(0, equals), line.substr(equals + 1));
  }
  return entries;
}

/// tarsel-report with the arguments, run in the machine's folder.
ProgramRun RunReport(const SimulatedMachine& machine, const std::vector<std::string>& arguments) {
  Launch report;
  report.program = TARSEL_REPORT;
  report.environment = {"PATH=/usr/bin:/bin"};
  report.directory = machine.root();
  report.arguments = arguments;
  return RunHostProcess(report);
}

/// The values of one key, in order.
std::vector<std::string> Values(const std::vector<std::pair<std::string, std::string>>& entries,
                                const std::string& key) {
  std::vector<std::string> values;
  for (const auto& [name, value] : entries) {
    if (name == key) values.push_back(value);
  }
  return values;
}

class LedgerOnAndOff : public ScenarioSuite<LedgerOnAndOff> {
 protected:
  static void SetUpTestSuite() {
    auto& all = scenarios();
    // A directory in the main log's place: "#010" when DivX records its result.
    const auto blockedMainLog = [](SimulatedMachine& machine) {
      machine.MakeDirectory(kStart + "\\zentravo-kelv-tarsel.log");
    };
    all["all off"] = Scenario({}, {"-all"});
    all["all on"] = Scenario({}, {"-all"}, LedgerNamed(kLedgerName, nullptr));
    all["fatal off"] = Scenario({}, {"-divx"}, blockedMainLog);
    all["fatal on"] = Scenario({}, {"-divx"}, LedgerNamed(kLedgerName, blockedMainLog));
    all["unwritable"] = Scenario({}, {"-divx"}, LedgerNamed("missing\\" + kLedgerName, nullptr));
    all["divx off"] = Scenario({}, {"-divx"});
    // Fewer open files allowed than the machine has processes: the ledger must leave the
    // measured program the descriptors it needs.
    const auto fewFiles = [](SimulatedMachine& machine) { machine.SetOpenFileLimit(kFewFiles); };
    all["few files off"] = Scenario({}, {"-divx"}, fewFiles);
    all["few files on"] = Scenario({}, {"-divx"}, LedgerNamed(kLedgerName, fewFiles));
    RunAll();
  }

  static void ExpectSameRun(const Scenario& off, const Scenario& on, const std::string& console) {
    EXPECT_EQ(on.run.console, console);
    EXPECT_EQ(on.run.exitCode, off.run.exitCode);
    // A run that ends normally starts the editor without waiting for it.
    if (off.run.exitCode == 0) {
      EXPECT_TRUE(AwaitEvent(*off.machine, "notepad"));
      EXPECT_TRUE(AwaitEvent(*on.machine, "notepad"));
    }
    EXPECT_TRUE(CommandsAre(*on.machine, off.machine->RecordedCommands()));
    // The fatal run's main log is a directory, which stays one.
    const std::string mainLog = kStart + "\\zentravo-kelv-tarsel.log";
    const bool file = std::filesystem::is_regular_file(off.machine->HostPath(mainLog));
    EXPECT_EQ(std::filesystem::is_regular_file(on.machine->HostPath(mainLog)), file);
    if (file) {
      EXPECT_EQ(NormalizedMainLog(*on.machine), NormalizedMainLog(*off.machine));
    }
  }
};

TEST_F(LedgerOnAndOff, AllTestsTheSameWithTheLedger) {
  const Scenario& off = Ran("all off");
  const Scenario& on = Ran("all on");
  ExpectSameRun(off, on, off.run.console);
  const auto entries = LedgerEntries(*on.machine);
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.front(),
            std::make_pair(std::string("tarsel_activity_ledger"), std::string("1")));
  EXPECT_EQ(Values(entries, "block"), std::vector<std::string>({"machine", "test", "test", "test",
                                                                "test", "test", "test", "test"}));
  EXPECT_EQ(Values(entries, "test"),
            std::vector<std::string>({"divx", "xvid", "wmv9", "mpeg1", "mainc", "cpro", "ccesp"}));
  EXPECT_EQ(Values(entries, "outcome"), std::vector<std::string>(7, "official"));
  EXPECT_EQ(Values(entries, "process_figure"), std::vector<std::string>(7, "99"));
  EXPECT_EQ(Values(entries, "busy_percent").size(), 7u);
  EXPECT_EQ(Values(entries, "machine_id").size(), 1u);
  if (ChosenLauncher() == Launcher::Native) {
    // The simulated machine's clock is steady at nominal, whatever the host's does.
    EXPECT_EQ(Values(entries, "clock_nominal_mhz"), std::vector<std::string>(7, "2000"));
    EXPECT_EQ(Values(entries, "clock_reduced_percent"), std::vector<std::string>(7, "0"));
    EXPECT_EQ(Values(entries, "peak_memory_kib").size(), 7u)
        << ReadAll(on.machine->HostPath(kStart + "\\" + kLedgerName));
  }
}

// tarsel-report on the folder of the "-all" run: it names the machine by that folder,
// reads the ledger beside the main log for the machine's fingerprint, whose machine id
// it computes anew (so it must equal the one the benchmark wrote), and counts its
// busiest other programs.
TEST_F(LedgerOnAndOff, TheReportReadsTheLedgerBesideTheMainLog) {
  const Scenario& on = Ran("all on");
  const auto entries = LedgerEntries(*on.machine);
  const auto only = [&entries](const std::string& key) {
    const std::vector<std::string> values = Values(entries, key);
    return values.size() == 1 ? values[0] : "(" + key + " not once)";
  };
  // The report's fingerprint of a machine, written out here: a change on either side shows.
  const std::string fingerprint = only("cpu_model") + ", " + only("cpu_count") + " CPU, " +
                                  only("memory_mib") + " MiB, " + only("os_name") + " " +
                                  only("os_version") + " (" + only("os_build") + "), " +
                                  only("machine_id");
  const auto json = [](const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
      if (c == '\\' || c == '"') quoted += '\\';
      quoted += c;
    }
    return quoted + "\"";
  };

  const std::string machine = on.machine->HostPath(kStart).string();
  // Whether the host's own load marks a result disturbed is no concern here: every
  // result is kept.
  const ProgramRun ran = RunReport(*on.machine, {"--format", "json", "--keep-disturbed", machine});
  ASSERT_EQ(ran.exitCode, 0) << ran.errors;
  const std::string& out = ran.console;
  EXPECT_NE(out.find("\"results\": 7,\n  \"main_logs\": 1,\n  \"ledgers\": 1,"), std::string::npos)
      << out;
  EXPECT_NE(
      out.find("{\"name\": " + json(machine) +
               ", \"named_by\": \"path\", \"main_logs\": 1, \"ledgers\": 1, \"fingerprints\": [" +
               json(fingerprint) + "], \"busiest\": ["),
      std::string::npos)
      << out;
  // One official result of each test, none of them invalid.
  const std::string row = "{\"machine\": " + json(machine) + ", \"results\": 1, ";
  size_t rows = 0;
  for (size_t at = out.find(row); at != std::string::npos; at = out.find(row, at + 1)) ++rows;
  EXPECT_EQ(rows, 7u) << out;
  EXPECT_EQ(out.find("\"invalid_results\": 1"), std::string::npos) << out;

  // The busiest other program of most tests (on a tie the first by name) comes first.
  std::map<std::string, int> busiest;
  for (const std::string& name : Values(entries, "other.1.name")) ++busiest[name];
  std::pair<std::string, int> first;
  for (const auto& [name, count] : busiest) {
    if (count > first.second) first = {name, count};
  }
  const std::string list = busiest.empty()
                               ? "\"busiest\": []}"
                               : "\"busiest\": [{\"program\": " + json(first.first) +
                                     ", \"times\": " + std::to_string(first.second) + "}";
  EXPECT_NE(out.find(list), std::string::npos) << list << "\n" << out;
}

TEST_F(LedgerOnAndOff, AFatalRunTheSameWithTheLedger) {
  const Scenario& off = Ran("fatal off");
  const Scenario& on = Ran("fatal on");
  ExpectSameRun(off, on, off.run.console);
  EXPECT_NE(off.run.console.find("#010"), std::string::npos);
  const auto entries = LedgerEntries(*on.machine);
  EXPECT_EQ(Values(entries, "outcome"), std::vector<std::string>({"fatal"}));
  EXPECT_EQ(Values(entries, "fatal"), std::vector<std::string>({"#010"}));
  EXPECT_EQ(Values(entries, "process_figure"), std::vector<std::string>({"99"}));
}

TEST_F(LedgerOnAndOff, AnUnwritableLedgerCostsOneLine) {
  const Scenario& off = Ran("divx off");
  const Scenario& on = Ran("unwritable");
  std::string console = off.run.console;
  const size_t end = console.rfind("All tests done\n");
  ASSERT_NE(end, std::string::npos);
  console.insert(end, "Activity ledger not written: cannot create " + kStart + "\\missing\\" +
                          kLedgerName + "\n");
  ExpectSameRun(off, on, console);
  EXPECT_FALSE(on.machine->Exists(kStart + "\\missing"));
}

TEST_F(LedgerOnAndOff, FewOpenFilesTheSameWithTheLedger) {
  const Scenario& off = Ran("few files off");
  const Scenario& on = Ran("few files on");
  ExpectSameRun(off, on, off.run.console);
  EXPECT_NE(NormalizedMainLog(*off.machine).find("Official DivX"), std::string::npos);
  const auto entries = LedgerEntries(*on.machine);
  EXPECT_EQ(Values(entries, "outcome"), std::vector<std::string>({"official"}));
  EXPECT_EQ(Values(entries, "busy_percent").size(), 1u);
}

/// The competitor's name: at most 15 characters, all of them in the ledger.
const std::string kCompetitor = "tarselhog";

class LedgerCompetitor : public ScenarioSuite<LedgerCompetitor> {
 protected:
  static void SetUpTestSuite() {
    // The encoder works 2 s beside the competitor; the timing tool reports a share too
    // low for DivX whatever the machine, so the note comes with the busiest program.
    scenarios()["competitor"] =
        Scenario({"--work-seconds", "2", "--timer-share", "60", "--competitor", kCompetitor},
                 {"-divx"}, LedgerNamed(kLedgerName, nullptr));
    RunAll();
  }
};

/// Checks the invalid DivX result of a measurement spoilt by a busy program: its note,
/// and the console's line that names the ledger's busiest other program. Returns the
/// processor time the ledger gives the other program `name` (under Wine with ".exe"),
/// or -1 when it is not among those named.
long long OtherProgramTime(const Scenario& s, const std::string& name) {
  EXPECT_EQ(s.run.exitCode, 0);
  const auto entries = LedgerEntries(*s.machine);
  EXPECT_EQ(Values(entries, "outcome"), std::vector<std::string>({"invalid"}));
  EXPECT_EQ(Values(entries, "note"), std::vector<std::string>({kActivity}));
  EXPECT_EQ(Values(entries, "process_figure"), std::vector<std::string>({"60"}));
  const std::vector<std::string> busiest = Values(entries, "other.1.name");
  EXPECT_EQ(busiest.size(), 1u);
  if (busiest.size() == 1) {
    EXPECT_NE(s.run.console.find("INVALID RESULT\nValidation subsystem note:\n" + kActivity +
                                 "\n-- busiest other program: " + busiest[0] + " ("),
              std::string::npos)
        << s.run.console;
  }
  for (int n = 1; n <= 5; ++n) {
    const std::string key = "other." + std::to_string(n);
    const std::vector<std::string> named = Values(entries, key + ".name");
    if (named.size() == 1 && named[0].substr(0, name.size()) == name) {
      return std::stoll(Values(entries, key + ".cpu_ms").at(0));
    }
  }
  return -1;
}

// Whatever else the machine runs (an encode beside the tests may well be busier), the
// busy program is among the others the ledger names, with all the processor time that
// it used: it started during the measurement and was still there after it.
TEST_F(LedgerCompetitor, TheLedgerNamesTheBusyProgramWithAllItsTime) {
  const Scenario& s = Ran("competitor");
  const long long named = OtherProgramTime(s, kCompetitor);
  ASSERT_GE(named, 0) << "not among the others:\n"
                      << ReadAll(s.machine->HostPath(kStart + "\\" + kLedgerName));
  const std::string used = ReadAll(s.machine->testbedFolder() / "competitor.cpu_ms");
  ASSERT_FALSE(used.empty()) << "the competitor left no processor time";
  // The system counts in clock ticks: each figure of each thread may lose part of one.
  EXPECT_GE(named + 100, std::stoll(used)) << named << " ms named, " << used << " ms used";
}

/// The busy job of a tester's script, a name of at most 15 characters.
const std::string kScriptedJob = "tarselbusy";

class LedgerScriptedJob : public ScenarioSuite<LedgerScriptedJob> {
 protected:
  static void SetUpTestSuite() {
    if (ChosenLauncher() != Launcher::Native) return;
    // The usual way to script a run: a busy job in the background, then the program,
    // one shell and one process group for all of them. The job is the testbed's busy
    // program, one thread per processor. The timing tool reports a share too low for
    // DivX, so the note comes with the busiest program.
    const auto jobFirst = [](SimulatedMachine& machine) {
      machine.SetJobBefore(machine.testbedFolder() / kScriptedJob);
    };
    scenarios()["job first"] =
        Scenario({"--work-seconds", "2", "--timer-share", "60", "--script-job", kScriptedJob},
                 {"-divx"}, LedgerNamed(kLedgerName, jobFirst));
    RunAll();
  }

  std::string WhyTheyCannotRunHere() const override {
    return UnlessNative(
        "a script and its process group start the program only natively; on Windows the "
        "chain of parents alone tells the program's own processes");
  }
};

// A member of the program's process group that started before it, and is no descendant
// of it, is another program: the ledger names the script's busy job.
TEST_F(LedgerScriptedJob, TheJobStartedBeforeTheProgramIsNamed) {
  const Scenario& s = Ran("job first");
  EXPECT_GT(OtherProgramTime(s, kScriptedJob), 0)
      << "not among the others:\n"
      << ReadAll(s.machine->HostPath(kStart + "\\" + kLedgerName));
}

class LedgerReducedClock : public ScenarioSuite<LedgerReducedClock> {
 protected:
  static void SetUpTestSuite() {
    if (ChosenLauncher() != Launcher::Native) return;
    // The made-up sysfs says half the nominal clock while the timing tool measures; the
    // encoder keeps a processor busy meanwhile.
    scenarios()["half clock"] = Scenario({"--work-seconds", "2", "--timer-clock", "50"}, {"-divx"},
                                         LedgerNamed(kLedgerName, nullptr));
    RunAll();
  }

  std::string WhyTheyCannotRunHere() const override {
    return UnlessNative(
        "the made-up sysfs is the POSIX machine's; under Wine the clock is always nominal");
  }
};

// The clock of the busy processor drops to half during the measurement: the ledger
// gives the clocks and the share, the console tells it after the result, and the report
// marks the result and leaves it out of the figures.
TEST_F(LedgerReducedClock, TheConsoleTheLedgerAndTheReportTellTheReducedClock) {
  const Scenario& s = Ran("half clock");
  EXPECT_EQ(s.run.exitCode, 0);
  const auto entries = LedgerEntries(*s.machine);
  EXPECT_EQ(Values(entries, "outcome"), std::vector<std::string>({"official"}));
  EXPECT_EQ(Values(entries, "clock_nominal_mhz"), std::vector<std::string>({"2000"}));
  EXPECT_EQ(Values(entries, "clock_lowest_mhz"), std::vector<std::string>({"1000"}));
  EXPECT_TRUE(Values(entries, "throttle_events").empty()) << "the made-up sysfs counts none";
  EXPECT_EQ(Values(entries, "peak_memory_kib").size(), 1u);
  const std::vector<std::string> reduced = Values(entries, "clock_reduced_percent");
  ASSERT_EQ(reduced.size(), 1u);
  EXPECT_GE(std::stoi(reduced[0]), 10);
  EXPECT_NE(s.run.console.find("result are valid\n-- processor clock reduced during " + reduced[0] +
                               " % of the measurement\n"),
            std::string::npos)
      << s.run.console;

  const ProgramRun report =
      RunReport(*s.machine, {"--name", "clocked", s.machine->HostPath(kStart).string()});
  ASSERT_EQ(report.exitCode, 0) << report.errors;
  EXPECT_NE(report.console.find("\n  clocked: 1 with reduced clock, left out\n"), std::string::npos)
      << report.console;
  // Its row in the table: not settled, n = 0.
  EXPECT_NE(report.console.find("\n ?clocked" + std::string(15, ' ') + "0 "), std::string::npos)
      << report.console;
}

}  // namespace
}  // namespace encoding
