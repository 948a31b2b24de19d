// Reading main logs as the benchmark writes them, from bytes that arrive in pieces:
// a header, then records of four lines (the label, "Added DD.MM.YYYY at HH:MM:SS",
// "Encoding time: TEXT" and an empty line), lines ending with CR LF or LF.
//
// A Ctrl-Z ends the text only when no record follows it: the benchmark appends its
// next record after a Ctrl-Z that lies further from the end than it looks. What
// follows a last Ctrl-Z without a record is ignored, not counted. Lines longer than
// the benchmark writes are cut and counted; a non-empty line that belongs to no
// record (nor to the header before the first record) is counted; empty lines outside
// records are not. Nothing of this ever stops the reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// The longest line the benchmark writes: "Encoding time: " and a short text.
inline constexpr size_t kLongestLogLine = 15 + 255;

/// One result.
struct LogRecord {
  int test = -1;  ///< TestIndex order
  bool official = false;
  /// When it was added, as the number YYYYMMDDhhmmss; 0 when the line is unreadable.
  int64_t added = 0;
  std::string_view timeText;  ///< the encoding time as the log holds it
  bool timeRead = false;      ///< `seconds` holds the time read from the text
  double seconds = 0;
};

/// What a main log held besides its results.
struct LogTally {
  int64_t records = 0;
  int64_t strayLines = 0;     ///< non-empty lines of no record and not of the header
  int64_t cutLines = 0;       ///< lines longer than the benchmark writes
  int64_t unknownLabels = 0;  ///< records whose label no test writes
  bool cutShort = false;      ///< the text ends inside a record
  bool empty() const { return strayLines == 0 && cutLines == 0 && unknownLabels == 0 && !cutShort; }
};

/// The most whole-second digits of a readable time: below 10^9 s (about 31 years). A
/// longer time is no measurement, and every figure made of such times stays exact.
inline constexpr int kMostSecondsDigits = 9;

/// Reads the encoding time: blanks around it, digits, and a decimal point or comma
/// with more digits, as the nearest binary number to that decimal text. False for any
/// other text and for 10^9 s or more.
bool ReadSeconds(std::string_view text, double& seconds);

class MainLogParser {
 public:
  using RecordSink = void (*)(const LogRecord& record, void* context);

  MainLogParser(RecordSink sink, void* context) : sink_(sink), context_(context) {}

  /// The next bytes of the file.
  void Feed(const char* bytes, size_t count);
  /// The end of the file.
  void Finish();

  const LogTally& tally() const { return tally_; }

 private:
  enum class Expect { Label, Added, Time, Blank };

  void TakeLine(std::string_view line, bool cut);
  void Stray(int64_t lines);
  void CtrlZ();

  RecordSink sink_;
  void* context_;
  LogTally tally_;
  Expect expect_ = Expect::Label;
  bool inHeader_ = true;
  LogRecord record_;
  bool labelKnown_ = false;
  std::string carry_;  ///< the start of a line that the last piece did not end
  bool carryCut_ = false;
  /// After a Ctrl-Z: what is counted waits here until a record shows that the text
  /// goes on.
  bool afterCtrlZ_ = false;
  LogTally held_;
  bool recordOpenAtCtrlZ_ = false;  ///< the Ctrl-Z came inside a record
};
