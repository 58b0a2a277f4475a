#include <gtest/gtest.h>

#include <filesystem>

#include "base/seams.h"
#include "batch/file_conversion.h"
#include "imaging/conversion.h"
#include "imaging/output_depth.h"
#include "imaging/step_options.h"
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
    const FileValues file{dir / "icon.ico", "", {}};
    return writeOutputs(plan, file, convertIconData(icon, plan, file), written);
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

// A RANDOM frame drawn as the file was handed out is the one frame
// converted: the draw modulo the frame count, no random source asked.
TEST_F(Conversion, ARandomFrameDrawnAtHandOutIsTheOnlyOneConverted) {
  plan.pipeline.icoFrameLoading = kRandomFrameLoading;
  setRandomSource([](int, int) -> int {
    ADD_FAILURE() << "the random source was asked";
    return 1;
  });
  struct Case { int count; int draw; int frame; };
  for (const Case& c : {Case{3, 0, 0}, Case{3, 4, 1}, Case{5, kFrameDrawSpan - 1, 4}, Case{1, 77, 0}}) {
    SCOPED_TRACE(std::to_string(c.count) + " frames, draw " + std::to_string(c.draw));
    FileValues file{dir / "icon.ico", "", {}};
    file.frameDraw = c.draw;
    const FileConversion conversion = convertIconData(colouredIcon(c.count), plan, file);
    ASSERT_EQ(conversion.outputs.size(), 1u);
    EXPECT_EQ(conversion.outputs[0].frame, c.frame);
  }
}

IconFrameInfo frameInfo(int width, int height, int depth, bool valid = true) {
  IconFrameInfo info;
  info.valid = valid;
  info.width = width;
  info.height = height;
  info.depth = depth;
  return info;
}

ResizeOptions resizeTo(int32_t width, int32_t height, bool keepAspectRatio = false, int widthUnit = 0,
                       int heightUnit = 0) {
  ResizeOptions resize;
  resize.on = true;
  resize.width = width;
  resize.height = height;
  resize.keepAspectRatio = keepAspectRatio;
  resize.widthUnit = widthUnit;
  resize.heightUnit = heightUnit;
  return resize;
}

constexpr int kLargest = 5;
constexpr int kBest = 6;

TEST(FrameChoice, TakesTheLargestOrTheBestFrameForTheSize) {
  const auto square = [](std::initializer_list<int> sides) {
    std::vector<IconFrameInfo> frames;
    for (int side : sides) frames.push_back(frameInfo(side, side, 32));
    return frames;
  };
  struct Case {
    const char* name;
    int mode;
    std::vector<IconFrameInfo> frames;
    ResizeOptions resize;
    int expected;
  };
  const Case cases[] = {
      {"single frame", kLargest, {frameInfo(16, 16, 4)}, {}, 0},
      {"single frame, best", kBest, {frameInfo(16, 16, 4)}, resizeTo(64, 64), 0},
      {"largest area", kLargest, square({16, 48, 32}), {}, 1},
      {"equal areas: the greater depth", kLargest,
       {frameInfo(16, 16, 32), frameInfo(32, 32, 8), frameInfo(32, 32, 32), frameInfo(32, 32, 24)}, {}, 2},
      {"equal areas and depths: the first", kLargest,
       {frameInfo(32, 32, 24), frameInfo(32, 32, 32), frameInfo(32, 32, 32)}, {}, 1},
      {"equal areas of other shapes", kLargest, {frameInfo(32, 32, 24), frameInfo(16, 64, 32)}, {}, 1},
      {"an invalid frame never counts", kLargest, {frameInfo(16, 16, 8), frameInfo(64, 64, 32, false)}, {}, 0},
      {"no valid frame", kLargest, {frameInfo(16, 16, 8, false)}, {}, -1},
      {"largest whatever the size asked", kLargest, square({16, 48, 32}), resizeTo(16, 16), 1},
      {"best without a size is the largest", kBest, square({16, 48, 32}), {}, 1},
      {"best: the smallest frame covering the size", kBest, square({16, 64, 48, 32}), resizeTo(24, 24), 3},
      {"best: the exact size is not enlarged", kBest, square({16, 48, 32}), resizeTo(32, 32), 2},
      {"best: equally small frames go to the greater depth", kBest,
       {frameInfo(48, 48, 32), frameInfo(32, 32, 8), frameInfo(32, 32, 24), frameInfo(32, 32, 24)},
       resizeTo(24, 24), 2},
      {"best: every frame smaller than the size", kBest, square({16, 48, 32}), resizeTo(64, 64), 1},
      {"best: both sides must be covered", kBest, square({32, 48, 128}), resizeTo(40, 100), 2},
      {"best: keeping the ratio, the governing side counts", kBest, square({32, 48, 128}),
       resizeTo(40, 100, true), 1},
      {"best: a tall frame is governed by its height", kBest,
       {frameInfo(20, 40, 32), frameInfo(40, 80, 32), frameInfo(80, 160, 32)}, resizeTo(100, 60, true), 1},
      {"best: a size in percent is the same for every frame", kBest, square({16, 48, 32}),
       resizeTo(50, 50, false, 1, 1), 1},
      {"best: only the side in pixels counts", kBest, square({32, 64, 48}), resizeTo(40, 50, false, 0, 1), 2},
      {"best: a size that resizes nothing", kBest, square({16, 48, 32}), resizeTo(-1, -1), 1},
      {"best skips an invalid frame", kBest,
       {frameInfo(32, 32, 32, false), frameInfo(48, 48, 32), frameInfo(64, 64, 32)}, resizeTo(24, 24), 1},
      {"other codes choose nothing here", 3, square({16, 48}), {}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(chooseIconFrame(c.mode, c.frames, c.resize), c.expected);
    const FrameRange range = selectFrames(c.mode, c.frames, c.resize);
    if (c.mode == kLargest || c.mode == kBest) {
      EXPECT_EQ(range.first, c.expected < 0 ? 0 : c.expected);
      EXPECT_EQ(range.end, c.expected < 0 ? 0 : c.expected + 1);
    }
  }
  // The other codes select as they always did, and only ALL numbers its files.
  const std::vector<IconFrameInfo> three = square({16, 48, 32});
  EXPECT_EQ(selectFrames(3, three, {}).first, 2);
  EXPECT_EQ(selectFrames(0, three, {}).end, 3);
  for (int mode : {1, 2, 3, 4, kLargest, kBest}) EXPECT_FALSE(selectsAllFrames(mode)) << mode;
  for (int mode : {0, 7, -1}) EXPECT_TRUE(selectsAllFrames(mode)) << mode;
}

// One icon of frames in several sizes and depths, a PNG frame among bitmap
// frames, converted for real: one file per icon, without a number, from the
// frame the choice names.
TEST_F(Conversion, ConvertsTheLargestOrTheBestFrameOnly) {
  // A see-through corner keeps the PNG frame's alpha channel: 32 bits.
  const auto png = [](int side, Rgba colour) {
    Image image = testing::solidImage(side, side, 32, colour);
    FreeImage_GetScanLine(image.get(), 0)[FI_RGBA_ALPHA] = 0;
    return encodeImage(image, FIF_PNG, 0).value_or(Bytes{});
  };
  const auto palette = [](int side, uint32_t rgb) {
    return testing::bitmapFrame(side, side, 8, {0, rgb}, [](int, int) { return 1u; });
  };
  // Three 32 x 32 frames of 8, 24 and (PNG, RGBA) 32 bits: the PNG frame wins them.
  const Bytes icon = testing::icoFile({testing::solidFrame(16, 0xFF0000), palette(32, 0x00FF00),
                                       testing::solidFrame(32, 0xFFFF00), png(32, {0, 0, 255, 255}),
                                       testing::solidFrame(8, 0xFF00FF)});
  struct Case {
    const char* name;
    int mode;
    ResizeOptions resize;
    uint32_t colour;
    int side;
  };
  const Case cases[] = {
      {"largest", kLargest, {}, 0x0000FF, 32},
      {"best without a size", kBest, {}, 0x0000FF, 32},
      {"best for 12 pixels", kBest, resizeTo(12, 12), 0xFF0000, 12},
      {"best for 8 pixels", kBest, resizeTo(8, 8), 0xFF00FF, 8},
      {"best for 24 pixels", kBest, resizeTo(24, 24), 0x0000FF, 24},
      {"best for 40 pixels", kBest, resizeTo(40, 40), 0x0000FF, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plan.pipeline.icoFrameLoading = c.mode;
    plan.pipeline.resize = c.resize;
    std::vector<std::string> written;
    ASSERT_TRUE(convert(icon, written));
    ASSERT_EQ(written, std::vector<std::string>{dir / "icon.png"});
    const Image out = testing::loadImage(written[0]);
    EXPECT_EQ(out.width(), c.side);
    EXPECT_TRUE(near(testing::pixel(out, c.side / 2, c.side / 2), rgba(c.colour)))
        << show(testing::pixel(out, c.side / 2, c.side / 2));
    std::filesystem::remove(written[0]);
  }
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

// The background colour shows wherever a frame is transparent, mixed into
// what is half transparent; opaque pixels and the corners a rotation
// uncovers (the rotation's own colour) keep theirs.
TEST_F(Conversion, FlattensTransparencyOntoTheBackgroundColour) {
  const Rgb background{0x20, 0x80, 0xE0};
  const Rgba shown = {0x20, 0x80, 0xE0, 255};
  const auto leftOpaque = [](int x, int) { return x >= 8; };
  const std::vector<uint32_t> palette = {0x000000, 0xC04020, 0xFFFFFF};
  Image pngPalette(FreeImage_Allocate(16, 16, 8));
  FreeImage_GetPalette(pngPalette.get())[0] = RGBQUAD{0x20, 0x40, 0xC0, 0};
  FreeImage_GetPalette(pngPalette.get())[1] = RGBQUAD{0, 0, 0, 0};
  BYTE table[2] = {255, 0};
  FreeImage_SetTransparencyTable(pngPalette.get(), table, 2);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      BYTE index = x < 8 ? 0 : 1;
      FreeImage_SetPixelIndex(pngPalette.get(), x, y, &index);
    }
  struct Case {
    const char* name;
    Bytes frame;
    Rgba left;   ///< at (3, 8), opaque
    Rgba right;  ///< at (12, 8)
  };
  const Case kCases[] = {
      {"32-bit alpha",
       testing::bitmapFrame(16, 16, 32, {}, [](int x, int) { return x < 8 ? 0xFFC04020u : 0x00FFFFFFu; }),
       rgba(0xC04020), shown},
      {"32-bit half alpha",
       testing::bitmapFrame(16, 16, 32, {}, [](int x, int) { return x < 8 ? 0xFFC04020u : 0x80C04020u; }),
       rgba(0xC04020), {0x70, 0x60, 0x80, 255}},
      {"24-bit mask", testing::bitmapFrame(16, 16, 24, {}, [](int, int) { return 0xC04020u; }, leftOpaque),
       rgba(0xC04020), shown},
      {"4-bit mask", testing::bitmapFrame(16, 16, 4, palette, [](int, int) { return 1u; }, leftOpaque),
       rgba(0xC04020), shown},
      {"PNG palette", encodeImage(pngPalette, FIF_PNG, 0).value_or(Bytes{}), rgba(0xC04020), shown},
      {"opaque frame", testing::solidFrame(16, 0xC04020), rgba(0xC04020), rgba(0xC04020)},
  };
  output("png", 0);
  plan.pipeline.flatten.background = background;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> written;
    ASSERT_TRUE(convert(testing::icoFile({c.frame}), written));
    const Image out = testing::loadImage(written.at(0));
    EXPECT_TRUE(near(testing::pixel(out, 3, 8), c.left, 2)) << show(testing::pixel(out, 3, 8));
    EXPECT_TRUE(near(testing::pixel(out, 12, 8), c.right, 2)) << show(testing::pixel(out, 12, 8));
  }

  // Turned by 45 degrees: the uncovered corner takes the rotation's colour,
  // the frame's own transparent middle the background colour.
  plan.pipeline.rotation = {true, 0, 45, {255, 0, 0}};
  const auto inHole = [](int x, int y) { return x >= 4 && x < 12 && y >= 4 && y < 12; };
  std::vector<std::string> written;
  ASSERT_TRUE(convert(testing::icoFile({testing::bitmapFrame(16, 16, 24, {}, [](int, int) { return 0x00FF00u; },
                                                             inHole)}),
                      written));
  const Image turned = testing::loadImage(written.at(0));
  EXPECT_TRUE(near(testing::pixel(turned, 0, 0), {255, 0, 0, 255}, 2)) << show(testing::pixel(turned, 0, 0));
  const Rgba middle = testing::pixel(turned, turned.width() / 2, turned.height() / 2);
  EXPECT_TRUE(near(middle, shown, 2)) << show(middle);
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
  const FileValues photo{dir / "photo.ico", "", {}};
  ASSERT_TRUE(writeOutputs(plan, photo, convertFile(plan, photo), written));
  EXPECT_EQ(written, (std::vector<std::string>{dir / "out/photo[1].jpg", dir / "out/photo[2].jpg"}));
  for (const auto& path : written) EXPECT_EQ(testing::loadImage(path).width(), 8);

  written.clear();
  const FileValues absent{dir / "absent.ico", "", {}};
  EXPECT_FALSE(writeOutputs(plan, absent, convertFile(plan, absent), written));
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
    const FileValues token{dir / "token.ico", "", {}};
    ASSERT_TRUE(writeOutputs(plan, token, convertIconData(icon, plan, token), written));
    plan.pipeline.watermark.text.text = "24";
    const FileValues literal{dir / "literal.ico", "", {}};
    ASSERT_TRUE(writeOutputs(plan, literal, convertIconData(icon, plan, literal), written));
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
