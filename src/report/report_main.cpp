// The entry of tarsel-report: the platform takes over the process, then the report runs.
#include <string>
#include <utility>
#include <vector>

#include "platform/process.h"
#include "platform/startup.h"
#include "report/report_run.h"

int main(int argc, char** argv) {
  if (!StartPlatform(argc, argv)) return 1;
  std::vector<std::string> arguments;
  for (int n = 1;; ++n) {
    std::string argument = WholeCommandArgument(n);
    if (argument.empty()) break;
    arguments.push_back(std::move(argument));
  }
  return RunReport(arguments);
}
