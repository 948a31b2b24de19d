// The command interpreter of a simulated POSIX machine: portable through the platform
// layer and host_access.h (the Windows machine runs the system's own interpreter).
#include "interpreter.h"

#include <cstdio>
#include <cstdlib>

#include "command_text.h"
#include "host_access.h"
#include "platform/directories.h"
#include "platform/process.h"
#include "standin_files.h"

namespace {

constexpr const char* kNotFound = "The system cannot find the file specified.";

bool IsSwitch(const std::string& item) {
  return item.size() >= 2 && item[0] == '/';
}

// The items of a built-in after its name, with the switches taken out.
std::vector<std::string> OperandsOf(std::string_view rest, std::vector<std::string>& switches) {
  std::vector<std::string> operands;
  for (const std::string& item : SplitArguments(rest)) {
    if (IsSwitch(item)) {
      switches.push_back(LowerAscii(item));
    } else {
      operands.push_back(item);
    }
  }
  return operands;
}

bool HasSwitch(const std::vector<std::string>& switches, const char* wanted) {
  for (const std::string& item : switches) {
    if (item == wanted) return true;
  }
  return false;
}

int Copy(const InterpreterCommand& command) {
  const std::string& source = command.operands[0];
  const std::string sourceHost = HostPath(source);
  if (!IsHostFile(sourceHost)) {
    std::printf("%s\n        0 file(s) copied.\n", kNotFound);
    return 1;
  }
  std::string target = command.operands.size() > 1 ? command.operands[1] : std::string(".");
  bool copied;
  if (IsNullDeviceName(target)) {
    copied = ReadThroughHostFile(sourceHost);
  } else {
    std::string targetHost = HostPath(target);
    if (IsHostDirectory(targetHost))
      targetHost = HostPath(JoinWindowsPath(target, BaseName(source)));
    copied = CopyHostFile(sourceHost, targetHost);
  }
  std::printf("        %d file(s) copied.\n", copied ? 1 : 0);
  return copied ? 0 : 1;
}

int RemoveDirectory(const InterpreterCommand& command) {
  int status = 0;
  for (const std::string& path : command.operands) {
    const std::string host = HostPath(path);
    if (!IsHostDirectory(host)) {
      std::printf("%s\n", kNotFound);
      status = 1;
      continue;
    }
    if (!command.subdirectories) {
      DirectorySearch search;
      DirectoryEntry entry;
      bool empty = true;
      for (int32_t code = FindFirstEntry(JoinWindowsPath(path, "*.*"), kEveryEntry, search, entry);
           code == 0; code = FindNextEntry(search, entry)) {
        if (entry.name != ShortText(".") && entry.name != ShortText("..")) empty = false;
      }
      EndSearch(search);
      if (!empty) {
        std::printf("The directory is not empty.\n");
        status = 1;
        continue;
      }
    }
    if (!RemoveHostTree(host)) {
      std::printf("Access is denied.\n");
      status = 1;
    }
  }
  return status;
}

int NetStop(const InterpreterCommand& command) {
  const std::string service = LowerAscii(command.operands[0]);
  if (service != "nncron") {
    std::printf("The service name is invalid.\n");
    return 2;
  }
  // The automation manager leaves its process id in the machine folder while it runs.
  std::string text;
  const std::string pidFile = MachineFile("nncron.pid");
  bool stopped = false;
  if (ReadHostFile(pidFile, text)) {
    stopped = EndStandInProcess(std::atoi(text.c_str()), "nncron");
    std::remove(pidFile.c_str());
  }
  if (!stopped) {
    std::printf(
        "The nnCron service is not started.\n\nMore help is available by typing NET HELPMSG "
        "3521.\n");
    return 2;
  }
  std::printf("The nnCron service is stopping.\nThe nnCron service was stopped successfully.\n");
  return 0;
}

int RunOtherProgram(const std::string& line) {
  const ProgramCall call =
      SplitProgramCall(line, [](const std::string& path) { return IsHostFile(HostPath(path)); });
  SetRunMode(RunMode::WaitForExit);
  if (RunProgram(ShortText(call.program), ShortText(call.arguments)) != 0) {
    std::fprintf(stderr,
                 "'%s' is not recognized as an internal or external command,\n"
                 "operable program or batch file.\n",
                 call.program.c_str());
    return 9009;
  }
  return 0;
}

}  // namespace

bool ParseInterpreterArguments(std::string_view arguments, InterpreterCommand& command,
                               std::string& error) {
  command = InterpreterCommand();
  std::string_view rest = TrimBlanks(arguments);
  // Switches come first; "/c" (or "/k") ends them and the rest of the line is the command.
  while (!rest.empty() && rest.front() == '/') {
    size_t end = 0;
    while (end < rest.size() && rest[end] > ' ') ++end;
    const std::string item = LowerAscii(rest.substr(0, end));
    rest = TrimBlanks(rest.substr(end));
    if (item == "/c" || item == "/k") {
      RedirectedCommand redirected;
      if (!SplitRedirection(rest, redirected)) {
        error = "The syntax of the command is incorrect.";
        return false;
      }
      command.outputTarget = redirected.target;
      command.appendOutput = redirected.append;
      const std::string& line = redirected.command;
      size_t nameEnd = 0;
      while (nameEnd < line.size() && line[nameEnd] > ' ' && line[nameEnd] != '/') ++nameEnd;
      const std::string name = LowerAscii(std::string_view(line).substr(0, nameEnd));
      const std::string_view after = std::string_view(line).substr(nameEnd);
      std::vector<std::string> switches;
      if (line.empty()) {
        command.kind = InterpreterCommand::Kind::Nothing;
      } else if (name == "copy") {
        command.kind = InterpreterCommand::Kind::Copy;
        command.operands = OperandsOf(after, switches);
        if (command.operands.empty() || command.operands.size() > 2) {
          error = "The syntax of the command is incorrect.";
          return false;
        }
      } else if (name == "rd" || name == "rmdir") {
        command.kind = InterpreterCommand::Kind::RemoveDirectory;
        command.operands = OperandsOf(after, switches);
        command.subdirectories = HasSwitch(switches, "/s");
        if (command.operands.empty()) {
          error = "The syntax of the command is incorrect.";
          return false;
        }
      } else if (name == "net") {
        command.operands = OperandsOf(after, switches);
        if (command.operands.size() != 2 || LowerAscii(command.operands[0]) != "stop") {
          error = "The syntax of this command is:\n\nNET STOP service";
          return false;
        }
        command.kind = InterpreterCommand::Kind::NetStop;
        command.operands.erase(command.operands.begin());
      } else if (name == "echo") {
        command.kind = InterpreterCommand::Kind::Echo;
        command.operands.push_back(std::string(TrimBlanks(after)));
      } else {
        command.kind = InterpreterCommand::Kind::Program;
        command.operands.push_back(line);
      }
      return true;
    }
  }
  return true;
}

int RunInterpreter(const std::string& arguments) {
  AppendHostLine(MachineFile("commands.log"), CurrentWindowsDirectoryText() + "\t" + arguments);
  InterpreterCommand command;
  std::string error;
  if (!ParseInterpreterArguments(arguments, command, error)) {
    std::printf("%s\n", error.c_str());
    return 1;
  }
  int saved = -1;
  if (!command.outputTarget.empty()) {
    const std::string host =
        IsNullDeviceName(command.outputTarget) ? NullDevicePath() : HostPath(command.outputTarget);
    if (host.empty() || !RedirectStandardOutput(host, command.appendOutput, saved)) {
      std::fprintf(stderr, "The system cannot find the path specified.\n");
      return 1;
    }
  }
  int status = 0;
  switch (command.kind) {
    case InterpreterCommand::Kind::Nothing:
      break;
    case InterpreterCommand::Kind::Copy:
      status = Copy(command);
      break;
    case InterpreterCommand::Kind::RemoveDirectory:
      status = RemoveDirectory(command);
      break;
    case InterpreterCommand::Kind::NetStop:
      status = NetStop(command);
      break;
    case InterpreterCommand::Kind::Echo:
      std::printf("%s\n", command.operands[0].c_str());
      break;
    case InterpreterCommand::Kind::Program:
      status = RunOtherProgram(command.operands[0]);
      break;
  }
  std::fflush(stdout);
  if (saved >= 0) RestoreStandardOutput(saved);
  return status;
}

int RunRecordingInterpreter(const std::string& arguments) {
  AppendHostLine(MachineFile("commands.log"), CurrentWindowsDirectoryText() + "\t" + arguments);
  const std::string interpreter = ReadControl("interpreter");
  if (interpreter.empty()) {
    std::fprintf(stderr, "cmdlog: no \"interpreter\" in the machine's controls.ini\n");
    return 1;
  }
  AppendStandardErrorTo(MachineFile("interpreter-errors.log"));
  int status = 1;
  if (!RunAndWaitForStatus(interpreter, arguments, status)) {
    std::fprintf(stderr, "cmdlog: cannot start \"%s\"\n", interpreter.c_str());
    return 1;
  }
  return status;
}
