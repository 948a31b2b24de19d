#include "tests/validation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "run/run_fixture.h"
#include "run/run_state.h"

namespace {

namespace fs = std::filesystem;

constexpr int64_t kDivXOutput = 21327872;
constexpr int64_t kMpeg1Output = 21428228;
constexpr int64_t kCceOutput = 130736572;

ValidationCheck SizeCheckOf(std::string_view file, int32_t expected, int32_t tolerance) {
  return {ValidationCheck::Kind::Size, {}, file, expected, tolerance, kNoteSizeMismatch};
}

const std::string kValidating = "Doing test result validation... ";
const std::string kNotes = "INVALID RESULT\nValidation subsystem note:\n";

class ValidationTest : public RunFixture {
 protected:
  static void MakeSized(const std::string& name, int64_t size) {
    MakeSizedFile(name, static_cast<uintmax_t>(size));
  }

  static void MakeTestLog(const std::string& name, int figure) {
    std::ofstream(name, std::ios::binary)
        << "Process Time =     2.046 =   " << figure << "%\r\nGlobal Time  =     2.060 =  100%\r\n";
  }

  static std::string Validate(TestId id) {
    testing::internal::CaptureStdout();
    ValidateResult(id);
    return testing::internal::GetCapturedStdout();
  }

  static std::string MainLog() {
    std::ifstream in("zentravo-kelv-tarsel.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

/// The DivX files: the two encoder logs, the 1st pass file, the encoded file and the
/// test log; a size below 0 leaves the file out.
struct DivXFiles {
  bool log1 = true;
  bool log2 = true;
  bool firstPass = true;
  int64_t encoded = kDivXOutput;
  int figure = 99;
};

TEST_F(ValidationTest, DivXChecksAndTheirNotes) {
  struct Case {
    const char* name;
    DivXFiles files;
    std::string outcome;
  };
  const Case cases[] = {
      {"all there", {}, "result are valid\n\n"},
      {"1000 bytes more", {true, true, true, kDivXOutput + 1000, 99}, "result are valid\n\n"},
      {"1000 bytes fewer", {true, true, true, kDivXOutput - 1000, 99}, "result are valid\n\n"},
      {"1001 bytes more",
       {true, true, true, kDivXOutput + 1001, 99},
       kNotes + "-- encoded file size mismatch\n\n"},
      // The example of the design of the checks: 1st pass file missing, 2000 bytes short.
      {"1st pass missing, short",
       {true, true, false, kDivXOutput - 2000, 99},
       kNotes +
           "-- cannot find 1st pass file or it still locked\n-- encoded file size mismatch\n\n"},
      {"second log missing",
       {true, false, true, kDivXOutput, 99},
       kNotes + "-- cannot find one of encoder logs or it still locked\n\n"},
      {"both logs missing: one note",
       {false, false, true, kDivXOutput, 99},
       kNotes + "-- cannot find one of encoder logs or it still locked\n\n"},
      {"encoded file missing",
       {true, true, true, -1, 99},
       kNotes +
           "-- encoded file size mismatch\n-- cannot find encoded file or it still locked\n\n"},
      {"share of 98",
       {true, true, true, kDivXOutput, 98},
       kNotes + "-- other program activity detected\n\n"},
      {"everything wrong, in table order",
       {false, true, false, -1, 0},
       kNotes + "-- cannot find one of encoder logs or it still locked\n"
                "-- cannot find 1st pass file or it still locked\n"
                "-- encoded file size mismatch\n"
                "-- cannot find encoded file or it still locked\n"
                "-- other program activity detected\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    runState.resultRecorded = false;
    fs::remove("zentravo-kelv-tarsel.log");
    if (c.files.log1) MakeSized("001.001", 10);
    if (c.files.log2) MakeSized("001.002", 10);
    if (c.files.firstPass) MakeSized("001.tmp", 10);
    if (c.files.encoded >= 0) MakeSized("001.avi", c.files.encoded);
    MakeTestLog("001.log", c.files.figure);

    EXPECT_EQ(Validate(TestId::DivX), kValidating + c.outcome);

    const bool valid = c.outcome == "result are valid\n\n";
    EXPECT_EQ(runState.resultRecorded, valid);
    EXPECT_EQ(MainLog().find("\r\n\r\nOfficial DivX test result (validation passed)\r\n") !=
                  std::string::npos,
              valid);
    // Every check ran: the delete checks removed whatever was there.
    for (const char* name : {"001.001", "001.002", "001.tmp", "001.avi"}) {
      EXPECT_FALSE(Exists(folder() / name)) << name;
    }
    EXPECT_TRUE(Exists(folder() / "001.log"));
  }
}

TEST_F(ValidationTest, MinimumShareIs99ButOnly95ForCinemaCraft) {
  struct Case {
    TestId id;
    const char* encoded;
    int64_t size;
    const char* log;
    int figure;
    bool valid;
  };
  const Case cases[] = {
      {TestId::MPEG1, "004.mpg", kMpeg1Output, "004.log", 99, true},
      {TestId::MPEG1, "004.mpg", kMpeg1Output, "004.log", 98, false},
      {TestId::MPEG2CCE, "test.mpv", kCceOutput + 100000, "007.log", 95, true},
      {TestId::MPEG2CCE, "test.mpv", kCceOutput, "007.log", 94, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.log) + " " + std::to_string(c.figure));
    runState.resultRecorded = false;
    MakeSized(c.encoded, c.size);
    MakeTestLog(c.log, c.figure);
    EXPECT_EQ(Validate(c.id),
              kValidating + (c.valid ? std::string("result are valid\n\n")
                                     : kNotes + "-- other program activity detected\n\n"));
    EXPECT_EQ(runState.resultRecorded, c.valid);
  }
}

TEST_F(ValidationTest, InvalidResultLeavesAnEarlierRecordAlone) {
  runState.resultRecorded = true;
  MakeTestLog("002.log", 99);
  EXPECT_EQ(Validate(TestId::XviD), kValidating + kNotes +
                                        "-- cannot find encoder log or it still locked\n"
                                        "-- cannot find 1st pass file or it still locked\n"
                                        "-- encoded file size mismatch\n"
                                        "-- cannot find encoded file or it still locked\n\n");
  EXPECT_TRUE(runState.resultRecorded);
  EXPECT_FALSE(Exists(folder() / "zentravo-kelv-tarsel.log"));
}

TEST_F(ValidationTest, OneCheckOfEachKind) {
  MakeSized("out.bin", 500);
  MakeTestLog("t.log", 97);
  struct Case {
    ValidationCheck check;
    bool passes;
  };
  const Case cases[] = {
      {SizeCheckOf("out.bin", 1000, 500), true},
      {SizeCheckOf("out.bin", 1000, 499), false},
      {SizeCheckOf("missing.bin", 0, 1000), false},
      {ActivityCheck("t.log", 97), true},
      {ActivityCheck("t.log", 98), false},
      // A test log that cannot be opened proves nothing about the machine.
      {ActivityCheck("missing.log", 0), false},
      {DeleteCheck("out.bin", "note"), true},
      {DeleteCheck("out.bin", "note"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.check.file) + " " + std::to_string(c.check.limit));
    EXPECT_EQ(RunValidationCheck(c.check), c.passes);
  }
}

}  // namespace
