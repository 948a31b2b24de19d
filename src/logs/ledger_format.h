// The activity ledger's format (docs/activity-ledger.md), written by the benchmark and
// read by the results report from this one header: the version line, the keys and their
// fixed values, and the time stamps, which have the main log's form and are read here
// for both files. Constants and pure inline readers only: the report links no code of
// the benchmark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/text_hash.h"

/// The first line of every ledger.
inline constexpr char kLedgerVersionLine[] = "tarsel_activity_ledger=1";

/// The keys of a block's "key=value" lines.
namespace ledger_key {

inline constexpr char kBlock[] = "block";  ///< the first line of a block: its kind
/// The line "cut=1", which a writer puts on a fresh line after the end of a file that
/// is not where a block ends (a block cut short, or bytes that are not the ledger's),
/// followed by an empty line: a reader drops the block that the mark ends.
inline constexpr char kCut[] = "cut";

// The machine block.
inline constexpr char kProgram[] = "program";
inline constexpr char kRunStart[] = "run_start";
inline constexpr char kOsName[] = "os_name";
inline constexpr char kOsVersion[] = "os_version";
inline constexpr char kOsBuild[] = "os_build";
inline constexpr char kCpuModel[] = "cpu_model";
inline constexpr char kCpuCount[] = "cpu_count";
inline constexpr char kCpuMhz[] = "cpu_mhz";
inline constexpr char kMemoryMib[] = "memory_mib";
inline constexpr char kFreeMibPrefix[] = "free_mib.";  ///< and the drive letter
inline constexpr char kMachineId[] = "machine_id";

// The test block.
inline constexpr char kTest[] = "test";
inline constexpr char kStart[] = "start";
inline constexpr char kEnd[] = "end";
inline constexpr char kOutcome[] = "outcome";
inline constexpr char kFatal[] = "fatal";
inline constexpr char kNote[] = "note";
inline constexpr char kEncodingTime[] = "encoding_time";
inline constexpr char kProcessFigure[] = "process_figure";
inline constexpr char kBusyPercent[] = "busy_percent";
/// "other.N.name", ".pid" and ".cpu_ms": the N-th busiest other process, N from 1.
inline constexpr char kOtherPrefix[] = "other.";
inline constexpr char kOtherName[] = ".name";
inline constexpr char kOtherPid[] = ".pid";
inline constexpr char kOtherCpuMs[] = ".cpu_ms";
inline constexpr char kUnnamedCpuMs[] = "unnamed_cpu_ms";
/// How many processes the measurement saw, and how many of them it followed.
inline constexpr char kProcessesSeen[] = "processes_seen";
inline constexpr char kProcessesFollowed[] = "processes_followed";
/// The processors' clocks in MHz where the system tells them: the highest nominal
/// clock; the lowest, mean and highest current clock of the busy processors (absent when
/// none was busy); and the share of the measurement, in whole percent, in which a busy
/// processor ran below 95 % of its nominal clock.
inline constexpr char kClockNominalMhz[] = "clock_nominal_mhz";
inline constexpr char kClockLowestMhz[] = "clock_lowest_mhz";
inline constexpr char kClockMeanMhz[] = "clock_mean_mhz";
inline constexpr char kClockHighestMhz[] = "clock_highest_mhz";
inline constexpr char kClockReducedPercent[] = "clock_reduced_percent";
/// Throttling events the system counted during the measurement, where it counts them.
inline constexpr char kThrottleEvents[] = "throttle_events";
/// The largest working set of the measured program's processes, in KiB.
inline constexpr char kPeakMemoryKib[] = "peak_memory_kib";
/// "yes" where the ledger missed processes or failed to list them.
inline constexpr char kLedgerIncomplete[] = "ledger_incomplete";

}  // namespace ledger_key

/// A busy processor below this share of its nominal clock, in percent, runs reduced:
/// `clock_reduced_percent` counts the spans in which one did.
inline constexpr int kReducedClockPercent = 95;
/// From this `clock_reduced_percent` on, a measurement counts as one with a reduced
/// clock: the console says so after the result, and the report marks the result.
inline constexpr int kClockReducedMarkPercent = 10;

/// The values of "block".
inline constexpr char kMachineBlock[] = "machine";
inline constexpr char kTestBlock[] = "test";

/// The values of "outcome".
inline constexpr char kOutcomeOfficial[] = "official";
inline constexpr char kOutcomeUnofficial[] = "unofficial";
inline constexpr char kOutcomeInvalid[] = "invalid";
inline constexpr char kOutcomeSkipped[] = "skipped";
inline constexpr char kOutcomeFatal[] = "fatal";

/// The keys of the machine block whose values the machine id hashes, in this order: the
/// system and the hardware. The clock (cpu_mhz) is left out: power saving changes it
/// from run to run on one machine.
inline constexpr const char* kMachineIdKeys[] = {ledger_key::kOsName,   ledger_key::kOsVersion,
                                                 ledger_key::kOsBuild,  ledger_key::kCpuModel,
                                                 ledger_key::kCpuCount, ledger_key::kMemoryMib};
inline constexpr size_t kMachineIdFigures = sizeof kMachineIdKeys / sizeof kMachineIdKeys[0];

/// The machine id of the values of kMachineIdKeys, in that order and as the ledger holds
/// them: in `digits` 16 lower-case hexadecimal digits and a terminating zero, a 64-bit
/// FNV-1a hash of the values, each followed by a line end. The report computes it anew
/// from any ledger's machine block, so it is one thing for ledgers old and new.
constexpr void FormatMachineId(const std::string_view (&values)[kMachineIdFigures],
                               char (&digits)[17]) {
  uint64_t hash = kHashStart;
  for (const std::string_view value : values) hash = HashBytes("\n", HashBytes(value, hash));
  for (int i = 15; i >= 0; --i) {
    digits[i] = "0123456789abcdef"[hash & 15];
    hash >>= 4;
  }
  digits[16] = '\0';
}

// Time stamps: "DD.MM.YYYY at HH:MM:SS", as FormatClock (logs/main_log.h) writes them
// into the main log and the ledger alike.

/// What lies between a time stamp's date and its time of day.
inline constexpr char kTimestampAt[] = " at ";

namespace timestamp_detail {

/// Reads one to `most` digits at the start of `text` into `value`; false without any.
constexpr bool ReadDigits(std::string_view& text, size_t most, int64_t& value) {
  size_t count = 0;
  value = 0;
  while (count < text.size() && count < most && text[count] >= '0' && text[count] <= '9') {
    value = value * 10 + (text[count] - '0');
    ++count;
  }
  text.remove_prefix(count);
  return count > 0;
}

constexpr bool Skip(std::string_view& text, std::string_view what) {
  if (text.substr(0, what.size()) != what) return false;
  text.remove_prefix(what.size());
  return true;
}

}  // namespace timestamp_detail

/// Reads "DD.MM.YYYY" at the start of `text` as the number YYYYMMDD; `rest` gets what
/// follows the year. False for any other text, and for a day outside 1 to 31, a month
/// outside 1 to 12 or a year above 9999.
constexpr bool ReadDate(std::string_view text, int64_t& date, std::string_view& rest) {
  using timestamp_detail::ReadDigits;
  using timestamp_detail::Skip;
  int64_t day = 0, month = 0, year = 0;
  if (!ReadDigits(text, 9, day) || !Skip(text, ".") || !ReadDigits(text, 9, month) ||
      !Skip(text, ".") || !ReadDigits(text, 9, year)) {
    return false;
  }
  if (day < 1 || day > 31 || month < 1 || month > 12 || year > 9999) return false;
  date = (year * 100 + month) * 100 + day;
  rest = text;
  return true;
}

/// Reads a whole time stamp as the number YYYYMMDDhhmmss. False for any other text, for
/// a date ReadDate refuses and for an impossible time of day: an hour above 23, a
/// minute or second above 59.
constexpr bool ReadTimestamp(std::string_view text, int64_t& stamp) {
  using timestamp_detail::ReadDigits;
  using timestamp_detail::Skip;
  int64_t date = 0, hour = 0, minute = 0, second = 0;
  if (!ReadDate(text, date, text) || !Skip(text, kTimestampAt) || !ReadDigits(text, 2, hour) ||
      !Skip(text, ":") || !ReadDigits(text, 2, minute) || !Skip(text, ":") ||
      !ReadDigits(text, 2, second) || !text.empty()) {
    return false;
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  stamp = date * 1000000 + (hour * 100 + minute) * 100 + second;
  return true;
}
