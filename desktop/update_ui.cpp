#include "desktop/update_ui.h"

#include <wx/wx.h>

namespace trovabild {

void AutoCheckForUpdates(wxWindow*) {}
void CheckForUpdates(wxWindow*) {}

}  // namespace trovabild
