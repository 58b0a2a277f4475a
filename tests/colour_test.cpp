#include "imaging/colour.h"

#include <gtest/gtest.h>

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

class Colour : public ::testing::Test {
 public:
  Image adjust(Image image) const { return adjustColors(std::move(image), colourOptions(config)); }
  Image greyscale(Image image) const { return makeGreyscale(std::move(image), colourOptions(config)); }
  Image threshold(Image image) const { return applyThreshold(std::move(image), colourOptions(config)); }
  Image dither(Image image) const { return applyDither(std::move(image), colourOptions(config)); }

  Settings config = defaultSettings(true);
};

/// Four columns: red, a mid grey, dark blue and light yellow, 8 x 4 pixels.
Image colourChart() {
  constexpr Rgba kColumns[] = {{200, 30, 30, 255}, {128, 128, 128, 255}, {20, 20, 90, 255}, {240, 230, 140, 255}};
  Image image(FreeImage_Allocate(8, 4, 24));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) {
      const Rgba c = kColumns[x / 2];
      RGBQUAD q{};
      q.rgbRed = c.r;
      q.rgbGreen = c.g;
      q.rgbBlue = c.b;
      FreeImage_SetPixelColor(image.get(), x, y, &q);
    }
  return image;
}

using Step = Image (Colour::*)(Image) const;
struct NamedStep {
  const char* name;
  Step step;
};
constexpr NamedStep kSteps[] = {
    {"adjust", &Colour::adjust}, {"greyscale", &Colour::greyscale}, {"threshold", &Colour::threshold},
    {"dither", &Colour::dither}};

TEST_F(Colour, StepsThatAreOffHandTheImageOnUntouched) {
  for (const auto& s : kSteps)
    for (const int bpp : {1, 4, 8, 16, 24, 32, 48}) {
      SCOPED_TRACE(::testing::Message() << s.name << " " << bpp);
      Image image = atDepth(colourChart(), bpp);
      ASSERT_TRUE(image);
      FIBITMAP* before = image.get();
      image = (this->*s.step)(std::move(image));
      EXPECT_EQ(image.get(), before);
    }
}

TEST_F(Colour, StepsPassNoImageOn) {
  config.doColorCorrection = config.doGreyscale = config.doThreshold = config.doDither = 1;
  for (const auto& s : kSteps) {
    SCOPED_TRACE(s.name);
    EXPECT_FALSE((this->*s.step)(Image()));
  }
}

// The depth each step hands on, by the depth it is given.
struct DepthCase {
  int step;  // index into kSteps
  int source;
  int expected;
};
constexpr DepthCase kDepthCases[] = {
    {0, 1, 24}, {0, 4, 24}, {0, 8, 8}, {0, 16, 24}, {0, 24, 24}, {0, 32, 32}, {0, 48, 24},
    {1, 1, 8},  {1, 4, 8},  {1, 8, 8}, {1, 16, 8},  {1, 24, 8},  {1, 32, 8},  {1, 48, 8},
    {2, 1, 1},  {2, 4, 1},  {2, 8, 1}, {2, 16, 1},  {2, 24, 1},  {2, 32, 1},  {2, 48, 1},
    {3, 1, 1},  {3, 4, 1},  {3, 8, 1}, {3, 16, 1},  {3, 24, 1},  {3, 32, 1},  {3, 48, 1},
};

TEST_F(Colour, DepthHandedOn) {
  config.doColorCorrection = config.doGreyscale = config.doThreshold = config.doDither = 1;
  config.threshold = 128;
  for (const auto& c : kDepthCases) {
    SCOPED_TRACE(::testing::Message() << kSteps[c.step].name << " from " << c.source);
    const Image result = (this->*kSteps[c.step].step)(atDepth(colourChart(), c.source));
    ASSERT_TRUE(result);
    EXPECT_EQ(result.bpp(), c.expected);
    EXPECT_EQ(FreeImage_GetImageType(result.get()), FIT_BITMAP);
  }
}

TEST_F(Colour, NeutralAdjustmentKeepsThePixels) {
  config.doColorCorrection = 1;
  for (const int bpp : {4, 8, 24, 32}) {
    SCOPED_TRACE(bpp);
    const Image source = atDepth(colourChart(), bpp);
    const Image adjusted = adjust(Image(FreeImage_Clone(source.get())));
    EXPECT_TRUE(samePixels(adjusted, source));
  }
}

struct AdjustCase {
  const char* what;
  int brightness, contrast;
  float gamma;
  bool invert;
  int x;  // column of the chart to look at
  Rgba expected;
};
const AdjustCase kAdjustCases[] = {
    {"invert red", 0, 0, 1.0f, true, 0, {55, 225, 225, 255}},
    {"invert yellow", 0, 0, 1.0f, true, 6, {15, 25, 115, 255}},
    {"brighter grey", 50, 0, 1.0f, false, 2, {192, 192, 192, 255}},
    {"darker grey", -50, 0, 1.0f, false, 2, {64, 64, 64, 255}},
    {"full contrast red", 0, 100, 1.0f, false, 0, {255, 0, 0, 255}},
};

TEST_F(Colour, AdjustmentChangesColoursAndKeepsThemColour) {
  config.doColorCorrection = 1;
  for (const auto& c : kAdjustCases) {
    SCOPED_TRACE(c.what);
    config.brightness = c.brightness;
    config.contrast = c.contrast;
    config.gamma = c.gamma;
    config.invert = c.invert;
    const Image adjusted = adjust(colourChart());
    const Rgba p = pixel(adjusted, c.x, 1);
    EXPECT_NEAR(p.r, c.expected.r, 1);
    EXPECT_NEAR(p.g, c.expected.g, 1);
    EXPECT_NEAR(p.b, c.expected.b, 1);
  }
}

TEST_F(Colour, GammaAboveOneLightensTheMidTones) {
  config.doColorCorrection = 1;
  config.gamma = 2.0f;
  const Image adjusted = adjust(colourChart());
  EXPECT_GT(pixel(adjusted, 2, 0).r, 160);
  EXPECT_EQ(pixel(adjusted, 2, 0).r, pixel(adjusted, 2, 0).b);
}

TEST_F(Colour, SixteenBitImagesAreAdjustedToo) {
  config.doColorCorrection = 1;
  config.invert = 1;
  const Image adjusted = adjust(atDepth(colourChart(), 16));
  ASSERT_EQ(adjusted.bpp(), 24);
  EXPECT_LT(pixel(adjusted, 0, 0).r, 70);  // red inverted
  EXPECT_GT(pixel(adjusted, 0, 0).g, 200);
}

TEST_F(Colour, GreyscaleMakesGreyLevels) {
  config.doGreyscale = 1;
  const Image grey = greyscale(colourChart());
  ASSERT_EQ(grey.bpp(), 8);
  EXPECT_EQ(FreeImage_GetColorType(grey.get()), FIC_MINISBLACK);
  for (int x = 0; x < 8; ++x) {
    const Rgba p = pixel(grey, x, 2);
    EXPECT_EQ(p.r, p.g);
    EXPECT_EQ(p.g, p.b);
  }
  EXPECT_NEAR(pixel(grey, 2, 0).r, 128, 1);
  EXPECT_LT(pixel(grey, 4, 0).r, pixel(grey, 0, 0).r);  // dark blue darker than red
  EXPECT_GT(pixel(grey, 6, 0).r, pixel(grey, 2, 0).r);  // light yellow lighter than grey
}

TEST_F(Colour, ThresholdSplitsAtTheLevel) {
  config.doThreshold = 1;
  struct Case { int level; Rgba red, grey, blue, yellow; };
  const Rgba black{0, 0, 0, 255}, white{255, 255, 255, 255};
  const Case cases[] = {
      {128, black, white, black, white},
      {129, black, black, black, white},
      {0, white, white, white, white},
      {255, black, black, black, black},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    config.threshold = c.level;
    const Image result = threshold(colourChart());
    ASSERT_EQ(result.bpp(), 1);
    EXPECT_EQ(pixel(result, 0, 0), c.red);
    EXPECT_EQ(pixel(result, 2, 0), c.grey);
    EXPECT_EQ(pixel(result, 4, 0), c.blue);
    EXPECT_EQ(pixel(result, 6, 0), c.yellow);
  }
}

TEST_F(Colour, ThresholdOfAOneBitImageThresholdsItAgain) {
  config.doThreshold = 1;
  config.threshold = 128;
  const Image once = threshold(colourChart());
  const Image twice = threshold(Image(FreeImage_Clone(once.get())));
  ASSERT_EQ(twice.bpp(), 1);
  EXPECT_TRUE(samePixels(once, twice));
}

TEST_F(Colour, DitherUsesTheChosenMethod) {
  constexpr FREE_IMAGE_DITHER kMethods[] = {FID_FS,         FID_BAYER4x4,   FID_BAYER8x8,    FID_BAYER16x16,
                                            FID_CLUSTER6x6, FID_CLUSTER8x8, FID_CLUSTER16x16};
  // A 32 x 32 ramp from black to white.
  Image ramp(FreeImage_Allocate(32, 32, 24));
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const auto v = static_cast<BYTE>(x * 8 + y / 4);
      RGBQUAD q{v, v, v, 0};
      FreeImage_SetPixelColor(ramp.get(), x, y, &q);
    }
  config.doDither = 1;
  for (int code = 0; code <= 7; ++code) {
    SCOPED_TRACE(code);
    const FREE_IMAGE_DITHER expected = code == 7 ? FID_FS : kMethods[code];
    config.ditherAlgorithm = static_cast<int8_t>(code == 7 ? 99 : code);
    const Image dithered = dither(Image(FreeImage_Clone(ramp.get())));
    ASSERT_EQ(dithered.bpp(), 1);
    const Image reference(FreeImage_Dither(ramp.get(), expected));
    EXPECT_TRUE(samePixels(dithered, reference));
    for (const FREE_IMAGE_DITHER other : kMethods) {
      if (other == expected) continue;
      const Image different(FreeImage_Dither(ramp.get(), other));
      EXPECT_FALSE(samePixels(dithered, different)) << "looks like method " << other;
    }
    // Dark on the left, light on the right.
    int whiteLeft = 0, whiteRight = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 8; ++x) {
        whiteLeft += pixel(dithered, x, y).r == 255;
        whiteRight += pixel(dithered, 31 - x, y).r == 255;
      }
    EXPECT_LT(whiteLeft, 64);
    EXPECT_GT(whiteRight, 192);
  }
}

TEST_F(Colour, TheStepsRunInTurn) {
  // Greyscale, then dithering with BAYER16.
  config.doGreyscale = 1;
  config.doDither = 1;
  config.ditherAlgorithm = 3;
  const Image chart = colourChart();
  Image image = dither(threshold(greyscale(adjust(Image(FreeImage_Clone(chart.get()))))));
  const Image grey(FreeImage_ConvertToGreyscale(chart.get()));
  const Image expected(FreeImage_Dither(grey.get(), FID_BAYER16x16));
  ASSERT_EQ(image.bpp(), 1);
  EXPECT_TRUE(samePixels(image, expected));

  // Threshold, then dithering of the 1-bit result: black and white stay so.
  config.doGreyscale = 0;
  config.doThreshold = 1;
  config.threshold = 128;
  config.ditherAlgorithm = 0;
  image = dither(threshold(Image(FreeImage_Clone(chart.get()))));
  ASSERT_EQ(image.bpp(), 1);
  config.doDither = 0;
  EXPECT_TRUE(samePixels(image, threshold(Image(FreeImage_Clone(chart.get())))));
}

}  // namespace
}  // namespace trovabild
