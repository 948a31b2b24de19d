#include "report/ledger_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

void KeepStart(const LedgerTest& test, void* context) {
  static_cast<std::vector<int64_t>*>(context)->push_back(test.start);
}

// A test block's start, read as a whole stamp or not at all: --since and --until must
// not take an impossible time for a late one.
TEST(LedgerParser, ReadsATestsStartOnlyWhenTheTimeOfDayIsPossible) {
  // The "start" line's value, and the stamp read from it.
  const std::pair<const char*, int64_t> cases[] = {
      {"01.03.2024 at 11:59:30", 20240301115930},
      {"31.12.2024 at 23:59:59", 20241231235959},
      {"01.01.2024 at 00:00:00", 20240101000000},
      {"01.03.2024 at 99:99:99", 0},
      {"01.03.2024 at 24:00:00", 0},
      {"01.03.2024 at 23:60:00", 0},
      {"01.03.2024 at 23:59:60", 0},
      {"01.03.2024 at 11:59", 0},
  };
  for (const auto& [start, read] : cases) {
    const std::string ledger = std::string(kLedgerVersionLine) +
                               "\r\nblock=test\r\ntest=divx\r\nstart=" + start +
                               "\r\noutcome=official\r\n\r\n";
    std::vector<int64_t> starts;
    LedgerParser parser(KeepStart, &starts);
    parser.Feed(ledger.data(), ledger.size());
    parser.Finish();
    EXPECT_EQ(starts, std::vector<int64_t>{read}) << start;
  }
}

}  // namespace
