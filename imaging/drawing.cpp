#include "imaging/drawing.h"
#include "imaging/font_family.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <glib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "imaging/conversion.h"
#include "imaging/ico_guard.h"

#if defined(__SANITIZE_ADDRESS__)
#define TROVABILD_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TROVABILD_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(TROVABILD_ADDRESS_SANITIZER)
// fontconfig keeps what it parsed from its configuration, and Pango its font
// caches, until the process ends; neither grows with use. Sanitizer builds
// should not count them as leaks of this program.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libpangoft2-1.0.so\nleak:libpango-1.0.so\n"
         "leak:libharfbuzz.so\nleak:libcairo.so\n";
}
#endif

// Last: it turns the library calls below into calls through the loaded table.
#include "imaging/drawing_libraries.h"

namespace trovabild {

namespace {

// Cairo keeps ARGB32 pixels as native 32-bit words with premultiplied colour.
uint32_t premultiply(Colour c) {
  auto mul = [&](uint8_t v) { return static_cast<uint32_t>((v * c.alpha + 127) / 255); };
  return (static_cast<uint32_t>(c.alpha) << 24) | (mul(c.red) << 16) | (mul(c.green) << 8) |
         mul(c.blue);
}

// The same rounding as Cairo's own PNG writer, so that a direct copy gives
// the pixels an in-memory PNG would.
Colour unpremultiply(uint32_t word) {
  const uint32_t alpha = word >> 24;
  if (alpha == 0) return {0, 0, 0, 0};
  auto div = [&](uint32_t v) { return static_cast<uint8_t>((v * 255 + alpha / 2) / alpha); };
  return {div((word >> 16) & 0xFF), div((word >> 8) & 0xFF), div(word & 0xFF),
          static_cast<uint8_t>(alpha)};
}

void setSource(cairo_t* cr, Colour c) {
  cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

int clampOpacity(int opacity) { return std::clamp(opacity, 0, 255); }

std::string validUtf8(std::string_view text) {
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
    return std::string(text);
  gchar* fixed = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string result(fixed);
  g_free(fixed);
  return result;
}

enum class TextMode { plain, vector };

// A Pango layout for one line in the font, set up for the text mode. The
// context is made for `cr`, so that drawing through it uses the same options.
PangoLayout* makeLayout(cairo_t* cr, const Font& font, std::string_view line, TextMode mode) {
  PangoContext* context = pango_cairo_create_context(cr);
  cairo_font_options_t* options = cairo_font_options_create();
  if (mode == TextMode::plain) {
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_context_set_round_glyph_positions(context, TRUE);
  } else {
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_context_set_round_glyph_positions(context, FALSE);
  }
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  // Sizes are in pixels whatever the resolution; 96 keeps any point-based
  // default sane.
  pango_cairo_context_set_resolution(context, 96.0);

  PangoLayout* layout = pango_layout_new(context);
  g_object_unref(context);
  pango_layout_set_font_description(layout, font.description());
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  const std::string text = validUtf8(line);
  pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
  if (font.underline() || font.strikeOut()) {
    PangoAttrList* attributes = pango_attr_list_new();
    if (font.underline()) pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.strikeOut()) pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
  }
  return layout;
}

// A scratch context for measuring, on a 1 x 1 surface.
struct ScratchContext {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(surface);
  ~ScratchContext() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
};

std::string foldName(std::string_view name) {
  // fontconfig compares family names ignoring case and blanks.
  std::string folded;
  for (char c : name)
    if (c != ' ') folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

// Metric-compatible families for common Windows and PostScript fonts, used
// in addition to the aliases fontconfig's own configuration declares.
constexpr std::array<std::pair<const char*, const char*>, 16> kMetricAliases{{
    {"arial", "liberationsans"},          {"arial", "arimo"},
    {"helvetica", "liberationsans"},      {"helvetica", "nimbussans"},
    {"timesnewroman", "liberationserif"}, {"timesnewroman", "tinos"},
    {"times", "liberationserif"},         {"times", "nimbusroman"},
    {"couriernew", "liberationmono"},     {"couriernew", "cousine"},
    {"courier", "liberationmono"},        {"courier", "nimbusmonops"},
    {"arialnarrow", "liberationsansnarrow"}, {"calibri", "carlito"},
    {"cambria", "caladea"},               {"georgia", "gelasio"},
}};

constexpr std::array<const char*, 9> kGenericFamilies{
    "sans-serif", "sans", "serif", "monospace", "mono", "cursive", "fantasy", "system-ui", "emoji"};

// The family fontconfig gives for `family`, or "" when that would be an
// unrelated substitute.
std::string matchFamily(std::string_view family, bool bold, bool italic) {
  const std::string requested(family);
  const std::string folded = foldName(requested);
  if (folded.empty()) return "";

  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(requested.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);

  // The request and the aliases fontconfig binds as strongly as the request
  // itself (its metric aliases); generic fallbacks are bound weakly.
  std::vector<std::string> acceptable{folded};
  FcPatternIter iter;
  FcPatternIterStart(pattern, &iter);
  if (FcPatternFindIter(pattern, &iter, FC_FAMILY)) {
    const int count = FcPatternIterValueCount(pattern, &iter);
    for (int i = 0; i < count; ++i) {
      FcValue value;
      FcValueBinding binding;
      if (FcPatternIterGetValue(pattern, &iter, i, &value, &binding) == FcResultMatch &&
          value.type == FcTypeString && binding != FcValueBindingWeak)
        acceptable.push_back(foldName(reinterpret_cast<const char*>(value.u.s)));
    }
  }
  for (const auto& [from, to] : kMetricAliases)
    if (folded == from) acceptable.emplace_back(to);
  const bool generic =
      std::find_if(kGenericFamilies.begin(), kGenericFamilies.end(), [&](const char* name) {
        return folded == name;
      }) != kGenericFamilies.end();

  std::string result;
  FcResult outcome = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &outcome);
  if (match != nullptr) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
      const char* text = reinterpret_cast<const char*>(name);
      if (generic || std::find(acceptable.begin(), acceptable.end(), foldName(text)) !=
                         acceptable.end()) {
        result = text;
        break;
      }
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return result;
}

}  // namespace

int fontPixelHeight(int points) {
  const double pixels = static_cast<double>(points) * 96.0 / 72.0;
  const double rounded = std::round(pixels);
  if (std::fabs(rounded) > std::numeric_limits<int>::max()) return 0;
  return static_cast<int>(rounded);
}

// ---------------------------------------------------------------- Font

Font::~Font() {
  if (description_ != nullptr) pango_font_description_free(description_);
}

Font::Font(Font&& other) noexcept
    : description_(std::exchange(other.description_, nullptr)),
      family_(std::move(other.family_)),
      emPixels_(other.emPixels_),
      underline_(other.underline_),
      strikeOut_(other.strikeOut_) {}

Font& Font::operator=(Font&& other) noexcept {
  if (this != &other) {
    if (description_ != nullptr) pango_font_description_free(description_);
    description_ = std::exchange(other.description_, nullptr);
    family_ = std::move(other.family_);
    emPixels_ = other.emPixels_;
    underline_ = other.underline_;
    strikeOut_ = other.strikeOut_;
  }
  return *this;
}

Font Font::create(std::string_view family, int emPixels, bool bold, bool italic, bool underline,
                  bool strikeOut) {
  Font font;
  std::string matched = matchFamily(family, bold, italic);
  if (matched.empty()) return font;
  // Glyph outlines beyond this size only make canvases Cairo cannot hold.
  font.emPixels_ = std::clamp(emPixels, 1, 16384);
  font.family_ = std::move(matched);
  font.underline_ = underline;
  font.strikeOut_ = strikeOut;
  font.description_ = pango_font_description_new();
  pango_font_description_set_family(font.description_, font.family_.c_str());
  pango_font_description_set_absolute_size(font.description_,
                                           static_cast<double>(font.emPixels_) * PANGO_SCALE);
  pango_font_description_set_weight(font.description_, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(font.description_, italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return font;
}

std::string providedFontFamily(std::string_view family) {
  const Font font = Font::create(family, 12, false, false, false, false);
  return font ? font.family() : std::string();
}

// ---------------------------------------------------------------- Text measure

TextSize measurePlainText(const Font& font, std::string_view text) {
  if (!font) return {};
  ScratchContext scratch;
  PangoLayout* layout = makeLayout(scratch.cr, font, text, TextMode::plain);
  PangoRectangle logical{};
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return {logical.width, logical.height};
}

double measureVectorText(const Font& font, std::string_view text) {
  if (!font) return 0;
  ScratchContext scratch;
  PangoLayout* layout = makeLayout(scratch.cr, font, text, TextMode::vector);
  PangoRectangle logical{};
  pango_layout_get_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return static_cast<double>(logical.width) / PANGO_SCALE;
}

// ---------------------------------------------------------------- Pictures

namespace {

// The bytes of a picture as a FreeImage memory stream, closed on leaving.
class MemoryStream {
 public:
  explicit MemoryStream(std::span<const uint8_t> bytes)
      : memory_(FreeImage_OpenMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))) {}
  ~MemoryStream() {
    if (memory_ != nullptr) FreeImage_CloseMemory(memory_);
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;
  FIMEMORY* get() const { return memory_; }

 private:
  FIMEMORY* memory_;
};

bool looksLikeIcon(std::span<const uint8_t> bytes) {
  return bytes.size() >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1 && bytes[3] == 0;
}

// An icon never reaches FreeImage's icon reader as a whole: only its first
// frame that passes the checks, on its own.
Image loadIconPicture(std::span<const uint8_t> bytes) {
  const std::optional<std::vector<IconFrameInfo>> frames = inspectIcon(bytes);
  if (!frames) return {};
  for (const IconFrameInfo& frame : *frames)
    if (Result<Image> image = decodeIconFrame(bytes, frame)) return std::move(*image);
  return {};
}

bool sizeWithinLimits(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width * height <= kMaxIconPixels;
}

// FreeImage reads no GIF header on its own, so the sizes come from the file:
// the logical screen (bytes 6 to 9) and the first image, which is what the
// reader allocates when it loads that image alone. Extensions before it are
// skipped sub-block by sub-block.
bool gifWithinLimits(std::span<const uint8_t> bytes) {
  const auto le16 = [&](size_t at) { return int64_t{bytes[at]} | int64_t{bytes[at + 1]} << 8; };
  constexpr size_t kScreenEnd = 13;  // signature, version, logical screen descriptor
  if (bytes.size() < kScreenEnd || std::memcmp(bytes.data(), "GIF", 3) != 0) return false;
  if (!sizeWithinLimits(le16(6), le16(8))) return false;
  size_t at = kScreenEnd;
  if ((bytes[10] & 0x80) != 0) at += 3 * (size_t{2} << (bytes[10] & 0x07));  // global colour table
  while (at < bytes.size()) {
    const uint8_t block = bytes[at++];
    if (block == 0x2C) {  // image descriptor: left, top, width, height, flags
      if (bytes.size() - at < 9) return false;
      return sizeWithinLimits(le16(at + 4), le16(at + 6));
    }
    if (block != 0x21) return false;  // only extensions come before the first image
    ++at;                             // the extension's label
    while (at < bytes.size() && bytes[at] != 0) at += size_t{bytes[at]} + 1;
    ++at;  // the terminating empty sub-block
  }
  return false;
}

// A Targa file's 18-byte header, checked before FreeImage reads it: the
// reader trusts the colour map's entry size and length, and an entry size it
// does not know makes it ask for an allocation of nearly 2^64 bytes.
bool targaWithinLimits(std::span<const uint8_t> bytes) {
  constexpr size_t kHeaderSize = 18;
  if (bytes.size() < kHeaderSize) return false;
  const auto le16 = [&](size_t at) { return int64_t{bytes[at]} | int64_t{bytes[at + 1]} << 8; };
  const uint8_t idLength = bytes[0];
  const uint8_t mapType = bytes[1];
  const uint8_t imageType = bytes[2];
  const int64_t mapLength = le16(5);
  const uint8_t mapDepth = bytes[7];
  const uint8_t depth = bytes[16];
  if (imageType != 1 && imageType != 2 && imageType != 3 && imageType != 9 && imageType != 10 && imageType != 11)
    return false;
  if (mapType > 1) return false;
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
  size_t pixelsStart = kHeaderSize + idLength;
  if (mapType == 1) {
    if (mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32) return false;
    if (le16(3) + mapLength > 65536) return false;
    pixelsStart += static_cast<size_t>(mapLength) * ((mapDepth + 7) / 8);
  }
  // The ID field and the colour map must lie within the file.
  if (pixelsStart > bytes.size()) return false;
  return sizeWithinLimits(le16(12), le16(14));
}

Image loadOtherPicture(std::span<const uint8_t> bytes, FREE_IMAGE_FORMAT format) {
  if (!FreeImage_FIFSupportsReading(format)) return {};
  // Where FreeImage cannot read the size alone the picture is refused,
  // unless its size can be read here.
  const bool sizeFromHeader = FreeImage_FIFSupportsNoPixels(format);
  if (!sizeFromHeader && (format != FIF_GIF || !gifWithinLimits(bytes))) return {};
  if (format == FIF_TARGA && !targaWithinLimits(bytes)) return {};
  MemoryStream memory(bytes);
  if (memory.get() == nullptr) return {};
  if (sizeFromHeader) {
    // The size first, from the header alone, so a picture that claims a
    // huge size is refused before its pixels are allocated.
    Image header(FreeImage_LoadFromMemory(format, memory.get(), FIF_LOAD_NOPIXELS));
    if (!header) return {};
    if (!sizeWithinLimits(header.width(), header.height())) return {};
  }
  FreeImage_SeekMemory(memory.get(), 0, SEEK_SET);
  return Image(FreeImage_LoadFromMemory(format, memory.get(), 0));
}

}  // namespace

Picture loadPicture(const std::string& path) {
  const std::optional<std::vector<uint8_t>> bytes = readWholeFile(path, kMaxIconFileSize);
  if (!bytes) return {};
  return loadPictureFrom(*bytes, path);
}

Picture loadPictureFrom(std::span<const uint8_t> bytes, const std::string& nameHint) {
  Picture picture;
  if (bytes.empty() || bytes.size() > kMaxIconFileSize) return picture;
  FREE_IMAGE_FORMAT format = FIF_UNKNOWN;
  {
    MemoryStream memory(bytes);
    if (memory.get() == nullptr) return picture;
    format = FreeImage_GetFileTypeFromMemory(memory.get(), static_cast<int>(bytes.size()));
  }
  if (format == FIF_UNKNOWN && !nameHint.empty()) format = FreeImage_GetFIFFromFilename(nameHint.c_str());
  if (format == FIF_UNKNOWN) return picture;
  Image loaded = format == FIF_ICO || looksLikeIcon(bytes) ? loadIconPicture(bytes) : loadOtherPicture(bytes, format);
  if (!loaded) return picture;
  const int bpp = loaded.bpp();
  if (FreeImage_GetImageType(loaded.get()) != FIT_BITMAP &&
      FreeImage_GetImageType(loaded.get()) != FIT_RGB16 &&
      FreeImage_GetImageType(loaded.get()) != FIT_RGBA16) {
    loaded = Image(FreeImage_ConvertToStandardType(loaded.get(), TRUE));
    if (!loaded) return picture;
  }
  Image rgba(FreeImage_ConvertTo32Bits(loaded.get()));
  if (!rgba) return picture;
  const int width = rgba.width();
  const int height = rgba.height();
  if (width < 1 || height < 1) return picture;
  picture.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const BYTE* row = FreeImage_GetScanLine(rgba.get(), height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const BYTE* p = row + x * 4;
      picture.pixels[static_cast<size_t>(y) * width + x] = {p[FI_RGBA_RED], p[FI_RGBA_GREEN],
                                                            p[FI_RGBA_BLUE], p[FI_RGBA_ALPHA]};
    }
  }
  picture.width = width;
  picture.height = height;
  picture.bpp = bpp;
  return picture;
}

Colour greyFilter(Colour colour) {
  const auto grey =
      static_cast<uint8_t>((77 * colour.red + 150 * colour.green + 29 * colour.blue) >> 8);
  return {grey, grey, grey, colour.alpha};
}

// ---------------------------------------------------------------- Canvas

Canvas::Canvas(int width, int height) { resize(width, height); }

Canvas::~Canvas() {
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
}

Canvas::Canvas(Canvas&& other) noexcept
    : surface_(std::exchange(other.surface_, nullptr)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)) {}

Canvas& Canvas::operator=(Canvas&& other) noexcept {
  if (this != &other) {
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
    surface_ = std::exchange(other.surface_, nullptr);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
  }
  return *this;
}

bool Canvas::resize(int width, int height) {
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
  surface_ = nullptr;
  width_ = height_ = 0;
  if (width < 1 || height < 1) return false;
  // Beyond this a runaway padding or font size would only exhaust memory.
  constexpr int64_t kMaxPixels = int64_t{1} << 28;
  if (static_cast<int64_t>(width) * height > kMaxPixels) return false;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return false;
  }
  // A new image surface is already all zero.
  surface_ = surface;
  width_ = width;
  height_ = height;
  return true;
}

void Canvas::fill(Colour colour) {
  if (surface_ == nullptr) return;
  cairo_surface_flush(surface_);
  unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  const uint32_t word = premultiply(colour);
  for (int y = 0; y < height_; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
    std::fill(row, row + width_, word);
  }
  cairo_surface_mark_dirty(surface_);
}

Colour Canvas::pixel(int x, int y) const {
  if (surface_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return {0, 0, 0, 0};
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  return unpremultiply(
      reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride)[x]);
}

void Canvas::drawPlainText(const Font& font, int x, int y, std::string_view line, Colour text,
                           Colour back) {
  if (surface_ == nullptr || !font) return;
  ScratchContext scratch;
  PangoLayout* layout = makeLayout(scratch.cr, font, line, TextMode::plain);
  PangoRectangle ink{};
  PangoRectangle logical{};
  pango_layout_get_pixel_extents(layout, &ink, &logical);

  // The glyphs as a two-level mask over the cell and whatever the ink
  // reaches beyond it (italic overhang, underline).
  const int left = std::min(ink.x, logical.x);
  const int top = std::min(ink.y, logical.y);
  const int right = std::max(ink.x + ink.width, logical.x + logical.width);
  const int bottom = std::max(ink.y + ink.height, logical.y + logical.height);
  const int maskWidth = right - left;
  const int maskHeight = bottom - top;
  if (maskWidth < 1 || maskHeight < 1) {
    g_object_unref(layout);
    return;
  }
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, maskWidth, maskHeight);
  if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(mask);
    g_object_unref(layout);
    return;
  }
  cairo_t* cr = cairo_create(mask);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  pango_cairo_update_layout(cr, layout);
  cairo_set_source_rgba(cr, 0, 0, 0, 1);
  cairo_move_to(cr, -left, -top);
  pango_cairo_show_layout(cr, layout);
  cairo_destroy(cr);
  g_object_unref(layout);
  cairo_surface_flush(mask);

  const unsigned char* maskData = cairo_image_surface_get_data(mask);
  const int maskStride = cairo_image_surface_get_stride(mask);
  cairo_surface_flush(surface_);
  unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  const uint32_t textWord = premultiply(text);
  const uint32_t backWord = premultiply(back);
  for (int my = 0; my < maskHeight; ++my) {
    const int cy = y + top + my;
    if (cy < 0 || cy >= height_) continue;
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(cy) * stride);
    const unsigned char* maskRow = maskData + static_cast<ptrdiff_t>(my) * maskStride;
    const int ly = top + my;
    const bool inCellRow = ly >= logical.y && ly < logical.y + logical.height;
    for (int mx = 0; mx < maskWidth; ++mx) {
      const int cx = x + left + mx;
      if (cx < 0 || cx >= width_) continue;
      const int lx = left + mx;
      if (maskRow[mx] >= 128)
        row[cx] = textWord;
      else if (inCellRow && lx >= logical.x && lx < logical.x + logical.width)
        row[cx] = backWord;
    }
  }
  cairo_surface_mark_dirty(surface_);
  cairo_surface_destroy(mask);
}

void Canvas::drawCanvas(const Canvas& source, int x, int y, int opacity) {
  if (surface_ == nullptr || source.surface_ == nullptr || &source == this) return;
  cairo_t* cr = cairo_create(surface_);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_set_source_surface(cr, source.surface_, x, y);
  cairo_paint_with_alpha(cr, clampOpacity(opacity) / 255.0);
  cairo_destroy(cr);
}

void Canvas::drawPictureReplacing(const Picture& picture, int x, int y, int opacity,
                                  PixelFilter filter) {
  if (surface_ == nullptr || !picture) return;
  const int a = clampOpacity(opacity);
  cairo_surface_flush(surface_);
  unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  for (int py = 0; py < picture.height; ++py) {
    const int cy = y + py;
    if (cy < 0 || cy >= height_) continue;
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(cy) * stride);
    for (int px = 0; px < picture.width; ++px) {
      const int cx = x + px;
      if (cx < 0 || cx >= width_) continue;
      Colour c = picture.at(px, py);
      if (filter != nullptr) c = filter(c);
      c.alpha = static_cast<uint8_t>((c.alpha * a + 127) / 255);
      row[cx] = premultiply(c);
    }
  }
  cairo_surface_mark_dirty(surface_);
}

// ---------------------------------------------------------------- Vector drawing

VectorDrawing::VectorDrawing(Canvas& canvas) {
  if (canvas.surface_ == nullptr) return;
  cairo_t* cr = cairo_create(canvas.surface_);
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr);
    return;
  }
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  context_ = cr;
}

VectorDrawing::~VectorDrawing() {
  if (context_ != nullptr) cairo_destroy(context_);
}

void VectorDrawing::fillPolygon(std::span<const PointF> points, Colour colour) {
  if (context_ == nullptr || points.size() < 3) return;
  cairo_new_path(context_);
  cairo_move_to(context_, points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) cairo_line_to(context_, points[i].x, points[i].y);
  cairo_close_path(context_);
  cairo_set_fill_rule(context_, CAIRO_FILL_RULE_WINDING);
  setSource(context_, colour);
  cairo_fill(context_);
}

void VectorDrawing::drawText(const Font& font, double x, double y, std::string_view line,
                             Colour colour) {
  if (context_ == nullptr || !font) return;
  PangoLayout* layout = makeLayout(context_, font, line, TextMode::vector);
  setSource(context_, colour);
  cairo_move_to(context_, x, y);
  pango_cairo_show_layout(context_, layout);
  cairo_new_path(context_);
  g_object_unref(layout);
}

void VectorDrawing::fill(Colour colour) {
  if (context_ == nullptr) return;
  setSource(context_, colour);
  cairo_paint(context_);
}

// ---------------------------------------------------------------- Hand-over

Image toFreeImage(const Canvas& canvas) {
  if (canvas.surface_ == nullptr) return {};
  Image image(FreeImage_Allocate(canvas.width_, canvas.height_, 32, FI_RGBA_RED_MASK,
                                 FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  if (!image) return {};
  cairo_surface_flush(canvas.surface_);
  const unsigned char* data = cairo_image_surface_get_data(canvas.surface_);
  const int stride = cairo_image_surface_get_stride(canvas.surface_);
  for (int y = 0; y < canvas.height_; ++y) {
    const auto* source = reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
    // FreeImage keeps the bottom row first.
    BYTE* target = FreeImage_GetScanLine(image.get(), canvas.height_ - 1 - y);
    for (int x = 0; x < canvas.width_; ++x) {
      const Colour c = unpremultiply(source[x]);
      BYTE* p = target + x * 4;
      p[FI_RGBA_RED] = c.red;
      p[FI_RGBA_GREEN] = c.green;
      p[FI_RGBA_BLUE] = c.blue;
      p[FI_RGBA_ALPHA] = c.alpha;
    }
  }
  FreeImage_SetTransparent(image.get(), TRUE);
  return image;
}

Image toFreeImageViaPng(const Canvas& canvas) {
  if (canvas.surface_ == nullptr) return {};
  std::vector<unsigned char> png;
  auto append = [](void* closure, const unsigned char* data, unsigned int length) {
    auto* bytes = static_cast<std::vector<unsigned char>*>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
  };
  if (cairo_surface_write_to_png_stream(canvas.surface_, append, &png) != CAIRO_STATUS_SUCCESS)
    return {};
  FIMEMORY* stream = FreeImage_OpenMemory(png.data(), static_cast<DWORD>(png.size()));
  if (stream == nullptr) return {};
  Image image(FreeImage_LoadFromMemory(FIF_PNG, stream, 0));
  FreeImage_CloseMemory(stream);
  return image;
}

}  // namespace trovabild
