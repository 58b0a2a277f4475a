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

}  // namespace
}  // namespace trovabild
