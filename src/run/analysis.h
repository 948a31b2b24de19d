// The environment analysis: what the machine offers, and which tests may run on it.
#pragma once

/// Probes the operating system, drive C:, the two source clips and the free space
/// they need, the codecs, QuickTime, the encoders and the automation manager, one
/// report line each, in that order; then writes the eligibility report, one line per
/// test. Fills the probe fields, the encoder directories and testEnabled of
/// runState. Reads runState.startDir, which is the current directory on entry and on
/// return. Ends the run through FatalError with "#028" or "#029" when a clip that is
/// present cannot be opened for the free-space probe, and, after the first report
/// and the second heading, with "#030" when the operating system is not accepted or
/// "#031" when neither clip is present.
void AnalyzeEnvironment();
