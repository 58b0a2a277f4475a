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

struct RotationOptions;
struct ResizeOptions;
struct FlipOptions;

Image rotateImage(Image image, const RotationOptions& rotation);
/// `width` and `height` are the image's current size, measured by the caller.
Image resizeImage(Image image, const ResizeOptions& resize, int width, int height);
Image flipImage(Image image, const FlipOptions& flip);

}  // namespace trovabild
