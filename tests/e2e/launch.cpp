// The choice between running the program natively and under Wine.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "launch.h"

Launcher ChosenLauncher() {
  const char* choice = std::getenv("TARSEL_E2E_LAUNCHER");
  const std::string name = choice == nullptr ? "" : choice;
  if (name.empty() || name == "posix") return Launcher::Native;
  if (name == "wine") return Launcher::Wine;
  std::fprintf(stderr, "TARSEL_E2E_LAUNCHER=%s: no such launcher (\"posix\" or \"wine\")\n",
               name.c_str());
  std::exit(2);
}

ProgramRun LaunchTarsel(const MachineLaunch& machine) {
  return ChosenLauncher() == Launcher::Wine ? LaunchUnderWine(machine) : LaunchNatively(machine);
}
