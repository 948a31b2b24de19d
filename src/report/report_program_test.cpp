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
#include <vector>

#include "logs/ledger_format.h"

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
      {"--format bbcode sample", "sample.bbcode"},
      {"--format bbcode --bbcode-table sample", "sample-table.bbcode"},
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
      // A unique beginning of a name will do; else the names are listed.
      {"--baseline gam sample", 0, ""},
      {"--baseline nobody sample", 2,
       "tarsel-report: --baseline nobody names no machine, or more than one; the machines "
       "are:\n  alpha\n  beta\n  gamma\n"},
      {"--csv-separator : sample", 2, "tarsel-report: bad value of --csv-separator: :\nusage:"},
      {"--decimal-comma sample", 2,
       "tarsel-report: --decimal-comma needs --csv-separator ; or tab\nusage:"},
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

// A main log of DivX results, one per encoding time text.
std::string Log(const std::vector<std::string>& times) {
  std::string log = "Zentravo Kelvaran Project\r\nTarsel v2.0 RC3 logfile\r\n\r\n";
  for (const std::string& time : times) {
    log +=
        "Official DivX test result (validation passed)\r\nAdded 01.03.2024 at 10:00:00\r\n"
        "Encoding time: " +
        time + "\r\n\r\n";
  }
  return log;
}

// A ledger of a machine with that much memory and that clock (the written machine id
// hashes the clock, as older ledgers did), and one invalid DivX result whose busiest
// other program is `busiest`.
std::string Ledger(const std::string& memory, const std::string& mhz,
                   const std::string& busiest = "idle.exe") {
  return std::string(kLedgerVersionLine) +
         "\r\nblock=machine\r\nos_name=Windows XP\r\nos_version=5.1\r\nos_build=2600\r\n"
         "cpu_model=P4\r\ncpu_count=1\r\ncpu_mhz=" +
         mhz + "\r\nmemory_mib=" + memory + "\r\nmachine_id=" + mhz +
         "\r\n\r\nblock=test\r\ntest=divx\r\noutcome=invalid\r\nother.1.name=" + busiest +
         "\r\n\r\n";
}

// The machine id the report computes for Ledger(memory, ...).
std::string IdOf(const char* memory) {
  const std::string_view figures[kMachineIdFigures] = {"Windows XP", "5.1", "2600",
                                                       "P4",         "1",   memory};
  char id[17];
  FormatMachineId(figures, id);
  return id;
}

// The columns of a UTF-8 line.
size_t Columns(const std::string& line) {
  size_t columns = 0;
  for (const char c : line) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return columns;
}

// Hand-made inputs in a fresh folder, and what the report makes of them.
TEST(ReportProgram, HandMadeInputsGiveWhatTheReadersNeed) {
  const std::string p4a = "Intel(R) Pentium(R) 4 CPU 2.80GHz lab A";
  const std::string p4b = "Intel(R) Pentium(R) 4 CPU 2.80GHz lab B";
  const std::string umlauts =
      "Pr\xc3\xbc"
      "fstand-\xc3\x84\xc3\x96\xc3\x9c\xc3\xa4\xc3\xb6\xc3\xbc";
  const std::string log = "/zentravo-kelv-tarsel.log";
  const struct {
    std::vector<std::pair<std::string, std::string>> files;  ///< path, bytes
    std::string arguments;
    std::vector<std::string> shown;  ///< each somewhere in standard output
  } cases[] = {
      // Machines by folder or --name; one fingerprint, whatever the clock, only warns.
      {{{"lab/a" + log, Log({"10.0"})},
        {"lab/a/activity.txt", Ledger("512", "2800")},
        {"lab/b" + log, Log({"11.0"})},
        {"lab/b/activity.txt", Ledger("512", "1400")},
        {"lab/c" + log, Log({"12.0"})},
        {"lab/c/activity.txt", Ledger("1024", "2800")},
        {"d1" + log, Log({"13.0"})},
        {"d1/activity.txt", Ledger("512", "2800")},
        {"d2" + log, Log({"14.0"})},
        {"d2/activity.txt", Ledger("1024", "2800")}},
       "--format json lab --name Box d1 --name Box d2",
       {"{\"name\": \"a\", \"named_by\": \"path\"", "{\"name\": \"b\", \"named_by\": \"path\"",
        "\"fingerprints\": [\"P4, 1 CPU, 1024 MiB, Windows XP 5.1 (2600), " + IdOf("1024") + "\"]",
        "\"Warning: Box has 2 hardware fingerprints (" + IdOf("512") + ", " + IdOf("1024"),
        "\"Warning: a, b, Box share one hardware fingerprint (" + IdOf("512") + ")",
        "\"Warning: c, Box share one hardware fingerprint (" + IdOf("1024") + ")"}},
      // European spreadsheets: their separator and decimal comma, texts in UTF-8.
      {{{"x" + log, Log({"89.148"})}},
       "--format csv --csv-separator ';' --decimal-comma x",
       {"\xEF\xBB\xBFsection;test;",
        "\r\nofficial;divx;DivX;x;1;89,148;89,148;89,148;89,148;;1,000;"}},
      {{{"x" + log, Log({"89.148"})}},
       "--format records --csv-separator tab --decimal-comma x",
       {"\xEF\xBB\xBFmachine\tlog\t",
        "\tofficial\tdivx\t2024-03-01 10:00:00\t89.148\t89,148\t\t\r\n"}},
      // No formula reaches a spreadsheet.
      {{{"x" + log, Log({"=HYPERLINK(\"http://x\")", "+1", "@A1"})}},
       "--format records --name -2+3 x",
       {"\r\n'-2+3,x/zentravo-kelv-tarsel.log,official,divx,2024-03-01 "
        "10:00:00,\"'=HYPERLINK(\"\"http://x\"\")\",,,\r\n",
        ",'+1,,,\r\n", ",'@A1,,,\r\n"}},
      {{{"x" + log, Log({"1.0"})}},
       "--format csv --name '@SUM(A1)' x",
       {"\r\nofficial,divx,DivX,'@SUM(A1),"}},
      // Names that do not fit the table get keys, explained in full; counts are whole.
      {{{p4a + log, Log({"10.0"})},
        {p4a + "/activity.txt", Ledger("512", "2800")},
        {p4b + log, Log({"20.0", "n/a"})},
        {p4b + "/activity.txt", Ledger("512", "2800")}},
       ".",
       {"\n  M1 " + p4a + " (path); P4, 1 CPU, 512 MiB", "\n  M2 " + p4b + " (path); P4,",
        "\n*?M1                    1    10.000", "\n ?M2                    1    20.000",
        "\n  M1                   1.000      1  10.000\n",
        "\n  M2: 1 time unreadable, such as \"n/a\"\n",
        "\n  invalid results (ledgers): M1 1, M2 1\n", "\n  M1: idle.exe (1)\n"}},
      {{{"mach-one" + log, Log({"10.0"})}, {"machine-two" + log, Log({"20.0"})}},
       "--wide .",
       {"\n  M1 mach-one (path)\n  M2 machine-two (path)\n", "\n                 M1        M2\n"}},
      // No name opens or ends a BBCode tag, not even the [code] block's end.
      {{{"[b]x[/code]" + log, Log({"1.0"})}}, "--format bbcode .", {"\n*?(b)x(/code)   "}},
      // Widths count characters, not bytes.
      {{{umlauts + log, Log({"10.0"})}}, ".", {"\n*?" + umlauts + "      1    10.000"}},
      // Control bytes become "?" everywhere.
      {{{"a/esc\x1b[31mred\nline" + log, Log({"\x1b[2J\x1a", "2.0"})},
        {"a/esc\x1b[31mred\nline/activity.txt", Ledger("512", "2800", "bell\a.exe")},
        {"n" + log, Log({"3.0"})}},
       "a --name \"$(printf 'nul\\033]0;title\\007')\" n",
       {"esc?[31mred?line", "nul?]0;title?", "such as \"?[2J", "bell?.exe"}},
  };
  const fs::path root =
      fs::temp_directory_path() / ("tarsel-report-inputs-" + std::to_string(getpid()));
  for (const auto& c : cases) {
    fs::remove_all(root);
    for (const auto& [path, bytes] : c.files) {
      fs::create_directories((root / path).parent_path());
      std::ofstream(root / path, std::ios::binary) << bytes;
    }
    std::vector<std::string> outputs;
    for (const char* format :
         {"", " --format csv", " --format records", " --format json", " --format md",
          " --format html", " --wide", " --format bbcode", " --format bbcode --bbcode-table"}) {
      const Ran ran = RunReport(c.arguments + format, root);
      EXPECT_EQ(ran.status, 0) << c.arguments << format << "\n" << ran.err;
      outputs.push_back(ran.out);
    }
    const std::string& shown = outputs[0];  // as the arguments say, the formats they give last
    for (const std::string& part : c.shown)
      EXPECT_NE(shown.find(part), std::string::npos) << c.arguments << ": " << part << "\n"
                                                     << shown;
    const bool tabs = c.arguments.find("--csv-separator tab") != std::string::npos;
    for (size_t f = 0; f < outputs.size(); ++f) {
      // Line ends (and tabs that separate fields) only, and no JSON escape that a reader would turn
      // back into a control byte.
      std::string rest;
      for (size_t i = 0; i < outputs[f].size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(outputs[f][i]);
        if (byte == '\n' || (byte == '\r' && outputs[f][i + 1] == '\n') || (byte == '\t' && tabs))
          continue;
        rest += outputs[f][i];
        EXPECT_FALSE(byte < 0x20 || byte == 0x7f) << c.arguments << " output " << f << " at " << i;
      }
      EXPECT_EQ(rest.find("\\u00"), std::string::npos) << c.arguments;
    }
    // The text tables, narrow and wide: nothing cut, every line within 79 columns.
    for (const std::string& text : {outputs[0], outputs[6]}) {
      if (c.arguments.find("--format") != std::string::npos) break;
      EXPECT_EQ(text.find('~'), std::string::npos) << text;
      size_t start = 0;
      for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(Columns(text.substr(start, end - start)), 79u) << text.substr(start, end - start);
    }
  }
  fs::remove_all(root);
}

// The fields of the CSV row that begins with `start`; empty when there is none.
std::vector<std::string> CsvRow(const std::string& csv, const std::string& start) {
  const size_t at = csv.find("\n" + start);
  if (at == std::string::npos) return {};
  std::vector<std::string> fields(1);
  for (size_t i = at + 1; i < csv.size() && csv[i] != '\r'; ++i) {
    if (csv[i] == ',') {
      fields.emplace_back();
    } else {
      fields.back() += csv[i];
    }
  }
  return fields;
}

// Two DivX results added in one second, 10.0 and 20.0, told apart by their time texts;
// the ledger's block of 10.0 is calm and tells no clock, that of 20.0 as the case gives it.
TEST(ReportProgram, DisturbedOrReducedClockResultsAreMarkedAndLeftOutUnlessKept) {
  const std::string block = "block=test\r\ntest=divx\r\noutcome=official\r\n";
  const std::string around = "start=01.03.2024 at 09:59:50\r\nend=01.03.2024 at 10:00:09\r\n";
  const std::string calm =
      block + around + "encoding_time=10.0\r\nprocess_figure=100\r\n" + "busy_percent=50.0\r\n\r\n";
  const std::string twenty = block + around + "encoding_time=20.0\r\n";
  const std::string busy = "process_figure=100\r\nbusy_percent=100.0\r\n";
  const std::string idle = "process_figure=100\r\nbusy_percent=52.0\r\n";
  const struct {
    const char* what;
    std::string cpus, blocks;
    const char* disturbed;  ///< the disturbed_results column
    const char* reduced;    ///< the reduced_clock_results column
    const char* marks;      ///< the records' disturbed and reduced_clock fields of 20.0
  } cases[] = {
      // The timing tool's 100 % cannot see the other core busy; the ledger can.
      {"one core of two busy beside", "2", twenty + busy + "\r\n", "1", "", "yes,"},
      {"the other core idle", "2", twenty + idle + "\r\n", "0", "", "no,"},
      // 3000 + 100 ms of 20 s on one processor: 15.5 %.
      {"others' milliseconds", "1",
       twenty + "other.1.name=hog\r\nother.1.cpu_ms=3000\r\nunnamed_cpu_ms=100\r\n\r\n", "1", "",
       "yes,"},
      {"another time text: no match", "2",
       block + around + "encoding_time=21.0\r\n" + busy + "\r\n", "0", "", ","},
      {"ended before it was added: no match", "2",
       block + "start=01.03.2024 at 09:00:00\r\nend=01.03.2024 at 09:00:20\r\n" +
           "encoding_time=20.0\r\n" + busy + "\r\n",
       "0", "", ","},
      {"two blocks match: not marked", "2", twenty + busy + "\r\n" + twenty + busy + "\r\n", "0",
       "", ","},
      // The clock: reduced from 10 % of the measurement on.
      {"clock reduced 10 %", "2", twenty + idle + "clock_reduced_percent=10\r\n\r\n", "0", "1",
       "no,yes"},
      {"clock reduced 9 %", "2", twenty + idle + "clock_reduced_percent=9\r\n\r\n", "0", "0",
       "no,no"},
      {"disturbed and clock reduced", "2", twenty + busy + "clock_reduced_percent=50\r\n\r\n", "1",
       "1", "yes,yes"},
  };
  const fs::path root =
      fs::temp_directory_path() / ("tarsel-report-disturbed-" + std::to_string(getpid()));
  for (const auto& c : cases) {
    fs::remove_all(root);
    fs::create_directories(root / "m");
    std::ofstream(root / "m" / "zentravo-kelv-tarsel.log", std::ios::binary)
        << Log({"10.0", "20.0"});
    std::ofstream(root / "m" / "activity.txt", std::ios::binary)
        << kLedgerVersionLine << "\r\nblock=machine\r\ncpu_count=" << c.cpus << "\r\n\r\n"
        << calm << c.blocks;
    const bool marked = std::string(c.disturbed) == "1" || std::string(c.reduced) == "1";
    for (const bool keep : {false, true}) {
      const std::vector<std::string> row = CsvRow(
          RunReport(std::string("--format csv m") + (keep ? " --keep-disturbed" : ""), root).out,
          "official,divx,");
      ASSERT_EQ(row.size(), 20u) << c.what;
      // results, median, disturbed_results and reduced_clock_results.
      const bool left = marked && !keep;
      EXPECT_EQ(row[4], left ? "1" : "2") << c.what;
      EXPECT_EQ(row[5], left ? "10.000" : "15.000") << c.what;
      EXPECT_EQ(row[16], c.disturbed) << c.what;
      EXPECT_EQ(row[19], c.reduced) << c.what;
    }
    const std::string records = RunReport("--format records m", root).out;
    EXPECT_NE(records.find(",20.0,20.000," + std::string(c.marks) + "\r\n"), std::string::npos)
        << c.what << "\n"
        << records;
    EXPECT_NE(records.find(",10.0,10.000,no,\r\n"), std::string::npos) << c.what;
  }
  fs::remove_all(root);
}

}  // namespace
