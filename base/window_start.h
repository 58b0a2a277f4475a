#pragma once
// The files and folders the window opens with: set by the entry before it
// loads the window module, read by the window.

#include <string>
#include <vector>

namespace trovabild {

/// The files and folders the window is to open with (the parameters after
/// `--window`, what a desktop entry's %F passes). Relative paths are made
/// absolute against the working directory; empty ones are dropped.
void setWindowStartPaths(const std::vector<std::string>& paths);
/// The paths set above, absolute, in their order; empty for a plain start.
const std::vector<std::string>& windowStartPaths();

}  // namespace trovabild
