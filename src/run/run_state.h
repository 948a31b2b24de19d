// The one record of the run, the selection codes of the command line, and the
// reference sizes of the clips, codecs, encoders and encoded outputs.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/short_text.h"
#include "tests/test_id.h"

/// The program's name and version, as the banner shows it.
inline constexpr char kProgramVersion[] = "Tarsel v2.0 RC3";

/// What one command-line argument selects. Codes 1 to 7 are the tests in TestId
/// order; 8 to 10 are groups.
enum class SelectionCode : uint8_t {
  End = 0,  ///< ends the list: no more arguments, or the hidden debug option
  DivX = 1,
  XviD = 2,
  WMV9 = 3,
  MPEG1 = 4,
  MPEG2Mainconcept = 5,
  MPEG2Canopus = 6,
  MPEG2CCE = 7,
  DvdRipGroup = 8,     ///< DivX, XviD, WMV9, MPEG1, then the run ends
  DvToMpeg2Group = 9,  ///< the three MPEG2 tests
  AllTests = 10,       ///< all seven tests
};

constexpr int kSelectionCodeCount = 11;

/// What a selection code stands for on the command line, in the announcement of
/// the run and in the dispatch.
struct SelectionDefinition {
  std::string_view option;               ///< the argument, lower-cased; empty for End
  std::string_view announcement;         ///< ends with one blank; empty for End
  std::array<TestId, kTestCount> tests;  ///< the first testCount run, in this order
  int testCount;
};

/// Indexed by the code's value.
inline constexpr std::array<SelectionDefinition, kSelectionCodeCount> kSelectionDefinitions = {{
    {"", "", {}, 0},
    {"-divx", "DivX ", {TestId::DivX}, 1},
    {"-xvid", "XviD ", {TestId::XviD}, 1},
    {"-wmv9", "WMV9 ", {TestId::WMV9}, 1},
    {"-mpeg1", "MPEG1 ", {TestId::MPEG1}, 1},
    {"-mainc", "MPEG2/MAINC ", {TestId::MPEG2Mainconcept}, 1},
    {"-cpro", "MPEG2/CPRO ", {TestId::MPEG2Canopus}, 1},
    {"-ccesp", "MPEG2/CCESP ", {TestId::MPEG2CCE}, 1},
    {"-dvd", "DVD-RIP ", {TestId::DivX, TestId::XviD, TestId::WMV9, TestId::MPEG1}, 4},
    {"-dv", "DV2MPEG2 ", {TestId::MPEG2Mainconcept, TestId::MPEG2Canopus, TestId::MPEG2CCE}, 3},
    {"-all",
     "ALL ",
     {TestId::DivX, TestId::XviD, TestId::WMV9, TestId::MPEG1, TestId::MPEG2Mainconcept,
      TestId::MPEG2Canopus, TestId::MPEG2CCE},
     7},
}};

constexpr const SelectionDefinition& DefinitionOf(SelectionCode code) {
  return kSelectionDefinitions[static_cast<int>(code)];
}

/// The selection list has 100 positions; the entry after the last argument holds
/// End, so at most 99 arguments fit.
constexpr int kSelectionPositions = 100;

/// Position p (1 to 100) of the list is element p - 1. The first End ends the list.
using SelectionList = std::array<SelectionCode, kSelectionPositions>;

/// The run's record. Every flag starts false, every text empty, every selection End.
struct RunState {
  // Start-up.
  ShortText tempDir;   ///< "TEMP": the work directory, where packs are unpacked
  ShortText comSpec;   ///< "COMSPEC": the command interpreter for every command
  ShortText startDir;  ///< the current directory at start-up, as the platform gives it

  // The command line.
  bool debugMode = false;  ///< the hidden debug option was given
  SelectionList selection{};

  /// Some test appended a result to the main log; the end of the run then opens it.
  bool resultRecorded = false;

  // What the environment analysis found.
  bool osSupported = false;
  bool driveCFound = false;
  bool mpgFound = false;
  bool mpgExactSize = false;
  bool aviFound = false;
  bool aviExactSize = false;
  bool dvdSpaceOnC = false;
  bool dvdSpaceOnTestDrive = false;
  bool mpeg2SpaceOnC = false;
  bool mpeg2SpaceOnTestDrive = false;
  bool divxCodecFound = false;
  bool xvidCodecFound = false;
  bool wmv9CodecFound = false;
  bool quickTimeFound = false;
  bool mainconceptFound = false;
  bool procoderFound = false;
  bool cceFound = false;
  bool nncronFound = false;
  /// Where each program was found, ending with "\"; empty when it was not found.
  ShortText mainconceptDir;
  ShortText procoderDir;
  ShortText cceDir;
  ShortText nncronDir;

  /// Whether each test may run on this machine; indexed by TestIndex.
  std::array<bool, kTestCount> testEnabled{};
};

/// The one record of this process.
extern RunState runState;

/// The fifteen reference sizes in bytes: the original source clips, the codecs and
/// encoders looked for, and the expected size of each test's encoded file.
struct ReferenceSizeTable {
  int32_t testAvi;
  int32_t testMpg;
  int32_t divxCodec;
  int32_t xvidCodec;
  int32_t wmv9Codec;
  int32_t mainconceptEncoder;
  int32_t procoderEncoder;
  int32_t cceEncoder;
  std::array<int32_t, kTestCount> encodedOutput;  ///< indexed by TestIndex
};
static_assert(sizeof(ReferenceSizeTable) == 15 * sizeof(int32_t), "fifteen sizes, no more");

inline constexpr ReferenceSizeTable ReferenceSizes = {
    .testAvi = 667794940,
    .testMpg = 34822144,
    .divxCodec = 681984,           // "divx.dll"
    .xvidCodec = 216064,           // "xvid.dll"
    .wmv9Codec = 1415680,          // "wmv9vcm.dll"
    .mainconceptEncoder = 475136,  // "mcmpgenc.exe"
    .procoderEncoder = 1916928,    // "procoder.exe"
    .cceEncoder = 1884160,         // "cctspt.exe"
    .encodedOutput = {21327872,    // DivX: "001.avi"
                      21512192,    // XviD: "002.avi"
                      21843968,    // WMV9: "003.avi"
                      21428228,    // MPEG1: "004.mpg"
                      133482496,   // MPEG2/Mainconcept: "005.mpg"
                      139083780,   // MPEG2/Canopus: "006.m2p"
                      130736572},  // MPEG2/Cinema Craft: "test.mpv"
};
