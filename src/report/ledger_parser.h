// Reading activity ledgers (docs/activity-ledger.md) from bytes that arrive in pieces:
// the version line, then blocks of "key=value" lines, each ended by an empty line.
// Unknown keys are skipped; so is everything of a file that is no ledger.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "logs/ledger_format.h"
#include "report/disturbance.h"

/// The name of the ledger beside main logs that the report reads (in any case): the
/// name the ledger's documentation and demo give it.
inline constexpr char kLedgerFileName[] = "activity.txt";

/// The machine a ledger describes, from its first machine block.
struct LedgerMachine {
  bool found = false;
  std::string cpuModel, cpuCount, memoryMib, osName, osVersion, osBuild;
};

/// The machine's hardware fingerprint: processor, processors, memory, system and the
/// machine id computed anew from those figures (FormatMachineId), as "MODEL, N CPU,
/// M MiB, SYSTEM VERSION (BUILD), ID". The ledger's own machine_id is not read: older
/// ledgers hashed the processor clock into it, which power saving changes.
struct Fingerprint {
  std::string id;       ///< the machine id
  std::string figures;  ///< the whole text, the id at its end
};
Fingerprint FingerprintOf(const LedgerMachine& machine);

/// One test block.
struct LedgerTest {
  int test = -1;                  ///< TestIndex order; -1 for an unknown test
  std::string_view outcome;       ///< "official", "invalid" ...
  int64_t start = 0;              ///< the start as ReadTimestamp reads it, 0 when unreadable
  int64_t end = 0;                ///< the end, read so
  std::string_view busiest;       ///< other.1.name; empty when none was named
  std::string_view encodingTime;  ///< the text the main log's record holds too
  LedgerLoad load;
};

class LedgerParser {
 public:
  using TestSink = void (*)(const LedgerTest& test, void* context);

  LedgerParser(TestSink sink, void* context) : sink_(sink), context_(context) {}

  void Feed(const char* bytes, size_t count);
  void Finish();

  const LedgerMachine& machine() const { return machine_; }
  /// The bytes so far began with the version line.
  bool isLedger() const { return versionSeen_ && isLedger_; }

 private:
  void TakeLine(std::string_view line);
  void EndBlock();

  TestSink sink_;
  void* context_;
  bool versionSeen_ = false;
  bool isLedger_ = true;
  std::string line_;
  LedgerMachine machine_;
  // The block being read.
  std::string block_, test_, outcome_, start_, end_, busiest_, encodingTime_, busy_, process_,
      clockReduced_;
  bool othersSeen_ = false;
  double othersCpuMs_ = 0;
  LedgerMachine blockMachine_;
};
