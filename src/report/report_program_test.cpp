// The built tarsel-report on the sample logs of tests/report/sample: every format
// against its golden output, the exit statuses, and inputs left as they were.
// TARSEL_UPDATE_GOLDEN=1 writes the goldens anew instead of comparing.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>

namespace {

namespace fs = std::filesystem;

const fs::path kSamples = TARSEL_REPORT_SAMPLES;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Ran {
  int status = -1;
  std::string out, err;
};

// Runs the program in `directory` with the arguments (each quoted for the shell).
Ran RunReport(const std::string& arguments, const fs::path& directory = kSamples) {
  const fs::path out =
      fs::temp_directory_path() / ("tarsel-report-test-" + std::to_string(getpid()));
  const std::string command = "cd '" + directory.string() + "' && '" + TARSEL_REPORT + "' " +
                              arguments + " >'" + out.string() + ".out' 2>'" + out.string() +
                              ".err' </dev/null";
  const int status = std::system(command.c_str());
  Ran ran{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out.string() + ".out"),
          ReadAll(out.string() + ".err")};
  fs::remove(out.string() + ".out");
  fs::remove(out.string() + ".err");
  return ran;
}

// Every file below the folder: its bytes and modification time.
std::map<fs::path, std::pair<std::string, fs::file_time_type>> Snapshot(const fs::path& folder) {
  std::map<fs::path, std::pair<std::string, fs::file_time_type>> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file())
      files[entry.path()] = {ReadAll(entry.path()), entry.last_write_time()};
  }
  return files;
}

TEST(ReportProgram, EveryFormatMatchesItsGoldenAndNoInputChanges) {
  const auto before = Snapshot(kSamples / "sample");
  const bool update = std::getenv("TARSEL_UPDATE_GOLDEN") != nullptr;
  const struct {
    const char* arguments;
    const char* golden;
  } cases[] = {
      {"sample", "sample.txt"},
      {"--wide sample", "sample-wide.txt"},
      {"--format csv sample", "sample.csv"},
      {"--format records sample", "sample-records.csv"},
      {"--format json sample", "sample.json"},
      {"--format md sample", "sample.md"},
      {"--format html sample", "sample.html"},
      // A machine named on the command line, another baseline, and the filters.
      {"--format csv --baseline sample/beta --name Alpha sample/alpha sample/beta --test divx,xvid "
       "--since 02.03.2024 --until 03.03.2024",
       "filtered.csv"},
  };
  for (const auto& c : cases) {
    const Ran ran = RunReport(c.arguments);
    EXPECT_EQ(ran.status, 0) << c.arguments << "\n" << ran.err;
    EXPECT_EQ(ran.err, "");
    const fs::path golden = kSamples / "golden" / c.golden;
    if (update) {
      std::ofstream(golden, std::ios::binary) << ran.out;
    } else {
      EXPECT_EQ(ran.out, ReadAll(golden)) << c.arguments;
    }
  }
  EXPECT_EQ(Snapshot(kSamples / "sample"), before);
}

TEST(ReportProgram, ExitStatusTellsReportMissingInputAndUsageError) {
  const fs::path log = kSamples / "sample" / "alpha" / "zentravo-kelv-tarsel.log";
  const std::string logBefore = ReadAll(log);
  const struct {
    std::string arguments;
    int status;
    std::string errorStart;  ///< what standard error begins with
  } cases[] = {
      {"--help", 0, ""},
      {"", 2, "tarsel-report: no INPUT given\nusage: tarsel-report"},
      {"--format xml sample", 2, "tarsel-report: bad value of --format: xml\nusage:"},
      {"--since 1.1 sample", 2, "tarsel-report: bad value of --since: 1.1\nusage:"},
      {"--test divx,avi sample", 2, "tarsel-report: bad value of --test: divx,avi\nusage:"},
      {"--bogus sample", 2, "tarsel-report: unknown option --bogus\nusage:"},
      {"--name x", 2, "tarsel-report: --name x is followed by no INPUT\nusage:"},
      {"--baseline nobody sample", 2, "tarsel-report: --baseline nobody names no machine\nusage:"},
      {"--output sample/alpha/zentravo-kelv-tarsel.log sample", 2,
       "tarsel-report: --output sample/alpha/zentravo-kelv-tarsel.log is one of the "
       "inputs\nusage:"},
      {"--output sample/gamma/activity.txt sample/gamma", 2,
       "tarsel-report: --output sample/gamma/activity.txt is one of the inputs\nusage:"},
      {"missing", 1, "tarsel-report: cannot read missing: no such file or folder\n"},
      {"golden", 1, "tarsel-report: no main log (zentravo-kelv-tarsel.log) found\n"},
  };
  for (const auto& c : cases) {
    const Ran ran = RunReport(c.arguments);
    EXPECT_EQ(ran.status, c.status) << c.arguments;
    EXPECT_EQ(ran.err.substr(0, c.errorStart.size()), c.errorStart) << c.arguments;
    EXPECT_EQ(ran.out.empty(), c.status != 0) << c.arguments;
  }
  EXPECT_EQ(ReadAll(log), logBefore);
}

}  // namespace
