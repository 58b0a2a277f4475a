#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/console.h"
#include "app/seams.h"

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

}  // namespace trovabild
