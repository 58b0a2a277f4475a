#pragma once
// Converts one input file: open the icon, choose its frames, run each through
// the pipeline, name and save it.

namespace trovabild {

/// Converts job.currentInput; true when the last attempted save succeeded.
bool convertCurrentFile();

}  // namespace trovabild
