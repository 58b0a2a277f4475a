#include "imaging/colour.h"

#include "imaging/step_options.h"

namespace trovabild {

namespace {

FREE_IMAGE_DITHER ditherFor(int algorithm) {
  switch (algorithm) {
    case 0: return FID_FS;
    case 1: return FID_BAYER4x4;
    case 2: return FID_BAYER8x8;
    case 3: return FID_BAYER16x16;
    case 4: return FID_CLUSTER6x6;
    case 5: return FID_CLUSTER8x8;
    case 6: return FID_CLUSTER16x16;
    default: return FID_FS;
  }
}

bool isBitmap(const Image& image) { return FreeImage_GetImageType(image.get()) == FIT_BITMAP; }

Image to24Bits(const Image& image) { return Image(FreeImage_ConvertTo24Bits(image.get())); }

/// Depth outside [low, 32], or pixels that are not a plain bitmap: to 24 bits.
Image to24BitsOutside(Image image, int low) {
  if (!isBitmap(image) || image.bpp() < low || image.bpp() > 32) return to24Bits(image);
  return image;
}

}  // namespace

Image adjustColors(Image image, const ColourOptions& colour) {
  if (!colour.correct || !image) return image;
  // The adjustment only knows 8, 24 and 32 bits; a 16-bit image would
  // otherwise pass through unadjusted.
  if (!isBitmap(image) || (image.bpp() != 8 && image.bpp() != 24 && image.bpp() != 32))
    image = to24Bits(image);
  if (!image) return image;
  FreeImage_AdjustColors(image.get(), colour.brightness, colour.contrast,
                         static_cast<double>(colour.gamma), colour.invert != 0);
  return image;
}

Image makeGreyscale(Image image, const ColourOptions& colour) {
  if (!colour.greyscale || !image) return image;
  image = to24BitsOutside(std::move(image), 1);
  if (!image) return image;
  return Image(FreeImage_ConvertToGreyscale(image.get()));
}

Image applyThreshold(Image image, const ColourOptions& colour) {
  if (!colour.threshold || !image) return image;
  image = to24BitsOutside(std::move(image), 4);
  if (!image) return image;
  return Image(FreeImage_Threshold(image.get(), static_cast<BYTE>(colour.thresholdLevel)));
}

Image applyDither(Image image, const ColourOptions& colour) {
  if (!colour.dither || !image) return image;
  image = to24BitsOutside(std::move(image), 4);
  if (!image) return image;
  return Image(FreeImage_Dither(image.get(), ditherFor(colour.ditherAlgorithm)));
}

}  // namespace trovabild
