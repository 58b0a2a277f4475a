#include "desktop/preferences.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/product.h"
#include "settings/settings.h"
#include "tests/support/temp_dir.h"

namespace trovabild {
namespace {

namespace fs = std::filesystem;

using Folder = testing::TempDir;

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class Preferences : public ::testing::Test {
 protected:
  void SetUp() override { resetSettings(false); }
  void TearDown() override { resetSettings(false); }

  /// Loads a file made of the given lines (CR LF added, byte order mark first).
  void loadLines(const std::string& lines) {
    writeFile(folder / "config.ini", "\xEF\xBB\xBF\r\n" + lines);
    loadPreferencesFrom(folder / "config.ini", 1920, 1080);
  }

  Folder folder;
};

TEST_F(Preferences, EveryKindOfValueSurvivesSaveAndLoad) {
  settings.updateRange = 4;
  settings.updateDate = 1700000000;
  settings.saveWindowPosition = 1;
  settings.isMaximized = 1;
  settings.windowX = -20;
  settings.windowY = 35;
  settings.windowWidth = 800;
  settings.windowHeight = 600;
  settings.uiTheme = "other";
  settings.uiSize = 4;
  settings.icoFrameLoading = 3;
  settings.jpgQuality = 70;
  settings.jpgChroma = 2;
  settings.jpgSaveAs = 1;
  settings.doRotation = 1;
  settings.rotation = 45;
  settings.rotationBackColor = "A0B0C0";
  settings.gamma = 0.7f;
  settings.brightness = -30;
  settings.frameType = 1;
  settings.solidTopColor = "FF0000";
  settings.watermarkType = 2;
  settings.wmText = "Caf\xC3\xA9  %filename% = mine";
  settings.wmImage = "/tmp/a b/logo.png";
  settings.filenameMask = "%filename%_%n%.%ext%";
  settings.customTimestamp = 86400;
  settings.outFoldersNumber = 9;
  settings.keepSubfolders = 0;
  settings.backgroundColor = "00ff7f";
  settings.threads = 3;
  settings.dryRun = 1;
  settings.reportFile = "/tmp/run report.json";
  settings.recentOutFolders = "/out/one\t/out/two";
  settings.recentFiles = "kept as it was";
  settings.cleanRecentFiles = 1;
  const Settings saved = settings;

  ASSERT_TRUE(savePreferencesTo(folder / "config.ini"));
  resetSettings(false);
  loadPreferencesFrom(folder / "config.ini", 1920, 1080);

  EXPECT_EQ(settings.updateRange, saved.updateRange);
  EXPECT_EQ(settings.updateDate, saved.updateDate);
  EXPECT_EQ(settings.isMaximized, 1);
  EXPECT_EQ(settings.windowX, -20);
  EXPECT_EQ(settings.windowY, 35);
  EXPECT_EQ(settings.windowWidth, 800);
  EXPECT_EQ(settings.windowHeight, 600);
  EXPECT_EQ(settings.uiTheme, "other");
  EXPECT_EQ(settings.uiSize, 4);
  EXPECT_EQ(settings.icoFrameLoading, 3);
  EXPECT_EQ(settings.jpgQuality, 70);
  EXPECT_EQ(settings.jpgChroma, 2);
  EXPECT_EQ(settings.jpgSaveAs, 1);
  EXPECT_EQ(settings.doRotation, 1);
  EXPECT_EQ(settings.rotation, 45);
  EXPECT_EQ(settings.rotationBackColor, "A0B0C0");
  EXPECT_FLOAT_EQ(settings.gamma, 0.7f);
  EXPECT_EQ(settings.brightness, -30);
  EXPECT_EQ(settings.frameType, 1);
  EXPECT_EQ(settings.solidTopColor, "FF0000");
  EXPECT_EQ(settings.watermarkType, 2);
  EXPECT_EQ(settings.wmText, saved.wmText);
  EXPECT_EQ(settings.wmImage, saved.wmImage);
  EXPECT_EQ(settings.filenameMask, saved.filenameMask);
  EXPECT_EQ(settings.customTimestamp, 86400);
  EXPECT_EQ(settings.outFoldersNumber, 9);
  EXPECT_EQ(settings.keepSubfolders, 0);
  EXPECT_EQ(settings.backgroundColor, "00ff7f");
  EXPECT_EQ(settings.threads, 3);
  EXPECT_EQ(settings.dryRun, 1);
  EXPECT_EQ(settings.reportFile, saved.reportFile);
  EXPECT_EQ(settings.recentOutFolders, saved.recentOutFolders);
  EXPECT_EQ(settings.recentFiles, saved.recentFiles);
  EXPECT_EQ(settings.cleanRecentFiles, 1);
}

TEST_F(Preferences, WrittenFileHasTheFixedLayout) {
  settings.gamma = 1.5f;
  settings.updateDate = 1234;
  settings.customTimestamp = 5678;
  ASSERT_TRUE(savePreferencesTo(folder / "config.ini"));
  const std::string text = readFile(folder / "config.ini");

  ASSERT_GE(text.size(), 5u);
  EXPECT_EQ(text.substr(0, 5), "\xEF\xBB\xBF\r\n");
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ASSERT_EQ(text[i - 1], '\r') << "bare LF at byte " << i;
    }
  }
  EXPECT_EQ(text.substr(text.size() - 4), "; \r\n");

  const char* const kBlocks[] = {
      "\r\n[General]\r\nCFG = 19\r\nLanguage = en\r\nUpdate Range = 2\r\nUpdate Date = 1234\r\n"
      "Save Window Position = 1\r\n; \r\n[Window]\r\nIsMaximized = 0\r\nWidth = 510\r\nHeight = 330\r\n"
      "X = 100\r\nY = 100\r\n; \r\n[Interface]\r\nUI Theme = handdrawn\r\nUI Size = 2\r\n; \r\n",
      "[Input]\r\nFormat = ico\r\nICO Frame Loading = 0\r\nBackground Color = FFFFFF\r\n; \r\n",
      "[Output]\r\nFormat = jpg\r\nJPG BPP = 0\r\nJPG Quality = 95\r\nJPG Chroma = 0\r\nJPG Save As = 0\r\n; \r\n",
      "Image Gamma = 1.500000\r\n",
      "[Advanced]\r\nFilename Mask = %filename%.%ext%\r\nFile Timestamp = 0\r\nCustom Timestamp = 5678\r\n"
      "Out Folders History = 1\r\nOut Folders Number = 5\r\nKeep Subfolders = 1\r\nThreads = 0\r\n"
      "Dry Run = 0\r\nReport File = \r\n; \r\n"
      "[File]\r\nRecent Out Folders = \r\nRecent Files = \r\n; \r\n[Privacy]\r\nClean Recent Files = 0\r\n; \r\n",
  };
  for (const char* block : kBlocks) EXPECT_NE(text.find(block), std::string::npos) << block;

  // Groups in their fixed order.
  std::string headers;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line[0] == '[') headers += line.substr(0, line.size() - 1);
  EXPECT_EQ(headers, "[General][Window][Interface][Input][Output][Transform][Adjustment][Frame][Watermark]"
                     "[Advanced][File][Privacy]");
}

TEST_F(Preferences, WindowGroupIsEmptyWhenPositionIsNotSaved) {
  settings.saveWindowPosition = 0;
  settings.windowX = 700;
  settings.windowWidth = 900;
  ASSERT_TRUE(savePreferencesTo(folder / "config.ini"));
  EXPECT_NE(readFile(folder / "config.ini").find("\r\n[Window]\r\n; \r\n[Interface]\r\n"), std::string::npos);

  // The next start opens at the plain defaults, not centred.
  loadPreferencesFrom(folder / "config.ini", 1920, 1080);
  EXPECT_EQ(settings.saveWindowPosition, 0);
  EXPECT_EQ(settings.windowX, 100);
  EXPECT_EQ(settings.windowY, 100);
  EXPECT_EQ(settings.windowWidth, 510);
  EXPECT_EQ(settings.windowHeight, 330);
}

TEST_F(Preferences, FirstRunCentresTheWindowOnTheDisplay) {
  struct Case {
    int displayWidth, displayHeight, x, y;
  };
  const Case cases[] = {{1920, 1080, 705, 375}, {1281, 1025, 385, 347}, {510, 331, 100, 0}, {0, 0, 100, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.displayWidth) + "x" + std::to_string(c.displayHeight));
    settings.jpgQuality = 10;
    loadPreferencesFrom(folder / "missing.ini", c.displayWidth, c.displayHeight);
    EXPECT_EQ(settings.windowX, c.x);
    EXPECT_EQ(settings.windowY, c.y);
    EXPECT_EQ(settings.windowWidth, 510);
    EXPECT_EQ(settings.windowHeight, 330);
    EXPECT_EQ(settings.configVersion, 19);
    EXPECT_EQ(settings.jpgQuality, 95);
    EXPECT_EQ(settings.keepAspectRatio, 1);
    EXPECT_EQ(settings.outputFormat, "jpg");
  }
}

TEST_F(Preferences, OlderFilesAreUpgraded) {
  struct Case {
    const char* name;
    std::string general;  ///< lines of [General]
    std::string mask;
    int rawLoadAs;
    std::string inputExtra, outputExtra;  ///< further lines of [Input] and [Output]
    std::string expectedMask;
    int expectedRaw, expectedPsd, expectedTiff;
  };
  const Case cases[] = {
      {"no CFG runs every rule", "", "%filename%", 1, "", "", "%filename%.%ext%", 3, 0, 0},
      {"mask with %ext% kept", "", "x_%ext%", 0, "", "", "x_%ext%", 0, 0, 0},
      {"CFG 10", "CFG=10\r\n", "%filename%", 2, "", "", "%filename%.%ext%", 4, 0, 0},
      {"CFG 11 keeps the mask", "CFG=11\r\n", "%filename%", 1, "", "", "%filename%", 3, 0, 0},
      {"CFG 14 keeps RAW", "CFG=14\r\n", "%filename%", 1, "", "", "%filename%", 1, 0, 0},
      {"old colour models taken", "CFG=18\r\n", "a.%ext%", 0, "PSD Color Model=2\r\n",
       "TIFF Color Model=1\r\n", "a.%ext%", 0, 2, 1},
      {"old zero keeps the new key", "CFG=18\r\n", "a.%ext%", 0, "PSD Color Model=0\r\nPSD Color Mode=1\r\n",
       "TIFF Color Model=0\r\nTIFF Color Mode=3\r\n", "a.%ext%", 0, 1, 3},
      {"old key beats the new one", "CFG=18\r\n", "a.%ext%", 0, "PSD Color Model=2\r\nPSD Color Mode=1\r\n", "",
       "a.%ext%", 0, 2, 0},
      {"CFG 19 ignores old keys", "CFG=19\r\n", "%filename%", 1, "PSD Color Model=2\r\n",
       "TIFF Color Model=2\r\n", "%filename%", 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    loadLines("[General]\r\n" + c.general + "[Input]\r\nRAW Load As=" + std::to_string(c.rawLoadAs) + "\r\n" +
              c.inputExtra + "[Output]\r\n" + c.outputExtra + "[Advanced]\r\nFilename Mask=" + c.mask + "\r\n");
    EXPECT_EQ(settings.filenameMask, c.expectedMask);
    EXPECT_EQ(settings.rawLoadAs, c.expectedRaw);
    EXPECT_EQ(settings.psdColorMode, c.expectedPsd);
    EXPECT_EQ(settings.tiffColorMode, c.expectedTiff);
  }
}

TEST_F(Preferences, ReadsLooseSpellingAndFallsBackPerKey) {
  loadLines(
      "[general]\r\nupdate range=4\r\n\t  Save Window Position = 0\r\n"
      "[Watermark]\r\nFont =    Liberation Sans   \r\nFont Size = big\r\nText Opacity = 99x\r\n"
      "[Adjustment]\r\nImage Gamma = 2.25\r\nDo Image Greyscale = 7\r\n"
      "[Unknown]\r\nWidth = 3\r\n");
  EXPECT_EQ(settings.updateRange, 4);
  EXPECT_EQ(settings.saveWindowPosition, 0);
  EXPECT_EQ(settings.wmFont, "Liberation Sans");
  EXPECT_EQ(settings.wmFontSize, 0);       // not a number
  EXPECT_EQ(settings.wmTextOpacity, 99);   // leading number
  EXPECT_FLOAT_EQ(settings.gamma, 2.25f);
  EXPECT_EQ(settings.doGreyscale, 1);
  // Missing keys take their defaults; an existing file is not a first run.
  EXPECT_EQ(settings.windowX, 100);
  EXPECT_EQ(settings.windowWidth, 510);
  EXPECT_EQ(settings.jpgQuality, 95);
  EXPECT_EQ(settings.wmTextPosition, 8);
  EXPECT_EQ(settings.wmText, kCopyright);
  EXPECT_EQ(settings.inputFormat, "ico");
  EXPECT_EQ(settings.icoFrameLoading, 0);
  EXPECT_EQ(settings.backgroundColor, "FFFFFF");
  EXPECT_EQ(settings.threads, 0);
  EXPECT_EQ(settings.dryRun, 0);
  EXPECT_EQ(settings.reportFile, "");

  // Written back in the program's own spelling.
  ASSERT_TRUE(savePreferencesTo(folder / "config.ini"));
  const std::string text = readFile(folder / "config.ini");
  EXPECT_NE(text.find("[General]\r\nCFG = 19\r\nLanguage = en\r\nUpdate Range = 4\r\n"), std::string::npos);
  EXPECT_NE(text.find("Font = Liberation Sans\r\n"), std::string::npos);
  EXPECT_EQ(text.find("[Unknown]"), std::string::npos);
}

TEST_F(Preferences, SmallFieldsKeepTheNearestValue) {
  loadLines("[Advanced]\r\nOut Folders Number = 300\r\n[Transform]\r\nImage Resize Algorithm = -500\r\n");
  EXPECT_EQ(settings.outFoldersNumber, 127);
  EXPECT_EQ(settings.resizeAlgorithm, -128);
}

TEST_F(Preferences, SaveReplacesTheFileWhole) {
  const std::string path = folder / "config.ini";
  writeFile(path, std::string(20000, 'x'));
  ASSERT_TRUE(savePreferencesTo(path));
  const std::string text = readFile(path);
  EXPECT_EQ(text.find('x' + std::string(100, 'x')), std::string::npos);
  EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
  // Only the file itself is left in the folder.
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    ++files;
    EXPECT_EQ(entry.path().filename(), "config.ini");
  }
  EXPECT_EQ(files, 1u);
}

TEST_F(Preferences, FailedSaveKeepsTheOldFile) {
  EXPECT_FALSE(savePreferencesTo(folder / "no/such/folder/config.ini"));
  EXPECT_FALSE(savePreferencesTo(""));

  // A folder in the way of the file: the save fails and leaves no stray file.
  fs::create_directory(folder / "config.ini");
  writeFile(folder / "config.ini/keep", "old");
  EXPECT_FALSE(savePreferencesTo(folder / "config.ini"));
  EXPECT_EQ(readFile(folder / "config.ini/keep"), "old");
  size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    ++entries;
    EXPECT_EQ(entry.path().filename(), "config.ini");
  }
  EXPECT_EQ(entries, 1u);
}

TEST_F(Preferences, SaveWritesThroughALink) {
  fs::create_directory(folder / "real");
  writeFile(folder / "real/config.ini", "old");
  fs::create_symlink(folder / "real/config.ini", folder / "config.ini");
  ASSERT_TRUE(savePreferencesTo(folder / "config.ini"));
  EXPECT_TRUE(fs::is_symlink(folder / "config.ini"));
  EXPECT_EQ(readFile(folder / "real/config.ini").substr(0, 3), "\xEF\xBB\xBF");
}

TEST_F(Preferences, FileLivesUnderTheUserConfigFolder) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
  setPreferencesPath("");
  EXPECT_EQ(preferencesPath(), folder / "config/Pixmundo/trovabild/config.ini");
  EXPECT_TRUE(fs::is_directory(folder / "config/Pixmundo/trovabild"));
  EXPECT_TRUE(SavePreferences());
  EXPECT_TRUE(fs::exists(folder / "config/Pixmundo/trovabild/config.ini"));

  // A relative XDG_CONFIG_HOME is not valid; the home folder's .config is used.
  setenv("XDG_CONFIG_HOME", "relative", 1);
  setenv("HOME", (folder / "home").c_str(), 1);
  setPreferencesPath("");
  EXPECT_EQ(preferencesPath(), folder / "home/.config/Pixmundo/trovabild/config.ini");

  if (old)
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  if (oldHome)
    setenv("HOME", savedHome.c_str(), 1);
  else
    unsetenv("HOME");
  setPreferencesPath(folder / "unused.ini");
}

TEST(RecentOutputFolders, NewestFirstWithoutDuplicates) {
  struct Case {
    const char* name;
    std::string before;
    int limit;
    std::string added;
    std::string after;
  };
  const Case cases[] = {
      {"same folder in other case replaced", "d:\\out\tC:\\A\tC:\\B", 3, "D:\\Out", "D:\\Out\tC:\\A\tC:\\B"},
      {"list cut to the limit", "d:\\out\tC:\\A\tC:\\B", 2, "D:\\Out", "D:\\Out\tC:\\A"},
      {"new folder pushes the oldest out", "/a\t/b\t/c", 3, "/new", "/new\t/a\t/b"},
      {"into an empty list", "", 5, "/only", "/only"},
      {"empty entries dropped", "/a\t\t/b", 5, "/c", "/c\t/a\t/b"},
      {"duplicate further down removed", "/a\t/b\t/C", 5, "/c", "/c\t/a\t/b"},
      {"non-ASCII letters compared without case", "/Bilder/\xC3\xA4rger\t/x", 5, "/BILDER/\xC3\x84RGER",
       "/BILDER/\xC3\x84RGER\t/x"},
      {"entries past the limit not considered", "/a\t/b\t/c\t/d", 2, "/d", "/d\t/a"},
      {"empty path changes nothing", "/a\t/b", 5, "", "/a\t/b"},
      {"limit zero keeps only the new folder", "/a\t/b", 0, "/n", "/n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetSettings(false);
    settings.recentOutFolders = c.before;
    settings.outFoldersNumber = static_cast<int8_t>(c.limit);
    AddRecentOutputFolder(c.added);
    EXPECT_EQ(settings.recentOutFolders, c.after);
  }
  resetSettings(false);
}

TEST(RecentOutputFolders, EntriesByIndex) {
  resetSettings(false);
  settings.recentOutFolders = "  /one \t/two\t";
  EXPECT_EQ(RecentOutputFolder(0), "/one");
  EXPECT_EQ(RecentOutputFolder(1), "/two");
  EXPECT_EQ(RecentOutputFolder(2), "");
  EXPECT_EQ(RecentOutputFolder(3), "");
  EXPECT_EQ(RecentOutputFolder(-1), "");
  resetSettings(false);
}

TEST(RecentOutputFolders, ChecksumIsTheZipOne) {
  EXPECT_EQ(crc32Of("123456789"), 0xCBF43926u);
  EXPECT_EQ(crc32Of(""), 0u);
}

}  // namespace
}  // namespace trovabild
