#include "imaging/frame.h"

#include <array>

#include "imaging/drawing.h"
#include "imaging/geometry.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

Colour opaque(const std::string& text) {
  const Rgb rgb = parseColor(text);
  return {rgb.red, rgb.green, rgb.blue, 255};
}

// The border as a transparent W x H layer: four corner boxes under four
// trapezoids that meet on the boxes' diagonals.
Canvas borderLayer(int width, int height) {
  Canvas layer(width, height);
  if (!layer) return layer;
  VectorDrawing drawing(layer);
  if (!drawing) return layer;

  const double w = width, h = height;
  const double l = settings.solidLeft, r = settings.solidRight;
  const double t = settings.solidTop, b = settings.solidBottom;
  const Colour left = opaque(settings.solidLeftColor);
  const Colour right = opaque(settings.solidRightColor);
  const Colour top = opaque(settings.solidTopColor);
  const Colour bottom = opaque(settings.solidBottomColor);

  struct Shape {
    std::array<PointF, 4> points;
    Colour colour;
  };
  const std::array<Shape, 8> shapes{{
      {{{{0, 0}, {l, 0}, {l, t}, {0, t}}}, top},
      {{{{w - r, 0}, {w, 0}, {w, t}, {w - r, t}}}, right},
      {{{{w - r, h - b}, {w, h - b}, {w, h}, {w - r, h}}}, bottom},
      {{{{0, h - b}, {l, h - b}, {l, h}, {0, h}}}, left},
      {{{{0, 0}, {w, 0}, {w - r, t}, {l, t}}}, top},
      {{{{w, 0}, {w, h}, {w - r, h - b}, {w - r, t}}}, right},
      {{{{w, h}, {0, h}, {l, h - b}, {w - r, h - b}}}, bottom},
      {{{{0, h}, {0, 0}, {l, t}, {l, h - b}}}, left},
  }};
  for (const Shape& shape : shapes) drawing.fillPolygon(shape.points, shape.colour);
  return layer;
}

}  // namespace

Image drawFrame(Image image, int width, int height) {
  if (settings.frameType == 0 || !image) return image;
  if (image.bpp() != 24) image = Image(FreeImage_ConvertTo24Bits(image.get()));
  if (settings.frameType != 1 || !image) return image;

  const Canvas layer = borderLayer(width, height);
  Canvas overlay(width, height);
  if (!layer || !overlay) return image;
  overlay.drawCanvas(layer, 0, 0, settings.solidOpacity);

  const Image border = toFreeImage(overlay);
  if (!border) return image;
  Image framed(FreeImage_Composite(border.get(), FALSE, nullptr, image.get()));
  // A composite FreeImage refuses (sizes that disagree) leaves the image as it was.
  if (!framed) return image;
  return framed;
}

}  // namespace trovabild
