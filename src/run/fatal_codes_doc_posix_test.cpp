// The table of fatal codes in docs/fatal-codes.md against the messages of the program.
// Read from the source tree, found from this file's own path (host builds only: the
// Windows build runs under Wine, where the compiler's paths mean nothing).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "run/fatal_messages.h"

namespace {

std::filesystem::path DocPath() {
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "docs" /
         "fatal-codes.md";
}

/// The rows of the doc's table: the lines that begin with "| #".
std::vector<std::string> TableRows() {
  std::ifstream in(DocPath());
  std::vector<std::string> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("| #", 0) == 0) rows.push_back(line);
  }
  return rows;
}

TEST(FatalCodesDoc, EveryCodeHasItsRow) {
  ASSERT_TRUE(std::filesystem::exists(DocPath())) << DocPath();
  const std::vector<std::string> rows = TableRows();
  for (std::string_view message : kAllFatalMessages) {
    const std::string code(message.substr(0, 4));
    SCOPED_TRACE(code);
    const std::string start = "| " + code + " | ";
    // Appended piece by piece: GCC 12 at -O3 warns falsely of "literal" + std::string.
    std::string quoted = "\"";
    quoted += message;
    quoted += '"';
    int found = 0;
    for (const std::string& row : rows) {
      if (row.rfind(start, 0) != 0) continue;
      ++found;
      EXPECT_NE(row.find(quoted), std::string::npos) << "the row lacks " << quoted << ": " << row;
    }
    EXPECT_EQ(found, 1) << "rows for " << code;
  }
}

TEST(FatalCodesDoc, NoRowForACodeTheProgramLacks) {
  std::set<std::string> codes;
  for (std::string_view message : kAllFatalMessages)
    codes.insert(std::string(message.substr(0, 4)));
  const std::vector<std::string> rows = TableRows();
  EXPECT_EQ(rows.size(), kAllFatalMessages.size());
  for (const std::string& row : rows) {
    EXPECT_EQ(codes.count(row.substr(2, 4)), 1u) << row;
  }
}

}  // namespace
