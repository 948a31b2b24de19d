// The timing tool's test log ("001.log" to "007.log"): the encoding time of its
// first "Global" line and the activity figure of its first "Process" line.
//
// Unusable logs. A log that opens but has no line with the keyword, or whose
// keyword line lacks the shape the reader needs, ends the run with the reader's
// own message ("#012" for the encoding time, "#017" for the activity figure), as a
// failed read does. Recording nothing would drop a finished result without a word,
// and answering "other program activity" would blame the wrong cause; the message
// names the file that is broken. Either way the reader stops at the end of the file
// and at the end of the line. A figure that is present but not a whole number is no
// such failure: it counts as 0. A log that cannot be opened is not an error for the
// encoding time (the caller records nothing) and makes CheckProcessFigure answer
// false, since an official result must prove that the machine was idle.
#pragma once

#include <cstdint>

#include "platform/short_text.h"

/// The keywords of the two lines that the readers look for, matched
/// case-sensitively anywhere in a line.
inline constexpr char kTimeKeyword[] = "Global";
inline constexpr char kActivityKeyword[] = "Process";

/// Why a line gave no encoding time.
enum class TimeCut {
  Found,
  NoEquals,            ///< the line holds no "="
  NoDigitAfterEquals,  ///< no decimal digit follows the first "="
  NoClosingEquals,     ///< no "=" after the first digit other than the final character
};

struct EncodingTimeCut {
  TimeCut outcome = TimeCut::NoEquals;
  ShortText text;  ///< from the first digit after the first "=" to the last digit
                   ///< before the closing "="; empty unless Found
};

/// Cuts the encoding time text out of a "Global" line: from the first digit after
/// the line's first "=" up to the last digit before the last "=" that is not the
/// line's final character. Whatever stands between those two digits stays as it is.
EncodingTimeCut CutEncodingTime(const ShortText& line);

/// What a "Process" line gave.
struct ProcessFigure {
  bool found = false;  ///< false when no blank stands before the final character
  int32_t value = 0;   ///< the figure, 0 when it is not a whole number
};

/// Reads the figure of a "Process" line: the text after the line's last blank, up
/// to but not including its final character, as a whole number (an optional sign,
/// then decimal digits or "$" and hexadecimal digits); any other text is 0.
ProcessFigure ReadProcessFigure(const ShortText& line);

/// What became of reading a test log.
enum class TimingLogOutcome {
  Read,            ///< the keyword line was found and has the shape
  NotOpened,       ///< the log cannot be opened
  ReadFailed,      ///< a read of the log failed
  NoKeywordLine,   ///< no line before the end of the text holds the keyword
  LineLacksShape,  ///< the first keyword line lacks the shape the reader needs
};

struct KeywordLine {
  TimingLogOutcome outcome = TimingLogOutcome::NotOpened;
  ShortText line;  ///< the first line holding the keyword, when outcome is Read
};

/// Opens `logName` (shared: others may keep writing it), reads it line by line from
/// its start until the first line that holds `keyword`, and closes it again.
KeywordLine FindKeywordLine(const ShortText& logName, const ShortText& keyword);

struct EncodingTimeRead {
  TimingLogOutcome outcome = TimingLogOutcome::NotOpened;
  ShortText text;  ///< the encoding time text when outcome is Read
};

/// The encoding time of the log's first "Global" line. Never ends the run.
EncodingTimeRead ReadEncodingTimeFrom(const ShortText& logName);

struct ProcessFigureRead {
  TimingLogOutcome outcome = TimingLogOutcome::NotOpened;
  int32_t figure = 0;  ///< the figure when outcome is Read
};

/// The figure of the log's first "Process" line. Never ends the run.
ProcessFigureRead ReadProcessFigureFrom(const ShortText& logName);

/// True for the outcomes that end the run with the reader's message: a failed
/// read, no keyword line, a keyword line without the shape.
bool TimingLogUnreadable(TimingLogOutcome outcome);

/// Returns false when the test log cannot be opened. Otherwise stores the encoding
/// time text in `time` and returns true, or ends the run with
/// "#012 cannot read temporary logfile" when the log is unreadable.
bool ReadEncodingTime(const ShortText& logName, ShortText& time);

/// True when the figure of the log's first "Process" line is at least `minimum`;
/// false when it is smaller or the log cannot be opened. Ends the run with
/// "#017 cannot read temporary logfile" when the log is unreadable.
bool CheckProcessFigure(const ShortText& logName, int32_t minimum);
