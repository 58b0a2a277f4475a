#include <FreeImage.h>
#include <gtest/gtest.h>

#include <set>

#include "imaging/format_registry.h"

namespace trovabild {

TEST(FormatRegistry, HoldsTheOutputFormatsInOrder) {
  struct Row { const char* ext; int fif; const char* depths; };
  constexpr Row kRows[] = {
      {"bmp", FIF_BMP, "1,4,8,16,24,32"}, {"exr", FIF_EXR, "96"}, {"gif", FIF_GIF, "8"},
      {"hdr", FIF_HDR, "96"}, {"ico", FIF_ICO, "1,4,8,16,24,32"}, {"j2k", FIF_J2K, "8,24,32,48"},
      {"jng", FIF_JNG, "24,32"}, {"jp2", FIF_JP2, "8,24,32,48"}, {"jpg", FIF_JPEG, "8,24"},
      {"jxr", FIF_JXR, "1,8,16,24,32,48,96"}, {"pbm", FIF_PBM, "1"}, {"pfm", FIF_PFM, "96"},
      {"pgm", FIF_PGM, "8"}, {"png", FIF_PNG, "1,4,8,24,32,48"}, {"ppm", FIF_PPM, "24,48"},
      {"tga", FIF_TARGA, "8,16,24,32"}, {"tiff", FIF_TIFF, "1,4,8,24,32,48,96"},
      {"wbmp", FIF_WBMP, "1"}, {"webp", FIF_WEBP, "24,32"}, {"xpm", FIF_XPM, "24"},
  };
  const auto& table = outputFormatTable();
  ASSERT_EQ(table.size(), std::size(kRows));
  for (size_t i = 0; i < table.size(); ++i) {
    SCOPED_TRACE(kRows[i].ext);
    EXPECT_EQ(table[i].extension, kRows[i].ext);
    EXPECT_EQ(table[i].fif, kRows[i].fif);
    EXPECT_EQ(table[i].depths, kRows[i].depths);
    EXPECT_EQ(findOutputFormat(kRows[i].ext), &table[i]);
  }
  EXPECT_EQ(findOutputFormat("jpg")->description, "JPEG File Format");
  EXPECT_EQ(findOutputFormat("exr")->fif, 29);
  EXPECT_EQ(findOutputFormat("webp")->fif, 35);
}

TEST(FormatRegistry, FindsOnlyExactOutputKeys) {
  for (const char* ext : {"dds", "pcx", "psd", "JPG", "jpeg", "", "tif"}) {
    SCOPED_TRACE(ext);
    EXPECT_EQ(findOutputFormat(ext), nullptr);
  }
}

TEST(FormatRegistry, ChecksDepths) {
  struct Case { const char* ext; int bpp; bool allowed; };
  constexpr Case kCases[] = {
      {"jpg", 0, true}, {"jpg", 24, true}, {"jpg", 8, true}, {"jpg", 32, false},
      {"png", 16, false}, {"png", 48, true}, {"bmp", 16, true}, {"gif", 24, false},
      {"webp", 32, true}, {"dds", 0, true}, {"dds", 24, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.ext) + " " + std::to_string(c.bpp));
    EXPECT_EQ(isAllowedDepth(c.ext, c.bpp), c.allowed);
  }
}

TEST(FormatRegistry, ChoosesAutomaticDepth) {
  struct Case { const char* ext; int source; int expected; };
  constexpr Case kCases[] = {
      {"jpg", 32, 24}, {"jpg", 4, 8}, {"jpg", 8, 8}, {"png", 96, 48}, {"gif", 24, 8},
      {"tiff", 16, 24}, {"bmp", 1, 1}, {"exr", 8, 96}, {"ppm", 64, 48}, {"png", 4, 4},
      {"tga", 1, 8}, {"webp", 8, 24}, {"jxr", 2, 8}, {"dds", 24, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.ext) + " " + std::to_string(c.source));
    EXPECT_EQ(chooseDepth(c.ext, c.source), c.expected);
  }
}

TEST(FormatRegistry, KnowsInputExtensionsAndGroups) {
  const auto& table = inputFormatTable();
  std::set<std::string> keys, groups;
  for (const auto& [key, info] : table) {
    keys.insert(key);
    groups.insert(info.group);
    ASSERT_TRUE(inputGroupOf(info.group).has_value()) << info.group;  // every group is a key of its own
    EXPECT_EQ(*inputGroupOf(info.group), info.group);
  }
  EXPECT_EQ(keys.size(), table.size()) << "no extension appears twice";
  EXPECT_EQ(groups.size(), 16u);
  EXPECT_EQ(inputExtensionsOf("raw").size(), 48u);  // the key and 47 camera extensions

  EXPECT_EQ(inputExtensionsOf("ico"), std::vector<std::string>{"ico"});
  const std::vector<std::string> jpeg = inputExtensionsOf("jpg");
  EXPECT_EQ((std::set<std::string>{"jpg", "jpeg", "jpe", "jif"}), std::set<std::string>(jpeg.begin(), jpeg.end()));
  EXPECT_TRUE(inputExtensionsOf("xyz").empty());

  struct Case { const char* ext; const char* group; const char* description; };
  constexpr Case kCases[] = {
      {"tif", "tiff", "Tagged Image File Format"}, {"apm", "wmf", "Aldus Placeable Metafile"},
      {"wmz", "wmf", "Windows Metafile Format"}, {"dib", "bmp", "Windows or OS/2 Bitmap"},
      {"cr2", "raw", "Canon Camera RAW Image"}, {"raw2", "raw", "Camera RAW Image"},
      {"dcs", "raw", "Kodak Camera RAW Image"}, {"rwl", "raw", "Leica Camera RAW Image"},
      {"gif", "gif", "GIF File"}, {"ppcd", "pcd", "Kodak PhotoCD File"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.ext);
    ASSERT_NE(findInputFormat(c.ext), nullptr);
    EXPECT_EQ(findInputFormat(c.ext)->group, c.group);
    EXPECT_EQ(findInputFormat(c.ext)->description, c.description);
  }
  EXPECT_FALSE(inputGroupOf("TIF").has_value());
  EXPECT_FALSE(inputGroupOf("webp").has_value());
}

}  // namespace trovabild
