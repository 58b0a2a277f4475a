// Runs the built trovabildcmd on generated icons and checks its lines, its
// files and its exit status.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace trovabild {
namespace {

using testing::fileExists;
using testing::loadImage;
using testing::pixel;
using testing::Rgba;
using testing::runProgram;
using testing::RunResult;
using testing::splitLines;
using testing::TempDir;

// JPEG keeps colours only approximately.
constexpr int kColourTolerance = 24;

bool near(Rgba actual, Rgba expected) {
  return std::abs(actual.r - expected.r) <= kColourTolerance && std::abs(actual.g - expected.g) <= kColourTolerance &&
         std::abs(actual.b - expected.b) <= kColourTolerance;
}

std::string describe(Rgba c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

#define EXPECT_COLOUR_NEAR(actual, expected) EXPECT_TRUE(near(actual, expected)) << describe(actual)

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kOrange{255, 128, 0, 255};

// The lines after the four banner lines.
std::vector<std::string> statusLines(const RunResult& result) {
  std::vector<std::string> lines = splitLines(result.output);
  if (lines.size() >= 4 && lines[0].starts_with("Trovabild ")) lines.erase(lines.begin(), lines.begin() + 4);
  return lines;
}

time_t modificationTime(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_mtim.tv_sec : -1;
}

// in/ holds a quadrant icon, a two-image icon in sub/, a broken icon in
// sub/deep/ and a text file; out/ is empty.
class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"in", "in/sub", "in/sub/deep", "out"}) mkdir((dir_ / folder).c_str(), 0777);
    const Image quadrants = testing::quadrantImage(16);
    ASSERT_TRUE(testing::writeIco(dir_ / "in/quad.ico", {&quadrants}));
    const Image big = testing::solidImage(32, 32, 24, kOrange);
    const Image small = testing::solidImage(16, 16, 24, kBlue);
    ASSERT_TRUE(testing::writeIco(dir_ / "in/sub/Two.ico", {&big, &small}));
    testing::writeText(dir_ / "in/sub/deep/broken.ico", "this is no icon");
    testing::writeText(dir_ / "in/notes.txt", "not an input");
  }

  TempDir dir_;
};

TEST_F(EndToEnd, ConvertsAFolderTreeAndReportsAPartialRun) {
  const RunResult result = runProgram({"-i", "in", "-o", "out"}, dir_.path());
  EXPECT_EQ(result.status, 2);
  const std::vector<std::string> expected = {
      "Preparing...", "Importing...", "Import complete, new files added: 3", "Converting...",
      "Conversion complete", "Files converted: 2 of 3"};
  EXPECT_EQ(statusLines(result), expected);

  const Image quad = loadImage(dir_ / "out/quad.jpg");
  ASSERT_TRUE(quad);
  EXPECT_COLOUR_NEAR(pixel(quad, 3, 3), kRed);
  EXPECT_COLOUR_NEAR(pixel(quad, 12, 3), kGreen);
  EXPECT_COLOUR_NEAR(pixel(quad, 3, 12), kBlue);
  EXPECT_COLOUR_NEAR(pixel(quad, 12, 12), kWhite);  // transparent, flattened

  const Image first = loadImage(dir_ / "out/sub/Two[1].jpg");
  const Image second = loadImage(dir_ / "out/sub/Two[2].jpg");
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  EXPECT_EQ(FreeImage_GetWidth(first.get()), 32u);
  EXPECT_COLOUR_NEAR(pixel(first, 16, 16), kOrange);
  EXPECT_EQ(FreeImage_GetWidth(second.get()), 16u);
  EXPECT_COLOUR_NEAR(pixel(second, 8, 8), kBlue);

  EXPECT_FALSE(fileExists(dir_ / "out/sub/Two.jpg"));
  EXPECT_TRUE(fileExists(dir_ / "out/sub/deep"));  // made before the broken icon failed
  EXPECT_FALSE(fileExists(dir_ / "out/notes.jpg"));
}

TEST_F(EndToEnd, DebugRunsReportEveryFileWritten) {
  const RunResult result = runProgram({"-i", dir_ / "in/", "-o", dir_ / "out", "-d", "-q"});
  EXPECT_EQ(result.status, 2);
  const std::vector<std::string> lines = splitLines(result.output);
  auto after = [&](const std::string& line) {
    auto at = std::find(lines.begin(), lines.end(), line);
    return at == lines.end() ? std::vector<std::string>{} : std::vector<std::string>(at, lines.end());
  };
  const std::vector<std::string> expected = {
      "Processing: " + dir_ / "in/quad.ico",
      "File Format: ICO",
      "[OK] Saving As: " + dir_ / "out/quad.jpg",
      "Processing: " + dir_ / "in/sub/Two.ico",
      "File Format: ICO",
      "[OK] Saving As: " + dir_ / "out/sub/Two[1].jpg",
      "[OK] Saving As: " + dir_ / "out/sub/Two[2].jpg",
      "Processing: " + dir_ / "in/sub/deep/broken.ico",
      "File Format: [ERROR] UNRECOGNIZED",
      "[ERROR] Unable to convert the file!",
  };
  EXPECT_EQ(after("Processing: " + dir_ / "in/quad.ico"), expected);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Preparing..."), 0);  // quiet
}

TEST_F(EndToEnd, FlattensSubfoldersAndAppliesTheMaskAndTimestamp) {
  const RunResult result =
      runProgram({"-i", "in", "-o", "out", "--no-subfolders", "--filename-mask=%FILENAME[U]%_%n%.%ext%",
                  "--file-timestamp=custom", "--file-timestamp-custom=1600000000"},
                 dir_.path(), {"TZ=UTC"});
  EXPECT_EQ(result.status, 2);
  for (const char* name : {"out/QUAD_00001.jpg", "out/TWO_00002[1].jpg", "out/TWO_00002[2].jpg"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(fileExists(dir_ / name));
    EXPECT_EQ(modificationTime(dir_ / name), 1600000000);
  }
  EXPECT_FALSE(fileExists(dir_ / "out/sub"));
}

TEST_F(EndToEnd, ConvertsEverythingOfAListFile) {
  testing::writeText(dir_ / "list.txt", "\xEF\xBB\xBFin/quad.ico\r\n\r\nmissing.ico\r\nin/sub/\r\nin/quad.ico\r\n");
  const RunResult result = runProgram({"-i", "list.txt", "-o", "out"}, dir_.path());
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(statusLines(result).at(2), "Import complete, new files added: 3");
  // Files from a list have no base folder: every output lands in out/.
  EXPECT_TRUE(fileExists(dir_ / "out/quad.jpg"));
  EXPECT_TRUE(fileExists(dir_ / "out/Two[1].jpg"));
}

TEST_F(EndToEnd, ASingleIconConvertsBesideItselfByDefault) {
  const RunResult result = runProgram({"-i", "quad.ico", "--file-timestamp=original"}, dir_ / "in");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(statusLines(result).back(), "Files converted: 1 of 1");
  EXPECT_TRUE(fileExists(dir_ / "in/quad.jpg"));
  EXPECT_EQ(modificationTime(dir_ / "in/quad.jpg"), modificationTime(dir_ / "in/quad.ico"));
}

TEST_F(EndToEnd, RefusalsAndEmptyRunsEndWithStatusOne) {
  mkdir((dir_ / "empty").c_str(), 0777);
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {{"-i", "in", "-o", "../out"}, {"Preparing...", "Error: Incorrect output folder"}},
      {{"-i", "in", "-o", "nowhere"}, {"Preparing...", "Error: Invalid output folder"}},
      {{"-i", "../in"}, {"Preparing...", "Error: Incorrect input folder"}},
      {{"-i", "in/sub/deep/none.ico"}, {"Preparing...", "Error: Invalid input file"}},
      {{"-i", "in", "-o", "out", "--jpg-quality=0"}, {"Preparing...", "Error: Invalid jpg-quality value"}},
      {{"-i", "in", "-o", "out", "-c", "JPG"}, {"Preparing...", "Error: Invalid conversion type"}},
      {{"-i", "empty", "-q"}, {"Conversion stopped", "No input file(s) found. Please, add valid file(s) and try again!"}},
      {{"-i", "in/sub/deep", "-o", "out", "-q"}, {"Conversion stopped"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1] + " " + (c.args.size() > 3 ? c.args[3] : ""));
    const RunResult result = runProgram(c.args, dir_.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(statusLines(result), c.lines);
  }
  EXPECT_FALSE(fileExists(dir_ / "out/quad.jpg"));
}

}  // namespace
}  // namespace trovabild
