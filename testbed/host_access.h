// Host services the stand-ins need beyond the platform layer's public operations:
// host paths for Windows path texts, standard output redirection, measured runs,
// background holders of files, and the few file-system calls the platform does not
// offer. Backends: host_access_posix.cpp and host_access_win32.cpp.
#pragma once

#include <string>
#include <string_view>

#include "registry_file.h"

/// The host path of a Windows path text, mapped exactly as the program's platform layer
/// maps it (on Windows the text itself). Empty when its drive does not exist.
std::string HostPath(std::string_view windowsPath);

/// The current directory as a Windows path ("D:\", "D:\Tarsel"); empty when unknown.
std::string CurrentWindowsDirectoryText();

/// The host path of the null device.
std::string NullDevicePath();

/// The host path of the running executable.
std::string OwnExecutablePath();

/// The name the program was started as (the Windows path text it was given, or the
/// module's file name) and its argument text, read with the Windows rules.
void ReadOwnCommandLine(int argc, char** argv, std::string& name, std::string& arguments);

/// Sends standard output to a host file (created or emptied, or appended to) until
/// RestoreStandardOutput; programs started meanwhile inherit it. False when the file
/// cannot be opened; then nothing changed.
bool RedirectStandardOutput(const std::string& hostPath, bool append, int& saved);
void RestoreStandardOutput(int saved);

/// Writes the bytes to standard output as they are: no line end is translated, as a
/// Windows program's text-mode output would. False when not all were written.
bool WriteStandardOutputBytes(std::string_view bytes);

/// CPU time used, in seconds.
struct CpuTimes {
  double user = 0;
  double kernel = 0;
};

/// The CPU time this process has used so far, all its threads together.
CpuTimes OwnCpuTimes();

/// Starts a program (a Windows path) with an argument text, waits for it, and reports
/// the CPU time of it and of every process it started and waited for, and the wall
/// time from just before the start to just after the end. False when it could not be
/// started.
bool RunAndMeasure(const std::string& program, const std::string& arguments, CpuTimes& used,
                   double& wallSeconds);

/// Starts a program (a Windows path) with an argument text, waits for it and gives its
/// exit status. False when it could not be started.
bool RunAndWaitForStatus(const std::string& program, const std::string& arguments, int& status);

/// Sets a variable of this process's environment, which started programs inherit.
bool SetEnvironmentValue(const std::string& name, const std::string& value);

/// Removes a variable from this process's environment, so started programs lack it.
bool RemoveEnvironmentValue(const std::string& name);

/// Sends standard error, this process's and that of every program it starts from now
/// on, to the end of a host file (created when missing). False when the file cannot
/// be opened; then nothing changed.
bool AppendStandardErrorTo(const std::string& hostPath);

/// Adds this process's own CPU time to the report of a timing tool that measures it,
/// where the system cannot tell one process the CPU time of another (Windows under
/// Wine). Called by every stand-in as it ends; does nothing on POSIX.
void ReportOwnCpuTime();

/// Gives the target the execute permission of the source (POSIX); true on Windows.
bool CopyExecutePermission(const std::string& sourceHost, const std::string& targetHost);

/// Marks a host file executable (POSIX); true on Windows.
bool MarkExecutable(const std::string& hostPath);

bool IsHostDirectory(const std::string& hostPath);
bool IsHostFile(const std::string& hostPath);

/// Creates a host directory and its missing parents; true when it exists afterwards.
bool MakeHostDirectories(const std::string& hostPath);

/// Removes a host directory with everything in it; false when anything stayed.
bool RemoveHostTree(const std::string& hostPath);

/// Writes every file system's cached data to its disk.
void FlushFileSystems();

/// The machine file whose appearance ends every hold: the harness writes it when a
/// held file has served its purpose.
inline constexpr char kHoldsReleaseFile[] = "holds.release";

/// Keeps the host file open from a background process after the caller ends, until the
/// machine's kHoldsReleaseFile exists or, at the latest, for the given time; the file is
/// already held when this returns. False when it could not be opened or no process
/// started.
bool HoldOpenInBackground(const std::string& hostPath, int milliseconds);

/// True after this process served as such a background holder: the argument text of a
/// holder started by HoldOpenInBackground is answered here (Windows); false for any
/// other argument text, and always on POSIX, where the holder is a fork.
bool ServeAsHolder(const std::string& arguments);

int OwnProcessId();

/// Starts a host program with an argument text outside this process's family, and does
/// not wait: on POSIX in a process group of its own, adopted by init; on Windows through a
/// middle process that ends at once, so that no chain of parents leads back here. The
/// program is not the caller's child, nor in its process group, and inherits none of its
/// open files (its standard streams are the null device), so that it holds none of the
/// files the caller's output went to. False when it could not be started.
bool StartDetached(const std::string& hostProgram, const std::string& arguments);

/// True after this process served as the middle process of StartDetached (Windows);
/// false for any other argument text, and always on POSIX.
bool ServeAsDetacher(const std::string& arguments);

/// The number of processors the system runs programs on.
int ProcessorCount();

/// Runs `work` on a new thread of this process; false when none could be made.
bool StartThread(void (*work)());

/// Ends the process of this id when it is a stand-in started in `role` (so that a
/// stale id of another program is never ended); true when it was ended.
bool EndStandInProcess(int processId, std::string_view role);

/// A file of the machine's own folder (TARSEL_TESTBED): the interpreter's command log,
/// the event log, the registry of a POSIX machine, the controls. Empty when the
/// variable is not set.
std::string MachineFile(std::string_view name);

/// The values of one registry key: the machine's registry file on POSIX, the system
/// registry on Windows. False when the key does not exist.
bool LoadRegistryKey(std::string_view keyPath, RegistryContents& key);
