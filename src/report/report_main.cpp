// The entry of tarsel-report: the platform takes over the process, then the report runs.
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/startup.h"
#include "report/report_run.h"

int main(int argc, char** argv) {
  if (!StartPlatform(argc, argv)) return 1;
  std::vector<std::string> arguments;
  for (int n = 1;; ++n) {
    const ShortText argument = CommandArgument(n);
    if (argument.empty()) break;
    arguments.emplace_back(argument.view());
  }
  return RunReport(arguments);
}
