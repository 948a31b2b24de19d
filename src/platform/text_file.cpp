// Text files read and written as lines, and cutting a file back after a failed
// append: portable, over the backend's file handles.
#include "platform/text_file.h"

#include <algorithm>
#include <string_view>

#include "platform/file_handles.h"
#include "platform/io_result.h"

namespace {

constexpr char kCtrlZ = 26;
constexpr int kLongestLine = 255;
constexpr int kLongestToken = 32;

// Writes out what waits in the buffer; false when that failed (the code is set).
bool FlushBuffer(TextFile& file) {
  const int32_t count = file.bufferEnd;
  file.bufferStart = 0;
  file.bufferEnd = 0;
  if (count == 0) return true;
  const int32_t code = WriteThroughFaults(file.handle, file.buffer, count);
  if (code != 0) {
    SetIoResult(code);
    return false;
  }
  return true;
}

// Closes whatever the file has open, writing out its buffer first.
void CloseOpenFile(TextFile& file) {
  const bool writing = file.state == TextFileState::Writing;
  if (writing) FlushBuffer(file);
  const int32_t code = CloseThroughFaults(file.handle, writing);
  if (code != 0) SetIoResult(code);
  file.state = TextFileState::Closed;
  file.bufferStart = 0;
  file.bufferEnd = 0;
  file.fileExhausted = false;
}

// Starts a file afresh with a newly opened handle.
void Begin(TextFile& file, const ShortText& name, FileHandle handle, TextFileState state) {
  file.handle = handle;
  file.state = state;
  file.name = name;
  file.bufferStart = 0;
  file.bufferEnd = 0;
  file.fileExhausted = false;
}

// Opens the named file; a file that is still open is closed first so that its handle is
// never lost.
bool Open(TextFile& file, const ShortText& name, HandleMode mode, FileHandle& handle) {
  if (file.state != TextFileState::Closed) CloseOpenFile(file);
  file.name = name;
  const int32_t code = OpenHandle(name.view(), mode, handle);
  if (code != 0) {
    SetIoResult(code);
    return false;
  }
  return true;
}

// Whether a read may go ahead: nothing happens while a failure is pending, and a file
// that is not open for reading is a failure of its own.
bool MayRead(const TextFile& file) {
  if (IoResultPending()) return false;
  if (file.state != TextFileState::Reading) {
    SetIoResult(kIoFileNotOpen);
    return false;
  }
  return true;
}

bool MayWrite(const TextFile& file) {
  if (IoResultPending()) return false;
  if (file.state != TextFileState::Writing) {
    SetIoResult(kIoFileNotOpen);
    return false;
  }
  return true;
}

// The next byte without taking it; false at the end of the file or after a failed read.
bool Peek(TextFile& file, char& c) {
  if (file.bufferStart == file.bufferEnd) {
    if (file.fileExhausted || IoResultPending()) return false;
    int32_t got = 0;
    const int32_t code = ReadHandle(file.handle, file.buffer, TextFile::kBufferSize, got);
    file.bufferStart = 0;
    file.bufferEnd = 0;
    if (code != 0) {
      SetIoResult(code);
      return false;
    }
    if (got == 0) {
      file.fileExhausted = true;
      return false;
    }
    file.bufferEnd = got;
  }
  c = file.buffer[file.bufferStart];
  return true;
}

void Take(TextFile& file) {
  ++file.bufferStart;
}

// Moves past the end of the current line: up to and including a line feed, or a
// carriage return with a line feed right after it. A Ctrl-Z stays unread.
void SkipLineEnd(TextFile& file) {
  char c;
  while (Peek(file, c)) {
    if (c == kCtrlZ) return;
    Take(file);
    if (c == '\n') return;
    if (c == '\r') {
      if (Peek(file, c) && c == '\n') Take(file);
      return;
    }
  }
}

void PutBytes(TextFile& file, std::string_view bytes) {
  while (!bytes.empty()) {
    const size_t room = static_cast<size_t>(TextFile::kBufferSize - file.bufferEnd);
    const size_t taken = std::min(room, bytes.size());
    std::copy_n(bytes.data(), taken, file.buffer + file.bufferEnd);
    file.bufferEnd += static_cast<int>(taken);
    bytes.remove_prefix(taken);
    if (file.bufferEnd == TextFile::kBufferSize && !FlushBuffer(file)) return;
  }
}

}  // namespace

void OpenTextForReading(TextFile& file, const ShortText& name) {
  FileHandle handle = 0;
  if (Open(file, name, HandleMode::ReadShared, handle)) {
    Begin(file, name, handle, TextFileState::Reading);
  }
}

void CreateText(TextFile& file, const ShortText& name) {
  FileHandle handle = 0;
  if (Open(file, name, HandleMode::ReadWriteCreate, handle)) {
    Begin(file, name, handle, TextFileState::Writing);
  }
}

void OpenTextForAppend(TextFile& file, const ShortText& name) {
  FileHandle handle = 0;
  if (!Open(file, name, HandleMode::ReadWriteExisting, handle)) return;
  int64_t size = 0;
  int32_t code = HandleSize(handle, size);
  if (code == 0 && size > 0) {
    // An old editor's end-of-text mark among the last bytes would hide everything
    // written after it, so the file is cut at the first one.
    const int64_t from = std::max<int64_t>(0, size - TextFile::kBufferSize);
    char tail[TextFile::kBufferSize];
    int32_t have = 0;
    code = SeekHandle(handle, from);
    while (code == 0 && have < size - from) {
      int32_t got = 0;
      code = ReadHandle(handle, tail + have, static_cast<int32_t>(size - from) - have, got);
      if (got == 0) break;
      have += got;
    }
    const char* mark = std::find(tail, tail + have, kCtrlZ);
    if (code == 0 && mark != tail + have) {
      size = from + (mark - tail);
      code = SeekHandle(handle, size);
      if (code == 0) code = TruncateHandle(handle);
    }
  }
  if (code == 0) code = SeekHandle(handle, size);
  if (code != 0) {
    CloseHandleOf(handle);
    SetIoResult(code);
    return;
  }
  Begin(file, name, handle, TextFileState::Writing);
}

void OpenOrCreateTextForAppend(TextFile& file, const ShortText& name, bool& created) {
  created = false;
  FileHandle handle = 0;
  if (file.state != TextFileState::Closed) CloseOpenFile(file);
  file.name = name;
  int32_t code = OpenHandle(name.view(), HandleMode::ReadWriteExistingNoLink, handle);
  if (code == kIoFileNotFound || code == kIoPathNotFound) {
    created = true;
    code = OpenHandle(name.view(), HandleMode::ReadWriteNew, handle);
  }
  const bool opened = code == 0;
  int64_t size = 0;
  if (code == 0) code = HandleSize(handle, size);
  if (code == 0) code = SeekHandle(handle, size);
  if (code != 0) {
    if (opened) CloseHandleOf(handle);
    SetIoResult(code);
    return;
  }
  Begin(file, name, handle, TextFileState::Writing);
}

int32_t ReadBackText(TextFile& file, int64_t offset, char* bytes, int32_t count) {
  if (!MayWrite(file)) return -1;
  int64_t size = 0;
  int32_t code = HandleSize(file.handle, size);
  if (code == 0) code = SeekHandle(file.handle, offset);
  int32_t have = 0;
  while (code == 0 && have < count) {
    int32_t got = 0;
    code = ReadHandle(file.handle, bytes + have, count - have, got);
    if (got == 0) break;
    have += got;
  }
  if (code == 0) code = SeekHandle(file.handle, size);
  if (code != 0) {
    SetIoResult(code);
    return -1;
  }
  return have;
}

ShortText ReadLine(TextFile& file) {
  if (!MayRead(file)) return ShortText();
  char line[kLongestLine];
  int kept = 0;
  char c;
  // Carriage returns are dropped but still count toward the characters looked at.
  for (int looked = 0; looked < kLongestLine && Peek(file, c); ++looked) {
    if (c == '\n' || c == kCtrlZ) break;
    Take(file);
    if (c != '\r') line[kept++] = c;
  }
  SkipLineEnd(file);
  // A read that failed half-way gives an empty line, like every read during a failure.
  if (IoResultPending()) return ShortText();
  return ShortText(std::string_view(line, static_cast<size_t>(kept)));
}

int32_t ReadNumberLine(TextFile& file) {
  if (!MayRead(file)) return 0;
  char c;
  while (Peek(file, c) && c != kCtrlZ && static_cast<unsigned char>(c) <= 32) Take(file);
  char token[kLongestToken];
  int length = 0;
  while (length < kLongestToken && Peek(file, c) && static_cast<unsigned char>(c) > 32) {
    token[length++] = c;
    Take(file);
  }
  SkipLineEnd(file);
  if (length == 0 || IoResultPending()) return 0;
  const ParsedNumber parsed =
      TextToNumber(ShortText(std::string_view(token, static_cast<size_t>(length))));
  if (parsed.position != 0) {
    SetIoResult(kIoBadNumber);
    return 0;
  }
  return parsed.value;
}

bool AtEndOfText(TextFile& file) {
  if (IoResultPending() || file.state != TextFileState::Reading) return true;
  char c;
  return !Peek(file, c) || c == kCtrlZ;
}

void WriteText(TextFile& file, const ShortText& text) {
  if (!MayWrite(file)) return;
  PutBytes(file, text.view());
}

void WriteLine(TextFile& file, const ShortText& text) {
  if (!MayWrite(file)) return;
  PutBytes(file, text.view());
  // A failure while writing the text leaves the code pending; the line end then waits.
  if (!IoResultPending()) PutBytes(file, "\r\n");
}

void CloseText(TextFile& file) {
  if (file.state == TextFileState::Closed) {
    SetIoResult(kIoFileNotOpen);
    return;
  }
  CloseOpenFile(file);
}

int64_t TextFileLength(TextFile& file) {
  if (file.state != TextFileState::Writing) {
    SetIoResult(kIoFileNotOpen);
    return -1;
  }
  int64_t size = 0;
  const int32_t code = HandleSize(file.handle, size);
  if (code != 0) {
    SetIoResult(code);
    return -1;
  }
  return size;
}

void CutFile(const ShortText& name, int64_t length) {
  FileHandle handle = 0;
  int32_t code = OpenHandle(name.view(), HandleMode::ReadWriteExisting, handle);
  if (code != 0) {
    SetIoResult(code);
    return;
  }
  int64_t size = 0;
  code = HandleSize(handle, size);
  // Never lengthened: a file that another writer already cut must not grow zeros.
  if (code == 0 && length >= 0 && size > length) {
    code = SeekHandle(handle, length);
    if (code == 0) code = TruncateHandle(handle);
  }
  const int32_t closed = CloseHandleOf(handle);
  if (code == 0) code = closed;
  if (code != 0) SetIoResult(code);
}

void TakeBackAppend(TextFile& file, const ShortText& name, int64_t length) {
  if (file.state != TextFileState::Closed) CloseText(file);
  TakeIoResult();
  if (length >= 0) CutFile(name, length);
  TakeIoResult();
}
