// The Windows console: key events that count, output to a redirected standard output,
// and, when the tests run in a real console, drawing, clearing and the key wait.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/console.h"
#include "platform/io_result.h"
#include "platform/win32/backend_win32.h"
#include "platform/win32/test_support_win32.h"

namespace {

KEY_EVENT_RECORD Key(bool down, WORD virtualKey, char character) {
  KEY_EVENT_RECORD key = {};
  key.bKeyDown = down;
  key.wRepeatCount = 1;
  key.wVirtualKeyCode = virtualKey;
  key.uChar.AsciiChar = character;
  return key;
}

TEST(ConsoleKeysWin32, OnlyKeysGoingDownThatYieldACharacterOrMoveOrEditCount) {
  struct {
    KEY_EVENT_RECORD key;
    bool counts;
  } const cases[] = {
      {Key(true, 'A', 'a'), true},       {Key(false, 'A', 'a'), false},
      {Key(true, VK_RETURN, 13), true},  {Key(true, VK_ESCAPE, 27), true},
      {Key(true, VK_SPACE, ' '), true},  {Key(true, VK_F1, 0), true},
      {Key(true, VK_F12, 0), true},      {Key(true, VK_LEFT, 0), true},
      {Key(true, VK_DOWN, 0), true},     {Key(true, VK_HOME, 0), true},
      {Key(true, VK_NEXT, 0), true},     {Key(true, VK_INSERT, 0), true},
      {Key(true, VK_DELETE, 0), true},   {Key(false, VK_F1, 0), false},
      {Key(true, VK_SHIFT, 0), false},   {Key(true, VK_CONTROL, 0), false},
      {Key(true, VK_MENU, 0), false},    {Key(true, VK_CAPITAL, 0), false},
      {Key(true, VK_NUMLOCK, 0), false}, {Key(true, VK_LWIN, 0), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.key.wVirtualKeyCode) + (c.key.bKeyDown ? " down" : " up"));
    EXPECT_EQ(KeyPressCounts(c.key), c.counts);
  }
}

// Points standard output or input at a file for the life of the object.
class RedirectedWin32 {
 public:
  RedirectedWin32(DWORD which, const std::string& path, DWORD disposition) : which_(which) {
    saved_ = GetStdHandle(which);
    file_ =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    SetStdHandle(which, file_);
  }
  ~RedirectedWin32() {
    SetStdHandle(which_, saved_);
    CloseHandle(file_);
  }
  RedirectedWin32(const RedirectedWin32&) = delete;
  RedirectedWin32& operator=(const RedirectedWin32&) = delete;

  HANDLE file() const { return file_; }

 private:
  DWORD which_;
  HANDLE saved_;
  HANDLE file_;
};

TEST(ConsoleRedirectedWin32, BytesGoOutUnchangedWithCrLfLineEnds) {
  TestFolderWin32 folder;
  const std::string path = folder / "out.txt";
  {
    RedirectedWin32 out(STD_OUTPUT_HANDLE, path, CREATE_ALWAYS);
    ConsoleWrite("Tarsel ");
    ConsoleWriteLine("v2.0\tRC3");
    ClearConsole();
    ConsoleWriteLine();
    ConsoleWrite("a\nb\r\x07\x08\xff");
    ConsoleWriteLine(ShortText(std::string(255, 'x')));
  }
  EXPECT_EQ(ReadWholeFile(path),
            "Tarsel v2.0\tRC3\r\n\r\na\nb\r\x07\x08\xff" + std::string(255, 'x') + "\r\n");
}

TEST(ConsoleRedirectedWin32, NothingIsWrittenWhileAFailureIsPending) {
  TestFolderWin32 folder;
  const std::string path = folder / "out.txt";
  {
    RedirectedWin32 out(STD_OUTPUT_HANDLE, path, CREATE_ALWAYS);
    ConsoleWrite("before ");
    SetIoResult(kIoFileNotFound);
    ConsoleWrite("lost");
    ConsoleWriteLine("lost");
    EXPECT_EQ(TakeIoResult(), kIoFileNotFound);
    ConsoleWriteLine("after");
  }
  EXPECT_EQ(ReadWholeFile(path), "before after\r\n");
}

TEST(ConsoleRedirectedWin32, KeyWaitTakesOneByteOfRedirectedInput) {
  TestFolderWin32 folder;
  const std::string path = folder / "in.txt";
  WriteWholeFile(path, "xy");
  RedirectedWin32 in(STD_INPUT_HANDLE, path, OPEN_EXISTING);
  WaitForKey();
  EXPECT_EQ(SetFilePointer(in.file(), 0, nullptr, FILE_CURRENT), 1u);
  WaitForKey();
  WaitForKey();  // at the end of the input: returns at once
  EXPECT_EQ(SetFilePointer(in.file(), 0, nullptr, FILE_CURRENT), 2u);
}

TEST(ConsoleRedirectedWin32, KeyWaitWithoutAnyInputReturnsAtOnce) {
  const HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
  SetStdHandle(STD_INPUT_HANDLE, nullptr);
  WaitForKey();
  SetStdHandle(STD_INPUT_HANDLE, INVALID_HANDLE_VALUE);
  WaitForKey();
  SetStdHandle(STD_INPUT_HANDLE, saved);
}

// The rest needs a real console (scripts/test-windows.sh runs these tests in one).
class ConsoleDrawingWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    out_ = GetStdHandle(STD_OUTPUT_HANDLE);
    in_ = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleMode(out_, &mode) || !GetConsoleMode(in_, &mode) ||
        !GetConsoleScreenBufferInfo(out_, &info)) {
      GTEST_SKIP() << "standard output and input are not a console";
    }
    width_ = info.dwSize.X;
    height_ = std::min<int>(info.dwSize.Y, 234);
    if (width_ < 10 || width_ > 200 || height_ < 4) GTEST_SKIP() << "console of an odd size";
    ClearConsole();
  }

  std::string Line(int y) {
    std::string text(static_cast<size_t>(width_), '?');
    DWORD read = 0;
    const COORD at = {0, static_cast<SHORT>(y)};
    ReadConsoleOutputCharacterA(out_, &text[0], static_cast<DWORD>(width_), at, &read);
    text.resize(read);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }

  COORD Cursor() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    GetConsoleScreenBufferInfo(out_, &info);
    return info.dwCursorPosition;
  }

  HANDLE out_ = nullptr;
  HANDLE in_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

TEST_F(ConsoleDrawingWin32, ClearBlanksTheWindowInLightGreyAndHomesTheCursor) {
  ConsoleWriteLine("something");
  ConsoleWrite("more");
  ClearConsole();
  EXPECT_EQ(Line(0), "");
  EXPECT_EQ(Line(1), "");
  EXPECT_EQ(Cursor().X, 0);
  EXPECT_EQ(Cursor().Y, 0);
  WORD attribute = 0;
  DWORD read = 0;
  const COORD corner = {static_cast<SHORT>(width_ - 1), static_cast<SHORT>(height_ - 1)};
  ReadConsoleOutputAttribute(out_, &attribute, 1, corner, &read);
  EXPECT_EQ(attribute, FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE);
}

TEST_F(ConsoleDrawingWin32, TextIsDrawnAtTheCursorAndLinesEndWithCrLf) {
  ConsoleWrite("Tarsel ");
  ConsoleWriteLine("v2.0 RC3");
  ConsoleWrite("next");
  EXPECT_EQ(Line(0), "Tarsel v2.0 RC3");
  EXPECT_EQ(Line(1), "next");
  EXPECT_EQ(Cursor().X, 4);
  EXPECT_EQ(Cursor().Y, 1);
}

TEST_F(ConsoleDrawingWin32, ControlCharactersMoveTheCursor) {
  // Line feed keeps the column, carriage return goes to the left edge, backspace
  // never passes it, and the bell draws nothing.
  ConsoleWrite("ab\ncd\rX\x08\x08\x08Y\x07Z");
  EXPECT_EQ(Line(0), "ab");
  EXPECT_EQ(Line(1), "YZcd");
  EXPECT_EQ(Cursor().X, 2);
  EXPECT_EQ(Cursor().Y, 1);
}

TEST_F(ConsoleDrawingWin32, TextReachingTheRightEdgeContinuesOnTheNextLine) {
  ConsoleWrite(ShortText(std::string(static_cast<size_t>(width_) + 3, 'w') + "!"));
  EXPECT_EQ(Line(0), std::string(static_cast<size_t>(width_), 'w'));
  EXPECT_EQ(Line(1), "www!");
  EXPECT_EQ(Cursor().X, 4);
}

TEST_F(ConsoleDrawingWin32, LineFeedOnTheBottomLineScrollsTheWindowUp) {
  for (int line = 0; line < height_; ++line)
    ConsoleWriteLine(ShortText("line " + std::to_string(line)));
  ConsoleWrite("last");
  // One line went off the top; the bottom line is the new one.
  EXPECT_EQ(Line(0), "line 1");
  EXPECT_EQ(Line(height_ - 2), "line " + std::to_string(height_ - 1));
  EXPECT_EQ(Line(height_ - 1), "last");
  EXPECT_EQ(Cursor().Y, height_ - 1);
}

INPUT_RECORD KeyEvent(bool down, WORD virtualKey, char character) {
  INPUT_RECORD event = {};
  event.EventType = KEY_EVENT;
  event.Event.KeyEvent = Key(down, virtualKey, character);
  return event;
}

TEST_F(ConsoleDrawingWin32, KeyWaitSkipsReleasesAndShiftAndTakesOneKey) {
  FlushConsoleInputBuffer(in_);
  // Queued before the wait, as a key pressed earlier in the run would be.
  const INPUT_RECORD events[] = {KeyEvent(true, VK_SHIFT, 0), KeyEvent(false, 'Q', 'q'),
                                 KeyEvent(true, VK_F5, 0), KeyEvent(true, 'Y', 'y')};
  DWORD written = 0;
  ASSERT_TRUE(WriteConsoleInputA(in_, events, 4, &written));
  ASSERT_EQ(written, 4u);
  WaitForKey();
  // Shift and the release went by unnoticed, F5 ended the wait and "y" waits its turn
  // (the terminal may queue events of its own behind it).
  INPUT_RECORD next[16];
  DWORD queued = 0;
  ASSERT_TRUE(PeekConsoleInputA(in_, next, 16, &queued));
  ASSERT_GE(queued, 1u);
  EXPECT_EQ(next[0].EventType, KEY_EVENT);
  EXPECT_EQ(next[0].Event.KeyEvent.uChar.AsciiChar, 'y');
  WaitForKey();
  ASSERT_TRUE(PeekConsoleInputA(in_, next, 16, &queued));
  for (DWORD i = 0; i < queued; ++i) {
    EXPECT_FALSE(next[i].EventType == KEY_EVENT && next[i].Event.KeyEvent.uChar.AsciiChar == 'y');
  }
}

}  // namespace
