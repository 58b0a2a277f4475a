#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/product.h"
#include "support/test_support.h"

namespace trovabild {

using testing::runProgram;
using testing::splitLines;

TEST(Program, VersionText) {
  const std::pair<int, const char*> cases[] = {{290, "2.9"}, {291, "2.9.1"}, {300, "3.0"}, {100, "1.0"}, {123, "1.2.3"}};
  for (const auto& [version, text] : cases) EXPECT_EQ(versionText(version), text);
  EXPECT_EQ(titleText(), "Trovabild 2.9");
}

struct ScreenCase {
  std::vector<std::string> args;
  size_t lines;
  const char* first;
};

// Lines of the usage screen.
constexpr size_t kUsageLines = 43;

TEST(Program, AnswersVersionAndHelp) {
  const ScreenCase cases[] = {
      {{"-v"}, 1, "2.9"},
      {{"--VERSION"}, 1, "2.9"},
      {{"-V", "-i", "x.ico"}, 1, "2.9"},
      {{"-h"}, kUsageLines, " "},
      {{"-?"}, kUsageLines, " "},
      {{"--help=1"}, kUsageLines, " "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    const auto result = runProgram(c.args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.error, "");
    const auto lines = splitLines(result.output);
    ASSERT_EQ(lines.size(), c.lines);
    EXPECT_EQ(lines.front(), c.first);
    if (c.lines == kUsageLines) {
      EXPECT_EQ(lines[1], "Usage: trovabildcmd -i <filename> [options]");
    }
    // Console lines end in LF alone.
    EXPECT_EQ(result.output.find('\r'), std::string::npos);
  }
}

struct ErrorRun {
  std::vector<std::string> args;
  const char* line;
};

TEST(Program, ReportsParseErrors) {
  const ErrorRun cases[] = {
      {{"-i"}, "Error: Incorrect number of parameters"},
      {{"--profile=missing"}, "Error: Invalid profile file"},
      {{"-i", "x.ico", "--profile=missing"}, "Error: Invalid profile file"},
      {{"-p", "-i", "x.ico", "--jpg-quality"}, "Error: Incorrect number of parameters"},
      {{"--jpg-quality=5", "-o"}, "Error: Incorrect number of parameters"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    const auto result = runProgram(c.args);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(splitLines(result.output), std::vector<std::string>{c.line});
  }
}

TEST(Program, WithoutAnInputTheDesktopIsAsked) {
  // Neither a display nor (in a console-only build) the module: one line on
  // standard error and a failure status, whatever asked for the window.
  // After --window every parameter is a path, so "-i x.ico" there starts no batch.
  const std::vector<std::vector<std::string>> cases = {{},           {"--jpg-quality=50"}, {"-u"}, {"-T", "shots"},
                                                       {"--window"}, {"--WINDOW", "a.ico", "icons/"},
                                                       {"--window", "-i", "x.ico"}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args.empty() ? "(none)" : args.front());
    const auto result = runProgram(args);
    EXPECT_NE(result.status, 0);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(splitLines(result.error).size(), 1u) << result.error;
  }
}

TEST(Program, BatchStartsWithTheBanner) {
  testing::TempDir dir;
  const auto result = runProgram({"-i", "missing.ico"}, dir.path());
  const auto lines = splitLines(result.output);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Trovabild 2.9");
  EXPECT_NE(lines[1].find("(c)"), std::string::npos);
  EXPECT_EQ(lines[3], " ");

  const auto quiet = runProgram({"-q", "-i", "missing.ico"}, dir.path());
  EXPECT_EQ(quiet.error, result.error);
  for (const std::string& line : splitLines(quiet.output)) EXPECT_NE(line, "Trovabild 2.9");
}

TEST(Program, PauseAfterABatchPromptsAndSkipsTheWaitWithoutATerminal) {
  testing::TempDir dir;
  const auto result = runProgram({"-p", "-i", "missing.ico"}, dir.path());
  const auto lines = splitLines(result.output);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Press any key to exit.");
  EXPECT_NE(result.status, -1);
}

// Holds the single-instance lock at `path` like a running instance would.
class HeldLock {
 public:
  explicit HeldLock(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CREAT, 0600)) {
    held_ = fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) == 0;
  }
  ~HeldLock() {
    if (fd_ >= 0) close(fd_);
  }
  bool held() const { return held_; }

 private:
  int fd_;
  bool held_ = false;
};

TEST(Program, RunsWithoutARuntimeFolder) {
  // The lock then lives in a private folder under $TMPDIR.
  testing::TempDir temporary;
  const std::string env = "TMPDIR=" + temporary.path();
  const auto result = runProgram({"-i"}, "", {"XDG_RUNTIME_DIR=", env});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(splitLines(result.output), std::vector<std::string>{"Error: Incorrect number of parameters"});
  const std::string lockPath = temporary / ("trovabild-" + std::to_string(getuid()) + "/Trovabild 2.9.lock");
  struct stat info {};
  EXPECT_EQ(stat(lockPath.c_str(), &info), 0) << lockPath;

  HeldLock lock(lockPath);
  ASSERT_TRUE(lock.held());
  const auto second = runProgram({"-i"}, "", {"XDG_RUNTIME_DIR=", env});
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.output, "");
  EXPECT_EQ(second.error, "Error: another instance of Trovabild 2.9 is running; nothing was done\n");
}

TEST(Program, SecondInstanceSaysSoAndEnds) {
  testing::TempDir runtime;
  const std::string env = "XDG_RUNTIME_DIR=" + runtime.path();
  {
    HeldLock lock(runtime / "Trovabild 2.9.lock");
    ASSERT_TRUE(lock.held());
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-i", "x.ico"}, std::vector<std::string>{"-i"},
                                                 std::vector<std::string>{}, std::vector<std::string>{"-x", "-v"}}) {
      SCOPED_TRACE(args.empty() ? "(none)" : args.front());
      const auto result = runProgram(args, "", {env});
      EXPECT_EQ(result.status, 1);
      EXPECT_EQ(result.output, "");
      EXPECT_EQ(result.error, "Error: another instance of Trovabild 2.9 is running; nothing was done\n");
    }
    // The version and help screens touch nothing and answer anyway.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-v"}, std::vector<std::string>{"--help"}}) {
      SCOPED_TRACE(args.front());
      const auto result = runProgram(args, "", {env});
      EXPECT_EQ(result.status, 0);
      EXPECT_EQ(result.error, "");
      EXPECT_EQ(splitLines(result.output).size(), args.front() == "-v" ? 1u : kUsageLines);
    }
  }
  // Released, the next start runs normally.
  const auto result = runProgram({"-i"}, "", {env});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(splitLines(result.output), std::vector<std::string>{"Error: Incorrect number of parameters"});
}

}  // namespace trovabild
