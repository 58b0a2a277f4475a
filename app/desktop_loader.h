#pragma once
// Hand-over to the desktop window, which lives in a module loaded only when
// it is needed, so console runs never load the toolkit.

#include <string>
#include <vector>

namespace trovabild {

/// What the desktop module is asked to do.
enum class DesktopRequest { window = 0, uninstall = 1, screenshot = 2 };

/// Loads trovabild_desktop.so (beside the executable, else in
/// <exe folder>/../lib/trovabild/) and runs it; returns its exit status.
/// When the module is missing or unusable, prints one line to standard
/// error and returns 1.
int runDesktopModule(int argc, char** argv, DesktopRequest request, const char* argument);

/// The files and folders the window is to open with (the parameters after
/// `--window`, what a desktop entry's %F passes). Relative paths are made
/// absolute against the working directory; empty ones are dropped.
void setWindowStartPaths(const std::vector<std::string>& paths);
/// The paths set above, absolute, in their order; empty for a plain start.
const std::vector<std::string>& windowStartPaths();

}  // namespace trovabild
