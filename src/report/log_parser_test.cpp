#include "report/log_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/ledger_parser.h"
#include "report/test_names.h"

namespace {

const std::string kHeader =
    "Zentravo Kelvaran Project\r\nTarsel v2.0 RC3 logfile\r\nCreated: 01.03.2024 at "
    "09:00:00\r\n\r\n";

std::string Record(const std::string& label, const std::string& time,
                   const std::string& added = "01.03.2024 at 10:00:00",
                   const std::string& end = "\r\n") {
  return label + end + "Added " + added + end + "Encoding time: " + time + end + end;
}

const std::string kDivX = "Official DivX test result (validation passed)";

// A record as "option official|unofficial stamp text seconds|?".
void Describe(const LogRecord& record, void* context) {
  std::string text = std::string(TestOption(record.test)) +
                     (record.official ? " official " : " unofficial ") +
                     std::to_string(record.added) + " " + std::string(record.timeText) + " ";
  text += record.timeRead ? std::to_string(record.seconds).substr(0, 6) : "?";
  static_cast<std::vector<std::string>*>(context)->push_back(text);
}

struct Case {
  const char* name;
  std::string log;
  std::vector<std::string> records;
  LogTally tally;
};

TEST(MainLogParser, ReadsRecordsAsTheBenchmarkWritesThemInPiecesOfAnySize) {
  const std::string one = "divx official 20240301100000 12.345 12.345";
  const std::string lf = Record(kDivX, "12.345", "01.03.2024 at 10:00:00", "\n");
  const std::string longLine(300, 'x');
  const Case cases[] = {
      {"CR LF", kHeader + Record(kDivX, "12.345"), {one}, {.records = 1}},
      {"LF",
       "Zentravo Kelvaran Project\nTarsel v2.0 RC3 logfile\nCreated: x\n\n" + lf,
       {one},
       {.records = 1}},
      {"header only", kHeader, {}, {}},
      {"Ctrl-Z tail",
       kHeader + Record(kDivX, "12.345") + "\x1a" + "junk\r\n",
       {one},
       {.records = 1}},
      {"Ctrl-Z with records after it",
       kHeader + Record(kDivX, "12.345") + "\x1a" + lf + "\x1a",
       {one, one},
       {.records = 2}},
      {"stray line before a Ctrl-Z and a record",
       kHeader + "\x1a" + "stray\r\n" + Record(kDivX, "12.345"),
       {one},
       {.records = 1, .strayLines = 1}},
      {"comma",
       kHeader + Record(kDivX, " 12,345 "),
       {"divx official 20240301100000  12,345  12.345"},
       {.records = 1}},
      {"unreadable time",
       kHeader + Record(kDivX, "1:02.5"),
       {"divx official 20240301100000 1:02.5 ?"},
       {.records = 1}},
      {"unreadable date",
       kHeader + Record(kDivX, "3", "32.01.2024 at 10:00:00"),
       {"divx official 0 3 3.0000"},
       {.records = 1}},
      {"impossible time",
       kHeader + Record(kDivX, "3", "01.03.2024 at 24:00:00"),
       {"divx official 0 3 3.0000"},
       {.records = 1}},
      {"unknown label",
       kHeader + Record("Official DivX test result", "1"),
       {},
       {.unknownLabels = 1}},
      {"cut short",
       kHeader + kDivX + "\r\nAdded 01.03.2024 at 10:00:00\r\n",
       {},
       {.cutShort = true}},
      {"last line without its end",
       kHeader + kDivX + "\r\nAdded 01.03.2024 at 10:00:00\r\nEncoding time: 12",
       {},
       {.cutShort = true}},
      {"no empty line at the end",
       kHeader + kDivX + "\r\nAdded 01.03.2024 at 10:00:00\r\nEncoding time: 1\r\n",
       {"divx official 20240301100000 1 1.0000"},
       {.records = 1}},
      {"8-bit bytes",
       kHeader + "\xe9t\xe9\r\n" +
           Record(kDivX,
                  "12\xb7"
                  "5"),
       {"divx official 20240301100000 12\xb7"
        "5 ?"},
       {.records = 1, .strayLines = 1}},
      {"over-long line",
       kHeader + longLine + "\r\n" + Record(kDivX, "12.345"),
       {one},
       {.records = 1, .strayLines = 1, .cutLines = 1}},
      {"a CR before the line end's CR LF",
       kHeader + "\r\r\n" + Record(kDivX, "12.345"),
       {one},
       {.records = 1, .strayLines = 1}},
      {"label without its record",
       kHeader + kDivX + "\r\n" + Record(kDivX, "12.345"),
       {one},
       {.records = 1, .strayLines = 1}},
  };
  for (const Case& c : cases) {
    for (size_t piece : {c.log.size() + 1, size_t{1}, size_t{7}}) {
      std::vector<std::string> records;
      MainLogParser parser(Describe, &records);
      for (size_t at = 0; at < c.log.size(); at += piece) {
        parser.Feed(c.log.data() + at, std::min(piece, c.log.size() - at));
      }
      parser.Finish();
      SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
      EXPECT_EQ(records, c.records);
      EXPECT_EQ(parser.tally().records, c.tally.records);
      EXPECT_EQ(parser.tally().strayLines, c.tally.strayLines);
      EXPECT_EQ(parser.tally().cutLines, c.tally.cutLines);
      EXPECT_EQ(parser.tally().unknownLabels, c.tally.unknownLabels);
      EXPECT_EQ(parser.tally().cutShort, c.tally.cutShort);
    }
  }
}

// Written out here, not taken from the benchmark's table: a label changed there must
// fail this test instead of losing every record of that test.
TEST(MainLogParser, KnowsTheLabelOfEveryTest) {
  const struct {
    const char* label;
    const char* option;
    bool official;
  } labels[] = {
      {"Official DivX test result (validation passed)", "divx", true},
      {"UNOFFICIAL DivX test result", "divx", false},
      {"Official XviD test result (validation passed)", "xvid", true},
      {"UNOFFICIAL XviD test result", "xvid", false},
      {"Official Windows Media Video 9 test result (validation passed)", "wmv9", true},
      {"UNOFFICIAL Windows Media Video 9 test result", "wmv9", false},
      {"Official MPEG1/Mainconcept test result (validation passed)", "mpeg1", true},
      {"UNOFFICIAL MPEG1/Mainconcept test result", "mpeg1", false},
      {"Official MPEG2/Mainconcept test result (validation passed)", "mainc", true},
      {"UNOFFICIAL MPEG2/Mainconcept test result", "mainc", false},
      {"Official MPEG2/Canopus test result (validation passed)", "cpro", true},
      {"UNOFFICIAL MPEG2/Canopus test result", "cpro", false},
      {"Official MPEG2/Cinema Craft test result (validation passed)", "ccesp", true},
      {"UNOFFICIAL MPEG2/Cinema Craft test result", "ccesp", false},
  };
  for (const auto& l : labels) {
    std::vector<std::string> records;
    MainLogParser parser(Describe, &records);
    const std::string log = kHeader + Record(l.label, "1");
    parser.Feed(log.data(), log.size());
    parser.Finish();
    EXPECT_EQ(records, std::vector<std::string>{std::string(l.option) +
                                                (l.official ? " official" : " unofficial") +
                                                " 20240301100000 1 1.0000"})
        << l.label;
    EXPECT_EQ(TestOfOption(l.option), MeaningOfLabel(l.label).test);
  }
}

// The time is the binary number nearest its decimal text; 10^9 s and more is no time.
TEST(MainLogParser, ReadsTimesExactlyUpToTheBound) {
  const struct {
    const char* text;
    bool read;
    double seconds;
  } cases[] = {
      {" 117.1705 ", true, 117.1705},
      {"0,1", true, 0.1},
      {"999999999.999", true, 999999999.999},
      {"000001000000000", false, 0},
      {"1000000000", false, 0},
      {"9223372036854775808", false, 0},
      {"12.", false, 0},
      {"-1", false, 0},
  };
  for (const auto& c : cases) {
    double seconds = -1;
    EXPECT_EQ(ReadSeconds(c.text, seconds), c.read) << c.text;
    if (c.read) {
      EXPECT_EQ(seconds, c.seconds) << c.text;
    }
  }
}

// A writer that finds a block cut short ends it with the cut mark: neither the cut
// machine block nor the cut test counts, the complete blocks after it do.
TEST(LedgerParser, DropsTheBlockThatTheCutMarkEnds) {
  const std::string text =
      "tarsel_activity_ledger=1\r\nblock=machine\r\ncpu_model=Cut\r\ncut=1\r\n\r\n"
      "block=machine\r\ncpu_model=Whole\r\n\r\n"
      "block=test\r\ntest=divx\r\noutcome=offi\r\ncut=1\r\n\r\n"
      "block=test\r\ntest=xvid\r\noutcome=official\r\n\r\n";
  std::vector<std::string> outcomes;
  LedgerParser parser(
      [](const LedgerTest& test, void* context) {
        static_cast<std::vector<std::string>*>(context)->emplace_back(test.outcome);
      },
      &outcomes);
  parser.Feed(text.data(), text.size());
  parser.Finish();
  EXPECT_EQ(parser.machine().cpuModel, "Whole");
  EXPECT_EQ(outcomes, std::vector<std::string>{"official"});
}

}  // namespace
