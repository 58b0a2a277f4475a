#include "desktop/update_ui.h"

#include <wx/wx.h>

#include "base/messages.h"
#include "base/product.h"
#include "desktop/small_dialogs.h"
#include "online/update_check.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

wxString text(const char* group, const char* key) { return wxString::FromUTF8(message(group, key)); }

}  // namespace

void AutoCheckForUpdates(wxWindow* parent) {
  const int32_t now = localNow();
  if (!updateCheckDue(settings.updateRange, settings.updateDate, now)) return;
  // Moved before the question: whatever the answer, the next question comes
  // one interval later. It is stored with the next save of the preferences.
  settings.updateDate = now;
  if (showMessage(parent, text("Msg", "Ask check for updates"), text("Msg", "Check for Updates"),
                  wxYES_NO | wxICON_QUESTION) == wxYES)
    CheckForUpdates(parent);
}

void CheckForUpdates(wxWindow* parent) {
  UpdateStatus status;
  {
    wxBusyCursor busy;
    status = fetchUpdateStatus();
  }
  switch (status) {
    case UpdateStatus::connectionProblem:
      showMessage(parent, text("Msg", "Internet connection problems"), text("Msg", "Error"), wxOK | wxICON_ERROR);
      break;
    case UpdateStatus::newVersion:
      if (showMessage(parent, text("Msg", "New Update Text"), text("Msg", "New Update"),
                      wxYES_NO | wxICON_QUESTION) == wxYES)
        openAddress(kWebAddress);
      break;
    case UpdateStatus::upToDate:
      showMessage(parent, text("Msg", "No Update Text"), text("Msg", "No Update"), wxOK | wxICON_INFORMATION);
      break;
  }
}

}  // namespace trovabild
