#include "desktop/desktop_app.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/wx.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/messages.h"
#include "base/window_start.h"
#include "batch/paths.h"
#include "desktop/main_window.h"
#include "desktop/preferences.h"
#include "desktop/screenshot.h"
#include "desktop/small_dialogs.h"
#include "desktop/themes.h"
#include "desktop/update_ui.h"
#include "imaging/format_registry.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

// The toolkit's application object. Start-up happens in runDesktop, after
// the toolkit has been started, so that a missing display is a plain
// message rather than a failure inside the toolkit.
class DesktopApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

bool environmentSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

std::string displayName() {
  if (environmentSet("WAYLAND_DISPLAY")) return std::getenv("WAYLAND_DISPLAY");
  if (environmentSet("DISPLAY")) return std::getenv("DISPLAY");
  return "";
}

int runWindow() {
  resetSettings(false);
  LoadPreferences();
  loadMessageTable();
  loadBuiltinImages(true, true, true);
  ScanThemes();
  LoadTheme(true, true, true);
  fillFormatRegistry();

  auto* window = new MainWindow();
  window->StartUp();
  queueStartPaths(*window, windowStartPaths());
  if (job.runMode != "T") AutoCheckForUpdates(window);
  return wxTheApp->OnRun();
}

}  // namespace

void queueStartPaths(MainWindow& window, const std::vector<std::string>& paths) {
  // The list only takes paths its callers have seen to exist (a drop always
  // names existing files); a mistyped name on the command line is left out.
  std::vector<std::string> existing;
  for (const std::string& path : paths)
    if (fileSize(path) != -1) existing.push_back(path);
  if (existing.empty()) return;
  window.CallAfter([&window, existing] { window.DropPaths(existing); });
}

bool displayAvailable() { return environmentSet("DISPLAY") || environmentSet("WAYLAND_DISPLAY"); }

int runDesktop(int argc, char** argv, DesktopMode mode, const char* argument) {
  if (!displayAvailable()) {
    std::fputs("trovabildcmd: cannot open the window: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)\n",
               stderr);
    return 1;
  }
  // The toolkit's own complaint would be a second, less clear line.
  wxLog::EnableLogging(false);
  int toolkitArgc = argc;
  const bool started = wxEntryStart(toolkitArgc, argv);
  wxLog::EnableLogging(true);
  if (!started) {
    std::fprintf(stderr, "trovabildcmd: cannot open the window: the display \"%s\" cannot be opened\n",
                 displayName().c_str());
    return 1;
  }
  wxTheApp->SetAppName("trovabild");
  wxTheApp->SetVendorName("Pixmundo");

  int status = 0;
  switch (mode) {
    case DesktopMode::window:
      status = runWindow();
      status = status == 0 ? 0 : 1;
      break;
    case DesktopMode::uninstall:
      loadMessageTable();
      status = RunUninstallPrompt();
      break;
    case DesktopMode::screenshot:
      status = RunScreenshotMode(argument ? argument : "");
      break;
  }
  wxTheApp->OnExit();
  wxEntryCleanup();
  return status;
}

}  // namespace trovabild

wxIMPLEMENT_APP_NO_MAIN(trovabild::DesktopApp);
