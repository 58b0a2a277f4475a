// The dry run against the real run on the same fixture, and the JSON report
// against the files actually written.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A run stopped before any file: the report is whole and carries the line
// that stopped it; a report that cannot be written stops the run.
TEST(Report, CarriesTheLineThatStoppedTheRun) {
  struct Case {
    const char* name;
    std::vector<std::string> options;  ///< "ROOT/" stands for the fixture's folder
    std::string error;
  };
  const std::vector<Case> cases = {
      {"an invalid value", {"-i", "ROOT/in", "--jpg-quality=0"}, "Error: Invalid jpg-quality value"},
      {"a missing input", {"-i", "ROOT/missing.ico"}, "Error: Invalid input file"},
      {"one of several inputs missing",
       {"-i", "ROOT/in/a.ico", "ROOT/missing.ico"},
       "Error: cannot use input \"ROOT/missing.ico\": No such file or directory"},
      {"a folder without icons", {"-i", "ROOT/out"}, "No input file(s) found. Please, add valid file(s) and try again!"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    TempDir dir;
    writeFixture(dir.path());
    const std::string root = dir.path().substr(0, dir.path().size() - 1);
    const auto rooted = [&](std::string text) {
      if (const size_t at = text.find("ROOT"); at != std::string::npos) text.replace(at, 4, root);
      return text;
    };
    std::vector<std::string> args = {"-o", dir / "converted", "--report=" + dir / "failed.json"};
    for (const std::string& option : test.options) args.push_back(rooted(option));
    const RunResult refused = runProgram(args);
    EXPECT_EQ(refused.status, 1);
    const Json report = Json::parse(testing::readText(dir / "failed.json"));
    EXPECT_TRUE(report.at("files").empty());
    EXPECT_EQ(report.at("summary").at("exit_status"), 1);
    EXPECT_EQ(report.at("summary").value("error", ""), rooted(test.error));
  }

  TempDir dir;
  writeFixture(dir.path());
  const RunResult unwritable =
      runProgram({"-i", dir / "in", "-o", dir / "out", "--report=" + dir / "no/such/folder/r.json"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.output.find("Error: cannot write the report"), std::string::npos) << unwritable.output;
  EXPECT_FALSE(testing::fileExists(dir / "out/a[1].jpg"));
}

// The report is an output of the run: a path that names a file the run reads
// or writes, however it is spelt, is refused before anything is written.
TEST(Report, RefusesAPathThatTheRunReadsOrWrites) {
  struct Case {
    const char* name;
    std::vector<std::string> options;  ///< run in the fixture's folder
    const char* report;
    const char* reason;  ///< nullptr: the report is written
  };
  const std::vector<Case> cases = {
      {"an input of the input folder", {"-i", "in", "-o", "out"}, "in/b.ico", "the run reads the \".ico\" files below"},
      {"a name the scan would find", {"-i", "in", "-o", "out"}, "in/sub/NEW.ICO", "the run reads the \".ico\" files"},
      {"the input, through a link", {"-i", "in/a.ico", "-o", "out"}, "link-to-a.json", "it is the input \"in/a.ico\""},
      {"the list file", {"-i", "list.txt", "-o", "out"}, "list.txt", "it is the list file \"list.txt\""},
      {"an icon a list may name", {"-i", "list.txt", "-o", "out"}, "elsewhere.ico", "that the list \"list.txt\" names"},
      {"the profile", {"-i", "in", "-o", "out", "--profile=p.ini"}, "./p.ini", "it is the profile \"p.ini\""},
      {"the watermark image", {"-i", "in", "-o", "out", "--wm-image=mark.png"}, "mark.png",
       "it is the watermark image \"mark.png\""},
      {"an output the run writes", {"-i", "in/a.ico", "-o", "out"}, "out/a.jpg", "the run writes the \".jpg\" files"},
      {"an output, in capitals and a roundabout way", {"-i", "in", "-o", "out"}, "in/../out/B.JPG",
       "the run writes the \".jpg\" files"},
      {"in an output folder still to be made", {"-i", "in", "-o", "new/deeper"}, "new/deeper/sub/c.jpg",
       "the run writes the \".jpg\" files below \"new/deeper\""},
      {"beside an input that writes beside itself", {"-i", "in/a.ico"}, "in/old.jpg",
       "the run writes the \".jpg\" files below \"in/\""},
      {"the mask's extension", {"-i", "in", "-o", "out", "--filename-mask=%filename%.txt"}, "out/notes.TXT",
       "the run writes the \".txt\" files"},
      {"a folder", {"-i", "in", "-o", "out"}, "out", "it is a folder"},
      {"a named pipe", {"-i", "in", "-o", "out"}, "pipe", "it is not a regular file"},
      {"another name in the output folder", {"-i", "in", "-o", "out"}, "out/report.json", nullptr},
      {"another name in the input folder", {"-i", "in", "-o", "out"}, "in/report.json", nullptr},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    TempDir dir;
    writeFixture(dir.path());
    testing::writeText(dir / "out/a.jpg", "from an earlier run");
    testing::writeText(dir / "list.txt", "in/a.ico\n");
    testing::writeText(dir / "p.ini", "[CLI]\n--jpg-quality=90\n");
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, testing::quadrantImage(4).get(), (dir / "mark.png").c_str(), 0));
    ASSERT_EQ(symlink("in/a.ico", (dir / "link-to-a.json").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    const auto before = snapshot(dir.path());
    const std::string report = test.report;
    const std::string reportFile = dir / report;
    const std::vector<uint8_t> bytes =
        fs::is_regular_file(reportFile) ? testing::readBytes(reportFile) : std::vector<uint8_t>{};
    std::vector<std::string> args = test.options;
    args.push_back("--report=" + report);
    const RunResult result = runProgram(args, dir.path());
    if (test.reason == nullptr) {
      EXPECT_NE(result.status, 1) << result.output;
      EXPECT_EQ(Json::parse(testing::readText(reportFile)).at("summary").at("finished"), true);
      continue;
    }
    EXPECT_EQ(result.status, 1);
    std::vector<std::string> errors;
    for (const std::string& line : splitLines(result.output + result.error))
      if (line.starts_with("Error: ")) errors.push_back(line);
    EXPECT_EQ(errors.size(), 1u) << result.output << result.error;
    if (errors.empty()) continue;
    EXPECT_TRUE(errors[0].starts_with("Error: cannot write the report \"" + report + "\": ")) << errors[0];
    EXPECT_NE(errors[0].find(test.reason), std::string::npos) << errors[0];
    EXPECT_EQ(snapshot(dir.path()), before) << "something was written";
    if (!bytes.empty()) {
      EXPECT_EQ(testing::readBytes(reportFile), bytes);
    }
  }
}

// Paths are kept exactly: one that is not UTF-8 is shown with U+FFFD in
// "path" and given byte for byte in "path_base64".
std::string fromBase64(const std::string& text) {
  const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  uint32_t group = 0;
  int bits = 0;
  for (const char c : text) {
    if (c == '=') break;
    group = (group << 6) | static_cast<uint32_t>(digits.find(c));
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((group >> bits) & 0xFF);
    }
  }
  return bytes;
}

TEST(Report, KeepsPathsThatAreNotUtf8Exactly) {
  TempDir dir;
  fs::create_directories(dir / "in");
  // Latin-1 of three lengths (each remainder of base64), an overlong "/", a
  // surrogate, a code point above U+10FFFF, and two names that are UTF-8.
  const std::vector<std::string> names = {"lat\xe9.ico", "\xe9t\xe9.ico", "x\xff\xfe\xfd.ico", "\xc0\xaf.ico",
                                          "\xed\xa0\x80.ico", "\xf4\x90\x80\x80.ico", "caf\xc3\xa9.ico", "plain.ico"};
  const Image frame = testing::solidImage(16, 16, 24, {10, 200, 10, 255});
  for (const std::string& name : names) ASSERT_TRUE(testing::writeIco(dir / "in/" + name, {&frame}));
  const RunResult result = runProgram({"-i", dir / "in", "-o", dir / "out", "--report=" + dir / "r.json"});
  ASSERT_EQ(result.status, 0) << result.output << result.error;
  const Json report = Json::parse(testing::readText(dir / "r.json"));
  std::set<std::string> inputs, outputs;
  const auto exact = [](const Json& item) {
    const std::string shown = item.at("path");
    if (!item.contains("path_base64")) return shown;
    const std::string bytes = fromBase64(item.at("path_base64"));
    EXPECT_NE(bytes, shown);
    EXPECT_NE(shown.find("\xef\xbf\xbd"), std::string::npos) << shown;  // U+FFFD
    return bytes;
  };
  for (const Json& file : report.at("files")) {
    inputs.insert(exact(file));
    for (const Json& output : file.at("outputs")) outputs.insert(exact(output));
  }
  std::set<std::string> inputsOnDisk, outputsOnDisk;
  for (const auto& item : fs::directory_iterator(dir / "in")) inputsOnDisk.insert(item.path().string());
  for (const auto& item : fs::directory_iterator(dir / "out")) outputsOnDisk.insert(item.path().string());
  EXPECT_EQ(inputs, inputsOnDisk);
  EXPECT_EQ(outputs, outputsOnDisk);
  for (const Json& file : report.at("files")) {
    const std::string name = fs::path(file.at("path").get<std::string>()).filename();
    EXPECT_EQ(file.contains("path_base64"), name != "caf\xc3\xa9.ico" && name != "plain.ico") << name;
  }
}

// The report grows in place: between its writes the file is a whole report
// of the records written so far, in order, with the counts of those records;
// a large batch of records is written without waiting for the next interval.
TEST(Report, GrowsInPlaceAndIsValidJsonAtEveryStage) {
  TempDir dir;
  const std::string path = dir / "r.json";
  const auto identity = [&path] {
    struct stat info {};
    stat(path.c_str(), &info);
    return std::pair{info.st_dev, info.st_ino};
  };
  JsonReport report(path);
  ASSERT_TRUE(report.start(false));
  const auto made = identity();
  const Json empty = Json::parse(testing::readText(path));
  EXPECT_EQ(empty.at("summary").at("finished"), false);
  EXPECT_TRUE(empty.at("files").empty());

  // Records of about 400 bytes: 5,000 of them pass the size at which the
  // waiting records are written at once.
  const std::string folder = "/" + std::string(300, 'f') + "/";
  constexpr int kAdded = 5000;
  for (int i = 0; i < kAdded; ++i) {
    FileRecord record;
    record.input = folder + std::to_string(i) + ".ico";
    record.converted = i % 2 == 0;
    record.framesWritten = record.converted ? 1 : 0;
    report.add(record);
  }
  const Json partway = Json::parse(testing::readText(path));
  const Json& written = partway.at("files");
  ASSERT_GT(written.size(), 0u);
  ASSERT_LE(written.size(), static_cast<size_t>(kAdded));
  for (size_t i = 0; i < written.size(); ++i)
    ASSERT_EQ(written[i].at("path"), folder + std::to_string(i) + ".ico");
  EXPECT_EQ(partway.at("summary").at("processed"), written.size());
  EXPECT_EQ(partway.at("summary").at("converted"), (written.size() + 1) / 2);
  EXPECT_EQ(identity(), made);

  ASSERT_TRUE(report.finish(ExitStatus::partial, kAdded + 2));
  const Json done = Json::parse(testing::readText(path));
  EXPECT_EQ(done.at("files").size(), static_cast<size_t>(kAdded));
  EXPECT_EQ(done.at("summary").at("processed"), kAdded);
  EXPECT_EQ(done.at("summary").at("outputs"), kAdded / 2);
  EXPECT_EQ(done.at("summary").at("not_processed"), 2);
  EXPECT_EQ(done.at("summary").at("result"), "partial");
  EXPECT_EQ(identity(), made);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace trovabild
