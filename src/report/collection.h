// What the report gathers from its inputs: the machines, every result value per
// machine, test and section, and what the inputs held besides results.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/tree_walk.h"
#include "report/hash_index.h"
#include "report/ledger_parser.h"
#include "report/log_parser.h"
#include "tests/test_id.h"

/// The results of one machine in one test and one section (official or not).
struct Cell {
  std::vector<double> values;  ///< the times read, in seconds, in log order
  /// Times left out of the figures (disturbed, or with a reduced clock), in log order.
  std::vector<double> leftOut;
  int64_t unreadable = 0;       ///< times that could not be read as a number
  std::string firstUnreadable;  ///< the first of them, as the log holds it
  int64_t invalid = 0;          ///< invalid results the ledgers count (official only)
  int64_t disturbed = 0;        ///< results a ledger tells were disturbed, kept or not
  int64_t reducedClock = 0;     ///< results a ledger tells ran with a reduced clock, kept or not
  int64_t clockKnown = 0;       ///< results whose ledger block tells the clock
};

enum class NamedBy { Option, Path };

struct Machine {
  std::string name;  ///< the system's 8-bit text, control bytes shown as "?"
  NamedBy namedBy = NamedBy::Path;
  /// The hardware fingerprints of its ledgers, in the order first read: shown beside
  /// the name, and warned of when there are two, never a reason to merge or split.
  std::vector<Fingerprint> fingerprints;
  int logs = 0;
  int ledgers = 0;
  /// How often each program was the busiest other one, in the order first named.
  std::vector<std::pair<std::string, int>> busiest;
  /// The cells, [official][test]; -1 where the machine has none.
  std::array<std::array<int32_t, kTestCount>, 2> cell;
};

/// A main log with something to report besides its results.
struct InputNote {
  std::string path;
  LogTally tally;
};

struct Collection {
  std::vector<Machine> machines;
  std::vector<Cell> cells;
  std::vector<InputNote> notes;
  int64_t logs = 0;
  int64_t records = 0;  ///< results taken (after the filters)
  int64_t ledgers = 0;
  int64_t duplicates = 0;  ///< logs reached a second time (through a link), read once
  int64_t deadLinks = 0;   ///< logs found in a folder whose link leads to nothing
  int64_t notFiles = 0;    ///< logs found in a folder that are no disk files (pipes, devices)
  TreeWalkSkips skips;
  HashIndex machineByName;  ///< over `machines`, by name

  /// The machine of that name; -1 when there is none.
  int FindMachine(const std::string& name) const;
  /// The machine of that name, else the one machine whose name begins with `prefix`;
  /// -1 when none does, or more than one.
  int FindMachineByPrefix(const std::string& prefix) const;
  /// Adds a fingerprint of a ledger beside the machine's logs, when it is new there.
  void AddFingerprint(int machine, const Fingerprint& fingerprint);
  /// Counts `program` once more as the machine's busiest other program.
  void CountBusiest(int machine, const std::string& program);

  /// The machine of that name (control bytes shown as "?"), added at the end when it
  /// is new.
  int MachineNamed(const std::string& name, NamedBy namedBy);
  /// The cell, made when it is new.
  Cell& CellOf(int machine, bool official, int test);
  /// The cell, or null when there is none.
  const Cell* FindCell(int machine, bool official, int test) const;
};
