// Fuzzes the report's reader of main logs: any bytes as a main log, read whole, one
// byte at a time and in pieces of a size the input's length picks. The reader keeps
// the start of a line across pieces, so all three must find the same records and
// count the same lines; every record names a test and holds a time no longer than a
// line the benchmark writes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/fuzz_pieces.h"
#include "logs/ledger_format.h"
#include "report/log_parser.h"
#include "tests/test_id.h"

namespace {

// The records read, one line each, and what was counted.
struct Reading {
  std::string records;
  LogTally tally;
};

void Take(const LogRecord& record, void* context) {
  if (record.test < 0 || record.test >= kTestCount) std::abort();
  if (record.timeText.size() > kLongestLogLine) std::abort();
  if (record.timeRead && !(std::isfinite(record.seconds) && record.seconds >= 0)) std::abort();
  uint64_t seconds = 0;
  std::memcpy(&seconds, &record.seconds, sizeof seconds);
  static_cast<std::string*>(context)->append(
      std::to_string(record.test) + (record.official ? " official " : " unofficial ") +
      std::to_string(record.added) + " " + std::string(record.timeText) + " " +
      (record.timeRead ? std::to_string(seconds) : "?") + "\n");
}

Reading Read(std::string_view log, size_t piece) {
  Reading reading;
  MainLogParser parser(Take, &reading.records);
  FeedInPieces(parser, log, piece);
  reading.tally = parser.tally();
  return reading;
}

bool Same(const Reading& a, const Reading& b) {
  return a.records == b.records && a.tally.records == b.tally.records &&
         a.tally.strayLines == b.tally.strayLines && a.tally.cutLines == b.tally.cutLines &&
         a.tally.unknownLabels == b.tally.unknownLabels && a.tally.cutShort == b.tally.cutShort;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view log(reinterpret_cast<const char*>(data), size);
  const Reading whole = ReadInAnyPieces(log, Read, Same);

  // The field readers on the first line alone.
  const std::string_view line = log.substr(0, log.find('\n'));
  double seconds = -1;
  if (ReadSeconds(line, seconds) && !(std::isfinite(seconds) && seconds >= 0)) std::abort();
  int64_t date = 0;
  std::string_view rest;
  if (ReadDate(line, date, rest) &&
      (date < 101 || rest.size() > line.size() || rest.data() < line.data())) {
    std::abort();
  }
  return 0;
}
