// Reading activity ledgers.
#include "report/ledger_parser.h"

#include "report/log_parser.h"
#include "report/test_names.h"

namespace {

// Ledger values are one short text each; longer lines are cut here.
constexpr size_t kLongestLedgerLine = 512;

/// "other.1.name": the busiest other process of a test.
const std::string kBusiestNameKey =
    std::string(ledger_key::kOtherPrefix) + "1" + ledger_key::kOtherName;

/// The machine block's figures and where they go.
struct MachineField {
  const char* key;
  std::string LedgerMachine::*member;
};
constexpr MachineField kMachineFields[] = {
    {ledger_key::kCpuModel, &LedgerMachine::cpuModel},
    {ledger_key::kCpuCount, &LedgerMachine::cpuCount},
    {ledger_key::kMemoryMib, &LedgerMachine::memoryMib},
    {ledger_key::kOsName, &LedgerMachine::osName},
    {ledger_key::kOsVersion, &LedgerMachine::osVersion},
    {ledger_key::kOsBuild, &LedgerMachine::osBuild},
};

}  // namespace

Fingerprint FingerprintOf(const LedgerMachine& machine) {
  std::string_view values[kMachineIdFigures];
  for (size_t i = 0; i < kMachineIdFigures; ++i) {
    for (const MachineField& field : kMachineFields) {
      if (std::string_view(field.key) == kMachineIdKeys[i]) values[i] = machine.*field.member;
    }
  }
  char id[17];
  FormatMachineId(values, id);
  return {id, machine.cpuModel + ", " + machine.cpuCount + " CPU, " + machine.memoryMib + " MiB, " +
                  machine.osName + " " + machine.osVersion + " (" + machine.osBuild + "), " + id};
}

void LedgerParser::EndBlock() {
  if (block_ == kMachineBlock && !machine_.found) {
    machine_ = blockMachine_;
    machine_.found = true;
  } else if (block_ == kTestBlock) {
    LedgerTest test;
    test.test = TestOfOption(test_);
    test.outcome = outcome_;
    test.busiest = busiest_;
    test.encodingTime = encodingTime_;
    // The time of day counts too, for --since and --until compare whole stamps.
    int64_t stamp = 0;
    if (ReadTimestamp(start_, stamp)) test.start = stamp;
    if (ReadTimestamp(end_, stamp)) test.end = stamp;
    LedgerLoad& load = test.load;
    load.busyKnown = ReadSeconds(busy_, load.busyPercent);
    load.processKnown = ReadSeconds(process_, load.processFigure);
    load.secondsKnown = ReadSeconds(encodingTime_, load.seconds);
    load.othersKnown = othersSeen_;
    load.othersCpuMs = othersCpuMs_;
    load.clockKnown = ReadSeconds(clockReduced_, load.clockReducedPercent);
    sink_(test, context_);
  }
  block_.clear(), test_.clear(), outcome_.clear(), start_.clear(), end_.clear();
  busiest_.clear(), encodingTime_.clear(), busy_.clear(), process_.clear(), clockReduced_.clear();
  othersSeen_ = false, othersCpuMs_ = 0;
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
  if (key == ledger_key::kCut) return block_.clear();
  struct Field {
    std::string_view key;
    std::string* target;
  } const fields[] = {
      {ledger_key::kBlock, &block_},
      {ledger_key::kTest, &test_},
      {ledger_key::kOutcome, &outcome_},
      {ledger_key::kStart, &start_},
      {kBusiestNameKey, &busiest_},
      {ledger_key::kEnd, &end_},
      {ledger_key::kEncodingTime, &encodingTime_},
      {ledger_key::kBusyPercent, &busy_},
      {ledger_key::kProcessFigure, &process_},
      {ledger_key::kClockReducedPercent, &clockReduced_},
  };
  for (const Field& field : fields) {
    if (key == field.key) field.target->assign(value);
  }
  for (const MachineField& field : kMachineFields) {
    if (key == field.key) (blockMachine_.*field.member).assign(value);
  }
  // Processor time of other programs: other.N.cpu_ms and unnamed_cpu_ms.
  const std::string_view otherMs = ledger_key::kOtherCpuMs;
  const bool otherCpu = key.substr(0, std::string_view(ledger_key::kOtherPrefix).size()) ==
                            ledger_key::kOtherPrefix &&
                        key.size() > otherMs.size() &&
                        key.substr(key.size() - otherMs.size()) == otherMs;
  double ms = 0;
  if ((otherCpu || key == ledger_key::kUnnamedCpuMs) && ReadSeconds(value, ms)) {
    othersSeen_ = true;
    othersCpuMs_ += ms;
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
