#include "batch/run_report.h"

#include <atomic>
#include <cstring>

#include "base/console.h"

namespace trovabild {

namespace {
std::atomic<bool> leftOut{false};
}  // namespace

void reportLeftOut(std::string_view line) {
  leftOut = true;
  printErrorLine(line);
}

void markLeftOut() { leftOut = true; }

bool runLeftSomethingOut() { return leftOut; }

void resetRunReport() { leftOut = false; }

ExitStatus runExitStatus(int32_t converted, int32_t inputs) {
  if (converted == 0) return ExitStatus::failed;
  return converted == inputs && !runLeftSomethingOut() ? ExitStatus::ok : ExitStatus::partial;
}

std::mutex& commitGate() {
  static std::mutex& gate = *new std::mutex;
  return gate;
}

std::string pathAndReason(const std::string& path, int error) {
  return "\"" + path + "\": " + std::strerror(error);
}

FailureLog::Cause& FailureLog::causeNamed(std::string_view name) {
  for (Cause& cause : causes_)
    if (cause.name == name) return cause;
  causes_.push_back({std::string(name)});
  return causes_.back();
}

void FailureLog::record(size_t file, std::string_view causeName, std::string_view line, bool onlyFirst) {
  markLeftOut();
  if (file != lastFile_) {
    lastFile_ = file;
    ++files_;
  }
  Cause& cause = causeNamed(causeName);
  const bool newFile = cause.lastFile != file;
  if (newFile) {
    cause.lastFile = file;
    ++cause.files;
    cause.lastTold = cause.toldFiles < kFilesTold;
    if (cause.lastTold) ++cause.toldFiles;
  } else if (onlyFirst) {
    return;
  }
  if (cause.lastTold) printErrorLine(line);
}

void FailureLog::fail(size_t file, std::string_view cause, std::string_view line) { record(file, cause, line, false); }

void FailureLog::failAgain(size_t file, std::string_view cause, std::string_view line) {
  record(file, cause, line, true);
}

void FailureLog::printSummary() const {
  // One failed file has said all there is to say in its own line.
  if (files_ < 2) return;
  std::string counts;
  for (const Cause& cause : causes_) {
    if (cause.files > cause.toldFiles)
      printErrorLine("Error: " + std::to_string(cause.files - cause.toldFiles) + " more file" +
                     (cause.files - cause.toldFiles == 1 ? "" : "s") + " failed: " + cause.name);
    counts += (counts.empty() ? "" : "; ") + std::to_string(cause.files) + " " + cause.name;
  }
  printErrorLine("Failed files: " + std::to_string(files()) + " (" + counts + ")");
}

}  // namespace trovabild
