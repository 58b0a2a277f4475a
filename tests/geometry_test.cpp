#include "imaging/geometry.h"

#include <gtest/gtest.h>

#include <string>

#include "imaging/step_options.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace trovabild {
namespace {

using testing::atDepth;
using testing::pixel;
using testing::samePixels;
using testing::Rgba;
using testing::solidImage;

class Geometry : public ::testing::Test {
 protected:
  Image rotate(Image image, int storedBpp = 0) const {
    return rotateImage(std::move(image), rotationOptions(config), storedBpp);
  }
  Image resize(Image image, int width, int height) const {
    return resizeImage(std::move(image), resizeOptions(config), width, height);
  }
  Image flip(Image image) const { return flipImage(std::move(image), flipOptions(config)); }

  Settings config = defaultSettings(true);
};

/// A 24- or 32-bit image in which every pixel has its own colour.
Image patternImage(int width, int height, int bpp) {
  Image image(FreeImage_Allocate(width, height, bpp));
  for (int y = 0; y < height; ++y) {
    BYTE* row = FreeImage_GetScanLine(image.get(), height - 1 - y);
    for (int x = 0; x < width; ++x) {
      BYTE* p = row + x * (bpp / 8);
      p[FI_RGBA_RED] = static_cast<BYTE>(x * 37 + y * 11);
      p[FI_RGBA_GREEN] = static_cast<BYTE>(x * 5 + y * 61);
      p[FI_RGBA_BLUE] = static_cast<BYTE>(x * 97 + y * 29 + 3);
      if (bpp == 32) p[FI_RGBA_ALPHA] = 255;
    }
  }
  return image;
}

/// Transparency laid onto white, as the conversion does after resizing.
Image flattenOntoWhite(const Image& image) {
  RGBQUAD white{255, 255, 255, 0};
  return Image(FreeImage_Composite(image.get(), FALSE, &white, nullptr));
}

// ---------------------------------------------------------------- colours

struct ColourCase {
  const char* text;
  Rgb expected;
};
constexpr ColourCase kColourCases[] = {
    {"FF0000", {255, 0, 0}},
    {"00ff80", {0, 255, 128}},
    {"0A0b0C", {10, 11, 12}},
    {"#FF0000", {0, 0, 0}},       // seven characters
    {"FFF", {0, 0, 0}},           // too short
    {"", {0, 0, 0}},
    {"GG8000", {0, 128, 0}},      // no digit: 0
    {"FG80 0", {15, 128, 0}},     // digits up to the first that is not one
    {"\xC3\xA9" "\xC3\xA9" "FFFF", {0, 255, 255}},  // six characters, two of them not ASCII
    {"\xC3\xA9" "FFFF", {0, 0, 0}},                 // five characters in six bytes
};

TEST(ParseColor, ReadsSixHexDigitsLeniently) {
  for (const auto& c : kColourCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parseColor(c.text), c.expected);
  }
}

// ---------------------------------------------------------------- rotation

struct RotationCase {
  int width, height, bpp;
  int type, angle;
  int expectedWidth, expectedHeight, expectedBpp;
};
constexpr RotationCase kRotationCases[] = {
    {200, 100, 24, 0, 90, 100, 200, 24},
    {200, 100, 24, 1, 90, 200, 100, 24},
    {200, 100, 24, 0, 180, 200, 100, 24},
    {200, 100, 32, 0, 270, 100, 200, 32},
    {200, 100, 32, 1, 30, 200, 100, 32},
    {200, 100, 8, 0, 90, 100, 200, 24},   // palette images are turned as true colour
    {200, 100, 4, 1, 10, 200, 100, 24},
    {200, 100, 1, 0, 90, 100, 200, 24},
    {200, 100, 16, 0, 90, 100, 200, 24},
    {200, 100, 48, 0, 90, 100, 200, 24},
    {200, 100, 8, 7, 90, 200, 100, 24},   // unknown type: converted, not turned
};

TEST_F(Geometry, RotationSizesAndDepths) {
  for (const auto& c : kRotationCases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << "x" << c.bpp << " type " << c.type
                                      << " angle " << c.angle);
    config.doRotation = 1;
    config.rotationType = static_cast<int8_t>(c.type);
    config.rotation = c.angle;
    Image rotated = rotate(atDepth(patternImage(c.width, c.height, 24), c.bpp));
    ASSERT_TRUE(rotated);
    EXPECT_EQ(rotated.width(), c.expectedWidth);
    EXPECT_EQ(rotated.height(), c.expectedHeight);
    EXPECT_EQ(rotated.bpp(), c.expectedBpp);
  }
}

TEST_F(Geometry, SimpleRotationEnlargesTheCanvasToFitTheTurnedImage) {
  config.doRotation = 1;
  config.rotation = 45;
  const Image rotated = rotate(patternImage(200, 100, 24));
  // 200 cos 45 + 100 sin 45 = 212.1 in both directions.
  EXPECT_NEAR(rotated.width(), 212, 2);
  EXPECT_NEAR(rotated.height(), 212, 2);
}

TEST_F(Geometry, RotationOffOrOutOfRangeHandsTheImageOnUntouched) {
  struct Case { int doRotation, angle; };
  for (const Case c : {Case{0, 90}, Case{1, 0}, Case{1, 360}, Case{1, -90}, Case{1, 1000}}) {
    SCOPED_TRACE(::testing::Message() << "on " << c.doRotation << " angle " << c.angle);
    config.doRotation = static_cast<int8_t>(c.doRotation);
    config.rotation = c.angle;
    Image image = atDepth(patternImage(20, 10, 24), 8);
    FIBITMAP* before = image.get();
    image = rotate(std::move(image));
    EXPECT_EQ(image.get(), before);
    EXPECT_EQ(image.bpp(), 8);
  }
}

TEST_F(Geometry, PositiveAnglesTurnCounterClockwise) {
  config.doRotation = 1;
  config.rotation = 90;
  Image image = testing::quadrantImage(8);  // red top-left, green top-right
  image = rotate(std::move(image));
  EXPECT_EQ(pixel(image, 1, 1), (Rgba{0, 255, 0, 255}));  // green comes to the top-left
  EXPECT_EQ(pixel(image, 1, 6), (Rgba{255, 0, 0, 255}));  // red to the bottom-left
}

TEST_F(Geometry, FourSimpleQuarterTurnsAreTheIdentity) {
  config.doRotation = 1;
  config.rotation = 90;
  const Image original = patternImage(7, 4, 24);
  Image image(FreeImage_Clone(original.get()));
  for (int turn = 0; turn < 4; ++turn) image = rotate(std::move(image));
  EXPECT_TRUE(samePixels(image, original));
}

TEST_F(Geometry, SimpleRotationFillsTheCornersOfATrueColourImage) {
  config.doRotation = 1;
  config.rotation = 45;
  config.rotationBackColor = "FF0000";
  const Image rotated = rotate(solidImage(20, 20, 24, {0, 200, 0, 255}));
  EXPECT_EQ(pixel(rotated, 0, 0), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(pixel(rotated, rotated.width() - 1, rotated.height() - 1), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(pixel(rotated, rotated.width() / 2, rotated.height() / 2), (Rgba{0, 200, 0, 255}));
}

// The corners of a turned image with alpha are transparent and the edges
// carry no trace of the background colour, so laid onto white they show
// nothing but white and the image's own colour.
TEST_F(Geometry, TurnedImagesWithAlphaFlattenToCleanWhiteCorners) {
  for (const int type : {0, 1}) {
    for (const char* back : {"000000", "FF00FF"}) {
      SCOPED_TRACE(::testing::Message() << "type " << type << " back " << back);
      config.doRotation = 1;
      config.rotationType = static_cast<int8_t>(type);
      config.rotation = 45;
      config.rotationBackColor = back;
      // Type 1 keeps the size and mirrors, so the image brings its own
      // transparent (black) quarter to turn.
      Image source = solidImage(20, 20, 32, {0, 200, 0, 255});
      RGBQUAD clear{0, 0, 0, 0};
      for (unsigned y = 0; y < 10; ++y)
        for (unsigned x = 0; x < 10; ++x) FreeImage_SetPixelColor(source.get(), x, y, &clear);
      const Image rotated = rotate(std::move(source));
      ASSERT_EQ(rotated.bpp(), 32);
      if (type == 0) {
        EXPECT_EQ(pixel(rotated, 0, 0).a, 0);
      }
      const Image flat = flattenOntoWhite(rotated);
      ASSERT_TRUE(flat);
      if (type == 0) {
        EXPECT_EQ(pixel(flat, 0, 0), (Rgba{255, 255, 255, 255}));
      }
      for (int y = 0; y < flat.height(); ++y)
        for (int x = 0; x < flat.width(); ++x) {
          const Rgba p = pixel(flat, x, y);
          // Every pixel lies between green (0, 200, 0) and white.
          ASSERT_GE(int{p.g}, 196) << x << "," << y;
          ASSERT_NEAR(int{p.r}, int{p.b}, 1) << x << "," << y;
        }
    }
  }
}

// A frame stored with fewer than 32 bits whose AND mask became its alpha:
// the corners the rotation adds take the back colour, opaque, while its own
// transparent pixels stay transparent and so come out white.
TEST_F(Geometry, MaskedFramesBelow32BitsGetTheBackColourInTheirCorners) {
  config.doRotation = 1;
  config.rotation = 45;
  config.rotationBackColor = "FF0000";
  for (const int stored : {4, 8}) {
    SCOPED_TRACE(stored);
    // Green, with a transparent 4 x 4 hole in the middle.
    Image source = solidImage(20, 20, 32, {0, 200, 0, 255});
    RGBQUAD clear{0, 0, 0, 0};
    for (unsigned y = 8; y < 12; ++y)
      for (unsigned x = 8; x < 12; ++x) FreeImage_SetPixelColor(source.get(), x, y, &clear);
    const Image rotated = rotate(std::move(source), stored);
    ASSERT_TRUE(rotated);
    EXPECT_EQ(pixel(rotated, 0, 0), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(pixel(rotated, rotated.width() - 1, rotated.height() - 1), (Rgba{255, 0, 0, 255}));
    const Image flat = flattenOntoWhite(rotated);
    EXPECT_EQ(pixel(flat, flat.width() / 2, flat.height() / 2), (Rgba{255, 255, 255, 255}));
    // The edges mix red and green only: no black, and white only around
    // the hole.
    for (int y = 0; y < flat.height(); ++y)
      for (int x = 0; x < flat.width(); ++x) {
        const Rgba p = pixel(flat, x, y);
        ASSERT_GE(int{p.r} + int{p.g}, 196) << x << "," << y;
      }
  }
}

/// 20 x 20 green around a see-through 8 x 8 hole in the middle whose hidden
/// colour is magenta: a palette of `bpp` bits with a transparency table
/// (`holeAlpha` for the hole's entry), or 16 bits per channel with alpha.
Image holedImage(int bpp, uint8_t holeAlpha = 0) {
  const auto inHole = [](int x, int y) { return x >= 6 && x < 14 && y >= 6 && y < 14; };
  if (bpp == 64) {
    Image image(FreeImage_AllocateT(FIT_RGBA16, 20, 20, 64));
    for (int y = 0; y < 20; ++y) {
      auto* row = reinterpret_cast<FIRGBA16*>(FreeImage_GetScanLine(image.get(), y));
      for (int x = 0; x < 20; ++x)
        row[x] = inHole(x, y) ? FIRGBA16{65535, 0, 65535, 0} : FIRGBA16{0, 51400, 0, 65535};
    }
    return image;
  }
  Image image(FreeImage_Allocate(20, 20, bpp));
  RGBQUAD* palette = FreeImage_GetPalette(image.get());
  palette[0] = RGBQUAD{0, 200, 0, 0};
  palette[1] = RGBQUAD{255, 0, 255, 0};
  BYTE table[2] = {255, holeAlpha};
  FreeImage_SetTransparencyTable(image.get(), table, 2);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      BYTE index = inHole(x, y) ? 1 : 0;
      FreeImage_SetPixelIndex(image.get(), x, y, &index);
    }
  return image;
}

// Frames stored as a palette with a transparency table or with 16 bits per
// channel keep their transparency through any turn, so the hole comes out
// white once flattened. Only the added corners follow the stored depth:
// below 32 bits they take the back colour, above it they stay clear.
TEST_F(Geometry, TurnedPaletteAndDeepImagesKeepTheirTransparency) {
  config.doRotation = 1;
  config.rotationBackColor = "FF0000";
  for (const int bpp : {4, 8, 64}) {
    for (const int type : {0, 1}) {
      for (const int angle : {90, 45}) {
        SCOPED_TRACE(::testing::Message() << bpp << " bits, type " << type << ", angle " << angle);
        config.rotationType = static_cast<int8_t>(type);
        config.rotation = angle;
        const Image rotated = rotate(holedImage(bpp), bpp);
        ASSERT_TRUE(rotated);
        ASSERT_EQ(rotated.bpp(), 32);
        const Image flat = flattenOntoWhite(rotated);
        EXPECT_EQ(pixel(flat, flat.width() / 2, flat.height() / 2), (Rgba{255, 255, 255, 255}));
        if (type == 0 && angle == 45) {
          EXPECT_EQ(pixel(flat, 0, 0), bpp < 32 ? (Rgba{255, 0, 0, 255}) : (Rgba{255, 255, 255, 255}));
        }
      }
    }
  }
}

// Images that show no transparency turn exactly as true colour images do.
TEST_F(Geometry, OpaqueImagesBelow24BitsTurnAsTrueColour) {
  config.doRotation = 1;
  config.rotationBackColor = "FF0000";
  struct Case { const char* name; Image (*make)(); };
  const Case kCases[] = {
      {"palette", [] { return atDepth(patternImage(20, 20, 24), 8); }},
      {"palette with an opaque transparency table", [] { return holedImage(8, 255); }},
      {"16 bits per channel", [] { return atDepth(patternImage(20, 20, 24), 48); }},
  };
  for (const Case& c : kCases) {
    for (const int angle : {90, 45}) {
      SCOPED_TRACE(::testing::Message() << c.name << ", angle " << angle);
      config.rotation = angle;
      const Image source = c.make();
      const Image rotated = rotate(Image(FreeImage_Clone(source.get())), source.bpp());
      const Image expected = rotate(Image(FreeImage_ConvertTo24Bits(source.get())), source.bpp());
      ASSERT_EQ(rotated.bpp(), 24);
      EXPECT_TRUE(samePixels(rotated, expected));
    }
  }
}

// ---------------------------------------------------------------- resizing

struct ResizeCase {
  int width, height;
  int targetWidth, widthUnit, targetHeight, heightUnit;
  bool keepAspectRatio;
  int resizeType;
  int expectedWidth, expectedHeight;
};
constexpr ResizeCase kResizeCases[] = {
    {300, 200, 100, 0, 100, 0, true, 0, 100, 67},
    {200, 300, 100, 0, 100, 0, true, 0, 67, 100},
    {300, 200, 100, 0, 100, 0, false, 0, 100, 100},
    {200, 200, 64, 0, 64, 0, true, 0, 64, 64},
    {300, 200, 50, 1, 50, 1, false, 0, 150, 100},
    {300, 200, 50, 1, 10, 1, true, 0, 150, 100},    // only the longer side's target counts
    {100, 300, 10, 1, 50, 1, true, 0, 50, 150},
    {300, 200, 300, 1, 300, 1, false, 0, 900, 600},
    {5, 3, 50, 1, 50, 1, false, 0, 2, 2},            // 2.5 and 1.5 round to even
    {7, 9, 50, 1, 50, 1, false, 0, 4, 4},            // 3.5 and 4.5 round to even
    {3, 3, 90, 1, 90, 1, false, 0, 3, 3},            // 2.7 rounds up to the same size
    {320, 240, 640, 0, 480, 0, false, 1, 320, 240},  // smaller both ways: left alone
    {800, 400, 640, 0, 480, 0, false, 1, 640, 480},  // larger one way: resized
    {320, 480, 640, 0, 480, 0, false, 1, 640, 480},  // as large one way: resized
    {320, 240, 640, 0, 480, 0, false, 0, 640, 480},
    {300, 200, 0, 0, 100, 0, false, 0, 300, 200},    // a zero target leaves it alone
    {300, 200, 100, 0, 0, 0, true, 0, 300, 200},
    {30, 20, 1, 1, 50, 1, false, 0, 30, 20},        // 1 % of 30 rounds to 0
    {300, 200, -50, 0, 100, 0, false, 0, 300, 200},
    {300, 200, 100, 5, 100, 0, false, 0, 300, 200},  // unknown unit gives 0
    {1, 1, 0, 1, 50, 1, false, 0, 1, 1},
    {400, 2, 10, 0, 10, 0, true, 0, 10, 1},          // the short side keeps one pixel
    {2, 400, 10, 0, 10, 0, true, 0, 1, 10},
    {300, 200, 300, 0, 50, 0, true, 0, 300, 200},    // works out at the same size
    {300, 200, 2000000000, 1, 2000000000, 1, true, 0, 0, 0},  // far too large: no image
    {300, 200, 65536, 0, 10, 0, false, 0, 0, 0},
    {300, 200, 20000, 0, 20000, 0, false, 0, 0, 0},
    {300, 200, 65535, 0, 1, 0, false, 0, 65535, 1},
};

TEST_F(Geometry, ResizeTable) {
  for (const auto& c : kResizeCases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " to " << c.targetWidth << "/" << c.widthUnit
                                      << " x " << c.targetHeight << "/" << c.heightUnit << " keep "
                                      << c.keepAspectRatio << " type " << c.resizeType);
    config.doResize = 1;
    config.width = c.targetWidth;
    config.widthUnit = static_cast<int8_t>(c.widthUnit);
    config.height = c.targetHeight;
    config.heightUnit = static_cast<int8_t>(c.heightUnit);
    config.keepAspectRatio = c.keepAspectRatio;
    config.resizeType = static_cast<int8_t>(c.resizeType);
    Image image = solidImage(c.width, c.height, 24, {10, 20, 30, 255});
    FIBITMAP* before = image.get();
    image = resize(std::move(image), c.width, c.height);
    EXPECT_EQ(image.width(), c.expectedWidth);
    EXPECT_EQ(image.height(), c.expectedHeight);
    if (c.expectedWidth == c.width && c.expectedHeight == c.height) {
      EXPECT_EQ(image.get(), before);
    }
  }
}

TEST_F(Geometry, ResizeOffOrToTheCurrentSizeHandsTheImageOnUntouched) {
  for (const int on : {0, 1}) {
    SCOPED_TRACE(on);
    config.doResize = static_cast<int8_t>(on);
    config.width = 7;
    config.height = 4;
    for (const int bpp : {4, 8, 24, 32}) {
      Image image = atDepth(patternImage(7, 4, 24), bpp);
      FIBITMAP* before = image.get();
      image = resize(std::move(image), 7, 4);
      EXPECT_EQ(image.get(), before);
      EXPECT_EQ(image.bpp(), bpp);
    }
  }
}

TEST_F(Geometry, ResizeUsesTheChosenFilter) {
  constexpr FREE_IMAGE_FILTER kFilters[] = {FILTER_BOX, FILTER_BILINEAR, FILTER_BSPLINE,
                                            FILTER_BICUBIC, FILTER_CATMULLROM, FILTER_LANCZOS3};
  const Image source = patternImage(6, 5, 24);
  config.doResize = 1;
  config.width = 17;
  config.height = 13;
  for (int code = 0; code <= 6; ++code) {
    SCOPED_TRACE(code);
    const int algorithm = code == 6 ? 42 : code;  // any other code: bicubic
    const FREE_IMAGE_FILTER expected = code == 6 ? FILTER_BICUBIC : kFilters[code];
    config.resizeAlgorithm = static_cast<int8_t>(algorithm);
    const Image resized = resize(Image(FreeImage_Clone(source.get())), 6, 5);
    const Image reference(FreeImage_Rescale(source.get(), 17, 13, expected));
    EXPECT_TRUE(samePixels(resized, reference));
    for (int other = 0; other < 6; ++other) {
      if (kFilters[other] == expected) continue;
      const Image different(FreeImage_Rescale(source.get(), 17, 13, kFilters[other]));
      EXPECT_FALSE(samePixels(resized, different)) << "looks like filter " << other;
    }
  }
}

TEST_F(Geometry, ResizeKeepsTheDepthOfTrueColourImages) {
  config.doResize = 1;
  config.width = 10;
  config.height = 10;
  for (const int bpp : {24, 32}) {
    SCOPED_TRACE(bpp);
    const Image resized = resize(atDepth(patternImage(5, 5, 24), bpp), 5, 5);
    EXPECT_EQ(resized.bpp(), bpp);
  }
}

// Palette images come out of the turning and scaling as true colour, in colour.
TEST_F(Geometry, PaletteImagesStayInColour) {
  const Rgba red{200, 30, 30, 255};
  config.resizeAlgorithm = 0;
  for (const int step : {0, 1}) {
    SCOPED_TRACE(step == 0 ? "rotate" : "resize");
    config.doRotation = step == 0;
    config.rotation = 90;
    config.doResize = step == 1;
    config.width = config.height = 12;
    const Image source = solidImage(6, 6, 24, red);
    Image image(FreeImage_ColorQuantize(source.get(), FIQ_WUQUANT));
    ASSERT_EQ(image.bpp(), 8);
    image = step == 0 ? rotate(std::move(image)) : resize(std::move(image), 6, 6);
    EXPECT_EQ(image.bpp(), 24);
    EXPECT_EQ(pixel(image, 2, 3), red);
  }
}

// Transparent pixels of an icon are usually black; scaling must not pull
// that black into the visible edge.
TEST_F(Geometry, ResizedTransparencyLeavesNoDarkSeam) {
  config.doResize = 1;
  config.width = 40;
  config.height = 40;
  for (const int algorithm : {0, 1, 2, 3, 4, 5}) {
    SCOPED_TRACE(algorithm);
    config.resizeAlgorithm = static_cast<int8_t>(algorithm);
    Image source = solidImage(8, 8, 32, {0, 200, 0, 255});
    RGBQUAD clear{0, 0, 0, 0};
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 4; ++x) FreeImage_SetPixelColor(source.get(), x, y, &clear);
    const Image resized = resize(std::move(source), 8, 8);
    ASSERT_EQ(resized.bpp(), 32);
    EXPECT_EQ(pixel(resized, 0, 0).a, 0);
    EXPECT_EQ(pixel(resized, 39, 20), (Rgba{0, 200, 0, 255}));
    const Image flat = flattenOntoWhite(resized);
    for (int x = 0; x < 40; ++x) {
      const Rgba p = pixel(flat, x, 20);
      ASSERT_GE(int{p.g}, 199) << x;
      ASSERT_NEAR(int{p.r}, int{p.b}, 1) << x;
    }
  }
}

// ---------------------------------------------------------------- flipping

TEST_F(Geometry, FlipMirrorsInPlace) {
  struct Case { int horizontal, vertical; Rgba topLeft; };
  const Case cases[] = {
      {0, 0, {255, 0, 0, 255}},
      {1, 0, {0, 255, 0, 255}},
      {0, 1, {0, 0, 255, 255}},
      {1, 1, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.horizontal << c.vertical);
    config.flipHorizontal = static_cast<int8_t>(c.horizontal);
    config.flipVertical = static_cast<int8_t>(c.vertical);
    Image image = testing::quadrantImage(4);
    FIBITMAP* before = image.get();
    image = flip(std::move(image));
    EXPECT_EQ(image.get(), before);
    EXPECT_EQ(pixel(image, 0, 0), c.topLeft);
  }
}

TEST_F(Geometry, FlippingTwiceIsTheIdentity) {
  config.flipHorizontal = 1;
  config.flipVertical = 1;
  for (const int bpp : {1, 4, 8, 24, 32}) {
    SCOPED_TRACE(bpp);
    const Image original = atDepth(patternImage(7, 5, 24), bpp);
    Image image(FreeImage_Clone(original.get()));
    image = flip(flip(std::move(image)));
    EXPECT_TRUE(samePixels(image, original));
  }
}

TEST_F(Geometry, StepsPassNoImageOn) {
  config.doRotation = 1;
  config.rotation = 45;
  config.doResize = 1;
  config.width = config.height = 10;
  config.flipHorizontal = 1;
  EXPECT_FALSE(rotate(Image()));
  EXPECT_FALSE(resize(Image(), 5, 5));
  EXPECT_FALSE(flip(Image()));
}

}  // namespace
}  // namespace trovabild
