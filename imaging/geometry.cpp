#include "imaging/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "imaging/step_options.h"

namespace trovabild {

namespace {

constexpr int kSimpleRotation = 0;
constexpr int kAdvancedRotation = 1;
constexpr int kPixels = 0;
constexpr int kPercent = 1;
constexpr int kLargeImagesOnly = 1;
// Beyond these a resize is refused instead of asking for gigabytes: no JPEG
// can hold a side longer than 65535 pixels, and 2^28 pixels are 1 GiB at 32 bits.
constexpr int64_t kMaxSide = 65535;
constexpr int64_t kMaxPixels = int64_t{1} << 28;

int hexDigit(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

// Reads like a lenient number reader: digits up to the first character that
// is not one, 0 when there is none.
uint8_t readHexPair(char32_t first, char32_t second) {
  int value = 0;
  for (const char32_t c : {first, second}) {
    const int digit = hexDigit(c);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return static_cast<uint8_t>(value);
}

/// The characters of a UTF-8 text; every non-ASCII character becomes one
/// placeholder, which is never a hexadecimal digit.
std::vector<char32_t> characters(std::string_view text) {
  std::vector<char32_t> result;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) result.push_back(byte);
    else if ((byte & 0xC0) != 0x80) result.push_back(0xFFFD);
  }
  return result;
}

FREE_IMAGE_FILTER filterFor(int algorithm) {
  switch (algorithm) {
    case 0: return FILTER_BOX;
    case 1: return FILTER_BILINEAR;
    case 2: return FILTER_BSPLINE;
    case 3: return FILTER_BICUBIC;
    case 4: return FILTER_CATMULLROM;
    case 5: return FILTER_LANCZOS3;
    default: return FILTER_BICUBIC;
  }
}

bool hasAlphaChannel(const Image& image) {
  return FreeImage_GetImageType(image.get()) == FIT_BITMAP && image.bpp() == 32;
}

// Undoes FreeImage_PreMultiplyWithAlpha. Pixels left fully transparent get
// `clear` as their colour.
void unpremultiply(FIBITMAP* bitmap, RGBQUAD clear) {
  const unsigned width = FreeImage_GetWidth(bitmap);
  const unsigned height = FreeImage_GetHeight(bitmap);
  for (unsigned y = 0; y < height; ++y) {
    BYTE* p = FreeImage_GetScanLine(bitmap, static_cast<int>(y));
    for (unsigned x = 0; x < width; ++x, p += 4) {
      const unsigned alpha = p[FI_RGBA_ALPHA];
      if (alpha == 0) {
        p[FI_RGBA_RED] = clear.rgbRed;
        p[FI_RGBA_GREEN] = clear.rgbGreen;
        p[FI_RGBA_BLUE] = clear.rgbBlue;
      } else if (alpha < 255) {
        for (const int channel : {FI_RGBA_RED, FI_RGBA_GREEN, FI_RGBA_BLUE})
          p[channel] = static_cast<BYTE>(std::min(255u, (p[channel] * 255u + alpha / 2) / alpha));
      }
    }
  }
}

// Resampling mixes neighbouring pixels. With straight alpha the colour of
// invisible pixels (black in most icons) would bleed into the edges and show
// as a dark seam once transparency is flattened, so images with an alpha
// channel are resampled with their colours weighted by alpha.
template <typename Resample>
Image resampleWithAlpha(const Image& image, RGBQUAD clear, Resample resample) {
  Image weighted(FreeImage_Clone(image.get()));
  if (!weighted || !FreeImage_PreMultiplyWithAlpha(weighted.get())) return Image();
  Image result(resample(weighted.get()));
  if (result && hasAlphaChannel(result)) unpremultiply(result.get(), clear);
  return result;
}

}  // namespace

Image rotateWithAlpha(const Image& image, double angle, RGBQUAD clear) {
  const RGBQUAD transparent{};
  return resampleWithAlpha(image, clear, [&](FIBITMAP* bitmap) {
    return FreeImage_Rotate(bitmap, angle, &transparent);
  });
}

namespace {

// Round half away from zero, as a single-precision value.
int64_t roundSingle(float x) {
  const double value = x;
  return static_cast<int64_t>(value > 0 ? std::floor(value + 0.5) : std::ceil(value - 0.5));
}

/// `value` percent of `size`, to the nearest integer with ties to even.
int64_t percentOf(int64_t value, int64_t size) {
  const int64_t product = value * size;
  if (product <= 0) return 0;  // never a usable target
  const int64_t whole = product / 100, rest = product % 100;
  return whole + ((rest > 50 || (rest == 50 && whole % 2 == 1)) ? 1 : 0);
}

int64_t targetSize(int32_t value, int unit, int current) {
  switch (unit) {
    case kPixels: return value;
    case kPercent: return percentOf(value, current);
    default: return 0;
  }
}

/// An image the rotation can turn: true colour, with an alpha channel when
/// some pixel is see-through (a palette with transparent entries, 16 bits
/// per channel with alpha), so that it can still be flattened onto the background.
Image rotatableImage(const Image& image) {
  if (FreeImage_IsTransparent(image.get())) {
    Image withAlpha(FreeImage_ConvertTo32Bits(image.get()));
    // A 32-bit image counts as transparent only when some alpha is below 255.
    if (withAlpha && FreeImage_IsTransparent(withAlpha.get())) return withAlpha;
  }
  return Image(FreeImage_ConvertTo24Bits(image.get()));
}

}  // namespace

Rgb parseColor(std::string_view colour) {
  const std::vector<char32_t> c = characters(colour);
  if (c.size() != 6) return {};
  return {readHexPair(c[0], c[1]), readHexPair(c[2], c[3]), readHexPair(c[4], c[5])};
}

bool isValidColor(std::string_view colour) {
  return colour.size() == 6 &&
         std::all_of(colour.begin(), colour.end(), [](char c) { return hexDigit(static_cast<unsigned char>(c)) >= 0; });
}

Image rotateImage(Image image, const RotationOptions& rotation, int storedBpp) {
  if (!rotation.on || rotation.angle < 1 || rotation.angle > 359 || !image) return image;
  // The depth stored in the icon: a frame below 32 bits whose AND mask was
  // made its alpha is 32 bits here, yet still has no corners of its own.
  const int stored = storedBpp > 0 ? storedBpp : static_cast<int>(image.bpp());
  if (FreeImage_GetImageType(image.get()) != FIT_BITMAP || image.bpp() <= 16 || image.bpp() > 32)
    image = rotatableImage(image);
  if (!image) return image;

  const double angle = rotation.angle;
  const Rgb colour = rotation.background;
  RGBQUAD background{};
  background.rgbRed = colour.red;
  background.rgbGreen = colour.green;
  background.rgbBlue = colour.blue;
  background.rgbReserved = 0;

  if (rotation.type == kSimpleRotation) {
    // Quarter turns move whole pixels; nothing is mixed.
    if (!hasAlphaChannel(image) || rotation.angle % 90 == 0)
      return Image(FreeImage_Rotate(image.get(), angle, &background));
    if (stored < 32) {
      // The corners get the background colour, opaque, while the frame's
      // own transparent pixels stay transparent (the background colour once flattened).
      // Rotation mixes the weighted colours linearly, so an opaque
      // background is mixed into the edges by just the share it covers.
      RGBQUAD opaque = background;
      opaque.rgbReserved = 255;
      return resampleWithAlpha(image, background, [&](FIBITMAP* bitmap) {
        return FreeImage_Rotate(bitmap, angle, &opaque);
      });
    }
    // The uncovered corners are transparent, so their colour is weighted
    // out; they take the background colour afterwards.
    return rotateWithAlpha(image, angle, background);
  }
  if (rotation.type == kAdvancedRotation) {
    const double xOrigin = image.width() / 2.0, yOrigin = image.height() / 2.0;
    const auto rotate = [&](FIBITMAP* bitmap) {
      return FreeImage_RotateEx(bitmap, angle, 0, 0, xOrigin, yOrigin, FALSE);
    };
    if (hasAlphaChannel(image)) return resampleWithAlpha(image, RGBQUAD{}, rotate);
    return Image(rotate(image.get()));
  }
  return image;
}

PixelSize resizedSize(const ResizeOptions& resize, int width, int height) {
  if (!resize.on || width <= 0 || height <= 0) return {};
  const int64_t targetWidth = targetSize(resize.width, resize.widthUnit, width);
  const int64_t targetHeight = targetSize(resize.height, resize.heightUnit, height);
  if (targetWidth <= 0 || targetHeight <= 0) return {};
  int64_t newWidth = targetWidth, newHeight = targetHeight;
  if (resize.keepAspectRatio) {
    if (width >= height) {
      const float ratio = static_cast<float>(width) / static_cast<float>(height);
      newHeight = roundSingle(static_cast<float>(targetWidth) / ratio);
    } else {
      const float ratio = static_cast<float>(height) / static_cast<float>(width);
      newWidth = roundSingle(static_cast<float>(targetHeight) / ratio);
    }
    // A very narrow image must not shrink to nothing on its short side.
    newWidth = std::max<int64_t>(newWidth, 1);
    newHeight = std::max<int64_t>(newHeight, 1);
  }
  return {newWidth, newHeight};
}

Image resizeImage(Image image, const ResizeOptions& resize, int width, int height) {
  if (!resize.on || !image || width <= 0 || height <= 0) return image;
  const int64_t targetWidth = targetSize(resize.width, resize.widthUnit, width);
  const int64_t targetHeight = targetSize(resize.height, resize.heightUnit, height);
  if (targetWidth <= 0 || targetHeight <= 0) return image;
  if (targetWidth == width && targetHeight == height) return image;
  if (resize.type == kLargeImagesOnly && width < targetWidth && height < targetHeight) return image;

  const PixelSize size = resizedSize(resize, width, height);
  const int64_t newWidth = size.width, newHeight = size.height;
  if (newWidth > kMaxSide || newHeight > kMaxSide || newWidth * newHeight > kMaxPixels) return Image();
  // Even a filter at scale one blurs: the same size hands the image on as it is.
  if (newWidth == image.width() && newHeight == image.height()) return image;

  const FREE_IMAGE_FILTER filter = filterFor(resize.algorithm);
  const auto rescale = [&](FIBITMAP* bitmap) {
    return FreeImage_Rescale(bitmap, static_cast<int>(newWidth), static_cast<int>(newHeight), filter);
  };
  if (hasAlphaChannel(image) && FreeImage_IsTransparent(image.get()))
    return resampleWithAlpha(image, RGBQUAD{}, rescale);
  return Image(rescale(image.get()));
}

Image flipImage(Image image, const FlipOptions& flip) {
  if (!image) return image;
  if (flip.horizontal) FreeImage_FlipHorizontal(image.get());
  if (flip.vertical) FreeImage_FlipVertical(image.get());
  return image;
}

}  // namespace trovabild
