// Starting the program under test on a POSIX host: fork, exec, pipes for its
// output, the null device for its input. The program runs natively; its drives are
// the entries of TARSEL_DRIVES.
#include "launch.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

/// Reads what is available without blocking; false once the pipe is closed.
bool Drain(int fd, std::string& into) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) {
      into.append(buffer, static_cast<size_t>(got));
      continue;
    }
    if (got == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

int StatusToExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

ProgramRun RunHostProcess(const Launch& launch) {
  ProgramRun run;
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return run;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return run;
  }

  // Everything the child needs is prepared before the fork.
  const std::string program = launch.program.string();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : launch.arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& entry : launch.environment) {
    envp.push_back(const_cast<char*>(entry.c_str()));
  }
  envp.push_back(nullptr);
  const std::string directory = launch.directory.string();

  const auto started = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    // Its own process group, so that a timeout can end its children too. Ctrl-C must
    // reach it even when this binary was started with it ignored (a background job).
    setpgid(0, 0);
    signal(SIGINT, SIG_DFL);
    signal(SIGQUIT, SIG_DFL);
    rlimit files;
    if (launch.openFileLimit > 0 && getrlimit(RLIMIT_NOFILE, &files) == 0) {
      files.rlim_cur = static_cast<rlim_t>(launch.openFileLimit);
      if (setrlimit(RLIMIT_NOFILE, &files) != 0) _exit(125);
    }
    const int null = open("/dev/null", O_RDONLY);
    if (null < 0 || dup2(null, 0) < 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0 ||
        chdir(directory.c_str()) != 0) {
      _exit(126);
    }
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  if (pid < 0) {
    close(out[0]);
    close(err[0]);
    return run;
  }
  fcntl(out[0], F_SETFL, O_NONBLOCK);
  fcntl(err[0], F_SETFL, O_NONBLOCK);

  const auto deadline = started + launch.timeout;
  bool outOpen = true;
  bool errOpen = true;
  bool exited = false;
  bool interrupted = false;
  int status = 0;
  while (!exited) {
    pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
    poll(fds, 2, 50);
    const size_t before = run.console.size();
    if (outOpen) outOpen = Drain(out[0], run.console);
    if (errOpen) errOpen = Drain(err[0], run.errors);
    if (run.console.size() != before && launch.onOutput) launch.onOutput(run.console);
    if (!interrupted && !launch.interruptAt.empty() &&
        run.console.find(launch.interruptAt) != std::string::npos) {
      kill(-pid, SIGINT);
      interrupted = true;
    }
    // A child the program left running may hold the pipes open; the program's own
    // end is what counts.
    if (waitpid(pid, &status, WNOHANG) == pid) {
      exited = true;
      run.seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    } else if (std::chrono::steady_clock::now() > deadline) {
      run.timedOut = true;
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      exited = true;
      run.seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    }
  }
  if (outOpen) Drain(out[0], run.console);
  if (errOpen) Drain(err[0], run.errors);
  close(out[0]);
  close(err[0]);
  run.exitCode = StatusToExitCode(status);
  return run;
}

#ifndef TARSEL_PROGRAM
#error "TARSEL_PROGRAM must name the built program"
#endif

ProgramRun LaunchNatively(const MachineLaunch& machine) {
  Launch launch;
  launch.program = TARSEL_PROGRAM;
  launch.arguments = machine.arguments;
  launch.directory = machine.startDirectory;
  launch.onOutput = machine.onOutput;
  launch.interruptAt = machine.interruptAt;
  launch.openFileLimit = machine.openFileLimit;
  // The stand-in's own tools (cut, tr, rm) are found along PATH.
  launch.environment = {
      "TARSEL_DRIVES=" + machine.drivesFolder.string(),
      "TARSEL_COMMAND_LOG=" + machine.commandLog.string(),
      "PATH=/usr/bin:/bin",
  };
  for (const auto& [name, value] : machine.variables) {
    launch.environment.push_back(name + "=" + value);
  }
  if (!machine.jobBefore.empty()) {
    // sh -c SCRIPT sh JOB PROGRAM ARGUMENTS...: one shell, one process group for all.
    const std::string script = "\"$1\" & job=$!; shift; \"$@\"; status=$?; kill $job; exit $status";
    launch.arguments.insert(
        launch.arguments.begin(),
        {"-c", script, "sh", machine.jobBefore.string(), launch.program.string()});
    launch.program = "/bin/sh";
  }
  return RunHostProcess(launch);
}
