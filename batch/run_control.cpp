#include "batch/run_control.h"

namespace trovabild {

void RunControl::start() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    progress_ = {};
    running_ = true;
  }
  changed_.notify_all();
}

void RunControl::requestStop() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    running_ = false;
  }
  changed_.notify_all();
}

bool RunControl::running() const {
  std::lock_guard<std::mutex> hold(lock_);
  return running_;
}

void RunControl::setPaused(bool paused) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    paused_ = paused;
  }
  changed_.notify_all();
}

bool RunControl::paused() const {
  std::lock_guard<std::mutex> hold(lock_);
  return paused_;
}

bool RunControl::proceed() {
  std::unique_lock<std::mutex> hold(lock_);
  return proceedLocked(hold);
}

bool RunControl::proceedLocked(std::unique_lock<std::mutex>& hold) {
  changed_.wait(hold, [this] { return !paused_ || !running_; });
  return running_;
}

RunControl::Progress RunControl::progress() const {
  std::lock_guard<std::mutex> hold(lock_);
  return progress_;
}

void RunControl::publish(int32_t processed, const std::string& currentFile, int64_t lastDuration) {
  std::lock_guard<std::mutex> hold(lock_);
  progress_.processed = processed;
  progress_.currentFile = currentFile;
  progress_.lastDuration = lastDuration;
}

void RunControl::publishProcessed(int32_t processed) {
  std::lock_guard<std::mutex> hold(lock_);
  progress_.processed = processed;
}

void RunControl::setDoneCount(int32_t count) {
  std::lock_guard<std::mutex> hold(lock_);
  progress_.doneCount = count;
}

void RunControl::addToDoneCount(int32_t count) {
  std::lock_guard<std::mutex> hold(lock_);
  progress_.doneCount += count;
}

}  // namespace trovabild
