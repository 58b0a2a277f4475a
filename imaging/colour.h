#pragma once
// Colour adjustments: brightness, contrast, gamma, invert, greyscale,
// threshold and dithering.

#include "imaging/image.h"

namespace trovabild {

struct ColourOptions;

Image adjustColors(Image image, const ColourOptions& colour);
Image makeGreyscale(Image image, const ColourOptions& colour);
Image applyThreshold(Image image, const ColourOptions& colour);
Image applyDither(Image image, const ColourOptions& colour);

}  // namespace trovabild
