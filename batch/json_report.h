#pragma once
// The machine-readable report of a batch: one record per input and a
// summary, kept on disk as valid JSON while the run goes.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/exit_status.h"
#include "batch/conversion_worker.h"

namespace trovabild {

/// The report is written as it grows: the records so far followed by a
/// closing tail with the summary. New records are buffered and written at
/// most every half second over the old tail, with a new tail after them, so
/// that the file is whole JSON between writes and the program keeps no list
/// of the records. Every member may be called from any thread.
class JsonReport {
 public:
  /// `path` "-" means standard output: the head is written at start, the
  /// records as they come and the summary at the end.
  explicit JsonReport(std::string path);
  ~JsonReport();
  JsonReport(const JsonReport&) = delete;
  JsonReport& operator=(const JsonReport&) = delete;

  /// Writes the empty report (replacing any file at the path); false (with
  /// the reason in error()) when the file cannot be written.
  bool start(bool dryRun);
  /// The options of the run as the settings listing names them.
  void addOption(std::string label, std::string value);
  /// The number of inputs the run will go through.
  void setInputCount(int32_t inputs);
  /// Records one input; the file on disk follows at most every half second.
  void add(const FileRecord& record);
  /// The line that stopped the run before it converted anything; the
  /// summary carries it as "error".
  void setRunError(std::string line);
  /// Writes the records not written yet and the summary (starting the
  /// report first when start was not called); false (with error()) when the
  /// report cannot be written. Nothing is written after it.
  bool finish(ExitStatus status, int32_t inputs);
  /// For a run that an ending signal stops: writes the records not written
  /// yet and a summary that names the signal ("interrupted": "SIGINT") and
  /// keeps "finished" false. Nothing is written after it; does nothing after
  /// finish or before start.
  void interrupt(int signalNumber);
  /// "path": reason of the first failed write.
  std::string error() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace trovabild
