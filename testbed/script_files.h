// The files that drive the stand-ins: encoder jobs (VirtualDubMod job scripts,
// Mainconcept settings, ProCoder profiles) and nnCron automation scripts. Both are
// lines of a keyword and its items; ";" or "#" starts a comment line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// One file an encoder leaves behind.
struct EncoderOutput {
  std::string name;          ///< Windows path; relative names are resolved by the encoder
  int64_t size = 0;          ///< bytes
  int holdMilliseconds = 0;  ///< how long it stays held open after the encoder ends
};

/// What one encoder run does.
struct EncoderJob {
  std::string source;  ///< the clip to read; empty when the caller names it
  int passes = 1;      ///< how often the clip is read and worked over
  int rounds = 1;      ///< work over every block of the clip per pass (0: only read it)
  std::vector<EncoderOutput> outputs;
  std::string tempName;  ///< a scratch file written while working and deleted after
  int64_t tempSize = 0;
  std::string signal;  ///< a file created once all outputs are written; empty for none
};

/// Reads a job. Keywords: "source NAME", "passes N", "rounds N", "output NAME SIZE",
/// "hold NAME MILLISECONDS" (after that output's line), "temp NAME SIZE", "signal
/// NAME". False with a reason for an unknown keyword, a missing item or a bad number.
bool ReadEncoderJob(std::string_view text, EncoderJob& job, std::string& error);

/// The text of a job, readable by ReadEncoderJob.
std::string WriteEncoderJob(const EncoderJob& job);

/// One step of an automation script.
struct AutomationStep {
  enum class Kind { CreateMarker, RemoveMarker, WaitForFile, Run, Pause };
  Kind kind = Kind::Pause;
  std::string text;      ///< the file waited for, or the command line to run
  int milliseconds = 0;  ///< the longest wait for a file, or the pause
};

/// Reads an automation script. Lines: "marker create", "marker remove", "wait-file NAME
/// MILLISECONDS", "run COMMAND LINE" (the rest of the line, a program path and its
/// arguments), "pause MILLISECONDS".
bool ReadAutomationScript(std::string_view text, std::vector<AutomationStep>& steps,
                          std::string& error);

/// Reads a whole decimal number of at most 18 digits, optionally signed; false
/// otherwise.
bool ReadWholeNumber(std::string_view text, int64_t& value);
