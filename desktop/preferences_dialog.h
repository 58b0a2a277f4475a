#pragma once
// The nine-page preferences dialog.

#include <functional>
#include <string>
#include <utility>

class wxWindow;

namespace trovabild {

/// Page indices of the dialog.
enum PreferencesPage {
  kPageGeneral = 0,
  kPageInterface = 1,
  kPageInput = 2,
  kPageOutput = 3,
  kPageTransform = 4,
  kPageAdjustment = 5,
  kPageFrame = 6,
  kPageWatermark = 7,
  kPageAdvanced = 8,
};

/// What a closed dialog changed, for the main window's refresh.
struct PreferencesOutcome {
  bool accepted = false;         ///< OK or Defaults confirmed; settings saved
  bool themeChanged = false;     ///< reload every image, menus and toolbars
  bool iconSizeChanged = false;  ///< reload the toolbar icons
};

/// Shows the dialog modally at `page` (the menu asks for kPageGeneral, the
/// output format button for kPageOutput). On OK or Defaults the settings
/// are taken, saved with SavePreferences and the outcome says what the
/// caller's main window must refresh; Cancel, Escape and the close box
/// change nothing.
PreferencesOutcome ShowPreferencesDialog(wxWindow* parent, int page = kPageGeneral);

/// Replaces the colour chooser behind the colour rows' "...": it gets the
/// row's RRGGBB and returns the chosen one, or "" when cancelled. An empty
/// function restores the toolkit's chooser.
void setColourChooserHook(std::function<std::string(const std::string& current)> hook);
/// Replaces the font chooser behind the font row's "...": it gets the face
/// and size shown and returns the chosen ones (face "" when cancelled).
void setFontChooserHook(std::function<std::pair<std::string, int>(const std::string& face, int size)> hook);

/// The picture chooser's filter (wxFileDialog form): all supported files,
/// PNG, BMP, JPEG, then all files.
std::string watermarkImageFilter();

}  // namespace trovabild
