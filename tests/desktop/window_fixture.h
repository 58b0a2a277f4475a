#pragma once
// A main window on the test display, with the message boxes, the shell's
// "open" action and the modal dialogs answered by the test.

#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/evtloop.h>
#include <wx/wx.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/messages.h"
#include "batch/input_list.h"
#include "desktop/input_dialogs.h"
#include "desktop/main_window.h"
#include "desktop/preferences.h"
#include "desktop/small_dialogs.h"
#include "settings/settings.h"

namespace trovabild::testing {

/// A fresh folder, removed with its contents afterwards; path() ends in "/".
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "trovabild-window-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern + "/";
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

/// Lets the toolkit handle what is pending (posted events, CallAfter,
/// redraws) for a short while.
inline void pumpEvents(int rounds = 5) {
  for (int i = 0; i < rounds; ++i) {
    wxTheApp->ProcessPendingEvents();
    wxTheApp->Yield(true);
    wxTheApp->ProcessIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

/// Pumps until the condition holds; false after `seconds` without it.
inline bool pumpUntil(const std::function<bool()>& condition, int seconds = 30) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    pumpEvents(1);
  }
  return true;
}

/// With TROVABILD_SCREENSHOT_DIR set, saves the window's area of the screen
/// there as `name`.png (pictures for the manual); otherwise does nothing.
inline void saveScreenshot(wxWindow* window, const std::string& name) {
  const char* folder = std::getenv("TROVABILD_SCREENSHOT_DIR");
  if (!folder || !*folder) return;
  window->Raise();
  window->Refresh();
  // Dispatched directly: this may run inside a yield, where another yield
  // would do nothing and the screen would show an old picture.
  wxGUIEventLoop ownLoop;
  wxEventLoopBase* loop = wxEventLoopBase::GetActive();
  std::unique_ptr<wxEventLoopActivator> activate;
  if (!loop) {
    activate = std::make_unique<wxEventLoopActivator>(&ownLoop);
    loop = &ownLoop;
  }
  for (int i = 0; i < 50; ++i) loop->DispatchTimeout(10);
  wxRect area = window->GetScreenRect();
  if (std::getenv("TROVABILD_SCREENSHOT_FULL")) area = wxRect(0, 0, 1280, 1024);
  // The X server's picture of the screen, as a user would see it.
  const std::string command = "import -window root -crop " + std::to_string(area.width) + "x" +
                              std::to_string(area.height) + "+" + std::to_string(area.x) + "+" +
                              std::to_string(area.y) + " +repage '" + folder + "/" + name + ".png'";
  if (std::system(command.c_str()) != 0) ADD_FAILURE() << command;
}

inline bool takingScreenshots() {
  const char* folder = std::getenv("TROVABILD_SCREENSHOT_DIR");
  return folder && *folder;
}

struct MessageShown {
  std::string text;
  std::string title;
  long style = 0;
};

class WindowTest : public ::testing::Test {
 public:
  void SetUp() override {
    setPreferencesPath(dir / "config.ini");
    resetSettings(false);
    resetJob();
    loadMessageTable();
    settings.windowX = 20;
    settings.windowY = 20;
    setMessageHook([this](const wxString& text, const wxString& title, long style) {
      messages.push_back({std::string(text.utf8_str()), std::string(title.utf8_str()), style});
      return answer;
    });
    setOpenAddressHook([this](const std::string& address) { opened.push_back(address); });
    setDialogObserver([this](wxDialog& dialog) {
      if (observer) observer(dialog);
    });
    window = new MainWindow();
    window->StartUp();
    pumpEvents();
  }

  void TearDown() override {
    setDialogObserver({});
    setMessageHook({});
    setOpenAddressHook({});
    if (wxWindow* found = wxWindow::FindWindowByName("mainWindow")) found->Destroy();
    pumpEvents();
    setPreferencesPath("");
  }

  /// Posts a menu command as the menu bar would.
  void postCommand(int command) {
    wxCommandEvent event(wxEVT_MENU, commandId(command));
    event.SetEventObject(window);
    wxPostEvent(window, event);
    pumpEvents();
  }

  /// Adds paths through the input list, as the dialogs do.
  void addRows(const std::vector<std::string>& paths) { AddInputFiles(*window, paths); }

  ScratchDir dir;
  MainWindow* window = nullptr;
  std::vector<MessageShown> messages;
  std::vector<std::string> opened;
  int answer = wxYES;
  std::function<void(wxDialog&)> observer;
};

}  // namespace trovabild::testing
