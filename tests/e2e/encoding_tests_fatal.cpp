// Every fatal error that an encoding test can raise, end to end on the testbed's whole
// machine: the console up to the "CRITICAL ERROR: " report, exit code 5 after the
// pause, the commands run until then, and what the clean-up leaves in the start and
// work directories.
//
// POSIX only: "#008" and "#009" hold a file open from a forked process, "#013" and
// "#016" put a symbolic link (to nowhere, to /dev/full) in the main log's place,
// "#023" makes the testbed's xcopy fail, and "#034" relies on Windows' rd refusing a
// file, which Wine's deletes; they are left out under Wine. The other
// scenarios use only the testbed's controls and plain files.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "encoding_tests_support.h"
#include "file_holder.h"

namespace encoding {
namespace {

namespace fs = std::filesystem;

template <typename T>
std::vector<T> First(const std::vector<T>& all, size_t count) {
  return std::vector<T>(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(count));
}

std::vector<std::string> With(std::vector<std::string> options, std::vector<std::string> more) {
  options.insert(options.end(), more.begin(), more.end());
  return options;
}

/// The tests that run an automation script, with the codes of their two automation
/// failures. MPEG2/Canopus has no code for a script that never starts: its script is
/// the measured program.
struct AutomationTest {
  int number;
  const char* option;
  const char* announcement;
  const char* neverStarts;  ///< the code when the marker never appears; nullptr if none
  const char* neverEnds;    ///< the code when the marker never goes
};
const AutomationTest kAutomationTests[] = {
    {4, "-mpeg1", "MPEG1 ", "018", "019"},
    {5, "-mainc", "MPEG2/MAINC ", "020", "021"},
    {6, "-cpro", "MPEG2/CPRO ", nullptr, "024"},
    {7, "-ccesp", "MPEG2/CCESP ", "025", "026"},
};

class FatalRuns : public ScenarioSuite<FatalRuns> {
 protected:
  static void SetUpTestSuite() {
    auto& all = scenarios();
    const auto hold = [](const std::string& windowsPath) {
      return [windowsPath](SimulatedMachine& machine) {
        machine.MakeFile(windowsPath, "held\r\n");
        holders().push_back(std::make_unique<FileHolder>(machine.HostPath(windowsPath)));
      };
    };
    const auto remove = [](const std::string& windowsPath) {
      return [windowsPath](SimulatedMachine& machine) {
        fs::remove_all(machine.HostPath(windowsPath));
      };
    };
    const auto link = [](const std::string& target) {
      return [target](SimulatedMachine& machine) {
        fs::create_symlink(target, machine.HostPath(kStart + "\\zentravo-kelv-tarsel.log"));
      };
    };
    const std::string log = "\\zentravo-kelv-tarsel.log";

    all["001"] = Scenario(kOtherClips, {"-divx"}, [](SimulatedMachine& machine) {
      machine.SetVariable("TEMP", "C:\\NoSuchFolder");
    });
    all["002"] = Scenario(kOtherClips, {"-divx"}, remove(kStart + "\\pack"));
    all["003"] = Scenario(kOtherClips, {"-divx"}, remove(kStart + "\\pack\\pack.001"));
    all["003 in debug mode"] =
        Scenario(kOtherClips, {"-divx", "-silentdebug"}, remove(kStart + "\\pack\\pack.001"));
    // The copy goes into a directory of the copy's name.
    all["004"] = Scenario(kOtherClips, {"-divx"}, [](SimulatedMachine& machine) {
      machine.MakeDirectory(kWork + "\\zentravotemppack.exe");
    });
    all["005"] = Scenario(With(kOtherClips, {"--pack-password", "1=another"}), {"-divx"});
    all["006"] = Scenario(With(kOtherClips, {"--pack-list", "1=malformed"}), {"-divx"});
    all["007"] = Scenario(With(kOtherClips, {"--pack-list", "1=wrong"}), {"-divx"});
    if (HostTricksWork()) {
      all["008"] = Scenario(kOtherClips, {"-divx"}, hold(kWork + "\\files.dat"));
      all["009"] = Scenario(kOtherClips, {"-divx"}, hold(kWork + "\\zentravotemppack.exe"));
      all["013"] = Scenario(kOtherClips, {"-divx"}, link("/nonexistent-tarsel-folder/log"));
      all["016"] = Scenario(kOtherClips, {"-divx"}, link("/dev/full"));
    }
    all["010"] = Scenario(kOtherClips, {"-divx"}, [log](SimulatedMachine& machine) {
      machine.MakeDirectory(kStart + log);
    });
    // A valid result that cannot be recorded shows where each test prints its empty
    // line: DivX before the record, the others after it.
    all["010 DivX official"] =
        Scenario({"--avi-size", "500000"}, {"-divx"},
                 [log](SimulatedMachine& machine) { machine.MakeDirectory(kStart + log); });
    all["010 XviD official"] =
        Scenario({"--avi-size", "500000"}, {"-xvid"},
                 [log](SimulatedMachine& machine) { machine.MakeDirectory(kStart + log); });
    all["012"] = Scenario(kOtherClips, {"-mpeg1"}, TimerLeaves("Timer crashed\r\n"));
    all["017"] = Scenario({"--avi-size", "500000"}, {"-mpeg1"},
                          TimerLeaves("Global Time  =     1.000 =  100%\r\n"));
    for (const AutomationTest& t : kAutomationTests) {
      const std::string number = std::to_string(t.number);
      if (t.neverStarts != nullptr) {
        all[t.neverStarts] =
            Scenario(With(kOtherClips, {"--marker-never-created", number}), {t.option});
      }
      all[t.neverEnds] =
          Scenario(With(kOtherClips, {"--marker-never-removed", number}), {t.option});
    }
    // Only "User Presets" is created, so without "Plugins" the profile has nowhere to go.
    all["022"] = Scenario(kOtherClips, {"-cpro"}, remove(kProCoder + "\\Plugins"));
    // Under Wine, Wine's own xcopy serves, which the control cannot make fail.
    if (HostTricksWork()) {
      all["023"] = Scenario(With(kOtherClips, {"--xcopy-fails"}), {"-cpro"});
    }
    // A file of the scratch directory's name survives the start-up's "rd" (not Wine's,
    // which deletes it).
    if (HostTricksWork()) {
      all["034"] = Scenario(kOtherClips, {"-wmv9"}, [](SimulatedMachine& machine) {
        machine.MakeFile(kScratch, "not a directory");
      });
    }

    RunAll();
  }

  static void TearDownTestSuite() {
    holders().clear();
    scenarios().clear();
  }

  /// A file held by a host process and a host symbolic link mean nothing to a Windows
  /// program under Wine; there Wine's own xcopy and rd serve, which no control makes
  /// fail and which deletes a file given as a directory.
  static bool HostTricksWork() { return ChosenLauncher() == Launcher::Native; }

  static std::vector<std::unique_ptr<FileHolder>>& holders() {
    static std::vector<std::unique_ptr<FileHolder>> all;
    return all;
  }

  /// What every fatal run shows: the console from the analysis on, exit code 5 after
  /// the pause, the commands after the start-up's two, the direct starts of programs,
  /// and the files left in the start and work directories.
  struct Expected {
    std::string announcement;
    std::string tests;  ///< the console after the announcement
    std::vector<RecordedCommand> commands;
    std::vector<RecordedEvent> events;
    std::vector<std::string> startFiles;
    std::vector<std::string> workFiles;
    std::string mpgWord = "unofficial";
    std::string aviWord = "unofficial";
  };

  static const SimulatedMachine& ExpectFatalRun(const std::string& name, const Expected& e) {
    const Scenario& s = Ran(name);
    const SimulatedMachine& machine = *s.machine;
    EXPECT_EQ(s.run.console,
              Analysis(e.mpgWord, e.aviWord) + Announcement(e.announcement) + e.tests);
    EXPECT_EQ(s.run.exitCode, 5);
    EXPECT_GE(s.run.seconds, 3.0);
    EXPECT_TRUE(CommandsAre(machine, Join<RecordedCommand>({StartUpCommands(), e.commands})));
    EXPECT_EQ(DirectStarts(machine), e.events);
    EXPECT_EQ(FilesIn(machine, kStart), e.startFiles);
    EXPECT_EQ(FilesIn(machine, kWork), e.workFiles);
    return machine;
  }
};

const std::vector<std::string> kNoFiles;

TEST_F(FatalRuns, TestPackFailures) {
  struct Case {
    const char* name;
    const char* message;
    size_t commands;  ///< of the DivX test's
    std::vector<std::string> startFiles;
    std::vector<std::string> workFiles;
  };
  const Case cases[] = {
      {"001", "#001 cannot find temporary files directory", 0, CleanStart(), kNoFiles},
      {"002", "#002 cannot find packs directory", 0, {"test.avi", "test.mpg"}, kNoFiles},
      {"003", "#003 cannot find pack", 0, CleanStart(), kNoFiles},
      {"004", "#004 cannot process pack", 1, CleanStart(), {"zentravotemppack.exe\\"}},
      {"005", "#005 cannot check pack integrity", 2, CleanStart(), kNoFiles},
      {"006", "#006 pack is corrupted", 2, CleanStart(), kNoFiles},
      {"007", "#007 pack is corrupted", 2, CleanStart(), kNoFiles},
      // The held file stays; everything else the pack unpacked is deleted.
      {"008", "#008 cannot delete temporary file", 2, CleanStart(), {"files.dat"}},
      {"009", "#009 cannot delete temporary file", 2, CleanStart(), {"zentravotemppack.exe"}},
  };
  for (const Case& c : cases) {
    if (scenarios().count(c.name) == 0) continue;
    SCOPED_TRACE(c.name);
    Expected e;
    e.announcement = "DivX ";
    e.tests = UpToRequirements(1) + FatalReport(c.message);
    e.commands = First(TestCommands(1), c.commands);
    e.startFiles = c.startFiles;
    e.workFiles = c.workFiles;
    ExpectFatalRun(c.name, e);
  }
  // The holders of "#008" and "#009" still hold their files.
  ASSERT_EQ(holders().size(), scenarios().count("008") + scenarios().count("009"));
  for (const auto& holder : holders()) EXPECT_TRUE(holder->holding());
}

TEST_F(FatalRuns, InDebugModeWithoutAWordOrAPause) {
  const Scenario& s = scenarios().at("003 in debug mode");
  EXPECT_EQ(s.run.console, kProgramBanner +
                               "Hidden debugging option activated\n"
                               "Test mode: no results, but leave all temporary files on disks\n"
                               "All arguments after this option are not processed\n\n" +
                               Reports("unofficial", "unofficial") + Announcement("DivX ") +
                               UpToRequirements(1));
  EXPECT_EQ(s.run.exitCode, 5);
  // Wine alone takes longer than the pause to start the program and its commands.
  if (ChosenLauncher() == Launcher::Native) {
    EXPECT_LT(s.run.seconds, 3.0);
  }
  EXPECT_TRUE(CommandsAre(*s.machine, StartUpCommands()));
}

TEST_F(FatalRuns, MainLogFailures) {
  struct Case {
    const char* name;
    const char* message;
    std::string startFile;  ///< what stands in the main log's place
  };
  const Case cases[] = {
      // A directory of the main log's name: it counts as missing and cannot be created.
      {"010", "#010 cannot create main logfile", "zentravo-kelv-tarsel.log\\"},
      // A link to nowhere is a file that cannot be opened; /dev/full takes nothing.
      {"013", "#013 cannot add results to main logfile", "zentravo-kelv-tarsel.log"},
      {"016", "#016 cannot append result to main logfile", "zentravo-kelv-tarsel.log"},
  };
  for (const Case& c : cases) {
    if (scenarios().count(c.name) == 0) continue;
    SCOPED_TRACE(c.name);
    Expected e;
    e.announcement = "DivX ";
    e.tests = UpToMeasurement(1) + FatalReport(c.message);
    e.commands = TestCommands(1);
    e.events = TestEvents(1);
    e.startFiles = CleanStart({c.startFile});
    e.workFiles = kNoFiles;
    ExpectFatalRun(c.name, e);
  }
}

TEST_F(FatalRuns, EmptyLineBeforeTheDivXRecordAfterTheOthers) {
  struct Case {
    const char* name;
    int number;
    const char* announcement;
    std::string validation;
  };
  const Case cases[] = {
      {"010 DivX official", 1, "DivX ", "Doing test result validation... result are valid\n\n"},
      {"010 XviD official", 2, "XviD ", "Doing test result validation... result are valid\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Expected e;
    e.mpgWord = "original";
    e.announcement = c.announcement;
    e.tests =
        UpToMeasurement(c.number) + c.validation + FatalReport("#010 cannot create main logfile");
    e.commands = TestCommands(c.number);
    e.events = TestEvents(c.number);
    e.startFiles = CleanStart({"zentravo-kelv-tarsel.log\\"});
    e.workFiles = kNoFiles;
    ExpectFatalRun(c.name, e);
  }
}

TEST_F(FatalRuns, TestLogWithoutEncodingTime) {
  Expected e;
  e.announcement = "MPEG1 ";
  e.tests = UpToMeasurement(4) + FatalReport("#012 cannot read temporary logfile");
  e.commands = TestCommands(4);
  e.events = TestEvents(4);
  e.startFiles = CleanStart({"zentravo-kelv-tarsel.log"});
  e.workFiles = kNoFiles;
  const SimulatedMachine& machine = ExpectFatalRun("012", e);
  // The new main log got its header before the test log was read.
  EXPECT_EQ(NormalizedMainLog(machine), ExpectedMainLog({}));
}

TEST_F(FatalRuns, TestLogWithoutActivityFigure) {
  Expected e;
  e.mpgWord = "original";
  e.announcement = "MPEG1 ";
  e.tests = UpToMeasurement(4) + "Doing test result validation... " +
            FatalReport("#017 cannot read temporary logfile");
  e.commands = TestCommands(4);
  e.events = TestEvents(4);
  // The checks before the activity check deleted the encoded file.
  e.startFiles = CleanStart();
  e.workFiles = kNoFiles;
  ExpectFatalRun("017", e);
}

TEST_F(FatalRuns, AutomationThatNeverStarts) {
  for (const AutomationTest& t : kAutomationTests) {
    if (t.neverStarts == nullptr) continue;
    SCOPED_TRACE(t.neverStarts);
    Expected e;
    e.announcement = t.announcement;
    e.tests = UpToRequirements(t.number) +
              FatalReport("#" + std::string(t.neverStarts) + " nnCron initialization failed");
    e.commands = TestCommands(t.number, kWork, false, "unpack");
    e.events = TestEvents(t.number);
    e.startFiles = CleanStart();
    e.workFiles = kNoFiles;
    ExpectFatalRun(t.neverStarts, e);
  }
}

TEST_F(FatalRuns, AutomationThatNeverEnds) {
  for (const AutomationTest& t : kAutomationTests) {
    SCOPED_TRACE(t.neverEnds);
    Expected e;
    e.announcement = t.announcement;
    e.tests = UpToMeasurement(t.number) +
              FatalReport("#" + std::string(t.neverEnds) + " nnCron crashed or still running");
    e.commands = TestCommands(t.number);
    e.events = TestEvents(t.number);
    // The program never deletes the marker itself.
    e.startFiles = CleanStart({"nncron.out"});
    e.workFiles = kNoFiles;
    const SimulatedMachine& machine = ExpectFatalRun(t.neverEnds, e);
    // The clean-up removes the scratch directory that MPEG2/Canopus's program copy made.
    EXPECT_FALSE(machine.Exists(kScratch));
  }
}

TEST_F(FatalRuns, ProCoderInstallation) {
  struct Case {
    const char* name;
    const char* message;
    const char* stopsAt;
  };
  const Case cases[] = {
      {"022", "#022 cannot create Canopus ProCoder profile", "profile"},
      {"023", "#023 cannot copy Canopus ProCoder to default path", "xcopy"},
  };
  for (const Case& c : cases) {
    if (scenarios().count(c.name) == 0) continue;
    SCOPED_TRACE(c.name);
    Expected e;
    e.announcement = "MPEG2/CPRO ";
    e.tests = UpToRequirements(6) + FatalReport(c.message);
    e.commands = TestCommands(6, kWork, false, c.stopsAt);
    e.startFiles = CleanStart();
    e.workFiles = kNoFiles;
    const SimulatedMachine& machine = ExpectFatalRun(c.name, e);
    EXPECT_FALSE(machine.Exists(kScratch));
  }
}

TEST_F(FatalRuns, ScratchDirectoryThatCannotBeCreated) {
  if (scenarios().count("034") == 0) GTEST_SKIP() << "Wine's rd deletes a file of that name";
  Expected e;
  e.announcement = "WMV9 ";
  e.tests = UpToRequirements(3) + FatalReport("#034 cannot create temporary test directory");
  e.startFiles = CleanStart();
  e.workFiles = kNoFiles;
  const SimulatedMachine& machine = ExpectFatalRun("034", e);
  EXPECT_TRUE(fs::is_regular_file(machine.HostPath(kScratch)));
}

}  // namespace
}  // namespace encoding
