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

// Runs the program in `directory` with the arguments (each quoted for the shell), its
// standard input from `feed`'s output (a shell command) or else empty.
Ran RunReport(const std::string& arguments, const fs::path& directory = kSamples,
              const std::string& feed = "") {
  const fs::path out =
      fs::temp_directory_path() / ("tarsel-report-test-" + std::to_string(getpid()));
  const std::string command = "cd '" + directory.string() + "' && " +
                              (feed.empty() ? "" : feed + " | ") + "'" + TARSEL_REPORT + "' " +
                              arguments + " >'" + out.string() + ".out' 2>'" + out.string() +
                              ".err'" + (feed.empty() ? " </dev/null" : "");
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
      {"-h", 0, ""},
      {"-x sample", 2, "tarsel-report: unknown option -x\nusage:"},
      {"", 2, "tarsel-report: no INPUT given\nusage: tarsel-report"},
      {"--format xml sample", 2, "tarsel-report: bad value of --format: xml\nusage:"},
      {"--since 1.1 sample", 2, "tarsel-report: bad value of --since: 1.1\nusage:"},
      {"--since 31.02.2026 sample", 2, "tarsel-report: bad value of --since: 31.02.2026\nusage:"},
      {"--until 29.02.2023 sample", 2, "tarsel-report: bad value of --until: 29.02.2023\nusage:"},
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

// Inputs of every kind: standard input, pipes, links to nothing, long paths, files
// without results, and outputs that are no disk files.
TEST(ReportProgram, InputsAreReadOnceAsGivenAndNoResultIsAnError) {
  const fs::path root =
      fs::temp_directory_path() / ("tarsel-report-inputs-" + std::to_string(getpid()));
  const std::string log = "zentravo-kelv-tarsel.log";
  const fs::path sample = kSamples / "sample" / "alpha" / log;
  const std::string longName = std::string(120, 'l') + "/" + std::string(120, 'm');
  for (const char* folder : {"empty", "garbage", "links/dead", "links/ok"})
    fs::create_directories(root / folder);
  fs::create_directories(root / "long" / longName);
  std::ofstream(root / "empty" / log).flush();
  std::ofstream(root / "garbage" / log) << "garbage\n";
  fs::create_symlink(root / "nowhere", root / "links/dead" / log);
  fs::copy_file(sample, root / "links/ok" / log);
  fs::copy_file(sample, root / "long" / longName / log);
  const std::string cat = "cat '" + sample.string() + "'";
  const struct {
    std::string arguments, feed;
    int status;
    std::string outPart, errorStart;  ///< standard output holds the one, error starts so
  } cases[] = {
      {"- --format csv", cat, 0, ",standard input,3,", ""},
      {"--format csv -- /dev/stdin", cat, 0, ",/dev/stdin,3,", ""},
      {"--format csv - -", cat, 0, ",standard input,3,", ""},
      {"--output /dev/null links", "", 0, "", ""},
      {"links", "", 0, "Skipped 1 main log whose link leads nowhere", ""},
      {"--format csv long", "", 0, "," + longName + ",3,", ""},
      {std::string(5000, 'p'), "", 1, "", "tarsel-report: cannot read ppp"},
      {"empty", "", 1, "", "tarsel-report: no results in 1 main log\n"},
      {"garbage empty", "", 1, "", "tarsel-report: no results in 2 main logs\n"},
      {"--test mainc links", "", 1, "", "tarsel-report: no results in 1 main log within"},
  };
  for (const auto& c : cases) {
    const Ran ran = RunReport(c.arguments, root, c.feed);
    const std::string shown = c.arguments.substr(0, 40);
    EXPECT_EQ(ran.status, c.status) << shown << "\n" << ran.err;
    EXPECT_NE(ran.out.find(c.outPart), std::string::npos) << shown << "\n" << ran.out;
    EXPECT_EQ(ran.err.substr(0, c.errorStart.size()), c.errorStart) << shown;
  }
  EXPECT_NE(RunReport(std::string(5000, 'p'), root).err.find("path longer than"),
            std::string::npos);
  fs::remove_all(root);
}

}  // namespace
