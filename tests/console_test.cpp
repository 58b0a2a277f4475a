#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "base/console.h"
#include "base/seams.h"

namespace trovabild {

TEST(Console, BannerHasFourLines) {
  std::vector<std::string> lines;
  setConsoleSink([&](std::string_view line) { lines.emplace_back(line); });
  printBanner();
  setConsoleSink(nullptr);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Trovabild 2.9");
  EXPECT_EQ(lines[1].find("\xC2\xA9"), std::string::npos);
  EXPECT_NE(lines[1].find("(c)"), std::string::npos);
  EXPECT_EQ(lines[2].rfind("https://", 0), 0u);
  EXPECT_EQ(lines[3], " ");
}

TEST(Console, LinesFromSeveralThreadsStayWhole) {
  std::vector<std::string> lines;
  setConsoleSink([&](std::string_view line) { lines.emplace_back(line); });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) printLine("thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  for (auto& thread : threads) thread.join();
  setConsoleSink(nullptr);
  ASSERT_EQ(lines.size(), 800u);
  std::vector<int> next(4, 0);
  for (const std::string& line : lines) {
    const int t = line[7] - '0';
    EXPECT_EQ(line, "thread " + std::to_string(t) + " line " + std::to_string(next[t]));
    ++next[t];
  }
}

TEST(Console, KeyWaitsAreSkippedWithoutATerminal) {
  // The test's standard input is not a terminal when run by ctest; make sure.
  if (isatty(0)) GTEST_SKIP() << "standard input is a terminal";
  EXPECT_EQ(readKey(), "");
  waitForKey();  // returns at once instead of waiting forever
  closeConsole();
}

namespace {

// Puts a pseudo-terminal on standard input for the life of the object, so
// the key reading sees a real terminal; keys are typed through `type`.
class TerminalInput {
 public:
  TerminalInput() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
    if (slave_ < 0) return;
    savedInput_ = dup(STDIN_FILENO);
    ready_ = dup2(slave_, STDIN_FILENO) == STDIN_FILENO;
  }
  ~TerminalInput() {
    closeConsole();
    if (savedInput_ >= 0) {
      dup2(savedInput_, STDIN_FILENO);
      close(savedInput_);
    }
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
  }
  bool ready() const { return ready_; }
  void type(std::string_view keys) { ASSERT_EQ(write(master_, keys.data(), keys.size()), ssize_t(keys.size())); }
  tcflag_t localModes() const {
    termios modes{};
    tcgetattr(slave_, &modes);
    return modes.c_lflag;
  }

 private:
  int master_ = -1, slave_ = -1, savedInput_ = -1;
  bool ready_ = false;
};

}  // namespace

TEST(Console, ReadsKeysFromATerminal) {
  TerminalInput terminal;
  if (!terminal.ready()) GTEST_SKIP() << "no pseudo-terminal";
  EXPECT_EQ(readKey(), "");  // nothing typed yet: no wait
  // Line editing and echo are off while keys are read.
  EXPECT_EQ(terminal.localModes() & (ICANON | ECHO), 0u);

  terminal.type("a");
  EXPECT_EQ(readKey(), "a");
  terminal.type("\x1B[A");  // an arrow key gives no character
  EXPECT_EQ(readKey(), "");
  EXPECT_EQ(readKey(), "");
  terminal.type("\xC3\xA9");  // one character of two bytes
  EXPECT_EQ(readKey(), "\xC3\xA9");
  terminal.type("\x1B");  // Escape alone is a character
  EXPECT_EQ(readKey(), "\x1B");

  // The wait passes over keys without a character and ends at Enter.
  terminal.type("\x1B[1;2A\n");
  waitForKey();
  EXPECT_EQ(readKey(), "");
  closeConsole();
  EXPECT_NE(terminal.localModes() & ICANON, 0u);
}

}  // namespace trovabild
