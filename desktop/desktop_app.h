#pragma once
// The desktop face: the window, its dialogs and its event loop.

namespace trovabild {

/// What the executable asks of the desktop module.
enum class DesktopMode { window = 0, uninstall = 1, screenshot = 2 };

/// Runs the desktop face until it ends; returns the process exit status.
/// `argument` is the screenshot folder for DesktopMode::screenshot.
int runDesktop(int argc, char** argv, DesktopMode mode, const char* argument);

}  // namespace trovabild
