// The command interpreter of a simulated POSIX machine (COMSPEC): "/c" and one command,
// with the built-ins "copy", "rd", "net stop" and "echo", output redirection, and any
// other program started with the rest of the line as its argument text. Every command
// text is recorded with the current directory in the machine's command log.
#pragma once

#include <string>
#include <string_view>
#include <vector>

/// One command as the interpreter understood it.
struct InterpreterCommand {
  enum class Kind { Nothing, Copy, RemoveDirectory, NetStop, Echo, Program };
  Kind kind = Kind::Nothing;
  /// The built-in's items without its switches: copy source and target, the directory
  /// to remove, the service to stop, the text to echo; for a program the command line.
  std::vector<std::string> operands;
  bool subdirectories = false;  ///< "rd /s"
  std::string outputTarget;     ///< where "> name" sends the output; empty for none
  bool appendOutput = false;    ///< ">>"
};

/// Reads the interpreter's argument text: switches up to "/c" (or "/k"), then the
/// command with its redirection. An argument text without "/c" gives Kind::Nothing.
/// False with the interpreter's message when the command cannot be read.
bool ParseInterpreterArguments(std::string_view arguments, InterpreterCommand& command,
                               std::string& error);

/// The interpreter stand-in: records the argument text in the command log, runs the
/// command and returns its exit status.
int RunInterpreter(const std::string& arguments);

/// The recording interpreter "cmdlog", for a machine whose commands a real interpreter
/// carries out (Wine's own cmd.exe): records the argument text in the command log as
/// RunInterpreter does, then runs the interpreter named by the machine's control
/// "interpreter" with the same argument text in the same directory, and returns its
/// exit status. That interpreter's standard error goes to "interpreter-errors.log" in
/// the machine folder, so the console of the program that started it shows only what
/// the program itself wrote, as with the interpreter stand-in.
int RunRecordingInterpreter(const std::string& arguments);
