#pragma once
// The console batch: validation, expansion, conversion and summary.

#include "app/exit_status.h"

namespace trovabild {

/// Runs the configured batch; `quiet` suppresses the status lines.
ExitStatus runBatch(bool quiet);

}  // namespace trovabild
