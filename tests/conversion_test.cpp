#include <gtest/gtest.h>

#include <filesystem>

#include "base/seams.h"
#include "batch/file_conversion.h"
#include "imaging/conversion.h"
#include "imaging/output_depth.h"
#include "imaging/watermark.h"
#include "settings/settings.h"
#include "tests/support/ico_bytes.h"
#include "tests/support/test_support.h"

namespace trovabild {

using testing::Bytes;
using testing::Rgba;

namespace {

constexpr uint32_t kFrameColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF};

Rgba rgba(uint32_t rgb) {
  return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), 255};
}

bool near(Rgba a, Rgba b, int tolerance = 12) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

std::string show(Rgba c) {
  return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

class Conversion : public ::testing::Test {
 protected:
  void SetUp() override {
    plan.pipeline = pipelineOptions(config);
    plan.outputFolder = dir.path();
    plan.filenameMask = "icon.%ext%";
    output("png", 0);
  }
  void TearDown() override { setRandomSource({}); }

  void output(const std::string& ext, int depth) {
    config.pngBpp = config.jpgBpp = depth;
    plan.pipeline.output = outputOptionsFor(config, ext);
  }

  /// Converts the icon bytes (named dir/icon.<ext> by default) and writes the
  /// outputs; true when the last one was written.
  bool convert(const Bytes& icon, std::vector<std::string>& written) {
    written.clear();
    return writeOutputs(convertIconData(icon, plan, FileValues{dir / "icon.ico", "", {}}), written);
  }

  Settings config = defaultSettings(true);
  RunPlan plan;
  testing::TempDir dir;
};

Bytes colouredIcon(int count) {
  std::vector<Bytes> frames;
  for (int k = 0; k < count; ++k) frames.push_back(testing::solidFrame(8, kFrameColours[k]));
  return testing::icoFile(frames);
}

}  // namespace

TEST_F(Conversion, SelectsFramesAndNumbersTheirFiles) {
  struct Case { int mode; int count; std::vector<int> frames; };
  const Case kCases[] = {
      {0, 1, {0}},       {0, 3, {0, 1, 2}}, {1, 3, {0}}, {2, 1, {0}}, {2, 2, {0}}, {2, 3, {1}},
      {2, 4, {1}},       {2, 5, {2}},       {3, 1, {0}}, {3, 4, {3}}, {4, 5, {2}},  // random draws 3
      {9, 2, {0, 1}},    // an unknown code converts every frame
  };
  int drawnLow = 0, drawnHigh = 0;
  setRandomSource([&](int low, int high) {
    drawnLow = low;
    drawnHigh = high;
    return 3;
  });
  for (const auto& c : kCases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + ", " + std::to_string(c.count) + " frames");
    plan.pipeline.icoFrameLoading = c.mode;
    std::vector<std::string> written;
    ASSERT_TRUE(convert(colouredIcon(c.count), written));
    std::vector<std::string> expected;
    const bool numbered = c.frames.size() > 1;
    for (int k : c.frames) expected.push_back(numbered ? dir / ("icon[" + std::to_string(k + 1) + "].png") : dir / "icon.png");
    ASSERT_EQ(written, expected);
    for (size_t i = 0; i < written.size(); ++i) {
      const Image out = testing::loadImage(written[i]);
      EXPECT_EQ(testing::pixel(out, 4, 4), rgba(kFrameColours[c.frames[i]])) << written[i];
      std::filesystem::remove(written[i]);
    }
  }
  EXPECT_EQ(drawnLow, 1);
  EXPECT_EQ(drawnHigh, 5);
}

TEST_F(Conversion, RecordsTheFrameAsLoaded) {
  plan.pipeline.icoFrameLoading = 1;
  plan.filenameMask = "%bpp%_%width%x%height%.%ext%";
  const Bytes icon = testing::icoFile({testing::bitmapFrame(12, 10, 4, {0x000000, 0xFF0000}, [](int, int) { return 1u; })});
  std::vector<std::string> written;
  ASSERT_TRUE(convert(icon, written));
  // A 4-bit frame keeps its depth, which the name reports with the size.
  EXPECT_EQ(written, std::vector<std::string>{dir / "4_12x10.png"});
}

// Transparent areas come out white whichever way the frame stores them: an
// alpha channel, or the AND mask of palette and 24-bit frames.
TEST_F(Conversion, FlattensTransparencyOntoWhiteInEveryKindOfFrame) {
  const auto leftOpaque = [](int x, int) { return x >= 8; };
  const std::vector<uint32_t> palette = {0x000000, 0x2040C0, 0xFFFFFF};
  const Rgba white = {255, 255, 255, 255};
  Bytes noMask = testing::bitmapFrame(16, 16, 32, {}, [](int, int) { return 0x002040C0u; });
  noMask.resize(40 + 16 * 16 * 4);
  struct Case { const char* name; Bytes frame; Rgba left; Rgba right; };
  const Case kCases[] = {
      {"32-bit alpha", testing::bitmapFrame(16, 16, 32, {}, [](int x, int) { return x < 8 ? 0xFF2040C0u : 0x00123456u; }),
       rgba(0x2040C0), white},
      {"32-bit, alpha all zero, mask", testing::bitmapFrame(16, 16, 32, {}, [](int, int) { return 0x002040C0u; }, leftOpaque),
       rgba(0x2040C0), white},
      {"32-bit, alpha all zero, no mask", noMask, rgba(0x2040C0), rgba(0x2040C0)},
      {"24-bit mask", testing::bitmapFrame(16, 16, 24, {}, [](int, int) { return 0x2040C0u; }, leftOpaque), rgba(0x2040C0), white},
      {"16-bit mask", testing::bitmapFrame(16, 16, 16, {}, [](int, int) { return 0x2040C0u; }, leftOpaque), rgba(0x2040C0), white},
      {"8-bit mask", testing::bitmapFrame(16, 16, 8, palette, [](int, int) { return 1u; }, leftOpaque), rgba(0x2040C0), white},
      {"4-bit mask", testing::bitmapFrame(16, 16, 4, palette, [](int, int) { return 1u; }, leftOpaque), rgba(0x2040C0), white},
      {"1-bit mask", testing::bitmapFrame(16, 16, 1, {0x000000, 0xFFFFFF}, [](int, int) { return 0u; }, leftOpaque),
       rgba(0x000000), white},
  };
  output("jpg", 0);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> written;
    ASSERT_TRUE(convert(testing::icoFile({c.frame}), written));
    ASSERT_EQ(written.size(), 1u);
    const Image out = testing::loadImage(written[0]);
    EXPECT_EQ(out.bpp(), 24) << "a colour frame stays colour";
    EXPECT_TRUE(near(testing::pixel(out, 3, 8), c.left)) << show(testing::pixel(out, 3, 8));
    EXPECT_TRUE(near(testing::pixel(out, 12, 8), c.right)) << show(testing::pixel(out, 12, 8));
  }
}

TEST_F(Conversion, FlattensAnIconWrittenByFreeImage) {
  const Image quadrants = testing::quadrantImage(16);
  ASSERT_TRUE(testing::writeIco(dir / "in.ico", {&quadrants}));
  output("jpg", 0);
  std::vector<std::string> written;
  ASSERT_TRUE(convert(testing::readBytes(dir / "in.ico"), written));
  const Image out = testing::loadImage(written.at(0));
  EXPECT_TRUE(near(testing::pixel(out, 3, 3), {255, 0, 0, 255}));
  EXPECT_TRUE(near(testing::pixel(out, 12, 3), {0, 255, 0, 255}));
  EXPECT_TRUE(near(testing::pixel(out, 3, 12), {0, 0, 255, 255}));
  EXPECT_TRUE(near(testing::pixel(out, 12, 12), {255, 255, 255, 255}));
}

// PNG frames that keep their transparency in a palette's transparency table
// or in 16-bit-per-channel alpha: their see-through middle comes out white
// whether the frame is turned or not.
TEST_F(Conversion, TransparentPngFramesComeOutWhiteAtAnyAngle) {
  const auto inHole = [](int x, int y) { return x >= 4 && x < 12 && y >= 4 && y < 12; };
  Image palette(FreeImage_Allocate(16, 16, 8));
  FreeImage_GetPalette(palette.get())[0] = RGBQUAD{0xC0, 0x40, 0x20, 0};
  FreeImage_GetPalette(palette.get())[1] = RGBQUAD{0, 0, 0, 0};  // hidden black
  BYTE table[2] = {255, 0};
  FreeImage_SetTransparencyTable(palette.get(), table, 2);
  Image deep(FreeImage_AllocateT(FIT_RGBA16, 16, 16, 64));
  for (int y = 0; y < 16; ++y) {
    auto* row = reinterpret_cast<FIRGBA16*>(FreeImage_GetScanLine(deep.get(), y));
    for (int x = 0; x < 16; ++x) {
      BYTE index = inHole(x, y) ? 1 : 0;
      FreeImage_SetPixelIndex(palette.get(), x, y, &index);
      row[x] = inHole(x, y) ? FIRGBA16{0, 0, 0, 0} : FIRGBA16{0x2020, 0x4040, 0xC0C0, 65535};
    }
  }
  const auto pngBytes = [](const Image& image) {
    const std::optional<Bytes> bytes = encodeImage(image, FIF_PNG, 0);
    EXPECT_TRUE(bytes);
    return bytes.value_or(Bytes{});
  };
  output("jpg", 0);
  plan.pipeline.rotation.background = {255, 0, 0};
  for (const Image* frame : {&palette, &deep}) {
    for (const int angle : {0, 90, 30}) {
      SCOPED_TRACE(::testing::Message() << frame->bpp() << " bits, angle " << angle);
      plan.pipeline.rotation.on = angle != 0;
      plan.pipeline.rotation.angle = angle;
      std::vector<std::string> written;
      ASSERT_TRUE(convert(testing::icoFile({pngBytes(*frame)}), written));
      const Image out = testing::loadImage(written.at(0));
      const Rgba middle = testing::pixel(out, out.width() / 2, out.height() / 2);
      EXPECT_TRUE(near(middle, {255, 255, 255, 255})) << show(middle);
    }
  }
}

TEST_F(Conversion, ColourStaysColourUnlessGreyIsAskedFor) {
  const auto red = [](int, int) { return 1u; };
  const auto corner = [](int x, int y) { return x == 0 && y == 0; };
  struct Case { const char* name; Bytes frame; int depth; int bpp; FREE_IMAGE_COLOR_TYPE colour; };
  const Case kCases[] = {
      {"4-bit", testing::bitmapFrame(8, 8, 4, {0, 0xE01010}, red), 0, 24, FIC_RGB},
      {"4-bit masked", testing::bitmapFrame(8, 8, 4, {0, 0xE01010}, red, corner), 0, 24, FIC_RGB},
      {"1-bit masked", testing::bitmapFrame(8, 8, 1, {0x1010E0, 0xE01010}, red, corner), 0, 24, FIC_RGB},
      {"8-bit masked", testing::bitmapFrame(8, 8, 8, {0, 0xE01010}, red, corner), 0, 24, FIC_RGB},
      {"24-bit asked for 8", testing::solidFrame(8, 0xE01010), 8, 8, FIC_MINISBLACK},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    output("jpg", c.depth);
    std::vector<std::string> written;
    ASSERT_TRUE(convert(testing::icoFile({c.frame}), written));
    const Image out = testing::loadImage(written.at(0));
    EXPECT_EQ(out.bpp(), c.bpp);
    EXPECT_EQ(FreeImage_GetColorType(out.get()), c.colour);
    if (c.colour == FIC_RGB) {
      EXPECT_TRUE(near(testing::pixel(out, 5, 5), rgba(0xE01010))) << show(testing::pixel(out, 5, 5));
    }
  }
}

TEST_F(Conversion, DepthFollowsEachFrameInAutomaticMode) {
  const Bytes icon = testing::icoFile({
      testing::bitmapFrame(8, 8, 4, {0x000000, 0xE01010}, [](int, int) { return 1u; }),
      testing::bitmapFrame(8, 8, 32, {}, [](int x, int) { return x < 4 ? 0xFF10E010u : 0x80000000u; }),
  });
  output("png", 0);
  plan.filenameMask = "icon_%bpp%.%ext%";
  std::vector<std::string> written;
  ASSERT_TRUE(convert(icon, written));
  // Each name gives the depth of its own frame.
  EXPECT_EQ(written, (std::vector<std::string>{dir / "icon_4[1].png", dir / "icon_32[2].png"}));
  EXPECT_EQ(testing::loadImage(written[0]).bpp(), 4);
}

TEST_F(Conversion, LastSaveDecidesTheResult) {
  // An output name that cannot be written fails every save.
  std::vector<std::string> written;
  plan.outputFolder = dir / "missing/";
  EXPECT_FALSE(convert(colouredIcon(2), written));
  EXPECT_TRUE(written.empty());
  plan.outputFolder = dir.path();
  plan.filenameMask = "folder/";
  EXPECT_FALSE(convert(colouredIcon(2), written));
}

TEST_F(Conversion, ConvertsTheCurrentFileIntoTheOutputFolder) {
  testing::writeBytes(dir / "photo.ico", colouredIcon(2));
  plan.outputFolder = dir / "out/";
  plan.filenameMask = "";
  std::filesystem::create_directory(dir / "out");
  output("jpg", 0);
  std::vector<std::string> written;
  ASSERT_TRUE(writeOutputs(convertFile(plan, FileValues{dir / "photo.ico", "", {}}), written));
  EXPECT_EQ(written, (std::vector<std::string>{dir / "out/photo[1].jpg", dir / "out/photo[2].jpg"}));
  for (const auto& path : written) EXPECT_EQ(testing::loadImage(path).width(), 8);

  written.clear();
  EXPECT_FALSE(writeOutputs(convertFile(plan, FileValues{dir / "absent.ico", "", {}}), written));
  EXPECT_TRUE(written.empty());
}

// The watermark's %bpp%, the name's %bpp% and the saved depth are one value,
// worked out from the image as it is saved: a frame or a watermark makes a
// small palette or grey frame true colour on the way.
TEST_F(Conversion, OneTargetDepthForTheWatermarkTheNameAndTheFile) {
  const std::vector<uint32_t> palette = {0x000000, 0x2040C0, 0xFFFFFF};
  struct Case { const char* name; Bytes frame; bool greyscale; bool frameOn; };
  const Case kCases[] = {
      {"4-bit opaque icon with a frame", testing::bitmapFrame(32, 32, 4, palette, [](int, int) { return 1u; }), false,
       true},
      {"8-bit icon made grey, with a watermark only",
       testing::bitmapFrame(32, 32, 8, palette, [](int x, int) { return x < 16 ? 1u : 2u; }), true, false},
  };
  output("jpg", 0);
  plan.filenameMask = "%filename%_%bpp%.%ext%";
  plan.pipeline.watermark.type = 1;
  plan.pipeline.watermark.text.font = createWatermarkFont("Arial", 8, 0, 0);
  ASSERT_TRUE(plan.pipeline.watermark.text.font);
  plan.pipeline.watermark.text.backOpacity = 255;
  plan.pipeline.watermark.text.placement = {0, 0, 0, 0, 0};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    plan.pipeline.colour.greyscale = c.greyscale;
    plan.pipeline.frame.type = c.frameOn ? 1 : 0;
    plan.pipeline.frame.left = plan.pipeline.frame.right = 3;
    plan.pipeline.frame.leftColour = plan.pipeline.frame.rightColour = {255, 0, 0};
    const Bytes icon = testing::icoFile({c.frame});
    std::vector<std::string> written;
    plan.pipeline.watermark.text.text = "%bpp%";
    ASSERT_TRUE(writeOutputs(convertIconData(icon, plan, FileValues{dir / "token.ico", "", {}}), written));
    plan.pipeline.watermark.text.text = "24";
    ASSERT_TRUE(writeOutputs(convertIconData(icon, plan, FileValues{dir / "literal.ico", "", {}}), written));
    ASSERT_EQ(written, (std::vector<std::string>{dir / "token_24.jpg", dir / "literal_24.jpg"}));
    EXPECT_EQ(testing::loadImage(written[0]).bpp(), 24);
    EXPECT_EQ(testing::readBytes(written[0]), testing::readBytes(written[1])) << "the watermark printed another depth";
    for (const auto& path : written) std::filesystem::remove(path);
  }
}

TEST(NumberedPath, PutsTheNumberBeforeTheExtensionOrAtTheEnd) {
  struct Case {
    const char* path;
    const char* extension;
    int number;
    const char* expected;
  };
  const Case cases[] = {
      {"/out/photo.jpg", "jpg", 2, "/out/photo[2].jpg"},
      {"/out/a.b.tiff", "tiff", 10, "/out/a.b[10].tiff"},
      {"/out/x.JPG", "jpg", 3, "/out/x[3].JPG"},
      // A name without the output extension gets the number at its end,
      // never inside the name or a folder.
      {"/out/my.photo", "jpg", 1, "/out/my.photo[1]"},
      {"/out/ab", "jpg", 1, "/out/ab[1]"},
      {"/out/xjpg", "jpg", 1, "/out/xjpg[1]"},
      {"/out.jpg/x", "jpg", 1, "/out.jpg/x[1]"},
      {"x", "jpg", 1, "x[1]"},
      {"", "jpg", 1, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(numberedPath(c.path, c.extension, c.number), c.expected) << c.path;
}

}  // namespace trovabild
