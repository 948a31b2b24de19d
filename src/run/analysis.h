// The environment analysis: what the machine offers, and which tests may run on it.
#pragma once

#include "platform/short_text.h"

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

/// The files that the analysis looks at and the tests read, as full Windows paths, for
/// the ledger to tell itself apart from (a RunFileLister): the source clips, the
/// packs, the marker file, the codecs and QuickTime, the programs found so far, the
/// ProCoder profile and the command interpreter. The count, at most `capacity`.
int ListFilesOfTheRun(ShortText* names, int capacity);
