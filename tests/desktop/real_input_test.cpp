// Real input on the test display: key presses and clicks go through the X
// server (xdotool's XTEST events), to the built program or to a window of
// this process, and what appears on the screen is counted as a user would
// see it. Events made inside the process miss faults such as a handler that
// runs twice or a key the dialog never receives.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <wx/hyperlink.h>
#include <wx/listctrl.h>
#include <wx/toolbar.h>

#include <atomic>
#include <cstdio>
#include <sstream>

#include "desktop/preferences_dialog.h"
#include "tests/desktop/window_fixture.h"

namespace trovabild::testing {
namespace {

std::string shell(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  pclose(pipe);
  return output;
}

bool haveXdotool() { return std::system("command -v xdotool >/dev/null 2>&1") == 0; }

void xdotool(const std::string& arguments) { shell("xdotool " + arguments + " 2>/dev/null"); }

void sleepMs(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

/// The visible windows whose title is exactly `title`.
std::vector<std::string> windowsTitled(const std::string& title) {
  std::string pattern;
  for (char c : title) {
    if (std::string(".[]()*+?^$|\\").find(c) != std::string::npos) pattern += '\\';
    pattern += c;
  }
  std::istringstream lines(shell("xdotool search --onlyvisible --name '^" + pattern + "$' 2>/dev/null"));
  std::vector<std::string> ids;
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) ids.push_back(line);
  return ids;
}

/// Pop-up menus on the screen: mapped override-redirect windows.
int popupsShown() {
  int count = 0;
  std::istringstream tree(shell("xwininfo -root -children 2>/dev/null"));
  for (std::string line; std::getline(tree, line);) {
    const size_t at = line.find("0x");
    if (at == std::string::npos || line.find_first_not_of(' ') != at) continue;
    const std::string id = line.substr(at, line.find(' ', at) - at);
    const std::string info = shell("xwininfo -id " + id + " 2>/dev/null");
    if (info.find("IsViewable") != std::string::npos &&
        info.find("Override Redirect State: yes") != std::string::npos)
      ++count;
  }
  return count;
}

/// Polls until the condition holds; false after `seconds` without it. A
/// wait for something that comes returns as soon as it is there: the long
/// deadline only matters on a machine too busy to start a program in time.
bool waitUntil(const std::function<bool()>& condition, double seconds = 60) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    sleepMs(50);
  }
  return true;
}

/// Window geometry as xdotool reports it.
struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};
Geometry geometryOf(const std::string& window) {
  Geometry g;
  std::istringstream lines(shell("xdotool getwindowgeometry --shell " + window + " 2>/dev/null"));
  for (std::string line; std::getline(lines, line);) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const int value = std::atoi(line.c_str() + eq + 1);
    const std::string key = line.substr(0, eq);
    if (key == "X") g.x = value;
    if (key == "Y") g.y = value;
    if (key == "WIDTH") g.width = value;
    if (key == "HEIGHT") g.height = value;
  }
  return g;
}

/// Gives a window the keyboard focus and presses keys in it.
void keys(const std::string& window, const std::string& names) {
  xdotool("windowfocus --sync " + window);
  sleepMs(100);
  xdotool("key --clearmodifiers " + names);
}

// ------------------------------------------------------------ the program

/// The built program, started without parameters on the test display with
/// a preferences folder, runtime folder and TMPDIR of its own.
class RunningProgram {
 public:
  explicit RunningProgram(const ScratchDir& home) : home_(home) {
    mkdir((home_ / "run").c_str(), 0700);
    mkdir((home_ / "tmp").c_str(), 0700);
  }
  ~RunningProgram() { stop(); }

  std::string configPath() const { return home_ / "config/Pixmundo/trovabild/config.ini"; }

  /// Starts the program, with `argument` as its one parameter when given,
  /// and waits for the window titled `title` to be on the screen.
  bool start(const char* argument = nullptr, const std::string& title = "Trovabild 2.9") {
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      setenv("XDG_CONFIG_HOME", (home_ / "config").c_str(), 1);
      setenv("XDG_RUNTIME_DIR", (home_ / "run").c_str(), 1);
      setenv("TMPDIR", (home_ / "tmp").c_str(), 1);
      setenv("TROVABILD_UPDATE_URL", "http://127.0.0.1:9/files/trovabild.dat", 1);
      freopen("/dev/null", "r", stdin);
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execl(TROVABILD_EXE, TROVABILD_EXE, argument, static_cast<char*>(nullptr));
      _exit(127);
    }
    auto shown = [&] { return !windowsTitled(title).empty(); };
    return waitUntil([&] { return shown() || !running(); }, 60) && shown();
  }

  /// The main window's id, "" while it is not on the screen.
  std::string mainWindow() const {
    const std::vector<std::string> found = windowsTitled("Trovabild 2.9");
    return found.empty() ? "" : found.front();
  }

  bool running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
    return pid_ > 0;
  }

  /// Alt+X, as a user closes the program; true when it has ended.
  bool exitByKeyboard() {
    keys(mainWindow(), "alt+x");
    return waitUntil([&] { return !running(); }, 60);
  }

  void stop() {
    if (!running()) return;
    kill(pid_, SIGTERM);
    if (!waitUntil([&] { return !running(); }, 5)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

 private:
  const ScratchDir& home_;
  pid_t pid_ = -1;
};

bool haveOpenbox() { return std::system("command -v openbox >/dev/null 2>&1") == 0; }

/// A display of its own, 1024 x 768, managed by openbox: the suite's display
/// has no window manager, and a window manager frames and places windows.
/// While it lives, DISPLAY names it, so the helpers above and the programs
/// this process starts use it.
class ManagedDisplay {
 public:
  static constexpr int kWidth = 1024, kHeight = 768;

  explicit ManagedDisplay(const ScratchDir& home) {
    if (const char* old = std::getenv("DISPLAY")) oldDisplay_ = old;
    int ready[2];
    if (pipe(ready) != 0) return;
    server_ = fork();
    if (server_ == 0) {
      close(ready[0]);
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      const std::string fd = std::to_string(ready[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    // The server writes its display number once it takes connections.
    std::string number;
    char c;
    while (server_ > 0 && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    close(ready[0]);
    if (number.empty()) return;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    manager_ = fork();
    if (manager_ == 0) {
      // The system's own settings, not those of whoever runs the tests.
      setenv("XDG_CONFIG_HOME", (home / "openbox-config").c_str(), 1);
      setenv("XDG_CACHE_HOME", (home / "openbox-cache").c_str(), 1);
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execlp("openbox", "openbox", static_cast<char*>(nullptr));
      _exit(127);
    }
    ready_ = manager_ > 0 && waitUntil([] {
      return shell("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id") != std::string::npos;
    });
  }
  ~ManagedDisplay() {
    for (pid_t pid : {manager_, server_}) {
      if (pid <= 0) continue;
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    if (oldDisplay_.empty())
      unsetenv("DISPLAY");
    else
      setenv("DISPLAY", oldDisplay_.c_str(), 1);
  }
  bool ready() const { return ready_; }

 private:
  std::string oldDisplay_;
  pid_t server_ = -1, manager_ = -1;
  bool ready_ = false;
};

/// A managed window's rectangle on the screen with the window manager's
/// frame around it; width 0 until the frame is there.
Geometry framedGeometryOf(const std::string& window) {
  Geometry g;
  int left = 0, right = 0, top = 0, bottom = 0;
  const std::string extents = shell("xprop -id " + window + " _NET_FRAME_EXTENTS 2>/dev/null");
  const size_t eq = extents.find('=');
  if (eq == std::string::npos ||
      std::sscanf(extents.c_str() + eq + 1, "%d, %d, %d, %d", &left, &right, &top, &bottom) != 4)
    return g;
  // xwininfo, not xdotool: xdotool counts the frame twice in the position.
  std::istringstream lines(shell("xwininfo -id " + window + " 2>/dev/null"));
  Geometry inner;
  for (std::string line; std::getline(lines, line);) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const int value = std::atoi(line.c_str() + colon + 1);
    if (line.find("Absolute upper-left X") != std::string::npos) inner.x = value;
    if (line.find("Absolute upper-left Y") != std::string::npos) inner.y = value;
    if (line.find("  Width") == 0) inner.width = value;
    if (line.find("  Height") == 0) inner.height = value;
  }
  if (inner.width == 0) return g;
  return {inner.x - left, inner.y - top, inner.width + left + right, inner.height + top + bottom};
}

std::string storedValue(const std::string& path, const std::string& key) {
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key + " = ", 0) == 0) {
      std::string value = line.substr(key.size() + 3);
      while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
      return value;
    }
  }
  return "";
}

class RealProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveXdotool()) GTEST_SKIP() << "xdotool is not installed (scripts/setup-deps installs it)";
  }
  /// Preferences with the window at (40, 40), its inner size as given and
  /// no update check.
  void writePreferences(int width, int height) {
    writeFile(program.configPath(), "[General]\r\nCFG = 19\r\nUpdate Range = 5\r\n[Window]\r\nWidth = " +
                                        std::to_string(width) + "\r\nHeight = " + std::to_string(height) +
                                        "\r\nX = 40\r\nY = 40\r\n");
  }

  ScratchDir home;
  RunningProgram program{home};
};

// Start, close with Alt+X, start again: every close stores the inner size
// the window opened with, on a first run and with stored values.
TEST_F(RealProgram, StartAndCloseStoreTheSizeTheWindowOpenedWith) {
  struct Case {
    int width, height;  // 0: no preferences file yet
    const char* expectedWidth;
    const char* expectedHeight;
  };
  const Case cases[] = {{0, 0, "510", "330"}, {640, 400, "640", "400"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expectedHeight);
    std::filesystem::remove(program.configPath());
    if (c.width > 0) writePreferences(c.width, c.height);
    for (int cycle = 0; cycle < 2; ++cycle) {
      SCOPED_TRACE(cycle);
      ASSERT_TRUE(program.start());
      ASSERT_TRUE(program.exitByKeyboard());
      EXPECT_EQ(storedValue(program.configPath(), "Width"), c.expectedWidth);
      EXPECT_EQ(storedValue(program.configPath(), "Height"), c.expectedHeight);
    }
  }
}

// A double click on the file list opens one chooser; Escape closes it and
// the window takes keys again.
TEST_F(RealProgram, DoubleClickOpensOneChooserThatEscapeCloses) {
  writePreferences(510, 600);
  ASSERT_TRUE(program.start());
  const std::string window = program.mainWindow();
  const Geometry g = geometryOf(window);
  // The list fills the left of the window's middle.
  xdotool("mousemove --sync " + std::to_string(g.x + 100) + " " + std::to_string(g.y + g.height / 2));
  xdotool("click --repeat 2 --delay 60 1");
  ASSERT_TRUE(waitUntil([] { return !windowsTitled("Add Input Files...").empty(); }));
  sleepMs(1000);  // room for a second one
  const std::vector<std::string> choosers = windowsTitled("Add Input Files...");
  EXPECT_EQ(choosers.size(), 1u);
  keys(choosers.front(), "Escape");
  EXPECT_TRUE(waitUntil([] { return windowsTitled("Add Input Files...").empty(); }));
  // A second chooser, when there was one, is open now.
  sleepMs(300);
  EXPECT_TRUE(windowsTitled("Add Input Files...").empty());
  for (const std::string& left : windowsTitled("Add Input Files...")) keys(left, "Escape");
  EXPECT_TRUE(program.exitByKeyboard());
}

struct MenuDialog {
  const char* title;
  const char* menuKeys;  // from the menu bar (F10) to the item
};
// Each dialog of the window reached from its menu with the keyboard.
const MenuDialog kMenuDialogs[] = {
    {"Add Input Files...", "F10 Down Down Return"},
    {"Find a File Converter", "F10 Right Right Down Down Return"},
    {"Preferences...", "F10 Right Right Up Return"},
    {"About...", "F10 Left Up Return"},
};

// Escape closes every dialog of the window without acting, and the window
// is usable afterwards.
TEST_F(RealProgram, EscapeClosesEveryDialog) {
  writePreferences(510, 330);
  ASSERT_TRUE(program.start());
  for (const MenuDialog& d : kMenuDialogs) {
    SCOPED_TRACE(d.title);
    keys(program.mainWindow(), d.menuKeys);
    ASSERT_TRUE(waitUntil([&] { return !windowsTitled(d.title).empty(); }));
    sleepMs(300);
    keys(windowsTitled(d.title).front(), "Escape");
    // Left open, it would keep the window from taking the next keys.
    ASSERT_TRUE(waitUntil([&] { return windowsTitled(d.title).empty(); }));
  }
  EXPECT_TRUE(program.exitByKeyboard());
}

// Under a window manager the prompt of "-U" opens centred on the screen,
// frame and all, and closing it with the window manager's Alt+F4 ends the
// program.
TEST_F(RealProgram, UninstallPromptOpensCentredUnderAWindowManager) {
  if (!haveOpenbox()) GTEST_SKIP() << "openbox is not installed (scripts/setup-deps installs it)";
  ManagedDisplay display(home);
  ASSERT_TRUE(display.ready());
  ASSERT_TRUE(program.start("-U", "Uninstall"));
  const std::string prompt = windowsTitled("Uninstall").front();
  Geometry frame;
  auto centred = [&] {
    frame = framedGeometryOf(prompt);
    return frame.width > 0 && std::abs(2 * frame.x + frame.width - ManagedDisplay::kWidth) <= 4 &&
           std::abs(2 * frame.y + frame.height - ManagedDisplay::kHeight) <= 4;
  };
  EXPECT_TRUE(waitUntil(centred, 60)) << "framed prompt at (" << frame.x << ", " << frame.y << ") " << frame.width
                                     << " x " << frame.height << " on a 1024 x 768 screen";
  xdotool("windowactivate --sync " + prompt);
  sleepMs(100);
  xdotool("key --clearmodifiers alt+F4");
  EXPECT_TRUE(waitUntil([&] { return !program.running(); }));
  program.stop();
}

// Escape closes the uninstall prompt as its close box does.
TEST_F(RealProgram, EscapeClosesTheUninstallPrompt) {
  ASSERT_TRUE(program.start("-U", "Uninstall"));
  keys(windowsTitled("Uninstall").front(), "Escape");
  EXPECT_TRUE(waitUntil([&] { return !program.running(); }));
  program.stop();
}

// ------------------------------------------------------------ this process

class RealInputWindow : public WindowTest {
 protected:
  void SetUp() override {
    if (!haveXdotool()) GTEST_SKIP() << "xdotool is not installed (scripts/setup-deps installs it)";
    WindowTest::SetUp();
    window->SetFocus();
  }

  /// Runs `steps` on a thread while this thread handles the window's
  /// events, so that the X input the steps make arrives. A modal dialog
  /// still open afterwards is closed.
  void drive(const std::function<void()>& steps) {
    std::atomic<bool> done{false};
    wxTimer cleanup;
    cleanup.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
      if (!done) return;
      for (wxWindow* top : wxTopLevelWindows)
        if (auto* dialog = dynamic_cast<wxDialog*>(top); dialog && dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
    });
    cleanup.Start(200);
    std::thread thread([&] {
      steps();
      done = true;
    });
    pumpUntil([&] { return done.load(); }, 60);
    thread.join();
    pumpEvents(20);
    cleanup.Stop();
  }

  std::string centreOf(wxWindow* control, int dx = 0, int dy = 0) const {
    const wxRect r = control->GetScreenRect();
    return std::to_string(r.x + r.width / 2 + dx) + " " + std::to_string(r.y + r.height / 2 + dy);
  }
};

// A right click on a selected row shows the pop-up menu once: after Escape
// no second one comes up.
TEST_F(RealInputWindow, RightClickShowsTheMenuOnce) {
  writeFile(dir / "a.ico", "not empty");
  writeFile(dir / "b.ico", "not empty");
  addRows({dir / "a.ico", dir / "b.ico"});
  window->fileList()->Select(0, true);
  pumpEvents();
  wxRect row;
  window->fileList()->GetItemRect(0, row);
  const wxPoint at = window->fileList()->GetScreenPosition();
  const std::string point = std::to_string(at.x + 60) + " " + std::to_string(at.y + row.y + row.height / 2);
  int menus = 0;
  drive([&] {
    xdotool("mousemove --sync " + point + " click 3");
    if (!waitUntil([] { return popupsShown() > 0; }, 5)) return;
    ++menus;
    xdotool("key Escape");
    waitUntil([] { return popupsShown() == 0; }, 3);
    if (waitUntil([] { return popupsShown() > 0; }, 1.5)) {
      ++menus;
      xdotool("key Escape");
      waitUntil([] { return popupsShown() == 0; }, 3);
    }
  });
  EXPECT_EQ(menus, 1);
  EXPECT_EQ(window->selectedRows(), std::vector<std::string>{dir / "a.ico"});
}

// In the about box Enter is OK even when a link has the focus; the link
// does not open again.
TEST_F(RealInputWindow, EnterInTheAboutBoxActsAsOk) {
  // The link gets the focus, as after a click on it, once the box is up.
  std::atomic<bool> linkFocused{false};
  wxTimer focusLink;
  focusLink.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    if (linkFocused) return;
    if (wxWindow* box = wxWindow::FindWindowByName("aboutBox")) {
      if (wxWindow* link = box->FindWindow(376)) {
        link->SetFocus();
        linkFocused = true;
      }
    }
  });
  focusLink.Start(100);
  window->CallAfter([this] { window->RunCommand(kCmdAbout); });
  bool closed = false;
  drive([&] {
    if (!waitUntil([&] { return linkFocused && !windowsTitled("About...").empty(); }, 10)) return;
    sleepMs(300);
    keys(windowsTitled("About...").front(), "Return");
    closed = waitUntil([] { return windowsTitled("About...").empty(); }, 3);
  });
  focusLink.Stop();
  EXPECT_TRUE(linkFocused);
  EXPECT_TRUE(closed);
  EXPECT_TRUE(opened.empty());
}

}  // namespace
}  // namespace trovabild::testing
