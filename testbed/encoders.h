// The stand-in encoders. Each reads its job from where the real program takes its
// settings, works over the source clip, and leaves the job's outputs (sparse, of the
// sizes the job gives). They print nothing on success and end with 0; a job that
// cannot be read, or a clip that cannot be read, ends with 1 and writes no output.
#pragma once

#include <string>

#include "script_files.h"

/// The registry key the Cinema Craft stand-in reads its settings from.
constexpr const char* kCinemaCraftKey =
    "HKEY_CURRENT_USER\\Software\\Cinema Craft\\Encoder SP\\Settings";

/// Runs a job: reads `source` (a Windows path) `job.passes` times, working over it;
/// writes `job.tempName` meanwhile; then writes every output (a relative name is taken
/// from `outputDirectory`, or from the current directory when that is empty), starts
/// the holders of held outputs and writes the signal file (relative to
/// `signalDirectory`), after which it ends only once the automation script has taken
/// the signal or its marker "nncron.out" (in the current directory) is gone. Returns
/// the exit status.
int RunEncoderJob(const EncoderJob& job, const std::string& source,
                  const std::string& outputDirectory, const std::string& signalDirectory);

/// VirtualDubMod: "/s" immediately followed by the job script's path, then "/x".
int RunVirtualDub(const std::string& arguments);

/// Mainconcept MPEG Encoder: the settings file's path as the whole argument text.
int RunMainconcept(const std::string& arguments);

/// Canopus ProCoder: "[/preset NAME] SOURCE". The preset ("fdst_highest" unless named)
/// is read from "Plugins\User Presets\NAME.cpf" beside the program, and the outputs
/// go beside the program too.
int RunProCoder(const std::string& programPath, const std::string& arguments);

/// Cinema Craft Encoder SP: the clip's full path as the whole argument text. Settings
/// come from the registry (kCinemaCraftKey: dwords "Passes", "Rounds", "VafSize",
/// "MpvSize", and "HoldMpv" in milliseconds; the string "DoneFile", the full path of the
/// signal file); the outputs are the clip's name with
/// ".vaf" and ".mpv", beside the clip. A missing "VafSize" or "MpvSize" skips that
/// output; a missing key means no settings and no outputs at all.
int RunCinemaCraft(const std::string& arguments);
