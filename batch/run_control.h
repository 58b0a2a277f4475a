#pragma once
// Stop, pause and progress of one run, passed to whatever runs it (the
// scanners, the conversion engine) and to whatever shows it (the console's
// live line, the window's dialogs). One lock guards all of it, and every
// change wakes the threads that wait on it, so an engine that keeps its own
// state under the same lock sees a pause or a stop the moment it is asked.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace trovabild {

class RunControl {
 public:
  /// What the run has reached.
  struct Progress {
    int32_t processed = 0;     ///< the file or entry being worked on, counted from 1
    std::string currentFile;   ///< its path
    int64_t lastDuration = 0;  ///< milliseconds the last file took
    int32_t doneCount = 0;     ///< files converted or added so far
  };

  /// A new run: progress cleared, running. A pause asked for before holds
  /// the run from its first file.
  void start();
  /// Asks the run to stop: nothing more is handed out or written.
  void requestStop();
  bool running() const;
  /// While paused nothing is handed out or written; the run waits.
  void setPaused(bool paused);
  bool paused() const;
  /// Waits while the run is paused and not stopped; true when it may go on.
  bool proceed();

  Progress progress() const;
  /// The run works on its `processed`-th file or entry now.
  void publish(int32_t processed, const std::string& currentFile, int64_t lastDuration);
  void publishProcessed(int32_t processed);
  void setDoneCount(int32_t count);
  void addToDoneCount(int32_t count);

  /// For an engine that keeps its own state under this lock: the lock, the
  /// condition every change notifies, and the flags read with the lock held.
  std::mutex& lock() { return lock_; }
  std::condition_variable& changed() { return changed_; }
  bool runningLocked() const { return running_; }
  bool pausedLocked() const { return paused_; }
  /// Under lock(): waits while paused; true when the run may go on.
  bool proceedLocked(std::unique_lock<std::mutex>& hold);

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  Progress progress_;
  bool running_ = false;
  bool paused_ = false;
};

}  // namespace trovabild
