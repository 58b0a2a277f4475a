#include "imaging/frame.h"

#include <array>

#include "imaging/drawing.h"
#include "imaging/geometry.h"
#include "imaging/step_options.h"

namespace trovabild {

namespace {

Colour opaque(const Rgb& rgb) { return {rgb.red, rgb.green, rgb.blue, 255}; }

// The border as a transparent W x H layer: four corner boxes under four
// trapezoids that meet on the boxes' diagonals.
Canvas borderLayer(const FrameOptions& frame, int width, int height) {
  Canvas layer(width, height);
  if (!layer) return layer;
  VectorDrawing drawing(layer);
  if (!drawing) return layer;

  const double w = width, h = height;
  const double l = frame.left, r = frame.right;
  const double t = frame.top, b = frame.bottom;
  const Colour left = opaque(frame.leftColour);
  const Colour right = opaque(frame.rightColour);
  const Colour top = opaque(frame.topColour);
  const Colour bottom = opaque(frame.bottomColour);

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

Image drawFrame(Image image, const FrameOptions& frame, int width, int height) {
  if (frame.type == 0 || !image) return image;
  if (image.bpp() != 24) image = Image(FreeImage_ConvertTo24Bits(image.get()));
  if (frame.type != 1 || !image) return image;

  const Canvas layer = borderLayer(frame, width, height);
  Canvas overlay(width, height);
  if (!layer || !overlay) return image;
  overlay.drawCanvas(layer, 0, 0, frame.opacity);

  const Image border = toFreeImage(overlay);
  if (!border) return image;
  Image framed(FreeImage_Composite(border.get(), FALSE, nullptr, image.get()));
  // A composite FreeImage refuses (sizes that disagree) leaves the image as it was.
  if (!framed) return image;
  return framed;
}

}  // namespace trovabild
