#pragma once
// Hand-over to the desktop window, which lives in a module loaded only when
// it is needed, so console runs never load the toolkit.

#include <string>
#include <vector>

#include "base/window_start.h"

namespace trovabild {

/// What the desktop module is asked to do.
enum class DesktopRequest { window = 0, uninstall = 1, screenshot = 2 };

/// Loads trovabild_desktop.so (beside the executable, else in
/// <exe folder>/../lib/trovabild/) and runs it; returns its exit status.
/// When the module is missing or unusable, prints one line to standard
/// error and returns 1.
int runDesktopModule(int argc, char** argv, DesktopRequest request, const char* argument);

/// The window's start paths are handed over through base/window_start.h.

}  // namespace trovabild
