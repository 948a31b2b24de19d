// The run from start-up to its end, on simulated machines: console text, exit code,
// the commands given to the command interpreter, and the files left behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulation.h"
#include "simulated_machine.h"

namespace {

const std::string kBanner =
    "Zentravo Kelvaran Project\n"
    "Tarsel v2.0 RC3\n"
    "\n";

const std::string kUsage =
    "Command syntax: zentravo-kelv-tarsel.exe <argument>\n"
    "\n"
    "Possible arguments:\n"
    "\n"
    "-divx  DivX  encoding test\n"
    "-xvid  XviD  encoding test\n"
    "-wmv9  WMV9  encoding test\n"
    "-mpeg1 MPEG1 encoding test\n"
    "-dvd   DVD rip subset (all of the above)\n"
    "\n"
    "-mainc MPEG2/Mainconcept MPEG Encoder test\n"
    "-cpro  MPEG2/Canopus ProCoder test\n"
    "-ccesp MPEG2/Cinema Craft Encoder SP test\n"
    "-dv    DV to MPEG2 subset (all of the above)\n"
    "\n"
    "-all   Execute all tests\n"
    "\n"
    "Software requirements:\n"
    "\n"
    " 1. Installed DivX 5.1.1 Pro AdWare\n"
    " 2. Installed XviD 1.0 beta 2 (Trennel build))\n"
    " 3. Installed Windows Media Video 9 VCM\n"
    " 4. Installed Mainconcept MPEG Encoder 1.4.0\n"
    " 5. Installed Canopus ProCoder Demo 1.25.15.0\n"
    " 6. Installed Apple QuickTime 6 or later\n"
    " 7. Installed Cinema Craft Encoder SP 2.67 Trial\n"
    " 8. Installed nnCron 1.89r2 or later\n"
    " 9. File for encoding named TEST.MPG\n"
    "10. File for encoding named TEST.AVI\n"
    "11. Windows 2000/XP or later\n"
    "\n"
    "Note: all of the above is not included in this test pack\n"
    "\n"
    "Some other requirements:\n"
    "\n"
    "-- C: drive must exist and contain some space available\n"
    "-- Test dir (drive) must contain some space available\n"
    "\n"
    "Press any key to close this window\n";

const std::string kDebugLines =
    "Hidden debugging option activated\n"
    "Test mode: no results, but leave all temporary files on disks\n"
    "All arguments after this option are not processed\n"
    "\n";

const std::string kAllTestsDone = "All tests done\n";

const char kRemoveScratch[] = "/c rd /s /q c:\\zentravo-kelv-tarsel-testdir > nul";
const char kScratch[] = "C:\\zentravo-kelv-tarsel-testdir";

std::string FatalReport(const std::string& message) {
  return "\nCRITICAL ERROR: " + message +
         "\n"
         "Cannot continue, test aborted\n"
         "\n"
         "Press any key to close this window\n";
}

/// A test that may not run on this machine: its banner and its refusal.
std::string SkippedTest(const std::string& title) {
  const std::string dashes(title.size(), '-');
  return dashes + "\n" + title + "\n" + dashes +
         "\n"
         "Checking test requirements... NOT PASSED, skip test\n"
         "\n";
}

std::vector<RecordedCommand> StartUpCommands() {
  return {
      {SimulatedMachine::kStartDirectory, "/c net stop nncron > nul"},
      {SimulatedMachine::kStartDirectory, kRemoveScratch},
  };
}

std::string WithinStart(const std::string& name) {
  return std::string(SimulatedMachine::kStartDirectory) + "\\" + name;
}

std::string WithinTemp(const std::string& name) {
  return std::string(SimulatedMachine::kTempDirectory) + "\\" + name;
}

/// Lays out, once the banner is on the console (so after the start-up clean-up),
/// files that only the end of the run can remove: some outputs of the tests, some
/// pack contents and the scratch directory.
std::function<void(const std::string&)> LeftoversAfterBanner(const SimulatedMachine& machine) {
  return [&machine, placed = false](const std::string& console) mutable {
    if (placed || console.find(kBanner) == std::string::npos) return;
    placed = true;
    for (const char* name : {"001.log", "003.avi", "temp.mpg", "007.log"}) {
      machine.MakeFile(WithinStart(name));
    }
    for (const char* name : {"timer.exe", "pack.003", "zentravotemppack.exe"}) {
      machine.MakeFile(WithinTemp(name));
    }
    machine.MakeFile(std::string(kScratch) + "\\006.m2p");
  };
}

/// The run's only commands were the start-up's and the removal of the scratch
/// directory, and the leftovers that appeared after the banner are gone.
void ExpectLeftoversGone(const SimulatedMachine& machine) {
  std::vector<RecordedCommand> expected = StartUpCommands();
  expected.push_back({SimulatedMachine::kStartDirectory, kRemoveScratch});
  EXPECT_TRUE(CommandsAre(machine, expected));
  for (const char* name : {"001.log", "003.avi", "temp.mpg", "007.log"}) {
    EXPECT_FALSE(machine.Exists(WithinStart(name))) << name;
  }
  for (const char* name : {"timer.exe", "pack.003", "zentravotemppack.exe"}) {
    EXPECT_FALSE(machine.Exists(WithinTemp(name))) << name;
  }
  EXPECT_FALSE(machine.Exists(kScratch));
}

class RunControl : public ProgramRunTest {};

TEST_F(RunControl, NoArgumentsShowsTheUsage) {
  SimulatedMachine machine;
  const ProgramRun run = machine.Run({});
  EXPECT_EQ(run.console, kBanner + kUsage);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.errors, "");
  EXPECT_TRUE(CommandsAre(machine, StartUpCommands()));
}

TEST_F(RunControl, UnknownArgumentIsFatal) {
  SimulatedMachine machine;
  machine.MakeFile(WithinStart("test.mpg"));
  machine.MakeFile(WithinTemp("notes.txt"));

  const ProgramRun run = machine.Run({"-Foo"}, LeftoversAfterBanner(machine));

  EXPECT_EQ(run.console, kBanner + FatalReport("#033 unknown command line argument: -foo"));
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_GE(run.seconds, 3.0);
  // The scratch directory that appeared during the pause is removed from the start
  // directory, and the outputs are deleted there.
  ExpectLeftoversGone(machine);
  EXPECT_TRUE(machine.Exists(WithinStart("test.mpg")));
  EXPECT_TRUE(machine.Exists(WithinTemp("notes.txt")));
}

TEST_F(RunControl, OverLongArgumentIsReportedCut) {
  SimulatedMachine machine;
  const ProgramRun run = machine.Run({"-" + std::string(300, 'Q')});
  const std::string message =
      ("#033 unknown command line argument: -" + std::string(300, 'q')).substr(0, 255);
  EXPECT_EQ(run.console, kBanner + FatalReport(message));
  EXPECT_EQ(run.exitCode, 5);
}

TEST_F(RunControl, HiddenOptionThenTestShowsTheUsage) {
  SimulatedMachine machine;
  const ProgramRun run = machine.Run({"-silentdebug", "-divx"});
  EXPECT_EQ(run.console, kBanner + kDebugLines + kUsage);
  EXPECT_EQ(run.exitCode, 0);
}

/// The console from the announcement on, past the environment analysis.
std::string FromAnnouncement(const std::string& console) {
  const size_t start = console.find("Starting test(s) execution: ");
  return start == std::string::npos ? std::string() : console.substr(start);
}

const std::string kRule(37, '-');

// No source clip: the analysis ends the run after the heading of its second report.
TEST_F(RunControl, DivXOnABareMachine) {
  SimulatedMachine machine;
  const ProgramRun run = machine.Run({"-divx"});
  EXPECT_EQ(run.console.substr(0, kBanner.size()), kBanner);
  const std::string end = kRule + "\nAnalyzing tests execution possibility\n" + kRule + "\n\n" +
                          FatalReport("#031 cannot find any file for encoding");
  ASSERT_GE(run.console.size(), end.size());
  EXPECT_EQ(run.console.substr(run.console.size() - end.size()), end);
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_GE(run.seconds, 3.0);
  EXPECT_TRUE(CommandsAre(machine, StartUpCommands()));
}

// Only the MPEG2 clip: the four DVD rip tests are entered and skipped.
TEST_F(RunControl, DvdGroupEndsTheRun) {
  SimulatedMachine machine;
  machine.MakeFile(WithinStart("test.avi"));
  const ProgramRun run = machine.Run({"-dvd", "-mainc"});
  EXPECT_EQ(FromAnnouncement(run.console),
            "Starting test(s) execution: DVD-RIP MPEG2/MAINC \n"
            "\n" +
                SkippedTest("DivX encoding test started") +
                SkippedTest("XviD encoding test started") +
                SkippedTest("Windows Media Video 9 encoding test started") +
                SkippedTest("MPEG1/Mainconcept encoding test started") + kAllTestsDone);
  EXPECT_EQ(run.exitCode, 0);
}

TEST_F(RunControl, EndOfRunRemovesWhatTheRunLeft) {
  SimulatedMachine machine;
  machine.MakeFile(WithinStart("test.avi"));
  const ProgramRun run = machine.Run({"-divx"}, LeftoversAfterBanner(machine));
  EXPECT_EQ(run.exitCode, 0);
  ExpectLeftoversGone(machine);
  EXPECT_TRUE(machine.Exists(WithinStart("test.avi")));
}

TEST_F(RunControl, LeftoversOfAnEarlierRunAreDeletedAtStartUp) {
  SimulatedMachine machine;
  machine.AddDrive('d');
  machine.SetVariable("TEMP", "D:\\Work");
  const std::vector<std::string> outputs = {
      "001.001",  "001.002", "001.tmp", "001.avi", "001.log",  "002.001",  "002.tmp",
      "002.avi",  "002.log", "003.tmp", "003.avi", "003.log",  "004.mpg",  "004.log",
      "temp.mpg", "005.mpg", "005.log", "006.log", "test.vaf", "test.mpv", "007.log"};
  const std::vector<std::string> packContents = {
      "001.dat",      "002.dat",    "003.dat",      "004.mes",
      "004.nnc",      "005.mes",    "005.nnc",      "006.dat",
      "006.exe",      "006.nnc",    "007.dat",      "007.nnc",
      "contig.exe",   "corona.dll", "files.dat",    "ogg.dll",
      "sync.exe",     "timer.exe",  "vdicmdrv.dll", "vdremote.dll",
      "vdsvrlnk.dll", "vdubm.dat",  "vdubm.exe",    "vorbis.dll",
      "pack.001",     "pack.002",   "pack.003",     "pack.004",
      "pack.005",     "pack.006",   "pack.007",     "zentravotemppack.exe"};
  for (const std::string& name : outputs) machine.MakeFile(WithinStart(name));
  for (const std::string& name : packContents) machine.MakeFile("D:\\Work\\" + name);
  machine.MakeFile(std::string(kScratch) + "\\003.tmp");
  machine.MakeFile(std::string(kScratch) + "\\006.m2p");
  // What is not on the lists, or not where a list looks, stays.
  const std::vector<std::string> kept = {
      WithinStart("test.mpg"),  WithinStart("test.avi"), WithinStart("pack\\pack.001"),
      WithinStart("timer.exe"), WithinStart("008.log"),  "D:\\Work\\001.log",
      "D:\\Work\\notes.txt",    "D:\\pack.002",          "C:\\timer.exe"};
  for (const std::string& path : kept) machine.MakeFile(path);

  const ProgramRun run = machine.Run({});

  EXPECT_EQ(run.console, kBanner + kUsage);
  for (const std::string& name : outputs) EXPECT_FALSE(machine.Exists(WithinStart(name))) << name;
  for (const std::string& name : packContents) {
    EXPECT_FALSE(machine.Exists("D:\\Work\\" + name)) << name;
  }
  EXPECT_FALSE(machine.Exists(kScratch));
  for (const std::string& path : kept) EXPECT_TRUE(machine.Exists(path)) << path;
}

TEST_F(RunControl, UnsetTempDeletesNothingInTheDriveRoot) {
  SimulatedMachine machine;
  machine.UnsetVariable("TEMP");
  const std::vector<std::string> inRoot = {"C:\\timer.exe", "C:\\files.dat", "C:\\pack.001",
                                           "C:\\zentravotemppack.exe"};
  for (const std::string& path : inRoot) machine.MakeFile(path);

  const ProgramRun run = machine.Run({});

  EXPECT_EQ(run.console, kBanner + kUsage);
  EXPECT_EQ(run.exitCode, 0);
  for (const std::string& path : inRoot) EXPECT_TRUE(machine.Exists(path)) << path;
}

TEST_F(RunControl, CommandInterpreterThatCannotStart) {
  struct Case {
    const char* name;
    const char* comSpec;  ///< nullptr: COMSPEC unset
  };
  const Case cases[] = {
      {"missing program", "C:\\WINDOWS\\system32\\nothere.exe"},
      {"not a program", "C:\\WINDOWS\\system32\\plain.txt"},
      {"a directory", "C:\\WINDOWS\\system32"},
      {"unset", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    machine.MakeFile("C:\\WINDOWS\\system32\\plain.txt", "#!/nonexistent/interpreter\n");
    machine.MakeDirectory(kScratch);
    if (c.comSpec) {
      machine.SetVariable("COMSPEC", c.comSpec);
    } else {
      machine.UnsetVariable("COMSPEC");
    }
    const ProgramRun run = machine.Run({});
    EXPECT_EQ(run.console, kBanner + kUsage);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(CommandsAre(machine, {}));
    EXPECT_TRUE(machine.Exists(kScratch));  // nothing could remove it
  }
}

TEST_F(RunControl, RunGoesOnWithoutACommandInterpreter) {
  SimulatedMachine machine;
  machine.SetVariable("COMSPEC", "C:\\WINDOWS\\system32\\nothere.exe");
  machine.MakeDirectory(kScratch);
  machine.MakeFile(WithinStart("test.avi"));
  const ProgramRun run = machine.Run({"-divx"});
  EXPECT_EQ(FromAnnouncement(run.console),
            "Starting test(s) execution: DivX \n"
            "\n" +
                SkippedTest("DivX encoding test started") + kAllTestsDone);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(CommandsAre(machine, {}));
}

TEST_F(RunControl, MissingDrivesFolderIsAClearFailure) {
  if (ChosenLauncher() == Launcher::Wine) {
    GTEST_SKIP() << "TARSEL_DRIVES belongs to the POSIX port; Windows has no drives folder";
  }
  SimulatedMachine machine;
  machine.SetDrivesFolder(machine.root() / "no-such-folder");
  machine.MakeFile(WithinStart("001.log"));

  const ProgramRun run = machine.Run({"-divx"});

  EXPECT_FALSE(run.timedOut);
  EXPECT_NE(run.exitCode, 0);
  EXPECT_LT(run.exitCode, 128) << "ended by a signal";
  EXPECT_EQ(run.console, "");
  // One line that says why.
  ASSERT_FALSE(run.errors.empty());
  EXPECT_EQ(run.errors.find('\n'), run.errors.size() - 1) << run.errors;
  EXPECT_TRUE(CommandsAre(machine, {}));
  EXPECT_TRUE(machine.Exists(WithinStart("001.log")));
}

}  // namespace
