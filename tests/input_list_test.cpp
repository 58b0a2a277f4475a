#include "batch/input_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/seams.h"
#include "batch/paths.h"
#include "batch/run_report.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace trovabild {
namespace {

using testing::TempDir;
using testing::writeBytes;
using testing::writeText;

// An icon's bytes are not needed to be listed: the list only looks at names
// and sizes.
void touch(const std::string& path, const std::string& content = "icon") { writeText(path, content); }
void makeFolder(const std::string& path) { mkdir(path.c_str(), 0777); }

// The test's own working directory, and captured console lines.
class InputList : public ::testing::Test {
 protected:
  void SetUp() override {
    char buffer[4096];
    savedFolder_ = getcwd(buffer, sizeof buffer) != nullptr ? buffer : "/";
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    resetSettings(true);
    resetJob();
    job.cliMode = 1;
    job.inputExtensions = {"ico"};
    setConsoleSink([this](std::string_view line) { lines_.emplace_back(line); });
    control_.start();
  }
  void TearDown() override {
    setConsoleSink({});
    clearInputList();
    [[maybe_unused]] const int ignored = chdir(savedFolder_.c_str());
  }

  std::vector<std::pair<std::string, std::string>> listed() const {
    std::vector<std::pair<std::string, std::string>> result;
    for (const InputEntry& entry : inputEntries()) result.emplace_back(entry.path, entry.subfolder);
    return result;
  }

  TempDir dir_;
  RunControl control_;
  std::string savedFolder_;
  std::vector<std::string> lines_;
};

TEST(PathOperations, SplitExtensionsAndFolders) {
  struct Case {
    const char* path;
    const char* extension;
    const char* folder;
  };
  const Case cases[] = {
      {"x.ico", "ico", ""},
      {"/in/Icon.ICO", "ICO", "/in/"},
      {"/in/my.photo.ico", "ico", "/in/"},
      {"photos.2020", "2020", ""},
      {"/a.b/c", "", "/a.b/"},
      {"/in/.ico", "", "/in/"},
      {"x.ico ", "", ""},
      {"x.", "", ""},
      {"/in/x.ico\"", "ico", "/in/"},
      {"a\\b.ico", "ico", ""},
      {"/in/", "", "/in/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(extensionPart(c.path), c.extension);
    EXPECT_EQ(pathPart(c.path), c.folder);
  }
}

TEST_F(InputList, FileSizeTellsFilesFoldersAndNothing) {
  touch("four.ico", "1234");
  touch("empty.ico", "");
  makeFolder("sub");
  EXPECT_EQ(fileSize("four.ico"), 4);
  EXPECT_EQ(fileSize("empty.ico"), 0);
  EXPECT_EQ(fileSize("sub"), -2);
  EXPECT_EQ(fileSize("sub//"), -2);
  EXPECT_EQ(fileSize("/"), -2);
  EXPECT_EQ(fileSize("missing.ico"), -1);
  EXPECT_EQ(fileSize(""), -1);
}

TEST_F(InputList, ClassifiesAndNormalisesTheInput) {
  makeFolder("pics");
  makeFolder("photos.2020");
  touch("x.ico");
  touch("empty.ico", "");
  const std::string here = dir_.path();
  struct Case {
    std::string input;
    bool accepted;
    std::string inputPath;     // after classification
    std::string currentInput;  // after classification
    std::string line;          // the error line, if any
  };
  const Case cases[] = {
      {"pics", true, here + "pics/", "", ""},
      {"./pics", true, here + "pics/", "", ""},
      {"pics/", true, here + "pics/", "", ""},
      {here + "pics", true, here + "pics/", "", ""},
      {".", true, here, "", ""},
      {"", true, here, "", ""},
      {"../pics", false, "", "", "Error: Incorrect input folder"},
      {"..", false, "", "", "Error: Incorrect input folder"},
      {"nowhere", false, "", "", "Error: Invalid input folder"},
      {"x.ico", true, "", "x.ico", ""},
      {"photos.2020", false, "", "photos.2020", "Error: Invalid input file"},
      {"empty.ico", false, "", "empty.ico", "Error: Invalid input file"},
      {"missing.ico", false, "", "missing.ico", "Error: Invalid input file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    lines_.clear();
    job.inputPath = c.input;
    job.currentInput.clear();
    EXPECT_EQ(classifyInput(), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(job.inputPath, c.inputPath);
      EXPECT_TRUE(lines_.empty());
    } else {
      EXPECT_EQ(lines_, std::vector<std::string>{c.line});
    }
    EXPECT_EQ(job.currentInput, c.currentInput);
  }
}

TEST_F(InputList, PrintsTheInputInDebugMode) {
  makeFolder("pics");
  job.runMode = "DEBUG";
  job.inputPath = "pics";
  EXPECT_TRUE(classifyInput());
  job.runMode.clear();
  EXPECT_EQ(lines_, std::vector<std::string>{"Input: pics"});
}

TEST_F(InputList, AddsQualifyingPathsOnceInTheirOrder) {
  touch("b.ico");
  touch("A.ICO");
  touch("a.ico");
  touch("empty.ico", "");
  touch("x.png");
  touch("blank.ico ");
  job.inputPath = "";
  EXPECT_TRUE(addInputFile("b.ico"));
  EXPECT_TRUE(addInputFile("A.ICO"));
  EXPECT_TRUE(addInputFile("a.ico"));
  EXPECT_FALSE(addInputFile("a.ico"));
  EXPECT_FALSE(addInputFile("empty.ico"));
  EXPECT_FALSE(addInputFile("x.png"));
  EXPECT_FALSE(addInputFile("blank.ico "));
  EXPECT_EQ(inputEntries().size(), 3u);
  EXPECT_EQ(inputEntries()[0].path, "b.ico");
  EXPECT_EQ(inputEntries()[1].path, "A.ICO");
  EXPECT_EQ(inputEntries()[2].path, "a.ico");
  removeInputFile("A.ICO");
  ASSERT_EQ(inputEntries().size(), 2u);
  EXPECT_EQ(inputEntries()[1].path, "a.ico");
  EXPECT_NE(findInputEntry("a.ico"), nullptr);
  EXPECT_EQ(findInputEntry("A.ICO"), nullptr);
  EXPECT_TRUE(addInputFile("A.ICO"));
  clearInputList();
  EXPECT_TRUE(inputEntries().empty());
}

TEST(RelativeSubfolder, RemovesTheBaseOnlyAtTheStart) {
  struct Case {
    const char* path;
    const char* base;
    const char* expected;
  };
  const Case cases[] = {
      {"/in/a/b/x.ico", "/in/", "a/b/"},
      {"/in/x.ico", "/in/", ""},
      {"/data/x/data/y.ico", "/data/", "x/data/"},
      {"/other/in/x.ico", "/in/", ""},
      {"/in/x.ico", "", ""},
      {"", "/in/", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(relativeSubfolder(c.path, c.base), c.expected);
  }
}

TEST_F(InputList, WalksTheFolderTreeInByteOrder) {
  makeFolder("in");
  touch("in/b.ico");
  touch("in/Z.ICO");
  touch("in/.hidden.ico");
  touch("in/empty.ico", "");
  touch("in/notes.txt");
  makeFolder("in/sub");
  touch("in/sub/c.ico");
  makeFolder("in/sub/deep");
  touch("in/sub/deep/d.ico");
  touch("in/sub/deep/e.txt");
  makeFolder("in/other");
  touch("in/other/o.ico");
  // A link back to the top and a link to a folder walked already.
  ASSERT_EQ(symlink("..", (dir_ / "in/sub/up").c_str()), 0);
  ASSERT_EQ(symlink("../other", (dir_ / "in/sub/again").c_str()), 0);
  ASSERT_EQ(symlink("nothing.ico", (dir_ / "in/dangling.ico").c_str()), 0);
  job.inputPath = "in";
  ASSERT_TRUE(classifyInput());
  const std::string base = dir_ / "in/";
  EXPECT_EQ(expandInput(control_), 6);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {base + ".hidden.ico", ""},      {base + "Z.ICO", ""},
      {base + "b.ico", ""},            {base + "other/o.ico", "other/"},
      {base + "sub/c.ico", "sub/"},    {base + "sub/deep/d.ico", "sub/deep/"},
  };
  EXPECT_EQ(listed(), expected);
  EXPECT_EQ(control_.progress().processed, 8);  // top-level entries handled
  EXPECT_EQ(control_.progress().doneCount, 6);
}

TEST_F(InputList, ScanFolderTreeSurvivesALinkLoop) {
  makeFolder("loop");
  touch("loop/a.ico");
  ASSERT_EQ(symlink(".", (dir_ / "loop/self").c_str()), 0);
  ASSERT_EQ(symlink("../loop", (dir_ / "loop/parent").c_str()), 0);
  // Links that name nothing are no loss worth a word.
  ASSERT_EQ(symlink("me.ico", (dir_ / "loop/me.ico").c_str()), 0);
  ASSERT_EQ(symlink("missing.ico", (dir_ / "loop/gone.ico").c_str()), 0);
  resetRunReport();
  EXPECT_EQ(scanFolderTree(dir_ / "loop/"), 1);
  EXPECT_FALSE(runLeftSomethingOut());
}

TEST_F(InputList, ReadsListFilesLineByLine) {
  makeFolder("folder");
  touch("folder/f.ico");
  touch("one.ico");
  touch("two.ico");
  touch("empty.ico", "");
  const std::string lines = std::string("\xEF\xBB\xBF") + "one.ico\r\n\r\n   \r\n missing.ico\n" + "\"two.ico\"\r" +
                            "two.ico  \n" + "one.ico\n" + "folder\n" + "folder/f.ico\n" + "empty.ico";
  touch("list.txt", lines);
  job.inputPath = "list.txt";
  ASSERT_TRUE(classifyInput());
  EXPECT_EQ(expandInput(control_), 3);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"one.ico", ""}, {"two.ico", ""}, {"folder/f.ico", ""}};
  EXPECT_EQ(listed(), expected);
  // one, two, one again, folder, the folder's file again, empty.ico
  EXPECT_EQ(control_.progress().processed, 6);
}

TEST_F(InputList, DecodesListFilesInTheEncodingTheirMarkAnnounces) {
  touch("caf\xC3\xA9.ico");
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  // "café.ico" and a line end in each encoding.
  const Case cases[] = {
      {"utf16le.lst", {0xFF, 0xFE, 'c', 0, 'a', 0, 'f', 0, 0xE9, 0, '.', 0, 'i', 0, 'c', 0, 'o', 0, '\r', 0, '\n', 0}},
      {"utf16be.lst", {0xFE, 0xFF, 0, 'c', 0, 'a', 0, 'f', 0, 0xE9, 0, '.', 0, 'i', 0, 'c', 0, 'o'}},
      {"utf32le.lst", {0xFF, 0xFE, 0, 0, 'c', 0, 0, 0, 'a', 0, 0, 0, 'f', 0, 0, 0, 0xE9, 0, 0, 0,
                       '.', 0, 0, 0, 'i', 0, 0, 0, 'c', 0, 0, 0, 'o', 0, 0, 0}},
      {"utf8.LST", {'c', 'a', 'f', 0xC3, 0xA9, '.', 'i', 'c', 'o', '\n'}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clearInputList();
    writeBytes(c.name, c.bytes);
    job.inputPath = c.name;
    ASSERT_TRUE(classifyInput());
    EXPECT_EQ(expandInput(control_), 1);
    ASSERT_EQ(inputEntries().size(), 1u);
    EXPECT_EQ(inputEntries()[0].path, "caf\xC3\xA9.ico");
  }
}

// A line too long to be a path is skipped and the lines after it are read;
// a list that is a pipe, a device or beyond the size limit adds nothing and
// never blocks.
TEST_F(InputList, SkipsOverlongLinesAndRefusesSpecialOrHugeLists) {
  touch("one.ico");
  touch("two.ico");
  touch("list.txt", "one.ico\n" + std::string(70000, 'x') + ".ico\ntwo.ico\n");
  job.inputPath = "list.txt";
  ASSERT_TRUE(classifyInput());
  EXPECT_EQ(expandInput(control_), 2);

  ASSERT_EQ(mkfifo("fifo.txt", 0600), 0);
  touch("huge.txt", "one.ico\n");
  ASSERT_EQ(truncate("huge.txt", 16 * 1024 * 1024 + 1), 0);
  for (const char* list : {"fifo.txt", "/dev/zero", "huge.txt"}) {
    SCOPED_TRACE(list);
    clearInputList();
    job.inputPath.clear();
    job.currentInput = list;
    const auto start = std::chrono::steady_clock::now();
    control_.start();
    listFileScanThread(control_);
    EXPECT_TRUE(inputEntries().empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  }
}

TEST_F(InputList, SingleFileInputAddsOnlyAcceptedExtensions) {
  touch("x.png");
  touch("y.ico");
  job.inputPath = "x.png";
  ASSERT_TRUE(classifyInput());
  EXPECT_EQ(expandInput(control_), 0);
  job.inputPath = "y.ico";
  ASSERT_TRUE(classifyInput());
  EXPECT_EQ(expandInput(control_), 1);
  EXPECT_EQ(inputEntries()[0].subfolder, "");
}

TEST_F(InputList, AScannerWaitsWhilePausedAndThenStopsWhenAsked) {
  makeFolder("in");
  touch("in/a.ico");
  job.inputPath = "in";
  ASSERT_TRUE(classifyInput());
  control_.setPaused(true);
  control_.start();
  std::thread scanner([this] { folderScanThread(control_); });
  control_.requestStop();
  control_.setPaused(false);
  scanner.join();
  EXPECT_TRUE(inputEntries().empty());
  EXPECT_EQ(control_.progress().processed, 0);
  EXPECT_EQ(control_.progress().doneCount, 0);
}

TEST_F(InputList, TellsTheWindowAboutNewEntriesOutsideTheConsoleRun) {
  touch("a.ico");
  std::vector<std::string> shown;
  setInputAddedHook([&shown](const std::string& path) { shown.push_back(path); });
  job.cliMode = 0;
  EXPECT_TRUE(addInputFile("a.ico"));
  EXPECT_FALSE(addInputFile("a.ico"));
  setInputAddedHook({});
  EXPECT_EQ(shown, std::vector<std::string>{"a.ico"});
}

}  // namespace
}  // namespace trovabild
