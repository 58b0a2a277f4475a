#include "imaging/step_options.h"

#include "settings/settings.h"

namespace trovabild {

RotationOptions rotationOptions(const Settings& s) {
  return {s.doRotation != 0, s.rotationType, s.rotation, parseColor(s.rotationBackColor)};
}

ResizeOptions resizeOptions(const Settings& s) {
  return {s.doResize != 0, s.width, s.widthUnit, s.height, s.heightUnit, s.keepAspectRatio != 0,
          s.resizeType, s.resizeAlgorithm};
}

FlattenOptions flattenOptions(const Settings& s) { return {parseColor(s.backgroundColor)}; }

FlipOptions flipOptions(const Settings& s) { return {s.flipHorizontal != 0, s.flipVertical != 0}; }

ColourOptions colourOptions(const Settings& s) {
  return {s.doColorCorrection != 0, s.brightness, s.contrast, s.gamma, s.invert != 0, s.doGreyscale != 0,
          s.doThreshold != 0, s.threshold, s.doDither != 0, s.ditherAlgorithm};
}

FrameOptions frameOptions(const Settings& s) {
  FrameOptions frame;
  frame.type = s.frameType;
  frame.left = s.solidLeft;
  frame.right = s.solidRight;
  frame.top = s.solidTop;
  frame.bottom = s.solidBottom;
  frame.leftColour = parseColor(s.solidLeftColor);
  frame.rightColour = parseColor(s.solidRightColor);
  frame.topColour = parseColor(s.solidTopColor);
  frame.bottomColour = parseColor(s.solidBottomColor);
  frame.opacity = s.solidOpacity;
  return frame;
}

WatermarkOptions watermarkOptions(const Settings& s) {
  WatermarkOptions watermark;
  watermark.type = s.watermarkType;
  TextWatermarkOptions& text = watermark.text;
  text.text = s.wmText;
  text.leading = s.wmFontLeading;
  text.colour = parseColor(s.wmFontColor);
  text.opacity = s.wmTextOpacity;
  text.backColour = parseColor(s.wmBackColor);
  text.backOpacity = s.wmBackOpacity;
  text.antialiasing = s.wmTextAntialiasing != 0;
  text.alignment = s.wmTextAlignment;
  text.padding = s.wmTextPadding;
  text.placement = {s.wmTextBoundary, s.wmTextPosition, s.wmTextXOffset, s.wmTextYOffset, s.wmTextRotation};
  ImageWatermarkOptions& image = watermark.image;
  image.path = s.wmImage;
  image.greyscale = s.wmImageGreyscale != 0;
  image.opacity = s.wmImageOpacity;
  image.placement = {s.wmImageBoundary, s.wmImagePosition, s.wmImageXOffset, s.wmImageYOffset,
                     s.wmImageRotation};
  return watermark;
}

PipelineOptions pipelineOptions(const Settings& s) {
  PipelineOptions options;
  options.icoFrameLoading = s.icoFrameLoading;
  options.rotation = rotationOptions(s);
  options.resize = resizeOptions(s);
  options.flatten = flattenOptions(s);
  options.flip = flipOptions(s);
  options.colour = colourOptions(s);
  options.frame = frameOptions(s);
  options.watermark = watermarkOptions(s);
  return options;
}

}  // namespace trovabild
