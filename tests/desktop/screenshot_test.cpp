#include "desktop/screenshot.h"

#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/imagpng.h>
#include <wx/scrolwin.h>
#include <wx/timer.h>
#include <wx/wx.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/messages.h"
#include "desktop/preferences_dialog.h"
#include "desktop/small_dialogs.h"
#include "desktop/themes.h"
#include "batch/input_list.h"
#include "settings/settings.h"
#include "tests/support/temp_dir.h"

namespace trovabild {
namespace {

namespace fs = std::filesystem;

using Folder = testing::TempDir;

wxImage load(const std::string& path) {
  wxImage::AddHandler(new wxJPEGHandler);
  wxImage image;
  image.LoadFile(wxString::FromUTF8(path), wxBITMAP_TYPE_JPEG);
  return image;
}

TEST(ScreenshotMode, WritesTheWindowAndItsThumbnail) {
  Folder folder;
  resetSettings(true);
  resetJob();
  ASSERT_EQ(RunScreenshotMode(folder.path()), 0);
  wxImage full = load(folder / kScreenshotFile);
  wxImage thumb = load(folder / kScreenshotThumbFile);
  ASSERT_TRUE(full.IsOk());
  ASSERT_TRUE(thumb.IsOk());
  EXPECT_EQ(full.GetWidth(), 510);
  EXPECT_GE(full.GetHeight(), 330);
  // A picture of the window, not an empty or stale screen: it is drawn on
  // (many pixels differ from the corner one).
  int differing = 0;
  for (int y = 0; y < full.GetHeight(); y += 2)
    for (int x = 0; x < full.GetWidth(); x += 2)
      if (std::abs(full.GetRed(x, y) - full.GetRed(0, 0)) > 40) ++differing;
  EXPECT_GT(differing, full.GetWidth() * full.GetHeight() / 4 / 20);
  EXPECT_EQ(thumb.GetWidth(), 180);
  EXPECT_EQ(thumb.GetHeight(), std::lround(full.GetHeight() * 180.0 / full.GetWidth()));
  EXPECT_EQ(job.runMode, "T");
  job.runMode = "";
}

TEST(ScreenshotMode, DoesNothingWithoutAnExistingFolder) {
  Folder folder;
  resetJob();
  EXPECT_EQ(RunScreenshotMode(folder / "missing"), 0);
  EXPECT_TRUE(fs::is_empty(folder.path()));
  job.runMode = "";
}

TEST(ScreenshotMode, DrawsTheAddressNearTheLowerRightCorner) {
  struct Case {
    int width, height, thumbHeight;
  };
  const Case cases[] = {{510, 398, 140}, {400, 300, 135}, {333, 100, 54}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    Folder folder;
    wxImage white(c.width, c.height);
    white.SetRGB(wxRect(0, 0, c.width, c.height), 255, 255, 255);
    ASSERT_TRUE(writeScreenshots(white, folder.path()));
    wxImage full = load(folder / kScreenshotFile);
    ASSERT_EQ(full.GetSize(), wxSize(c.width, c.height));
    EXPECT_EQ(load(folder / kScreenshotThumbFile).GetSize(), wxSize(180, c.thumbHeight));
    // The address is the only thing drawn: dark pixels only in the last
    // rows, reaching close to the right edge.
    int dark = 0, darkElsewhere = 0, right = 0;
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        if (full.GetRed(x, y) >= 128) continue;
        if (y > c.height - 24) {
          ++dark;
          right = std::max(right, x);
        } else {
          ++darkElsewhere;
        }
      }
    EXPECT_GT(dark, 50) << "no text near the bottom";
    EXPECT_EQ(darkElsewhere, 0);
    EXPECT_GT(right, c.width - 16);
  }
}

// Not a check: with TROVABILD_DOCS_SCREENSHOTS set to a folder, writes a
// picture of every preferences page and of the small dialogs there
// (docs/screenshots/ holds the ones of the manual).
TEST(ScreenshotMode, DialogPicturesForTheManual) {
  const char* target = std::getenv("TROVABILD_DOCS_SCREENSHOTS");
  if (!target || !*target) GTEST_SKIP() << "TROVABILD_DOCS_SCREENSHOTS not set";
  loadMessageTable();
  resetSettings(false);
  ScanThemes();
  wxImage::AddHandler(new wxPNGHandler);
  struct Shot {
    std::string name;
    const char* window;
    std::function<void(wxWindow*)> show;
    int watermarkType = 0;
    const char* scrollArea = nullptr;  // scrolled to its end before the picture
  };
  std::vector<Shot> shots;
  const char* pages[] = {"general", "interface", "input", "output", "transform",
                         "adjustment", "frame", "watermark", "advanced"};
  for (int page = 0; page < 9; ++page)
    shots.push_back({std::string("preferences-") + pages[page], "preferencesDialog",
                     [page](wxWindow* parent) { ShowPreferencesDialog(parent, page); }});
  auto watermark = [](wxWindow* parent) { ShowPreferencesDialog(parent, kPageWatermark); };
  shots.push_back({"preferences-watermark-text", "preferencesDialog", watermark, 1});
  shots.push_back({"preferences-watermark-text-end", "preferencesDialog", watermark, 1, "watermarkTextPage"});
  shots.push_back({"preferences-watermark-image", "preferencesDialog", watermark, 2});
  shots.push_back({"about", "aboutBox", [](wxWindow* parent) { ShowAboutBox(parent); }});
  shots.push_back({"converter-finder", "converterFinder", [](wxWindow* parent) { ShowConverterFinder(parent); }});
  shots.push_back({"uninstall", "uninstallPrompt", [](wxWindow*) { RunUninstallPrompt(); }});

  wxFrame parent(nullptr, wxID_ANY, "main", wxPoint(300, 320), wxSize(200, 100));
  parent.Show();
  for (const Shot& shot : shots) {
    settings.watermarkType = static_cast<int8_t>(shot.watermarkType);
    // Captured from a timer inside the dialog's own loop, once it is drawn.
    wxTimer timer;
    bool scrolled = false;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
      auto* dialog = dynamic_cast<wxDialog*>(wxWindow::FindWindowByName(shot.window));
      if (!dialog) return;
      if (shot.scrollArea && !scrolled) {
        if (auto* area = dynamic_cast<wxScrolledWindow*>(wxWindow::FindWindowByName(shot.scrollArea, dialog)))
          area->Scroll(0, 1000);
        scrolled = true;
        timer.StartOnce(300);
        return;
      }
      captureWindowArea(dialog).SaveFile(wxString::FromUTF8(std::string(target) + "/" + shot.name + ".png"),
                                         wxBITMAP_TYPE_PNG);
      dialog->EndModal(wxID_CANCEL);
    });
    timer.StartOnce(400);
    shot.show(&parent);
  }
}

}  // namespace
}  // namespace trovabild
