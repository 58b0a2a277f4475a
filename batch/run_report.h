#pragma once
// Files and folders a batch run had to leave out: each gets one line on
// standard error, and the run then counts as partial.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/exit_status.h"

namespace trovabild {

/// Prints the line on standard error and marks the run as having left
/// something out.
void reportLeftOut(std::string_view line);
/// Marks the run as having left something out, without a line (one was
/// already printed for the same cause).
void markLeftOut();
/// True when reportLeftOut was called since the last resetRunReport.
bool runLeftSomethingOut();
/// How a run of `inputs` files that converted `converted` ends, for both
/// faces: failed when nothing was converted, ok when everything was and
/// nothing was left out, partial else.
ExitStatus runExitStatus(int32_t converted, int32_t inputs);
void resetRunReport();

/// The lines about inputs that failed, on standard error, for one run. A
/// cause ("not an icon", "cannot write: Read-only file system") gets lines
/// for its first few files only; the files past those are counted, and
/// printSummary tells how many more failed for each cause and how many
/// failed for each cause in all. Every call marks the run as having left
/// something out. Used by one thread.
class FailureLog {
 public:
  /// The most files of one cause that get lines of their own.
  static constexpr int64_t kFilesTold = 3;

  /// Input `file` (its index in the run) failed for `cause`: prints `line`
  /// while the cause has told no more than kFilesTold files; the file counts
  /// once for the cause, however many lines it gets.
  void fail(size_t file, std::string_view cause, std::string_view line);
  /// As fail, for a line printed only when `file` has no line of this cause
  /// yet (the other frames of an icon that failed the same way).
  void failAgain(size_t file, std::string_view cause, std::string_view line);
  /// "Error: N more files failed: cause" for each cause with files past its
  /// lines, then "Failed files: N (n cause; ...)", when more than one file
  /// failed.
  void printSummary() const;
  /// Files that failed, each counted once.
  int64_t files() const { return files_; }

 private:
  struct Cause {
    std::string name;
    int64_t files = 0;
    int64_t toldFiles = 0;
    size_t lastFile = SIZE_MAX;
    bool lastTold = false;
  };
  Cause& causeNamed(std::string_view name);
  void record(size_t file, std::string_view cause, std::string_view line, bool onlyFirst);

  std::vector<Cause> causes_;  ///< in the order they were first met
  int64_t files_ = 0;
  size_t lastFile_ = SIZE_MAX;
};
/// Held while one file is committed, from its first save to the observer
/// call that records it; whoever holds it knows that every file written so
/// far has been recorded. Never destroyed.
std::mutex& commitGate();

/// `"path": reason`, the reason being the system's text for `error` (errno).
std::string pathAndReason(const std::string& path, int error);

}  // namespace trovabild
