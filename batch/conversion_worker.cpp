#include "batch/conversion_worker.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
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
#include "batch/paths.h"
#include "batch/run_report.h"
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

using FileIdentity = std::pair<dev_t, ino_t>;

std::optional<FileIdentity> identityOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{info.st_dev, info.st_ino};
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
    items_.push_back({identity.second, deviceNumber(identity.first), entry});
    if (items_.size() - sorted_ >= kTail) {
      std::sort(items_.begin() + static_cast<std::ptrdiff_t>(sorted_), items_.end());
      std::inplace_merge(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(sorted_), items_.end());
      sorted_ = items_.size();
    }
  }

  /// Calls `visit` with the entry of every item with this identity.
  template <typename Visit>
  void forEach(FileIdentity identity, Visit visit) const {
    const auto device = std::find(devices_.begin(), devices_.end(), identity.first);
    if (device == devices_.end()) return;
    const Item key{identity.second, static_cast<uint32_t>(device - devices_.begin()), 0};
    const auto same = [&key](const Item& item) { return item.inode == key.inode && item.device == key.device; };
    const auto sortedEnd = items_.begin() + static_cast<std::ptrdiff_t>(sorted_);
    for (auto it = std::lower_bound(items_.begin(), sortedEnd, key); it != sortedEnd && same(*it); ++it)
      visit(it->entry);
    for (auto it = sortedEnd; it != items_.end(); ++it)
      if (same(*it)) visit(it->entry);
  }

 private:
  static constexpr size_t kTail = 64;
  struct Item {
    ino_t inode;
    uint32_t device;
    uint32_t entry;
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
  explicit OutputGuard(const std::vector<InputEntry>& entries) : entries_(entries) {
    inputs_.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
      if (const auto identity = identityOf(entries[i].path)) inputs_.add(*identity, static_cast<uint32_t>(i));
  }

  // The line that refuses the write of entry `entry` to `path`, "" when it
  // may go ahead.
  std::string refusal(size_t entry, const std::string& path) const {
    const std::string& inputPath = entries_[entry].path;
    const std::string start = "Error: \"" + inputPath + "\" not converted: its output \"" + path + "\" ";
    // A dry run writes nothing: its planned paths stand for the files.
    if (const auto planned = planned_.find(path); planned != planned_.end() && planned->second != entry)
      return start + "was already written from \"" + entries_[planned->second].path + "\"";
    const auto identity = identityOf(path);
    if (!identity) return "";  // nothing there yet
    bool itself = false;
    std::optional<uint32_t> other;
    inputs_.forEach(*identity, [&](uint32_t found) {
      if (found == entry)
        itself = true;
      else if (!other)
        other = found;
    });
    if (itself) return start + "is the input file itself";
    if (other) return start + "is the input \"" + entries_[*other].path + "\" of this run";
    std::optional<uint32_t> writer;
    written_.forEach(*identity, [&](uint32_t found) {
      if (found != entry && !writer) writer = found;
    });
    if (writer) return start + "was already written from \"" + entries_[*writer].path + "\"";
    return "";
  }

  void recordWritten(size_t entry, FileIdentity identity) { written_.add(identity, static_cast<uint32_t>(entry)); }

  void recordPlanned(size_t entry, const std::string& path) { planned_.emplace(path, static_cast<uint32_t>(entry)); }

 private:
  const std::vector<InputEntry>& entries_;
  IdentityTable inputs_;
  IdentityTable written_;
  std::map<std::string, uint32_t> planned_;
};

// Why a file that gave no output failed: the line for standard error when
// it cannot even be opened ("" for a file that opens but is no icon).
std::string unopenableInputLine(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    close(fd);
    return "";
  }
  return "Error: cannot open " + pathAndReason(path, errno);
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

void ensureOutputSubfolders(const std::string& outputFolder, const std::string& subfolder) {
  if (fileSize(outputFolder + subfolder) == -2) return;
  std::string folder = outputFolder;
  size_t start = 0;
  for (size_t slash = subfolder.find('/'); slash != std::string::npos; slash = subfolder.find('/', start)) {
    folder += subfolder.substr(start, slash - start + 1);
    start = slash + 1;
    // A folder that cannot be made makes the save fail; the reason is told.
    if (fileSize(folder) != -2 && mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
      reportLeftOut("Error: cannot create " + pathAndReason(folder, errno));
  }
}

namespace {

// What a worker hands to the committer for one file.
struct ConvertedFile {
  FileConversion conversion;
  int64_t milliseconds = 0;
  std::string failure;  ///< why the conversion itself broke off, "" else
};

ConvertedFile convertEntry(const RunPlan& plan, const FileValues& values) {
  ConvertedFile result;
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
            BatchProgress& progress, const FileObserver& observer)
      : plan_(plan),
        entries_(entries),
        guard_(entries),
        counters_(counters),
        progress_(progress),
        observer_(observer) {}

  /// Shows the file as the one being worked on (its number counts from 1).
  void publish(int32_t number, const std::string& path) {
    std::lock_guard<std::mutex> hold(progressLock);
    progress_.processed = number;
    progress_.currentFile = path;
    progress_.lastDuration = duration_;
  }

  /// The values the file is converted with when it is converted in turn.
  FileValues valuesFor(const InputEntry& entry) const { return {entry.path, entry.subfolder, counters_}; }

  /// Writes one file's outputs; true when the file counts as converted.
  bool commit(size_t index, ConvertedFile converted) {
    std::lock_guard<std::mutex> gate(commitGate());
    const InputEntry& entry = entries_[index];
    const int64_t start = monotonicMilliseconds();
    RunPlan storage;
    const RunPlan& plan = planFor(plan_, entry, storage);
    const FileValues values = valuesFor(entry);
    FileConversion& conversion = converted.conversion;
    const int drawn = keepDrawnFrame(conversion);
    // A file converted ahead with counters that turned out different (an
    // earlier file failed) is converted again when its watermark shows them.
    const bool stale = std::ranges::any_of(
        conversion.outputs, [&](const FrameOutput& output) { return !watermarkStillValid(plan, values, output); });
    if (stale) {
      FileValues again = values;
      again.onlyFrame = drawn;
      std::vector<std::string> lines = std::move(conversion.lines);
      converted = convertEntry(plan, again);
      conversion.lines = std::move(lines);
    }
    // Files of one folder follow each other: their folder is made once.
    if (plan.keepSubfolders && !plan.dryRun &&
        (entry.subfolder != madeSubfolder_ || plan.outputFolder != madeBelow_)) {
      ensureOutputSubfolders(plan.outputFolder, entry.subfolder);
      madeSubfolder_ = entry.subfolder;
      madeBelow_ = plan.outputFolder;
    }
    for (const std::string& line : conversion.lines) printLine(line);
    FileRecord record;
    record.input = entry.path;
    record.framesFound = conversion.frameCount;
    const auto fail = [&record](const std::string& reason) {
      if (record.reason.empty()) record.reason = reason;
    };
    // The file counts as converted only when every frame that reached the
    // save was written; a refused or failed frame fails it.
    std::vector<std::string> written;
    bool success = !conversion.outputs.empty();
    bool refusalTold = false;
    for (FrameOutput& output : conversion.outputs) {
      output.path = finalOutputPath(plan, values, output);
      // The frames of one icon usually collide together: the first refusal
      // of an input is told (in a dry run, every one), the others only fail
      // their frames.
      if (const std::string refused = guard_.refusal(index, output.path); !refused.empty()) {
        if (!refusalTold || plan.dryRun)
          reportLeftOut(refused);
        else
          markLeftOut();
        refusalTold = true;
        success = false;
        fail(reasonOf(refused));
        continue;
      }
      if (!output.bytes) {
        success = false;
        fail("frame " + std::to_string(output.frame + 1) + " could not be converted");
        continue;
      }
      // A dry run prints the save it plans and only judges whether it could
      // be made; a real run makes it.
      int saveError = 0;
      FileIdentity identity{};
      if (plan.dryRun) {
        const bool exists = fileSize(output.path) >= 0;
        printLine("Dry run: \"" + entry.path + "\" frame " + std::to_string(output.frame + 1) + " of " +
                  std::to_string(conversion.frameCount) + " -> \"" + output.path + "\" (" +
                  (exists ? "exists" : "new") + ")");
        saveError = fileCouldBeSaved(output.path);
      } else {
        errno = 0;
        if (!writeFileReplacing(output.path, *output.bytes, &identity)) saveError = errno != 0 ? errno : EIO;
      }
      if (saveError != 0) {
        const std::string line = "Error: cannot write " + pathAndReason(output.path, saveError);
        reportLeftOut(line);
        fail(reasonOf(line));
        success = false;
        continue;
      }
      if (plan.dryRun) {
        guard_.recordPlanned(index, output.path);
      } else {
        written.push_back(output.path);
        guard_.recordWritten(index, identity);
      }
      record.outputs.push_back({output.path, output.names.width, output.names.height, output.names.targetBpp,
                                output.bytes->size()});
    }
    if (!converted.failure.empty()) {
      reportLeftOut("Error: cannot convert \"" + entry.path + "\": " + converted.failure);
      fail(converted.failure);
    } else if (conversion.outputs.empty()) {
      const std::string line = unopenableInputLine(entry.path);
      if (!line.empty()) reportLeftOut(line);
      fail(line.empty() ? (conversion.frameCount > 0 ? "no frame of the icon could be read" : "not an icon")
                        : reasonOf(line));
    }
    // Every file that was written is reported and stamped, even when another
    // image of the same icon failed.
    for (const std::string& path : written) {
      if (plan.verbose) printLine("[OK] Saving As: " + path);
      applyFileTimestamp(path, entry.path, plan.fileTimestamp, plan.customTimestamp);
    }
    record.framesWritten = static_cast<int>(record.outputs.size());
    record.converted = success;
    record.milliseconds = converted.milliseconds + monotonicMilliseconds() - start;
    if (observer_) observer_(record);
    if (success) {
      ++converted_;
      duration_ = std::max<int64_t>(record.milliseconds, 1000);
      counters_.randomNumber = randomInt(1, 99999);
      ++counters_.counter;
    } else {
      duration_ = 0;
      if (plan.verbose) printLine("[ERROR] Unable to convert the file!");
    }
    return success;
  }

  int32_t converted() const { return converted_; }
  const NamingCounters& counters() const { return counters_; }

 private:
  const RunPlan& plan_;
  const std::vector<InputEntry>& entries_;
  OutputGuard guard_;
  NamingCounters& counters_;
  BatchProgress& progress_;
  const FileObserver& observer_;
  int32_t converted_ = 0;
  int64_t duration_ = 0;
  std::string madeSubfolder_ = "\n";  ///< no file has "\n" as its subfolder
  std::string madeBelow_;
};

// One thread converts and commits each file in turn: no thread is started.
void convertInTurn(const RunPlan& plan, const std::vector<InputEntry>& entries, Committer& committer,
                   BatchProgress& progress) {
  int32_t number = 0;
  for (const InputEntry& entry : entries) {
    waitWhilePaused();
    if (!progress.running) break;
    committer.publish(++number, entry.path);
    RunPlan storage;
    committer.commit(static_cast<size_t>(number - 1),
                     convertEntry(planFor(plan, entry, storage), committer.valuesFor(entry)));
  }
}

// Files are converted ahead, in parallel, into a ring of slots, and the
// calling thread commits them in input order. It converts files itself while
// the next one to commit is not ready, so `threads` files are converted at
// once by threads - 1 workers and the committer. A file is handed out only
// while fewer than the ring's size are in flight, which bounds the memory.
class ParallelRun {
 public:
  ParallelRun(const RunPlan& plan, const std::vector<InputEntry>& entries, Committer& committer,
              BatchProgress& progress, int threads)
      : plan_(plan),
        entries_(entries),
        committer_(committer),
        progress_(progress),
        slots_(static_cast<size_t>(threads) * 2),
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

  // Commits every file handed out, in order, until the list ends or a stop
  // closes the hand-out.
  void commitAll() {
    for (size_t index = 0;; ++index) {
      std::unique_lock<std::mutex> hold(lock_);
      std::optional<ConvertedFile>& slot = slots_[index % slots_.size()];
      while (!slot) {
        if (closed_ && index >= next_) return;
        // Rather than wait, convert the next file (not during a pause), while
        // at most half the ring is in flight: with more, the workers are
        // ahead and the committer is better kept for committing.
        if (!closed_ && !backgroundPaused() && (next_ - committed_) * 2 < slots_.size()) {
          if (std::optional<Claim> claim = tryClaim()) {
            convertClaimed(hold, *claim);
            continue;
          }
          if (closed_) continue;  // the hand-out closed just now
        }
        changed_.wait(hold);
      }
      ConvertedFile converted = std::move(*slot);
      slot.reset();
      hold.unlock();

      const InputEntry& entry = entries_[index];
      committer_.publish(static_cast<int32_t>(index + 1), entry.path);
      const bool success = committer_.commit(index, std::move(converted));

      hold.lock();
      ++committed_;
      if (success) ++successes_;
      guess_.randomNumber = committer_.counters().randomNumber;
      hold.unlock();
      changed_.notify_all();
    }
  }

 private:
  struct Claim {
    size_t index;
    FileValues values;
  };

  // The next file to convert, when one may be handed out; closes the
  // hand-out at the end of the list or after a stop. Called under lock_.
  std::optional<Claim> tryClaim() {
    if (closed_ || next_ >= committed_ + slots_.size()) return std::nullopt;
    if (!progress_.running || next_ >= entries_.size()) {
      closed_ = true;
      changed_.notify_all();
      return std::nullopt;
    }
    const size_t index = next_++;
    // The counters the file gets if every file before it converts; the
    // committer converts it again in the rare case this matters and fails.
    Claim claim{index, FileValues{entries_[index].path, entries_[index].subfolder, guess_}};
    claim.values.counters.counter += static_cast<int32_t>(successes_ + (index - committed_));
    claim.values.drawRandomFrame = false;
    return claim;
  }

  // Converts a claimed file without the lock and puts it in its slot.
  void convertClaimed(std::unique_lock<std::mutex>& hold, const Claim& claim) {
    hold.unlock();
    RunPlan storage;
    ConvertedFile converted = convertEntry(planFor(plan_, entries_[claim.index], storage), claim.values);
    hold.lock();
    slots_[claim.index % slots_.size()] = std::move(converted);
    changed_.notify_all();
  }

  void work() {
    for (;;) {
      // A pause stops the hand-out; files already handed out go on.
      waitWhilePaused();
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
  BatchProgress& progress_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::optional<ConvertedFile>> slots_;
  NamingCounters guess_;
  size_t next_ = 0;       ///< the next file to hand out
  size_t committed_ = 0;  ///< files committed so far
  size_t successes_ = 0;  ///< of which converted
  bool closed_ = false;   ///< nothing more is handed out
  std::vector<std::thread> workers_;
};

}  // namespace

int32_t conversionWorker(const RunPlan& plan, const std::vector<InputEntry>& entries, NamingCounters& counters,
                         BatchProgress& progress, const FileObserver& observer) {
  Committer committer(plan, entries, counters, progress, observer);
  const int workers = static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(plan.threads, 1)), entries.size()));
  if (workers <= 1) {
    convertInTurn(plan, entries, committer, progress);
  } else {
    ParallelRun run(plan, entries, committer, progress, workers);
    run.commitAll();
  }
  std::lock_guard<std::mutex> hold(progressLock);
  progress.doneCount = committer.converted();
  return committer.converted();
}

}  // namespace trovabild
