// The seven encoding tests end to end on the testbed's whole machine: official,
// unofficial and invalid results, debug mode, groups and repeated selections. Each
// test compares the whole console, the exit code, the main log, the commands and
// direct program starts, and the files left in the start and work directories.
//
// The scenarios run at the same time, each on its machine, when the first test of
// the suite starts; the timing tool reports a fixed process share, so that a busy
// machine cannot turn a result invalid.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "encoding_tests_support.h"

namespace encoding {
namespace {

std::string Size(int number, long long difference) {
  return std::to_string(kOutputSize[number] + difference);
}

class EncodingRuns : public ScenarioSuite<EncodingRuns> {
 protected:
  /// A hold's limit: holds end when the harness releases them, this only ends a hold
  /// that a failed run never released.
  static inline const std::string kHeldAtMost = "600000";

  static void SetUpTestSuite() {
    auto& all = scenarios();
    all["all"] = Scenario({}, {"-all"});
    all["divx"] = Scenario({}, {"-divx"});
    // Every encoded file exactly at its tolerance; "-dvd" ends the run after MPEG1.
    all["dvd"] =
        Scenario({"--output", "001.avi=" + Size(1, 1000), "--output", "002.avi=" + Size(2, -1000),
                  "--output", "003.avi=" + Size(3, 10000), "--output", "004.mpg=" + Size(4, -1000)},
                 {"-dvd", "-mainc"});
    all["dv"] = Scenario({"--output", "005.mpg=" + Size(5, 15000), "--output",
                          "006.m2p=" + Size(6, -15000), "--output", "test.mpv=" + Size(7, 100000)},
                         {"-dv", "-divx"});
    all["unofficial"] = Scenario(kOtherClips, {"-all", "-divx"});
    // One byte past the tolerance, missing and held outputs, and a process share of
    // 98: too little for five tests, enough for MPEG2/Cinema Craft. The held output
    // outlives its test's validation: it is released when the next test starts.
    all["invalid"] =
        Scenario({"--timer-share", "98",
                  "--skip-output", "001.001",
                  "--skip-output", "001.002",
                  "--skip-output", "001.tmp",
                  "--output",      "001.avi=" + Size(1, 1001),
                  "--skip-output", "002.001",
                  "--skip-output", "002.avi",
                  "--skip-output", kScratch + "\\003.tmp",
                  "--skip-output", "003.tmp",
                  "--output",      "003.avi=" + Size(3, -10001),
                  "--skip-output", "004.mpg",
                  "--hold",        "005.mpg=" + kHeldAtMost,
                  "--skip-output", "006.m2p",
                  "--output",      "test.mpv=" + Size(7, -100001)},
                 {"-all"}, nullptr, [](SimulatedMachine& machine, const std::string& console) {
                   if (console.find("MPEG2/Canopus encoding test started") != std::string::npos) {
                     machine.ReleaseHolds();
                   }
                 });
    // Held past the test's "rd" and the end of the run, until the machine goes.
    all["held in scratch"] = Scenario({"--hold", "006.m2p=" + kHeldAtMost}, {"-cpro"});
    all["share95"] = Scenario({"--timer-share", "95"}, {"-mainc", "-ccesp"});
    all["share94"] = Scenario({"--timer-share", "94"}, {"-ccesp"});
    all["debug"] = Scenario(kOtherClips, {"-all", "-silentdebug", "-unknown"});
    all["disabled"] = Scenario(kOtherClips, {"-divx", "-xvid"}, [](SimulatedMachine& machine) {
      machine.RemoveSystemFile("divx.dll");
    });
    // A work directory of 71 characters: the DivX command, which holds it three
    // times, is 261 characters long and loses "01.log" of its redirection.
    all["cut"] = Scenario({"--mpg-size", "300000", "--temp", LongWork()}, {"-divx"});

    RunAll();
  }

  static std::string LongWork() { return "C:\\Temp\\" + std::string(63, 'w'); }

  /// The scenario's machine and run, after checking that it was laid out and ran.
  static Scenario& Ran(const std::string& name) {
    Scenario& scenario = ScenarioSuite::Ran(name);
    EXPECT_EQ(scenario.run.errors, "");
    return scenario;
  }

  /// What a run that recorded results shows besides its console.
  struct Recorded {
    std::vector<RecordedCommand> commands;  ///< the tests', after the start-up's
    std::vector<RecordedEvent> events;      ///< the tests' direct starts
    std::vector<std::string> labels;        ///< of the main log's records
    std::vector<std::string> startFiles = {"zentravo-kelv-tarsel.log"};  ///< besides CleanStart
    std::string work = kWork;
  };

  /// The commands and direct starts of these whole tests, one after another.
  static Recorded TestsRan(const std::vector<int>& numbers, std::vector<std::string> labels) {
    Recorded recorded;
    for (int number : numbers) {
      recorded.commands = Join<RecordedCommand>({recorded.commands, TestCommands(number)});
      recorded.events = Join<RecordedEvent>({recorded.events, TestEvents(number)});
    }
    recorded.labels = std::move(labels);
    return recorded;
  }

  /// A normal end after recording: exit code 0, the editor opened on the main log
  /// last, the main log holding the records, the start directory clean but for the
  /// files named, and the work and scratch directories gone or empty.
  static void ExpectRecorded(const Scenario& s, const Recorded& r) {
    const SimulatedMachine& machine = *s.machine;
    EXPECT_EQ(s.run.exitCode, 0);
    ASSERT_TRUE(AwaitEvent(machine, "notepad"));
    EXPECT_TRUE(CommandsAre(
        machine, Join<RecordedCommand>({StartUpCommands(), r.commands, {EditorCommand()}})));
    EXPECT_EQ(DirectStarts(machine), Join<RecordedEvent>({r.events, {EditorEvent()}}));
    EXPECT_EQ(NormalizedMainLog(machine), ExpectedMainLog(r.labels));
    EXPECT_EQ(FilesIn(machine, kStart), CleanStart(r.startFiles));
    EXPECT_EQ(FilesIn(machine, r.work), std::vector<std::string>());
    EXPECT_FALSE(machine.Exists(kScratch));
  }

  /// A run of the tests `numbers` on the original clips, each valid and recorded as
  /// official.
  static void ExpectAllValidAndOfficial(const Scenario& s, const std::string& announcement,
                                        const std::vector<int>& numbers) {
    std::string tests;
    std::vector<std::string> labels;
    for (int number : numbers) {
      tests += Valid(number);
      labels.push_back(OfficialLabel(number));
    }
    EXPECT_EQ(s.run.console, Analysis("original", "original") + Announcement(announcement) + tests +
                                 "All tests done\n");
    ExpectRecorded(s, TestsRan(numbers, labels));
  }
};

TEST_F(EncodingRuns, AllSevenTestsOfficialAndValid) {
  ExpectAllValidAndOfficial(Ran("all"), "ALL ", {1, 2, 3, 4, 5, 6, 7});
}

TEST_F(EncodingRuns, DivXAloneOfficialAndValid) {
  ExpectAllValidAndOfficial(Ran("divx"), "DivX ", {1});
}

TEST_F(EncodingRuns, DvdGroupWithOutputsAtTheirToleranceEndsBeforeTheNextOption) {
  ExpectAllValidAndOfficial(Ran("dvd"), "DVD-RIP MPEG2/MAINC ", {1, 2, 3, 4});
}

TEST_F(EncodingRuns, DvToMpeg2GroupThenDivX) {
  Scenario& s = Ran("dv");
  ExpectAllValidAndOfficial(s, "DV2MPEG2 DivX ", {5, 6, 7, 1});
  // The profile stays installed; the copy of the installation went with the scratch
  // directory.
  EXPECT_TRUE(s.machine->Exists(kProCoder + "\\Plugins\\User Presets\\fdst_highest.cpf"));
}

TEST_F(EncodingRuns, ClipsOfOtherSizesGiveUnofficialResultsWithoutValidation) {
  Scenario& s = Ran("unofficial");
  std::string tests;
  std::vector<std::string> labels;
  // All seven, then DivX a second time.
  const std::vector<int> numbers = {1, 2, 3, 4, 5, 6, 7, 1};
  for (int number : numbers) {
    tests += Unofficial(number);
    labels.push_back(UnofficialLabel(number));
  }
  EXPECT_EQ(s.run.console, Analysis("unofficial", "unofficial") + Announcement("ALL DivX ") +
                               tests + "All tests done\n");
  ExpectRecorded(s, TestsRan(numbers, labels));
}

TEST_F(EncodingRuns, EveryValidationNoteOnceInTableOrder) {
  Scenario& s = Ran("invalid");
  const SimulatedMachine& machine = *s.machine;
  EXPECT_EQ(s.run.console, Analysis("original", "original") + Announcement("ALL ") +
                               Invalid(1, {kEncoderLogs, kFirstPass, kSizeMismatch, kActivity}) +
                               Invalid(2, {kEncoderLog, kSizeMismatch, kEncodedFile, kActivity}) +
                               Invalid(3, {kEncoderLog, kFirstPass, kSizeMismatch, kActivity}) +
                               Invalid(4, {kSizeMismatch, kEncodedFile, kActivity}) +
                               Invalid(5, {kSizeMismatch, kEncodedFile, kActivity}) +
                               // No activity check, and 98 is enough for MPEG2/Cinema Craft.
                               Invalid(6, {kSizeMismatch, kEncodedFile}) +
                               Invalid(7, {kSizeMismatch}) + "All tests done\n");
  EXPECT_EQ(s.run.exitCode, 0);
  // Nothing was recorded: no main log, no editor.
  EXPECT_TRUE(CommandsAre(
      machine,
      Join<RecordedCommand>({StartUpCommands(), TestCommands(1), TestCommands(2), TestCommands(3),
                             TestCommands(4), TestCommands(5), TestCommands(6), TestCommands(7)})));
  EXPECT_FALSE(machine.Exists(kStart + "\\zentravo-kelv-tarsel.log"));
  // The held MPEG2/Mainconcept output outlived its test, not the run (under Wine,
  // whose pace varies, it may still be held when the run ends).
  const std::vector<std::string> start = FilesIn(machine, kStart);
  if (ChosenLauncher() == Launcher::Native || start != CleanStart({"005.mpg"})) {
    EXPECT_EQ(start, CleanStart());
  }
  EXPECT_EQ(FilesIn(machine, kWork), std::vector<std::string>());
  EXPECT_FALSE(machine.Exists(kScratch));
}

TEST_F(EncodingRuns, OutputHeldInTheScratchDirectoryKeepsItThroughTheRun) {
  Scenario& s = Ran("held in scratch");
  const SimulatedMachine& machine = *s.machine;
  EXPECT_EQ(s.run.console, Analysis("original", "original") + Announcement("MPEG2/CPRO ") +
                               Invalid(6, {kSizeMismatch, kEncodedFile}) + "All tests done\n");
  EXPECT_EQ(s.run.exitCode, 0);
  // The test's "rd" leaves the held file and its folder, so the end of the run tries
  // again, and leaves them too.
  EXPECT_TRUE(CommandsAre(
      machine,
      Join<RecordedCommand>({StartUpCommands(), TestCommands(6), {RemoveScratchCommand()}})));
  const std::vector<std::string> left = FilesIn(machine, kScratch);
  if (ChosenLauncher() == Launcher::Native) {
    EXPECT_EQ(left, std::vector<std::string>{"006.m2p"});
  } else {
    // Windows' "rd /s" goes on past a file it cannot delete; Wine's stops there.
    EXPECT_NE(std::find(left.begin(), left.end(), "006.m2p"), left.end());
  }
  EXPECT_EQ(FilesIn(machine, kStart), CleanStart());
  EXPECT_EQ(FilesIn(machine, kWork), std::vector<std::string>());
}

TEST_F(EncodingRuns, ShareOf95PassesOnlyForCinemaCraft) {
  Scenario& s = Ran("share95");
  EXPECT_EQ(s.run.console, Analysis("original", "original") +
                               Announcement("MPEG2/MAINC MPEG2/CCESP ") + Invalid(5, {kActivity}) +
                               Valid(7) + "All tests done\n");
  ExpectRecorded(s, TestsRan({5, 7}, {OfficialLabel(7)}));
}

TEST_F(EncodingRuns, ShareOf94IsTooLittleForCinemaCraft) {
  Scenario& s = Ran("share94");
  const SimulatedMachine& machine = *s.machine;
  EXPECT_EQ(s.run.console, Analysis("original", "original") + Announcement("MPEG2/CCESP ") +
                               Invalid(7, {kActivity}) + "All tests done\n");
  EXPECT_EQ(s.run.exitCode, 0);
  EXPECT_EQ(FilesIn(machine, kStart), CleanStart());
  EXPECT_EQ(FilesIn(machine, kWork), std::vector<std::string>());
}

TEST_F(EncodingRuns, DebugModeLeavesEveryFileInPlace) {
  Scenario& s = Ran("debug");
  const SimulatedMachine& machine = *s.machine;
  EXPECT_EQ(s.run.console, kProgramBanner +
                               "Hidden debugging option activated\n"
                               "Test mode: no results, but leave all temporary files on disks\n"
                               "All arguments after this option are not processed\n\n" +
                               Reports("unofficial", "unofficial") + Announcement("ALL ") +
                               InDebugMode(1) + InDebugMode(2) + InDebugMode(3) + InDebugMode(4) +
                               InDebugMode(5) + InDebugMode(6) + InDebugMode(7));
  EXPECT_EQ(s.run.exitCode, 0);
  EXPECT_TRUE(CommandsAre(
      machine,
      Join<RecordedCommand>({StartUpCommands(), TestCommands(1, kWork, true),
                             TestCommands(2, kWork, true), TestCommands(3, kWork, true),
                             TestCommands(4, kWork, true), TestCommands(5, kWork, true),
                             TestCommands(6, kWork, true), TestCommands(7, kWork, true)})));
  // Each script took its marker away before its encoder ended.
  EXPECT_FALSE(machine.Exists(kStart + "\\nncron.out"));
  EXPECT_EQ(
      FilesIn(machine, kStart),
      CleanStart({"001.001", "001.002", "001.avi", "001.log", "001.tmp",  "002.001", "002.avi",
                  "002.log", "002.tmp", "003.avi", "003.log", "003.tmp",  "004.log", "004.mpg",
                  "005.log", "005.mpg", "006.log", "007.log", "test.mpv", "test.vaf"}));
  EXPECT_EQ(
      FilesIn(machine, kWork),
      (std::vector<std::string>{
          "001.dat",      "002.dat",      "003.dat",   "004.mes",   "004.nnc",   "005.mes",
          "005.nnc",      "006.dat",      "006.exe",   "006.nnc",   "007.dat",   "007.nnc",
          "contig.exe",   "corona.dll",   "ogg.dll",   "sync.exe",  "timer.exe", "vdicmdrv.dll",
          "vdremote.dll", "vdsvrlnk.dll", "vdubm.dat", "vdubm.exe", "vorbis.dll"}));
  EXPECT_EQ(FilesIn(machine, kScratch),
            (std::vector<std::string>{"003.tmp", "006.m2p", "Plugins\\", "procoder.exe"}));
}

TEST_F(EncodingRuns, DisabledTestIsSkippedAndTheNextOneRuns) {
  Scenario& s = Ran("disabled");
  EXPECT_EQ(s.run.console, Analysis("unofficial", "unofficial", false) +
                               Announcement("DivX XviD ") + Skipped(1) + Unofficial(2) +
                               "All tests done\n");
  ExpectRecorded(s, TestsRan({2}, {UnofficialLabel(2)}));
}

TEST_F(EncodingRuns, CommandLongerThan255CharactersIsCut) {
  Scenario& s = Ran("cut");
  Recorded r;
  r.work = LongWork();
  ASSERT_EQ(r.work.size(), 71u);
  EXPECT_EQ(s.run.console, Analysis("unofficial", "original") + Announcement("DivX ") +
                               Unofficial(1) + "All tests done\n");
  r.commands = TestCommands(1, r.work);
  const std::string whole = r.commands.back().command;
  ASSERT_EQ(whole.size(), 261u);
  r.commands.back().command = whole.substr(0, 255);
  ASSERT_EQ(r.commands.back().command.substr(240), "\\001.dat /x > 0");
  r.events = TestEvents(1, r.work);
  // The timing tool's report went to "0", so there was no encoding time to record:
  // the new main log holds its header alone, and the editor is opened all the same.
  r.startFiles = {"0", "zentravo-kelv-tarsel.log"};
  ExpectRecorded(s, r);
}

}  // namespace
}  // namespace encoding
