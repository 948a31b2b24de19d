// The main log.
#include "logs/main_log.h"

#include "logs/timing_log.h"
#include "platform/directories.h"
#include "platform/io_result.h"
#include "platform/text_file.h"
#include "run/fatal_error.h"
#include "run/fatal_messages.h"

namespace {

ShortText TwoDigits(int value) {
  const ShortText digits = NumberToText(value);
  return digits.length() < 2 ? ShortText("0") + digits : digits;
}

/// Takes back a record that failed part-way, so that the readers of the file find the
/// earlier records and nothing after them.
RecordOutcome TakeBack(TextFile& log, int64_t recordStart, RecordOutcome outcome) {
  TakeBackAppend(log, kMainLogName, recordStart);
  return outcome;
}

/// Creates the main log with its header. A header that cannot be written out
/// takes the new file with it.
RecordOutcome CreateMainLog(TimestampSource timestamp) {
  TextFile log;
  CreateText(log, kMainLogName);
  if (TakeIoResult() != 0) return RecordOutcome::NotCreated;
  WriteLine(log, kMainLogTitle);
  WriteLine(log, kMainLogVersion);
  WriteText(log, kMainLogCreated);
  WriteLine(log, timestamp());
  WriteLine(log);
  const bool written = TakeIoResult() == 0;
  // The header fits in the file's buffer, so a full disk shows only here.
  CloseText(log);
  const bool closed = TakeIoResult() == 0;
  if (written && closed) return RecordOutcome::Recorded;
  RemoveFile(kMainLogName);
  return RecordOutcome::HeaderNotWritten;
}

}  // namespace

ShortText FormatClock(const LocalClock& clock) {
  return TwoDigits(clock.day) + "." + TwoDigits(clock.month) + "." + NumberToText(clock.year) +
         " at " + TwoDigits(clock.hour) + ":" + TwoDigits(clock.minute) + ":" +
         TwoDigits(clock.second);
}

ShortText FormatTimestamp() {
  return FormatClock(ReadLocalClock());
}

const char* RecordFatalMessage(RecordOutcome outcome) {
  switch (outcome) {
    case RecordOutcome::Recorded:
    case RecordOutcome::NoTestLog:
      return nullptr;
    case RecordOutcome::NotCreated:
      return kFatal010MainLogNotCreated;
    case RecordOutcome::HeaderNotWritten:
      return kFatal011MainLogHeaderNotWritten;
    case RecordOutcome::TestLogUnreadable:
      return kFatal012TestLogUnreadableForTime;
    case RecordOutcome::NotOpened:
      return kFatal013MainLogNotOpened;
    case RecordOutcome::LabelNotWritten:
      return kFatal014ResultLabelNotWritten;
    case RecordOutcome::LinesNotWritten:
      return kFatal015ResultLinesNotWritten;
    case RecordOutcome::NotClosed:
      return kFatal016MainLogNotClosed;
  }
  return nullptr;
}

RecordOutcome AppendResultRecord(const ShortText& testLogName, const ShortText& label,
                                 TimestampSource timestamp) {
  // A directory of that name is no main log; creating the file then fails.
  if (!FileIsPresent(kMainLogName)) {
    const RecordOutcome created = CreateMainLog(timestamp);
    if (created != RecordOutcome::Recorded) return created;
  }

  const EncodingTimeRead time = ReadEncodingTimeFrom(testLogName);
  if (time.outcome == TimingLogOutcome::NotOpened) return RecordOutcome::NoTestLog;
  if (TimingLogUnreadable(time.outcome)) return RecordOutcome::TestLogUnreadable;

  TextFile log;
  OpenTextForAppend(log, kMainLogName);
  if (TakeIoResult() != 0) return RecordOutcome::NotOpened;
  // Where the record begins; if its length cannot be learnt, a failed record stays.
  const int64_t recordStart = TextFileLength(log);
  TakeIoResult();
  WriteLine(log, label);
  if (TakeIoResult() != 0) return TakeBack(log, recordStart, RecordOutcome::LabelNotWritten);
  // Written in two parts: the encoding time line may exceed a short text.
  WriteText(log, kRecordAdded);
  WriteLine(log, timestamp());
  WriteText(log, kRecordEncodingTime);
  WriteLine(log, time.text);
  WriteLine(log);
  if (TakeIoResult() != 0) return TakeBack(log, recordStart, RecordOutcome::LinesNotWritten);
  // A record of up to 128 bytes waits in the buffer until here, so a full disk
  // usually shows at the close; the record is then taken back like any other.
  CloseText(log);
  if (TakeIoResult() != 0) return TakeBack(log, recordStart, RecordOutcome::NotClosed);
  return RecordOutcome::Recorded;
}

void RecordResult(const ShortText& testLogName, const ShortText& label) {
  const RecordOutcome outcome = AppendResultRecord(testLogName, label, FormatTimestamp);
  if (const char* message = RecordFatalMessage(outcome)) FatalError(message);
}
