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

std::mutex& commitGate() {
  static std::mutex& gate = *new std::mutex;
  return gate;
}

std::string pathAndReason(const std::string& path, int error) {
  return "\"" + path + "\": " + std::strerror(error);
}

}  // namespace trovabild
