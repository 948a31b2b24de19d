// The nnCron automation manager stand-in: "-runfile SCRIPT" runs an automation script
// (script_files.h) step by step in the current directory, where the marker file
// "nncron.out" is created and removed by the script's "marker" steps.
#pragma once

#include <string>

/// The marker file the automation scripts keep while they run.
constexpr const char* kMarkerFile = "nncron.out";

/// Runs the script named after "-runfile"; names in "wait-file" steps are taken from
/// the script's directory, removed when the script starts (a leftover of an earlier
/// run) and again once seen. The script's leading "marker create" is carried out before
/// anything else is written, this start's event record included. A wait that runs out
/// ends the script at once, as a crashed script would. While it runs, the process id is
/// kept in the machine folder's "nncron.pid" for "net stop nncron".
int RunNnCron(const std::string& arguments);
