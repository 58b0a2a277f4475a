#include "imaging/frame.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/step_options.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace trovabild {
namespace {

using testing::pixel;
using testing::Rgba;
using testing::solidImage;

constexpr Rgba kLeft{255, 0, 0, 255};
constexpr Rgba kRight{0, 255, 0, 255};
constexpr Rgba kTop{0, 0, 255, 255};
constexpr Rgba kBottom{255, 255, 255, 255};
constexpr Rgba kInside{0, 0, 0, 255};

class SolidFrame : public ::testing::Test {
 protected:
  Image frame(Image image, int width, int height) const {
    return drawFrame(std::move(image), frameOptions(config), width, height);
  }

  void SetUp() override {
    config.frameType = 1;
    config.solidLeft = config.solidRight = config.solidTop = config.solidBottom = 10;
    config.solidLeftColor = "FF0000";
    config.solidRightColor = "00FF00";
    config.solidTopColor = "0000FF";
    config.solidBottomColor = "FFFFFF";
    config.solidOpacity = 255;
  }

  Settings config = defaultSettings(true);
};

struct PixelCase {
  int x, y;
  Rgba expected;
};
constexpr PixelCase kFramedPixels[] = {
    // One pixel in the middle of each edge.
    {5, 40, kLeft}, {95, 40, kRight}, {50, 5, kTop}, {50, 75, kBottom},
    // The mitred corners: each corner box splits along its diagonal.
    {7, 2, kTop}, {2, 7, kLeft},          // top-left
    {92, 2, kTop}, {98, 7, kRight},       // top-right
    {98, 72, kRight}, {92, 78, kBottom},  // bottom-right
    {2, 72, kLeft}, {8, 78, kBottom},     // bottom-left
    // The outermost pixels and the inside.
    {0, 40, kLeft}, {99, 40, kRight}, {50, 0, kTop}, {50, 79, kBottom},
    {10, 10, kInside}, {89, 69, kInside}, {50, 40, kInside},
};

TEST_F(SolidFrame, EdgesAndMitredCornersTakeTheirColours) {
  const Image framed = frame(solidImage(100, 80, 24, kInside), 100, 80);
  ASSERT_TRUE(framed);
  EXPECT_EQ(framed.width(), 100);
  EXPECT_EQ(framed.height(), 80);
  EXPECT_EQ(framed.bpp(), 24);
  for (const PixelCase& c : kFramedPixels) {
    const Rgba got = pixel(framed, c.x, c.y);
    EXPECT_EQ(got, c.expected) << "(" << c.x << ", " << c.y << ") got " << int(got.r) << ","
                               << int(got.g) << "," << int(got.b);
  }
}

TEST_F(SolidFrame, OpacityBlendsTheBorderWithTheImage) {
  config.solidOpacity = 128;
  const Image framed = frame(solidImage(100, 80, 24, {0, 0, 200, 255}), 100, 80);
  ASSERT_TRUE(framed);
  const Rgba left = pixel(framed, 5, 40);  // red at half strength over blue
  EXPECT_NEAR(left.r, 128, 2);
  EXPECT_EQ(left.g, 0);
  EXPECT_NEAR(left.b, 100, 2);
  EXPECT_EQ(pixel(framed, 50, 40), (Rgba{0, 0, 200, 255}));

  config.solidOpacity = 0;
  const Image invisible = frame(solidImage(100, 80, 24, {0, 0, 200, 255}), 100, 80);
  EXPECT_EQ(pixel(invisible, 5, 40), (Rgba{0, 0, 200, 255}));
}

TEST_F(SolidFrame, OffOrEmptyFramesLeaveThePixels) {
  config.frameType = 0;
  const Image untouched = frame(testing::quadrantImage(8), 8, 8);
  EXPECT_EQ(untouched.bpp(), 32);  // not even converted

  config.frameType = 1;
  config.solidLeft = config.solidRight = config.solidTop = config.solidBottom = 0;
  const Image source = solidImage(30, 20, 32, {40, 80, 120, 255});
  const Image none = frame(solidImage(30, 20, 32, {40, 80, 120, 255}), 30, 20);
  ASSERT_TRUE(none);
  EXPECT_EQ(none.bpp(), 24);
  EXPECT_EQ(testing::psnr(none, source), 99.0);  // identical

  config.frameType = 7;  // unknown kinds convert but draw nothing
  config.solidLeft = 5;
  const Image unknown = frame(solidImage(30, 20, 32, {40, 80, 120, 255}), 30, 20);
  EXPECT_EQ(unknown.bpp(), 24);
  EXPECT_EQ(pixel(unknown, 1, 10), (Rgba{40, 80, 120, 255}));
}

TEST_F(SolidFrame, BorderWiderThanTheImageStillDraws) {
  config.solidLeft = 30;
  config.solidRight = 30;
  const Image framed = frame(solidImage(40, 40, 24, kInside), 40, 40);
  ASSERT_TRUE(framed);
  EXPECT_EQ(framed.width(), 40);
  const Rgba middle = pixel(framed, 20, 20);
  EXPECT_TRUE(middle == kLeft || middle == kRight);

  config.solidLeft = 2147483647;
  config.solidBottom = -2147483647 - 1;
  const Image extreme = frame(solidImage(40, 40, 24, kInside), 40, 40);
  ASSERT_TRUE(extreme);
  EXPECT_EQ(extreme.width(), 40);
}

TEST_F(SolidFrame, SizeThatDisagreesWithTheImageKeepsIt) {
  const Image framed = frame(solidImage(30, 20, 24, kInside), 31, 20);
  ASSERT_TRUE(framed);
  EXPECT_EQ(pixel(framed, 2, 10), kInside);
}

}  // namespace
}  // namespace trovabild
