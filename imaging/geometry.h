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
/// True when `colour` is exactly six hexadecimal digits (either case).
bool isValidColor(std::string_view colour);

struct RotationOptions;
struct ResizeOptions;
struct FlipOptions;

/// `storedBpp` is the frame's depth as stored in the icon (0: the image's
/// own); a frame stored below 32 bits has no corners of its own.
Image rotateImage(Image image, const RotationOptions& rotation, int storedBpp = 0);
struct PixelSize {
  int64_t width = 0;
  int64_t height = 0;
  bool operator==(const PixelSize&) const = default;
};

/// The size the resize step gives an image of `width` x `height` when it
/// resizes it (the "only larger images" rule aside); 0 x 0 when the options
/// ask for no size (resizing off, or a target that is not above 0).
PixelSize resizedSize(const ResizeOptions& resize, int width, int height);

/// `width` and `height` are the image's current size, measured by the caller.
Image resizeImage(Image image, const ResizeOptions& resize, int width, int height);
Image flipImage(Image image, const FlipOptions& flip);

/// `FreeImage_Rotate` of a 32-bit image with its colours weighted by alpha,
/// so that transparent pixels do not darken the edges; the corners that
/// the rotation adds are transparent, and every fully transparent pixel
/// gets the colour of `clear`.
Image rotateWithAlpha(const Image& image, double angle, RGBQUAD clear = RGBQUAD{});

}  // namespace trovabild
