#pragma once
// Icon themes: every image of the window is looked up by a fixed name. The
// built-in images (the "handdrawn" artwork, carried inside the program) are
// replaced from a theme package, gfx/<id>.zip holding theme.cfg and PNGs.

#include <wx/bitmap.h>

#include <string>
#include <utility>
#include <vector>

namespace trovabild {

/// The three image sets. Buttons: Convert (64 x 64), InFiles and InFolder
/// (48 x 48). Menu icons: 16 x 16. Toolbar icons: themeIconPixels(uiSize).
enum class ThemeSet { buttons = 0, menuIcons = 1, toolbarIcons = 2 };

/// Image names of a set, in their fixed order (menu and toolbar share theirs).
const std::vector<std::string>& themeImageNames(ThemeSet set);
/// Toolbar icon size in pixels for a `uiSize` choice: 0 -> 16, 1 -> 24,
/// 2 -> 32, 3 -> 48, 4 -> 64 (values out of range clamp to 16 or 64).
int themeIconPixels(int uiSize);

/// The current image of a set by name (built-in unless a theme replaced it).
/// Never blank for a listed name; an unknown name gives an invalid bitmap.
/// Before LoadTheme ran, the built-in images are used.
wxBitmap themeImage(ThemeSet set, const std::string& name);

/// One installed theme: id (file name without ".zip") and display name.
struct ThemeInfo {
  std::string id;
  std::string name;
};
/// The theme list filled by ScanThemes, ordered by id.
const std::vector<ThemeInfo>& themeList();

/// The folder holding the theme packages, with a trailing "/": gfx/ beside
/// the executable, else the gfx/ of the source tree a build folder names,
/// else <prefix>/share/trovabild/gfx/ of an installed program (see
/// findProgramData). "" when none exists.
std::string themesFolder();
/// Replaces the themes folder (tests); "" returns to the search above.
void setThemesFolder(const std::string& folder);
/// The program's HTML manual (index.html) found the same way: beside the
/// executable (manual/), in the source tree (docs/manual/) or installed
/// (share/trovabild/manual/). "" when none is found.
std::string manualIndexPath();

/// Fills the theme list from the *.zip files of the themes folder.
void ScanThemes();
/// Puts the built-in images into the flagged sets, at the current sizes.
void loadBuiltinImages(bool buttons, bool menuIcons, bool toolbarIcons);
/// Loads the images of `settings.uiTheme` into the flagged sets. A missing
/// package falls back to the first listed theme (and stores its id in
/// `settings.uiTheme`); a missing entry keeps the image the set holds.
/// A toolbar-only call after an icon-size change first puts the built-in
/// images of the new size in place, so no icon keeps the old size.
void LoadTheme(bool buttons, bool menuIcons, bool toolbarIcons);

/// The value of `key` in `[group]` of a theme.cfg text: groups and keys
/// match without regard to case, a key also matches a longer key that
/// begins with it (the first one counts), and the value runs from the
/// first "=" to the next "=" or the line end, trimmed of blanks, TABs, CRs
/// and LFs. "" when the group or key is missing.
std::string ThemeValue(const std::string& text, const std::string& group, const std::string& key);

}  // namespace trovabild
