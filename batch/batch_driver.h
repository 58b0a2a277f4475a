#pragma once
// The console batch: validation, expansion, conversion and summary.

#include "base/exit_status.h"

namespace trovabild {

/// Runs the batch that the options put into Settings and Job, over every
/// input named (job.inputPaths, else job.inputPath); `quiet` suppresses the
/// status lines. ok when every file found was converted, partial when some
/// failed or something was left out (a folder that cannot be read, a refused
/// output), failed after an "Error: " line or when nothing was converted.
ExitStatus runBatch(bool quiet);

}  // namespace trovabild
