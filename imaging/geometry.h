#pragma once
// Rotation, resizing and flipping.

#include <cstdint>
#include <string_view>

#include "imaging/image.h"

namespace trovabild {

struct Rgb {
  uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Rgb&) const = default;
};

/// Reads six hexadecimal digits RRGGBB.
Rgb parseColor(std::string_view colour);

Image rotateImage(Image image);
/// `width` and `height` are the image's current size, measured by the caller.
Image resizeImage(Image image, int width, int height);
Image flipImage(Image image);

/// `FreeImage_Rotate` of a 32-bit image with its colours weighted by alpha,
/// so that transparent pixels do not darken the edges; the corners that
/// the rotation adds are transparent, and every fully transparent pixel
/// gets the colour of `clear`.
Image rotateWithAlpha(const Image& image, double angle, RGBQUAD clear = RGBQUAD{});

}  // namespace trovabild
