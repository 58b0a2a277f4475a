#include "imaging/watermark.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>

#include "imaging/drawing.h"
#include "imaging/geometry.h"
#include "imaging/step_options.h"

namespace trovabild {

namespace {

Colour colourOf(const Rgb& rgb, int alpha) {
  return {rgb.red, rgb.green, rgb.blue, static_cast<uint8_t>(std::clamp(alpha, 0, 255))};
}

// Offsets, paddings and frame widths come straight from the user; positions
// are worked out in 64 bits and anything beyond this is off any canvas.
constexpr int64_t kMaxCoordinate = 1 << 30;

int saturate(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, -kMaxCoordinate, kMaxCoordinate));
}

bool matchesAt(const std::string& text, size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != word[i]) return false;
  return true;
}

}  // namespace

std::shared_ptr<const Font> createWatermarkFont(std::string_view family, int sizePoints, int style, int effect) {
  const bool bold = style == 1 || style == 3;
  const bool italic = style == 2 || style == 3;
  int pixels = fontPixelHeight(sizePoints);
  // A size of 0 asks for the default size, a negative one for its magnitude.
  if (pixels == 0) pixels = fontPixelHeight(12);
  Font font = Font::create(family, std::abs(pixels), bold, italic, effect == 1, effect == 2);
  if (!font) return nullptr;
  return std::make_shared<const Font>(std::move(font));
}

std::vector<std::string> splitWatermarkLines(const std::string& text) {
  static constexpr std::string_view kSeparator = "%eol%";
  std::vector<std::string> lines;
  size_t start = 0;
  size_t at = 0;
  while (at < text.size()) {
    if (matchesAt(text, at, kSeparator)) {
      lines.push_back(text.substr(start, at - start));
      at += kSeparator.size();
      start = at;
    } else {
      ++at;
    }
  }
  lines.push_back(text.substr(start));
  return lines;
}

int alignLine(int lineWidth, int boxWidth, int padding, int alignment) {
  const int64_t room = int64_t{boxWidth} - lineWidth;
  int64_t x = 0;
  switch (alignment) {
    case 0:
      x = padding;
      break;
    case 1: {
      const double half = static_cast<double>(room) / 2.0;
      x = static_cast<int64_t>(half > 0 ? std::floor(half + 0.5) : std::ceil(half - 0.5));
      break;
    }
    case 2:
      x = room - padding;
      break;
    default:
      break;
  }
  return saturate(x);
}

TextBox layoutTextBox(const std::vector<int>& lineWidths, const std::vector<int>& lineHeights,
                      int padding, int leading, int alignment) {
  TextBox box;
  if (lineWidths.empty() || lineWidths.size() != lineHeights.size()) return box;
  const int64_t breaks = static_cast<int64_t>(lineWidths.size()) - 1;
  int64_t width = 0, height = 0, step = 0;
  if (breaks == 0) {
    // A single line gets no minimum size and is not aligned.
    width = int64_t{lineWidths[0]} + 2 * int64_t{padding};
    height = int64_t{lineHeights[0]} + 2 * int64_t{padding};
  } else {
    const int64_t widest = std::max(10, *std::max_element(lineWidths.begin(), lineWidths.end()));
    const int64_t tallest = std::max(10, *std::max_element(lineHeights.begin(), lineHeights.end()));
    step = tallest + leading;
    width = widest + 2 * int64_t{padding};
    height = tallest + step * breaks + 2 * int64_t{padding};
  }
  // Settings far outside sense give a box no canvas can hold.
  if (width > kMaxCoordinate || height > kMaxCoordinate || step > kMaxCoordinate ||
      step < -kMaxCoordinate)
    return box;
  box.width = static_cast<int>(width);
  box.height = static_cast<int>(height);
  box.lineStep = static_cast<int>(step);
  int64_t y = padding;
  for (int lineWidth : lineWidths) {
    box.lineX.push_back(breaks == 0 ? padding : alignLine(lineWidth, box.width, padding, alignment));
    box.lineY.push_back(saturate(y));
    y += step;
  }
  return box;
}

Image renderTextOverlay(const TextWatermarkOptions& options, const std::string& text) {
  if (!options.font || !*options.font) return {};
  const Font& watermarkFont = *options.font;
  const std::vector<std::string> lines = splitWatermarkLines(text);

  std::vector<int> widths;
  std::vector<int> heights;
  for (const std::string& line : lines) {
    const TextSize size = measurePlainText(watermarkFont, line);
    widths.push_back(size.width);
    heights.push_back(size.height);
  }
  const int padding = options.padding;
  const int alignment = options.alignment;
  const TextBox box = layoutTextBox(widths, heights, padding, options.leading, alignment);
  Canvas textCanvas(box.width, box.height);
  if (!textCanvas) return {};
  const bool multiLine = lines.size() > 1;

  if (!options.antialiasing) {
    const Colour textColour = colourOf(options.colour, options.opacity);
    const Colour backColour = colourOf(options.backColour, options.backOpacity);
    textCanvas.fill(backColour);
    for (size_t i = 0; i < lines.size(); ++i)
      textCanvas.drawPlainText(watermarkFont, box.lineX[i], box.lineY[i], lines[i], textColour,
                               backColour);
    return toFreeImage(textCanvas);
  }

  const Colour textColour = colourOf(options.colour, 255);
  const Colour backColour = colourOf(options.backColour, 255);
  Canvas background(box.width, box.height);
  Canvas overlay(box.width, box.height);
  if (!background || !overlay) return {};
  {
    VectorDrawing drawing(background);
    drawing.fill(backColour);
  }
  {
    VectorDrawing drawing(textCanvas);
    for (size_t i = 0; i < lines.size(); ++i) {
      int x = box.lineX[i];
      if (multiLine) {
        // Rounded to the nearest, halves to even.
        const int width = static_cast<int>(std::nearbyint(measureVectorText(watermarkFont, lines[i])));
        x = alignLine(width, box.width, padding, alignment);
      }
      drawing.drawText(watermarkFont, x, box.lineY[i], lines[i], textColour);
    }
  }
  overlay.drawCanvas(background, 0, 0, options.backOpacity);
  overlay.drawCanvas(textCanvas, 0, 0, options.opacity);
  return toFreeImage(overlay);
}

std::shared_ptr<const Picture> loadWatermarkPicture(const std::string& path) {
  Picture picture = loadPicture(path);
  if (!picture) return nullptr;
  return std::make_shared<const Picture>(std::move(picture));
}

Image renderImageOverlay(const ImageWatermarkOptions& options) {
  Picture read;
  if (!options.picture) read = loadPicture(options.path);
  const Picture& picture = options.picture ? *options.picture : read;
  if (!picture) return {};
  Canvas canvas(picture.width, picture.height);
  if (!canvas) return {};
  if (picture.bpp != 32) canvas.fill({0, 0, 0, 255});
  canvas.drawPictureReplacing(picture, 0, 0, options.opacity, options.greyscale ? greyFilter : nullptr);
  return toFreeImage(canvas);
}

Image placeOverlay(Image image, Image overlay, int width, int height, const OverlayPlacement& placement,
                   const FrameOptions& frame) {
  if (!image || !overlay) return image;
  const int rotation = placement.rotation;
  const int boundary = placement.boundary;
  const int position = placement.position;
  const int dx = placement.xOffset;
  const int dy = placement.yOffset;

  if (rotation >= 1 && rotation <= 359) {
    // Weighted by alpha: the overlay's transparent pixels are black, which
    // would otherwise ring the rotated watermark with a dark halo.
    if (overlay.bpp() == 32) {
      overlay = rotateWithAlpha(overlay, rotation);
    } else {
      overlay = Image(FreeImage_Rotate(overlay.get(), rotation, nullptr));
    }
    if (!overlay) return image;
  }

  int64_t aw = width, ah = height, ox = 0, oy = 0;
  if (boundary == 1 && frame.type != 0) {
    aw = int64_t{width} - frame.left - frame.right;
    ah = int64_t{height} - frame.top - frame.bottom;
    ox = frame.left;
    oy = frame.top;
  }

  int64_t ow = overlay.width(), oh = overlay.height();
  const bool cropWidth = ow + dx > aw;
  const bool cropHeight = oh + dy > ah;
  if (cropWidth) ow = aw - dx;
  if (cropHeight) oh = ah - dy;
  if (cropWidth || cropHeight) {
    // Nothing left to show: the image goes on without a watermark.
    if (ow < 1 || oh < 1) return image;
    overlay = Image(FreeImage_Copy(overlay.get(), 0, 0, static_cast<int>(ow), static_cast<int>(oh)));
    if (!overlay) return image;
    ow = overlay.width();
    oh = overlay.height();
  }

  int64_t x = 0, y = 0;
  switch (position) {
    case 0: x = dx;                 y = dy; break;
    case 1: x = (aw - ow) / 2;      y = dy; break;
    case 2: x = aw - ow - dx;       y = dy; break;
    case 3: x = dx;                 y = (ah - oh) / 2; break;
    case 4: x = (aw - ow) / 2;      y = (ah - oh) / 2; break;
    case 5: x = aw - ow - dx;       y = (ah - oh) / 2; break;
    case 6: x = dx;                 y = ah - oh - dy; break;
    case 7: x = (aw - ow) / 2;      y = ah - oh - dy; break;
    case 8: x = aw - ow - dx;       y = ah - oh - dy; break;
    default: break;
  }
  x += ox;
  y += oy;
  // FreeImage refuses a paste that does not lie wholly inside the image;
  // the watermark is then left out.
  if (x < 0 || y < 0 || x + ow > width || y + oh > height) return image;

  Image canvas(FreeImage_AllocateT(FIT_BITMAP, width, height, overlay.bpp()));
  if (!canvas) return image;
  // A plain copy (FreeImage's "alpha" above 255): blending into the empty
  // canvas at 255 would scale every channel, alpha included, by 255 / 256,
  // and an opaque watermark would come out at 252 of 255.
  constexpr int kCopy = 256;
  if (!FreeImage_Paste(canvas.get(), overlay.get(), static_cast<int>(x), static_cast<int>(y), kCopy))
    return image;
  Image marked(FreeImage_Composite(canvas.get(), FALSE, nullptr, image.get()));
  if (!marked) return image;
  return marked;
}

Image prepareForWatermark(Image image, const WatermarkOptions& watermark) {
  if (watermark.type == 0 || !image) return image;
  if (image.bpp() != 24) image = Image(FreeImage_ConvertTo24Bits(image.get()));
  return image;
}

Image applyWatermark(Image image, const WatermarkOptions& watermark, const std::string& text, int width,
                     int height, const FrameOptions& frame) {
  image = prepareForWatermark(std::move(image), watermark);
  if (watermark.type == 0 || !image) return image;
  if (watermark.type == 1) {
    Image overlay = renderTextOverlay(watermark.text, text);
    if (!overlay) return image;
    return placeOverlay(std::move(image), std::move(overlay), width, height, watermark.text.placement, frame);
  }
  if (watermark.type == 2) {
    Image overlay = renderImageOverlay(watermark.image);
    if (!overlay) return image;
    return placeOverlay(std::move(image), std::move(overlay), width, height, watermark.image.placement, frame);
  }
  return image;
}

}  // namespace trovabild
