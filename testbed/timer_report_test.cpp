#include "timer_report.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/short_text.h"

namespace {

// The two readers of the program's test-log code, written out from their rules: the
// encoding time of the first "Global" line and the figure of the first "Process" line.
std::string EncodingTimeOf(const std::string& line) {
  const size_t p1 = line.find('=');
  if (p1 == std::string::npos) return "<no =>";
  const size_t p2 = line.find_first_of("0123456789", p1);
  if (p2 == std::string::npos) return "<no digit>";
  const std::string r = line.substr(p2);
  const size_t p3 = r.substr(0, r.size() - 1).rfind('=');
  if (p3 == std::string::npos) return "<no closing =>";
  const size_t p4 = r.substr(0, p3).find_last_of("0123456789");
  return r.substr(0, p4 + 1);
}

int ProcessFigureOf(const std::string& line) {
  const size_t blank = line.substr(0, line.size() - 1).rfind(' ');
  if (blank == std::string::npos) return -1;
  return TextToNumber(ShortText(line.substr(blank + 1, line.size() - blank - 2))).value;
}

std::string FirstLineWith(const std::string& report, const char* keyword) {
  std::istringstream lines(report);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find(keyword) != std::string::npos) return line;
  }
  return std::string();
}

TimerFigures Figures(double wall, double user, double kernel, int share, double seconds = -1) {
  TimerFigures figures;
  figures.wallSeconds = wall;
  figures.userSeconds = user;
  figures.kernelSeconds = kernel;
  figures.shareOverride = share;
  figures.secondsOverride = seconds;
  return figures;
}

TEST(TimerReportTest, LinesHaveTheShapesTheReadersCut) {
  TimerFigures figures;
  figures.wallSeconds = 83.40649;
  figures.userSeconds = 82.5;
  figures.kernelSeconds = 0.6;
  const std::string report = FormatTimerReport(figures);
  EXPECT_EQ(report,
            "Kernel Time  =     0.600 =    1%\n"
            "User Time    =    82.500 =   99%\n"
            "Process Time =    83.100 =  100%\n"
            "Global Time  =    83.406 =  100%\n");
  EXPECT_EQ(EncodingTimeOf(FirstLineWith(report, "Global")), "83.406");
  EXPECT_EQ(ProcessFigureOf(FirstLineWith(report, "Process")), 100);
}

TEST(TimerReportTest, ShareIsRoundedAndMayBeReplaced) {
  struct Case {
    TimerFigures figures;
    int figure;
    const char* time;
  } cases[] = {
      {Figures(10, 9.94, 0, -1), 99, "10.000"}, {Figures(10, 9.86, 0, -1), 99, "10.000"},
      {Figures(10, 9.84, 0, -1), 98, "10.000"}, {Figures(2.5, 1.0, 0.25, -1), 50, "2.500"},
      {Figures(0, 0, 0, -1), 100, "0.000"},     {Figures(1234.5678, 1, 1, -1), 0, "1234.568"},
      {Figures(10, 10, 0, 95), 95, "10.000"},   {Figures(10, 0, 0, 42), 42, "10.000"},
      {Figures(4, 8, 0, -1), 200, "4.000"},
  };
  for (const Case& c : cases) {
    const std::string report = FormatTimerReport(c.figures);
    EXPECT_EQ(ProcessSharePercent(c.figures), c.figure);
    EXPECT_EQ(ProcessFigureOf(FirstLineWith(report, "Process")), c.figure) << report;
    EXPECT_EQ(EncodingTimeOf(FirstLineWith(report, "Global")), c.time) << report;
    // Only one line carries each keyword.
    EXPECT_EQ(report.find("Process"), report.rfind("Process"));
    EXPECT_EQ(report.find("Global"), report.rfind("Global"));
  }
}

TEST(TimerReportTest, ReplacedShareAlsoShowsInTheProcessTime) {
  TimerFigures figures;
  figures.wallSeconds = 10;
  figures.userSeconds = 8;
  figures.kernelSeconds = 2;
  figures.shareOverride = 50;
  EXPECT_EQ(FirstLineWith(FormatTimerReport(figures), "Process"),
            "Process Time =     5.000 =   50%");
}

TEST(TimerReportTest, ReplacedTimeKeepsTheShareAndTheSplit) {
  struct Case {
    TimerFigures figures;
    const char* report;
  } cases[] = {
      {Figures(2, 1.8, 0.2, -1, 3),
       "Kernel Time  =     0.300 =   10%\n"
       "User Time    =     2.700 =   90%\n"
       "Process Time =     3.000 =  100%\n"
       "Global Time  =     3.000 =  100%\n"},
      {Figures(2, 1, 0, -1, 0.5),
       "Kernel Time  =     0.000 =    0%\n"
       "User Time    =     0.250 =   50%\n"
       "Process Time =     0.250 =   50%\n"
       "Global Time  =     0.500 =  100%\n"},
      {Figures(0.2, 0.1, 0.1, 80, 1),
       "Kernel Time  =     0.400 =   40%\n"
       "User Time    =     0.400 =   40%\n"
       "Process Time =     0.800 =   80%\n"
       "Global Time  =     1.000 =  100%\n"},
      {Figures(0, 0, 0, -1, 4),
       "Kernel Time  =     0.000 =    0%\n"
       "User Time    =     4.000 =  100%\n"
       "Process Time =     4.000 =  100%\n"
       "Global Time  =     4.000 =  100%\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatTimerReport(c.figures), c.report);
  }
}

}  // namespace
