#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include <unistd.h>

#include <cerrno>

#include "base/files.h"
#include "imaging/format_registry.h"
#include "imaging/output_depth.h"
#include "imaging/step_options.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"
#include "tests/support/write_seam.h"

namespace trovabild {

namespace {

class OutputDepth : public ::testing::Test {
 protected:
  /// The output values the run plan makes for `ext` and a depth setting, and
  /// the frame's depth as loaded.
  void prepare(const std::string& ext, int depthSetting, int sourceBpp) {
    output.extension = ext;
    output.fif = findOutputFormat(ext) ? findOutputFormat(ext)->fif : FIF_UNKNOWN;
    output.depth = depthSetting;
    output.saveFlags = saveFlagsFor(ext, defaultSettings(true));
    source = sourceBpp;
  }
  /// The frame's target depth worked out as the conversion does, then the
  /// conversion to it.
  Image convert(Image image) {
    target = output.automaticDepth() ? automaticDepth(image, output.extension, source) : output.depth;
    return convertToOutputDepth(std::move(image), output.extension, target);
  }

  OutputOptions output;
  int source = 0;
  int target = 0;
};

constexpr int kSide = 64;  // OpenJPEG's default layers need 32 pixels or more

/// An image with a red, a green and a blue band: plainly colour.
Image colourImage(int bpp = 24) {
  Image image = testing::solidImage(kSide, kSide, bpp, {255, 0, 0, 255});
  for (int y = 0; y < kSide; ++y) {
    BYTE* row = FreeImage_GetScanLine(image.get(), y);
    for (int x = kSide / 3; x < kSide; ++x) {
      BYTE* p = row + x * (bpp / 8);
      p[FI_RGBA_RED] = 0;
      p[FI_RGBA_GREEN] = x < 2 * kSide / 3 ? 255 : 0;
      p[FI_RGBA_BLUE] = x < 2 * kSide / 3 ? 0 : 255;
    }
  }
  return image;
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST_F(OutputDepth, SaveFlagsFollowTheFormatSettings) {
  struct Case { const char* ext; std::function<void(Settings&)> set; int expected; };
  const Case kCases[] = {
      {"jpg", [](Settings&) {}, 95 | 0x10000},
      {"jpg", [](Settings& s) { s.jpgQuality = 80; s.jpgChroma = 2; s.jpgSaveAs = 3; }, 80 | 0x4000 | 0x2000},
      {"jpg", [](Settings& s) { s.jpgChroma = 1; s.jpgSaveAs = 1; }, 95 | 0x8000 | 0x40000},
      {"jpg", [](Settings& s) { s.jpgChroma = 3; s.jpgSaveAs = 2; }, 95 | 0x1000 | 0x20000},
      {"bmp", [](Settings&) {}, 0},
      {"bmp", [](Settings& s) { s.bmpCompression = 1; }, 1},
      {"exr", [](Settings&) {}, 0x0002},
      {"exr", [](Settings& s) { s.exrCompression = 4; }, 0x0020},
      {"jxr", [](Settings&) {}, 100},
      {"png", [](Settings&) {}, 0x0100},
      {"png", [](Settings& s) { s.pngCompression = 3; s.pngInterlaced = 1; }, 0x0209},
      {"png", [](Settings& s) { s.pngCompression = 1; }, 0x0001},
      {"tga", [](Settings& s) { s.tgaCompression = 1; }, 2},
      {"tiff", [](Settings&) {}, 0x0800},
      {"tiff", [](Settings& s) { s.tiffCompression = 6; s.tiffColorMode = 1; }, 0x4001},
      {"tiff", [](Settings& s) { s.tiffCompression = 8; s.tiffColorMode = 2; }, 0x10000},
      {"tiff", [](Settings& s) { s.tiffCompression = 9; }, 0},  // unknown code adds nothing
      {"webp", [](Settings&) {}, 0x0100},
      {"webp", [](Settings& s) { s.webpQuality = 99; }, 99},
      {"gif", [](Settings&) {}, 0}, {"ico", [](Settings&) {}, 0}, {"pbm", [](Settings&) {}, 0}, {"ppm", [](Settings&) {}, 0},
      {"dds", [](Settings&) {}, 0}, {"pcx", [](Settings&) {}, 0}, {"psd", [](Settings&) {}, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.ext);
    Settings s = defaultSettings(true);
    c.set(s);
    EXPECT_EQ(saveFlagsFor(c.ext, s), c.expected);
  }
}

TEST_F(OutputDepth, ConvertsToTheOutputDepth) {
  struct Case {
    const char* ext;
    int setting;  // 0: automatic
    int source;   // depth the frame was loaded with
    int bpp;      // depth of the image now
    int expected;
    FREE_IMAGE_COLOR_TYPE colour;
  };
  constexpr Case kCases[] = {
      {"jpg", 0, 32, 32, 24, FIC_RGB},
      {"jpg", 0, 32, 24, 24, FIC_RGB},
      {"jpg", 0, 4, 24, 24, FIC_RGB},    // a flattened 4-bit colour icon stays colour
      {"jpg", 0, 1, 32, 24, FIC_RGB},
      {"jpg", 8, 32, 24, 8, FIC_MINISBLACK},  // asked for: greyscale
      {"gif", 0, 32, 24, 8, FIC_PALETTE},
      {"png", 0, 32, 32, 32, FIC_RGB},
      {"png", 0, 4, 24, 24, FIC_RGB},
      {"png", 0, 96, 24, 48, FIC_RGB},
      {"tiff", 96, 32, 24, 96, FIC_RGB},
      {"exr", 0, 24, 24, 96, FIC_RGB},
      {"bmp", 16, 32, 32, 16, FIC_RGB},
      {"pbm", 0, 32, 24, 1, FIC_MINISBLACK},
      {"tga", 0, 8, 24, 8, FIC_PALETTE},  // quantised: colour kept in a palette
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.ext) + " " + std::to_string(c.setting) + " " + std::to_string(c.source));
    prepare(c.ext, c.setting, c.source);
    Image out = convert(colourImage(c.bpp));
    ASSERT_TRUE(out);
    EXPECT_EQ(out.bpp(), c.expected);
    if (FreeImage_GetImageType(out.get()) == FIT_BITMAP) {
      EXPECT_EQ(FreeImage_GetColorType(out.get()), c.colour);
    }
    if (c.setting == 0) {
      EXPECT_EQ(target, c.expected);
    }
  }
}

TEST_F(OutputDepth, SixteenBitsAre555ForIconAndTargaElse565) {
  for (const char* ext : {"bmp", "ico", "tga"}) {
    SCOPED_TRACE(ext);
    prepare(ext, 16, 24);
    Image out = convert(colourImage());
    ASSERT_TRUE(out);
    const unsigned expectedGreen = std::string(ext) == "bmp" ? FI16_565_GREEN_MASK : FI16_555_GREEN_MASK;
    EXPECT_EQ(FreeImage_GetGreenMask(out.get()), expectedGreen);
  }
}

TEST_F(OutputDepth, KeepsAnImageThatAlreadyFitsAndRefusesUnknownDepths) {
  prepare("jpg", 0, 8);
  Image eight(FreeImage_Allocate(4, 4, 8));
  FIBITMAP* original = eight.get();
  Image same = convert(std::move(eight));
  EXPECT_EQ(same.get(), original);

  prepare("jpg", 7, 24);
  EXPECT_FALSE(convert(colourImage()));
  EXPECT_FALSE(convert(Image()));
}

// An 8-bit JPEG is grey. A colour palette frame in automatic mode is saved
// as the 24-bit colour the encoder makes of it, and its depth says so; asked
// for 8 bits, it is made grey. A grey palette stays as it is.
TEST_F(OutputDepth, ColourPalettesAreNotCalledEightBitJpegs) {
  const Image colour = colourImage();
  Image colourPalette(FreeImage_ColorQuantize(colour.get(), FIQ_WUQUANT));
  ASSERT_EQ(FreeImage_GetColorType(colourPalette.get()), FIC_PALETTE);
  struct Case { int depthSetting; bool grey; int expectedTarget; int expectedBpp; FREE_IMAGE_COLOR_TYPE colour; };
  constexpr Case kCases[] = {
      {0, false, 24, 24, FIC_RGB},
      {8, false, 8, 8, FIC_MINISBLACK},
      {0, true, 8, 8, FIC_MINISBLACK},
      {8, true, 8, 8, FIC_MINISBLACK},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(::testing::Message() << "setting " << c.depthSetting << (c.grey ? " grey" : " colour"));
    prepare("jpg", c.depthSetting, 8);
    Image image = c.grey ? Image(FreeImage_ConvertToGreyscale(colourPalette.get()))
                         : Image(FreeImage_Clone(colourPalette.get()));
    Image saved = convert(std::move(image));
    ASSERT_TRUE(saved);
    EXPECT_EQ(target, c.expectedTarget);
    EXPECT_EQ(saved.bpp(), c.expectedBpp);
    EXPECT_EQ(FreeImage_GetColorType(saved.get()), c.colour);
  }
}

// Every format of the registry written at every depth it lists, read back.
// Debian's FreeImage 3.18 cannot encode JPEG XR at all ("Invalid
// instruction"), so for jxr only the conversion is checked.
TEST_F(OutputDepth, EveryFormatSavesAtEveryListedDepth) {
  testing::TempDir dir;
  for (const OutputFormatInfo& format : outputFormatTable()) {
    for (int depth : depthsOf(format.extension)) {
      SCOPED_TRACE(format.extension + " " + std::to_string(depth));
      prepare(format.extension, depth, 24);
      Image out = convert(colourImage(32));
      ASSERT_TRUE(out);
      EXPECT_EQ(out.bpp(), depth);
      const std::string path = dir / ("out." + format.extension);
      if (format.extension == "jxr") continue;
      ASSERT_TRUE(saveImage(out, output.fif, path, output.saveFlags));
      Image back(FreeImage_Load(static_cast<FREE_IMAGE_FORMAT>(output.fif), path.c_str(), 0));
      ASSERT_TRUE(back);
      EXPECT_EQ(back.width(), kSide);
      EXPECT_EQ(back.height(), kSide);
    }
  }
  EXPECT_EQ(filesIn(dir.path()).size(), outputFormatTable().size() - 1) << "no temporary file is left";
}

TEST_F(OutputDepth, AFailedSaveLeavesTheOldFileIntact) {
  testing::TempDir dir;
  const std::string path = dir / "kept.jpg";
  testing::writeText(path, "old contents");
  Image sixteen(FreeImage_Allocate(4, 4, 16));  // JPEG cannot hold 16 bits
  EXPECT_FALSE(saveImage(sixteen, FIF_JPEG, path, 0));
  EXPECT_FALSE(saveImage(Image(), FIF_JPEG, path, 0));
  EXPECT_EQ(testing::readText(path), "old contents");
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"kept.jpg"});

  EXPECT_FALSE(saveImage(colourImage(), FIF_JPEG, dir / "missing/out.jpg", 95));
  EXPECT_FALSE(saveImage(colourImage(), FIF_JPEG, "", 95));
  EXPECT_FALSE(saveImage(colourImage(), FIF_JPEG, dir.path(), 95));

  ASSERT_TRUE(saveImage(colourImage(), FIF_JPEG, path, 95));
  EXPECT_EQ(testing::loadImage(path).width(), kSide);
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"kept.jpg"});
}

// A full disk: the write that crosses `limit` bytes fails with ENOSPC.
TEST_F(OutputDepth, AWriteFailingAtAnyByteNeverReplacesTheFile) {
  testing::TempDir dir;
  const std::string path = dir / "kept.png";
  Image big(FreeImage_Allocate(300, 300, 24));  // uncompressed: well past one write buffer
  for (int y = 0; y < 300; ++y) {
    BYTE* row = FreeImage_GetScanLine(big.get(), y);
    for (int x = 0; x < 900; ++x) row[x] = static_cast<BYTE>(x * 7 + y * 13);
  }
  ASSERT_TRUE(saveImage(big, FIF_PNG, path, PNG_Z_NO_COMPRESSION));
  const std::vector<uint8_t> complete = testing::readBytes(path);
  ASSERT_GT(complete.size(), 200000u);
  for (size_t limit : {size_t{0}, size_t{100}, size_t{65536}, complete.size() / 2, complete.size() - 1}) {
    SCOPED_TRACE(limit);
    testing::writeText(path, "old contents");
    auto seam = testing::failWritesAfter(limit);
    EXPECT_FALSE(saveImage(big, FIF_PNG, path, PNG_Z_NO_COMPRESSION));
    seam->end();
    EXPECT_EQ(testing::readText(path), "old contents");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"kept.png"});
  }
  ASSERT_TRUE(saveImage(big, FIF_PNG, path, PNG_Z_NO_COMPRESSION));
  EXPECT_EQ(testing::readBytes(path), complete);
}

}  // namespace trovabild
