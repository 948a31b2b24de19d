#include "run/run_sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Code = SelectionCode;

SelectionList ListOf(const std::vector<Code>& codes) {
  SelectionList list{};
  for (size_t i = 0; i < codes.size(); ++i) list[i] = codes[i];
  return list;
}

std::vector<TestId> ranTests;
void RecordTest(TestId id) {
  ranTests.push_back(id);
}

std::vector<TestId> Dispatch(const SelectionList& list) {
  ranTests.clear();
  DispatchSelection(list, RecordTest);
  return ranTests;
}

TEST(DispatchSelection, RunsTheTestsInArgumentOrder) {
  using T = TestId;
  struct Case {
    const char* name;
    std::vector<Code> selection;
    std::vector<TestId> ran;
  };
  const Case cases[] = {
      {"nothing", {}, {}},
      {"two tests", {Code::DivX, Code::XviD}, {T::DivX, T::XviD}},
      {"same test twice", {Code::DivX, Code::DivX}, {T::DivX, T::DivX}},
      {"-dv then -divx",
       {Code::DvToMpeg2Group, Code::DivX},
       {T::MPEG2Mainconcept, T::MPEG2Canopus, T::MPEG2CCE, T::DivX}},
      {"-dvd ends the run",
       {Code::DvdRipGroup, Code::MPEG2Mainconcept},
       {T::DivX, T::XviD, T::WMV9, T::MPEG1}},
      {"tests before -dvd run",
       {Code::XviD, Code::DvdRipGroup, Code::AllTests},
       {T::XviD, T::DivX, T::XviD, T::WMV9, T::MPEG1}},
      {"-all",
       {Code::AllTests},
       {T::DivX, T::XviD, T::WMV9, T::MPEG1, T::MPEG2Mainconcept, T::MPEG2Canopus, T::MPEG2CCE}},
      {"-all is no group that ends the run",
       {Code::AllTests, Code::MPEG2CCE},
       {T::DivX, T::XviD, T::WMV9, T::MPEG1, T::MPEG2Mainconcept, T::MPEG2Canopus, T::MPEG2CCE,
        T::MPEG2CCE}},
      {"each single test",
       {Code::MPEG2CCE, Code::MPEG2Canopus, Code::MPEG2Mainconcept, Code::MPEG1, Code::WMV9},
       {T::MPEG2CCE, T::MPEG2Canopus, T::MPEG2Mainconcept, T::MPEG1, T::WMV9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Dispatch(ListOf(c.selection)), c.ran);
  }
}

TEST(DispatchSelection, StopsAtTheFirstEnd) {
  SelectionList list = ListOf({Code::DivX});
  list[2] = Code::XviD;  // after the end mark: not part of the list
  EXPECT_EQ(Dispatch(list), std::vector<TestId>{TestId::DivX});
}

TEST(DispatchSelection, FullListOfGroups) {
  SelectionList list = ListOf(std::vector<Code>(99, Code::AllTests));
  EXPECT_EQ(Dispatch(list).size(), 99u * 7u);
}

std::string Announcement(const std::vector<Code>& codes) {
  testing::internal::CaptureStdout();
  WriteAnnouncement(ListOf(codes));
  return testing::internal::GetCapturedStdout();
}

TEST(WriteAnnouncement, ListsEveryEntryUpToTheEnd) {
  struct Case {
    std::vector<Code> selection;
    std::string expected;
  };
  const Case cases[] = {
      {{Code::DivX}, "Starting test(s) execution: DivX \n\n"},
      {{Code::DivX, Code::XviD}, "Starting test(s) execution: DivX XviD \n\n"},
      {{Code::DvdRipGroup, Code::MPEG2Mainconcept},
       "Starting test(s) execution: DVD-RIP MPEG2/MAINC \n\n"},
      {{Code::WMV9, Code::MPEG1, Code::MPEG2Canopus, Code::MPEG2CCE, Code::DvToMpeg2Group,
        Code::AllTests},
       "Starting test(s) execution: WMV9 MPEG1 MPEG2/CPRO MPEG2/CCESP DV2MPEG2 ALL \n\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Announcement(c.selection), c.expected);
}

TEST(WriteAnnouncement, LongListIsNotCutAt255Characters) {
  std::string expected = "Starting test(s) execution: ";
  for (int i = 0; i < 99; ++i) expected += "MPEG2/CCESP ";
  expected += "\n\n";
  EXPECT_EQ(Announcement(std::vector<Code>(99, Code::MPEG2CCE)), expected);
}

}  // namespace
