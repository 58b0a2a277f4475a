// Writes a picture of every preferences page and of the small dialogs into
// a folder, for the manual (docs/screenshots/ holds the ones it shows).
// Run it with scripts/manual-pictures, which gives it a virtual display.

#include <wx/app.h>
#include <wx/image.h>
#include <wx/imagpng.h>
#include <wx/init.h>
#include <wx/scrolwin.h>
#include <wx/timer.h>
#include <wx/wx.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/messages.h"
#include "desktop/desktop_app.h"
#include "desktop/preferences_dialog.h"
#include "desktop/screenshot.h"
#include "desktop/small_dialogs.h"
#include "desktop/themes.h"
#include "settings/settings.h"

namespace trovabild {
namespace {

void takePictures(const char* target) {
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

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: trovabild_manual_pictures FOLDER\n", stderr);
    return 2;
  }
  if (!trovabild::displayAvailable() || !wxEntryStart(argc, argv)) {
    std::fputs("no display; run it under xvfb-run\n", stderr);
    return 1;
  }
  trovabild::takePictures(argv[1]);
  wxTheApp->OnExit();
  wxEntryCleanup();
  return 0;
}
