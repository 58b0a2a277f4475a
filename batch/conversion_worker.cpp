#include "batch/conversion_worker.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <map>
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

// Keeps a run from destroying what it must keep: the input being converted,
// the other inputs of the run, and any file an earlier input of the same run
// has written. Other files that existed before the run are replaced as usual.
class OutputGuard {
 public:
  explicit OutputGuard(const std::vector<InputEntry>& entries) {
    for (const InputEntry& entry : entries) {
      struct stat info {};
      if (stat(entry.path.c_str(), &info) == 0) inputs_.emplace(FileIdentity{info.st_dev, info.st_ino}, entry.path);
    }
  }

  // False when the write must be refused; the reason goes to standard error
  // when `tell`, and the run counts as partial either way.
  bool mayWrite(const std::string& inputPath, const std::string& path, bool tell) const {
    const auto refuse = [tell](const std::string& line) {
      if (tell)
        reportLeftOut(line);
      else
        markLeftOut();
      return false;
    };
    struct stat target {};
    if (stat(path.c_str(), &target) != 0) return true;  // nothing there yet
    const FileIdentity identity{target.st_dev, target.st_ino};
    struct stat input {};
    if (stat(inputPath.c_str(), &input) == 0 && input.st_dev == target.st_dev &&
        input.st_ino == target.st_ino) {
      return refuse("Error: \"" + inputPath + "\" not converted: its output \"" + path +
                    "\" is the input file itself");
    }
    if (const auto other = inputs_.find(identity); other != inputs_.end()) {
      return refuse("Error: \"" + inputPath + "\" not converted: its output \"" + path +
                    "\" is the input \"" + other->second + "\" of this run");
    }
    const auto found = written_.find(identity);
    if (found != written_.end() && found->second != inputPath) {
      return refuse("Error: \"" + inputPath + "\" not converted: its output \"" + path +
                    "\" was already written from \"" + found->second + "\"");
    }
    return true;
  }

  void recordWritten(const std::string& inputPath, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
      struct stat info {};
      if (stat(path.c_str(), &info) == 0) written_[{info.st_dev, info.st_ino}] = inputPath;
    }
  }

 private:
  std::map<FileIdentity, std::string> inputs_;
  std::map<FileIdentity, std::string> written_;
};

// Says why a file that failed could not be read, when it cannot even be
// opened (a file that opens but is no icon needs no reason).
void reportUnopenableInput(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    close(fd);
    return;
  }
  reportLeftOut("Error: cannot open " + pathAndReason(path, errno));
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

int32_t conversionWorker(const RunPlan& plan, const std::vector<InputEntry>& entries, NamingCounters& counters,
                         BatchProgress& progress) {
  int32_t index = 0;
  int32_t converted = 0;
  int64_t duration = 0;
  OutputGuard guard(entries);
  for (const InputEntry& entry : entries) {
    waitWhilePaused();
    if (!progress.running) break;
    ++index;
    {
      std::lock_guard<std::mutex> hold(progressLock);
      progress.processed = index;
      progress.currentFile = entry.path;
      progress.lastDuration = duration;
    }
    // An input of several without an output folder writes beside itself.
    const RunPlan* entryPlan = &plan;
    RunPlan ownPlan;
    if (!entry.outputFolder.empty() && entry.outputFolder != plan.outputFolder) {
      ownPlan = plan;
      ownPlan.outputFolder = entry.outputFolder;
      entryPlan = &ownPlan;
    }
    if (plan.keepSubfolders) ensureOutputSubfolders(entryPlan->outputFolder, entry.subfolder);
    const int64_t start = monotonicMilliseconds();
    const FileConversion conversion = convertFile(*entryPlan, FileValues{entry.path, entry.subfolder, counters});
    for (const std::string& line : conversion.lines) printLine(line);
    // The file counts as converted only when every frame that reached the
    // save was written; a refused or failed frame fails it.
    std::vector<std::string> written;
    bool success = !conversion.outputs.empty();
    bool refusalTold = false;
    for (const FrameOutput& output : conversion.outputs) {
      // The frames of one icon usually collide together: the first refusal
      // of an input is told, the others only fail their frames.
      if (!guard.mayWrite(entry.path, output.path, !refusalTold)) {
        refusalTold = true;
        success = false;
        continue;
      }
      if (!output.bytes) {
        success = false;
        continue;
      }
      errno = 0;
      if (writeFileReplacing(output.path, *output.bytes)) {
        written.push_back(output.path);
        continue;
      }
      const int error = errno != 0 ? errno : EIO;
      reportLeftOut("Error: cannot write " + pathAndReason(output.path, error));
      success = false;
    }
    guard.recordWritten(entry.path, written);
    if (conversion.outputs.empty()) reportUnopenableInput(entry.path);
    // Every file that was written is reported and stamped, even when another
    // image of the same icon failed.
    for (const std::string& path : written) {
      if (plan.verbose) printLine("[OK] Saving As: " + path);
      applyFileTimestamp(path, entry.path, plan.fileTimestamp, plan.customTimestamp);
    }
    if (success) {
      ++converted;
      duration = std::max<int64_t>(monotonicMilliseconds() - start, 1000);
      counters.randomNumber = randomInt(1, 99999);
      ++counters.counter;
    } else {
      duration = 0;
      if (plan.verbose) printLine("[ERROR] Unable to convert the file!");
    }
  }
  std::lock_guard<std::mutex> hold(progressLock);
  progress.doneCount = converted;
  return converted;
}

}  // namespace trovabild
