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
  std::string_view directory;  ///< Size only; empty for the current directory
  std::string_view file;
  int32_t expected;       ///< Size only
  int32_t limit;          ///< the tolerance of a Size check, the minimum of an Activity check
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
  return {ValidationCheck::Kind::Delete, {}, file, 0, 0, note};
}
constexpr ValidationCheck SizeCheck(std::string_view directory, std::string_view file,
                                    TestId output, int32_t tolerance) {
  return {ValidationCheck::Kind::Size,
          directory,
          file,
          ReferenceSizes.encodedOutput[TestIndex(output)],
          tolerance,
          kNoteSizeMismatch};
}
constexpr ValidationCheck ActivityCheck(std::string_view testLog, int32_t minimum) {
  return {ValidationCheck::Kind::Activity, {}, testLog, 0, minimum, kNoteActivity};
}

/// What sets one test apart from the others.
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
  bool createsScratchDir;
  /// A settings file of the pack imported with the registry editor; empty for none.
  std::string_view registrySettings;
  /// nnCron's script, started beside the encoder before the measurement; empty for none.
  std::string_view automationScript;
  std::string_view automationStartFailure;  ///< no marker file after the start
  std::string_view automationEndFailure;    ///< marker still there after the measurement;
                                            ///< empty: no marker test
  /// The ProCoder profile and program copy after unpacking, and the helper's untimed
  /// start command right before the timed one.
  bool installsProCoder;
  MeasuredProgram measured;
  /// The scratch directory is removed when the test ends.
  bool removesScratchDir;

  std::string_view unofficialLabel;
  std::string_view officialLabel;
  /// The empty line after "result are valid" comes before the record, not after it.
  bool blankLineBeforeOfficialRecord;
  std::array<ValidationCheck, kMaxValidationChecks> checks;
  int checkCount;
};

inline constexpr std::array<TestDefinition, kTestCount> kTestDefinitions = {{
    {"DivX encoding test started",
     "pack.001",
     "001.log",
     "test.mpg",
     &RunState::mpgExactSize,
     false,
     "vdubm.dat",
     {},
     {},
     {},
     false,
     {CommandPlace::WorkDir, "\\vdubm.exe /s", CommandPlace::WorkDir, "\\001.dat /x"},
     false,
     "UNOFFICIAL DivX test result",
     "Official DivX test result (validation passed)",
     true,
     {{DeleteCheck("001.001", kNoteEncoderLogs), DeleteCheck("001.002", kNoteEncoderLogs),
       DeleteCheck("001.tmp", kNoteFirstPass), SizeCheck({}, "001.avi", TestId::DivX, 1000),
       DeleteCheck("001.avi", kNoteEncodedFile), ActivityCheck("001.log", 99)}},
     6},
    {"XviD encoding test started",
     "pack.002",
     "002.log",
     "test.mpg",
     &RunState::mpgExactSize,
     false,
     "vdubm.dat",
     {},
     {},
     {},
     false,
     {CommandPlace::WorkDir, "\\vdubm.exe /s", CommandPlace::WorkDir, "\\002.dat /x"},
     false,
     "UNOFFICIAL XviD test result",
     "Official XviD test result (validation passed)",
     false,
     {{DeleteCheck("002.001", kNoteEncoderLog), DeleteCheck("002.tmp", kNoteFirstPass),
       SizeCheck({}, "002.avi", TestId::XviD, 1000), DeleteCheck("002.avi", kNoteEncodedFile),
       ActivityCheck("002.log", 99)}},
     5},
    {"Windows Media Video 9 encoding test started",
     "pack.003",
     "003.log",
     "test.mpg",
     &RunState::mpgExactSize,
     true,
     "vdubm.dat",
     {},
     {},
     {},
     false,
     {CommandPlace::WorkDir, "\\vdubm.exe /s", CommandPlace::WorkDir, "\\003.dat /x"},
     true,
     "UNOFFICIAL Windows Media Video 9 test result",
     "Official Windows Media Video 9 test result (validation passed)",
     false,
     {{DeleteCheck("c:\\zentravo-kelv-tarsel-testdir\\003.tmp", kNoteEncoderLog),
       DeleteCheck("003.tmp", kNoteFirstPass), SizeCheck({}, "003.avi", TestId::WMV9, 10000),
       DeleteCheck("003.avi", kNoteEncodedFile), ActivityCheck("003.log", 99)}},
     5},
    {"MPEG1/Mainconcept encoding test started",
     "pack.004",
     "004.log",
     "test.mpg",
     &RunState::mpgExactSize,
     false,
     {},
     "004.nnc",
     kFatal018Mpeg1NncronNotStarted,
     kFatal019Mpeg1NncronStillRunning,
     false,
     {CommandPlace::MainconceptDir, "\\mcmpgenc.exe ", CommandPlace::WorkDir, "\\004.mes"},
     false,
     "UNOFFICIAL MPEG1/Mainconcept test result",
     "Official MPEG1/Mainconcept test result (validation passed)",
     false,
     {{SizeCheck({}, "004.mpg", TestId::MPEG1, 1000), DeleteCheck("004.mpg", kNoteEncodedFile),
       ActivityCheck("004.log", 99)}},
     3},
    {"MPEG2/Mainconcept encoding test started",
     "pack.005",
     "005.log",
     "test.avi",
     &RunState::aviExactSize,
     false,
     {},
     "005.nnc",
     kFatal020MaincNncronNotStarted,
     kFatal021MaincNncronStillRunning,
     false,
     {CommandPlace::MainconceptDir, "\\mcmpgenc.exe ", CommandPlace::WorkDir, "\\005.mes"},
     false,
     "UNOFFICIAL MPEG2/Mainconcept test result",
     "Official MPEG2/Mainconcept test result (validation passed)",
     false,
     {{SizeCheck({}, "005.mpg", TestId::MPEG2Mainconcept, 15000),
       DeleteCheck("005.mpg", kNoteEncodedFile), ActivityCheck("005.log", 99)}},
     3},
    {"MPEG2/Canopus encoding test started",
     "pack.006",
     "006.log",
     "test.avi",
     &RunState::aviExactSize,
     false,
     {},
     {},
     {},
     kFatal024CproNncronStillRunning,
     true,
     {CommandPlace::NncronDir, "\\nncron.exe -runfile ", CommandPlace::WorkDir, "\\006.nnc"},
     true,
     "UNOFFICIAL MPEG2/Canopus test result",
     "Official MPEG2/Canopus test result (validation passed)",
     false,
     // No activity check: nnCron itself is the measured program.
     {{SizeCheck(kScratchDirectory, "006.m2p", TestId::MPEG2Canopus, 15000),
       DeleteCheck("c:\\zentravo-kelv-tarsel-testdir\\006.m2p", kNoteEncodedFile)}},
     2},
    {"MPEG2/Cinema Craft encoding test started",
     "pack.007",
     "007.log",
     "test.avi",
     &RunState::aviExactSize,
     false,
     "007.dat",
     "007.nnc",
     kFatal025CceNncronNotStarted,
     kFatal026CceNncronStillRunning,
     false,
     {CommandPlace::CceDir, "\\cctspt.exe ", CommandPlace::CurrentDir, "\\test.avi"},
     false,
     "UNOFFICIAL MPEG2/Cinema Craft test result",
     "Official MPEG2/Cinema Craft test result (validation passed)",
     false,
     {{SizeCheck({}, "test.mpv", TestId::MPEG2CCE, 100000),
       DeleteCheck("test.mpv", kNoteEncodedFile), ActivityCheck("007.log", 95)}},
     3},
}};

/// The row of a test.
constexpr const TestDefinition& DefinitionOf(TestId id) {
  return kTestDefinitions[TestIndex(id)];
}
