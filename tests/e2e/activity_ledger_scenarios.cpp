// The activity ledger end to end. On and off: a "-all" run and a fatal run, each with
// and without TARSEL_ACTIVITY_LOG, show the same console, commands and main log; an
// unwritable ledger costs one console line and nothing else. And a competitor: a busy
// program beside the measured encoder spoils the result, and the ledger names it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "encoding_tests_support.h"

namespace encoding {
namespace {

const std::string kLedgerVariable = "TARSEL_ACTIVITY_LOG";
const std::string kLedgerName = "activity.txt";

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
    RunAll();
  }

  static const Scenario& Ran(const std::string& name) {
    const Scenario& scenario = scenarios().at(name);
    EXPECT_TRUE(scenario.machine->layoutError().empty()) << scenario.machine->layoutError();
    EXPECT_FALSE(scenario.run.timedOut);
    return scenario;
  }

  static void ExpectSameRun(const Scenario& off, const Scenario& on, const std::string& console) {
    EXPECT_EQ(on.run.console, console);
    EXPECT_EQ(on.run.exitCode, off.run.exitCode);
    // A run that ends normally starts the editor without waiting for it.
    if (off.run.exitCode == 0) {
      EXPECT_TRUE(AwaitEvent(*off.machine, "notepad"));
      EXPECT_TRUE(AwaitEvent(*on.machine, "notepad"));
    }
    EXPECT_EQ(on.machine->RecordedCommands(), off.machine->RecordedCommands());
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

/// The host's busy share over one second, from its /proc/stat; 0 where unknown.
double HostBusyShare() {
  const auto read = [](long long& busy, long long& total) {
    std::ifstream stat("/proc/stat");
    std::string cpu;
    long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0;
    stat >> cpu >> user >> nice >> system >> idle >> iowait;
    busy = user + nice + system;
    total = busy + idle + iowait;
  };
  long long busy1 = 0, total1 = 0, busy2 = 0, total2 = 0;
  read(busy1, total1);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  read(busy2, total2);
  return total2 > total1 ? static_cast<double>(busy2 - busy1) / static_cast<double>(total2 - total1)
                         : 0.0;
}

/// The competitor's name: at most 15 characters, all of them in the ledger.
const std::string kCompetitor = "tarselhog";

class LedgerCompetitor : public ScenarioSuite<LedgerCompetitor> {
 protected:
  static void SetUpTestSuite() {
    busyBefore() = HostBusyShare();
    // The encoder works 2 s and the timing tool reports the share it really got.
    scenarios()["competitor"] =
        Scenario({"--work-seconds", "2", "--timer-share", "-1", "--competitor", kCompetitor},
                 {"-divx"}, LedgerNamed(kLedgerName, nullptr));
    RunAll();
  }

  /// The host's busy share just before the run: the share of the competitor among the
  /// others holds only on a machine that runs alone.
  static double& busyBefore() {
    static double share = 0;
    return share;
  }
};

TEST_F(LedgerCompetitor, TheLedgerNamesTheBusyProgramFirst) {
  const Scenario& s = scenarios().at("competitor");
  ASSERT_TRUE(s.machine->layoutError().empty()) << s.machine->layoutError();
  EXPECT_EQ(s.run.exitCode, 0);
  EXPECT_NE(s.run.console.find("INVALID RESULT\nValidation subsystem note:\n" + kActivity +
                               "\n-- busiest other program: " + kCompetitor),
            std::string::npos)
      << s.run.console;
  const auto entries = LedgerEntries(*s.machine);
  EXPECT_EQ(Values(entries, "outcome"), std::vector<std::string>({"invalid"}));
  EXPECT_EQ(Values(entries, "note"), std::vector<std::string>({kActivity}));
  const std::vector<std::string> names = Values(entries, "other.1.name");
  ASSERT_EQ(names.size(), 1u);
  // Under Wine the image name carries ".exe".
  EXPECT_EQ(names[0].substr(0, kCompetitor.size()), kCompetitor);
  // At least half of what every other process used, the unnamed time included.
  long long others = 0;
  for (const auto& [key, value] : entries) {
    if ((key.rfind("other.", 0) == 0 && key.size() > 7 &&
         key.substr(key.size() - 7) == ".cpu_ms") ||
        key == "unnamed_cpu_ms") {
      others += std::stoll(value);
    }
  }
  const long long competitor = std::stoll(Values(entries, "other.1.cpu_ms").at(0));
  if (busyBefore() > 0.2) {
    GTEST_SKIP() << "the host was " << static_cast<int>(busyBefore() * 100)
                 << " % busy before the run, so the competitor's " << competitor << " ms of "
                 << others << " ms are not compared";
  }
  EXPECT_GE(2 * competitor, others) << competitor << " ms of " << others << " ms";
}

}  // namespace
}  // namespace encoding
