// What the report gathers from its inputs.
#include "report/collection.h"

#include "platform/text_hash.h"

int Collection::MachineNamed(const std::string& name, NamedBy namedBy) {
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

void Collection::CountBusiest(int machine, const std::string& program) {
  auto& busiest = machines[machine].busiest;
  for (auto& [name, count] : busiest) {
    if (name == program) {
      ++count;
      return;
    }
  }
  busiest.emplace_back(program, 1);
}
