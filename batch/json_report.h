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

class JsonReport {
 public:
  /// `path` "-" means standard output, written once at the end.
  explicit JsonReport(std::string path);
  ~JsonReport();
  JsonReport(const JsonReport&) = delete;
  JsonReport& operator=(const JsonReport&) = delete;

  /// Writes the empty report; false (with the reason in error()) when the
  /// file cannot be written.
  bool start(bool dryRun);
  /// The options of the run as the settings listing names them.
  void addOption(std::string label, std::string value);
  /// The number of inputs the run will go through.
  void setInputCount(int32_t inputs);
  /// Records one input; the file on disk follows at most every half second.
  void add(const FileRecord& record);
  /// Writes the summary; false (with error()) when the report cannot be written.
  bool finish(ExitStatus status, int32_t inputs);
  /// "path": reason of the last failed write.
  const std::string& error() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace trovabild
