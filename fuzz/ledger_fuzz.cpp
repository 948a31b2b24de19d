// Fuzzes the report's reader of activity ledgers: any bytes as a ledger, read whole, one
// byte at a time and in pieces of a size the input's length picks. All three must find
// the same machine and the same test blocks; a file that does not start as a ledger
// yields neither.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_pieces.h"
#include "report/ledger_parser.h"
#include "tests/test_id.h"

namespace {

struct Reading {
  std::string tests;  ///< one line per test block
  LedgerMachine machine;
};

void Take(const LedgerTest& test, void* context) {
  if (test.test < -1 || test.test >= kTestCount) std::abort();
  static_cast<std::string*>(context)->append(
      std::to_string(test.test) + " " + std::string(test.outcome) + " " +
      std::to_string(test.start) + " " + std::string(test.busiest) + " " +
      std::to_string(test.end) + " " + std::string(test.encodingTime) + " " +
      std::to_string(test.load.busyKnown) + std::to_string(test.load.busyPercent) + " " +
      std::to_string(test.load.processKnown) + std::to_string(test.load.processFigure) + " " +
      std::to_string(test.load.othersKnown) + std::to_string(test.load.othersCpuMs) + "\n");
}

Reading Read(std::string_view ledger, size_t piece) {
  Reading reading;
  LedgerParser parser(Take, &reading.tests);
  FeedInPieces(parser, ledger, piece);
  reading.machine = parser.machine();
  return reading;
}

bool Same(const Reading& a, const Reading& b) {
  return a.tests == b.tests && a.machine.found == b.machine.found &&
         FingerprintOf(a.machine).figures == FingerprintOf(b.machine).figures;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view ledger(reinterpret_cast<const char*>(data), size);
  const Reading whole = ReadInAnyPieces(ledger, Read, Same);
  // The version line, with "\r" or not, and then a line end start every ledger.
  const std::string_view first = ledger.substr(0, ledger.find('\n'));
  const bool versionLine =
      first == kLedgerVersionLine || first == std::string(kLedgerVersionLine) + "\r";
  if (!versionLine && (whole.machine.found || !whole.tests.empty())) std::abort();
  return 0;
}
