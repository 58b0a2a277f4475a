#pragma once
// Text and image watermarks and their placement.

#include <string>
#include <vector>

#include "imaging/image.h"

namespace trovabild {

/// Creates the batch's watermark font from the settings; false when the
/// family cannot be provided (the batch then stops).
bool createWatermarkFont();
/// Releases the font made by createWatermarkFont; safe to call without one.
void releaseWatermarkFont();

/// Reads and checks settings.wmImage once for the run; false when it is no
/// usable picture (the run then stops). Until released, every frame's image
/// watermark is drawn from this one reading.
bool loadWatermarkImage();
/// Forgets the picture read by loadWatermarkImage; safe to call without one.
void releaseWatermarkImage();

/// `width` and `height` are the image's size after resizing.
Image applyWatermark(Image image, int width, int height);

/// The text watermark as a 32-bit overlay; empty when there is no font or
/// nothing to draw.
Image renderTextOverlay();
/// The image watermark as a 32-bit overlay, from the picture read by
/// loadWatermarkImage (or, without one, from the file); empty when the
/// file cannot be read.
Image renderImageOverlay();

/// Which watermark's boundary, position, offsets and rotation to use.
enum class OverlayKind { text, image };
/// Rotates, crops, anchors and composites the overlay over the 24-bit
/// image. An overlay that does not fit (nothing left after the crop, or a
/// position outside the image) leaves the image without a watermark.
Image placeOverlay(Image image, Image overlay, int width, int height, OverlayKind kind);

/// The lines of a watermark text: split at "%eol%" in any letter case,
/// empty pieces included. A text without it is one line.
std::vector<std::string> splitWatermarkLines(const std::string& text);

/// Where a line of `lineWidth` starts in a box of `boxWidth`, for the
/// alignment code (0 left, 1 centre, 2 right) and padding.
int alignLine(int lineWidth, int boxWidth, int padding, int alignment);

/// The text box worked out from the measured lines.
struct TextBox {
  int width = 0;
  int height = 0;
  int lineStep = 0;          ///< from one line's top to the next's
  std::vector<int> lineX;    ///< left edge of each line
  std::vector<int> lineY;    ///< top edge of each line
};
/// `lineWidths` and `lineHeights` are the measured lines (one entry for a
/// text without line breaks).
TextBox layoutTextBox(const std::vector<int>& lineWidths, const std::vector<int>& lineHeights,
                      int padding, int leading, int alignment);

}  // namespace trovabild
