#include "batch/conversion_worker.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "base/messages.h"
#include "base/seams.h"
#include "batch/input_list.h"
#include "batch/paths.h"
#include "imaging/format_registry.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"
#include "tests/support/write_seam.h"

namespace trovabild {
namespace {

using testing::Rgba;
using testing::TempDir;

std::time_t modificationTime(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return -1;
  return info.st_mtim.tv_sec;
}

void setModificationTime(const std::string& path, std::time_t when) {
  const timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// A run over the icons of in/, written to out/, planned as the driver plans it.
class ConversionWorker : public ::testing::Test {
 protected:
  void SetUp() override {
    fillFormatRegistry();
    loadMessageTable();
    resetJob();
    mkdir((dir_ / "in").c_str(), 0777);
    mkdir((dir_ / "out").c_str(), 0777);
    // The input list takes the subfolders relative to this folder.
    job.inputPath = dir_ / "in/";
    setConsoleSink([this](std::string_view line) { lines_.emplace_back(line); });
    setErrorSink([this](std::string_view line) { errors_.emplace_back(line); });
  }
  void TearDown() override {
    setConsoleSink({});
    setErrorSink({});
    clearInputList();
  }

  RunPlan plan() const {
    RunRequest request;
    request.outputFolder = dir_ / "out/";
    request.outputFormats = {"jpg"};
    request.verbose = verbose_;
    RunPreparation prepared = prepareRun(config_, request);
    EXPECT_TRUE(prepared);
    return std::move(prepared.plan);
  }

  void writeIcon(const std::string& name, Rgba colour, int frames = 1) {
    std::vector<Image> images;
    std::vector<const Image*> pointers;
    for (int i = 0; i < frames; ++i) images.push_back(testing::solidImage(16 * (frames - i), 16 * (frames - i), 24, colour));
    for (const auto& image : images) pointers.push_back(&image);
    ASSERT_TRUE(testing::writeIco(dir_ / ("in/" + name), pointers));
  }

  int32_t runWorker() {
    const RunPlan run = plan();
    control_.start();
    std::thread worker([&] { conversionWorker(run, inputEntries(), counters_, control_); });
    worker.join();
    return control_.progress().doneCount;
  }

  Settings config_ = defaultSettings(true);
  NamingCounters counters_;
  RunControl control_;
  bool verbose_ = false;
  TempDir dir_;
  std::vector<std::string> lines_;
  std::vector<std::string> errors_;
};

TEST_F(ConversionWorker, NumbersOnlyTheFilesThatConverted) {
  writeIcon("a.ico", {255, 0, 0, 255});
  testing::writeText(dir_ / "in/b.ico", "not an icon at all");
  writeIcon("c.ico", {0, 0, 255, 255});
  counters_.randomNumber = 7;
  config_.filenameMask = "%filename%-%n%-%rnd%.%ext%";
  setRandomSource([](int, int) { return 99999; });
  EXPECT_EQ(scanFolderTree(job.inputPath), 3);
  EXPECT_EQ(runWorker(), 2);
  setRandomSource({});
  EXPECT_TRUE(testing::fileExists(dir_ / "out/a-00001-00007.jpg"));
  EXPECT_TRUE(testing::fileExists(dir_ / "out/c-00002-99999.jpg"));
  EXPECT_EQ(counters_.counter, 3);
  EXPECT_EQ(control_.progress().processed, 3);
  EXPECT_EQ(control_.progress().currentFile, dir_ / "in/c.ico");
  EXPECT_TRUE(lines_.empty());  // only debug runs print
}

// A disk that fills during the save: the file fails, the JPEG written by an
// earlier run stays whole, and no temporary file is left.
TEST_F(ConversionWorker, AFullDiskFailsTheFileAndKeepsTheOldOutput) {
  writeIcon("a.ico", {255, 0, 0, 255});
  testing::writeText(dir_ / "out/a.jpg", "the good old JPEG");
  scanFolderTree(job.inputPath);
  auto seam = testing::failWritesAfter(300);
  verbose_ = true;
  EXPECT_EQ(runWorker(), 0);
  seam->end();
  EXPECT_EQ(testing::readText(dir_ / "out/a.jpg"), "the good old JPEG");
  std::vector<std::string> names;
  DIR* folder = opendir((dir_ / "out").c_str());
  while (const dirent* entry = readdir(folder)) names.emplace_back(entry->d_name);
  closedir(folder);
  EXPECT_EQ(names.size(), 3u) << "only ., .. and a.jpg";
  EXPECT_EQ(lines_.back(), "[ERROR] Unable to convert the file!");
  EXPECT_EQ(errors_, std::vector<std::string>{"Error: cannot write \"" + dir_ / "out/a.jpg" +
                                              "\": No space left on device"});
}

// One image of a two-image icon fails to save, the first or the last: the
// other is still written and reported, but the file counts as failed.
TEST_F(ConversionWorker, AFileConvertsOnlyWhenEveryImageWasWritten) {
  writeIcon("a.ico", {255, 0, 0, 255}, 2);
  scanFolderTree(job.inputPath);
  verbose_ = true;
  for (int failing : {0, 1}) {
    SCOPED_TRACE(failing);
    lines_.clear();
    errors_.clear();
    for (const char* name : {"out/a[1].jpg", "out/a[2].jpg"}) unlink((dir_ / name).c_str());
    auto calls = std::make_shared<int>(0);
    // Each small image goes out in one write.
    auto seam = std::make_unique<testing::ScopedWriteSeam>([calls, failing](int fd, const void* data, size_t size) -> ssize_t {
      if ((*calls)++ == failing) {
        errno = ENOSPC;
        return -1;
      }
      return ::write(fd, data, size);
    });
    EXPECT_EQ(runWorker(), 0);
    seam->end();
    const std::string failed = dir_ / (failing == 0 ? "out/a[1].jpg" : "out/a[2].jpg");
    const std::string kept = dir_ / (failing == 0 ? "out/a[2].jpg" : "out/a[1].jpg");
    EXPECT_TRUE(testing::fileExists(kept));
    EXPECT_FALSE(testing::fileExists(failed));
    EXPECT_EQ(errors_, std::vector<std::string>{"Error: cannot write \"" + failed + "\": No space left on device"});
    EXPECT_EQ(lines_, (std::vector<std::string>{"Processing: " + dir_ / "in/a.ico", "File Format: ICO",
                                                "[OK] Saving As: " + kept, "[ERROR] Unable to convert the file!"}));
  }
}

// Inputs that are no longer regular files when their turn comes, and names
// that would leave the output folder, fail alone and at once.
TEST_F(ConversionWorker, InputsThatTurnedSpecialAndEscapingNamesFailAtOnce) {
  writeIcon("a.ico", {255, 0, 0, 255});
  writeIcon("b.ico", {0, 255, 0, 255});
  writeIcon("...ico", {0, 0, 255, 255});  // its base name is ".."
  writeIcon("c.ico", {0, 0, 255, 255});
  scanFolderTree(job.inputPath);
  ASSERT_EQ(inputEntries().size(), 4u);
  unlink((dir_ / "in/a.ico").c_str());
  ASSERT_EQ(mkfifo((dir_ / "in/a.ico").c_str(), 0600), 0);
  unlink((dir_ / "in/b.ico").c_str());
  ASSERT_EQ(symlink("/dev/zero", (dir_ / "in/b.ico").c_str()), 0);
  config_.filenameMask = "%filename%/x.%ext%";
  mkdir((dir_ / "out/c").c_str(), 0777);
  verbose_ = true;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(runWorker(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(testing::fileExists(dir_ / "out/c/x.jpg"));
  EXPECT_FALSE(testing::fileExists(dir_ / "x.jpg"));
}

TEST_F(ConversionWorker, PrintsABlockPerFileInDebugRuns) {
  writeIcon("a.ico", {255, 0, 0, 255}, 2);
  testing::writeText(dir_ / "in/b.ico", "not an icon at all");
  verbose_ = true;
  scanFolderTree(job.inputPath);
  EXPECT_EQ(runWorker(), 1);
  const std::vector<std::string> expected = {
      "Processing: " + dir_ / "in/a.ico",
      "File Format: ICO",
      "[OK] Saving As: " + dir_ / "out/a[1].jpg",
      "[OK] Saving As: " + dir_ / "out/a[2].jpg",
      "Processing: " + dir_ / "in/b.ico",
      "File Format: [ERROR] UNRECOGNIZED",
      "[ERROR] Unable to convert the file!",
  };
  EXPECT_EQ(lines_, expected);
}

TEST_F(ConversionWorker, KeepsOrFlattensSubfolders) {
  mkdir((dir_ / "in/a").c_str(), 0777);
  mkdir((dir_ / "in/a/b").c_str(), 0777);
  writeIcon("a/b/deep.ico", {0, 255, 0, 255});
  scanFolderTree(job.inputPath);
  ASSERT_EQ(inputEntries().at(0).subfolder, "a/b/");

  config_.keepSubfolders = 0;
  EXPECT_EQ(runWorker(), 1);
  EXPECT_TRUE(testing::fileExists(dir_ / "out/deep.jpg"));
  EXPECT_EQ(fileSize(dir_ / "out/a"), -1);

  config_.keepSubfolders = 1;
  EXPECT_EQ(runWorker(), 1);
  EXPECT_TRUE(testing::fileExists(dir_ / "out/a/b/deep.jpg"));
}

TEST_F(ConversionWorker, EnsureOutputSubfoldersCreatesEachLevel) {
  ensureOutputSubfolders(dir_ / "out/", "x/y/z/");
  EXPECT_EQ(fileSize(dir_ / "out/x/y/z/"), -2);
  ensureOutputSubfolders(dir_ / "out/", "");
  EXPECT_EQ(fileSize(dir_ / "out/"), -2);
}

TEST_F(ConversionWorker, StampsEveryWrittenFile) {
  writeIcon("multi.ico", {10, 20, 30, 255}, 3);
  const std::time_t inputTime = 1500000000;
  setModificationTime(dir_ / "in/multi.ico", inputTime);
  scanFolderTree(job.inputPath);

  config_.fileTimestamp = 1;  // the input's time
  EXPECT_EQ(runWorker(), 1);
  for (const char* name : {"out/multi[1].jpg", "out/multi[2].jpg", "out/multi[3].jpg"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(modificationTime(dir_ / name), inputTime);
  }

  // A custom date counts local wall-clock seconds: two hours east of UTC
  // the instant lies two hours earlier.
  const char* zone = std::getenv("TZ");
  const std::string savedZone = zone != nullptr ? zone : "";
  setenv("TZ", "XYZ-2", 1);
  tzset();
  config_.fileTimestamp = 2;
  config_.customTimestamp = 1600000000;
  EXPECT_EQ(runWorker(), 1);
  if (zone != nullptr)
    setenv("TZ", savedZone.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
  EXPECT_EQ(modificationTime(dir_ / "out/multi[2].jpg"), 1600000000 - 7200);

  config_.fileTimestamp = 0;  // the time of writing
  EXPECT_EQ(runWorker(), 1);
  EXPECT_GT(modificationTime(dir_ / "out/multi[3].jpg"), 1600000000);
}

// The console sink runs on the worker thread right after the worker has
// published a file's progress, so it sees each file's published values.
TEST_F(ConversionWorker, PublishesTheLastDurationAtTheStartOfEachFile) {
  writeIcon("a.ico", {255, 0, 0, 255});
  testing::writeText(dir_ / "in/b.ico", "not an icon at all");
  writeIcon("c.ico", {0, 0, 255, 255});
  scanFolderTree(job.inputPath);
  verbose_ = true;
  std::vector<int64_t> published;
  setConsoleSink([this, &published](std::string_view line) {
    if (!line.starts_with("Processing: ")) return;
    published.push_back(control_.progress().lastDuration);
  });
  EXPECT_EQ(runWorker(), 2);
  ASSERT_EQ(published.size(), 3u);
  EXPECT_EQ(published[0], 0);
  EXPECT_GE(published[1], 1000);  // never below one second
  EXPECT_EQ(published[2], 0);     // after the failed file
}

TEST_F(ConversionWorker, AStopRequestFinishesTheCurrentFileFirst) {
  for (const char* name : {"1.ico", "2.ico", "3.ico", "4.ico", "5.ico"}) writeIcon(name, {0, 128, 0, 255});
  scanFolderTree(job.inputPath);
  config_.threads = 1;  // one worker: the stop takes effect before the next file
  verbose_ = true;
  setConsoleSink([this](std::string_view line) {
    if (line == "Processing: " + dir_ / "in/3.ico") control_.requestStop();
  });
  EXPECT_EQ(runWorker(), 3);
  EXPECT_TRUE(testing::fileExists(dir_ / "out/3.jpg"));
  EXPECT_FALSE(testing::fileExists(dir_ / "out/4.jpg"));
  EXPECT_EQ(control_.progress().processed, 3);
}

TEST_F(ConversionWorker, StopsBeforeTheNextFileWhenAskedDuringAPause) {
  writeIcon("a.ico", {255, 0, 0, 255});
  scanFolderTree(job.inputPath);
  const RunPlan run = plan();
  control_.setPaused(true);
  control_.start();
  std::thread worker([&] { conversionWorker(run, inputEntries(), counters_, control_); });
  control_.requestStop();
  control_.setPaused(false);
  worker.join();
  EXPECT_FALSE(testing::fileExists(dir_ / "out/a.jpg"));
  EXPECT_EQ(control_.progress().processed, 0);
  EXPECT_EQ(control_.progress().doneCount, 0);
}


// Each file that fails says why on standard error, in one line, whatever
// the step that failed it.
TEST_F(ConversionWorker, EveryFailedFileIsNamedWithItsReason) {
  struct Case {
    const char* name;
    const char* mask;
    std::string expected;  ///< the one error line, "IN" standing for the input's path
  };
  const Case cases[] = {
      {"b.ico", "", "Error: cannot convert \"IN\": not an icon"},
      {"...ico", "%filename%", "Error: \"IN\" not converted: its output name \"..\" leaves the output folder"},
      {"a.ico", "%filename%/", "Error: \"IN\" not converted: its output name \"a/\" ends in \"/\", with no file name after it"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clearInputList();
    errors_.clear();
    const std::string input = dir_ / (std::string("in/") + c.name);
    if (std::string(c.name) == "b.ico")
      testing::writeText(input, "not an icon at all");
    else
      writeIcon(c.name, {255, 0, 0, 255});
    config_.filenameMask = c.mask;
    ASSERT_EQ(scanFolderTree(job.inputPath), 1);
    EXPECT_EQ(runWorker(), 0);
    std::string expected = c.expected;
    expected.replace(expected.find("IN"), 2, input);
    EXPECT_EQ(errors_, std::vector<std::string>{expected});
    unlink(input.c_str());
  }
}

// An icon whose second image is cut short: the first is written, and the
// file fails with the reason of the second.
TEST_F(ConversionWorker, AnImageThatCannotBeReadFailsItsFileWithTheReason) {
  writeIcon("a.ico", {255, 0, 0, 255}, 2);
  std::vector<uint8_t> bytes = testing::readBytes(dir_ / "in/a.ico");
  bytes.resize(bytes.size() - 100);
  testing::writeBytes(dir_ / "in/a.ico", bytes);
  scanFolderTree(job.inputPath);
  EXPECT_EQ(runWorker(), 0);
  EXPECT_TRUE(testing::fileExists(dir_ / "out/a[1].jpg"));
  EXPECT_FALSE(testing::fileExists(dir_ / "out/a[2].jpg"));
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_TRUE(errors_[0].starts_with("Error: cannot convert \"" + dir_ / "in/a.ico" + "\": image 2: truncated: "))
      << errors_[0];
}

// Many files failing for one cause: a few lines, then how many more, then
// one summary of the causes; an icon's frames share their file's line.
TEST_F(ConversionWorker, OneCauseTellsAFewFilesAndCountsTheRest) {
  for (const char* name : {"1.ico", "2.ico", "3.ico", "4.ico", "5.ico"}) writeIcon(name, {0, 128, 0, 255}, 2);
  for (const char* name : {"6.ico", "7.ico"}) testing::writeText(dir_ / (std::string("in/") + name), "no icon");
  scanFolderTree(job.inputPath);
  const RunPlan run = plan();
  ASSERT_EQ(rmdir((dir_ / "out").c_str()), 0);  // the output folder went away
  control_.start();
  EXPECT_EQ(conversionWorker(run, inputEntries(), counters_, control_), 0);
  const std::string noFolder = "cannot write: No such file or directory";
  ASSERT_EQ(errors_.size(), 7u);
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(errors_[k], "Error: cannot write \"" + dir_ / ("out/" + std::to_string(k + 1) + "[1].jpg") +
                              "\": No such file or directory");
  EXPECT_EQ(errors_[3], "Error: cannot convert \"" + dir_ / "in/6.ico" + "\": not an icon");
  EXPECT_EQ(errors_[4], "Error: cannot convert \"" + dir_ / "in/7.ico" + "\": not an icon");
  EXPECT_EQ(errors_[5], "Error: 2 more files failed: " + noFolder);
  EXPECT_EQ(errors_[6], "Failed files: 7 (5 " + noFolder + "; 2 not an icon)");
}

// Another program replaced a file this run wrote, and the inode that file
// had went to a new file at the path of a later output: that new file is
// not one this run wrote, and it is replaced as usual.
TEST_F(ConversionWorker, AFileOnAReusedInodeIsNotTakenForOneThisRunWrote) {
  writeIcon("a.ico", {255, 0, 0, 255});
  writeIcon("b.ico", {0, 0, 255, 255});
  scanFolderTree(job.inputPath);
  config_.threads = 1;
  const RunPlan run = plan();
  control_.start();
  ino_t freed = 0, reused = 1;
  const FileObserver observer = [&](const FileRecord& record) {
    if (record.input != dir_ / "in/a.ico") return;
    struct stat info {};
    ASSERT_EQ(stat((dir_ / "out/a.jpg").c_str(), &info), 0);
    freed = info.st_ino;
    unlink((dir_ / "out/a.jpg").c_str());
    testing::writeText(dir_ / "out/b.jpg", "another run's file");
    ASSERT_EQ(stat((dir_ / "out/b.jpg").c_str(), &info), 0);
    reused = info.st_ino;
  };
  EXPECT_EQ(conversionWorker(run, inputEntries(), counters_, control_, observer), 2);
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_NE(testing::readText(dir_ / "out/b.jpg"), "another run's file");
  if (freed != reused) std::cout << "note: this file system gave the new file a fresh inode\n";
}

// The outputs go where the sink takes them: an in-memory sink gets every
// planned file in order and nothing reaches the disk; a write the sink
// refuses fails its file with the sink's reason.
TEST_F(ConversionWorker, OutputsGoToTheSinkTheRunIsGiven) {
  class MemorySink : public OutputSink {
   public:
    int makeFolders(const std::string&, const std::string&, std::string*) override { return 0; }
    int write(const PlannedWrite& write) override {
      if (write.path == failing) return ENOSPC;
      files.emplace_back(write.path, write.bytes.size());
      return 0;
    }
    void stamp(const std::string&, const std::string&, int, int32_t) override {}
    bool writesFiles() const override { return false; }
    std::string failing;
    std::vector<std::pair<std::string, size_t>> files;
  };
  writeIcon("a.ico", {255, 0, 0, 255}, 2);
  writeIcon("b.ico", {0, 0, 255, 255});
  scanFolderTree(job.inputPath);
  MemorySink sink;
  sink.failing = dir_ / "out/b.jpg";
  const RunPlan run = plan();
  control_.start();
  EXPECT_EQ(conversionWorker(run, inputEntries(), counters_, control_, {}, &sink), 1);
  ASSERT_EQ(sink.files.size(), 2u);
  EXPECT_EQ(sink.files[0].first, dir_ / "out/a[1].jpg");
  EXPECT_EQ(sink.files[1].first, dir_ / "out/a[2].jpg");
  EXPECT_GT(sink.files[0].second, 0u);
  EXPECT_FALSE(testing::fileExists(dir_ / "out/a[1].jpg"));
  EXPECT_EQ(errors_, std::vector<std::string>{"Error: cannot write \"" + dir_ / "out/b.jpg" + "\": No space left on device"});
}

TEST(InFlightBudget, LetsFilesInWhileTheirBytesFit) {
  InFlightBudget budget(100);
  EXPECT_TRUE(budget.admit(150));  // alone, a file larger than the budget runs
  EXPECT_FALSE(budget.admit(1));
  budget.change(150, 30);  // converted: it holds its outputs only
  EXPECT_TRUE(budget.admit(70));
  EXPECT_FALSE(budget.admit(1));
  EXPECT_FALSE(budget.admit(UINT64_MAX));
  budget.change(30, 0);
  budget.change(70, 0);
  EXPECT_EQ(budget.inFlight(), 0u);
  EXPECT_TRUE(budget.admit(UINT64_MAX));
}

}  // namespace
}  // namespace trovabild
