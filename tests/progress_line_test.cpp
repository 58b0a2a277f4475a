#include "batch/progress_line.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace trovabild {
namespace {

using testing::TempDir;

struct LineCase {
  int32_t done, total;
  int64_t elapsedMs;
  const char* file;
  int columns;
  const char* expected;
};

TEST(ProgressLine, ShowsCountsRateTimeLeftAndTheFileWithinTheWidth) {
  const LineCase cases[] = {
      {0, 40, 0, "", 80, "0/40 (0%)  -- files/s  --:-- left"},
      {0, 40, 300, "/in/a.ico", 80, "0/40 (0%)  -- files/s  --:-- left  /in/a.ico"},
      {10, 40, 4000, "/in/b.ico", 80, "10/40 (25%)  2.5 files/s  0:12 left  /in/b.ico"},
      {1, 7200, 1000, "x.ico", 80, "1/7200 (0%)  1.0 files/s  1:59:59 left  x.ico"},
      // Too long: the start of the path gives way, the name stays.
      {3, 4, 3000, "/home/someone/a/long/folder/name.ico", 50,
       "3/4 (75%)  1.0 files/s  0:01 left  ...er/name.ico"},
      // Wide characters take two columns; controls show as "?".
      {3, 4, 3000, "/\xE5\x9B\xBE\xE5\x9B\xBE\xE5\x9B\xBE\xE5\x9B\xBE.ico", 46, "3/4 (75%)  1.0 files/s  0:01 left  ...\xE5\x9B\xBE.ico"},
      {1, 2, 1000, "a\nb\x1B.ico", 80, "1/2 (50%)  1.0 files/s  0:01 left  a?b?.ico"},
      // A terminal narrower than the counts cuts the line itself.
      {1, 2, 1000, "a.ico", 12, "1/2 (50%)  "},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(formatProgressLine(c.done, c.total, c.elapsedMs, c.file, c.columns), c.expected);
  }
}

struct TerminalRun {
  int status = -1;
  std::string output;  ///< what the terminal received
  double seconds = 0;
};

// Runs trovabildcmd with a pseudo-terminal of 60 columns as its standard
// input, output and error, and TERM as given. With `interruptOn`, a SIGINT
// is sent once the terminal has received that text.
TerminalRun runOnTerminal(const std::vector<std::string>& args, const std::string& workDir,
                          const char* term = "xterm", const std::string& interruptOn = "") {
  TempDir runtime, temporary;
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 60;
  int master = -1;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
  if (pid == 0) {
    if (chdir(workDir.c_str()) != 0) _exit(127);
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    setenv("TMPDIR", temporary.path().c_str(), 1);
    setenv("TERM", term, 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    std::vector<std::string> copies(args);
    std::string exe = TROVABILD_EXE;
    std::vector<char*> argv{exe.data()};
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  TerminalRun run;
  if (pid < 0) return run;
  char buffer[4096];
  bool interrupted = false;
  for (;;) {
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got > 0) {
      run.output.append(buffer, static_cast<size_t>(got));
      if (!interruptOn.empty() && !interrupted && run.output.find(interruptOn) != std::string::npos) {
        kill(pid, SIGINT);
        interrupted = true;
      }
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // EIO once the program has ended and closed the terminal
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  close(master);
  return run;
}

TEST(ProgressLine, LivesOnATerminalAndGivesWayToTheSummary) {
  TempDir dir;
  const std::string folder = "a-folder-with-a-name-long-enough-to-be-shortened/";
  mkdir((dir / folder).c_str(), 0777);
  const Image image = testing::solidImage(64, 64, 24, {10, 200, 30, 255});
  constexpr int kFiles = 30;
  for (int i = 0; i < kFiles; ++i)
    ASSERT_TRUE(testing::writeIco(dir / (folder + "icon" + std::to_string(100 + i) + ".ico"), {&image}));
  mkdir((dir / "out").c_str(), 0777);
  // Large outputs make each file take a noticeable time.
  const std::vector<std::string> args = {"-i", folder, "-o", "out", "--width=1400", "--height=1400"};
  const TerminalRun run = runOnTerminal(args, dir.path());
  ASSERT_EQ(run.status, 0) << run.output;

  // Every update returns to the line start and clears what a longer line left.
  const std::regex update("\r([^\r\n\x1B]*)\x1B\\[K");
  const std::regex shape("(\\d+)/30 \\((\\d+)%\\)  (-- files/s  --:-- left|\\d+\\.\\d files/s  \\d+:\\d\\d left)(  .*)?");
  std::vector<std::string> texts;
  for (auto it = std::sregex_iterator(run.output.begin(), run.output.end(), update); it != std::sregex_iterator(); ++it)
    texts.push_back((*it)[1]);
  ASSERT_GE(texts.size(), 3u) << run.output;
  EXPECT_EQ(texts.back(), "");  // the last one only removes the line
  texts.pop_back();
  int previous = 0;
  bool shortened = false;
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(text, parts, shape));
    EXPECT_LT(text.size(), 60u);  // fits the 60 columns, the last one free
    const int done = std::stoi(parts[1]);
    EXPECT_GE(done, previous);
    previous = done;
    if (parts[4].matched) {
      EXPECT_TRUE(text.ends_with(".ico"));
    }
    shortened = shortened || text.find("  ...") != std::string::npos;
  }
  EXPECT_TRUE(shortened);
  // At most ten updates a second (and one at the start).
  EXPECT_LE(static_cast<double>(texts.size()), run.seconds * 10 + 2) << run.seconds << " s";

  // The summary replaces the live line; nothing of it stays on screen.
  const std::string erase = "\r\x1B[K";
  const size_t last = run.output.rfind(erase);
  EXPECT_EQ(run.output.substr(last + erase.size()), "Conversion complete\r\nFiles converted: 30 of 30\r\n");
  EXPECT_NE(run.output.find("Converting...\r\n\r"), std::string::npos);
}

TEST(ProgressLine, QuietAndDebugRunsShowNone) {
  TempDir dir;
  const Image image = testing::solidImage(16, 16, 24, {10, 200, 30, 255});
  ASSERT_TRUE(testing::writeIco(dir / "a.ico", {&image}));
  for (const char* mode : {"-q", "-d"}) {
    SCOPED_TRACE(mode);
    const TerminalRun run = runOnTerminal({"-i", "a.ico", mode}, dir.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output.find("\x1B[K"), std::string::npos) << run.output;
  }
  // A dumb terminal gets neither a title nor a live line: no control
  // sequence at all.
  const TerminalRun dumb = runOnTerminal({"-i", "a.ico"}, dir.path(), "dumb");
  EXPECT_EQ(dumb.status, 0);
  EXPECT_EQ(dumb.output.find('\x1B'), std::string::npos) << dumb.output;
  EXPECT_NE(dumb.output.find("Files converted: 1 of 1"), std::string::npos) << dumb.output;
}

// Ctrl+C while the live line stands: the line is ended, so that the
// shell's prompt starts on a line of its own.
TEST(ProgressLine, AnInterruptEndsTheLiveLine) {
  TempDir dir;
  const Image image = testing::solidImage(64, 64, 24, {10, 200, 30, 255});
  for (int i = 0; i < 40; ++i)
    ASSERT_TRUE(testing::writeIco(dir / ("icon" + std::to_string(100 + i) + ".ico"), {&image}));
  const TerminalRun run =
      runOnTerminal({"-i", ".", "-o", "out", "--width=1400", "--height=1400"}, dir.path(), "xterm", "files/s");
  EXPECT_EQ(run.status, -1);  // ended by the signal
  const size_t lastLive = run.output.rfind("files/s");
  ASSERT_NE(lastLive, std::string::npos) << run.output;
  const size_t end = run.output.find_first_of("\r\n", lastLive);
  ASSERT_NE(end, std::string::npos) << "the live line was left open: " << run.output;
  EXPECT_EQ(run.output.substr(end), "\r\n") << run.output;
}

}  // namespace
}  // namespace trovabild
