#include "batch/conversion_worker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <map>
#include <new>
#include <optional>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "base/console.h"
#include "base/seams.h"
#include "batch/file_conversion.h"
#include "batch/output_naming.h"
#include "batch/paths.h"
#include "batch/run_report.h"
#include "imaging/conversion.h"
#include "imaging/ico_guard.h"
#include "imaging/output_depth.h"

namespace trovabild {

namespace {

int64_t monotonicMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A stored date counts seconds as if local wall-clock time were UTC; read it
// as a broken-down local time and let mktime find the real instant.
std::time_t instantOfLocalSeconds(int32_t localSeconds) {
  const std::time_t value = localSeconds;
  std::tm broken{};
  gmtime_r(&value, &broken);
  broken.tm_isdst = -1;
  return mktime(&broken);
}

void setModificationTime(const std::string& path, const timespec& when) {
  const timespec times[2] = {{0, UTIME_OMIT}, when};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// A file as the run knows it: device and inode, and a stamp that tells a
// later file on a reused inode from it: its birth time where the file system
// keeps one, else (for files this run wrote, read once they are complete)
// its last change. 0 stands for any stamp.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  uint32_t stamp = 0;
};

uint32_t stampOf(const statx_timestamp& time) {
  const uint64_t mixed = static_cast<uint64_t>(time.tv_sec) * 1000000007u ^ time.tv_nsec;
  return static_cast<uint32_t>(mixed ^ mixed >> 32) | 1u;  // never 0
}

// `changeStamps`: without a birth time, stamp the file with its last change.
std::optional<FileIdentity> identityOf(const std::string& path, bool changeStamps = false) {
  struct statx info {};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_INO | STATX_BTIME | STATX_CTIME, &info) != 0) return std::nullopt;
  FileIdentity identity{makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino, 0};
  if (info.stx_mask & STATX_BTIME)
    identity.stamp = stampOf(info.stx_btime);
  else if (changeStamps)
    identity.stamp = stampOf(info.stx_ctime);
  return identity;
}

// Files known by their identity, each with the index of an input entry.
// Kept compact for runs of many thousands of files: 16 bytes an item in a
// sorted vector, with the latest additions in a short unsorted tail merged
// in now and then; devices are numbered in the order they are met.
class IdentityTable {
 public:
  void reserve(size_t count) { items_.reserve(count); }

  void add(FileIdentity identity, uint32_t entry) {
    // Grown by a quarter at a time, as the input list is.
    if (items_.size() == items_.capacity()) items_.reserve(items_.size() + items_.size() / 4 + 64);
    items_.push_back({identity.inode, deviceNumber(identity.device), entry, identity.stamp});
    if (items_.size() - sorted_ >= kTail) {
      std::sort(items_.begin() + static_cast<std::ptrdiff_t>(sorted_), items_.end());
      std::inplace_merge(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(sorted_), items_.end());
      sorted_ = items_.size();
    }
  }

  /// Calls `visit` with the entry of every item that is this file: the same
  /// device and inode, and the same stamp where both have one.
  template <typename Visit>
  void forEach(FileIdentity identity, Visit visit) const {
    const auto device = std::find(devices_.begin(), devices_.end(), identity.device);
    if (device == devices_.end()) return;
    const Item key{identity.inode, static_cast<uint32_t>(device - devices_.begin()), 0, 0};
    const auto same = [&key, &identity](const Item& item) {
      return item.inode == key.inode && item.device == key.device &&
             (item.stamp == 0 || identity.stamp == 0 || item.stamp == identity.stamp);
    };
    const auto sortedEnd = items_.begin() + static_cast<std::ptrdiff_t>(sorted_);
    const auto sameInode = [&key](const Item& item) { return item.inode == key.inode && item.device == key.device; };
    for (auto it = std::lower_bound(items_.begin(), sortedEnd, key); it != sortedEnd && sameInode(*it); ++it)
      if (same(*it)) visit(it->entry);
    for (auto it = sortedEnd; it != items_.end(); ++it)
      if (same(*it)) visit(it->entry);
  }

 private:
  static constexpr size_t kTail = 64;
  struct Item {
    ino_t inode;
    uint32_t device;
    uint32_t entry;
    uint32_t stamp;
    auto operator<=>(const Item&) const = default;
  };

  uint32_t deviceNumber(dev_t device) {
    const auto found = std::find(devices_.begin(), devices_.end(), device);
    if (found != devices_.end()) return static_cast<uint32_t>(found - devices_.begin());
    devices_.push_back(device);
    return static_cast<uint32_t>(devices_.size() - 1);
  }

  std::vector<Item> items_;
  size_t sorted_ = 0;
  std::vector<dev_t> devices_;
};

// Keeps a run from destroying what it must keep: the input being converted,
// the other inputs of the run, and any file an earlier input of the same run
// has written. Other files that existed before the run are replaced as usual.
class OutputGuard {
 public:
  /// Why a write is refused: the cause for the run's summary and the line.
  struct Refusal {
    std::string cause;
    std::string line;
  };

  explicit OutputGuard(const std::vector<InputEntry>& entries) : entries_(entries) {
    inputs_.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
      if (const auto identity = identityOf(entries[i].path)) inputs_.add(*identity, static_cast<uint32_t>(i));
  }

  // Why the write of entry `entry` to `path` is refused; nothing when it may
  // go ahead.
  std::optional<Refusal> refusal(size_t entry, const std::string& path) const {
    const std::string& inputPath = entries_[entry].path;
    const std::string start = "Error: \"" + inputPath + "\" not converted: its output \"" + path + "\" ";
    const auto refuse = [&start](std::string cause, const std::string& rest) {
      return Refusal{std::move(cause), start + rest};
    };
    // A dry run writes nothing: its planned paths stand for the files.
    if (const auto planned = planned_.find(path); planned != planned_.end() && planned->second != entry)
      return refuse("its output was written from another input",
                    "was already written from \"" + entries_[planned->second].path + "\"");
    const auto identity = identityOf(path, true);
    if (!identity) return std::nullopt;  // nothing there yet
    bool itself = false;
    std::optional<uint32_t> other;
    inputs_.forEach(*identity, [&](uint32_t found) {
      if (found == entry)
        itself = true;
      else if (!other)
        other = found;
    });
    if (itself) return refuse("its output is the input itself", "is the input file itself");
    if (other)
      return refuse("its output is another input", "is the input \"" + entries_[*other].path + "\" of this run");
    std::optional<uint32_t> writer;
    written_.forEach(*identity, [&](uint32_t found) {
      if (found != entry && !writer) writer = found;
    });
    if (writer)
      return refuse("its output was written from another input",
                    "was already written from \"" + entries_[*writer].path + "\"");
    return std::nullopt;
  }

  /// `path` was written for `entry` and is complete (stamped included).
  void recordWritten(size_t entry, const std::string& path) {
    if (const auto identity = identityOf(path, true)) written_.add(*identity, static_cast<uint32_t>(entry));
  }

  void recordPlanned(size_t entry, const std::string& path) { planned_.emplace(path, static_cast<uint32_t>(entry)); }

 private:
  const std::vector<InputEntry>& entries_;
  IdentityTable inputs_;
  IdentityTable written_;
  std::map<std::string, uint32_t> planned_;
};

// The cause a reason is counted under: its words before the first ": ",
// without the "image N: " that names a frame.
std::string causeOf(std::string_view reason) {
  if (reason.starts_with("image ")) {
    const size_t colon = reason.find(": ");
    if (colon != std::string_view::npos) reason.remove_prefix(colon + 2);
  }
  return std::string(reason.substr(0, reason.find(": ")));
}

// A reason for the report: the error line without its "Error: ".
std::string reasonOf(std::string_view line) {
  if (line.starts_with("Error: ")) line.remove_prefix(7);
  return std::string(line);
}

}  // namespace

void applyFileTimestamp(const std::string& path, const std::string& input, int fileTimestamp,
                        int32_t customTimestamp) {
  if (fileTimestamp == 1) {
    struct stat info {};
    if (stat(input.c_str(), &info) == 0) setModificationTime(path, info.st_mtim);
  } else if (fileTimestamp == 2) {
    setModificationTime(path, timespec{instantOfLocalSeconds(customTimestamp), 0});
  }
}

int ensureOutputSubfolders(const std::string& outputFolder, const std::string& subfolder, std::string* failed) {
  if (fileSize(outputFolder + subfolder) == -2) return 0;
  std::string folder = outputFolder;
  size_t start = 0;
  for (size_t slash = subfolder.find('/'); slash != std::string::npos; slash = subfolder.find('/', start)) {
    folder += subfolder.substr(start, slash - start + 1);
    start = slash + 1;
    if (fileSize(folder) != -2 && mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
      const int error = errno;
      if (failed != nullptr) *failed = folder;
      return error;
    }
  }
  return 0;
}

namespace {

// What a worker hands to the committer for one file.
// What is settled for a file as it is handed out, in input order, so that
// any number of workers reads the clock and the random source in the same
// order as one: the moment its date tokens show, its RANDOM frame, and the
// %rnd% value that follows it when it converts.
struct HandOut {
  std::time_t time = -1;
  int frameDraw = -1;
  int32_t randomAfter = 1;
};

HandOut handOut(const RunPlan& plan) {
  HandOut drawn;
  drawn.time = currentTime();
  if (plan.pipeline.icoFrameLoading == kRandomFrameLoading) drawn.frameDraw = randomInt(0, kFrameDrawSpan - 1);
  drawn.randomAfter = randomInt(1, 99999);
  return drawn;
}

// The values a file is converted with: its counters and its hand-out.
FileValues fileValues(const InputEntry& entry, const NamingCounters& counters, const HandOut& drawn) {
  FileValues values{entry.path, entry.subfolder, counters};
  values.time = drawn.time;
  values.frameDraw = drawn.frameDraw;
  return values;
}

struct ConvertedFile {
  HandOut drawn;
  FileConversion conversion;
  int64_t milliseconds = 0;
  std::string failure;  ///< why the conversion itself broke off, "" else
};

ConvertedFile convertEntry(const RunPlan& plan, const FileValues& values, const HandOut& drawn) {
  ConvertedFile result;
  result.drawn = drawn;
  const int64_t start = monotonicMilliseconds();
  try {
    result.conversion = convertFile(plan, values);
  } catch (const std::bad_alloc&) {
    result.conversion = {};
    result.failure = "not enough memory";
  }
  result.milliseconds = monotonicMilliseconds() - start;
  return result;
}

// The bytes a converted file holds until it is committed.
uint64_t heldBytes(const ConvertedFile& converted) {
  uint64_t bytes = 0;
  for (const FrameOutput& output : converted.conversion.outputs)
    if (output.bytes) bytes += output.bytes->size();
  return bytes;
}

// An input of several without an output folder writes beside itself.
const RunPlan& planFor(const RunPlan& plan, const InputEntry& entry, RunPlan& storage) {
  if (!entry.outputFolder || *entry.outputFolder == plan.outputFolder) return plan;
  storage = plan;
  storage.outputFolder = *entry.outputFolder;
  return storage;
}

// Writes the converted files in input order: everything that depends on the
// order of the run happens here, on one thread — the final names with their
// counters and dates, the overwrite checks, the saves, the lines, the
// timestamps, the draws from the random source and the progress.
class Committer {
 public:
  Committer(const RunPlan& plan, const std::vector<InputEntry>& entries, NamingCounters& counters,
            RunControl& control, const FileObserver& observer, OutputSink& sink)
      : plan_(plan),
        entries_(entries),
        guard_(entries),
        counters_(counters),
        control_(control),
        observer_(observer),
        sink_(sink) {}

  /// Shows the file as the one being worked on (its number counts from 1).
  void publish(int32_t number, const std::string& path) { control_.publish(number, path, duration_); }

  /// The values the file is converted with when it is converted in turn.
  FileValues valuesFor(const InputEntry& entry, const HandOut& drawn) const {
    return fileValues(entry, counters_, drawn);
  }

  /// Writes one file's outputs; true when the file counts as converted.
  bool commit(size_t index, ConvertedFile converted) {
    std::lock_guard<std::mutex> gate(commitGate());
    const InputEntry& entry = entries_[index];
    const int64_t start = monotonicMilliseconds();
    RunPlan storage;
    const RunPlan& plan = planFor(plan_, entry, storage);
    const FileValues values = valuesFor(entry, converted.drawn);
    FileConversion& conversion = converted.conversion;
    // A file converted ahead with counters that turned out different (an
    // earlier file failed) is converted again when its watermark shows them.
    const bool stale = std::ranges::any_of(conversion.outputs, [&](const FrameOutput& output) {
      return output.failure.empty() && !watermarkStillValid(plan, values, output);
    });
    int conversions = 1;
    if (stale) {
      std::vector<std::string> lines = std::move(conversion.lines);
      converted = convertEntry(plan, values, converted.drawn);
      conversion.lines = std::move(lines);
      ++conversions;
    }
    FileRecord record;
    record.input = entry.path;
    record.framesFound = conversion.frameCount;
    record.conversions = conversions;
    bool success = !conversion.outputs.empty();
    const auto fail = [&](const Failure& failure) {
      if (failure.everyLine)
        failures_.fail(index, failure.cause, failure.line);
      else
        failures_.failAgain(index, failure.cause, failure.line);
      if (record.reason.empty()) record.reason = reasonOf(failure.line);
      success = false;
    };
    // Files of one folder follow each other: their folder is made once. A
    // folder that cannot be made fails its files with that reason alone.
    if (plan.keepSubfolders && (entry.subfolder != madeSubfolder_ || plan.outputFolder != madeBelow_)) {
      folderError_ = sink_.makeFolders(plan.outputFolder, entry.subfolder, &missingFolder_);
      madeSubfolder_ = entry.subfolder;
      madeBelow_ = plan.outputFolder;
    }
    const bool noFolder = plan.keepSubfolders && folderError_ != 0 && !conversion.outputs.empty();
    if (noFolder)
      fail({"cannot create folder: " + std::string(std::strerror(folderError_)),
            "Error: cannot create " + pathAndReason(missingFolder_, folderError_)});
    for (const std::string& line : conversion.lines) printLine(line);
    // The file counts as converted only when every frame that reached the
    // save was written; a refused or failed frame fails it.
    std::vector<std::string> written;
    for (const Step& step : planWrites(index, plan, values, conversion)) {
      if (!step.output) {
        fail(step.failure);
        continue;
      }
      const FrameOutput& output = *step.output;
      if (noFolder) continue;
      if (const int error =
              sink_.write({entry.path, output.frame, conversion.frameCount, output.path, *output.bytes});
          error != 0) {
        fail({"cannot write: " + std::string(std::strerror(error)),
              "Error: cannot write " + pathAndReason(output.path, error)});
        continue;
      }
      written.push_back(output.path);
      record.outputs.push_back({output.path, output.names.width, output.names.height, output.names.targetBpp,
                                output.bytes->size()});
    }
    if (!converted.failure.empty()) {
      fail({converted.failure, "Error: cannot convert \"" + entry.path + "\": " + converted.failure});
    } else if (conversion.outputs.empty()) {
      if (conversion.readError != 0) {
        fail({"cannot open: " + std::string(std::strerror(conversion.readError)),
              "Error: cannot open " + pathAndReason(entry.path, conversion.readError)});
      } else {
        fail({causeOf(conversion.failure), "Error: cannot convert \"" + entry.path + "\": " + conversion.failure});
      }
    }
    // Every file that was written is reported, stamped and then known to the
    // guard, even when another image of the same icon failed; a dry run's
    // planned files are known by their paths.
    for (const std::string& path : written) {
      if (!sink_.writesFiles()) {
        guard_.recordPlanned(index, path);
        continue;
      }
      if (plan.verbose) printLine("[OK] Saving As: " + path);
      sink_.stamp(path, entry.path, plan.fileTimestamp, plan.customTimestamp);
      guard_.recordWritten(index, path);
    }
    record.framesWritten = static_cast<int>(record.outputs.size());
    record.converted = success;
    record.milliseconds = converted.milliseconds + monotonicMilliseconds() - start;
    if (observer_) observer_(record);
    if (success) {
      ++converted_;
      duration_ = std::max<int64_t>(record.milliseconds, 1000);
      counters_.randomNumber = converted.drawn.randomAfter;
      ++counters_.counter;
    } else {
      duration_ = 0;
      if (plan.verbose) printLine("[ERROR] Unable to convert the file!");
    }
    return success;
  }

  int32_t converted() const { return converted_; }
  const NamingCounters& counters() const { return counters_; }
  const FailureLog& failures() const { return failures_; }

 private:
  /// A failed output: the cause it counts under and its line; `everyLine`
  /// tells each one (the collisions of a dry run), else the file's first
  /// line of a cause stands for the rest.
  struct Failure {
    std::string cause;
    std::string line;
    bool everyLine = false;
  };
  /// One output as planned: written (`output`, its path set), or failed.
  struct Step {
    const FrameOutput* output = nullptr;
    Failure failure;
  };

  /// Decides each output of the file, in order, writing nothing: its final
  /// name, whether the name can be a file, whether the guard lets it
  /// replace what is there, and the line of each failure.
  std::vector<Step> planWrites(size_t index, const RunPlan& plan, const FileValues& values,
                               FileConversion& conversion) const {
    const std::string& input = entries_[index].path;
    std::vector<Step> steps;
    steps.reserve(conversion.outputs.size());
    for (FrameOutput& output : conversion.outputs) {
      if (!output.failure.empty()) {
        steps.push_back({nullptr, {causeOf(output.failure), "Error: cannot convert \"" + input + "\": " + output.failure}});
        continue;
      }
      output.path = finalOutputPath(plan, values, output);
      if (output.path.empty()) {
        const std::string name = finalOutputName(plan, values, output);
        const std::string problem = outputNameProblem(name);
        steps.push_back({nullptr,
                         {"its output name " + problem,
                          "Error: \"" + input + "\" not converted: its output name \"" + name + "\" " + problem}});
        continue;
      }
      // The frames of one icon usually collide together: the first refusal
      // of an input is told (in a dry run, every one), the others only fail
      // their frames.
      if (const auto refused = guard_.refusal(index, output.path)) {
        steps.push_back({nullptr, {refused->cause, refused->line, plan.dryRun}});
        continue;
      }
      steps.push_back({&output, {}});
    }
    return steps;
  }

  const RunPlan& plan_;
  const std::vector<InputEntry>& entries_;
  OutputGuard guard_;
  NamingCounters& counters_;
  RunControl& control_;
  const FileObserver& observer_;
  OutputSink& sink_;
  FailureLog failures_;
  int32_t converted_ = 0;
  int64_t duration_ = 0;
  std::string madeSubfolder_ = "\n";  ///< no file has "\n" as its subfolder
  std::string madeBelow_;
  int folderError_ = 0;        ///< why that folder could not be made, 0 when it was
  std::string missingFolder_;  ///< the level of it that could not be made
};

// One thread converts and commits each file in turn: no thread is started.
void convertInTurn(const RunPlan& plan, const std::vector<InputEntry>& entries, Committer& committer,
                   RunControl& control) {
  int32_t number = 0;
  for (const InputEntry& entry : entries) {
    if (!control.proceed()) break;
    committer.publish(++number, entry.path);
    RunPlan storage;
    const HandOut drawn = handOut(plan);
    committer.commit(static_cast<size_t>(number - 1),
                     convertEntry(planFor(plan, entry, storage), committer.valuesFor(entry, drawn), drawn));
  }
}

// What one file may cost while it is converted, before its outputs are
// known: its bytes read whole, as much again for its encoded outputs, and
// the decoded frames and step copies of one frame of the largest size.
uint64_t estimatedBytes(const InputEntry& entry) {
  constexpr uint64_t kFrameWork = 24u << 20;
  struct stat info {};
  const uint64_t size = stat(entry.path.c_str(), &info) == 0 && info.st_size > 0
                            ? std::min<uint64_t>(static_cast<uint64_t>(info.st_size), kMaxIconFileSize)
                            : 0;
  return 2 * size + kFrameWork;
}

// Files are converted ahead, in parallel, into a ring of slots, and the
// calling thread commits them in input order. It converts files itself while
// the next one to commit is not ready, so `threads` files are converted at
// once by threads - 1 workers and the committer. A file is handed out only
// while fewer than the ring's size are in flight and the bytes they hold
// (estimated until a file is converted, then its encoded outputs) stay within
// kBytesInFlight, so memory stays bounded whatever the thread count; a file
// larger than that budget is converted on its own.
class ParallelRun {
 public:
  ParallelRun(const RunPlan& plan, const std::vector<InputEntry>& entries, Committer& committer,
              RunControl& control, int threads)
      : plan_(plan),
        entries_(entries),
        committer_(committer),
        control_(control),
        lock_(control.lock()),
        changed_(control.changed()),
        slots_(static_cast<size_t>(threads) * 2),
        costs_(slots_.size(), 0),
        guess_(committer.counters()) {
    workers_.reserve(static_cast<size_t>(threads - 1));
    for (int k = 1; k < threads; ++k) workers_.emplace_back([this] { work(); });
  }

  ~ParallelRun() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      closed_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }

  ParallelRun(const ParallelRun&) = delete;
  ParallelRun& operator=(const ParallelRun&) = delete;

  // Commits every file handed out, in order, until the list ends or a stop.
  // A pause holds the commits as it holds the hand-out; after a stop nothing
  // more is written, not even the files converted ahead.
  void commitAll() {
    for (size_t index = 0;; ++index) {
      std::unique_lock<std::mutex> hold(lock_);
      std::optional<ConvertedFile>& slot = slots_[index % slots_.size()];
      while (!slot) {
        if (closed_ && index >= next_) return;
        // Rather than wait, convert the next file (not during a pause), while
        // at most half the ring is in flight: with more, the workers are
        // ahead and the committer is better kept for committing.
        if (!closed_ && !control_.pausedLocked() && (next_ - committed_) * 2 < slots_.size()) {
          if (std::optional<Claim> claim = tryClaim()) {
            convertClaimed(hold, *claim);
            continue;
          }
          if (closed_) continue;  // the hand-out closed just now
        }
        changed_.wait(hold);
      }
      if (!control_.proceedLocked(hold)) {
        closed_ = true;
        changed_.notify_all();
        return;
      }
      ConvertedFile converted = std::move(*slot);
      slot.reset();
      budget_.change(costs_[index % slots_.size()], 0);
      costs_[index % slots_.size()] = 0;
      hold.unlock();

      const InputEntry& entry = entries_[index];
      committer_.publish(static_cast<int32_t>(index + 1), entry.path);
      const bool success = committer_.commit(index, std::move(converted));

      hold.lock();
      ++committed_;
      if (success) ++successes_;
      hold.unlock();
      changed_.notify_all();
    }
  }

 private:
  struct Claim {
    size_t index;
    FileValues values;
    HandOut drawn;
  };

  // The next file to convert, when one may be handed out (none during a
  // pause); closes the hand-out at the end of the list or after a stop.
  // Called under lock_.
  std::optional<Claim> tryClaim() {
    if (closed_ || next_ >= committed_ + slots_.size()) return std::nullopt;
    if (!control_.runningLocked() || next_ >= entries_.size()) {
      closed_ = true;
      changed_.notify_all();
      return std::nullopt;
    }
    if (control_.pausedLocked()) return std::nullopt;
    if (nextCost_ == 0) nextCost_ = estimatedBytes(entries_[next_]);
    if (!budget_.admit(nextCost_)) return std::nullopt;
    costs_[next_ % slots_.size()] = nextCost_;
    nextCost_ = 0;
    const size_t index = next_++;
    // The counters the file gets if every file before it converts: the
    // counter advanced by each of them, the %rnd% value the one before it
    // draws. The committer converts it again in the rare case this matters
    // and some file failed.
    const HandOut drawn = handOut(plan_);
    NamingCounters counters = guess_;
    counters.counter += static_cast<int32_t>(successes_ + (index - committed_));
    guess_.randomNumber = drawn.randomAfter;
    return Claim{index, fileValues(entries_[index], counters, drawn), drawn};
  }

  // Converts a claimed file without the lock and puts it in its slot.
  void convertClaimed(std::unique_lock<std::mutex>& hold, const Claim& claim) {
    hold.unlock();
    RunPlan storage;
    ConvertedFile converted =
        convertEntry(planFor(plan_, entries_[claim.index], storage), claim.values, claim.drawn);
    const uint64_t held = heldBytes(converted);
    hold.lock();
    // From now on the file holds its encoded outputs only.
    uint64_t& cost = costs_[claim.index % slots_.size()];
    budget_.change(cost, held);
    cost = held;
    slots_[claim.index % slots_.size()] = std::move(converted);
    changed_.notify_all();
  }

  void work() {
    for (;;) {
      // A pause stops the hand-out; files already handed out go on.
      std::unique_lock<std::mutex> hold(lock_);
      std::optional<Claim> claim;
      changed_.wait(hold, [&] {
        claim = tryClaim();
        return claim || closed_;
      });
      if (!claim) return;
      convertClaimed(hold, *claim);
    }
  }

  const RunPlan& plan_;
  const std::vector<InputEntry>& entries_;
  Committer& committer_;
  RunControl& control_;
  std::mutex& lock_;                   ///< the run control's: a pause or stop wakes the ring
  std::condition_variable& changed_;
  std::vector<std::optional<ConvertedFile>> slots_;
  std::vector<uint64_t> costs_;  ///< the bytes each slot's file is counted with
  InFlightBudget budget_{kBytesInFlight};  ///< the files handed out, not committed
  uint64_t nextCost_ = 0;        ///< the estimate of the next file, once made
  NamingCounters guess_;
  size_t next_ = 0;       ///< the next file to hand out
  size_t committed_ = 0;  ///< files committed so far
  size_t successes_ = 0;  ///< of which converted
  bool closed_ = false;   ///< nothing more is handed out
  std::vector<std::thread> workers_;
};

}  // namespace

int DiskSink::makeFolders(const std::string& outputFolder, const std::string& subfolder, std::string* failed) {
  return ensureOutputSubfolders(outputFolder, subfolder, failed);
}

int DiskSink::write(const PlannedWrite& write) {
  errno = 0;
  if (writeFileReplacing(write.path, write.bytes)) return 0;
  return errno != 0 ? errno : EIO;
}

void DiskSink::stamp(const std::string& path, const std::string& input, int fileTimestamp, int32_t customTimestamp) {
  applyFileTimestamp(path, input, fileTimestamp, customTimestamp);
}

int DryRunSink::write(const PlannedWrite& write) {
  const bool exists = fileSize(write.path) >= 0;
  printLine("Dry run: \"" + write.input + "\" frame " + std::to_string(write.frame + 1) + " of " +
            std::to_string(write.frameCount) + " -> \"" + write.path + "\" (" + (exists ? "exists" : "new") + ")");
  return fileCouldBeSaved(write.path);
}

int32_t conversionWorker(const RunPlan& plan, const std::vector<InputEntry>& entries, NamingCounters& counters,
                         RunControl& control, const FileObserver& observer, OutputSink* sink) {
  DiskSink disk;
  DryRunSink dryRun;
  if (sink == nullptr) sink = plan.dryRun ? static_cast<OutputSink*>(&dryRun) : &disk;
  Committer committer(plan, entries, counters, control, observer, *sink);
  const int workers = static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(plan.threads, 1)), entries.size()));
  if (workers <= 1) {
    convertInTurn(plan, entries, committer, control);
  } else {
    ParallelRun run(plan, entries, committer, control, workers);
    run.commitAll();
  }
  committer.failures().printSummary();
  control.setDoneCount(committer.converted());
  return committer.converted();
}

}  // namespace trovabild
