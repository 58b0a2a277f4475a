#pragma once
// The parameters of every image step, as values. A step reads only what it
// is given here; the run plan makes them once per batch from the settings.

#include <cstdint>
#include <memory>
#include <string>

#include "imaging/geometry.h"

namespace trovabild {

struct Settings;
class Font;
struct Picture;

struct RotationOptions {
  bool on = false;
  int type = 0;      ///< 0 SIMPLE, 1 ADVANCED
  int32_t angle = 0;  ///< degrees; only 1 .. 359 rotate
  Rgb background;    ///< the area the rotation uncovers
};

struct ResizeOptions {
  bool on = false;
  int32_t width = 0;
  int widthUnit = 0;  ///< 0 pixels, 1 percent
  int32_t height = 0;
  int heightUnit = 0;
  bool keepAspectRatio = false;
  int type = 0;       ///< 0 every image, 1 only larger ones
  int algorithm = 3;  ///< resampling filter code
};

struct FlattenOptions {
  Rgb background{255, 255, 255};  ///< what transparent areas are laid onto
};

struct FlipOptions {
  bool horizontal = false;
  bool vertical = false;
};

struct ColourOptions {
  bool correct = false;  ///< brightness, contrast, gamma and invert on
  int32_t brightness = 0;
  int32_t contrast = 0;
  float gamma = 1.0f;
  bool invert = false;
  bool greyscale = false;
  bool threshold = false;
  int32_t thresholdLevel = 0;
  bool dither = false;
  int ditherAlgorithm = 0;
};

struct FrameOptions {
  int type = 0;  ///< 0 none, 1 solid
  int32_t left = 0, right = 0, top = 0, bottom = 0;  ///< border widths, pixels
  Rgb leftColour, rightColour, topColour, bottomColour;
  int32_t opacity = 255;
};

/// Where an overlay goes: relative to the image or to the area inside the
/// frame, one of nine anchors, offsets from the anchored edges, rotation.
struct OverlayPlacement {
  int boundary = 0;  ///< 0 IMAGE, 1 FRAME
  int position = 8;  ///< 0 TOPLEFT .. 8 BOTTOMRIGHT
  int32_t xOffset = 10;
  int32_t yOffset = 10;
  int32_t rotation = 0;
};

struct TextWatermarkOptions {
  /// The text as written, with its naming tokens and "%eol%"; the caller
  /// expands the tokens and hands the result to the step.
  std::string text;
  /// The batch's font, made once before the first file; null when the run
  /// has no text watermark or the font could not be made.
  std::shared_ptr<const Font> font;
  int32_t leading = 0;
  Rgb colour;
  int32_t opacity = 255;
  Rgb backColour;
  int32_t backOpacity = 1;
  bool antialiasing = false;
  int alignment = 0;  ///< 0 left, 1 centre, 2 right
  int32_t padding = 0;
  OverlayPlacement placement;
};

struct ImageWatermarkOptions {
  std::string path;
  /// The picture, read once before the first file; null reads `path` anew.
  std::shared_ptr<const Picture> picture;
  bool greyscale = false;
  int32_t opacity = 255;
  OverlayPlacement placement;
};

struct WatermarkOptions {
  int type = 0;  ///< 0 none, 1 text, 2 image
  TextWatermarkOptions text;
  ImageWatermarkOptions image;
};

/// The output format's values for every frame of a run.
struct OutputOptions {
  std::string extension;  ///< lower case, without dot ("jpg")
  int32_t fif = 0;        ///< FreeImage format identifier
  int32_t depth = 0;      ///< the format's depth setting; 0 = automatic
  int32_t saveFlags = 0;
  bool automaticDepth() const { return depth == 0; }
};

/// Every step's parameters, in the order the steps run.
struct PipelineOptions {
  int icoFrameLoading = 0;  ///< 0 ALL, 1 FIRST, 2 MIDDLE, 3 LAST, 4 RANDOM, 5 LARGEST, 6 BEST
  RotationOptions rotation;
  ResizeOptions resize;
  FlattenOptions flatten;
  FlipOptions flip;
  ColourOptions colour;
  FrameOptions frame;
  WatermarkOptions watermark;
  OutputOptions output;
};

/// The step parameters that the settings hold. The watermark font is left
/// null and the output format's values empty: the run plan fills them.
RotationOptions rotationOptions(const Settings& settings);
ResizeOptions resizeOptions(const Settings& settings);
FlattenOptions flattenOptions(const Settings& settings);
FlipOptions flipOptions(const Settings& settings);
ColourOptions colourOptions(const Settings& settings);
FrameOptions frameOptions(const Settings& settings);
WatermarkOptions watermarkOptions(const Settings& settings);
PipelineOptions pipelineOptions(const Settings& settings);

}  // namespace trovabild
