#include "platform/console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/io_result.h"

namespace {

// Points a standard descriptor somewhere else for the test's lifetime.
class Redirect {
 public:
  Redirect(int standard, int replacement) : standard_(standard), saved_(dup(standard)) {
    std::fflush(stdout);
    dup2(replacement, standard);
  }
  ~Redirect() {
    dup2(saved_, standard_);
    close(saved_);
  }

 private:
  int standard_;
  int saved_;
};

std::string Drain(int fd) {
  std::string bytes;
  char chunk[256];
  for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) bytes.append(chunk, got);
  return bytes;
}

// What the console functions wrote to standard output, taken through a pipe.
template <typename Action>
std::string ConsoleOutputOf(Action action) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "<no pipe>";
  {
    Redirect out(STDOUT_FILENO, pipeFds[1]);
    action();
  }
  close(pipeFds[1]);
  std::string bytes = Drain(pipeFds[0]);
  close(pipeFds[0]);
  return bytes;
}

TEST(Console, BytesGoOutUnchangedWithNewlineLineEnds) {
  const std::string shown = ConsoleOutputOf([] {
    ConsoleWrite("Checking... ");
    ConsoleWriteLine("all is OK");
    ConsoleWriteLine();
    ConsoleWrite(ShortText(std::string_view("\x01\xFF\r\0z", 5)));
    ConsoleWriteLine(ShortText(std::string(255, 'w')));
  });
  EXPECT_EQ(shown, std::string("Checking... all is OK\n\n\x01\xFF\r\0z", 28) +
                       std::string(255, 'w') + "\n");
}

TEST(Console, NothingWhileAFailureIsPending) {
  const std::string shown = ConsoleOutputOf([] {
    SetIoResult(kIoFileNotFound);
    ConsoleWrite("hidden");
    ConsoleWriteLine("hidden");
    TakeIoResult();
    ConsoleWriteLine("shown");
  });
  EXPECT_EQ(shown, "shown\n");
}

TEST(Console, ClearingWritesNothingWhenNotATerminal) {
  EXPECT_EQ(ConsoleOutputOf([] { ClearConsole(); }), "");
}

TEST(WaitForKey, TakesOneByteFromAPipeAndReturnsAtEndOfInput) {
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  ASSERT_EQ(write(input[1], "xy", 2), 2);
  close(input[1]);
  {
    Redirect in(STDIN_FILENO, input[0]);
    WaitForKey();
  }
  EXPECT_EQ(Drain(input[0]), "y");
  // The input is now at its end: the wait must come back at once.
  {
    Redirect in(STDIN_FILENO, input[0]);
    WaitForKey();
  }
  close(input[0]);
  const int nothing = open("/dev/null", O_RDONLY);
  Redirect in(STDIN_FILENO, nothing);
  WaitForKey();
  close(nothing);
}

TEST(WaitForKey, OnATerminalOneKeyWithoutEchoThenTheTerminalIsRestored) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  termios before;
  ASSERT_EQ(tcgetattr(terminal, &before), 0);
  ASSERT_NE(before.c_lflag & ECHO, 0u);

  // The keys arrive while the wait runs: a cursor key (three bytes, all of them the one
  // key), then "z". Should the wait still read whole lines, a line end comes later so
  // that the test ends all the same, only too late.
  std::thread typist([master] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(write(master, "\x1b[Az", 4), 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(write(master, "\n\n", 2), 2);
  });
  const auto start = std::chrono::steady_clock::now();
  {
    Redirect in(STDIN_FILENO, terminal);
    WaitForKey();
    WaitForKey();
  }
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_LT(waited, std::chrono::milliseconds(1200));
  termios after;
  ASSERT_EQ(tcgetattr(terminal, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  // Nothing of the two keys was echoed.
  fcntl(master, F_SETFL, O_NONBLOCK);
  char echoed[16];
  EXPECT_LE(read(master, echoed, sizeof echoed), 0);
  typist.join();
  close(terminal);
  close(master);
}

}  // namespace
