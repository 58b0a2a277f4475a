#pragma once
// Conversion from the window: the checks, the preparation and the progress
// dialog around the conversion worker.

#include <cstdint>
#include <string>

namespace trovabild {

class WindowLink;

/// Control numbers of the conversion progress dialog.
constexpr int kConvertFileLabel = 348;
constexpr int kConvertTimeLabel = 349;
constexpr int kConvertBar = 350;
constexpr int kConvertOk = 351;

/// Convert button, menu item and F5: checks what the user entered (a
/// warning box for the first failing check), prepares the run like the
/// console batch and converts behind a modal progress dialog. Returns when
/// the dialog is closed.
void StartConversion(WindowLink& window);

/// The text itself when it is not longer than `maximum` characters,
/// otherwise its first k characters, "..." and its last k, with
/// k = (maximum - 3) / 2. Characters, not bytes, of UTF-8 text.
std::string ShortenForDisplay(const std::string& text, int maximum);

/// "hh:mm:ss" of the whole seconds, prefixed by "<days>d:" from one day on.
std::string FormatDuration(int64_t milliseconds);

}  // namespace trovabild
