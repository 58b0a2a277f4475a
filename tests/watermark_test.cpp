#include "imaging/watermark.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>

#include "batch/output_naming.h"
#include "imaging/drawing.h"
#include "imaging/output_depth.h"
#include "imaging/step_options.h"
#include "settings/settings.h"
#include "tests/support/ico_bytes.h"
#include "tests/support/test_support.h"

namespace trovabild {
namespace {

using testing::pixel;
using testing::Rgba;
using testing::solidImage;
using testing::TempDir;

class Watermark : public ::testing::Test {
 protected:
  enum class Kind { text, image };

  bool makeFont() {
    font = createWatermarkFont(config.wmFont, config.wmFontSize, config.wmFontStyle, config.wmFontEffect);
    return font != nullptr;
  }
  WatermarkOptions options() const {
    WatermarkOptions watermark = watermarkOptions(config);
    watermark.text.font = font;
    watermark.image.picture = picture;
    return watermark;
  }
  std::string text() const { return expandWatermarkTokens(config.wmText, names); }
  Image watermark(Image image, int width, int height) const {
    return applyWatermark(std::move(image), options(), text(), width, height, frameOptions(config));
  }
  Image textOverlay() const { return renderTextOverlay(options().text, text()); }
  Image imageOverlay() const { return renderImageOverlay(options().image); }
  Image place(Image image, Image overlay, int width, int height, Kind kind) const {
    const WatermarkOptions watermark = options();
    return placeOverlay(std::move(image), std::move(overlay), width, height,
                        kind == Kind::text ? watermark.text.placement : watermark.image.placement,
                        frameOptions(config));
  }

  Settings config = defaultSettings(true);
  std::shared_ptr<const Font> font;
  std::shared_ptr<const Picture> picture;  ///< the run's reading of the image watermark
  NameValues names;  ///< what the text's tokens read
};

// The box covered by pixels that differ from the background colour.
struct Box {
  int x = -1, y = -1, width = 0, height = 0;
  bool operator==(const Box&) const = default;
};
Box changedArea(const Image& image, Rgba background) {
  int left = image.width(), top = image.height(), right = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (!(pixel(image, x, y) == background)) {
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x);
        bottom = std::max(bottom, y);
      }
  if (right < 0) return {};
  return {left, top, right - left + 1, bottom - top + 1};
}

std::ostream& operator<<(std::ostream& out, const Box& box) {
  return out << box.width << "x" << box.height << " at (" << box.x << ", " << box.y << ")";
}

TEST_F(Watermark, SplitsLinesAtEolInAnyCase) {
  struct Case {
    const char* text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"Hello%eol%World", {"Hello", "World"}},
      {"Hello%EOL%World", {"Hello", "World"}},
      {"Hello%eOl%World", {"Hello", "World"}},
      {"Hello World", {"Hello World"}},
      {"%eol%", {"", ""}},
      {"a%eol%%EOL%b%eol", {"a", "", "b%eol"}},
      {"", {""}},
  };
  for (const Case& c : cases) EXPECT_EQ(splitWatermarkLines(c.text), c.lines) << c.text;
}

TEST_F(Watermark, LaysOutLinesWithPaddingAlignmentAndLeading) {
  // Padding 5, right-aligned lines of widths 40 and 60.
  const TextBox right = layoutTextBox({40, 60}, {15, 16}, 5, 0, 2);
  EXPECT_EQ(right.width, 70);
  EXPECT_EQ(right.lineX, (std::vector<int>{25, 5}));
  EXPECT_EQ(right.lineStep, 16);
  EXPECT_EQ(right.height, 16 + 16 + 10);
  EXPECT_EQ(right.lineY, (std::vector<int>{5, 21}));

  const TextBox leading = layoutTextBox({40, 60, 10}, {15, 15, 15}, 0, 4, 0);
  EXPECT_EQ(leading.lineStep, 19);
  EXPECT_EQ(leading.height, 15 + 2 * 19);
  EXPECT_EQ(leading.lineX, (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(leading.lineY, (std::vector<int>{0, 19, 38}));

  // Several lines get a box of at least 10 x 10 per line; one line does not.
  const TextBox small = layoutTextBox({0, 3}, {4, 4}, 0, 0, 1);
  EXPECT_EQ(small.width, 10);
  EXPECT_EQ(small.height, 20);
  EXPECT_EQ(small.lineX, (std::vector<int>{5, 4}));  // 3.5 rounds up
  const TextBox single = layoutTextBox({3}, {4}, 2, 0, 2);
  EXPECT_EQ(single.width, 7);
  EXPECT_EQ(single.height, 8);
  EXPECT_EQ(single.lineX, (std::vector<int>{2}));
  EXPECT_EQ(layoutTextBox({3, 4}, {4, 4}, 2147483647, 0, 2).width, 0);  // no box, no overflow

  struct AlignCase {
    int lineWidth, boxWidth, padding, alignment, x;
  };
  constexpr AlignCase kAlign[] = {
      {40, 70, 5, 0, 5},   {40, 70, 5, 1, 15},  {41, 70, 5, 1, 15}, {39, 70, 5, 1, 16},
      {75, 70, 5, 1, -3},  {40, 70, 5, 2, 25},  {40, 70, 5, 3, 0},
  };
  for (const AlignCase& c : kAlign)
    EXPECT_EQ(alignLine(c.lineWidth, c.boxWidth, c.padding, c.alignment), c.x)
        << c.lineWidth << " in " << c.boxWidth << " alignment " << c.alignment;
}

TEST_F(Watermark, FontComesFromTheFamilyOrItsMetricAlias) {
  config.wmFont = "Arial";
  EXPECT_TRUE(makeFont());
  config.wmFontStyle = 3;
  config.wmFontEffect = 2;
  EXPECT_TRUE(makeFont());
  config.wmFont = "Courier New";
  EXPECT_TRUE(makeFont());
  config.wmFont = "Quorvath Sans Imaginary";
  EXPECT_FALSE(makeFont());

  // Without a font the text watermark is left out; the image turns 24-bit.
  config.watermarkType = 1;
  config.wmText = "Hello";
  const Image marked = watermark(testing::quadrantImage(16), 16, 16);
  ASSERT_TRUE(marked);
  EXPECT_EQ(marked.bpp(), 24);
  EXPECT_EQ(pixel(marked, 2, 2), (Rgba{255, 0, 0, 255}));
}

struct PlacementCase {
  const char* what;
  int position, boundary, frameType, frame, dx, dy, overlayWidth, overlayHeight;
  Box expected;  ///< where the overlay lands on the 100 x 80 image; empty: nowhere
};
constexpr PlacementCase kPlacements[] = {
    {"top left", 0, 0, 0, 0, 10, 6, 10, 6, {10, 6, 10, 6}},
    {"top centre", 1, 0, 0, 0, 10, 6, 10, 6, {45, 6, 10, 6}},
    {"top right", 2, 0, 0, 0, 10, 6, 10, 6, {80, 6, 10, 6}},
    {"middle left", 3, 0, 0, 0, 10, 6, 10, 6, {10, 37, 10, 6}},
    {"middle centre", 4, 0, 0, 0, 10, 6, 10, 6, {45, 37, 10, 6}},
    {"middle right", 5, 0, 0, 0, 10, 6, 10, 6, {80, 37, 10, 6}},
    {"bottom left", 6, 0, 0, 0, 10, 6, 10, 6, {10, 68, 10, 6}},
    {"bottom centre", 7, 0, 0, 0, 10, 6, 10, 6, {45, 68, 10, 6}},
    {"bottom right", 8, 0, 0, 0, 10, 6, 10, 6, {80, 68, 10, 6}},
    {"unknown anchor", 9, 0, 0, 0, 10, 6, 10, 6, {0, 0, 10, 6}},
    {"odd centre truncates", 4, 0, 0, 0, 0, 0, 11, 7, {44, 36, 11, 7}},
    {"frame boundary top left", 0, 1, 1, 20, 0, 0, 10, 6, {20, 20, 10, 6}},
    {"frame boundary bottom right", 8, 1, 1, 20, 3, 2, 10, 6, {67, 52, 10, 6}},
    {"frame boundary centre", 4, 1, 1, 20, 3, 2, 10, 6, {45, 37, 10, 6}},
    {"frame boundary without a frame", 0, 1, 0, 20, 0, 0, 10, 6, {0, 0, 10, 6}},
    {"image boundary with a frame", 0, 0, 1, 20, 0, 0, 10, 6, {0, 0, 10, 6}},
    {"larger than the image is cropped", 0, 0, 0, 0, 10, 5, 150, 100, {10, 5, 90, 75}},
    {"cropped inside the frame", 8, 1, 1, 20, 10, 10, 150, 100, {20, 20, 50, 30}},
    {"offset as wide as the image", 0, 0, 0, 0, 100, 0, 10, 6, {}},
    {"offset as high as the room", 8, 1, 1, 20, 0, 40, 10, 6, {}},
    {"outside the image is left out", 8, 0, 0, 0, -5, 0, 10, 6, {}},
    {"largest offset", 8, 0, 0, 0, 2147483647, 0, 10, 6, {}},
    {"smallest offset", 0, 0, 0, 0, -2147483647 - 1, 0, 10, 6, {}},
    {"frame wider than any image", 0, 1, 1, 2147483647, 0, 0, 10, 6, {}},
};

TEST_F(Watermark, PlacesOverlayAtAnchorWithinBoundary) {
  for (const PlacementCase& c : kPlacements) {
    SCOPED_TRACE(c.what);
    config.wmImagePosition = static_cast<int8_t>(c.position);
    config.wmImageBoundary = static_cast<int8_t>(c.boundary);
    config.frameType = static_cast<int8_t>(c.frameType);
    config.solidLeft = config.solidRight = config.solidTop = config.solidBottom = c.frame;
    config.wmImageXOffset = c.dx;
    config.wmImageYOffset = c.dy;
    Image overlay = solidImage(c.overlayWidth, c.overlayHeight, 32, {255, 0, 0, 255});
    const Image placed = place(solidImage(100, 80, 24, {0, 0, 0, 255}), std::move(overlay),
                                      100, 80, Kind::image);
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed.width(), 100);
    EXPECT_EQ(changedArea(placed, {0, 0, 0, 255}), c.expected);
  }
}

TEST_F(Watermark, OpaqueOverlayKeepsItsExactColours) {
  config.wmImagePosition = 0;
  config.wmImageXOffset = 0;
  config.wmImageYOffset = 0;
  const Image placed = place(solidImage(8, 8, 24, {0, 0, 0, 255}),
                                    solidImage(4, 4, 32, {255, 255, 255, 255}), 8, 8,
                                    Kind::image);
  EXPECT_EQ(pixel(placed, 0, 0), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(pixel(placed, 3, 3), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(pixel(placed, 4, 4), (Rgba{0, 0, 0, 255}));
}

TEST_F(Watermark, TextSettingsDriveTextPlacementAndRotation) {
  config.wmTextPosition = 0;
  config.wmTextXOffset = 0;
  config.wmTextYOffset = 0;
  config.wmTextRotation = 90;
  config.wmImagePosition = 8;  // not consulted for text
  const Image placed = place(solidImage(200, 200, 24, {0, 0, 0, 255}),
                                    solidImage(100, 20, 32, {255, 0, 0, 255}), 200, 200,
                                    Kind::text);
  EXPECT_EQ(changedArea(placed, {0, 0, 0, 255}), (Box{0, 0, 20, 100}));
}

class TextWatermark : public Watermark {
 protected:
  void SetUp() override {
    Watermark::SetUp();
    config.watermarkType = 1;
    config.wmFont = "Arial";
    config.wmFontSize = 14;
    config.wmFontColor = "FFFFFF";
    config.wmBackColor = "000000";
    config.wmBackOpacity = 255;
    ASSERT_TRUE(makeFont());
  }
};

TEST_F(TextWatermark, DefaultsPutTheBoxTenPixelsFromTheBottomRight) {
  config.wmText = "Sample";
  const Image marked = watermark(solidImage(200, 120, 24, {0, 0, 255, 255}), 200, 120);
  ASSERT_TRUE(marked);
  const Box box = changedArea(marked, {0, 0, 255, 255});
  ASSERT_GT(box.width, 20);
  EXPECT_EQ(box.x + box.width, 190);
  EXPECT_EQ(box.y + box.height, 110);
  EXPECT_GE(box.height, 19);
}

TEST_F(TextWatermark, PlainTextHasOnlyTextAndBackColours) {
  config.wmText = "Ag 42";
  config.wmTextPadding = 3;
  const Image overlay = textOverlay();
  ASSERT_TRUE(overlay);
  EXPECT_EQ(overlay.bpp(), 32);
  EXPECT_EQ(pixel(overlay, 0, 0), (Rgba{0, 0, 0, 255}));
  std::set<std::tuple<int, int, int, int>> values;
  for (int y = 0; y < overlay.height(); ++y)
    for (int x = 0; x < overlay.width(); ++x) {
      const Rgba p = pixel(overlay, x, y);
      values.insert({p.r, p.g, p.b, p.a});
    }
  EXPECT_EQ(values, (std::set<std::tuple<int, int, int, int>>{{0, 0, 0, 255}, {255, 255, 255, 255}}));

  // Opacities apply to text and box separately.
  config.wmTextOpacity = 100;
  config.wmBackOpacity = 0;
  const Image faint = textOverlay();
  std::set<int> alphas;
  for (int y = 0; y < faint.height(); ++y)
    for (int x = 0; x < faint.width(); ++x) alphas.insert(pixel(faint, x, y).a);
  EXPECT_EQ(alphas, (std::set<int>{0, 100}));
}

TEST_F(TextWatermark, AntialiasedTextOverTheBoxAtTheirOpacities) {
  config.wmText = "Ag 42%eol%second line";
  config.wmTextAntialiasing = 1;
  config.wmBackOpacity = 64;
  config.wmTextAlignment = 1;
  const Image overlay = textOverlay();
  ASSERT_TRUE(overlay);
  EXPECT_EQ(pixel(overlay, 0, 0), (Rgba{0, 0, 0, 64}));
  std::set<int> alphas;
  for (int y = 0; y < overlay.height(); ++y)
    for (int x = 0; x < overlay.width(); ++x) alphas.insert(pixel(overlay, x, y).a);
  EXPECT_TRUE(alphas.count(255));
  EXPECT_GT(alphas.size(), 4u);  // smooth glyph edges
}

TEST_F(TextWatermark, LinesAndTokensShapeTheBox) {
  config.wmText = "Top%EOL%Bottom";
  config.wmTextPadding = 4;
  config.wmFontLeading = 3;
  const Image twoLines = textOverlay();
  config.wmText = "Bottom";
  const Image oneLine = textOverlay();
  ASSERT_TRUE(twoLines);
  ASSERT_TRUE(oneLine);
  EXPECT_EQ(twoLines.width(), oneLine.width());
  const int lineHeight = oneLine.height() - 8;
  EXPECT_EQ(twoLines.height(), 2 * lineHeight + 3 + 8);

  // Size tokens print the frame being converted.
  names.width = 123;
  names.height = 45;
  config.wmText = "%Width%x%HEIGHT%";
  const Image expanded = textOverlay();
  config.wmText = "123x45";
  const Image literal = textOverlay();
  ASSERT_TRUE(expanded);
  ASSERT_TRUE(literal);
  EXPECT_EQ(expanded.width(), literal.width());
  EXPECT_EQ(testing::psnr(expanded, literal), 99.0);

  config.wmText = "";
  config.wmTextPadding = 0;
  EXPECT_FALSE(textOverlay());  // nothing to draw
}

class ImageWatermark : public Watermark {
 protected:
  void SetUp() override {
    Watermark::SetUp();
    config.watermarkType = 2;
    config.wmImagePosition = 0;
    config.wmImageXOffset = 0;
    config.wmImageYOffset = 0;
  }
  TempDir dir;
};

// Red, green / blue, white, and a transparent bottom row.
Image logoImage() {
  Image logo(FreeImage_Allocate(2, 3, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  const Rgba colours[3][2] = {{{255, 0, 0, 255}, {0, 255, 0, 255}},
                              {{0, 0, 255, 255}, {255, 255, 255, 255}},
                              {{50, 60, 70, 0}, {50, 60, 70, 0}}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) {
      BYTE* p = FreeImage_GetScanLine(logo.get(), 2 - y) + 4 * x;
      p[FI_RGBA_RED] = colours[y][x].r;
      p[FI_RGBA_GREEN] = colours[y][x].g;
      p[FI_RGBA_BLUE] = colours[y][x].b;
      p[FI_RGBA_ALPHA] = colours[y][x].a;
    }
  return logo;
}

TEST_F(ImageWatermark, GreyFilterAndOpacity) {
  config.wmImage = dir / "logo.png";
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, logoImage().get(), config.wmImage.c_str(), 0));

  config.wmImageGreyscale = 1;
  const Image grey = imageOverlay();
  ASSERT_TRUE(grey);
  EXPECT_EQ(pixel(grey, 0, 0), (Rgba{76, 76, 76, 255}));
  EXPECT_EQ(pixel(grey, 1, 0), (Rgba{149, 149, 149, 255}));
  EXPECT_EQ(pixel(grey, 0, 1), (Rgba{28, 28, 28, 255}));
  EXPECT_EQ(pixel(grey, 1, 1), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(pixel(grey, 0, 2).a, 0);
  const Image greyMarked = watermark(solidImage(10, 10, 24, {0, 0, 0, 255}), 10, 10);
  EXPECT_EQ(pixel(greyMarked, 0, 0), (Rgba{76, 76, 76, 255}));
  EXPECT_EQ(pixel(greyMarked, 1, 1), (Rgba{255, 255, 255, 255}));

  config.wmImageGreyscale = 0;
  config.wmImageOpacity = 128;
  const Image half = imageOverlay();
  EXPECT_EQ(pixel(half, 0, 0), (Rgba{255, 0, 0, 128}));
  EXPECT_EQ(pixel(half, 1, 2).a, 0);  // transparent areas stay transparent

  const Image marked = watermark(solidImage(10, 10, 24, {0, 0, 0, 255}), 10, 10);
  EXPECT_NEAR(pixel(marked, 0, 0).r, 128, 1);
  EXPECT_EQ(pixel(marked, 0, 2), (Rgba{0, 0, 0, 255}));
}

TEST_F(ImageWatermark, OpacityZeroIsInvisibleButTheFrameConverts) {
  config.wmImage = dir / "logo.png";
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, logoImage().get(), config.wmImage.c_str(), 0));
  config.wmImageOpacity = 0;
  const Image source = solidImage(10, 10, 24, {30, 60, 90, 255});
  const Image marked = watermark(solidImage(10, 10, 24, {30, 60, 90, 255}), 10, 10);
  ASSERT_TRUE(marked);
  EXPECT_EQ(testing::psnr(marked, source), 99.0);
}

TEST_F(ImageWatermark, LogoWithoutAlphaIsOpaqueBeforeOpacity) {
  config.wmImage = dir / "logo.bmp";
  ASSERT_TRUE(FreeImage_Save(FIF_BMP, solidImage(4, 4, 24, {0, 200, 0, 255}).get(),
                             config.wmImage.c_str(), 0));
  config.wmImageOpacity = 128;
  const Image overlay = imageOverlay();
  ASSERT_TRUE(overlay);
  const Rgba p = pixel(overlay, 3, 3);
  EXPECT_EQ(p.a, 128);
  EXPECT_NEAR(p.g, 200, 1);  // half alpha keeps the colour to within one step
  EXPECT_EQ(p.r + p.b, 0);
}

// Read once for the run: later frames use that reading even when the file
// changes or goes away; an icon gives its first usable frame.
TEST_F(ImageWatermark, IsReadOncePerRun) {
  config.wmImage = dir / "logo.ico";
  const Image red = solidImage(16, 16, 24, {255, 0, 0, 255});
  ASSERT_TRUE(testing::writeIco(config.wmImage, {&red}));
  picture = loadWatermarkPicture(config.wmImage);
  ASSERT_TRUE(picture);
  unlink(config.wmImage.c_str());
  for (int frame = 0; frame < 2; ++frame) {
    const Image marked = watermark(solidImage(10, 10, 24, {0, 0, 0, 255}), 10, 10);
    EXPECT_EQ(pixel(marked, 0, 0), (Rgba{255, 0, 0, 255}));
  }
  picture = nullptr;
  EXPECT_FALSE(imageOverlay());
}

/// A GIF written by FreeImage: red, green / blue, white.
testing::Bytes gifLogo() {
  Image logo(FreeImage_Allocate(2, 2, 8));
  RGBQUAD* palette = FreeImage_GetPalette(logo.get());
  palette[0] = RGBQUAD{0, 0, 255, 0};
  palette[1] = RGBQUAD{0, 255, 0, 0};
  palette[2] = RGBQUAD{255, 0, 0, 0};
  palette[3] = RGBQUAD{255, 255, 255, 0};
  const BYTE indices[2][2] = {{0, 1}, {2, 3}};  // from the top row
  for (unsigned y = 0; y < 2; ++y)
    for (unsigned x = 0; x < 2; ++x) FreeImage_SetPixelIndex(logo.get(), x, 1 - y, const_cast<BYTE*>(&indices[y][x]));
  const std::optional<testing::Bytes> bytes = encodeImage(logo, FIF_GIF, 0);
  EXPECT_TRUE(bytes);
  return bytes.value_or(testing::Bytes{});
}

// FreeImage cannot read a GIF's size alone; the loader reads the sizes from
// the file itself and applies the same limit as to any other picture.
TEST_F(ImageWatermark, ReadsAGifWithinTheSizeLimit) {
  const testing::Bytes gif = gifLogo();
  ASSERT_GE(gif.size(), 13u);
  // The first image's descriptor: the separator, left and top 0, 2 x 2.
  const testing::Bytes descriptor = {0x2C, 0, 0, 0, 0, 2, 0, 2, 0};
  const auto found = std::search(gif.begin(), gif.end(), descriptor.begin(), descriptor.end());
  ASSERT_NE(found, gif.end());
  const size_t image = static_cast<size_t>(found - gif.begin());
  const auto edited = [&](std::function<void(testing::Bytes&)> edit) {
    testing::Bytes b = gif;
    edit(b);
    return b;
  };
  struct Case { const char* name; testing::Bytes bytes; bool usable; };
  const Case kCases[] = {
      {"as written", gif, true},
      {"huge logical screen", edited([](testing::Bytes& b) { testing::putLe32(b, 6, 0xFFFFFFFF); }), false},
      {"logical screen of no width", edited([](testing::Bytes& b) { testing::putLe16(b, 6, 0); }), false},
      {"huge first image", edited([&](testing::Bytes& b) { testing::putLe32(b, image + 5, 0xFFFFFFFF); }), false},
      {"first image of no height", edited([&](testing::Bytes& b) { testing::putLe16(b, image + 7, 0); }), false},
      {"cut before the first image", edited([&](testing::Bytes& b) { b.resize(image + 4); }), false},
      {"cut inside the header", edited([](testing::Bytes& b) { b.resize(11); }), false},
      {"unknown block", edited([&](testing::Bytes& b) { b[image] = 0x99; }), false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    config.wmImage = dir / "logo.gif";
    testing::writeBytes(config.wmImage, c.bytes);
    picture = loadWatermarkPicture(config.wmImage);
    ASSERT_EQ(picture != nullptr, c.usable);
    if (!c.usable) continue;
    EXPECT_EQ(picture->width, 2);
    EXPECT_EQ(picture->height, 2);
    const Image marked = watermark(solidImage(10, 10, 24, {0, 0, 0, 255}), 10, 10);
    EXPECT_EQ(pixel(marked, 0, 0), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(pixel(marked, 1, 0), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(pixel(marked, 0, 1), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(pixel(marked, 1, 1), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(pixel(marked, 2, 2), (Rgba{0, 0, 0, 255}));
  }
}

TEST_F(ImageWatermark, UnreadableFileLeavesTheImageUnmarked) {
  config.wmImage = dir / "gone.png";
  const Image marked = watermark(testing::quadrantImage(8), 8, 8);
  ASSERT_TRUE(marked);
  EXPECT_EQ(marked.bpp(), 24);
  EXPECT_EQ(pixel(marked, 1, 1), (Rgba{255, 0, 0, 255}));
}

}  // namespace
}  // namespace trovabild

namespace trovabild {
namespace {

// The built program on a generated icon: the pipeline draws the frame and
// the watermark, and the batch refuses a font it cannot provide.
class WatermarkRun : public ::testing::Test {
 protected:
  void SetUp() override {
    mkdir((dir / "out").c_str(), 0755);
    const Image blue64 = solidImage(64, 64, 32, {0, 0, 255, 255});
    const Image blue16 = solidImage(16, 16, 32, {0, 0, 255, 255});
    ASSERT_TRUE(testing::writeIco(dir / "big.ico", {&blue64}));
    ASSERT_TRUE(testing::writeIco(dir / "small.ico", {&blue16}));
  }
  testing::RunResult run(const std::string& icon, std::vector<std::string> options) {
    std::vector<std::string> args{"-i", dir / icon, "-o", dir / "out"};
    args.insert(args.end(), options.begin(), options.end());
    return testing::runProgram(args, dir.path());
  }
  static bool near(Rgba a, Rgba b) {
    return std::abs(a.r - b.r) <= 24 && std::abs(a.g - b.g) <= 24 && std::abs(a.b - b.b) <= 24;
  }
  TempDir dir;
};

TEST_F(WatermarkRun, FrameAndTextReachTheSavedFile) {
  const auto result = run("big.ico", {"--wm-text=Hi", "--wm-back-color=FFFF00", "--wm-back-opacity=255",
                                      "--wm-text-position=topleft", "--wm-text-x-offset=0",
                                      "--wm-text-y-offset=0", "--wm-text-padding=4",
                                      "--fr-solid-right=6", "--fr-solid-right-color=FF0000"});
  EXPECT_NE(result.output.find("Files converted: 1 of 1"), std::string::npos) << result.output;
  const Image saved = testing::loadImage(dir / "out/big.jpg");
  ASSERT_TRUE(saved);
  EXPECT_TRUE(near(pixel(saved, 1, 1), {255, 255, 0, 255}));    // the text box's padding
  EXPECT_TRUE(near(pixel(saved, 61, 32), {255, 0, 0, 255}));    // the frame's right edge
  EXPECT_TRUE(near(pixel(saved, 32, 50), {0, 0, 255, 255}));    // the icon itself
}

TEST_F(WatermarkRun, OffsetsWiderThanASmallIconStillSaveIt) {
  // The default offsets (10, 10) leave a 6 x 6 corner on a 16 x 16 icon,
  // and an offset of 16 leaves nothing: the file is saved either way.
  for (const char* offset : {"--wm-text-x-offset=10", "--wm-text-x-offset=16"}) {
    SCOPED_TRACE(offset);
    const auto result = run("small.ico", {"--wm-text=Watermark", offset});
    EXPECT_NE(result.output.find("Files converted: 1 of 1"), std::string::npos) << result.output;
    EXPECT_TRUE(testing::fileExists(dir / "out/small.jpg"));
  }
}

TEST_F(WatermarkRun, UnknownFontFamilyStopsTheBatch) {
  const auto refused = run("big.ico", {"--wm-text=Hi", "--wm-font=Quorvath Sans Imaginary"});
  EXPECT_NE(refused.output.find("Error: Invalid watermark font"), std::string::npos) << refused.output;
  EXPECT_FALSE(testing::fileExists(dir / "out/big.jpg"));
  const auto aliased = run("big.ico", {"--wm-text=Hi", "--wm-font=Arial"});
  EXPECT_NE(aliased.output.find("Files converted: 1 of 1"), std::string::npos) << aliased.output;
}

}  // namespace
}  // namespace trovabild

namespace trovabild {
namespace {

int darkestChannel(const Image& image) {
  int darkest = 255;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const Rgba p = testing::pixel(image, x, y);
      darkest = std::min({darkest, int{p.r}, int{p.g}, int{p.b}});
    }
  return darkest;
}

// White on white stays white at any angle: the rotation of a watermark
// mixes no colour of its transparent pixels into the edges.
TEST_F(Watermark, RotatedWatermarksLeaveNoDarkHalo) {
  TempDir dir;
  // A white logo with a transparent (black) border.
  Image logo(FreeImage_Allocate(12, 12, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  for (int y = 0; y < 12; ++y) {
    BYTE* p = FreeImage_GetScanLine(logo.get(), y);
    for (int x = 0; x < 12; ++x, p += 4) {
      const bool inside = x >= 3 && x < 9 && y >= 3 && y < 9;
      p[FI_RGBA_RED] = p[FI_RGBA_GREEN] = p[FI_RGBA_BLUE] = inside ? 255 : 0;
      p[FI_RGBA_ALPHA] = inside ? 255 : 0;
    }
  }
  const std::string logoPath = dir / "logo.png";
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, logo.get(), logoPath.c_str(), 0));

  for (const int type : {1, 2}) {
    for (const int angle : {0, 30, 45, 90}) {
      SCOPED_TRACE(::testing::Message() << "type " << type << " angle " << angle);
      config = defaultSettings(true);
      config.watermarkType = static_cast<int8_t>(type);
      config.wmText = "Wm";
      config.wmFontColor = "FFFFFF";
      config.wmBackOpacity = 0;
      config.wmTextRotation = angle;
      config.wmImage = logoPath;
      config.wmImageRotation = angle;
      if (type == 1) {
        ASSERT_TRUE(makeFont());
      }
      const Image marked = watermark(solidImage(80, 80, 24, {255, 255, 255, 255}), 80, 80);
      ASSERT_TRUE(marked);
      EXPECT_GE(darkestChannel(marked), 254);
      font = nullptr;
    }
  }
}

}  // namespace
}  // namespace trovabild
