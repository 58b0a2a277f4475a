// The window started with paths (trovabildcmd --window a.ico icons/).

#include "desktop/desktop_app.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/desktop/window_fixture.h"

namespace trovabild {
namespace {

using testing::pumpEvents;
using testing::pumpUntil;
using testing::writeFile;

class StartPathsTest : public testing::WindowTest {};

TEST_F(StartPathsTest, GivenPathsFillTheListOnceTheLoopRuns) {
  // The list takes any file of an accepted extension that is not empty.
  for (const char* name : {"icons/a.ico", "icons/sub/b.ico", "loose/c.ico", "loose/d.png"}) writeFile(dir / name, "x");
  const std::vector<std::string> paths = {dir / "loose/c.ico", dir / "icons/", dir / "loose/d.png",
                                          dir / "missing.ico"};
  queueStartPaths(*window, paths);
  // Nothing happens before the event loop runs: the window is shown first.
  EXPECT_TRUE(window->rows().empty());
  ASSERT_TRUE(pumpUntil([&] { return window->rows().size() == 3; }));
  pumpEvents();
  EXPECT_EQ(window->rows(),
            (std::vector<std::string>{dir / "loose/c.ico", dir / "icons/a.ico", dir / "icons/sub/b.ico"}));
  EXPECT_EQ(job.inputPath, dir / "icons/");
  EXPECT_TRUE(messages.empty());
}

TEST_F(StartPathsTest, PlainStartLeavesTheListEmpty) {
  queueStartPaths(*window, {});
  pumpEvents();
  EXPECT_TRUE(window->rows().empty());
  EXPECT_EQ(window->status(), "Ready");
}

}  // namespace
}  // namespace trovabild
