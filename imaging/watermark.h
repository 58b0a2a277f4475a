#pragma once
// Text and image watermarks and their placement.

#include "imaging/image.h"

namespace trovabild {

/// Creates the batch's watermark font from the settings; false when the
/// family cannot be provided (the batch then stops).
bool createWatermarkFont();
/// Releases the font made by createWatermarkFont; safe to call without one.
void releaseWatermarkFont();

/// `width` and `height` are the image's size after resizing.
Image applyWatermark(Image image, int width, int height);

}  // namespace trovabild
