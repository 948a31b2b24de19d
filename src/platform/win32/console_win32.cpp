// Win32 backend: the console, drawn with WriteConsoleOutputA at the cursor, or plain
// bytes on standard output when that is not a console; key presses from the console
// input, or one byte of standard input when that is not a console.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "platform/console.h"
#include "platform/io_result.h"
#include "platform/win32/backend_win32.h"

namespace {

constexpr WORD kLightGreyOnBlack = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;
// The screen buffer is drawn as one window of at most this many lines.
constexpr SHORT kMostWindowLines = 234;

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// The drawing area and the cursor inside it.
struct Window {
  HANDLE out = nullptr;
  SHORT width = 0;
  SHORT height = 0;
  SHORT x = 0;
  SHORT y = 0;
};

bool ReadWindow(HANDLE out, Window& window) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(out, &info) || info.dwSize.X < 1 || info.dwSize.Y < 1) {
    return false;
  }
  window.out = out;
  window.width = info.dwSize.X;
  window.height = std::min(info.dwSize.Y, kMostWindowLines);
  // The cursor is read anew each time, so text that started programs printed in
  // between is continued rather than drawn over.
  window.x = std::min<SHORT>(info.dwCursorPosition.X, static_cast<SHORT>(window.width - 1));
  window.y = std::min<SHORT>(info.dwCursorPosition.Y, static_cast<SHORT>(window.height - 1));
  return true;
}

void LineFeed(Window& window) {
  if (window.y + 1 < window.height) {
    ++window.y;
    return;
  }
  // On the bottom line the whole window moves up by one line.
  SMALL_RECT moved = {0, 1, static_cast<SHORT>(window.width - 1),
                      static_cast<SHORT>(window.height - 1)};
  const COORD top = {0, 0};
  CHAR_INFO blank;
  blank.Char.AsciiChar = ' ';
  blank.Attributes = kLightGreyOnBlack;
  if (window.height > 1) {
    ScrollConsoleScreenBufferA(window.out, &moved, nullptr, top, &blank);
  } else {
    DWORD written = 0;
    FillConsoleOutputCharacterA(window.out, ' ', static_cast<DWORD>(window.width), top, &written);
  }
}

// Draws characters that all fit on the cursor's line from the cursor on.
void DrawRun(const Window& window, const char* text, int count) {
  if (count <= 0) return;
  CHAR_INFO cells[ShortText::kCapacity + 2];
  for (int i = 0; i < count; ++i) {
    cells[i].Char.AsciiChar = text[i];
    cells[i].Attributes = kLightGreyOnBlack;
  }
  const COORD size = {static_cast<SHORT>(count), 1};
  const COORD from = {0, 0};
  SMALL_RECT region = {window.x, window.y, static_cast<SHORT>(window.x + count - 1), window.y};
  WriteConsoleOutputA(window.out, cells, size, from, &region);
}

void DrawText(HANDLE out, const char* text, int length) {
  Window window;
  if (!ReadWindow(out, window)) return;
  int runStart = 0;
  int runLength = 0;
  auto flush = [&] {
    DrawRun(window, text + runStart, runLength);
    window.x = static_cast<SHORT>(window.x + runLength);
    runLength = 0;
  };
  for (int i = 0; i < length; ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n' || c == '\b' || c == '\a') {
      flush();
      if (c == '\r') window.x = 0;
      if (c == '\n') LineFeed(window);
      if (c == '\b' && window.x > 0) --window.x;
      if (c == '\a') MessageBeep(0xFFFFFFFF);
      continue;
    }
    if (runLength == 0) runStart = i;
    ++runLength;
    if (window.x + runLength == window.width) {
      // Text that reaches the right edge continues on the next line.
      flush();
      window.x = 0;
      LineFeed(window);
    }
  }
  flush();
  const COORD cursor = {window.x, window.y};
  SetConsoleCursorPosition(out, cursor);
}

void Show(const char* text, int length) {
  if (IoResultPending() || length <= 0) return;
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  if (IsConsole(out)) {
    DrawText(out, text, length);
    return;
  }
  // Written at once and unbuffered: nothing is held back when a program starts.
  DWORD written = 0;
  WriteFile(out, text, static_cast<DWORD>(length), &written, nullptr);
}

bool IsFunctionCursorOrEditingKey(WORD key) {
  return (key >= VK_F1 && key <= VK_F24) || (key >= VK_PRIOR && key <= VK_DOWN) ||
         key == VK_INSERT || key == VK_DELETE || key == VK_CLEAR;
}

}  // namespace

bool KeyPressCounts(const KEY_EVENT_RECORD& key) {
  if (!key.bKeyDown) return false;
  return key.uChar.AsciiChar != 0 || IsFunctionCursorOrEditingKey(key.wVirtualKeyCode);
}

void ConsoleWrite(const ShortText& text) {
  Show(text.c_str(), text.length());
}

void ConsoleWriteLine(const ShortText& text) {
  char line[ShortText::kCapacity + 2];
  std::memcpy(line, text.c_str(), static_cast<size_t>(text.length()));
  line[text.length()] = '\r';
  line[text.length() + 1] = '\n';
  Show(line, text.length() + 2);
}

void ClearConsole() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  Window window;
  if (!IsConsole(out) || !ReadWindow(out, window)) return;
  const COORD home = {0, 0};
  const DWORD cells = static_cast<DWORD>(window.width) * static_cast<DWORD>(window.height);
  DWORD written = 0;
  FillConsoleOutputCharacterA(out, ' ', cells, home, &written);
  FillConsoleOutputAttribute(out, kLightGreyOnBlack, cells, home, &written);
  SetConsoleCursorPosition(out, home);
}

void WaitForKey() {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (in == nullptr || in == INVALID_HANDLE_VALUE) return;
  if (!IsConsole(in)) {
    // Redirected input: one byte, and at its end (or on any failure) at once.
    char byte = 0;
    DWORD read = 0;
    ReadFile(in, &byte, 1, &read, nullptr);
    return;
  }
  // Earlier key presses still queued count: the input is not emptied first.
  for (;;) {
    if (WaitForSingleObject(in, INFINITE) != WAIT_OBJECT_0) return;
    INPUT_RECORD event;
    DWORD read = 0;
    if (!ReadConsoleInputA(in, &event, 1, &read)) return;
    if (read == 1 && event.EventType == KEY_EVENT && KeyPressCounts(event.Event.KeyEvent)) return;
  }
}
