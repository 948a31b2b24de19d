// Reading main logs.
#include "report/log_parser.h"

#include <cstring>

#include "logs/ledger_format.h"
#include "logs/main_log.h"
#include "report/test_names.h"

namespace {

constexpr char kCtrlZ = 26;

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool Skip(std::string_view& text, std::string_view what) {
  if (!StartsWith(text, what)) return false;
  text.remove_prefix(what.size());
  return true;
}

}  // namespace

bool ReadSeconds(std::string_view text, double& seconds) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  // The digits as one whole number over a power of ten: one division, so the nearest
  // binary number to the text. Digits past the 17th significant one change nothing
  // that is shown.
  constexpr int kMostDigits = 17, kMostDecimals = 22;
  constexpr double kPowersOfTen[kMostDecimals + 1] = {
      1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  uint64_t whole = 0;
  int significant = 0, decimals = 0;
  size_t i = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    whole = whole * 10 + static_cast<uint64_t>(text[i] - '0');
    if (whole != 0 && ++significant > kMostSecondsDigits) return false;
  }
  if (i == 0) return false;
  if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
    const size_t fraction = ++i;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      if (significant >= kMostDigits || decimals >= kMostDecimals) continue;
      whole = whole * 10 + static_cast<uint64_t>(text[i] - '0');
      if (whole != 0) ++significant;
      ++decimals;
    }
    if (i == fraction) return false;
  }
  if (i != text.size()) return false;
  seconds = static_cast<double>(whole) / kPowersOfTen[decimals];
  return true;
}

void MainLogParser::Stray(int64_t lines) {
  (afterCtrlZ_ ? held_ : tally_).strayLines += lines;
}

void MainLogParser::TakeLine(std::string_view line, bool cut) {
  if (cut) ++(afterCtrlZ_ ? held_ : tally_).cutLines;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  for (;;) {
    switch (expect_) {
      case Expect::Label: {
        if (line.empty()) return;
        if (inHeader_ && (line == kMainLogTitle || line == kMainLogVersion ||
                          StartsWith(line, kMainLogCreated))) {
          return;
        }
        const LabelMeaning meaning = MeaningOfLabel(line);
        record_ = LogRecord{};
        record_.test = meaning.test;
        record_.official = meaning.official;
        labelKnown_ = meaning.test >= 0;
        expect_ = Expect::Added;
        return;
      }
      case Expect::Added: {
        std::string_view rest = line;
        if (Skip(rest, kRecordAdded)) {
          int64_t added = 0;
          if (ReadTimestamp(rest, added)) record_.added = added;
          expect_ = Expect::Time;
          return;
        }
        Stray(1);  // the line taken for a label
        expect_ = Expect::Label;
        continue;
      }
      case Expect::Time: {
        std::string_view rest = line;
        if (Skip(rest, kRecordEncodingTime)) {
          expect_ = Expect::Blank;
          inHeader_ = false;
          if (afterCtrlZ_) {
            // A record after the Ctrl-Z: the text went on, and so counts all of it.
            tally_.strayLines += held_.strayLines;
            tally_.cutLines += held_.cutLines;
            tally_.unknownLabels += held_.unknownLabels;
            held_ = LogTally{};
            afterCtrlZ_ = false;
            recordOpenAtCtrlZ_ = false;
          }
          if (!labelKnown_) {
            ++tally_.unknownLabels;
            return;
          }
          record_.timeText = rest;
          record_.timeRead = ReadSeconds(rest, record_.seconds);
          ++tally_.records;
          sink_(record_, context_);
          return;
        }
        Stray(2);  // the label and the "Added" line
        expect_ = Expect::Label;
        continue;
      }
      case Expect::Blank:
        expect_ = Expect::Label;
        if (line.empty()) return;
        continue;  // no empty line after the record: this one may start the next
    }
  }
}

void MainLogParser::CtrlZ() {
  // The line so far ends here, as the text would.
  if (!carry_.empty()) {
    TakeLine(carry_, carryCut_);
    carry_.clear();
    carryCut_ = false;
  }
  if (afterCtrlZ_) {
    held_ = LogTally{};  // what followed the earlier one led to no record
  } else {
    recordOpenAtCtrlZ_ = expect_ == Expect::Added || expect_ == Expect::Time;
  }
  afterCtrlZ_ = true;
}

void MainLogParser::Feed(const char* bytes, size_t count) {
  const char* end = bytes + count;
  while (bytes < end) {
    const char* lineEnd = static_cast<const char*>(std::memchr(bytes, '\n', end - bytes));
    const char* pieceEnd = lineEnd != nullptr ? lineEnd : end;
    const char* ctrlZ = static_cast<const char*>(std::memchr(bytes, kCtrlZ, pieceEnd - bytes));
    if (ctrlZ != nullptr) {
      // The bytes before it complete the line so far; it ends the text for now.
      carry_.append(bytes, ctrlZ - bytes);
      if (carry_.size() > kLongestLogLine) {
        carry_.resize(kLongestLogLine);
        carryCut_ = true;
      }
      CtrlZ();
      bytes = ctrlZ + 1;
      continue;
    }
    std::string_view piece(bytes, pieceEnd - bytes);
    if (lineEnd == nullptr) {
      const size_t room = kLongestLogLine + 1 - std::min(carry_.size(), kLongestLogLine + 1);
      if (piece.size() > room) {
        carryCut_ = true;
        piece = piece.substr(0, room);
      }
      carry_.append(piece);
      return;
    }
    if (carry_.empty()) {
      // A CR before the line end is not part of the line's length.
      const size_t length =
          !piece.empty() && piece.back() == '\r' ? piece.size() - 1 : piece.size();
      const bool cut = length > kLongestLogLine;
      TakeLine(cut ? piece.substr(0, kLongestLogLine) : piece, cut);
    } else {
      carry_.append(piece.substr(0, kLongestLogLine + 2));
      // As above; TakeLine takes the CR off, so it stays on here (a line of a lone CR
      // before its CR LF is one character long, however the pieces fell).
      const size_t length = carry_.back() == '\r' ? carry_.size() - 1 : carry_.size();
      const bool cut = carryCut_ || length > kLongestLogLine;
      if (length > kLongestLogLine) carry_.resize(kLongestLogLine);
      TakeLine(carry_, cut);
      carry_.clear();
      carryCut_ = false;
    }
    bytes = lineEnd + 1;
  }
}

void MainLogParser::Finish() {
  if (!carry_.empty()) {
    // A last line without its line end was cut off with the file.
    const bool cut = carryCut_ || carry_.size() > kLongestLogLine;
    if (carry_.size() > kLongestLogLine) carry_.resize(kLongestLogLine);
    if (expect_ == Expect::Time) {
      // Even an "Encoding time" line may have lost digits: the record is not taken.
      if (!afterCtrlZ_) tally_.cutShort = true;
    } else {
      TakeLine(carry_, cut);
    }
    carry_.clear();
  }
  const bool recordOpen = expect_ == Expect::Added || expect_ == Expect::Time;
  if (afterCtrlZ_ ? recordOpenAtCtrlZ_ : recordOpen) tally_.cutShort = true;
  expect_ = Expect::Label;
}
