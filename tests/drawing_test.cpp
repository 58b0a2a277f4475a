#include "imaging/drawing.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <set>

#include "tests/support/test_support.h"

namespace trovabild {
namespace {

using testing::pixel;
using testing::Rgba;
using testing::TempDir;

constexpr Colour kRed{255, 0, 0, 255};
constexpr Colour kWhite{255, 255, 255, 255};
constexpr Colour kBlack{0, 0, 0, 255};

bool near(Colour a, Colour b, int tolerance) {
  return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
         std::abs(a.blue - b.blue) <= tolerance && std::abs(a.alpha - b.alpha) <= tolerance;
}

Font sansFont(int pixels = 19) { return Font::create("Arial", pixels, false, false, false, false); }

TEST(DrawingLayer, NewCanvasIsTransparentAndFillSetsEveryChannel) {
  Canvas canvas(7, 5);
  ASSERT_TRUE(canvas);
  EXPECT_EQ(canvas.width(), 7);
  EXPECT_EQ(canvas.height(), 5);
  EXPECT_EQ(canvas.pixel(0, 0), (Colour{0, 0, 0, 0}));
  EXPECT_EQ(canvas.pixel(6, 4), (Colour{0, 0, 0, 0}));

  canvas.fill({10, 200, 30, 255});
  EXPECT_EQ(canvas.pixel(3, 2), (Colour{10, 200, 30, 255}));
  canvas.fill({0, 0, 0, 0});
  EXPECT_EQ(canvas.pixel(3, 2), (Colour{0, 0, 0, 0}));
  canvas.fill({255, 0, 0, 128});
  EXPECT_EQ(canvas.pixel(3, 2), (Colour{255, 0, 0, 128}));

  EXPECT_TRUE(canvas.resize(3, 9));
  EXPECT_EQ(canvas.width(), 3);
  EXPECT_EQ(canvas.pixel(1, 8), (Colour{0, 0, 0, 0}));

  EXPECT_FALSE(Canvas(0, 5));
  EXPECT_FALSE(Canvas(5, -1));
  EXPECT_FALSE(Canvas(1 << 15, 1 << 15));  // 4 GiB: refused rather than tried
  EXPECT_FALSE(canvas.resize(0, 0));
  EXPECT_FALSE(canvas);
}

TEST(DrawingLayer, HandOverKeepsOrientationAndUnpremultipliedColour) {
  Canvas canvas(4, 3);
  canvas.fill({0, 0, 255, 255});
  VectorDrawing drawing(canvas);
  ASSERT_TRUE(drawing);
  // Top-left pixel red, bottom-right pixel half-transparent green.
  const std::array<PointF, 4> topLeft{{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
  drawing.fillPolygon(topLeft, kRed);
  const std::array<PointF, 4> bottomRight{{{3, 2}, {4, 2}, {4, 3}, {3, 3}}};
  Canvas clear(4, 3);
  VectorDrawing clearDrawing(clear);
  clearDrawing.fillPolygon(bottomRight, {0, 255, 0, 128});

  const Image image = toFreeImage(canvas);
  ASSERT_TRUE(image);
  EXPECT_EQ(image.bpp(), 32);
  EXPECT_EQ(image.width(), 4);
  EXPECT_EQ(image.height(), 3);
  EXPECT_EQ(pixel(image, 0, 0), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(pixel(image, 1, 0), (Rgba{0, 0, 255, 255}));

  const Image half = toFreeImage(clear);
  EXPECT_EQ(pixel(half, 3, 2), (Rgba{0, 255, 0, 128}));
  EXPECT_EQ(pixel(half, 0, 0), (Rgba{0, 0, 0, 0}));
}

TEST(DrawingLayer, DirectHandOverGivesThePixelsOfAnInMemoryPng) {
  Canvas canvas(61, 37);
  canvas.fill({20, 40, 60, 90});
  {
    VectorDrawing drawing(canvas);
    const std::array<PointF, 3> triangle{{{0, 0}, {50.5, 3.25}, {7, 36}}};
    drawing.fillPolygon(triangle, {250, 120, 3, 77});
    drawing.drawText(sansFont(), 4, 6, "Png Wg", {9, 200, 140, 201});
  }
  const Image direct = toFreeImage(canvas);
  const Image viaPng = toFreeImageViaPng(canvas);
  ASSERT_TRUE(direct);
  ASSERT_TRUE(viaPng);
  ASSERT_EQ(viaPng.bpp(), 32);
  int differences = 0;
  for (int y = 0; y < 37; ++y)
    for (int x = 0; x < 61; ++x)
      if (!(pixel(direct, x, y) == pixel(viaPng, x, y))) ++differences;
  EXPECT_EQ(differences, 0);
}

struct FontCase {
  const char* family;
  const char* provided;  ///< "" when the font must be refused
};
constexpr FontCase kFontCases[] = {
    {"Arial", "Liberation Sans"},
    {"arial", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
    {"Liberation Sans", "Liberation Sans"},
    {"DejaVu Sans", "DejaVu Sans"},
    {"Quorvath Sans Imaginary", ""},
    {"", ""},
};

TEST(DrawingLayer, FontsComeFromTheFamilyOrAMetricAliasOnly) {
  for (const FontCase& c : kFontCases) {
    SCOPED_TRACE(c.family);
    const Font font = Font::create(c.family, 19, false, false, false, false);
    EXPECT_EQ(static_cast<bool>(font), *c.provided != '\0');
    if (font) {
      EXPECT_EQ(font.family(), c.provided);
    }
  }
  const Font boldItalic = Font::create("Arial", 19, true, true, true, true);
  ASSERT_TRUE(boldItalic);
  EXPECT_EQ(boldItalic.family(), "Liberation Sans");
  EXPECT_TRUE(Font::create("sans-serif", 12, false, false, false, false));
}

TEST(DrawingLayer, PointSizesBecomeEmPixelsAt96Dpi) {
  constexpr std::array<std::pair<int, int>, 6> kSizes{
      {{14, 19}, {12, 16}, {10, 13}, {11, 15}, {72, 96}, {0, 0}}};
  for (const auto& [points, pixels] : kSizes) EXPECT_EQ(fontPixelHeight(points), pixels) << points;

  // The line height of a 19-pixel em is the font's ascent plus descent,
  // a little more than the em itself.
  const TextSize size = measurePlainText(sansFont(19), "Hg");
  EXPECT_GE(size.height, 19);
  EXPECT_LE(size.height, 25);
  const TextSize large = measurePlainText(sansFont(38), "Hg");
  EXPECT_GE(large.height, 2 * size.height - 2);
}

TEST(DrawingLayer, PlainTextMeasures) {
  const Font font = sansFont();
  const TextSize one = measurePlainText(font, "W");
  const TextSize three = measurePlainText(font, "WWW");
  EXPECT_GT(one.width, 5);
  EXPECT_EQ(three.width, 3 * one.width);  // hinted advances are whole pixels
  EXPECT_EQ(three.height, one.height);
  const TextSize empty = measurePlainText(font, "");
  EXPECT_EQ(empty.width, 0);
  EXPECT_EQ(empty.height, one.height);
  // Newlines are not line breaks here; invalid UTF-8 still measures.
  EXPECT_EQ(measurePlainText(font, "a\nb").height, one.height);
  EXPECT_GT(measurePlainText(font, "caf\xe9").width, 0);
  EXPECT_EQ(measurePlainText(Font(), "W"), (TextSize{}));
}

TEST(DrawingLayer, PlainTextWritesOnlyTextAndBackColours) {
  const Font font = sansFont();
  const TextSize size = measurePlainText(font, "Wag 42");
  Canvas canvas(size.width + 10, size.height + 10);
  canvas.fill({0, 0, 255, 255});
  const Colour text{255, 255, 255, 200};
  const Colour back{0, 0, 0, 60};
  canvas.drawPlainText(font, 5, 5, "Wag 42", text, back);

  std::set<std::array<int, 4>> inside;
  for (int y = 5; y < 5 + size.height; ++y)
    for (int x = 5; x < 5 + size.width; ++x) {
      const Colour c = canvas.pixel(x, y);
      inside.insert({c.red, c.green, c.blue, c.alpha});
    }
  // Two values only: no antialiasing, and the cell is replaced, not blended.
  EXPECT_EQ(inside.size(), 2u);
  EXPECT_TRUE(inside.count({255, 255, 255, 200}));
  EXPECT_TRUE(inside.count({0, 0, 0, 60}));
  // Outside the cell nothing changed.
  EXPECT_EQ(canvas.pixel(2, 2), (Colour{0, 0, 255, 255}));
  EXPECT_EQ(canvas.pixel(5 + size.width + 2, 5 + size.height + 2), (Colour{0, 0, 255, 255}));
}

TEST(DrawingLayer, VectorTextIsAntialiasedAndMeasuredUnrounded) {
  const Font font = sansFont();
  Canvas canvas(120, 40);
  {
    VectorDrawing drawing(canvas);
    drawing.drawText(font, 2, 2, "Wave 42", kWhite);
  }
  std::set<int> alphas;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) alphas.insert(canvas.pixel(x, y).alpha);
  EXPECT_TRUE(alphas.count(0));
  EXPECT_GT(alphas.size(), 3u);  // partial coverage at the glyph edges

  const double width = measureVectorText(font, "Wave 42");
  EXPECT_GT(width, 40);
  EXPECT_LT(width, 100);
  EXPECT_EQ(measureVectorText(font, ""), 0);
}

TEST(DrawingLayer, PolygonFillIsAntialiasedSourceOver) {
  Canvas canvas(20, 20);
  canvas.fill({0, 0, 255, 255});
  {
    VectorDrawing drawing(canvas);
    const std::array<PointF, 3> triangle{{{0, 0}, {20, 0}, {0, 20}}};
    drawing.fillPolygon(triangle, kRed);
  }
  EXPECT_EQ(canvas.pixel(2, 2), (Colour{255, 0, 0, 255}));
  EXPECT_EQ(canvas.pixel(17, 17), (Colour{0, 0, 255, 255}));
  // On the diagonal the pixel is half covered.
  EXPECT_TRUE(near(canvas.pixel(10, 9), {128, 0, 127, 255}, 3)) << int(canvas.pixel(10, 9).red);
}

TEST(DrawingLayer, CanvasOnCanvasWithOpacity) {
  Canvas source(4, 4);
  source.fill(kRed);
  Canvas target(6, 6);
  target.drawCanvas(source, 1, 1, 128);
  EXPECT_EQ(target.pixel(0, 0), (Colour{0, 0, 0, 0}));
  EXPECT_EQ(target.pixel(2, 2), (Colour{255, 0, 0, 128}));

  Canvas opaque(6, 6);
  opaque.fill(kBlack);
  opaque.drawCanvas(source, 2, 2);
  EXPECT_EQ(opaque.pixel(3, 3), kRed);
  EXPECT_EQ(opaque.pixel(1, 1), kBlack);
  opaque.drawCanvas(source, 0, 0, 0);
  EXPECT_EQ(opaque.pixel(1, 1), kBlack);
}

// A 2 x 2 picture: red, green / blue, white, plus a transparent third row.
Picture samplePicture() {
  Picture picture;
  picture.width = 2;
  picture.height = 3;
  picture.bpp = 32;
  picture.pixels = {kRed, {0, 255, 0, 255}, {0, 0, 255, 255}, kWhite, {9, 9, 9, 0}, {9, 9, 9, 0}};
  return picture;
}

TEST(DrawingLayer, PictureReplacesTargetThroughTheGreyFilter) {
  Canvas canvas(2, 3);
  canvas.fill({0, 0, 255, 255});
  canvas.drawPictureReplacing(samplePicture(), 0, 0, 255, greyFilter);
  EXPECT_EQ(canvas.pixel(0, 0), (Colour{76, 76, 76, 255}));
  EXPECT_EQ(canvas.pixel(1, 0), (Colour{149, 149, 149, 255}));
  EXPECT_EQ(canvas.pixel(0, 1), (Colour{28, 28, 28, 255}));
  EXPECT_EQ(canvas.pixel(1, 1), (Colour{255, 255, 255, 255}));
  EXPECT_EQ(canvas.pixel(0, 2).alpha, 0);  // nothing of the target remains

  canvas.drawPictureReplacing(samplePicture(), 0, 0, 128);
  EXPECT_EQ(canvas.pixel(0, 0), (Colour{255, 0, 0, 128}));
  EXPECT_EQ(canvas.pixel(1, 1), (Colour{255, 255, 255, 128}));
  canvas.drawPictureReplacing(samplePicture(), 0, 0, 0);
  EXPECT_EQ(canvas.pixel(1, 1).alpha, 0);
  // Clipped at the canvas's edges.
  canvas.drawPictureReplacing(samplePicture(), 1, -1, 255);
  EXPECT_EQ(canvas.pixel(1, 0), (Colour{0, 0, 255, 255}));
}

TEST(DrawingLayer, LoadsPngWithAlphaJpegAndBmp) {
  TempDir dir;
  Image logo = testing::solidImage(6, 4, 32, {255, 0, 0, 255});
  // Top-left pixel fully transparent.
  FreeImage_GetScanLine(logo.get(), 3)[FI_RGBA_ALPHA] = 0;
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, logo.get(), (dir / "logo.png").c_str(), 0));
  const Image flat = testing::solidImage(5, 3, 24, {0, 128, 255, 255});
  ASSERT_TRUE(FreeImage_Save(FIF_BMP, flat.get(), (dir / "logo.bmp").c_str(), 0));
  ASSERT_TRUE(FreeImage_Save(FIF_JPEG, flat.get(), (dir / "logo.jpg").c_str(), 100));
  // A PNG under a misleading name still loads by its content.
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, flat.get(), (dir / "png.bmp").c_str(), 0));

  const Picture png = loadPicture(dir / "logo.png");
  ASSERT_TRUE(png);
  EXPECT_EQ(png.bpp, 32);
  EXPECT_EQ(png.width, 6);
  EXPECT_EQ(png.height, 4);
  EXPECT_EQ(png.at(0, 0).alpha, 0);
  EXPECT_EQ(png.at(1, 0), kRed);

  for (const char* name : {"logo.bmp", "logo.jpg", "png.bmp"}) {
    SCOPED_TRACE(name);
    const Picture picture = loadPicture(dir / name);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture.bpp, 24);
    EXPECT_EQ(picture.width, 5);
    EXPECT_TRUE(near(picture.at(4, 2), {0, 128, 255, 255}, 3));
  }

  testing::writeText(dir / "junk.png", "not an image");
  EXPECT_FALSE(loadPicture(dir / "junk.png"));
  EXPECT_FALSE(loadPicture(dir / "missing.png"));
}

// Targa headers are checked before the reader sees them: a colour map with
// an entry size it does not know once made it ask for almost 2^64 bytes.
TEST(DrawingLayer, TargaPicturesLoadAndBrokenHeadersAreRefused) {
  TempDir dir;
  const Image flat = testing::solidImage(5, 3, 24, {0, 128, 255, 255});
  ASSERT_TRUE(FreeImage_Save(FIF_TARGA, flat.get(), (dir / "logo.tga").c_str(), 0));
  const Picture good = loadPicture(dir / "logo.tga");
  ASSERT_TRUE(good);
  EXPECT_EQ(good.width, 5);

  const std::vector<uint8_t> header = {0x80, 0x00, 0x09, 0x25, 0xc4, 0x23, 0x00, 0xb0, 0x04,
                                       0x00, 0x00, 0x00, 0x61, 0x00, 0x2b, 0x00, 0x08, 0xf8};
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"colour map of 176-bit entries, ID past the end", header},
      {"colour map running past the end", [&] {
         std::vector<uint8_t> bytes = header;
         bytes[0] = 0;
         bytes[1] = 1;
         bytes[7] = 24;
         return bytes;
       }()},
      {"unknown pixel depth", [&] {
         std::vector<uint8_t> bytes = header;
         bytes[0] = 0;
         bytes[2] = 2;
         bytes[16] = 7;
         return bytes;
       }()},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_FALSE(loadPictureFrom(test.bytes, "mark.tga"));
  }
}

}  // namespace
}  // namespace trovabild
