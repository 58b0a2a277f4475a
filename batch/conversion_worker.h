#pragma once
// The conversion of every entry of the input list: plan.threads workers
// convert files ahead in parallel, and one committer writes them in input
// order, so that any number of workers gives the same files, names, lines
// and counters as one.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "batch/input_list.h"
#include "batch/run_control.h"
#include "batch/run_plan.h"

namespace trovabild {

/// One output as it was written (planned, in a dry run).
struct OutputRecord {
  std::string path;
  int width = 0;
  int height = 0;
  int depth = 0;  ///< bits per pixel as saved
  uint64_t bytes = 0;
};

/// What became of one input, as the committer settled it.
struct FileRecord {
  std::string input;
  bool converted = false;
  std::string reason;  ///< the first reason it failed, "" when converted
  int framesFound = 0;
  int framesWritten = 0;
  std::vector<OutputRecord> outputs;
  int64_t milliseconds = 0;  ///< conversion and save
  /// Times the file was converted: 2 when it was converted ahead with
  /// counters that an earlier failure changed, and its watermark shows them.
  int conversions = 1;
};

/// The most bytes the files converted ahead may hold at once (their
/// estimated working memory, then their encoded outputs), whatever the
/// thread count; a file that alone needs more is converted on its own.
constexpr uint64_t kBytesInFlight = uint64_t{384} << 20;

/// The bytes held by the files converted ahead. A file is let in while the
/// bytes in flight and its own stay within the limit; with nothing in flight
/// any file is let in, so that one larger than the limit runs on its own.
/// Not synchronised: its owner guards it.
class InFlightBudget {
 public:
  explicit InFlightBudget(uint64_t limit) : limit_(limit) {}
  /// Counts `bytes` in when they fit; false leaves everything as it was.
  bool admit(uint64_t bytes) {
    if (inFlight_ > 0 && (bytes > limit_ || inFlight_ > limit_ - bytes)) return false;
    inFlight_ += bytes;
    return true;
  }
  /// A file counted with `from` bytes now holds `to` (0 once it is done).
  void change(uint64_t from, uint64_t to) { inFlight_ = inFlight_ - from + to; }
  uint64_t inFlight() const { return inFlight_; }

 private:
  uint64_t limit_;
  uint64_t inFlight_ = 0;
};

/// One output to be written, as the committer planned it.
struct PlannedWrite {
  const std::string& input;  ///< the input's path
  int frame = 0;             ///< 0-based index of the image in the icon
  int frameCount = 0;        ///< images in the icon
  const std::string& path;   ///< the output file
  const std::vector<uint8_t>& bytes;
};

/// Where a run's outputs go once the committer has decided them: the disk,
/// a dry run that only says what it would write, or a fake in the tests.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  /// Makes `outputFolder` + `subfolder` for the outputs of an input: 0, or
  /// the errno of the level that could not be made, named in `failed`.
  virtual int makeFolders(const std::string& outputFolder, const std::string& subfolder, std::string* failed) = 0;
  /// Writes one output: 0, or the errno of the failure.
  virtual int write(const PlannedWrite& write) = 0;
  /// Sets the time of a file written, as the run's timestamp setting asks.
  virtual void stamp(const std::string& path, const std::string& input, int fileTimestamp,
                     int32_t customTimestamp) = 0;
  /// True when outputs land on the disk: the guard then knows them by their
  /// identity there, else by their paths.
  virtual bool writesFiles() const = 0;
};

/// The real disk: folders made, files written under a temporary name and
/// renamed into place, then stamped.
class DiskSink : public OutputSink {
 public:
  int makeFolders(const std::string& outputFolder, const std::string& subfolder, std::string* failed) override;
  int write(const PlannedWrite& write) override;
  void stamp(const std::string& path, const std::string& input, int fileTimestamp, int32_t customTimestamp) override;
  bool writesFiles() const override { return true; }
};

/// A dry run: makes no folder, writes and stamps nothing; prints a
/// "Dry run:" line per output and judges whether it could be written.
class DryRunSink : public OutputSink {
 public:
  int makeFolders(const std::string&, const std::string&, std::string*) override { return 0; }
  int write(const PlannedWrite& write) override;
  void stamp(const std::string&, const std::string&, int, int32_t) override {}
  bool writesFiles() const override { return false; }
};

/// Called on the committing thread after each file, in input order.
using FileObserver = std::function<void(const FileRecord&)>;

/// Converts `entries` with the plan until the list ends or `control` is
/// stopped. A pause holds the hand-out of files and their commits alike;
/// after a stop nothing more is written (files converted ahead are dropped).
/// With one worker, or one file, everything runs on the calling thread.
/// Publishes the file being committed in `control`, leaves the number
/// converted as its done count and returns it. `counters` give the %rnd% and
/// %n% values of the first file and are advanced after each converted file.
/// A file counts as converted when every frame that reached the save was
/// written. Every file that fails gets a line on standard error with its
/// reason: one that cannot be opened or is no icon, a frame that cannot be
/// decoded, converted or encoded, a save that fails, and a save that would
/// replace the input itself, another input of the list, or a file an
/// earlier input of this run wrote (refused). A cause gets lines for its
/// first few files only; the run ends with how many more failed for each
/// cause and a summary of the causes.
/// A dry run (plan.dryRun) does everything but the save: it prints a
/// "Dry run:" line per planned output, makes no folder, writes and stamps
/// nothing, and refuses and counts as the real run would.
/// An entry with its own output folder writes there instead of the plan's. Nothing else
/// is read or written outside its arguments, but those lines and the
/// console lines of a verbose plan.
/// `sink` (when given) takes the outputs instead of the disk or the dry run
/// that the plan asks for.
int32_t conversionWorker(const RunPlan& plan, const std::vector<InputEntry>& entries, NamingCounters& counters,
                         RunControl& control, const FileObserver& observer = {}, OutputSink* sink = nullptr);

/// Creates `outputFolder` + `subfolder` level by level. 0 when the folder is
/// there, else the errno of the first level that could not be made, whose
/// path `failed` (when given) receives.
int ensureOutputSubfolders(const std::string& outputFolder, const std::string& subfolder,
                           std::string* failed = nullptr);

/// Sets the modification time of `path` as `fileTimestamp` asks: 1 that of
/// `input`, 2 `customTimestamp` (local-time seconds), 0 nothing. Failures
/// are ignored.
void applyFileTimestamp(const std::string& path, const std::string& input, int fileTimestamp,
                        int32_t customTimestamp);

}  // namespace trovabild
