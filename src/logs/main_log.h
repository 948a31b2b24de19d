// The main log "zentravo-kelv-tarsel.log": one record of four lines for every
// recorded test, run after run, after a header of four lines written when the file
// is created. Every line ends with CR LF.
//
// Earlier records. The file is only ever appended to, and opened only while one
// record is written. A record that fails half-way (a full disk) is taken back: the
// file is cut back to the length it had when it was opened for the record, so it
// ends with the earlier records and no partial record trails them. No byte before
// the record is touched; the append's cut at a Ctrl-Z among the last 128 bytes
// removes only what already stood after the end of the text. A new file whose
// header cannot be written out is removed again, so that the next run creates it
// anew with its header instead of appending to a headerless file.
#pragma once

#include "platform/clock.h"
#include "platform/short_text.h"

/// The main log, in the current directory (during a run the start directory).
inline constexpr char kMainLogName[] = "zentravo-kelv-tarsel.log";

/// The header of a new main log; the timestamp follows "Created: ", and an empty
/// line ends the header.
inline constexpr char kMainLogTitle[] = "Zentravo Kelvaran Project";
inline constexpr char kMainLogVersion[] = "Tarsel v2.0 RC3 logfile";
inline constexpr char kMainLogCreated[] = "Created: ";

/// The lines of a record after its label line; an empty line ends the record.
inline constexpr char kRecordAdded[] = "Added ";
inline constexpr char kRecordEncodingTime[] = "Encoding time: ";

/// "DD.MM.YYYY at HH:MM:SS": day, month, hour, minute and second with a leading "0"
/// below 10, the year as it is.
ShortText FormatClock(const LocalClock& clock);

/// FormatClock of one reading of the local clock, so that date and time belong to
/// the same moment.
ShortText FormatTimestamp();

/// What became of recording one result; each failure has its own fatal message.
enum class RecordOutcome {
  Recorded,
  NoTestLog,          ///< the test log cannot be opened: nothing appended
  NotCreated,         ///< "#010": the missing main log cannot be created
  HeaderNotWritten,   ///< "#011": the new main log's header cannot be written out
  TestLogUnreadable,  ///< "#012": the test log has no usable "Global" line
  NotOpened,          ///< "#013": the main log cannot be opened for appending
  LabelNotWritten,    ///< "#014"
  LinesNotWritten,    ///< "#015": the "Added ", "Encoding time: " or empty line
  NotClosed,          ///< "#016": closing (and so writing out) the record failed
};

/// The fatal message of a failed outcome; nullptr for Recorded and NoTestLog.
const char* RecordFatalMessage(RecordOutcome outcome);

/// Where the record's timestamps come from; FormatTimestamp in a run.
using TimestampSource = ShortText (*)();

/// RecordResult's work without its ending: creates the main log with its header
/// when no file of that name exists, reads the encoding time of `testLogName`, and
/// appends `label`, "Added " with a timestamp, "Encoding time: " with the time and
/// an empty line. Stops at the first failure and reports it, after taking back what
/// a failed record had put into the file; never ends the run.
RecordOutcome AppendResultRecord(const ShortText& testLogName, const ShortText& label,
                                 TimestampSource timestamp);

/// Records the test's result in the main log in the current directory. Returns
/// without a record, and without a message, when the test log cannot be opened (a
/// header written for a new main log stays). Ends the run through FatalError with
/// "#010" to "#016" on a failure. Writes nothing to the console.
void RecordResult(const ShortText& testLogName, const ShortText& label);
