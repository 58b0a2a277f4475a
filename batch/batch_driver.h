#pragma once
// The console batch: validation, expansion, conversion and summary.

#include <cstdint>
#include <string_view>

#include "base/exit_status.h"
#include "settings/settings.h"

namespace trovabild {

/// Runs the configured batch; `quiet` suppresses the status lines. ok when
/// every file found was converted, partial when some failed, failed after an
/// "Error: " line or when nothing was converted.
ExitStatus runBatch(bool quiet);

/// Sets job.outputFif, job.targetBpp, job.saveFlags and job.autoBpp from
/// job.outputExtension and the settings.
void prepareRunValues();

/// The Settings field holding the output depth of a format ("jpg" gives
/// &Settings::jpgBpp); nullptr for an extension the program cannot write.
int32_t Settings::*depthSettingOf(std::string_view extension);

}  // namespace trovabild
