// For the POSIX tests of fatal paths: runs one test of this test binary again in a
// child process, through the shell, so that FatalError really pauses, waits for a
// key and ends the process. Standard input is the null device, so the key wait
// returns at once; a file size limit stands in for a disk that fills up.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

struct ChildRun {
  int exitCode = -1;
  std::string output;  ///< standard output and standard error together
};

/// Runs `testName` ("Suite.DISABLED_Name") of this binary with `directory` as its
/// current directory. With `fileSizeBlocks` of 0 or more, every write beyond that
/// many 512-byte blocks of a file fails (EFBIG), as on a full disk.
inline ChildRun RunTestInChild(const std::filesystem::path& directory, const std::string& testName,
                               int fileSizeBlocks = -1) {
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  const std::string output = directory.string() + ".child-output";
  const std::string status = directory.string() + ".child-status";
  const std::string limit =
      fileSizeBlocks >= 0 ? "ulimit -f " + std::to_string(fileSizeBlocks) + "; " : "";
  // Ignoring SIGXFSZ turns a write beyond the limit into a failing write. The output
  // goes through a pipe, which the limit does not reach.
  const std::string command = "cd '" + directory.string() + "' && { (trap '' XFSZ; " + limit +
                              "exec '" + self.string() + "' --gtest_filter=" + testName +
                              " --gtest_also_run_disabled_tests) </dev/null 2>&1; echo $? >'" +
                              status + "'; } | cat >'" + output + "'";
  ChildRun run;
  if (std::system(command.c_str()) == -1) return run;
  std::ifstream(status) >> run.exitCode;
  std::ifstream out(output, std::ios::binary);
  run.output.assign(std::istreambuf_iterator<char>(out), std::istreambuf_iterator<char>());
  std::error_code ignored;
  std::filesystem::remove(output, ignored);
  std::filesystem::remove(status, ignored);
  return run;
}
