#include "desktop/screenshot.h"

#include <sys/stat.h>

#include <wx/bmpcbox.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/imagjpeg.h>
#include <wx/timer.h>
#include <wx/wx.h>

#include <cmath>

#include "app/messages.h"
#include "app/seams.h"
#include "desktop/main_window.h"
#include "desktop/themes.h"
#include "imaging/format_registry.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

bool isFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

constexpr const char* kSampleInputs[] = {"pic0102.", "picture_a.", "picture_b.", "pixmundo.",
                                         "layout-haus.", "summer.", "winter."};
constexpr const char* kSampleInputFolder = "/images/";
constexpr const char* kSampleOutputFolder = "/converted/";

void fillSamples(MainWindow& window) {
  for (const char* name : kSampleInputs) {
    const int pick = job.inputFormats.empty() ? 0 : randomInt(0, static_cast<int>(job.inputFormats.size()) - 1);
    const std::string format = job.inputFormats.empty() ? "ico" : job.inputFormats[pick];
    window.appendInputRow(std::string(kSampleInputFolder) + name + format);
  }
  wxBitmapComboBox* box = window.outputFolderBox();
  box->Clear();
  box->Append(kSampleOutputFolder, menuImage("FavFolder"));
  box->SetSelection(0);
  window.setOutputFolderText(kSampleOutputFolder);
  job.outputFolder = kSampleOutputFolder;
}

}  // namespace

wxImage captureWindowArea(wxWindow* window) {
  window->Update();
  const wxRect area = window->GetScreenRect();
  if (area.IsEmpty()) return wxImage();
  wxBitmap bitmap(area.width, area.height, 24);
  wxMemoryDC memory(bitmap);
  wxScreenDC screen;
  memory.Blit(0, 0, area.width, area.height, &screen, area.x, area.y);
  memory.SelectObject(wxNullBitmap);
  return bitmap.ConvertToImage();
}

bool writeScreenshots(const wxImage& shot, const std::string& folder) {
  if (!shot.IsOk()) return false;
  if (!wxImage::FindHandler(wxBITMAP_TYPE_JPEG)) wxImage::AddHandler(new wxJPEGHandler);
  wxBitmap bitmap(shot);
  {
    wxMemoryDC dc(bitmap);
    dc.SetFont(wxFont(wxFontInfo(8).FaceName("Tahoma")));
    dc.SetTextForeground(wxColour(0x40, 0x40, 0x40));
    dc.SetBackgroundMode(wxTRANSPARENT);
    const wxString address = wxString::FromUTF8(kWebAddress);
    const wxSize extent = dc.GetTextExtent(address);
    dc.DrawText(address, bitmap.GetWidth() - extent.x - 6, bitmap.GetHeight() - extent.y - 4);
    dc.SelectObject(wxNullBitmap);
  }
  wxImage full = bitmap.ConvertToImage();
  full.SetOption(wxIMAGE_OPTION_QUALITY, 90);
  if (!full.SaveFile(wxString::FromUTF8(folder + kScreenshotFile), wxBITMAP_TYPE_JPEG)) return false;
  const int height =
      static_cast<int>(std::lround(static_cast<double>(full.GetHeight()) * kScreenshotThumbWidth / full.GetWidth()));
  wxImage thumb = full.Scale(kScreenshotThumbWidth, std::max(1, height), wxIMAGE_QUALITY_HIGH);
  thumb.SetOption(wxIMAGE_OPTION_QUALITY, 90);
  return thumb.SaveFile(wxString::FromUTF8(folder + kScreenshotThumbFile), wxBITMAP_TYPE_JPEG);
}

int RunScreenshotMode(const std::string& folderArgument) {
  job.runMode = "T";
  std::string folder = folderArgument.empty() ? job.programFolder : folderArgument;
  if (folder.empty()) return 0;
  if (folder.back() != '/') folder += '/';
  if (!isFolder(folder)) return 0;

  loadMessageTable();
  fillFormatRegistry();
  loadBuiltinImages(true, true, true);
  ScanThemes();
  LoadTheme(true, true, true);

  // The window's fixed place and size for the picture; the user's own
  // preferences are neither read nor written here.
  settings.windowX = 400;
  settings.windowY = 400;
  settings.windowWidth = 510;
  settings.windowHeight = 330;
  settings.isMaximized = 0;
  settings.recentOutFolders.clear();

  auto* window = new MainWindow();
  window->StartUp();
  fillSamples(*window);

  wxGUIEventLoop loop;
  bool captured = false;
  auto capture = [&] {
    if (captured) return;
    captured = true;
    writeScreenshots(captureWindowArea(window), folder);
    window->Destroy();
    loop.ScheduleExit(0);
  };
  wxTimer timer;
  timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { capture(); });
  // Bound after the window's own handler, so it runs first and the closing
  // steps (which would save the preferences) are skipped.
  window->Bind(wxEVT_CLOSE_WINDOW, [&](wxCloseEvent&) { capture(); });
  timer.StartOnce(500);
  loop.Run();
  return 0;
}

}  // namespace trovabild
