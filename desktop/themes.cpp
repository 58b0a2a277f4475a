#include "desktop/themes.h"

namespace trovabild {

static std::vector<ThemeInfo> gThemes;
static std::string gThemesFolder;

const std::vector<std::string>& themeImageNames(ThemeSet set) {
  static const std::vector<std::string> buttons{"Convert", "InFiles", "InFolder"};
  static const std::vector<std::string> icons{"New", "Add", "InFiles", "InFolder", "OutFolder", "OutFormat",
                                              "FavFolder", "ImportFiles", "ExportFiles", "Exit", "Copy",
                                              "Delete", "SelectAll", "Convert", "Error", "Preferences",
                                              "CustomConverter", "Help", "Email", "Web", "Updates", "About"};
  return set == ThemeSet::buttons ? buttons : icons;
}
int themeIconPixels(int uiSize) {
  static const int kPixels[] = {16, 24, 32, 48, 64};
  return kPixels[uiSize < 0 ? 0 : uiSize > 4 ? 4 : uiSize];
}
wxBitmap themeImage(ThemeSet, const std::string&) { return wxBitmap(); }
const std::vector<ThemeInfo>& themeList() { return gThemes; }
std::string themesFolder() { return gThemesFolder; }
void setThemesFolder(const std::string& folder) { gThemesFolder = folder; }
void ScanThemes() {}
void loadBuiltinImages(bool, bool, bool) {}
void LoadTheme(bool, bool, bool) {}
std::string ThemeValue(const std::string&, const std::string&, const std::string&) { return ""; }

}  // namespace trovabild
