// The executable under conditions a shell can create: closed standard
// streams, ending signals in the middle of a batch, and temporary files left
// by a run that was killed.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

namespace trovabild {
namespace {

using testing::TempDir;

// Starts trovabildcmd with its own runtime and temporary folders. Standard
// input is /dev/null and the outputs go to `capture`, except that the
// descriptor `closed` (when not -1) is closed instead.
pid_t start(const std::vector<std::string>& args, const TempDir& runtime, const std::string& capture,
            int closed = -1) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int in = open("/dev/null", O_RDONLY);
  const int out = open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(in, 0);
  dup2(out, 1);
  dup2(out, 2);
  close(in);
  close(out);
  if (closed >= 0) close(closed);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) signal(signalNumber, SIG_DFL);
  setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  setenv("TMPDIR", runtime.path().c_str(), 1);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  std::string exe = TROVABILD_EXE;
  std::vector<std::string> copies(args);
  std::vector<char*> argv{exe.data()};
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  execv(exe.c_str(), argv.data());
  _exit(127);
}

std::vector<std::string> temporaryFilesIn(const std::string& folder) {
  std::vector<std::string> found;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir))
      if (std::string(entry->d_name).starts_with(".trovabild-")) found.push_back(entry->d_name);
    closedir(dir);
  }
  return found;
}

// An icon of random-looking pixels, slow enough to compress that a save
// is in progress most of the time.
void writeNoisyIcon(const std::string& path) {
  Image frame(FreeImage_Allocate(256, 256, 32));
  uint32_t seed = 12345;
  for (int y = 0; y < 256; ++y) {
    BYTE* row = FreeImage_GetScanLine(frame.get(), y);
    for (int x = 0; x < 256 * 4; ++x) {
      seed = seed * 1103515245u + 12345u;
      row[x] = static_cast<BYTE>(seed >> 16);
    }
  }
  ASSERT_TRUE(testing::writeIco(path, {&frame}));
}

// in/0000.ico .. in/NNNN.ico below `dir`: one noisy icon and hard links to it.
void makeLinkedBatch(const TempDir& dir, int count) {
  mkdir((dir / "in").c_str(), 0777);
  writeNoisyIcon(dir / "in/0000.ico");
  for (int i = 1; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "in/%04d.ico", i);
    ASSERT_EQ(link((dir / "in/0000.ico").c_str(), (dir / name).c_str()), 0);
  }
}

TEST(ProcessSafety, ClosedStandardStreamsNeverReceiveFiles) {
  for (int closed : {0, 1, 2}) {
    SCOPED_TRACE(closed);
    TempDir runtime, dir;
    const pid_t pid = start({"-i", dir / "missing.ico", "-o", dir.path()}, runtime, dir / "capture", closed);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    // The console text went to the terminal or nowhere, never into the lock.
    const std::string lock = runtime / "Trovabild 2.9.lock";
    ASSERT_TRUE(testing::fileExists(lock));
    EXPECT_EQ(testing::readText(lock), "");
    if (closed != 1) {
      EXPECT_NE(testing::readText(dir / "capture").find("Error: Invalid input file"), std::string::npos);
    }
  }
}

// Each signal comes at many moments of a run: while a large output is being
// written, and between the saves of many small ones (where a new temporary
// file is made just as the process ends).
TEST(ProcessSafety, EndingSignalsRemoveTheTemporaryFileOfTheSave) {
  TempDir dir;
  ASSERT_NO_FATAL_FAILURE(makeLinkedBatch(dir, 300));
  struct Timing {
    const char* what;
    std::vector<std::string> size;
    int rounds;
    int firstDelayMs;
    int stepMs;
  };
  const Timing timings[] = {
      {"large outputs", {"--width=1500", "--height=1500", "--jpg-quality=100"}, 2, 300, 150},
      {"many small outputs", {"--width=8", "--height=8"}, 14, 80, 9},
  };
  int kills = 0;
  int killedMidway = 0;
  int run = 0;
  for (const Timing& timing : timings) {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
      for (int round = 0; round < timing.rounds; ++round) {
        SCOPED_TRACE(std::string(timing.what) + ", signal " + std::to_string(signalNumber) + " round " +
                     std::to_string(round));
        TempDir runtime;
        const std::string out = dir / ("out" + std::to_string(run++));
        mkdir(out.c_str(), 0777);
        std::vector<std::string> args = {"-i", dir / "in", "-o", out};
        args.insert(args.end(), timing.size.begin(), timing.size.end());
        const pid_t pid = start(args, runtime, dir / "capture");
        std::this_thread::sleep_for(std::chrono::milliseconds(timing.firstDelayMs + timing.stepMs * round));
        kill(pid, signalNumber);
        ++kills;
        int status = 0;
        waitpid(pid, &status, 0);
        // Killed by the signal itself, so the shell reports 128 + its number.
        if (WIFSIGNALED(status)) {
          EXPECT_EQ(WTERMSIG(status), signalNumber);
          ++killedMidway;
        }
        EXPECT_EQ(temporaryFilesIn(out), std::vector<std::string>{});
      }
    }
  }
  EXPECT_GT(killedMidway, kills * 2 / 3) << "the batch ended before most signals came";
}

// An ending signal in the middle of a run completes its report: whole JSON
// that says the run was interrupted, with the counts so far, and lists
// exactly the files on disk.
TEST(ProcessSafety, AnEndingSignalCompletesTheReport) {
  namespace fs = std::filesystem;
  TempDir dir;
  ASSERT_NO_FATAL_FAILURE(makeLinkedBatch(dir, 400));
  const std::pair<int, const char*> signals[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};
  for (const auto& [signalNumber, name] : signals) {
    SCOPED_TRACE(name);
    TempDir runtime;
    const std::string out = dir / ("out-" + std::string(name));
    const std::string reportPath = dir / ("report-" + std::string(name) + ".json");
    const pid_t pid = start({"-i", dir / "in", "-o", out, "--report=" + reportPath, "--width=700", "--height=700"},
                            runtime, dir / "capture");
    // The signal comes once a few outputs exist.
    const auto outputs = [&out] {
      std::error_code error;
      auto items = fs::directory_iterator(out, error);
      return error ? 0 : std::distance(items, fs::directory_iterator());
    };
    while (outputs() < 4 && waitpid(pid, nullptr, WNOHANG) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, signalNumber);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before the signal came";
    EXPECT_EQ(WTERMSIG(status), signalNumber);

    const nlohmann::json report = nlohmann::json::parse(testing::readText(reportPath));
    const nlohmann::json& summary = report.at("summary");
    EXPECT_EQ(summary.at("finished"), false);
    EXPECT_EQ(summary.value("interrupted", ""), name);
    EXPECT_EQ(summary.at("inputs"), 400);
    EXPECT_EQ(summary.at("processed"), report.at("files").size());
    EXPECT_EQ(summary.at("not_processed"), 400 - static_cast<int>(report.at("files").size()));
    std::set<std::string> listed;
    for (const nlohmann::json& file : report.at("files"))
      for (const nlohmann::json& output : file.at("outputs")) listed.insert(output.at("path"));
    EXPECT_EQ(summary.at("outputs"), listed.size());
    std::set<std::string> onDisk;
    for (const auto& item : fs::directory_iterator(out)) onDisk.insert(item.path().string());
    EXPECT_GE(onDisk.size(), 4u);
    EXPECT_EQ(listed, onDisk);
  }
}

TEST(ProcessSafety, ALaterRunRemovesTemporaryFilesOfEndedRuns) {
  TempDir dir, runtime;
  mkdir((dir / "in").c_str(), 0777);
  mkdir((dir / "out").c_str(), 0777);
  writeNoisyIcon(dir / "in/a.ico");
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  const std::string stale = ".trovabild-" + std::to_string(child) + "-3.tmp";
  const std::string live = ".trovabild-" + std::to_string(getpid()) + "-3.tmp";
  testing::writeText(dir / ("out/" + stale), "partial");
  testing::writeText(dir / ("out/" + live), "being written");
  const pid_t pid = start({"-i", dir / "in", "-o", dir / "out"}, runtime, dir / "capture");
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testing::readText(dir / "capture");
  EXPECT_TRUE(testing::fileExists(dir / "out/a.jpg"));
  EXPECT_EQ(temporaryFilesIn(dir / "out"), std::vector<std::string>{live});
}

}  // namespace
}  // namespace trovabild
