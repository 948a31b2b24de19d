// One executable for every outside program of the simulated machine: it acts as the
// program it was started as (the last part of its name, any case, ".exe" optional), or
// as a self-extracting test pack when a pack is appended to it. Run by its own name,
// the first item of the argument text names the program to act as.
#include <cstdio>
#include <string>

#include "automation.h"
#include "command_text.h"
#include "competitor.h"
#include "encoders.h"
#include "host_access.h"
#include "interpreter.h"
#include "self_extractor.h"
#include "small_tools.h"
#include "standin_files.h"
#include "timer_tool.h"

namespace {

int ActAs(const std::string& role, const std::string& name, const std::string& arguments) {
  if (role == "cmd") return RunInterpreter(arguments);
  if (role == "cmdlog") return RunRecordingInterpreter(arguments);
  if (role == "timer") return RunTimer(arguments);
  if (role == "vdubm") return RunVirtualDub(arguments);
  if (role == "mcmpgenc") return RunMainconcept(arguments);
  if (role == "procoder") return RunProCoder(name, arguments);
  if (role == "cctspt") return RunCinemaCraft(arguments);
  if (role == "nncron") return RunNnCron(arguments);
  if (role == "contig") return RunContig(arguments);
  if (role == "sync") return RunSync(arguments);
  if (role == "regedit") return RunRegistryEditor(arguments);
  if (role == "xcopy") return RunXcopy(arguments);
  if (role == "006") return RunProCoderHelper(arguments);
  if (role == "notepad") return RunTextEditor(arguments);
  if (role == "launch") return RunLauncher(arguments);
  if (IsCompetitorRole(role)) return RunCompetitor(arguments);
  std::fprintf(stderr,
               "%s: no such program on the simulated machine; acts as cmd, cmdlog, timer, "
               "vdubm, mcmpgenc, procoder, cctspt, nncron, contig, sync, regedit, xcopy, "
               "006, notepad or launch\n",
               name.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string name;
  std::string arguments;
  ReadOwnCommandLine(argc, argv, name, arguments);

  if (ServeAsHolder(arguments) || ServeAsDetacher(arguments)) return 0;

  std::string pack;
  if (ReadOwnPack(pack)) {
    RecordEvent("pack", arguments);
    const int status = RunSelfExtractor(pack, arguments);
    ReportOwnCpuTime();
    return status;
  }

  std::string role = ProgramRole(name);
  if (role.rfind("tarsel-standin", 0) == 0) {
    const std::string_view text = TrimBlanks(arguments);
    const size_t end = text.find(' ');
    role = LowerAscii(text.substr(0, end));
    name = role;
    arguments =
        end == std::string_view::npos ? std::string() : std::string(TrimBlanks(text.substr(end)));
  }
  // nnCron records its start itself, after its marker (automation.h).
  if (role != "nncron") RecordEvent(role, arguments);
  const int status = ActAs(role, name, arguments);
  std::fflush(stdout);
  ReportOwnCpuTime();
  return status;
}
