#pragma once
// Text and image watermarks and their placement.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/image.h"

namespace trovabild {

class Font;
struct Picture;
struct FrameOptions;
struct ImageWatermarkOptions;
struct OverlayPlacement;
struct TextWatermarkOptions;
struct WatermarkOptions;

/// The batch's watermark font: the family at `sizePoints` with the style
/// (0 regular, 1 bold, 2 italic, 3 both) and effect (1 underline, 2 strike
/// out) codes. Null when the family cannot be provided (the batch then stops).
std::shared_ptr<const Font> createWatermarkFont(std::string_view family, int sizePoints, int style, int effect);

/// The first half of the watermark step: with a watermark on, the image
/// becomes 24 bits, the depth the watermark leaves it in. Off: untouched.
Image prepareForWatermark(Image image, const WatermarkOptions& watermark);
/// Draws the watermark. `text` is the text watermark's text with its tokens
/// already expanded; `width` and `height` are the image's size after
/// resizing; `frame` is the frame drawn before (for the FRAME boundary).
Image applyWatermark(Image image, const WatermarkOptions& watermark, const std::string& text, int width,
                     int height, const FrameOptions& frame);

/// The text watermark as a 32-bit overlay; empty when there is no font or
/// nothing to draw.
Image renderTextOverlay(const TextWatermarkOptions& options, const std::string& text);
/// The image watermark's picture, read and checked once for the run; null
/// when the file is no usable picture (the run then stops).
std::shared_ptr<const Picture> loadWatermarkPicture(const std::string& path);
/// The image watermark as a 32-bit overlay, from the picture the options
/// carry (or, without one, from the file); empty when it cannot be read.
Image renderImageOverlay(const ImageWatermarkOptions& options);

/// Rotates, crops, anchors and composites the overlay over the 24-bit
/// image; `frame` gives the area inside the frame for the FRAME boundary.
/// An overlay that does not fit (nothing left after the crop, or a position
/// outside the image) leaves the image without a watermark.
Image placeOverlay(Image image, Image overlay, int width, int height, const OverlayPlacement& placement,
                   const FrameOptions& frame);

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
