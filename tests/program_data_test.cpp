// Where the program finds its data and its window module: beside itself, in
// the source tree its build folder names, or in an installed tree.

#include "base/program_data.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/desktop_loader.h"
#include "tests/support/test_support.h"

namespace trovabild {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::writeText;

void makeFolder(const std::string& path) { fs::create_directories(path); }

TEST(ProgramData, FoundFromThePlaceOfTheProgram) {
  // Each case lays out a tree under a temporary root; the program lives in
  // root/<exe>. "" expected: nothing found.
  struct Case {
    const char* name;
    const char* exe;                      // folder of the program, under the root
    std::vector<const char*> folders;     // made under the root
    std::vector<const char*> files;       // made under the root (empty text)
    const char* marker;                   // text of the marker beside the program; null: none
    const char* installedName;
    const char* sourceName;
    bool wantFolder;
    const char* expected;                 // under the root
  };
  const Case cases[] = {
      {"installed tree", "usr/bin/", {"usr/share/trovabild/gfx"}, {}, nullptr, "gfx", "gfx", true,
       "usr/bin/../share/trovabild/gfx"},
      {"installed manual", "opt/t/bin/", {}, {"opt/t/share/trovabild/manual/index.html"}, nullptr,
       "manual/index.html", "docs/manual/index.html", false, "opt/t/bin/../share/trovabild/manual/index.html"},
      {"build folder names its source tree", "src/build/", {"src/gfx"}, {}, "@src", "gfx", "gfx", true,
       "src/gfx"},
      {"source manual has its own path", "b/", {}, {"s/docs/manual/index.html"}, "@s/", "manual/index.html",
       "docs/manual/index.html", false, "s/docs/manual/index.html"},
      {"beside the program wins", "p/", {"p/gfx", "p/../share/trovabild/gfx", "s/gfx"}, {}, "@s", "gfx", "gfx",
       true, "p/gfx"},
      {"the marked tree before an installed one", "x/bin/", {"x/share/trovabild/gfx", "s/gfx"}, {}, "@s", "gfx",
       "gfx", true, "s/gfx"},
      {"a marker naming a missing tree", "x/bin/", {"x/share/trovabild/gfx"}, {}, "@gone", "gfx", "gfx", true,
       "x/bin/../share/trovabild/gfx"},
      {"a relative marker is not used", "b/", {"b/s/gfx"}, {}, "s", "gfx", "gfx", true, ""},
      {"a folder is no manual", "usr/bin/", {"usr/share/trovabild/manual/index.html"}, {}, nullptr,
       "manual/index.html", "docs/manual/index.html", false, ""},
      {"a file is no themes folder", "usr/bin/", {"usr/share/trovabild"}, {"usr/share/trovabild/gfx"}, nullptr,
       "gfx", "gfx", true, ""},
      {"nothing anywhere", "usr/bin/", {}, {}, nullptr, "gfx", "gfx", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir root;
    makeFolder(root / c.exe);
    for (const char* folder : c.folders) makeFolder(root / folder);
    for (const char* file : c.files) {
      makeFolder(fs::path(root / file).parent_path());
      writeText(root / file, "");
    }
    if (c.marker) {
      const std::string text = c.marker[0] == '@' ? root / (c.marker + 1) : c.marker;
      writeText(root / c.exe + kSourceTreeMarker, text + "\n");
    }
    const std::string found = findProgramData(root / c.exe, c.installedName, c.sourceName, c.wantFolder);
    EXPECT_EQ(found, *c.expected ? root / c.expected : "");
  }
}

TEST(ProgramData, MarkerOnlyInTheBuildFolder) {
  // The build writes the marker beside the program it builds; it names this
  // source tree.
  const std::string exe = TROVABILD_EXE;
  const std::string folder = exe.substr(0, exe.rfind('/') + 1);
  EXPECT_EQ(fs::weakly_canonical(markedSourceTree(folder)), fs::weakly_canonical(TROVABILD_SOURCE_DIR));
  TempDir elsewhere;
  EXPECT_EQ(markedSourceTree(elsewhere.path()), "");
}

TEST(ProgramData, WindowModuleBesideOrInstalled) {
  EXPECT_EQ(desktopModuleCandidates("/opt/t/bin/"),
            (std::vector<std::string>{"/opt/t/bin/trovabild_desktop.so", "/opt/t/bin/../lib/trovabild/trovabild_desktop.so"}));
}

TEST(ProgramData, WindowStartPathsAreAbsolute) {
  TempDir work;
  const std::string before = fs::current_path();
  ASSERT_EQ(chdir(work.path().c_str()), 0);
  setWindowStartPaths({"a.ico", "", "icons/", "./sub/../b.ico", "/abs/c.ico"});
  const std::vector<std::string> paths = windowStartPaths();
  ASSERT_EQ(chdir(before.c_str()), 0);
  const std::string cwd = fs::canonical(work.path()).string() + "/";
  EXPECT_EQ(paths, (std::vector<std::string>{cwd + "a.ico", cwd + "icons/", cwd + "b.ico", "/abs/c.ico"}));
  setWindowStartPaths({});
  EXPECT_TRUE(windowStartPaths().empty());
}

}  // namespace
}  // namespace trovabild
