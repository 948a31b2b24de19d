// A busy program beside the measured encoder, for the scenarios in which other program
// activity must spoil a measurement: the control "competitor=NAME" of controls.ini makes
// the timing tool start the stand-in copy NAME of the machine folder (NAME.exe on
// Windows) outside the program's family before the measured program, and stop it after.
#pragma once

#include <string>

/// The control that names the competitor.
inline constexpr char kCompetitorControl[] = "competitor";

/// Starts the machine's competitor when its controls name one; the stop file it watches
/// is removed first. False when one is named but could not be started.
bool StartCompetitor();

/// Tells a competitor started by StartCompetitor to end.
void StopCompetitor();

/// True when `role` is the competitor that the controls name.
bool IsCompetitorRole(const std::string& role);

/// The competitor itself: keeps every processor busy, one thread each, until the stop
/// file given as the argument text appears, or for a minute at most.
int RunCompetitor(const std::string& arguments);
