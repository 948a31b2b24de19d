// The constant properties of each test, one row per test in TestId order: what the
// test procedure, the automation steps and the result validation need to know of it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "run/cleanup.h"
#include "run/fatal_messages.h"
#include "run/run_state.h"
#include "tests/test_id.h"

/// Where a directory in a command text comes from. Every encoder directory ends with
/// "\", the others do not.
enum class CommandPlace : uint8_t {
  WorkDir,         ///< runState.tempDir
  MainconceptDir,  ///< runState.mainconceptDir
  CceDir,          ///< runState.cceDir
  NncronDir,       ///< runState.nncronDir
  CurrentDir,      ///< the current directory, read when the command is built
};

/// The timed command: "/c " W "\timer.exe " + program directory + program + argument
/// directory + argument + " > " + test log.
struct MeasuredProgram {
  CommandPlace programDir;
  std::string_view program;  ///< from the "\" before the program's name to its first argument
  CommandPlace argumentDir;
  std::string_view argument;  ///< from the "\" before the file's name to the redirection
};

/// Timing tool and redirection around the measured program.
inline constexpr char kTimerAfterWorkDir[] = "\\timer.exe ";
inline constexpr char kRedirectTo[] = " > ";

/// One check of a result. Relative names lie in the start directory.
struct ValidationCheck {
  enum class Kind : uint8_t {
    Delete,    ///< `file` existed and could be deleted (so it was not held open)
    Size,      ///< `file` in `directory` opens exclusively and is `expected` +- `limit` bytes
    Activity,  ///< the "Process" figure of the test log `file` is at least `limit`
  };
  Kind kind;
  std::string_view directory = {};  ///< Size only; empty for the current directory
  std::string_view file;
  int32_t expected = 0;   ///< Size only
  int32_t limit = 0;      ///< the tolerance of a Size check, the minimum of an Activity check
  std::string_view note;  ///< printed (once) when the check fails
};

/// The validation notes.
inline constexpr char kNoteEncoderLogs[] = "-- cannot find one of encoder logs or it still locked";
inline constexpr char kNoteEncoderLog[] = "-- cannot find encoder log or it still locked";
inline constexpr char kNoteFirstPass[] = "-- cannot find 1st pass file or it still locked";
inline constexpr char kNoteSizeMismatch[] = "-- encoded file size mismatch";
inline constexpr char kNoteEncodedFile[] = "-- cannot find encoded file or it still locked";
inline constexpr char kNoteActivity[] = "-- other program activity detected";

/// The most checks a test has.
constexpr int kMaxValidationChecks = 6;

constexpr ValidationCheck DeleteCheck(std::string_view file, std::string_view note) {
  return {.kind = ValidationCheck::Kind::Delete, .file = file, .note = note};
}
/// The encoded file of `output` in `directory`, against that test's reference size.
constexpr ValidationCheck SizeCheck(std::string_view directory, std::string_view file,
                                    TestId output, int32_t tolerance) {
  return {.kind = ValidationCheck::Kind::Size,
          .directory = directory,
          .file = file,
          .expected = ReferenceSizes.encodedOutput[TestIndex(output)],
          .limit = tolerance,
          .note = kNoteSizeMismatch};
}
/// The same in the current directory.
constexpr ValidationCheck SizeCheck(std::string_view file, TestId output, int32_t tolerance) {
  return SizeCheck({}, file, output, tolerance);
}
constexpr ValidationCheck ActivityCheck(std::string_view testLog, int32_t minimum) {
  return {.kind = ValidationCheck::Kind::Activity,
          .file = testLog,
          .limit = minimum,
          .note = kNoteActivity};
}

/// What sets one test apart from the others. A row names the fields that set it apart;
/// one it leaves out keeps its default (false, or empty for none).
struct TestDefinition {
  /// The middle line of the test's banner; the lines above and below it are as
  /// many dashes as it has characters.
  std::string_view title;
  std::string_view pack;        ///< in the pack directory
  std::string_view testLog;     ///< the timing tool's report, in the start directory
  std::string_view sourceClip;  ///< in the start directory
  /// The clip has its reference size: the result is official and gets validated.
  bool RunState::*officialWhen;

  /// The scratch directory is created before unpacking ("#034" when it cannot be).
  bool createsScratchDir = false;
  /// A settings file of the pack imported with the registry editor; empty for none.
  std::string_view registrySettings = {};
  /// nnCron's script, started beside the encoder before the measurement; empty for none.
  std::string_view automationScript = {};
  std::string_view automationStartFailure = {};  ///< no marker file after the start
  std::string_view automationEndFailure = {};    ///< marker still there after the
                                                 ///< measurement; empty: no marker test
  /// The ProCoder profile and program copy after unpacking, and the helper's untimed
  /// start command right before the timed one.
  bool installsProCoder = false;
  MeasuredProgram measured;
  /// The scratch directory is removed when the test ends.
  bool removesScratchDir = false;

  std::string_view unofficialLabel;
  std::string_view officialLabel;
  /// The empty line after "result are valid" comes before the record, not after it.
  bool blankLineBeforeOfficialRecord = false;
  std::array<ValidationCheck, kMaxValidationChecks> checks;
  int checkCount;
};

inline constexpr std::array<TestDefinition, kTestCount> kTestDefinitions = {{
    {
        .title = "DivX encoding test started",
        .pack = "pack.001",
        .testLog = "001.log",
        .sourceClip = "test.mpg",
        .officialWhen = &RunState::mpgExactSize,
        .registrySettings = "vdubm.dat",
        .measured = {.programDir = CommandPlace::WorkDir,
                     .program = "\\vdubm.exe /s",
                     .argumentDir = CommandPlace::WorkDir,
                     .argument = "\\001.dat /x"},
        .unofficialLabel = "UNOFFICIAL DivX test result",
        .officialLabel = "Official DivX test result (validation passed)",
        .blankLineBeforeOfficialRecord = true,
        .checks = {{
            DeleteCheck("001.001", kNoteEncoderLogs),
            DeleteCheck("001.002", kNoteEncoderLogs),
            DeleteCheck("001.tmp", kNoteFirstPass),
            SizeCheck("001.avi", TestId::DivX, 1000),
            DeleteCheck("001.avi", kNoteEncodedFile),
            ActivityCheck("001.log", 99),
        }},
        .checkCount = 6,
    },
    {
        .title = "XviD encoding test started",
        .pack = "pack.002",
        .testLog = "002.log",
        .sourceClip = "test.mpg",
        .officialWhen = &RunState::mpgExactSize,
        .registrySettings = "vdubm.dat",
        .measured = {.programDir = CommandPlace::WorkDir,
                     .program = "\\vdubm.exe /s",
                     .argumentDir = CommandPlace::WorkDir,
                     .argument = "\\002.dat /x"},
        .unofficialLabel = "UNOFFICIAL XviD test result",
        .officialLabel = "Official XviD test result (validation passed)",
        .checks = {{
            DeleteCheck("002.001", kNoteEncoderLog),
            DeleteCheck("002.tmp", kNoteFirstPass),
            SizeCheck("002.avi", TestId::XviD, 1000),
            DeleteCheck("002.avi", kNoteEncodedFile),
            ActivityCheck("002.log", 99),
        }},
        .checkCount = 5,
    },
    {
        .title = "Windows Media Video 9 encoding test started",
        .pack = "pack.003",
        .testLog = "003.log",
        .sourceClip = "test.mpg",
        .officialWhen = &RunState::mpgExactSize,
        .createsScratchDir = true,
        .registrySettings = "vdubm.dat",
        .measured = {.programDir = CommandPlace::WorkDir,
                     .program = "\\vdubm.exe /s",
                     .argumentDir = CommandPlace::WorkDir,
                     .argument = "\\003.dat /x"},
        .removesScratchDir = true,
        .unofficialLabel = "UNOFFICIAL Windows Media Video 9 test result",
        .officialLabel = "Official Windows Media Video 9 test result (validation passed)",
        .checks = {{
            DeleteCheck("c:\\zentravo-kelv-tarsel-testdir\\003.tmp", kNoteEncoderLog),
            DeleteCheck("003.tmp", kNoteFirstPass),
            SizeCheck("003.avi", TestId::WMV9, 10000),
            DeleteCheck("003.avi", kNoteEncodedFile),
            ActivityCheck("003.log", 99),
        }},
        .checkCount = 5,
    },
    {
        .title = "MPEG1/Mainconcept encoding test started",
        .pack = "pack.004",
        .testLog = "004.log",
        .sourceClip = "test.mpg",
        .officialWhen = &RunState::mpgExactSize,
        .automationScript = "004.nnc",
        .automationStartFailure = kFatal018Mpeg1NncronNotStarted,
        .automationEndFailure = kFatal019Mpeg1NncronStillRunning,
        .measured = {.programDir = CommandPlace::MainconceptDir,
                     .program = "\\mcmpgenc.exe ",
                     .argumentDir = CommandPlace::WorkDir,
                     .argument = "\\004.mes"},
        .unofficialLabel = "UNOFFICIAL MPEG1/Mainconcept test result",
        .officialLabel = "Official MPEG1/Mainconcept test result (validation passed)",
        .checks = {{
            SizeCheck("004.mpg", TestId::MPEG1, 1000),
            DeleteCheck("004.mpg", kNoteEncodedFile),
            ActivityCheck("004.log", 99),
        }},
        .checkCount = 3,
    },
    {
        .title = "MPEG2/Mainconcept encoding test started",
        .pack = "pack.005",
        .testLog = "005.log",
        .sourceClip = "test.avi",
        .officialWhen = &RunState::aviExactSize,
        .automationScript = "005.nnc",
        .automationStartFailure = kFatal020MaincNncronNotStarted,
        .automationEndFailure = kFatal021MaincNncronStillRunning,
        .measured = {.programDir = CommandPlace::MainconceptDir,
                     .program = "\\mcmpgenc.exe ",
                     .argumentDir = CommandPlace::WorkDir,
                     .argument = "\\005.mes"},
        .unofficialLabel = "UNOFFICIAL MPEG2/Mainconcept test result",
        .officialLabel = "Official MPEG2/Mainconcept test result (validation passed)",
        .checks = {{
            SizeCheck("005.mpg", TestId::MPEG2Mainconcept, 15000),
            DeleteCheck("005.mpg", kNoteEncodedFile),
            ActivityCheck("005.log", 99),
        }},
        .checkCount = 3,
    },
    {
        .title = "MPEG2/Canopus encoding test started",
        .pack = "pack.006",
        .testLog = "006.log",
        .sourceClip = "test.avi",
        .officialWhen = &RunState::aviExactSize,
        // nnCron runs the script as the measured program, so nothing starts beside the
        // encoder; only the marker test after the measurement remains.
        .automationEndFailure = kFatal024CproNncronStillRunning,
        .installsProCoder = true,
        .measured = {.programDir = CommandPlace::NncronDir,
                     .program = "\\nncron.exe -runfile ",
                     .argumentDir = CommandPlace::WorkDir,
                     .argument = "\\006.nnc"},
        .removesScratchDir = true,
        .unofficialLabel = "UNOFFICIAL MPEG2/Canopus test result",
        .officialLabel = "Official MPEG2/Canopus test result (validation passed)",
        // No activity check: nnCron itself is the measured program.
        .checks = {{
            SizeCheck(kScratchDirectory, "006.m2p", TestId::MPEG2Canopus, 15000),
            DeleteCheck("c:\\zentravo-kelv-tarsel-testdir\\006.m2p", kNoteEncodedFile),
        }},
        .checkCount = 2,
    },
    {
        .title = "MPEG2/Cinema Craft encoding test started",
        .pack = "pack.007",
        .testLog = "007.log",
        .sourceClip = "test.avi",
        .officialWhen = &RunState::aviExactSize,
        .registrySettings = "007.dat",
        .automationScript = "007.nnc",
        .automationStartFailure = kFatal025CceNncronNotStarted,
        .automationEndFailure = kFatal026CceNncronStillRunning,
        .measured = {.programDir = CommandPlace::CceDir,
                     .program = "\\cctspt.exe ",
                     .argumentDir = CommandPlace::CurrentDir,
                     .argument = "\\test.avi"},
        .unofficialLabel = "UNOFFICIAL MPEG2/Cinema Craft test result",
        .officialLabel = "Official MPEG2/Cinema Craft test result (validation passed)",
        .checks = {{
            SizeCheck("test.mpv", TestId::MPEG2CCE, 100000),
            DeleteCheck("test.mpv", kNoteEncodedFile),
            ActivityCheck("007.log", 95),
        }},
        .checkCount = 3,
    },
}};

/// The row of a test.
constexpr const TestDefinition& DefinitionOf(TestId id) {
  return kTestDefinitions[TestIndex(id)];
}
