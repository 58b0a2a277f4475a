#pragma once
// Files and folders a batch run had to leave out: each gets one line on
// standard error, and the run then counts as partial.

#include <mutex>
#include <string>
#include <string_view>

namespace trovabild {

/// Prints the line on standard error and marks the run as having left
/// something out.
void reportLeftOut(std::string_view line);
/// Marks the run as having left something out, without a line (one was
/// already printed for the same cause).
void markLeftOut();
/// True when reportLeftOut was called since the last resetRunReport.
bool runLeftSomethingOut();
void resetRunReport();

/// Held while one file is committed, from its first save to the observer
/// call that records it; whoever holds it knows that every file written so
/// far has been recorded. Never destroyed.
std::mutex& commitGate();

/// `"path": reason`, the reason being the system's text for `error` (errno).
std::string pathAndReason(const std::string& path, int error);

}  // namespace trovabild
