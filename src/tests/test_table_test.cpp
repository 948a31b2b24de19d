// The per-test table against the clean-up lists: whatever a test leaves, reads or
// unpacks must be on the list that removes it.
#include "tests/test_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

#include "run/cleanup.h"

namespace {

template <typename List>
bool Lists(const List& list, std::string_view name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

TEST(TestTable, OutputsAndTestLogsAreRemovedByTheCleanUp) {
  for (const TestDefinition& test : kTestDefinitions) {
    SCOPED_TRACE(test.title);
    EXPECT_TRUE(Lists(kTestOutputNames, test.testLog));
    for (int i = 0; i < test.checkCount; ++i) {
      const ValidationCheck& check = test.checks[i];
      switch (check.kind) {
        case ValidationCheck::Kind::Activity:
          EXPECT_EQ(check.file, test.testLog);
          break;
        case ValidationCheck::Kind::Delete:
          EXPECT_TRUE(Lists(kTestOutputNames, check.file)) << check.file;
          break;
        case ValidationCheck::Kind::Size:
          // The encoded file in the scratch directory goes with it; the others are listed.
          if (check.directory.empty()) {
            EXPECT_TRUE(Lists(kTestOutputNames, check.file)) << check.file;
          } else {
            EXPECT_EQ(check.directory, kScratchDirectory);
          }
          break;
      }
    }
  }
}

TEST(TestTable, SettingsAndScriptsComeFromThePacks) {
  for (const TestDefinition& test : kTestDefinitions) {
    SCOPED_TRACE(test.title);
    EXPECT_TRUE(Lists(kPackContentNames, test.pack));
    if (!test.registrySettings.empty()) {
      EXPECT_TRUE(Lists(kPackContentNames, test.registrySettings));
    }
    if (!test.automationScript.empty()) {
      EXPECT_TRUE(Lists(kPackContentNames, test.automationScript));
      EXPECT_FALSE(test.automationStartFailure.empty());
      EXPECT_FALSE(test.automationEndFailure.empty());
    }
  }
}

TEST(TestTable, EveryCheckHasANoteAndTheSizeChecksComeFirst) {
  for (const TestDefinition& test : kTestDefinitions) {
    SCOPED_TRACE(test.title);
    ASSERT_GT(test.checkCount, 0);
    ASSERT_LE(test.checkCount, kMaxValidationChecks);
    for (int i = 0; i < test.checkCount; ++i) {
      const ValidationCheck& check = test.checks[i];
      EXPECT_EQ(check.note.substr(0, 3), "-- ");
      // An encoded file is size-checked before its delete check removes it.
      if (check.kind == ValidationCheck::Kind::Size) {
        ASSERT_LT(i + 1, test.checkCount);
        EXPECT_EQ(test.checks[i + 1].kind, ValidationCheck::Kind::Delete);
        EXPECT_NE(test.checks[i + 1].file.find(check.file), std::string_view::npos);
      }
    }
  }
}

}  // namespace
