#pragma once
// Colour adjustments: brightness, contrast, gamma, invert, greyscale,
// threshold and dithering.

#include "imaging/image.h"

namespace trovabild {

Image adjustColors(Image image);
Image makeGreyscale(Image image);
Image applyThreshold(Image image);
Image applyDither(Image image);

}  // namespace trovabild
