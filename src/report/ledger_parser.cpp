// Reading activity ledgers.
#include "report/ledger_parser.h"

#include "report/log_parser.h"
#include "report/test_names.h"

namespace {

// Ledger values are one short text each; longer lines are cut here.
constexpr size_t kLongestLedgerLine = 512;

}  // namespace

bool StartsAsLedger(std::string_view start) {
  const std::string_view version = kLedgerVersionLine;
  if (start.substr(0, version.size()) != version) return false;
  start.remove_prefix(version.size());
  return start.substr(0, 1) == "\n" || start.substr(0, 2) == "\r\n";
}

std::string FingerprintName(const LedgerMachine& machine) {
  return machine.cpuModel + ", " + machine.cpuCount + " CPU, " + machine.memoryMib + " MiB, " +
         machine.osName + " " + machine.osVersion + " (" + machine.osBuild + "), " +
         machine.machineId;
}

void LedgerParser::EndBlock() {
  if (block_ == "machine" && !machine_.found) {
    machine_ = blockMachine_;
    machine_.found = true;
  } else if (block_ == "test") {
    LedgerTest test;
    test.test = TestOfOption(test_);
    test.outcome = outcome_;
    test.busiest = busiest_;
    int64_t date = 0;
    std::string_view rest;
    if (ReadDate(start_, date, rest)) test.start = date * 1000000;
    // The time of day counts too, for --since and --until compare whole stamps.
    if (rest.size() == 12 && rest.substr(0, 4) == " at ") {
      int64_t clock = 0;
      bool digits = true;
      for (size_t i = 4; i < 12; ++i) {
        if (i == 6 || i == 9) {
          digits = digits && rest[i] == ':';
        } else if (rest[i] >= '0' && rest[i] <= '9') {
          clock = clock * 10 + (rest[i] - '0');
        } else {
          digits = false;
        }
      }
      if (digits) test.start += clock;
    }
    sink_(test, context_);
  }
  block_.clear(), test_.clear(), outcome_.clear(), start_.clear(), busiest_.clear();
  blockMachine_ = LedgerMachine{};
}

void LedgerParser::TakeLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (!versionSeen_) {
    versionSeen_ = true;
    isLedger_ = line == kLedgerVersionLine;
    return;
  }
  if (!isLedger_) return;
  if (line.empty()) return EndBlock();
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return;
  const std::string_view key = line.substr(0, equals);
  const std::string_view value = line.substr(equals + 1);
  // Whatever the cut block held is not to be trusted: no test or machine comes of it.
  if (key == kLedgerCutKey) return block_.clear();
  struct Field {
    std::string_view key;
    std::string* target;
  } const fields[] = {
      {"block", &block_},
      {"test", &test_},
      {"outcome", &outcome_},
      {"start", &start_},
      {"other.1.name", &busiest_},
      {"cpu_model", &blockMachine_.cpuModel},
      {"cpu_count", &blockMachine_.cpuCount},
      {"memory_mib", &blockMachine_.memoryMib},
      {"os_name", &blockMachine_.osName},
      {"os_version", &blockMachine_.osVersion},
      {"os_build", &blockMachine_.osBuild},
      {"machine_id", &blockMachine_.machineId},
  };
  for (const Field& field : fields) {
    if (key == field.key) field.target->assign(value);
  }
}

void LedgerParser::Feed(const char* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (bytes[i] == '\n') {
      TakeLine(line_);
      line_.clear();
    } else if (line_.size() < kLongestLedgerLine) {
      line_ += bytes[i];
    }
  }
}

void LedgerParser::Finish() {
  // A block cut off by the end of the file still counts, as far as it goes.
  if (!line_.empty()) TakeLine(line_);
  line_.clear();
  if (isLedger_ && !block_.empty()) EndBlock();
}
