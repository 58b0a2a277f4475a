#include "desktop/small_dialogs.h"

#include <wx/wx.h>

namespace trovabild {

const char* const kMakerSite = "https://www.pixmundo.net/";
const char* const kSupportEmail = "support@pixmundo.net";
const char* const kConverterFinderBase = "https://www.pixmundo.net/find/";
const char* const kUninstallPage = "https://www.pixmundo.net/uninstall/trovabild/";

int showMessage(wxWindow* parent, const wxString& text, const wxString& title, long style) {
  return wxMessageBox(text, title, style, parent);
}
void setMessageHook(std::function<int(const wxString&, const wxString&, long)>) {}
void openAddress(const std::string& address) { wxLaunchDefaultBrowser(wxString::FromUTF8(address)); }
void setOpenAddressHook(std::function<void(const std::string&)>) {}
std::string cleanExtension(const std::string&) { return ""; }
std::string converterFinderAddress(const std::string&, const std::string&) { return ""; }
void ShowConverterFinder(wxWindow*) {}
void ShowAboutBox(wxWindow*) {}
int RunUninstallPrompt() { return 0; }

}  // namespace trovabild
