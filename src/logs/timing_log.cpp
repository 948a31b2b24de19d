// The timing tool's test log.
#include "logs/timing_log.h"

#include <string_view>

#include "platform/io_result.h"
#include "platform/text_file.h"
#include "run/fatal_error.h"
#include "run/fatal_messages.h"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

EncodingTimeCut CutEncodingTime(const ShortText& line) {
  const std::string_view text = line.view();
  const size_t firstEquals = text.find('=');
  if (firstEquals == std::string_view::npos) return {TimeCut::NoEquals, {}};

  size_t firstDigit = firstEquals + 1;
  while (firstDigit < text.size() && !IsDigit(text[firstDigit])) ++firstDigit;
  if (firstDigit == text.size()) return {TimeCut::NoDigitAfterEquals, {}};

  // The final character never closes the time, so the search for the closing "="
  // starts one before it. It cannot reach firstDigit, which holds a digit.
  size_t closingEquals = text.size() - 1;
  while (closingEquals > firstDigit && text[closingEquals - 1] != '=') --closingEquals;
  if (closingEquals == firstDigit) return {TimeCut::NoClosingEquals, {}};
  --closingEquals;

  size_t lastDigit = closingEquals - 1;
  while (!IsDigit(text[lastDigit])) --lastDigit;  // stops at firstDigit at the latest
  // Here and below not substr(), whose range check would bring the C++ runtime's
  // exceptions into the program for a case that cannot occur.
  const std::string_view digits(text.data() + firstDigit, lastDigit - firstDigit + 1);
  return {TimeCut::Found, ShortText(digits)};
}

ProcessFigure ReadProcessFigure(const ShortText& line) {
  const std::string_view text = line.view();
  if (text.size() < 2) return {};
  // The last blank before the final character; the final character closes the figure.
  const size_t lastBlank = text.substr(0, text.size() - 1).rfind(' ');
  if (lastBlank == std::string_view::npos) return {};
  const std::string_view figure(text.data() + lastBlank + 1, text.size() - 2 - lastBlank);
  const ParsedNumber number = TextToNumber(ShortText(figure));
  return {true, number.position == 0 ? number.value : 0};
}

KeywordLine FindKeywordLine(const ShortText& logName, const ShortText& keyword) {
  TextFile log;
  OpenTextForReading(log, logName);
  if (TakeIoResult() != 0) return {TimingLogOutcome::NotOpened, {}};

  KeywordLine result{TimingLogOutcome::NoKeywordLine, {}};
  // The end of the text ends the search: a log without the keyword is read once.
  while (!AtEndOfText(log)) {
    const ShortText line = ReadLine(log);
    if (TakeIoResult() != 0) {
      result.outcome = TimingLogOutcome::ReadFailed;
      break;
    }
    if (PositionOf(keyword, line) != 0) {
      result = {TimingLogOutcome::Read, line};
      break;
    }
  }
  // AtEndOfText answers true after a failed refill; the failure is still pending.
  if (result.outcome == TimingLogOutcome::NoKeywordLine && TakeIoResult() != 0) {
    result.outcome = TimingLogOutcome::ReadFailed;
  }
  // Closed on every path, so that the clean-up of a fatal error can delete the log.
  CloseText(log);
  TakeIoResult();
  return result;
}

EncodingTimeRead ReadEncodingTimeFrom(const ShortText& logName) {
  const KeywordLine found = FindKeywordLine(logName, kTimeKeyword);
  if (found.outcome != TimingLogOutcome::Read) return {found.outcome, {}};
  const EncodingTimeCut cut = CutEncodingTime(found.line);
  if (cut.outcome != TimeCut::Found) return {TimingLogOutcome::LineLacksShape, {}};
  return {TimingLogOutcome::Read, cut.text};
}

ProcessFigureRead ReadProcessFigureFrom(const ShortText& logName) {
  const KeywordLine found = FindKeywordLine(logName, kActivityKeyword);
  if (found.outcome != TimingLogOutcome::Read) return {found.outcome, 0};
  const ProcessFigure figure = ReadProcessFigure(found.line);
  if (!figure.found) return {TimingLogOutcome::LineLacksShape, 0};
  return {TimingLogOutcome::Read, figure.value};
}

bool TimingLogUnreadable(TimingLogOutcome outcome) {
  switch (outcome) {
    case TimingLogOutcome::Read:
    case TimingLogOutcome::NotOpened:
      return false;
    case TimingLogOutcome::ReadFailed:
    case TimingLogOutcome::NoKeywordLine:
    case TimingLogOutcome::LineLacksShape:
      return true;
  }
  return true;
}

bool ReadEncodingTime(const ShortText& logName, ShortText& time) {
  const EncodingTimeRead read = ReadEncodingTimeFrom(logName);
  if (TimingLogUnreadable(read.outcome)) FatalError(kFatal012TestLogUnreadableForTime);
  if (read.outcome == TimingLogOutcome::NotOpened) return false;
  time = read.text;
  return true;
}

bool CheckProcessFigure(const ShortText& logName, int32_t minimum) {
  const ProcessFigureRead read = ReadProcessFigureFrom(logName);
  if (TimingLogUnreadable(read.outcome)) FatalError(kFatal017TestLogUnreadableForActivity);
  // A log that cannot be opened proves nothing about the machine being idle.
  if (read.outcome == TimingLogOutcome::NotOpened) return false;
  return read.figure >= minimum;
}
