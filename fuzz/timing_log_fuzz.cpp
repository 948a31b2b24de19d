// Fuzzes both test-log readers: the input's first 255 bytes as one line for the
// pure cutting rules, checked against a plain restatement of the rules, and the
// whole input as a test log for the file readers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_folder.h"
#include "logs/timing_log.h"
#include "platform/io_result.h"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The cutting rule with 1-based positions, as simple as it can be written: first
// "=" (p1), first digit after it (p2), R = line from p2 (length m), last "=" of R
// from position m - 1 down (p3), last digit from p3 - 1 down (p4), R from 1 to p4.
bool ReferenceTime(const std::string& line, std::string& time) {
  const long n = static_cast<long>(line.size());
  auto at = [&](long position) { return line[static_cast<size_t>(position - 1)]; };
  long p1 = 0;
  for (long i = 1; i <= n && p1 == 0; ++i)
    if (at(i) == '=') p1 = i;
  if (p1 == 0) return false;
  long p2 = 0;
  for (long i = p1 + 1; i <= n && p2 == 0; ++i)
    if (IsDigit(at(i))) p2 = i;
  if (p2 == 0) return false;
  const std::string r = line.substr(static_cast<size_t>(p2 - 1));
  const long m = static_cast<long>(r.size());
  long p3 = 0;
  for (long i = m - 1; i >= 1 && p3 == 0; --i)
    if (r[static_cast<size_t>(i - 1)] == '=') p3 = i;
  if (p3 == 0) return false;
  long p4 = 0;
  for (long i = p3 - 1; i >= 1 && p4 == 0; --i)
    if (IsDigit(r[static_cast<size_t>(i - 1)])) p4 = i;
  if (p4 == 0) return false;
  time = r.substr(0, static_cast<size_t>(p4));
  return true;
}

// The figure rule: last blank in positions 1 to n - 1, the text after it up to n - 1.
bool ReferenceFigure(const std::string& line, std::string& figure) {
  const long n = static_cast<long>(line.size());
  for (long i = n - 1; i >= 1; --i) {
    if (line[static_cast<size_t>(i - 1)] == ' ') {
      figure = line.substr(static_cast<size_t>(i), static_cast<size_t>(n - 1 - i));
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  MakeFuzzFolder(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data),
                         size < ShortText::kCapacity ? size : ShortText::kCapacity);

  const EncodingTimeCut cut = CutEncodingTime(ShortText(line));
  std::string time;
  const bool found = ReferenceTime(line, time);
  if (found != (cut.outcome == TimeCut::Found)) std::abort();
  if (found && cut.text.view() != time) std::abort();

  const ProcessFigure figure = ReadProcessFigure(ShortText(line));
  std::string figureText;
  const bool figureFound = ReferenceFigure(line, figureText);
  if (figureFound != figure.found) std::abort();
  if (figureFound) {
    const ParsedNumber number = TextToNumber(ShortText(figureText));
    if (figure.value != (number.position == 0 ? number.value : 0)) std::abort();
  }

  const ShortText log = WriteInput("001.log", data, size);
  const EncodingTimeRead timeRead = ReadEncodingTimeFrom(log);
  if (timeRead.outcome == TimingLogOutcome::NotOpened) std::abort();
  if (timeRead.outcome == TimingLogOutcome::Read &&
      (timeRead.text.empty() || !IsDigit(timeRead.text[0]) ||
       !IsDigit(timeRead.text[timeRead.text.length() - 1]))) {
    std::abort();
  }
  const ProcessFigureRead figureRead = ReadProcessFigureFrom(log);
  if (figureRead.outcome == TimingLogOutcome::NotOpened) std::abort();
  if (TakeIoResult() != 0) std::abort();
  return 0;
}
