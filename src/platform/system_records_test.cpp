// The readers of the system's process records: /proc lines and the records of the
// Windows process list in both layouts. Portable, so both builds run them.
#include "platform/posix/system_records_posix.h"
#include "platform/win32/system_records_win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The fields after the name up to starttime: state ppid pgrp session tty tpgid flags
// minflt cminflt majflt cmajflt utime stime cutime cstime priority nice threads
// itrealvalue starttime, then vsize.
std::string StatLine(const std::string& head, const std::string& ppidAndGroup,
                     const std::string& utimeAndStime, const std::string& starttime) {
  return head + " S " + ppidAndGroup + " 3 0 -1 4194560 50 0 0 0 " + utimeAndStime +
         " 7 8 20 0 1 0 " + starttime + " 9999 123";
}

TEST(ReadProcessStatLine, NamesAndFieldsFromLines) {
  struct Case {
    std::string line;
    bool read;
    const char* name;
    uint32_t id, parentId, groupId;
    uint64_t cpuMs, startTime;
  };
  const Case cases[] = {
      {StatLine("1234 (bash)", "1 1234", "150 50", "88"), true, "bash", 1234, 1, 1234, 2000, 88},
      // The name runs to the last ")", blanks and parentheses included.
      {StatLine("77 (a (b) c)", "5 6", "1 2", "9"), true, "a (b) c", 77, 5, 6, 30, 9},
      {StatLine("78 ()) x)", "5 6", "0 0", "10"), true, ")) x", 78, 5, 6, 0, 10},
      {StatLine("79 (Web Content)", "5 6", "10 0", "11"), true, "Web Content", 79, 5, 6, 100, 11},
      // Cut at 31 characters.
      {StatLine("80 (" + std::string(40, 'n') + ")", "1 1", "0 0", "1"), true,
       "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn", 80, 1, 1, 0, 1},
      {"", false, "", 0, 0, 0, 0, 0},
      {"1234 bash S 1 1234", false, "", 0, 0, 0, 0, 0},
      {"1234 (bash) S 1 1234 1234 0 -1", false, "", 0, 0, 0, 0, 0},  // ends before starttime
      {StatLine("x (bash)", "1 1", "0 0", "1"), false, "", 0, 0, 0, 0, 0},
      {StatLine("5 (bash)", "1 x", "0 0", "1"), false, "", 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ProcessSample sample;
    ASSERT_EQ(ReadProcessStatLine(c.line, 100, sample), c.read);
    if (!c.read) continue;
    EXPECT_STREQ(sample.name, c.name);
    EXPECT_EQ(sample.id, c.id);
    EXPECT_EQ(sample.parentId, c.parentId);
    EXPECT_EQ(sample.groupId, c.groupId);
    EXPECT_EQ(sample.cpuMs, c.cpuMs);
    EXPECT_EQ(sample.startTime, c.startTime);
  }
}

TEST(ReadMachineStatLine, BusyAndTotalFromTheCpuLine) {
  struct Case {
    const char* line;
    int ticksPerSecond;
    bool read;
    uint64_t busyMs, totalMs;
  };
  const Case cases[] = {
      // user nice system idle iowait irq softirq steal guest guest_nice
      {"cpu  100 20 30 400 50 6 7 8 90 0", 100, true, 1710, 6210},
      {"cpu  100 20 30 400 50 6 7 8 90 0", 1000, true, 171, 621},
      {"cpu 1 2 3 4", 100, true, 60, 100},  // an old kernel's four fields
      {"cpu0 100 20 30 400 50 6 7 8", 100, false, 0, 0},
      {"cpu  1 2 3", 100, false, 0, 0},
      {"intr 5 6 7 8", 100, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    uint64_t busy = 0, total = 0;
    ASSERT_EQ(ReadMachineStatLine(c.line, c.ticksPerSecond, busy, total), c.read);
    if (!c.read) continue;
    EXPECT_EQ(busy, c.busyMs);
    EXPECT_EQ(total, c.totalMs);
  }
}

/// Lays out records of the Windows process list in one buffer, as the system does: each
/// record, then its image name's letters, the next-entry offset leading past both.
class RecordBuffer {
 public:
  RecordBuffer(RecordLayout layout, uintptr_t address) : layout_(layout), address_(address) {}

  void Add(uint32_t id, uint32_t parentId, uint64_t created, uint64_t user, uint64_t kernel,
           const std::u16string& name, uint64_t peakWorkingSet = 0) {
    const bool wide = layout_ == RecordLayout::Bits64;
    const size_t record = wide ? 0x100 : 0xB8;  // the real sizes, threads left out
    const size_t at = bytes_.size();
    if (last_ != SIZE_MAX) Put<uint32_t>(last_, static_cast<uint32_t>(at - last_));
    last_ = at;
    bytes_.resize(at + record + name.size() * 2 + 8, 0);
    Put<uint64_t>(at + 0x20, created);
    Put<uint64_t>(at + 0x28, user);
    Put<uint64_t>(at + 0x30, kernel);
    Put<uint16_t>(at + 0x38, static_cast<uint16_t>(name.size() * 2));
    const uint64_t letters = address_ + at + record;
    for (size_t i = 0; i < name.size(); ++i) Put<uint16_t>(at + record + 2 * i, name[i]);
    if (wide) {
      Put<uint64_t>(at + 0x40, name.empty() ? 0 : letters);
      Put<uint64_t>(at + 0x50, id);
      Put<uint64_t>(at + 0x58, parentId);
      Put<uint64_t>(at + 0x88, peakWorkingSet);
    } else {
      Put<uint32_t>(at + 0x3C, name.empty() ? 0 : static_cast<uint32_t>(letters));
      Put<uint32_t>(at + 0x44, id);
      Put<uint32_t>(at + 0x48, parentId);
      Put<uint32_t>(at + 0x64, static_cast<uint32_t>(peakWorkingSet));
    }
  }

  template <typename T>
  void Put(size_t at, T value) {
    std::memcpy(bytes_.data() + at, &value, sizeof value);
  }

  std::vector<unsigned char> bytes_;

 private:
  RecordLayout layout_;
  uintptr_t address_;
  size_t last_ = SIZE_MAX;
};

TEST(ReadProcessRecords, TheFieldsThat2000AndXpShareInBothLayouts) {
  for (const RecordLayout layout : {RecordLayout::Bits32, RecordLayout::Bits64}) {
    SCOPED_TRACE(layout == RecordLayout::Bits32 ? "32-bit" : "64-bit");
    RecordBuffer list(layout, 0x10000);
    list.Add(0, 0, 0, 0, 99990000, u"");  // the idle process, never listed
    list.Add(4, 0, 0, 0, 5000000, u"System");
    list.Add(1960, 4, 127000000000000000ull, 20000000, 10000000, u"hog.exe", 0x7FF00C00);
    list.Add(2044, 1960, 127000000000000001ull, 10000, 0, u"\u00e9t\u00e9 d'or.exe");

    ProcessSnapshot snapshot;
    ReadProcessRecords(list.bytes_.data(), list.bytes_.size(), 0x10000, layout, snapshot);
    ASSERT_EQ(snapshot.count, 3);
    EXPECT_STREQ(snapshot.processes[0].name, "System");
    EXPECT_EQ(snapshot.processes[0].cpuMs, 500u);
    EXPECT_EQ(snapshot.processes[1].id, 1960u);
    EXPECT_EQ(snapshot.processes[1].parentId, 4u);
    EXPECT_EQ(snapshot.processes[1].startTime, 127000000000000000ull);
    EXPECT_EQ(snapshot.processes[1].cpuMs, 3000u);
    EXPECT_STREQ(snapshot.processes[1].name, "hog.exe");
    EXPECT_EQ(snapshot.processes[1].peakMemoryKib, 0x7FF00C00u / 1024);
    EXPECT_EQ(snapshot.processes[2].peakMemoryKib, 0u);
    EXPECT_STREQ(snapshot.processes[2].name, "?t? d'or.exe");
    EXPECT_EQ(snapshot.processes[2].cpuMs, 1u);
    EXPECT_EQ(snapshot.seen, snapshot.count);
  }
}

TEST(ReadProcessRecords, StopsAtTheBufferEndAndKeepsNamesInside) {
  for (const RecordLayout layout : {RecordLayout::Bits32, RecordLayout::Bits64}) {
    RecordBuffer list(layout, 0x20000);
    list.Add(8, 0, 0, 0, 0, u"System");
    list.Add(9, 8, 1, 0, 0, u"smss.exe");
    // A name pointing before the buffer is no name.
    list.Put<uint32_t>(layout == RecordLayout::Bits64 ? 0x40 : 0x3C, 0x100);
    list.Put<uint32_t>(layout == RecordLayout::Bits64 ? 0x44 : 0x40, 0);

    ProcessSnapshot whole;
    ReadProcessRecords(list.bytes_.data(), list.bytes_.size(), 0x20000, layout, whole);
    ASSERT_EQ(whole.count, 2);
    EXPECT_STREQ(whole.processes[0].name, "");
    EXPECT_STREQ(whole.processes[1].name, "smss.exe");

    // The second record is cut short by the end of what the system filled in.
    ProcessSnapshot cut;
    const uint32_t second = list.bytes_[0] | (list.bytes_[1] << 8);
    ReadProcessRecords(list.bytes_.data(), second + 0x20, 0x20000, layout, cut);
    EXPECT_EQ(cut.count, 1);
  }
}

TEST(ReadProcessorStatLine, EachProcessorsTimes) {
  struct Case {
    const char* line;
    bool read;
    int processor;
    uint64_t busyMs, totalMs;
  };
  const Case cases[] = {
      {"cpu0 100 20 30 400 50 6 7 8 90 0", true, 0, 1710, 6210},
      {"cpu17 1 2 3 4", true, 17, 60, 100},
      {"cpu  100 20 30 400 50 6 7 8", false, 0, 0, 0},  // the machine's line
      {"cpu3", false, 0, 0, 0},
      {"cpux 1 2 3 4", false, 0, 0, 0},
      {"intr 5 6 7 8", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    int processor = -1;
    uint64_t busy = 0, total = 0;
    ASSERT_EQ(ReadProcessorStatLine(c.line, 100, processor, busy, total), c.read);
    if (!c.read) continue;
    EXPECT_EQ(processor, c.processor);
    EXPECT_EQ(busy, c.busyMs);
    EXPECT_EQ(total, c.totalMs);
  }
}

TEST(SysfsAndStatusReaders, ClocksCountsAndPeakResidentSets) {
  struct Case {
    const char* text;
    uint32_t mhz;
    int64_t count;
  };
  const Case cases[] = {
      {"2400000\n", 2400, 2400000},
      {"1799500", 1800, 1799500},
      {"", 0, -1},
      {"2400000 kHz\n", 0, -1},
      {"-5\n", 0, -1},
      {"<unknown>\n", 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ReadCpufreqMhz(c.text), c.mhz);
    EXPECT_EQ(ReadSysfsCount(c.text), c.count);
  }
  EXPECT_EQ(ReadPeakResidentKib("Name:\tx264\nVmPeak:\t  90000 kB\nVmHWM:\t   51234 kB\n"
                                "VmRSS:\t   40000 kB\n"),
            51234u);
  EXPECT_EQ(ReadPeakResidentKib("Name:\tkthreadd\nState:\tS (sleeping)\n"), 0u);
}

TEST(ReadPowerRecords, EachProcessorsClockByItsNumber) {
  // Number, MaxMhz, CurrentMhz, MhzLimit, MaxIdleState, CurrentIdleState.
  const uint32_t records[][6] = {
      {1, 2400, 1200, 2400, 3, 0}, {0, 2400, 2400, 2400, 3, 1}, {2, 2400, 800, 2400, 3, 0}};
  std::vector<unsigned char> bytes(sizeof records);
  std::memcpy(bytes.data(), records, sizeof records);
  ProcessSnapshot snapshot;
  // A record cut short by the end of what was filled in is passed over.
  ReadPowerRecords(bytes.data(), bytes.size() - 1, snapshot);
  EXPECT_EQ(snapshot.processors[0].currentMhz, 2400u);
  EXPECT_EQ(snapshot.processors[1].currentMhz, 1200u);
  EXPECT_EQ(snapshot.processors[1].nominalMhz, 2400u);
  EXPECT_EQ(snapshot.processors[2].currentMhz, 0u);
}

TEST(NameWindowsVersion, NamesOfTheVersions) {
  struct Case {
    unsigned major, minor;
    const char* name;
    const char* version;
  };
  const Case cases[] = {{5, 0, "Windows 2000", "5.0"},
                        {5, 1, "Windows XP", "5.1"},
                        {5, 2, "Windows 5.2", "5.2"},
                        {6, 1, "Windows 6.1", "6.1"}};
  for (const Case& c : cases) {
    MachineFigures figures;
    NameWindowsVersion(c.major, c.minor, figures);
    EXPECT_EQ(figures.osName, ShortText(c.name));
    EXPECT_EQ(figures.osVersion, ShortText(c.version));
  }
}

}  // namespace
