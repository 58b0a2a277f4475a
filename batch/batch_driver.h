#pragma once
// The console batch: validation, expansion, conversion and summary.

#include "base/exit_status.h"

namespace trovabild {

/// Runs the batch that the options put into Settings and Job; `quiet`
/// suppresses the status lines. ok when every file found was converted,
/// partial when some failed, failed after an "Error: " line or when nothing
/// was converted.
ExitStatus runBatch(bool quiet);

}  // namespace trovabild
