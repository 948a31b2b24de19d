// Taking over the process before the program's logic starts.
#pragma once

/// Takes the command line, the console and the interruption behaviour. Returns false
/// (after one line to standard error) when the program must not run at all, for
/// instance when the current directory lies on no drive.
bool StartPlatform(int argc, char** argv);
