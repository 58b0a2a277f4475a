#pragma once
// Converts one input file: open the icon, choose its frames, run each through
// the pipeline, name and save it.

#include <string>
#include <vector>

namespace trovabild {

/// Converts job.currentInput; true when the last attempted save succeeded.
/// `written` receives the path of every file actually written, in order.
bool convertCurrentFile(std::vector<std::string>& written);

}  // namespace trovabild
