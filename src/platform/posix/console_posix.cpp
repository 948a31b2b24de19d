// POSIX backend only: console text on standard output, the key wait on standard input.
#include <errno.h>
#include <signal.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include "platform/console.h"
#include "platform/io_result.h"

namespace {

// Writes every byte, unchanged and unbuffered, so that the text is out before any
// program starts or the process ends. A console that cannot be written to is not a
// file failure, so nothing is reported.
void WriteAll(const char* bytes, size_t count) {
  while (count > 0) {
    const ssize_t written = write(STDOUT_FILENO, bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes += written;
    count -= static_cast<size_t>(written);
  }
}

// The terminal as it was before the key wait, put back by the wait and also by a signal
// that ends the process during it (Ctrl-C must not leave the terminal without echo).
struct termios savedTerminal;
constexpr int kEndingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
struct sigaction savedActions[sizeof kEndingSignals / sizeof kEndingSignals[0]];

void RestoreTerminalAndDie(int signal) {
  tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  // Ends with the signal's own status, exactly as if nothing had caught it.
  struct sigaction standard = {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(signal, &standard, nullptr);
  raise(signal);
}

bool ReadByte(unsigned char& byte) {
  ssize_t got;
  do {
    got = read(STDIN_FILENO, &byte, 1);
  } while (got < 0 && errno == EINTR);
  return got == 1;
}

// Reads the rest of a key that sends several bytes (a cursor or function key's escape
// sequence, a UTF-8 character) so that it does not end the next wait as well. Only
// bytes that have already arrived are taken.
void TakeRestOfKey(unsigned char first) {
  struct termios polling;
  if (tcgetattr(STDIN_FILENO, &polling) != 0) return;
  polling.c_cc[VMIN] = 0;
  polling.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &polling) != 0) return;
  unsigned char byte;
  if (first == 0x1B) {
    if (!ReadByte(byte)) return;
    if (byte == 'O') {
      ReadByte(byte);
    } else if (byte == '[') {
      // Parameters and intermediates run up to a final byte from '@' to '~'.
      while (ReadByte(byte) && !(byte >= 0x40 && byte <= 0x7E)) {
      }
    }
  } else if (first >= 0xC0) {
    const int continuation = first >= 0xF0 ? 3 : (first >= 0xE0 ? 2 : 1);
    for (int i = 0; i < continuation && ReadByte(byte); ++i) {
    }
  }
}

}  // namespace

void ConsoleWrite(const ShortText& text) {
  if (IoResultPending()) return;
  WriteAll(text.c_str(), static_cast<size_t>(text.length()));
}

void ConsoleWriteLine(const ShortText& text) {
  if (IoResultPending()) return;
  // One write for the text and its line end, so they never come apart.
  char line[ShortText::kCapacity + 1];
  memcpy(line, text.c_str(), static_cast<size_t>(text.length()));
  line[text.length()] = '\n';
  WriteAll(line, static_cast<size_t>(text.length()) + 1);
}

void ClearConsole() {
  // Escape sequences mean something only to a terminal; a file or pipe gets nothing.
  if (isatty(STDOUT_FILENO)) WriteAll("\x1b[H\x1b[2J", 7);
}

void WaitForKey() {
  unsigned char byte;
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) {
    // Not a terminal: one byte, and end of input returns at once, so that a run with
    // its input closed never hangs.
    ReadByte(byte);
    return;
  }
  struct sigaction restoring = {};
  restoring.sa_handler = RestoreTerminalAndDie;
  sigemptyset(&restoring.sa_mask);
  for (size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i) {
    // A signal that is ignored or handled by someone else keeps its way.
    sigaction(kEndingSignals[i], nullptr, &savedActions[i]);
    if (!(savedActions[i].sa_flags & SA_SIGINFO) && savedActions[i].sa_handler == SIG_DFL) {
      sigaction(kEndingSignals[i], &restoring, nullptr);
    }
  }
  struct termios keyAtATime = savedTerminal;
  // No echo and no line editing, but ISIG stays: Ctrl-C still interrupts. The input is
  // not flushed: a key pressed earlier ends the wait at once.
  keyAtATime.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  keyAtATime.c_cc[VMIN] = 1;
  keyAtATime.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &keyAtATime) == 0) {
    if (ReadByte(byte)) TakeRestOfKey(byte);
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  }
  for (size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i) {
    sigaction(kEndingSignals[i], &savedActions[i], nullptr);
  }
}
