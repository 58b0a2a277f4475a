// Several workers against one: the same names, bytes, lines, counters and
// random draws, and a stop that leaves an input-order prefix committed.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/messages.h"
#include "base/seams.h"
#include "batch/conversion_worker.h"
#include "batch/input_list.h"
#include "batch/run_plan.h"
#include "imaging/format_registry.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace trovabild {
namespace {

using testing::Rgba;
using testing::TempDir;

// Everything a run leaves behind that a user or a script can see.
struct RunOutcome {
  int clockReadings = 0;
  int32_t converted = 0;
  NamingCounters counters;
  std::map<std::string, std::vector<uint8_t>> files;  ///< name below out/ -> bytes
  std::vector<std::string> lines;
  std::vector<std::string> errors;
  std::vector<std::pair<int, int>> draws;  ///< each call of the random source
};

class ParallelConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    fillFormatRegistry();
    loadMessageTable();
    resetJob();
    std::filesystem::create_directories(dir_ / "in/sub");
    job.inputPath = dir_ / "in/";
  }
  void TearDown() override {
    setConsoleSink({});
    setErrorSink({});
    setRandomSource({});
    resetJob();  // its input path names this test's folder, which goes away
  }

  // A batch of good, broken and multi-frame icons, some in a subfolder.
  void writeMixedBatch() {
    for (int i = 0; i < 30; ++i) {
      const std::string name = (i % 7 == 3 ? "in/sub/" : "in/") + std::string(i < 10 ? "f0" : "f") +
                               std::to_string(i) + ".ico";
      if (i % 5 == 2) {
        testing::writeText(dir_ / name, "broken " + std::to_string(i));
        continue;
      }
      std::vector<Image> images;
      const int frames = 1 + i % 3;
      for (int k = 0; k < frames; ++k)
        images.push_back(testing::solidImage(8 * (k + 1), 8 * (k + 1), k == 1 ? 32 : 24,
                                             Rgba{static_cast<uint8_t>(i * 8), static_cast<uint8_t>(k * 60), 90,
                                                  static_cast<uint8_t>(k == 1 ? 128 : 255)}));
      std::vector<const Image*> pointers;
      for (const Image& image : images) pointers.push_back(&image);
      ASSERT_TRUE(testing::writeIco(dir_ / name, pointers));
    }
    // A file with a valid directory whose frame is cut short.
    std::vector<uint8_t> cut = testing::readBytes(dir_ / "in/f01.ico");
    cut.resize(cut.size() / 2);
    testing::writeBytes(dir_ / "in/f01x.ico", cut);
  }

  RunOutcome run(const Settings& config, int threads, const std::string& out,
                 const std::function<void(std::string_view)>& onLine = {}) {
    RunOutcome outcome;
    std::filesystem::create_directories(dir_ / out);
    RunRequest request;
    request.outputFolder = dir_ / (out + "/");
    request.outputFormats = {"jpg"};
    request.verbose = true;
    RunPreparation prepared = prepareRun(config, request);
    EXPECT_TRUE(prepared);
    prepared.plan.threads = threads;
    const std::string folder = prepared.plan.outputFolder;
    // The output folder differs between runs; the lines are compared without it.
    const auto strip = [folder](std::string_view line) {
      std::string text(line);
      for (size_t at = text.find(folder); at != std::string::npos; at = text.find(folder))
        text.replace(at, folder.size(), "OUT/");
      return text;
    };
    setConsoleSink([&](std::string_view line) {
      outcome.lines.push_back(strip(line));
      if (onLine) onLine(line);
    });
    setErrorSink([&](std::string_view line) { outcome.errors.push_back(strip(line)); });
    // A seeded source whose every draw is recorded with its bounds.
    uint32_t state = 12345;
    setRandomSource([&](int low, int high) {
      state = state * 1103515245u + 12345u;
      outcome.draws.emplace_back(low, high);
      return low + static_cast<int>((state >> 8) % static_cast<uint32_t>(high - low + 1));
    });
    // A clock one second later at each reading, every reading counted.
    setClock([&outcome] { return std::time_t{1700000000} + outcome.clockReadings++; });
    clearInputList();
    scanFolderTree(job.inputPath);
    outcome.counters = NamingCounters{7, 1};
    control_.start();
    outcome.converted = conversionWorker(prepared.plan, inputEntries(), outcome.counters, control_);
    setConsoleSink({});
    setErrorSink({});
    setRandomSource({});
    setClock({});
    for (const auto& item : std::filesystem::recursive_directory_iterator(dir_ / out))
      if (item.is_regular_file())
        outcome.files[item.path().lexically_relative(dir_ / out).string()] = testing::readBytes(item.path());
    return outcome;
  }

  TempDir dir_;
  RunControl control_;
};

TEST_F(ParallelConversion, FourWorkersGiveWhatOneGives) {
  writeMixedBatch();
  struct Case {
    const char* name;
    std::function<void(Settings&)> configure;
  };
  const std::vector<Case> cases = {
      {"every frame, counters in the name",
       [](Settings& s) { s.filenameMask = "%filename%-%n%-%rnd%.%ext%"; }},
      {"a random frame of each",
       [](Settings& s) {
         s.icoFrameLoading = 4;
         s.filenameMask = "%n%_%filename%_%rnd%.%ext%";
       }},
      {"the counter drawn into the image",
       [](Settings& s) {
         s.watermarkType = 1;
         s.wmText = "no. %n% / %rnd%";
         s.wmFont = "Liberation Sans";
         s.filenameMask = "%filename%_%n%.%ext%";
       }},
      {"the clock in the name and in the image",
       [](Settings& s) {
         s.watermarkType = 1;
         s.wmText = "%hh%:%ii%:%ss%";
         s.wmFont = "Liberation Sans";
         s.filenameMask = "%filename%_%ii%%ss%.%ext%";
       }},
      {"names that collide",
       [](Settings& s) {
         s.icoFrameLoading = 1;
         s.filenameMask = "same.%ext%";
         s.keepSubfolders = 0;
       }},
  };
  int round = 0;
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    Settings config = defaultSettings(true);
    test.configure(config);
    const RunOutcome one = run(config, 1, "one" + std::to_string(round));
    const RunOutcome four = run(config, 4, "four" + std::to_string(round));
    ++round;
    EXPECT_GT(one.converted, 0);
    EXPECT_EQ(four.converted, one.converted);
    EXPECT_EQ(four.counters.counter, one.counters.counter);
    EXPECT_EQ(four.counters.randomNumber, one.counters.randomNumber);
    EXPECT_EQ(four.draws, one.draws);
    // Read once per file, where the run's order is decided.
    EXPECT_EQ(four.clockReadings, one.clockReadings);
    EXPECT_LE(one.clockReadings, static_cast<int>(inputEntries().size()));
    EXPECT_EQ(four.lines, one.lines);
    EXPECT_EQ(four.errors, one.errors);
    ASSERT_EQ(four.files.size(), one.files.size());
    for (const auto& [name, bytes] : one.files) {
      const auto found = four.files.find(name);
      ASSERT_NE(found, four.files.end()) << name;
      EXPECT_TRUE(found->second == bytes) << name << " differs";
    }
  }
}

// A stop during the run: the files handed out by then are committed, in
// input order, and nothing after them is written.
TEST_F(ParallelConversion, AStopWritesNothingMore) {
  for (int i = 0; i < 40; ++i) {
    const Image image = testing::solidImage(32, 32, 24, Rgba{static_cast<uint8_t>(i * 6), 40, 200, 255});
    ASSERT_TRUE(testing::writeIco(dir_ / ("in/i" + std::to_string(100 + i) + ".ico"), {&image}));
  }
  Settings config = defaultSettings(true);
  int saved = 0;
  const RunOutcome outcome = run(config, 3, "out", [&](std::string_view line) {
    if (line.starts_with("[OK] Saving As:") && ++saved == 2) control_.requestStop();
  });
  EXPECT_GE(outcome.converted, 2);
  EXPECT_LT(outcome.converted, 40);
  // Nothing is written after the stop, not even the files converted ahead.
  EXPECT_EQ(outcome.converted, 2);
  EXPECT_EQ(static_cast<int32_t>(outcome.files.size()), outcome.converted);
  int expected = 100;
  for (const auto& [name, bytes] : outcome.files) EXPECT_EQ(name, "i" + std::to_string(expected++) + ".jpg");
}

// A pause holds the hand-out: a stop given while paused converts nothing
// more than what was already handed out (here, nothing at all).
TEST_F(ParallelConversion, AStopDuringAPauseHandsOutNothingMore) {
  for (int i = 0; i < 6; ++i) {
    const Image image = testing::solidImage(16, 16, 24, Rgba{10, 20, 30, 255});
    ASSERT_TRUE(testing::writeIco(dir_ / ("in/p" + std::to_string(i) + ".ico"), {&image}));
  }
  scanFolderTree(job.inputPath);
  RunRequest request;
  request.outputFolder = dir_ / "in/";
  request.outputFormats = {"jpg"};
  RunPreparation prepared = prepareRun(defaultSettings(true), request);
  ASSERT_TRUE(prepared);
  prepared.plan.threads = 2;
  NamingCounters counters;
  control_.setPaused(true);
  control_.start();
  std::atomic<int32_t> converted{-1};
  std::thread runner([&] { converted = conversionWorker(prepared.plan, inputEntries(), counters, control_); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(converted.load(), -1);  // still waiting
  control_.requestStop();
  control_.setPaused(false);
  runner.join();
  EXPECT_EQ(converted.load(), 0);
  EXPECT_FALSE(testing::fileExists(dir_ / "in/p0.jpg"));
}


// Files converted ahead guess the counters they will get; with every file
// converting, the guesses hold, and %n% and %rnd% in the watermark never
// make a file convert twice.
TEST_F(ParallelConversion, CountersInTheWatermarkAreGuessedRightAhead) {
  for (int i = 0; i < 12; ++i) {
    const Image image = testing::solidImage(16, 16, 24, Rgba{static_cast<uint8_t>(i * 20), 40, 200, 255});
    ASSERT_TRUE(testing::writeIco(dir_ / ("in/w" + std::to_string(10 + i) + ".ico"), {&image}));
  }
  scanFolderTree(job.inputPath);
  Settings config = defaultSettings(true);
  config.watermarkType = 1;
  config.wmText = "%n% %rnd%";
  config.wmFont = "Liberation Sans";
  RunRequest request;
  request.outputFolder = dir_ / "in/";
  request.outputFormats = {"jpg"};
  RunPreparation prepared = prepareRun(config, request);
  ASSERT_TRUE(prepared);
  prepared.plan.threads = 4;
  int files = 0, twice = 0;
  const FileObserver observer = [&](const FileRecord& record) {
    ++files;
    if (record.conversions > 1) ++twice;
  };
  NamingCounters counters;
  control_.start();
  EXPECT_EQ(conversionWorker(prepared.plan, inputEntries(), counters, control_, observer), 12);
  EXPECT_EQ(files, 12);
  EXPECT_EQ(twice, 0);
}

// The window's break question pauses the run in the middle: while it is
// open nothing new is written, although workers have files converted
// ahead; after a Yes nothing more is written at all.
TEST_F(ParallelConversion, APauseHoldsTheCommitsAndAStopAfterItWritesNothing) {
  for (int i = 0; i < 30; ++i) {
    const Image image = testing::solidImage(16, 16, 24, Rgba{static_cast<uint8_t>(i * 8), 40, 200, 255});
    ASSERT_TRUE(testing::writeIco(dir_ / ("in/q" + std::to_string(100 + i) + ".ico"), {&image}));
  }
  scanFolderTree(job.inputPath);
  std::filesystem::create_directories(dir_ / "out");
  RunRequest request;
  request.outputFolder = dir_ / "out/";
  request.outputFormats = {"jpg"};
  request.verbose = true;
  RunPreparation prepared = prepareRun(defaultSettings(true), request);
  ASSERT_TRUE(prepared);
  prepared.plan.threads = 3;
  const auto written = [this] {
    int count = 0;
    for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(dir_ / "out")) ++count;
    return count;
  };
  std::atomic<int> saved{0};
  setConsoleSink([&](std::string_view line) {
    // The question opens as the second file is reported.
    if (line.starts_with("[OK] Saving As:") && ++saved == 2) control_.setPaused(true);
  });
  NamingCounters counters;
  control_.start();
  std::atomic<int32_t> converted{-1};
  std::thread runner([&] { converted = conversionWorker(prepared.plan, inputEntries(), counters, control_); });
  while (saved < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // Time for the workers to finish what they hold, and for a commit that
  // ignored the pause to show.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(written(), 2);
  EXPECT_EQ(converted.load(), -1);  // still waiting
  control_.requestStop();  // the answer is Yes
  control_.setPaused(false);
  runner.join();
  setConsoleSink({});
  EXPECT_EQ(converted.load(), 2);
  EXPECT_EQ(written(), 2);
}

}  // namespace
}  // namespace trovabild
