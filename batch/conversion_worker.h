#pragma once
// The thread that converts every entry of the input list, one at a time.

#include <string>

namespace trovabild {

/// Thread procedure. Expects the input list filled, job.outputFolder
/// normalised, the output format's run values prepared, the watermark font
/// created when needed and batchProgress reset. Converts the entries in list
/// order until the list ends or batchProgress.running is cleared (checked
/// between files), then leaves the number converted in
/// batchProgress.doneCount. A save that would replace the input itself,
/// another input of the list, or a file an earlier input of this run wrote,
/// is refused with a line on
/// standard error, and so is an input that cannot be opened. The argument is
/// ignored; returns 0.
int conversionWorker(int unused = 0);

/// Creates job.outputFolder + job.currentSubfolder level by level. A folder
/// that cannot be made gets a line on standard error (the save then fails).
void ensureOutputSubfolders();

/// Sets the modification time of `path` as settings.fileTimestamp asks:
/// 1 that of `input`, 2 settings.customTimestamp (local-time seconds), 0
/// nothing. Failures are ignored.
void applyFileTimestamp(const std::string& path, const std::string& input);

}  // namespace trovabild
