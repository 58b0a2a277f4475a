#include "batch/conversion_worker.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <vector>

#include "base/console.h"
#include "base/seams.h"
#include "batch/file_conversion.h"
#include "batch/paths.h"

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
    if (fileSize(folder) != -2) mkdir(folder.c_str(), 0777);
  }
}

int32_t conversionWorker(const RunPlan& plan, const std::vector<InputEntry>& entries, NamingCounters& counters,
                         BatchProgress& progress) {
  int32_t index = 0;
  int32_t converted = 0;
  int64_t duration = 0;
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
    if (plan.keepSubfolders) ensureOutputSubfolders(plan.outputFolder, entry.subfolder);
    const int64_t start = monotonicMilliseconds();
    const FileConversion conversion = convertFile(plan, FileValues{entry.path, entry.subfolder, counters});
    for (const std::string& line : conversion.lines) printLine(line);
    std::vector<std::string> written;
    const bool success = writeOutputs(conversion, written);
    // Every file that was written is reported and stamped, even when a later
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
