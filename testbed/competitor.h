// A busy program beside the measured encoder, for the scenarios in which other program
// activity must spoil a measurement: the control "competitor=NAME" of controls.ini makes
// the timing tool start the stand-in copy NAME of the machine folder (NAME.exe on
// Windows) outside the program's family before the measured program, and stop it after.
#pragma once

#include <string>

/// The control that names the competitor.
inline constexpr char kCompetitorControl[] = "competitor";

/// The machine file in which a stopped competitor leaves the processor time it used, in
/// whole milliseconds.
inline constexpr char kCompetitorTimeFile[] = "competitor.cpu_ms";

/// Starts the machine's competitor when its controls name one, and returns once it keeps
/// every processor busy (or after a minute); the files it leaves are removed first.
/// False when one is named but could not be started.
bool StartCompetitor();

/// Tells a competitor started by StartCompetitor to stop working, and returns once it has
/// (or after a minute): its processor time is then in kCompetitorTimeFile.
void StopCompetitor();

/// True when `role` is the competitor that the controls name.
bool IsCompetitorRole(const std::string& role);

/// The competitor itself: keeps every processor busy, one thread each, until the stop
/// file given as the argument text appears, or for a minute at most; then writes its
/// processor time and stays, idle, until the machine's kHoldsReleaseFile appears or a
/// minute after its start, so that whoever lists processes after the measurement still
/// finds all of its time.
int RunCompetitor(const std::string& arguments);
