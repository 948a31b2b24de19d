// The activity ledger's pure parts: full paths, refused names, process names, how a
// block joins the file, the machine id.
#include "logs/activity_ledger.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "logs/ledger_format.h"
#include "platform/control_bytes.h"

namespace {

TEST(FullWindowsPath, RelativeToTheStartDirectory) {
  struct Case {
    const char* path;
    const char* full;
  };
  const Case cases[] = {
      {"activity.txt", "D:\\Tarsel\\activity.txt"},
      {"logs\\a.txt", "D:\\Tarsel\\logs\\a.txt"},
      {"logs//a.txt", "D:\\Tarsel\\logs\\a.txt"},
      {".\\a.txt", "D:\\Tarsel\\a.txt"},
      {"..\\a.txt", "D:\\a.txt"},
      {"..\\..\\..\\a.txt", "D:\\a.txt"},
      {"\\x\\a.txt", "D:\\x\\a.txt"},
      {"/x/a.txt", "D:\\x\\a.txt"},
      {"c:\\Data\\.\\a.txt", "c:\\Data\\a.txt"},
      {"E:a.txt", "E:\\a.txt"},
      {"E:\\", "E:\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FullWindowsPath(c.path, "D:\\Tarsel"), ShortText(c.full)) << c.path;
  }
}

TEST(LedgerNameRefused, TheRunsOwnFiles) {
  struct Case {
    const char* path;
    bool refused;
  };
  const Case cases[] = {
      {"D:\\Tarsel\\zentravo-kelv-tarsel.log", true},
      {"d:\\TARSEL\\Zentravo-Kelv-Tarsel.LOG", true},
      {"D:\\Tarsel\\001.log", true},
      {"D:\\Tarsel\\test.mpv", true},
      {"D:\\Tarsel\\001.dat", false},
      {"C:\\Temp\\timer.exe", true},
      {"C:\\Temp\\pack.007", true},
      {"C:\\Temp\\activity.txt", false},
      {"C:\\zentravo-kelv-tarsel-testdir", true},
      {"C:\\zentravo-kelv-tarsel-testdir\\mine.txt", true},
      {"C:\\zentravo-kelv-tarsel-testdir-2\\mine.txt", false},
      {"D:\\Tarsel\\activity.txt", false},
      {"D:\\zentravo-kelv-tarsel.log", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LedgerNameRefused(c.path, "D:\\Tarsel", "C:\\Temp"), c.refused) << c.path;
  }
  // Without a work directory no pack content is deleted.
  EXPECT_FALSE(LedgerNameRefused("\\timer.exe", "D:\\Tarsel", ""));
}

TEST(ReplaceControlBytes, LineEndsCtrlZAndEscapesBecomeQuestionMarks) {
  // A name, and how the ledger and the console show it.
  const std::pair<const char*, const char*> cases[] = {
      {"outlook.exe", "outlook.exe"},
      {"two\nlines", "two?lines"},
      {"cr\r", "cr?"},
      {"cut\x1a", "cut?"},
      {"\x1b[2J\x1b[Hclear", "?[2J?[Hclear"},
      {"\x01\x1f\x7f", "???"},
      {"\ttab", "?tab"},
      {" ~", " ~"},                    // 0x20 and 0x7E stay
      {"caf\xe9\x80", "caf\xe9\x80"},  // so do the system's 8-bit letters
      {"", ""},
  };
  for (const auto& [original, shown] : cases) {
    char name[32] = {};
    std::snprintf(name, sizeof name, "%s", original);
    ReplaceControlBytes(name);
    EXPECT_STREQ(name, shown) << original;
  }
}

TEST(LedgerJoint, AFreshLineAndTheCutMarkWhereNoBlockEnds) {
  struct Case {
    const char* tail;
    int64_t size;
    const char* joint;
  };
  const std::string cut = std::string("\r\n") + ledger_key::kCut + "=1\r\n\r\n";
  const Case cases[] = {
      {"=1\r\n", 26, ""},                // the version line alone
      {"=1\n", 25, ""},                  // the same with a bare line feed
      {"r=1", 24, "\r\n"},               // the version line without its line end
      {"\n\r\n", 400, ""},               // after a block's empty line
      {"a\n\n", 400, ""},                // the same with bare line feeds
      {"ms=", 400, cut.c_str()},         // cut in the middle of a line
      {"=1\r", 400, cut.c_str()},        // cut between CR and LF
      {"=1\r\n", 400, cut.c_str() + 2},  // cut between two lines of a block
      {"k\n", 400, cut.c_str() + 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LedgerJoint(c.tail, c.size), ShortText(c.joint)) << c.tail << " " << c.size;
  }
}

TEST(MachineId, SixteenHexDigitsOfTheSystemAndHardwareFiguresOnly) {
  // The stored values never change: this one is pinned.
  using Figures = std::string_view[kMachineIdFigures];
  const Figures figures = {"Windows XP", "5.1", "2600", "Pentium III", "1", "256"};
  const Figures moreMemory = {"Windows XP", "5.1", "2600", "Pentium III", "1", "512"};
  // The line ends keep the figures apart: "1" "256" is not "12" "56".
  const Figures shifted = {"Windows XP", "5.1", "2600", "Pentium III", "12", "56"};
  const auto id = [](const Figures& values) {
    char digits[17];
    FormatMachineId(values, digits);
    return std::string(digits);
  };
  EXPECT_EQ(id(figures), "13274fd40c82f87b");
  EXPECT_NE(id(moreMemory), id(figures));
  EXPECT_NE(id(shifted), id(figures));
}

}  // namespace
