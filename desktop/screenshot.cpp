#include "desktop/screenshot.h"

#include <dlfcn.h>
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

#include "base/messages.h"
#include "base/product.h"
#include "base/seams.h"
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

namespace {

// The display's pixels through GDK (already loaded with the toolkit), read
// straight from the X server. wxScreenDC on GTK 3 may hand back an earlier
// picture of the screen when it is read more than once in a process.
struct Gdk {
  using RootWindow = void* (*)();
  using FromWindow = void* (*)(void*, int, int, int, int);
  using Pixels = unsigned char* (*)(const void*);
  using Number = int (*)(const void*);
  using Unref = void (*)(void*);
  RootWindow rootWindow = reinterpret_cast<RootWindow>(dlsym(RTLD_DEFAULT, "gdk_get_default_root_window"));
  FromWindow fromWindow = reinterpret_cast<FromWindow>(dlsym(RTLD_DEFAULT, "gdk_pixbuf_get_from_window"));
  Pixels pixels = reinterpret_cast<Pixels>(dlsym(RTLD_DEFAULT, "gdk_pixbuf_get_pixels"));
  Number rowstride = reinterpret_cast<Number>(dlsym(RTLD_DEFAULT, "gdk_pixbuf_get_rowstride"));
  Number channels = reinterpret_cast<Number>(dlsym(RTLD_DEFAULT, "gdk_pixbuf_get_n_channels"));
  Unref unref = reinterpret_cast<Unref>(dlsym(RTLD_DEFAULT, "g_object_unref"));
  bool ok() const { return rootWindow && fromWindow && pixels && rowstride && channels && unref; }
};

wxImage captureThroughGdk(const wxRect& area) {
  static const Gdk gdk;
  if (!gdk.ok()) return wxImage();
  void* root = gdk.rootWindow();
  void* pixbuf = root ? gdk.fromWindow(root, area.x, area.y, area.width, area.height) : nullptr;
  if (!pixbuf) return wxImage();
  wxImage image(area.width, area.height);
  const unsigned char* source = gdk.pixels(pixbuf);
  const int stride = gdk.rowstride(pixbuf);
  const int step = gdk.channels(pixbuf);
  unsigned char* target = image.GetData();
  for (int y = 0; y < area.height; ++y)
    for (int x = 0; x < area.width; ++x) {
      const unsigned char* p = source + y * stride + x * step;
      unsigned char* q = target + (y * area.width + x) * 3;
      q[0] = p[0];
      q[1] = p[1];
      q[2] = p[2];
    }
  gdk.unref(pixbuf);
  return image;
}

}  // namespace

wxImage captureWindowArea(wxWindow* window) {
  window->Update();
  const wxRect area = window->GetScreenRect();
  if (area.IsEmpty()) return wxImage();
  if (wxImage image = captureThroughGdk(area); image.IsOk()) return image;
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
