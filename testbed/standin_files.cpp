// Files as the stand-ins use them: portable through the C library and host_access.h.
#include "standin_files.h"

#include <cstdio>

#include "command_text.h"
#include "host_access.h"
#include "platform/short_text.h"

namespace {

// Closes a C stream on every way out.
class StreamCloser {
 public:
  explicit StreamCloser(std::FILE* stream) : stream_(stream) {}
  ~StreamCloser() {
    if (stream_ != nullptr) std::fclose(stream_);
  }
  StreamCloser(const StreamCloser&) = delete;
  StreamCloser& operator=(const StreamCloser&) = delete;
  /// Closes now and reports whether everything written reached the file.
  bool Close() {
    std::FILE* stream = stream_;
    stream_ = nullptr;
    return std::fclose(stream) == 0;
  }

 private:
  std::FILE* stream_;
};

/// Hands every block of a host file, in order, to `take`; false when the path is a
/// directory or the file cannot be opened or read to its end.
template <typename TakeBlock>
bool ReadHostBlocks(const std::string& hostPath, TakeBlock take) {
  if (hostPath.empty() || IsHostDirectory(hostPath)) return false;
  std::FILE* stream = std::fopen(hostPath.c_str(), "rb");
  if (stream == nullptr) return false;
  StreamCloser closer(stream);
  char block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, stream)) > 0) take(block, got);
  return std::ferror(stream) == 0;
}

}  // namespace

bool ReadHostFile(const std::string& hostPath, std::string& contents) {
  contents.clear();
  return ReadHostBlocks(
      hostPath, [&contents](const char* block, size_t size) { contents.append(block, size); });
}

bool WriteHostFile(const std::string& hostPath, std::string_view contents) {
  if (hostPath.empty()) return false;
  std::FILE* stream = std::fopen(hostPath.c_str(), "wb");
  if (stream == nullptr) return false;
  StreamCloser closer(stream);
  if (!contents.empty() &&
      std::fwrite(contents.data(), 1, contents.size(), stream) != contents.size()) {
    return false;
  }
  return closer.Close();
}

bool WriteSparseHostFile(const std::string& hostPath, int64_t size, std::string_view head) {
  if (hostPath.empty() || size < 0) return false;
  std::FILE* stream = std::fopen(hostPath.c_str(), "wb");
  if (stream == nullptr) return false;
  StreamCloser closer(stream);
  if (static_cast<int64_t>(head.size()) > size) head = head.substr(0, static_cast<size_t>(size));
  if (!head.empty() && std::fwrite(head.data(), 1, head.size(), stream) != head.size())
    return false;
  if (size > static_cast<int64_t>(head.size())) {
    // Seeking past the end and writing the last byte leaves a hole before it.
    if (std::fseek(stream, static_cast<long>(size - 1), SEEK_SET) != 0) return false;
    if (std::fputc(0, stream) == EOF) return false;
  }
  return closer.Close();
}

bool CopyHostFile(const std::string& sourceHost, const std::string& targetHost) {
  if (sourceHost.empty() || targetHost.empty() || IsHostDirectory(sourceHost)) return false;
  std::FILE* in = std::fopen(sourceHost.c_str(), "rb");
  if (in == nullptr) return false;
  StreamCloser inCloser(in);
  std::FILE* out = std::fopen(targetHost.c_str(), "wb");
  if (out == nullptr) return false;
  StreamCloser outCloser(out);
  char block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, in)) > 0) {
    if (std::fwrite(block, 1, got, out) != got) return false;
  }
  if (std::ferror(in) != 0 || !outCloser.Close()) return false;
  return CopyExecutePermission(sourceHost, targetHost);
}

bool ReadThroughHostFile(const std::string& hostPath) {
  return ReadHostBlocks(hostPath, [](const char*, size_t) {});
}

bool AppendHostLine(const std::string& hostPath, std::string_view line) {
  if (hostPath.empty()) return false;
  std::FILE* stream = std::fopen(hostPath.c_str(), "ab");
  if (stream == nullptr) return false;
  StreamCloser closer(stream);
  std::string text(line);
  text += '\n';
  // One write of the whole line, so that lines of concurrent stand-ins do not mix.
  if (std::fwrite(text.data(), 1, text.size(), stream) != text.size()) return false;
  return closer.Close();
}

std::string ReadControl(std::string_view name, std::string_view fallback) {
  std::string contents;
  if (!ReadHostFile(MachineFile("controls.ini"), contents)) return std::string(fallback);
  std::string_view rest(contents);
  while (!rest.empty()) {
    const std::string_view line = TakeTrimmedLine(rest);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (!SameIgnoringCase(TrimBlanks(line.substr(0, equals)), name)) continue;
    const std::string_view value = TrimBlanks(line.substr(equals + 1));
    if (!value.empty()) return std::string(value);
  }
  return std::string(fallback);
}

void RecordEvent(std::string_view role, std::string_view arguments) {
  std::string line(role);
  line += '\t';
  line += CurrentWindowsDirectoryText();
  line += '\t';
  line += arguments;
  AppendHostLine(MachineFile("events.log"), line);
}
