// The program at its limits, end to end on the testbed's whole machine: work
// directories of 250 and 300 characters (every command text cut at exactly 255
// characters), 8-bit bytes in arguments, in the work directory and in the folders that
// the drive search walks, 99, 100 and a thousand arguments, and test logs of several
// megabytes whose lines run far past 255 characters. The sanitized build of the suite
// runs these against the sanitized program, so a write past a buffer fails there.
//
// The scenarios run at the same time, each on its machine, when the suite starts.
// Those that rename host folders to 8-bit names, link host files or hand 8-bit bytes
// in the argument vector are the POSIX port's; under Wine they are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "encoding_tests_support.h"

namespace encoding {
namespace {

namespace fs = std::filesystem;

constexpr size_t kShortText = 255;
const std::string kUnknownArgument = "#033 unknown command line argument: ";

std::string Cut(const std::string& text) {
  return text.substr(0, kShortText);
}

std::vector<RecordedCommand> Cut(std::vector<RecordedCommand> commands) {
  for (RecordedCommand& command : commands) command.command = Cut(command.command);
  return commands;
}

std::vector<RecordedEvent> Cut(std::vector<RecordedEvent> events) {
  for (RecordedEvent& event : events) event.arguments = Cut(event.arguments);
  return events;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::vector<std::string> With(std::vector<std::string> options, std::vector<std::string> more) {
  options.insert(options.end(), more.begin(), more.end());
  return options;
}

std::vector<std::string> Repeated(size_t count, const std::string& argument) {
  return std::vector<std::string>(count, argument);
}

/// A work directory of 250 characters: the pack copy's command is 297 characters long.
const std::string kWork250 = "C:\\Temp\\" + std::string(242, 'w');
/// The first 255 characters of a TEMP of 300: the work directory the program uses.
const std::string kWork255 = "C:\\Temp\\" + std::string(247, 'p');
const std::string kTemp300 = kWork255 + "\\" + std::string(44, 'v');
/// 8-bit bytes in a work directory, and in the folder the Mainconcept encoder lies in.
const std::string kWork8Bit = "C:\\Temp\\\xE9t\xE9\xFF";
const std::string kMainconcept = "D:\\Program Files\\Mainconcept\\MPEG Encoder\\";
const std::string kMainconcept8Bit = "D:\\Program Files\\Mainc\xF4ncept \xE9\xFF\\MPEG Encoder\\";

const std::string kDebugLines =
    "Hidden debugging option activated\n"
    "Test mode: no results, but leave all temporary files on disks\n"
    "All arguments after this option are not processed\n\n";

/// The timing tool's own report, after whatever the encoder printed.
const std::string kReport =
    "Process Time =     2.046 =   99%\r\n"
    "Global Time  =     2.060 =  100%\r\n";

/// A test log of some 12 MB: an encoder's progress of 4 MB on one line, with both
/// keywords far past its 255th character, then the two keyword lines, each 4 MB long.
/// Their first 255 characters give the time 1.5 and the figure 99; read whole, they
/// would give another time and the figure 0, and the run would end otherwise.
std::string LongLinesLog() {
  const size_t megabytes = 4 << 20;
  std::string log = std::string(300, '#') + "Global = 7 = 7% Process = 0 = 0%";
  log += std::string(megabytes, '#') + "\r\n";
  log += "Global = 1.5 = 1%" + std::string(megabytes, 'x') + " = 99 = 100%\r\n";
  const std::string processStart = "Process" + std::string(244, '.') + " 99%";
  log += processStart + std::string(megabytes, 'y') + " 0%\r\n";
  return log + kReport;
}

/// A log of 6 MB whose time line is one long number: its first 255 characters hold no
/// closing "=", so the encoding time cannot be read.
std::string LongNumberLog() {
  return "Global = " + std::string(6 << 20, '7') + " = 100%\r\n" + kReport;
}

bool Native() {
  return ChosenLauncher() == Launcher::Native;
}

std::vector<std::string> PackContents(const SimulatedMachine& machine, int number) {
  std::vector<std::string> names;
  const fs::path folder =
      machine.root() / "machine" / "pack-sources" / ("pack.00" + std::to_string(number));
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

void WithoutDivXCodec(SimulatedMachine& machine) {
  machine.RemoveSystemFile("divx.dll");
}

/// The scenarios of the POSIX port's host names, links and argument bytes; Wine knows
/// nothing of them.
void AddPosixScenarios(std::map<std::string, Scenario>& all) {
  all["work 300"] =
      Scenario(With(kOtherClips, {"--temp", kTemp300}), {"-divx"}, [](SimulatedMachine& machine) {
        // The cut copy command names a file beside the work directory; a link
        // there lets the copy land in it, so that the test goes on.
        fs::create_symlink(machine.HostPath(kWork255) / "zentravotemppack.exe",
                           machine.HostPath("C:\\Temp\\" + std::string(227, 'p')));
      });
  all["work 8-bit"] = Scenario(With(kOtherClips, {"--temp", kWork8Bit}), {"-divx"});
  all["install 8-bit"] = Scenario(kOtherClips, {"-mpeg1"}, [](SimulatedMachine& machine) {
    const fs::path programs = machine.HostPath("D:\\Program Files");
    const fs::path folder = programs / "Mainc\xF4ncept \xE9\xFF";
    fs::rename(programs / "Mainconcept", folder);
    fs::rename(folder / "MPEG Encoder" / "mcmpgenc.exe", folder / "MPEG Encoder" / "MCMPGENC.EXE");
    // On drive C:, searched first: the encoder's size, but an 8-bit byte whose low
    // seven bits are those of "e" or "E".
    for (const char* decoy : {"mcmpg\xE5nc.exe", "MCMPG\xC5NC.EXE"}) {
      machine.MakeFile("C:\\Decoy\\" + std::string(decoy));
      fs::resize_file(machine.HostPath("C:\\Decoy\\" + std::string(decoy)), 475136);
    }
  });
  all["arguments 8-bit"] = Scenario(kOtherClips, {"-DivX", "-XVID\xC9\xFF", "-xvid"});
  all["argument 300 bytes"] = Scenario(kOtherClips, {std::string(300, '\xFF')});
  all["hidden option 100th"] = Scenario(
      kOtherClips, With(With(Repeated(99, "-divx"), {"-SILENTDEBUG"}), Repeated(400, "-\xFF")),
      WithoutDivXCodec);
}

class LimitsScenarios : public ScenarioSuite<LimitsScenarios> {
 protected:
  static void SetUpTestSuite() {
    auto& all = scenarios();
    all["work 250"] = Scenario(With(kOtherClips, {"--temp", kWork250}), {"-divx"});
    all["arguments 100"] =
        Scenario(kOtherClips, With(With(Repeated(99, "-divx"), {"-Mpeg1"}), Repeated(900, "-all")));
    all["long log"] = Scenario({}, {"-mpeg1"}, TimerLeaves(LongLinesLog()));
    all["long number log"] = Scenario(kOtherClips, {"-mpeg1"}, TimerLeaves(LongNumberLog()));

    // Empty arguments do not count, as an empty pair of quotes does not on Windows.
    std::vector<std::string> ninetyNine;
    for (int i = 0; i < 99; ++i) {
      ninetyNine.push_back("-divx");
      if (i % 2 == 0) ninetyNine.push_back("");
    }
    all["arguments 99"] = Scenario(kOtherClips, ninetyNine, WithoutDivXCodec);

    if (Native()) AddPosixScenarios(all);

    RunAll();
  }

  /// The scenario, after checking that its machine was laid out and the run ended by
  /// itself; nullptr when it does not run under this launcher.
  static const Scenario* RanIfThere(const std::string& name) {
    return scenarios().count(name) == 0 ? nullptr : &Ran(name);
  }
};

#define SCENARIO_OR_SKIP(name)                                                          \
  const Scenario* s = RanIfThere(name);                                                 \
  if (s == nullptr) GTEST_SKIP() << "the POSIX port's host names, links and arguments"; \
  const SimulatedMachine& machine = *s->machine

TEST_F(LimitsScenarios, WorkDirectoryOf250CharactersCutsThePackCopyCommand) {
  SCENARIO_OR_SKIP("work 250");
  const std::string copy = "/c copy /y pack.001 " + kWork250 + "\\zentravotemppack.exe > nul";
  ASSERT_EQ(copy.size(), 297u);
  // The cut text lost its redirection too, so the interpreter's report shows (Wine's
  // copy reports nothing).
  const std::string copyReport = Native() ? "        1 file(s) copied.\n" : "";
  EXPECT_EQ(s->run.console, Analysis("unofficial", "unofficial") + Announcement("DivX ") +
                                UpToRequirements(1) + copyReport +
                                FatalReport("#004 cannot process pack"));
  EXPECT_EQ(s->run.exitCode, 5);
  EXPECT_EQ(s->run.errors, "");
  EXPECT_TRUE(CommandsAre(
      machine, Join<RecordedCommand>({StartUpCommands(), {{kStart + "\\pack", Cut(copy)}}})));
  for (const RecordedCommand& command : machine.RecordedCommands()) {
    EXPECT_LE(command.command.size(), kShortText);
  }
  // The copy went where the cut text names: a file of 227 "w" beside the work directory.
  const std::string cutTarget = "C:\\Temp\\" + std::string(227, 'w');
  ASSERT_EQ(Cut(copy), "/c copy /y pack.001 " + cutTarget);
  EXPECT_EQ(FilesIn(machine, "C:\\Temp"),
            Sorted({std::string(242, 'w') + "\\", std::string(227, 'w')}));
  EXPECT_EQ(fs::file_size(machine.HostPath(cutTarget)),
            fs::file_size(machine.HostPath(kStart + "\\pack\\pack.001")));
  EXPECT_EQ(FilesIn(machine, kWork250), std::vector<std::string>());
  EXPECT_EQ(FilesIn(machine, kStart), CleanStart());
}

TEST_F(LimitsScenarios, TempOf300CharactersGivesAWorkDirectoryOf255AndEveryCommandIsCut) {
  SCENARIO_OR_SKIP("work 300");
  EXPECT_EQ(s->run.console, Analysis("unofficial", "unofficial") + Announcement("DivX ") +
                                UpToRequirements(1) + "        1 file(s) copied.\n" +
                                "Optimizing disk operations... complete\n"
                                "Measurement part started... complete\n\n"
                                "All tests done\n");
  EXPECT_EQ(s->run.exitCode, 0);
  // The work directory is the first 255 characters of TEMP: the pack was unpacked there.
  // Every later command that names it is cut, so the disk tools, the timing tool and
  // the registry editor find nothing to run or import, and no test log is written.
  ASSERT_TRUE(AwaitEvent(machine, "notepad"));
  EXPECT_TRUE(CommandsAre(
      machine, Join<RecordedCommand>(
                   {StartUpCommands(), Cut(TestCommands(1, kWork255)), {EditorCommand()}})));
  for (const RecordedCommand& command : machine.RecordedCommands()) {
    EXPECT_LE(command.command.size(), kShortText);
  }
  EXPECT_EQ(Cut(TestCommands(1, kWork255)).back().command,
            "/c " + kWork255.substr(0, kShortText - 3));
  EXPECT_EQ(DirectStarts(machine),
            Join<RecordedEvent>({Cut(TestEvents(1, kWork255)), {EditorEvent()}}));
  // The unofficial result has no test log to take a time from: the main log gets only
  // its header. The pack's files stay: each name joined to the work directory is cut
  // back to the directory itself, which is not deleted as a file.
  EXPECT_EQ(NormalizedMainLog(machine), ExpectedMainLog({}));
  EXPECT_EQ(FilesIn(machine, kStart), CleanStart({"zentravo-kelv-tarsel.log"}));
  std::vector<std::string> work = PackContents(machine, 1);
  work.push_back(std::string(44, 'v') + "\\");
  EXPECT_EQ(FilesIn(machine, kWork255), Sorted(work));
}

/// A run of the one test `number` that ended normally, its result unofficial, and
/// started the editor.
void ExpectUnofficialRun(const SimulatedMachine& machine, const ProgramRun& run, int number,
                         const std::string& announcement) {
  EXPECT_EQ(run.console, Analysis("unofficial", "unofficial") + Announcement(announcement) +
                             Unofficial(number) + "All tests done\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.errors, "");
  EXPECT_TRUE(AwaitEvent(machine, "notepad"));
}

TEST_F(LimitsScenarios, EightBitWorkDirectory) {
  SCENARIO_OR_SKIP("work 8-bit");
  ExpectUnofficialRun(machine, s->run, 1, "DivX ");
  EXPECT_TRUE(CommandsAre(
      machine,
      Join<RecordedCommand>({StartUpCommands(), TestCommands(1, kWork8Bit), {EditorCommand()}})));
  EXPECT_EQ(DirectStarts(machine),
            Join<RecordedEvent>({TestEvents(1, kWork8Bit), {EditorEvent()}}));
  EXPECT_EQ(NormalizedMainLog(machine), ExpectedMainLog({UnofficialLabel(1)}));
  EXPECT_EQ(FilesIn(machine, kWork8Bit), std::vector<std::string>());
}

TEST_F(LimitsScenarios, EncoderFoundInAFolderWithEightBitNames) {
  SCENARIO_OR_SKIP("install 8-bit");
  ExpectUnofficialRun(machine, s->run, 4, "MPEG1 ");
  // Found under its 8-bit folder on drive D:, not as one of the decoys on drive C:.
  std::vector<RecordedCommand> commands = TestCommands(4);
  for (RecordedCommand& command : commands) {
    command.command = Replaced(command.command, kMainconcept, kMainconcept8Bit);
  }
  ASSERT_NE(commands, TestCommands(4));
  EXPECT_TRUE(CommandsAre(machine,
                          Join<RecordedCommand>({StartUpCommands(), commands, {EditorCommand()}})));
  EXPECT_EQ(DirectStarts(machine), Join<RecordedEvent>({TestEvents(4), {EditorEvent()}}));
  EXPECT_EQ(NormalizedMainLog(machine), ExpectedMainLog({UnofficialLabel(4)}));
}

/// A run that refused an argument before any test: the console shows `shown` in the
/// message.
void ExpectRefusedArgument(const SimulatedMachine& machine, const ProgramRun& run,
                           const std::string& shown) {
  EXPECT_EQ(run.console, kProgramBanner + FatalReport(kUnknownArgument + shown));
  EXPECT_EQ(run.exitCode, 5);
  EXPECT_EQ(run.errors, "");
  EXPECT_TRUE(CommandsAre(machine, StartUpCommands()));
}

TEST_F(LimitsScenarios, EightBitArgumentIsRefusedAsGiven) {
  SCENARIO_OR_SKIP("arguments 8-bit");
  // Only A-Z are lowered; the 8-bit bytes reach the console unchanged.
  ExpectRefusedArgument(machine, s->run, "-xvid\xC9\xFF");
}

TEST_F(LimitsScenarios, ArgumentOf300EightBitBytesIsReportedCut) {
  SCENARIO_OR_SKIP("argument 300 bytes");
  const size_t room = kShortText - kUnknownArgument.size();
  ExpectRefusedArgument(machine, s->run, std::string(room, '\xFF'));
}

/// The announcement of 99 DivX tests, each skipped: its codec is missing.
std::string NinetyNineDivXSkipped() {
  std::string announcements;
  std::string tests;
  for (int i = 0; i < 99; ++i) {
    announcements += "DivX ";
    tests += Skipped(1);
  }
  return Announcement(announcements) + tests;
}

TEST_F(LimitsScenarios, NinetyNineArgumentsAllRun) {
  SCENARIO_OR_SKIP("arguments 99");
  EXPECT_EQ(s->run.console, Analysis("unofficial", "unofficial", false) + NinetyNineDivXSkipped() +
                                "All tests done\n");
  EXPECT_EQ(s->run.exitCode, 0);
  EXPECT_EQ(s->run.errors, "");
  EXPECT_TRUE(CommandsAre(machine, StartUpCommands()));
  EXPECT_FALSE(machine.Exists(kStart + "\\zentravo-kelv-tarsel.log"));
}

TEST_F(LimitsScenarios, HundredthOfAThousandArgumentsIsRefused) {
  SCENARIO_OR_SKIP("arguments 100");
  // Refused although it names a test: the list has no room left for it.
  ExpectRefusedArgument(machine, s->run, "-mpeg1");
}

TEST_F(LimitsScenarios, HiddenOptionAsHundredthArgumentEndsTheList) {
  SCENARIO_OR_SKIP("hidden option 100th");
  // The 400 arguments after it are never looked at; debug mode ends without a word.
  EXPECT_EQ(s->run.console, kProgramBanner + kDebugLines +
                                Reports("unofficial", "unofficial", false) +
                                NinetyNineDivXSkipped());
  EXPECT_EQ(s->run.exitCode, 0);
  EXPECT_EQ(s->run.errors, "");
  EXPECT_TRUE(CommandsAre(machine, StartUpCommands()));
}

TEST_F(LimitsScenarios, TestLogOfLongLinesIsReadByTheirFirst255Characters) {
  SCENARIO_OR_SKIP("long log");
  EXPECT_EQ(s->run.console, Analysis("original", "original") + Announcement("MPEG1 ") + Valid(4) +
                                "All tests done\n");
  EXPECT_EQ(s->run.exitCode, 0);
  EXPECT_EQ(s->run.errors, "");
  ASSERT_TRUE(AwaitEvent(machine, "notepad"));
  EXPECT_EQ(NormalizedMainLog(machine),
            Replaced(ExpectedMainLog({OfficialLabel(4)}), "<time>", "1.5"));
  EXPECT_EQ(FilesIn(machine, kStart), CleanStart({"zentravo-kelv-tarsel.log"}));
}

TEST_F(LimitsScenarios, TestLogWithATimeOfMegabytesEndsTheRun) {
  SCENARIO_OR_SKIP("long number log");
  EXPECT_EQ(s->run.console, Analysis("unofficial", "unofficial") + Announcement("MPEG1 ") +
                                UpToMeasurement(4) +
                                FatalReport("#012 cannot read temporary logfile"));
  EXPECT_EQ(s->run.exitCode, 5);
  EXPECT_EQ(s->run.errors, "");
  EXPECT_TRUE(CommandsAre(machine, Join<RecordedCommand>({StartUpCommands(), TestCommands(4)})));
  // The reader closed the log, so the clean-up could delete it.
  EXPECT_EQ(FilesIn(machine, kStart), CleanStart({"zentravo-kelv-tarsel.log"}));
  EXPECT_EQ(NormalizedMainLog(machine), ExpectedMainLog({}));
}

}  // namespace
}  // namespace encoding
