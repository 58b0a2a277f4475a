#pragma once
// The console batch: validation, expansion, conversion and summary.

#include <cstdint>
#include <string_view>

#include "app/exit_status.h"
#include "settings/settings.h"

namespace trovabild {

/// Runs the configured batch over every input named (job.inputPaths, else
/// job.inputPath); `quiet` suppresses the status lines. ok when every file
/// found was converted, partial when some failed or something was left out
/// (a folder that cannot be read, a refused output), failed after an
/// "Error: " line or when nothing was converted.
ExitStatus runBatch(bool quiet);

/// Sets job.outputFif, job.targetBpp, job.saveFlags and job.autoBpp from
/// job.outputExtension and the settings.
void prepareRunValues();

/// The Settings field holding the output depth of a format ("jpg" gives
/// &Settings::jpgBpp); nullptr for an extension the program cannot write.
int32_t Settings::*depthSettingOf(std::string_view extension);

}  // namespace trovabild
