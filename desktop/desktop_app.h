#pragma once
// The desktop face: the window, its dialogs and its event loop.

#include <string>
#include <vector>

namespace trovabild {

class MainWindow;

/// What the executable asks of the desktop module.
enum class DesktopMode { window = 0, uninstall = 1, screenshot = 2 };

/// Runs the desktop face until it ends; returns the process exit status.
/// `argument` is the screenshot folder for DesktopMode::screenshot.
/// Without a display (neither DISPLAY nor WAYLAND_DISPLAY set, or the
/// toolkit cannot open it) prints one line on standard error and returns 1.
int runDesktop(int argc, char** argv, DesktopMode mode, const char* argument);

/// Adds the paths the window was started with to its list once the event
/// loop runs, as if they had been dropped on it: a folder is imported with
/// its progress dialog, a file is added when it is an accepted input. Paths
/// that do not exist are left out.
void queueStartPaths(MainWindow& window, const std::vector<std::string>& paths);

/// True when DISPLAY or WAYLAND_DISPLAY names a display.
bool displayAvailable();

}  // namespace trovabild
