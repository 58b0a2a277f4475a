#pragma once
// The small windows: converter finder, about box and the uninstall prompt,
// plus the two seams every dialog here goes through (message boxes and the
// shell's "open" action) so tests can answer and watch them.

#include <functional>
#include <string>

class wxWindow;
class wxString;

namespace trovabild {

/// Shows a message box (wxMessageBox styles, e.g. wxYES_NO | wxICON_QUESTION)
/// and returns its answer (wxYES, wxNO, wxOK, wxCANCEL). Goes through the
/// hook when one is set.
int showMessage(wxWindow* parent, const wxString& text, const wxString& title, long style);
/// Replaces showMessage's box; an empty function restores the real one.
void setMessageHook(std::function<int(const wxString& text, const wxString& title, long style)> hook);

/// Opens a web address or a "mailto:" address with the desktop's handler.
/// Goes through the hook when one is set.
void openAddress(const std::string& address);
/// Replaces openAddress's action; an empty function restores the real one.
void setOpenAddressHook(std::function<void(const std::string& address)> hook);

/// The extension as the converter finder uses it: lower case, cut to its
/// first 12 characters, only 0-9 and a-z kept. "" when nothing remains.
std::string cleanExtension(const std::string& text);
/// The converter finder's page for two typed extensions, or "" when either
/// is empty after cleaning (".ICO", "J.P.G" -> kConverterFinderBase + "ico-jpg/").
std::string converterFinderAddress(const std::string& from, const std::string& to);

/// Menu command "Find a File Converter...": modal, centred on the parent.
void ShowConverterFinder(wxWindow* parent);
/// Menu command "About...": modal, centred on the parent.
void ShowAboutBox(wxWindow* parent);

/// The "-U" prompt, with the toolkit already started and no main window.
/// Runs its own event loop and returns the exit status (0) when closed.
int RunUninstallPrompt();

}  // namespace trovabild
