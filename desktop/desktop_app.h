#pragma once
// The desktop face: the window, its dialogs and its event loop.

namespace trovabild {

/// Runs the desktop window until it closes; returns the exit status.
int runDesktop(int argc, char** argv);

}  // namespace trovabild
