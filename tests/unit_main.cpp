// The unit-test binary: GoogleTest, or one of the child roles that process tests start
// by running this same binary again.
//
//   tarsel_tests --child sleep <ms>              pauses, then ends with 0
//   tarsel_tests --child hold <path> <seconds>   opens the file for reading, creates
//       "<path>.ready", keeps the file open until "<path>.release" appears or the time
//       is up, then closes it and ends with 0 (2 when it could not open the file)
//   TARSEL_TEST_ECHO_ARGS=<file> tarsel_tests ...  writes its argument count and then
//       every argument, each on a line, to <file> and ends with 0
//   TARSEL_TEST_ECHO_COMMAND_ARGUMENTS=<file> tarsel_tests ...  after the platform
//       has started, writes CommandArgument(1), (2), ... up to the first empty one,
//       each on a line, to <file> and ends with 0 (the program's own view of its
//       command line)
//   TARSEL_TEST_MAKE_ARGUMENT_FILE=1 tarsel_tests <name>  after the platform has
//       started, creates the empty file named by CommandArgument(1) and ends with 0
//       (2 when it could not)
//
// The roles may also arrive as one argument ("--child sleep 500"), since a program
// started by RunProgram gets the whole argument text as argv[1].
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/io_result.h"
#include "platform/process.h"
#include "platform/startup.h"
#include "platform/text_file.h"

namespace {

bool Exists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

int EchoArguments(const char* path, int argc, char** argv) {
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return 2;
  std::fprintf(out, "%d\n", argc);
  for (int i = 0; i < argc; ++i) std::fprintf(out, "%s\n", argv[i]);
  std::fclose(out);
  return 0;
}

int EchoCommandArguments(const char* path) {
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return 2;
  for (int n = 1; !CommandArgument(n).empty(); ++n) {
    std::fprintf(out, "%s\n", CommandArgument(n).c_str());
  }
  std::fclose(out);
  return 0;
}

int MakeArgumentFile() {
  TextFile file;
  CreateText(file, CommandArgument(1));
  CloseText(file);
  return TakeIoResult() == 0 ? 0 : 2;
}

int HoldFile(const std::string& path, int seconds) {
  std::FILE* held = std::fopen(path.c_str(), "rb");
  if (held == nullptr) return 2;
  std::FILE* ready = std::fopen((path + ".ready").c_str(), "wb");
  if (ready != nullptr) std::fclose(ready);
  const std::string release = path + ".release";
  for (int waited = 0; waited < seconds * 100 && !Exists(release); ++waited) Pause(10);
  std::fclose(held);
  return 0;
}

int RunChild(int argc, char** argv) {
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    size_t start = 0;
    while (start < argument.size()) {
      const size_t blank = argument.find(' ', start);
      const size_t end = blank == std::string::npos ? argument.size() : blank;
      if (end > start) words.push_back(argument.substr(start, end - start));
      start = end + 1;
    }
  }
  if (words.size() == 3 && words[1] == "sleep") {
    Pause(std::atoi(words[2].c_str()));
    return 0;
  }
  if (words.size() == 4 && words[1] == "hold")
    return HoldFile(words[2], std::atoi(words[3].c_str()));
  std::fprintf(stderr, "unknown child role\n");
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* echo = std::getenv("TARSEL_TEST_ECHO_ARGS")) {
    return EchoArguments(echo, argc, argv);
  }
  if (argc >= 2 && std::string(argv[1]).rfind("--child", 0) == 0) return RunChild(argc, argv);
  // The tests run under the same process setup as the program itself.
  if (!StartPlatform(argc, argv)) return 1;
  if (const char* echo = std::getenv("TARSEL_TEST_ECHO_COMMAND_ARGUMENTS")) {
    return EchoCommandArguments(echo);
  }
  if (std::getenv("TARSEL_TEST_MAKE_ARGUMENT_FILE") != nullptr) return MakeArgumentFile();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
