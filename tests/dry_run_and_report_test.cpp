// The dry run against the real run on the same fixture, and the JSON report
// against the files actually written.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "batch/json_report.h"
#include "tests/support/test_support.h"

namespace trovabild {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using testing::runProgram;
using testing::RunResult;
using testing::splitLines;
using testing::TempDir;

// in/ holds two good icons (one of two frames), a broken one and one in a
// subfolder; out/ holds a JPEG from an earlier run.
void writeFixture(std::string root) {
  root.pop_back();  // no "/" at the end
  fs::create_directories(root + "/in/sub");
  fs::create_directories(root + "/out");
  const Image big = testing::solidImage(32, 32, 24, {200, 30, 30, 255});
  const Image small = testing::solidImage(16, 16, 32, {30, 30, 200, 128});
  ASSERT_TRUE(testing::writeIco(root + "/in/a.ico", {&big, &small}));
  ASSERT_TRUE(testing::writeIco(root + "/in/b.ico", {&small}));
  ASSERT_TRUE(testing::writeIco(root + "/in/sub/c.ico", {&big}));
  testing::writeText(root + "/in/broken.ico", "no icon here");
  testing::writeText(root + "/out/b.jpg", "from an earlier run");
}

// Every file below `root` with its size and modification time.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> snapshot(std::string root) {
  root.pop_back();
  std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> files;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    const std::string name = item.path().lexically_relative(root).string();
    files[name] = {item.is_regular_file() ? item.file_size() : 0, item.last_write_time()};
  }
  return files;
}

std::vector<std::string> replaced(const std::vector<std::string>& lines, const std::string& from) {
  std::vector<std::string> result;
  for (std::string line : lines) {
    for (size_t at = line.find(from); at != std::string::npos; at = line.find(from)) line.replace(at, from.size(), "ROOT");
    result.push_back(line);
  }
  return result;
}

TEST(DryRun, PlansWhatTheRealRunDoesAndChangesNothing) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    const char* collision;  ///< a text every collision line holds, or nullptr
    int status;             ///< of both runs
  };
  const std::vector<Case> cases = {
      {"plain", {}, nullptr, 2},
      {"two inputs to one path", {"--filename-mask=same.%ext%", "--ico-frame-loading=first", "--no-subfolders"},
       "was already written from", 2},
      {"the input overwritten", {"--filename-mask=%filename%.ico", "--ico-frame-loading=first"},
       "is the input file itself", 1},
      {"an output folder still to be made", {"-o", "new/deeper"}, nullptr, 2},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    TempDir dry;
    TempDir real;
    writeFixture(dry.path());
    writeFixture(real.path());
    const bool ownOutput = std::ranges::find(test.options, "-o") != test.options.end();
    const bool intoInput = std::string(test.name) == "the input overwritten";
    const auto arguments = [&](const std::string& root, bool dryRun) {
      std::vector<std::string> args = {"-i", root + "/in"};
      if (!ownOutput) args.insert(args.end(), {"-o", root + (intoInput ? "/in" : "/out")});
      for (const std::string& option : test.options) args.push_back(option == "new/deeper" ? root + "/new/deeper" : option);
      if (dryRun) args.push_back("--dry-run");
      return args;
    };
    const std::string dryRoot = dry.path().substr(0, dry.path().size() - 1);
    const std::string realRoot = real.path().substr(0, real.path().size() - 1);
    const auto before = snapshot(dry.path());
    const RunResult planned = runProgram(arguments(dryRoot, true));
    EXPECT_EQ(snapshot(dry.path()), before) << "the dry run changed a file";
    const RunResult done = runProgram(arguments(realRoot, false));
    EXPECT_EQ(planned.status, test.status);
    EXPECT_EQ(done.status, test.status);
    EXPECT_EQ(replaced(splitLines(planned.error), dryRoot), replaced(splitLines(done.error), realRoot));

    // One line per planned output; each names a file the real run wrote,
    // and says "exists" exactly for the file that was there before.
    std::set<std::string> plannedPaths;
    for (const std::string& line : replaced(splitLines(planned.output), dryRoot)) {
      if (!line.starts_with("Dry run: ")) continue;
      const size_t arrow = line.find(" -> \"");
      ASSERT_NE(arrow, std::string::npos) << line;
      const std::string path = line.substr(arrow + 5, line.rfind('"') - arrow - 5);
      plannedPaths.insert(path);
      const std::string realPath = realRoot + path.substr(4);
      EXPECT_TRUE(testing::fileExists(realPath)) << line;
      const bool existed = before.contains(path.substr(5));
      EXPECT_TRUE(line.ends_with(existed ? "(exists)" : "(new)")) << line;
    }
    EXPECT_EQ(plannedPaths.empty(), test.status == 1);
    if (test.collision != nullptr) {
      const std::vector<std::string> errors = splitLines(planned.error);
      EXPECT_TRUE(std::ranges::any_of(errors, [&](const std::string& line) {
        return line.find(test.collision) != std::string::npos;
      })) << planned.error;
    }
  }
}

// The report read back with a JSON parser, checked against the files on disk.
TEST(Report, DescribesEveryInputAndTheFilesWritten) {
  TempDir dir;
  writeFixture(dir.path());
  const std::string reportPath = dir / "report.json";
  const RunResult result = runProgram({"-i", dir / "in", "-o", dir / "out", "--report=" + reportPath, "--threads=2"});
  EXPECT_EQ(result.status, 2);  // the broken icon fails
  const Json report = Json::parse(testing::readText(reportPath));
  const Json& files = report.at("files");
  ASSERT_EQ(files.size(), 4u);
  std::map<std::string, Json> byName;
  for (const Json& file : files) byName[fs::path(file.at("path").get<std::string>()).filename()] = file;

  const Json& broken = byName.at("broken.ico");
  EXPECT_EQ(broken.at("status"), "failed");
  EXPECT_FALSE(broken.at("reason").get<std::string>().empty());
  EXPECT_EQ(broken.at("frames_written"), 0);

  const Json& a = byName.at("a.ico");
  EXPECT_EQ(a.at("status"), "converted");
  EXPECT_EQ(a.at("frames_found"), 2);
  EXPECT_EQ(a.at("frames_written"), 2);
  int64_t outputs = 0;
  for (const Json& file : files) {
    for (const Json& output : file.at("outputs")) {
      ++outputs;
      const std::string path = output.at("path");
      ASSERT_TRUE(testing::fileExists(path)) << path;
      EXPECT_EQ(output.at("bytes").get<uintmax_t>(), fs::file_size(path)) << path;
      const Image image = testing::loadImage(path);
      EXPECT_EQ(output.at("width").get<int>(), static_cast<int>(image.width()));
      EXPECT_EQ(output.at("height").get<int>(), static_cast<int>(image.height()));
      EXPECT_EQ(output.at("depth").get<int>(), 24);
    }
    EXPECT_GE(file.at("milliseconds").get<int64_t>(), 0);
  }
  const Json& summary = report.at("summary");
  EXPECT_EQ(summary.at("finished"), true);
  EXPECT_EQ(summary.at("exit_status"), result.status);
  EXPECT_EQ(summary.at("inputs"), 4);
  EXPECT_EQ(summary.at("converted"), 3);
  EXPECT_EQ(summary.at("failed"), 1);
  EXPECT_EQ(summary.at("outputs"), outputs);
  EXPECT_EQ(summary.at("options").at("Output"), dir / "out");
  // The old b.jpg was replaced: out/ holds the outputs and nothing else.
  int64_t onDisk = 0;
  for (const auto& item : fs::recursive_directory_iterator(dir / "out")) onDisk += item.is_regular_file() ? 1 : 0;
  EXPECT_EQ(onDisk, outputs);
}

TEST(Report, OnStandardOutputTheConsoleLinesMoveToStandardError) {
  TempDir dir;
  writeFixture(dir.path());
  const RunResult result = runProgram({"-i", dir / "in/a.ico", "-o", dir / "out", "--report=-"});
  EXPECT_EQ(result.status, 0);
  const Json report = Json::parse(result.output);  // throws on anything but the report
  EXPECT_EQ(report.at("files").size(), 1u);
  EXPECT_NE(result.error.find("Conversion complete"), std::string::npos);
}

// A run that fails before any file, and a report that cannot be written.
TEST(Report, StaysValidWhenTheRunFailsAndTellsWhenItCannotBeWritten) {
  TempDir dir;
  writeFixture(dir.path());
  const std::string reportPath = dir / "failed.json";
  const RunResult refused = runProgram({"-i", dir / "in", "-o", dir / "out", "--width=-5", "--report=" + reportPath});
  EXPECT_EQ(refused.status, 1);
  const Json report = Json::parse(testing::readText(reportPath));
  EXPECT_TRUE(report.at("files").empty());
  EXPECT_EQ(report.at("summary").at("exit_status"), 1);

  const RunResult unwritable =
      runProgram({"-i", dir / "in", "-o", dir / "out", "--report=" + dir / "no/such/folder/r.json"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.output.find("Error: cannot write the report"), std::string::npos) << unwritable.output;
  EXPECT_FALSE(testing::fileExists(dir / "out/a[1].jpg"));
}

// Between its writes the file on disk is a whole report of the files so far.
TEST(Report, IsValidJsonAtEveryStage) {
  TempDir dir;
  const std::string path = dir / "r.json";
  JsonReport report(path);
  ASSERT_TRUE(report.start(false));
  EXPECT_EQ(Json::parse(testing::readText(path)).at("summary").at("finished"), false);
  FileRecord record;
  record.input = "/x/\xff.ico";  // not UTF-8: still a valid report
  report.add(record);
  ASSERT_TRUE(report.finish(ExitStatus::partial, 3));
  const Json done = Json::parse(testing::readText(path));
  EXPECT_EQ(done.at("summary").at("not_processed"), 2);
  EXPECT_EQ(done.at("summary").at("result"), "partial");
  EXPECT_FALSE(testing::fileExists(path + ".tmp"));
}

}  // namespace
}  // namespace trovabild
