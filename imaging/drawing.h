#pragma once
// The drawing layer: RGBA canvases, fonts, text, polygons and pictures drawn
// with Cairo and Pango over fontconfig, and the hand-over of a canvas to
// FreeImage. Coordinates are pixels from the top-left corner, y downwards.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/image.h"

using cairo_surface_t = struct _cairo_surface;
using cairo_t = struct _cairo;
using PangoFontDescription = struct _PangoFontDescription;

namespace trovabild {

/// A colour with its own alpha (not premultiplied).
struct Colour {
  uint8_t red = 0, green = 0, blue = 0, alpha = 255;
  bool operator==(const Colour&) const = default;
};

/// Em height in pixels of a size in points at 96 dots per inch, rounded to
/// the nearest pixel (halves away from zero).
int fontPixelHeight(int points);

/// A font made from a family name, resolved through fontconfig. Move-only.
class Font {
 public:
  Font() = default;
  ~Font();
  Font(Font&& other) noexcept;
  Font& operator=(Font&& other) noexcept;
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  /// An empty font when fontconfig can provide neither the family itself
  /// nor a metric-compatible alias of it (Liberation Sans for Arial and the
  /// like); a fallback to an unrelated family is refused. Generic names
  /// ("sans-serif", "serif", "monospace") are accepted. `emPixels` below 1
  /// counts as 1.
  static Font create(std::string_view family, int emPixels, bool bold, bool italic,
                     bool underline, bool strikeOut);

  explicit operator bool() const { return description_ != nullptr; }
  /// The family fontconfig provides for the request ("Liberation Sans" for "Arial").
  const std::string& family() const { return family_; }
  int emPixels() const { return emPixels_; }
  bool underline() const { return underline_; }
  bool strikeOut() const { return strikeOut_; }
  const PangoFontDescription* description() const { return description_; }

 private:
  PangoFontDescription* description_ = nullptr;
  std::string family_;
  int emPixels_ = 0;
  bool underline_ = false;
  bool strikeOut_ = false;
};

struct TextSize {
  int width = 0;
  int height = 0;
  bool operator==(const TextSize&) const = default;
};

/// Width (advance) and height (ascent plus descent) of one line drawn as
/// plain text: no antialiasing, full hinting.
TextSize measurePlainText(const Font& font, std::string_view text);
/// Advance width of one line drawn as antialiased vector text, unrounded.
double measureVectorText(const Font& font, std::string_view text);

/// A picture loaded from a file, its pixels top row first, alpha 255 where
/// the file has none.
struct Picture {
  int width = 0;
  int height = 0;
  int bpp = 0;  ///< bits per pixel of the file's image; 0 when nothing was loaded
  std::vector<Colour> pixels;
  explicit operator bool() const { return bpp != 0; }
  Colour at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

/// Reads any image file FreeImage knows (PNG with alpha, JPEG, BMP, GIF ...);
/// an empty picture when it cannot be read. The file is read once, never
/// from a pipe or device, and goes through loadPictureFrom.
Picture loadPicture(const std::string& path);
/// The same from bytes in memory. An icon passes the icon file checks and
/// its first usable frame is decoded on its own; any other image must name
/// its size in a header that can be read without its pixels, within the
/// icon pixel limit. `nameHint` gives the format when the bytes do not.
Picture loadPictureFrom(std::span<const uint8_t> bytes, const std::string& nameHint = "");

/// Turns the colour written by drawPictureReplacing into another.
using PixelFilter = Colour (*)(Colour);
/// Grey (77 R + 150 G + 29 B) / 256 in all three channels; alpha kept.
Colour greyFilter(Colour colour);

struct PointF {
  double x = 0;
  double y = 0;
};

/// A 32-bit RGBA canvas. Move-only; an empty canvas is one that could not be
/// created. Drawing outside the canvas is clipped.
class Canvas {
 public:
  Canvas() = default;
  /// Every pixel transparent (0, 0, 0, 0); empty when a side is below 1, the
  /// canvas would exceed 2^28 pixels (1 GiB) or the memory cannot be had.
  Canvas(int width, int height);
  ~Canvas();
  Canvas(Canvas&& other) noexcept;
  Canvas& operator=(Canvas&& other) noexcept;
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  explicit operator bool() const { return surface_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }

  /// New size, every pixel transparent; false (and empty) when it cannot be had.
  bool resize(int width, int height);
  /// Every pixel becomes the colour, alpha included.
  void fill(Colour colour);
  /// The pixel at (x, y), not premultiplied; transparent outside the canvas.
  Colour pixel(int x, int y) const;

  /// One line of plain text with its cell's top-left at (x, y). Writes all
  /// four channels: glyph pixels get `text`, the rest of the cell `back`.
  void drawPlainText(const Font& font, int x, int y, std::string_view line, Colour text,
                     Colour back);
  /// Source-over with the source's alpha multiplied by opacity / 255.
  void drawCanvas(const Canvas& source, int x, int y, int opacity = 255);
  /// Replaces the covered pixels by the picture's colour (through the filter
  /// when given) with alpha = picture alpha x opacity / 255.
  void drawPictureReplacing(const Picture& picture, int x, int y, int opacity,
                            PixelFilter filter = nullptr);

 private:
  friend class VectorDrawing;
  friend Image toFreeImage(const Canvas& canvas);
  friend Image toFreeImageViaPng(const Canvas& canvas);
/// The same hand-over through a PNG encoded in memory (slower; the
/// reference the direct copy is held to).
Image toFreeImageViaPng(const Canvas& canvas);
  cairo_surface_t* surface_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

/// Antialiased drawing on a canvas for the life of the object, source-over.
class VectorDrawing {
 public:
  explicit VectorDrawing(Canvas& canvas);
  ~VectorDrawing();
  VectorDrawing(const VectorDrawing&) = delete;
  VectorDrawing& operator=(const VectorDrawing&) = delete;

  /// False when drawing could not be started; the operations then draw nothing.
  explicit operator bool() const { return context_ != nullptr; }
  void fillPolygon(std::span<const PointF> points, Colour colour);
  /// One line of text with its top-left at (x, y).
  void drawText(const Font& font, double x, double y, std::string_view line, Colour colour);
  void fill(Colour colour);

 private:
  cairo_t* context_ = nullptr;
};

/// The canvas as a 32-bit FreeImage image with alpha (the pixels an
/// in-memory PNG of it would give); an empty image when that fails.
Image toFreeImage(const Canvas& canvas);
/// The same hand-over through a PNG encoded in memory (slower; the
/// reference the direct copy is held to).
Image toFreeImageViaPng(const Canvas& canvas);

}  // namespace trovabild
