#pragma once
// The console batch: validation, expansion, conversion and summary.

#include "app/exit_status.h"

namespace trovabild {

/// Runs the configured batch; `quiet` suppresses the status lines. ok when
/// every file found was converted, partial when some failed, failed after an
/// "Error: " line or when nothing was converted.
ExitStatus runBatch(bool quiet);

/// Sets job.outputFif, job.targetBpp, job.saveFlags and job.autoBpp from
/// job.outputExtension and the settings.
void prepareRunValues();

}  // namespace trovabild
