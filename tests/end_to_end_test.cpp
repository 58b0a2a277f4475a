// Runs the built trovabildcmd on generated icons and checks its lines, its
// files and its exit status.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

// One image per icon, named without a number, its transparent parts on the
// colour asked for.
TEST_F(EndToEnd, ConvertsOneChosenImagePerIconOntoTheBackgroundColour) {
  struct Case {
    std::vector<std::string> options;
    unsigned side;  ///< of the image written for the two-image icon
    Rgba colour;
  };
  const Case cases[] = {
      {{"--ico-frame-loading=largest"}, 32, kOrange},
      {{"--ico-frame-loading=best", "--width=16", "--height=16"}, 16, kBlue},
      {{"--ico-frame-loading=best", "--width=20", "--height=20"}, 20, kOrange},
      {{"--ico-frame-loading=best", "--width=64", "--height=64"}, 64, kOrange},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options.back());
    TempDir out;
    std::vector<std::string> args = {"-i", "in", "-o", out.path(), "--background-color=102030"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const RunResult result = runProgram(args, dir_.path());
    EXPECT_EQ(result.status, 2);  // the broken icon fails
    const Image two = loadImage(out / "sub/Two.jpg");
    ASSERT_TRUE(two);
    EXPECT_FALSE(fileExists(out / "sub/Two[1].jpg"));
    EXPECT_EQ(FreeImage_GetWidth(two.get()), c.side);
    EXPECT_COLOUR_NEAR(pixel(two, c.side / 2, c.side / 2), c.colour);
    const Image quad = loadImage(out / "quad.jpg");
    ASSERT_TRUE(quad);
    const unsigned q = FreeImage_GetWidth(quad.get());
    EXPECT_COLOUR_NEAR(pixel(quad, q / 5, q / 5), kRed);
    EXPECT_COLOUR_NEAR(pixel(quad, q - q / 5, q - q / 5), (Rgba{0x10, 0x20, 0x30, 255}));
  }
}

TEST_F(EndToEnd, RefusalsAndEmptyRunsEndWithStatusOne) {
  mkdir((dir_ / "empty").c_str(), 0777);
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {{"-i", "in", "-o", "../out"}, {"Preparing...", "Error: Incorrect output folder"}},
      {{"-i", "in", "-o", "in/notes.txt"}, {"Preparing...", "Error: Invalid output folder"}},
      {{"-i", "../in"}, {"Preparing...", "Error: Incorrect input folder"}},
      {{"-i", "in/sub/deep/none.ico"}, {"Preparing...", "Error: Invalid input file"}},
      {{"-i", "in", "-o", "out", "--jpg-quality=0"}, {"Preparing...", "Error: Invalid jpg-quality value"}},
      {{"-i", "in", "-o", "out", "-c", "JPG"}, {"Preparing...", "Error: Invalid conversion type"}},
      {{"-i", "in", "-o", "out", "--background-color=white"}, {"Preparing...", "Error: Invalid background-color value"}},
      {{"-i", "in", "-o", "out", "--threads=257"}, {"Preparing...", "Error: Invalid threads value"}},
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

namespace trovabild {
namespace {

// The lines a run that found `found` files and converted `done` of them
// prints after the banner.
std::vector<std::string> convertedLines(int done, int found) {
  return {"Preparing...", "Importing...", "Import complete, new files added: " + std::to_string(found),
          "Converting...", "Conversion complete", "Files converted: " + std::to_string(done) + " of " +
                                                      std::to_string(found)};
}

// A run, what it must leave on disk, and what it must say where. "@" in a
// path or line stands for the run's own folder (ending in "/").
struct RunCase {
  const char* what;
  std::vector<std::string> args;
  std::vector<std::string> out;     ///< standard output after the banner
  std::vector<std::string> err;     ///< standard error
  int status;
  std::vector<std::string> present;  ///< files that must exist afterwards
  std::vector<std::string> absent;   ///< files that must not
  bool needsPermissions = false;     ///< relies on a folder or file without permissions
};

std::string expand(const std::string& text, const std::string& dir) {
  std::string result;
  for (char c : text) result += c == '@' ? dir : std::string(1, c);
  return result;
}

// a.ico (red), Two.ico (orange and blue images) and one with a line end in
// its name in in/, x.ico in d1/ (red)
// and in d2/ (blue), my.photo.ico with two images, a list naming d1/ and d2/,
// a tree whose folder locked/ and file secret.ico nobody may read, a folder
// readonly/ nobody may write and a list file big.txt over the size limit.
void makeFixture(const std::string& dir) {
  for (const char* folder : {"in", "d1", "d2", "tree", "tree/locked", "lone", "lone/locked"})
    mkdir((dir + folder).c_str(), 0777);
  const Image red = testing::solidImage(16, 16, 24, kRed);
  const Image blue = testing::solidImage(16, 16, 24, kBlue);
  const Image big = testing::solidImage(32, 32, 24, kOrange);
  testing::writeIco(dir + "in/a.ico", {&red});
  testing::writeIco(dir + "in/Two.ico", {&big, &blue});
  testing::writeIco(dir + "in/my.photo.ico", {&big, &blue});
  testing::writeIco(dir + "in/new\nline.ico", {&red});
  testing::writeIco(dir + "d1/x.ico", {&red});
  testing::writeIco(dir + "d2/x.ico", {&blue});
  testing::writeText(dir + "dirs.txt", "d1/\nd2/\n");
  for (const char* icon : {"tree/a.ico", "tree/secret.ico", "tree/locked/hidden.ico", "lone/a.ico",
                           "lone/locked/hidden.ico"})
    testing::writeIco(dir + icon, {&red});
  for (const char* locked : {"tree/locked", "tree/secret.ico", "lone/locked"}) chmod((dir + locked).c_str(), 0);
  mkdir((dir + "readonly").c_str(), 0555);
  // A list one byte over the limit, sparse so it costs no disk.
  testing::writeText(dir + "big.txt", "in/a.ico\n");
  truncate((dir + "big.txt").c_str(), 16 * 1024 * 1024 + 1);
}

TEST(EndToEndRuns, NothingAskedForIsDroppedWithoutAWord) {
  const RunCase cases[] = {
      {"several inputs after -i", {"-i", "in/a.ico", "in/Two.ico", "d1/x.ico", "-o", "out"}, convertedLines(3, 3), {}, 0,
       {"out/a.jpg", "out/Two[1].jpg", "out/Two[2].jpg", "out/x.jpg"}, {}},
      {"repeated -i, folders too", {"-i", "in/a.ico", "-o", "out", "--input=d1", "-i", "d2/x.ico"}, convertedLines(2, 3),
       {"Error: \"d2/x.ico\" not converted: its output \"@out/x.jpg\" was already written from \"@d1/x.ico\""}, 2,
       {"out/a.jpg", "out/x.jpg"}, {}},
      {"unknown options and stray words",
       {"stray", "-i", "in/a.ico", "--jpg-qualty=10", "-o=elsewhere", "word", "-o", "out", "-v", "--help"},
       convertedLines(1, 1),
       {"Warning: word \"stray\" ignored: it is neither an option nor an input",
        "Warning: unknown option \"--jpg-qualty=10\" ignored", "Warning: unknown option \"-o=elsewhere\" ignored",
        "Warning: word \"word\" ignored: it is neither an option nor an input",
        "Warning: option \"-v\" ignored: it counts only as the first parameter",
        "Warning: option \"--help\" ignored: it counts only as the first parameter"},
       0, {"out/a.jpg"}, {"elsewhere"}},
      {"warnings before a parse error", {"-i", "in/a.ico", "--jpg-qualty=1", "--width"},
       {"Error: Incorrect number of parameters"}, {"Warning: unknown option \"--jpg-qualty=1\" ignored"}, 1, {}, {}},
      {"an output that is the input itself", {"-i", "in/a.ico", "in/Two.ico", "--filename-mask=%filename%.ico"},
       convertedLines(1, 2),
       {"Error: \"in/a.ico\" not converted: its output \"@in/a.ico\" is the input file itself"}, 2,
       {"in/Two.ico[1]", "in/Two.ico[2]"}, {}},
      {"the only input would be overwritten", {"-i", "in/a.ico", "--filename-mask=a.ico"},
       {"Preparing...", "Importing...", "Import complete, new files added: 1", "Converting...", "Conversion stopped"},
       {"Error: \"in/a.ico\" not converted: its output \"@in/a.ico\" is the input file itself"}, 1, {}, {}},
      {"an output that is another input", {"-i", "d1/x.ico", "d2/x.ico", "in/Two.ico", "-o", "d2",
                                            "--filename-mask=%filename%.ico"},
       convertedLines(1, 3),
       {"Error: \"d1/x.ico\" not converted: its output \"@d2/x.ico\" is the input \"d2/x.ico\" of this run",
        "Error: \"d2/x.ico\" not converted: its output \"@d2/x.ico\" is the input file itself",
        "Failed files: 2 (1 its output is another input; 1 its output is the input itself)"},
       2, {"d2/Two.ico[1]", "d2/Two.ico[2]"}, {}},
      {"two inputs, one output name", {"-i", "dirs.txt", "-o", "out"}, convertedLines(1, 2),
       {"Error: \"d2/x.ico\" not converted: its output \"@out/x.jpg\" was already written from \"d1/x.ico\""}, 2,
       {"out/x.jpg"}, {}},
      {"an unreadable folder and file", {"-i", "tree", "-o", "out"}, convertedLines(1, 2),
       {"Error: cannot read folder \"@tree/locked/\": Permission denied",
        "Error: cannot open \"@tree/secret.ico\": Permission denied"},
       2, {"out/a.jpg"}, {"out/secret.jpg", "out/locked"}, true},
      {"an unreadable folder alone makes the run partial", {"-i", "lone", "-o", "out", "-q"}, {},
       {"Error: cannot read folder \"@lone/locked/\": Permission denied"}, 2, {"out/a.jpg"}, {}, true},
      {"the output folder is made with its parents", {"-i", "in/a.ico", "-o", "new/deeper/"}, convertedLines(1, 1), {},
       0, {"new/deeper/a.jpg"}, {}},
      {"an output folder that cannot be made", {"-i", "in/a.ico", "-o", "in/a.ico/sub"},
       {"Preparing...", "Error: Invalid output folder"},
       {"Error: cannot create folder \"@in/a.ico/sub/\": Not a directory"}, 1, {}, {}},
      {"an output folder in a folder nobody may write", {"-i", "in/a.ico", "-o", "tree/locked/out"},
       {"Preparing...", "Error: Invalid output folder"},
       {"Error: cannot create folder \"@tree/locked/out/\": Permission denied"}, 1, {}, {}, true},
      {"several inputs without an output folder write beside themselves", {"-i", "in/a.ico", "d1", "d2/x.ico"},
       convertedLines(3, 3), {}, 0, {"in/a.jpg", "d1/x.jpg", "d2/x.jpg"}, {"in/x.jpg"}},
      {"every image of an icon collides: one line, and the file fails",
       {"-i", "in/Two.ico", "in/my.photo.ico", "-o", "out", "--filename-mask=same.%ext%"}, convertedLines(1, 2),
       {"Error: \"in/my.photo.ico\" not converted: its output \"@out/same[1].jpg\" was already written from "
        "\"in/Two.ico\""},
       2, {"out/same[1].jpg", "out/same[2].jpg"}, {}},
      {"an output folder nobody may write", {"-i", "in/a.ico", "-o", "readonly"},
       {"Preparing...", "Importing...", "Import complete, new files added: 1", "Converting...", "Conversion stopped"},
       {"Error: cannot write \"@readonly/a.jpg\": Permission denied"}, 1, {}, {"readonly/a.jpg"}, true},
      {"a missing input among several", {"-i", "in/a.ico", "nonexist.ico", "-o", "out"},
       {"Preparing...", "Error: Invalid input file"},
       {"Error: cannot use input \"nonexist.ico\": No such file or directory"}, 1, {}, {"out"}},
      {"a line end in a name stays inside its line", {"-i", "in/new\nline.ico", "--filename-mask=%filename%.ico"},
       {"Preparing...", "Importing...", "Import complete, new files added: 1", "Converting...", "Conversion stopped"},
       {"Error: \"in/new?line.ico\" not converted: its output \"@in/new?line.ico\" is the input file itself"}, 1,
       {}, {}},
      {"a list file over the size limit", {"-i", "big.txt", "-o", "out"},
       {"Preparing...", "Importing...", "Import complete, new files added: 0", "Conversion stopped",
        "No input file(s) found. Please, add valid file(s) and try again!"},
       {"Error: cannot open \"big.txt\": larger than the 16 MiB limit for a list file"}, 1, {}, {}},
      {"frame numbers go before the extension", {"-i", "in/Two.ico", "-o", "out", "--filename-mask=%filename%.%ext[u]%"},
       convertedLines(1, 1), {}, 0, {"out/Two[1].JPG", "out/Two[2].JPG"}, {}},
      {"frame numbers go at the end without one", {"-i", "in/my.photo.ico", "-o", "out", "--filename-mask=%filename%"},
       convertedLines(1, 1), {}, 0, {"out/my.photo[1]", "out/my.photo[2]"}, {"out/my.p[1]hoto"}},
      {"frame numbers stay out of folders", {"-i", "in/Two.ico", "-o", "out", "--filename-mask=ab"},
       convertedLines(1, 1), {}, 0, {"out/ab[1]", "out/ab[2]"}, {}},
  };
  const bool permissions = testing::permissionsApply();
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsPermissions && !permissions) continue;
    TempDir dir;
    makeFixture(dir.path());
    const RunResult result = runProgram(c.args, dir.path());
    EXPECT_EQ(result.status, c.status);
    std::vector<std::string> out = statusLines(result);
    EXPECT_EQ(out, c.out);
    std::vector<std::string> err;
    for (const std::string& line : c.err) err.push_back(expand(line, dir.path()));
    EXPECT_EQ(splitLines(result.error), err);
    // Without a terminal there is no live line.
    EXPECT_EQ(result.output.find_first_of("\r\x1B"), std::string::npos);
    for (const std::string& file : c.present) EXPECT_TRUE(fileExists(dir / file)) << file;
    for (const std::string& file : c.absent) EXPECT_FALSE(fileExists(dir / file)) << file;
    // Whatever happened, no input was touched.
    for (const char* input : {"in/a.ico", "d1/x.ico", "d2/x.ico"})
      EXPECT_EQ(FreeImage_GetFileType((dir / input).c_str(), 0), FIF_ICO) << input;
    for (const char* locked : {"tree/locked", "tree/secret.ico", "lone/locked"}) chmod((dir / locked).c_str(), 0700);
  }
}

TEST(EndToEndRuns, TheFileWrittenFirstStays) {
  // d1/x.ico is red and d2/x.ico blue; both map to out/x.jpg.
  TempDir dir;
  makeFixture(dir.path());
  runProgram({"-i", "dirs.txt", "-o", "out"}, dir.path());
  const Image kept = loadImage(dir / "out/x.jpg");
  ASSERT_TRUE(kept);
  EXPECT_COLOUR_NEAR(pixel(kept, 8, 8), kRed);
  chmod((dir / "tree/locked").c_str(), 0700);
  chmod((dir / "lone/locked").c_str(), 0700);
}

TEST(EndToEndRuns, AFileFromBeforeTheRunIsStillReplaced) {
  TempDir dir;
  makeFixture(dir.path());
  mkdir((dir / "out").c_str(), 0777);
  testing::writeText(dir / "out/a.jpg", "an older file");
  const RunResult result = runProgram({"-i", "in/a.ico", "-o", "out"}, dir.path());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.error, "");
  const Image replaced = loadImage(dir / "out/a.jpg");
  ASSERT_TRUE(replaced);
  EXPECT_COLOUR_NEAR(pixel(replaced, 8, 8), kRed);
  chmod((dir / "tree/locked").c_str(), 0700);
  chmod((dir / "lone/locked").c_str(), 0700);
}

}  // namespace
}  // namespace trovabild
