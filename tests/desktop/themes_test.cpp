#include "desktop/themes.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/mstream.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "settings/settings.h"
#include "tests/support/temp_dir.h"

namespace trovabild {
namespace {

namespace fs = std::filesystem;

using Folder = testing::TempDir;

/// A PNG of one colour.
std::string png(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  wxImage image(width, height);
  image.SetRGB(wxRect(0, 0, width, height), r, g, b);
  wxMemoryOutputStream out;
  image.SaveFile(out, wxBITMAP_TYPE_PNG);
  std::string bytes(out.GetSize(), '\0');
  out.CopyTo(bytes.data(), bytes.size());
  return bytes;
}

/// Writes a zip package holding the given entries.
void writeZip(const std::string& path, const std::map<std::string, std::string>& entries) {
  archive* zip = archive_write_new();
  archive_write_set_format_zip(zip);
  ASSERT_EQ(archive_write_open_filename(zip, path.c_str()), ARCHIVE_OK);
  for (const auto& [name, data] : entries) {
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name.c_str());
    archive_entry_set_size(entry, static_cast<la_int64_t>(data.size()));
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_write_header(zip, entry);
    archive_write_data(zip, data.data(), data.size());
    archive_entry_free(entry);
  }
  archive_write_close(zip);
  archive_write_free(zip);
}

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

Rgb centre(const wxBitmap& bitmap) {
  const wxImage image = bitmap.ConvertToImage();
  const int x = image.GetWidth() / 2, y = image.GetHeight() / 2;
  return {image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)};
}

/// Whether a picture shows something: some opaque pixels of more than one colour.
bool showsSomething(const wxBitmap& bitmap) {
  const wxImage image = bitmap.ConvertToImage();
  int opaque = 0;
  std::map<int, int> colours;
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x) {
      if (image.HasAlpha() && image.GetAlpha(x, y) < 128) continue;
      ++opaque;
      ++colours[(image.GetRed(x, y) << 16) | (image.GetGreen(x, y) << 8) | image.GetBlue(x, y)];
    }
  return opaque > image.GetWidth() * image.GetHeight() / 8 && colours.size() > 2;
}

const Rgb kMagenta{255, 0, 255};
const Rgb kCyan{0, 255, 255};
const Rgb kYellow{255, 255, 0};

class Themes : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSettings(false);
    setThemesFolder(folder.path());
  }
  void TearDown() override {
    setThemesFolder("");
    resetSettings(false);
    ScanThemes();
    LoadTheme(true, true, true);
  }
  Folder folder;
};

TEST(ThemeValue, ReadsTheConfigText) {
  const std::string cfg =
      "[Theme]\r\nName = My Theme \r\n\r\n"
      "[Buttons]\r\nConvert=big.png\r\n"
      "[Icons]\r\nNew=doc\r\nexportfiles2 = out\r\nExportFiles=list\r\nCopy=copy\t\r\nDelete= \tbin = x\r\n"
      "Help\r\nWeb=web";
  struct Case {
    const char* group;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"Theme", "Name", "My Theme"},
      {"theme", "NAME", "My Theme"},
      {"Buttons", "Convert", "big.png"},
      {"Icons", "New", "doc"},
      {"Icons", "ExportFiles", "out"},  // an earlier, longer key that begins with it matches
      {"Icons", "Copy", "copy"},        // trailing TAB trimmed
      {"Icons", "Delete", "bin"},       // up to the second "="
      {"Icons", "Help", ""},            // a line without "="
      {"Icons", "Web", "web"},          // last line without CR LF
      {"Icons", "Convert", ""},         // only in another group
      {"Buttons", "New", ""},           // found only after the group's end
      {"Missing", "New", ""},
      {"Theme", "Author", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.group) + "/" + c.key);
    EXPECT_EQ(ThemeValue(cfg, c.group, c.key), c.expected);
  }
  EXPECT_EQ(ThemeValue("", "Theme", "Name"), "");
}

TEST(ThemeImages, IconSizes) {
  const int expected[] = {16, 16, 24, 32, 48, 64, 64};
  for (int size = -1; size <= 5; ++size) EXPECT_EQ(themeIconPixels(size), expected[size + 1]) << size;
}

TEST_F(Themes, BuiltInImagesCoverEveryNameAndSize) {
  setThemesFolder(folder / "none");  // no packages at all
  ScanThemes();
  EXPECT_TRUE(themeList().empty());
  for (int size = 0; size <= 4; ++size) {
    settings.uiSize = size;
    LoadTheme(true, true, true);
    const int pixels = themeIconPixels(size);
    for (const std::string& name : themeImageNames(ThemeSet::toolbarIcons)) {
      SCOPED_TRACE(name + " " + std::to_string(pixels));
      const wxBitmap toolbar = themeImage(ThemeSet::toolbarIcons, name);
      ASSERT_TRUE(toolbar.IsOk());
      EXPECT_EQ(toolbar.GetWidth(), pixels);
      EXPECT_EQ(toolbar.GetHeight(), pixels);
      EXPECT_TRUE(showsSomething(toolbar));
      const wxBitmap menu = themeImage(ThemeSet::menuIcons, name);
      ASSERT_TRUE(menu.IsOk());
      EXPECT_EQ(menu.GetWidth(), 16);
      EXPECT_TRUE(showsSomething(menu));
    }
  }
  const std::pair<const char*, int> buttons[] = {{"Convert", 64}, {"InFiles", 48}, {"InFolder", 48}};
  for (const auto& [name, pixels] : buttons) {
    const wxBitmap button = themeImage(ThemeSet::buttons, name);
    ASSERT_TRUE(button.IsOk()) << name;
    EXPECT_EQ(button.GetWidth(), pixels) << name;
    EXPECT_TRUE(showsSomething(button)) << name;
  }
  EXPECT_FALSE(themeImage(ThemeSet::menuIcons, "NoSuchName").IsOk());
}

TEST_F(Themes, ShippedPackageIsListedAndComplete) {
  setThemesFolder(std::string(TROVABILD_SOURCE_DIR) + "/gfx");
  ScanThemes();
  const auto& themes = themeList();
  const auto shipped =
      std::find_if(themes.begin(), themes.end(), [](const ThemeInfo& theme) { return theme.id == "handdrawn"; });
  ASSERT_NE(shipped, themes.end());
  EXPECT_EQ(shipped->name, "Hand-drawn");
  settings.uiTheme = "handdrawn";
  settings.uiSize = 3;
  LoadTheme(true, true, true);
  for (const std::string& name : themeImageNames(ThemeSet::toolbarIcons)) {
    EXPECT_EQ(themeImage(ThemeSet::toolbarIcons, name).GetWidth(), 48) << name;
    EXPECT_TRUE(showsSomething(themeImage(ThemeSet::toolbarIcons, name))) << name;
  }
}

namespace builtin {
#include "desktop/themes_builtin.inc"
}

TEST(ThemeImages, BuiltInImagesAreTheShippedPackage) {
  // Both come from scripts/theme/make-theme; a package redrawn without the
  // other would make the window's built-in and themed pictures differ.
  std::ifstream in(std::string(TROVABILD_SOURCE_DIR) + "/gfx/handdrawn.zip", std::ios::binary);
  const std::string shipped((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(shipped.size(), sizeof builtin::kBuiltinTheme);
  EXPECT_TRUE(std::equal(shipped.begin(), shipped.end(), reinterpret_cast<const char*>(builtin::kBuiltinTheme)));
}

TEST_F(Themes, PackageImagesReplaceTheBuiltInOnes) {
  writeZip(folder / "bright.zip",
           {{"theme.cfg", "[Theme]\r\nName=Bright\r\n[Buttons]\r\nConvert=go.png\r\n"
                          "[Icons]\r\nNew=doc\r\nAdd=plus.png\r\nExportFiles=out\r\nCopy=copy\t\r\nHelp=empty\r\n"},
            {"go.png", png(64, 64, 255, 0, 255)},
            {"doc_16.png", png(16, 16, 255, 0, 255)},
            {"doc_32.png", png(32, 32, 0, 255, 255)},
            {"plus.png", png(16, 16, 255, 255, 0)},
            {"out_16.png", png(16, 16, 0, 255, 255)},
            {"copy_32.png", png(32, 32, 255, 255, 0)},
            {"empty_32.png", ""}});
  ScanThemes();
  ASSERT_EQ(themeList().size(), 1u);
  EXPECT_EQ(themeList()[0].name, "Bright");

  settings.uiTheme = "bright";
  settings.uiSize = 2;
  LoadTheme(true, true, true);
  EXPECT_EQ(centre(themeImage(ThemeSet::buttons, "Convert")), kMagenta);
  EXPECT_EQ(centre(themeImage(ThemeSet::menuIcons, "New")), kMagenta);      // doc_16.png
  EXPECT_EQ(centre(themeImage(ThemeSet::toolbarIcons, "New")), kCyan);      // doc_32.png
  EXPECT_EQ(centre(themeImage(ThemeSet::menuIcons, "Add")), kYellow);       // plus.png for every size
  EXPECT_EQ(themeImage(ThemeSet::toolbarIcons, "Add").GetWidth(), 32);      // scaled to the toolbar size
  EXPECT_EQ(centre(themeImage(ThemeSet::toolbarIcons, "Add")), kYellow);
  EXPECT_EQ(centre(themeImage(ThemeSet::menuIcons, "ExportFiles")), kCyan);  
  EXPECT_EQ(centre(themeImage(ThemeSet::toolbarIcons, "Copy")), kYellow);   // value trimmed of its TAB

  // Missing and empty entries keep the built-in pictures.
  EXPECT_NE(centre(themeImage(ThemeSet::menuIcons, "Copy")), kYellow);
  EXPECT_TRUE(showsSomething(themeImage(ThemeSet::menuIcons, "Copy")));
  EXPECT_TRUE(showsSomething(themeImage(ThemeSet::toolbarIcons, "Help")));
  EXPECT_EQ(themeImage(ThemeSet::buttons, "InFiles").GetWidth(), 48);

  // A size change reloads only the toolbar, at the new size.
  settings.uiSize = 0;
  LoadTheme(false, false, true);
  EXPECT_EQ(themeImage(ThemeSet::toolbarIcons, "New").GetWidth(), 16);
  EXPECT_EQ(centre(themeImage(ThemeSet::toolbarIcons, "New")), kMagenta);
  EXPECT_EQ(themeImage(ThemeSet::toolbarIcons, "Copy").GetWidth(), 16);
  EXPECT_NE(centre(themeImage(ThemeSet::toolbarIcons, "Copy")), kYellow);
}

TEST_F(Themes, ListCoversEveryPackageInNameOrder) {
  writeZip(folder / "zeta.zip", {{"theme.cfg", "[Theme]\r\nName=Last\r\n"}});
  writeZip(folder / "alpha.zip", {{"theme.cfg", "[Theme]\r\nAuthor=me\r\n"}});
  writeZip(folder / "bare.zip", {{"readme.txt", "no cfg"}});
  {
    std::ofstream(folder / "broken.zip") << "this is not a zip archive";
    std::ofstream(folder / "notes.txt") << "ignored";
  }
  fs::create_directory(folder / "folder.zip");
  ScanThemes();
  std::vector<std::pair<std::string, std::string>> listed;
  for (const ThemeInfo& theme : themeList()) listed.emplace_back(theme.id, theme.name);
  const std::vector<std::pair<std::string, std::string>> expected{
      {"alpha", ""}, {"bare", ""}, {"broken", "broken"}, {"zeta", "Last"}};
  EXPECT_EQ(listed, expected);
}

TEST_F(Themes, MissingThemeFallsBackToTheFirstListed) {
  writeZip(folder / "first.zip", {{"theme.cfg", "[Theme]\r\nName=First\r\n[Icons]\r\nNew=n\r\n"},
                                  {"n_16.png", png(16, 16, 0, 255, 255)}});
  writeZip(folder / "second.zip", {{"theme.cfg", "[Theme]\r\nName=Second\r\n"}});
  fs::create_directory(folder / "sub");
  writeZip(folder / "sub/elsewhere.zip", {{"theme.cfg", "[Theme]\r\nName=Elsewhere\r\n"}});
  ScanThemes();
  for (const char* theme : {"deleted", "", "sub/elsewhere"}) {
    SCOPED_TRACE(theme);
    settings.uiTheme = theme;
    LoadTheme(true, true, true);
    EXPECT_EQ(settings.uiTheme, "first");
    EXPECT_EQ(centre(themeImage(ThemeSet::menuIcons, "New")), kCyan);
  }
}

TEST_F(Themes, DamagedPackageKeepsTheBuiltInImages) {
  {
    std::ofstream(folder / "bad.zip") << "PK\x03\x04 truncated";
  }
  ScanThemes();
  settings.uiTheme = "bad";
  LoadTheme(true, true, true);
  for (const std::string& name : themeImageNames(ThemeSet::menuIcons))
    EXPECT_TRUE(showsSomething(themeImage(ThemeSet::menuIcons, name))) << name;
}

}  // namespace
}  // namespace trovabild
