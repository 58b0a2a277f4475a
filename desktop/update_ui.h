#pragma once
// The window side of the update check: the start-up question and the
// message boxes that report the result.

class wxWindow;

namespace trovabild {

/// Called once at start-up of the desktop run, after the main window is
/// shown (not in screenshot mode). Asks whether to check when the interval
/// of `updateRange` has passed since `updateDate`, then moves `updateDate`
/// to now whatever the answer.
void AutoCheckForUpdates(wxWindow* parent);

/// Menu command "Check For a New Version": fetches the newest build number
/// and reports a new version, no update, or connection problems.
void CheckForUpdates(wxWindow* parent);

}  // namespace trovabild
