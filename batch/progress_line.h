#pragma once
// The live progress line of a console batch on a terminal.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace trovabild {

class RunControl;

/// The longest pause between two updates of the live line runs it at most
/// ten times a second.
inline constexpr std::chrono::milliseconds kLiveLinePeriod{100};

/// One progress line of at most `columns` - 1 terminal columns: files done
/// and total, percent, files per second, time left and the current file,
/// shortened at its start to fit. Characters that would move the cursor are
/// shown as "?".
std::string formatProgressLine(int32_t done, int32_t total, int64_t elapsedMs, const std::string& currentFile,
                               int columns);

/// Runs `work` on a thread of its own and waits for its end. With `live`, the
/// live line follows the progress of `control` meanwhile (at most every
/// kLiveLinePeriod) and is removed at the end.
void runWithLiveProgress(int32_t total, const RunControl& control, const std::function<void()>& work, bool live);

}  // namespace trovabild
