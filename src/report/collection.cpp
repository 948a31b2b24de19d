// What the report gathers from its inputs.
#include "report/collection.h"

#include "platform/text_hash.h"
#include "report/output_buffer.h"

int Collection::MachineNamed(const std::string& givenName, NamedBy namedBy) {
  const std::string name = Printable(givenName);
  if (const int found = FindMachine(name); found >= 0) return found;
  machineByName.Add(HashBytes(name), static_cast<int32_t>(machines.size()));
  Machine machine;
  machine.name = name;
  machine.namedBy = namedBy;
  for (auto& section : machine.cell) section.fill(-1);
  machines.push_back(std::move(machine));
  return static_cast<int>(machines.size()) - 1;
}

Cell& Collection::CellOf(int machine, bool official, int test) {
  int32_t& index = machines[machine].cell[official ? 1 : 0][test];
  if (index < 0) {
    index = static_cast<int32_t>(cells.size());
    cells.emplace_back();
  }
  return cells[index];
}

const Cell* Collection::FindCell(int machine, bool official, int test) const {
  const int32_t index = machines[machine].cell[official ? 1 : 0][test];
  return index < 0 ? nullptr : &cells[index];
}

int Collection::FindMachine(const std::string& name) const {
  return machineByName.Find(HashBytes(name), [&](int32_t m) { return machines[m].name == name; });
}

int Collection::FindMachineByPrefix(const std::string& givenPrefix) const {
  const std::string prefix = Printable(givenPrefix);
  if (const int exact = FindMachine(prefix); exact >= 0) return exact;
  int found = -1;
  for (size_t m = 0; m < machines.size(); ++m) {
    if (machines[m].name.compare(0, prefix.size(), prefix) != 0) continue;
    if (found >= 0) return -1;
    found = static_cast<int>(m);
  }
  return found;
}

void Collection::AddFingerprint(int machine, const Fingerprint& fingerprint) {
  auto& known = machines[machine].fingerprints;
  for (const Fingerprint& seen : known) {
    if (seen.id == fingerprint.id) return;
  }
  known.push_back({fingerprint.id, Printable(fingerprint.figures)});
}

void Collection::CountBusiest(int machine, const std::string& givenProgram) {
  const std::string program = Printable(givenProgram);
  auto& busiest = machines[machine].busiest;
  for (auto& [name, count] : busiest) {
    if (name == program) {
      ++count;
      return;
    }
  }
  busiest.emplace_back(program, 1);
}
