#include "imaging/output_depth.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "imaging/format_registry.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

/// `code`-th entry of `flags`, or 0 for a code outside the table.
template <size_t N>
int pick(const int (&flags)[N], int code) {
  return code >= 0 && static_cast<size_t>(code) < N ? flags[code] : 0;
}

/// Formats whose 8-bit conversion is FreeImage_ConvertTo8Bits (greyscale for
/// true-colour input) rather than a colour quantisation.
bool greyEightBits(std::string_view extension) {
  return extension == "j2k" || extension == "jp2" || extension == "jpg" || extension == "jxr";
}

bool losesColour(std::string_view extension, int target) {
  return target == 1 || target == 4 || (target == 8 && greyEightBits(extension));
}

std::string uniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%d-%u-%llx", static_cast<int>(getpid()), counter++,
                static_cast<unsigned long long>(ticks) & 0xFFFFFFu);
  return buffer;
}

}  // namespace

int saveFlagsFor(std::string_view extension, const Settings& settings) {
  if (extension == "bmp") return pick({BMP_DEFAULT, BMP_SAVE_RLE}, settings.bmpCompression);
  if (extension == "exr")
    return pick({EXR_NONE, EXR_ZIP, EXR_PIZ, EXR_PXR24, EXR_B44}, settings.exrCompression);
  if (extension == "jpg") {
    const int quality = settings.jpgQuality >= 1 && settings.jpgQuality <= 100 ? settings.jpgQuality : 0;
    return quality |
           pick({JPEG_SUBSAMPLING_444, JPEG_SUBSAMPLING_422, JPEG_SUBSAMPLING_420, JPEG_SUBSAMPLING_411},
                settings.jpgChroma) |
           pick({0, JPEG_BASELINE, JPEG_OPTIMIZE, JPEG_PROGRESSIVE}, settings.jpgSaveAs);
  }
  if (extension == "jxr") return JXR_LOSSLESS;
  if (extension == "png")
    return pick({PNG_Z_NO_COMPRESSION, PNG_Z_BEST_SPEED, PNG_Z_DEFAULT_COMPRESSION, PNG_Z_BEST_COMPRESSION},
                settings.pngCompression) |
           (settings.pngInterlaced ? PNG_INTERLACED : 0);
  if (extension == "tga") return pick({TARGA_DEFAULT, TARGA_SAVE_RLE}, settings.tgaCompression);
  if (extension == "tiff")
    return pick({TIFF_NONE, TIFF_CCITTFAX3, TIFF_CCITTFAX4, TIFF_PACKBITS, TIFF_DEFLATE, TIFF_ADOBE_DEFLATE,
                 TIFF_LZW, TIFF_JPEG, TIFF_LOGLUV},
                settings.tiffCompression) |
           (settings.tiffColorMode == 1 ? TIFF_CMYK : 0);
  if (extension == "webp") {
    if (settings.webpQuality == 100) return WEBP_LOSSLESS;
    return settings.webpQuality >= 1 && settings.webpQuality <= 99 ? settings.webpQuality : 0;
  }
  return 0;  // the format's default; for pbm, pgm and ppm that is the raw encoding
}

int automaticDepth(const Image& image, std::string_view extension, int sourceBpp) {
  int target = chooseDepth(extension, sourceBpp);
  // A palette frame is usually true colour by now (its mask became alpha and
  // it was flattened); its small source depth must not make it grey.
  if (image.bpp() > 8 && losesColour(extension, target)) target = chooseDepth(extension, 24);
  return target;
}

Image convertToOutputDepth(Image image, std::string_view extension, int targetBpp) {
  if (!image) return image;
  const int bpp = image.bpp();
  const int target = targetBpp;
  if (bpp == target) return image;
  FIBITMAP* source = image.get();
  switch (target) {
    case 96: return Image(FreeImage_ConvertToRGBF(source));
    case 48: return Image(FreeImage_ConvertToRGB16(source));
    case 32: return Image(FreeImage_ConvertTo32Bits(source));
    case 24: return Image(FreeImage_ConvertTo24Bits(source));
    case 16:
      if (bpp > 32) {
        image = Image(FreeImage_ConvertTo24Bits(source));
        if (!image) return image;
      }
      if (extension == "ico" || extension == "tga")
        return Image(FreeImage_ConvertTo16Bits555(image.get()));
      return Image(FreeImage_ConvertTo16Bits565(image.get()));
    case 8:
      if (greyEightBits(extension)) return Image(FreeImage_ConvertTo8Bits(source));
      if (bpp != 24) {
        image = Image(FreeImage_ConvertTo24Bits(source));
        if (!image) return image;
      }
      return Image(FreeImage_ColorQuantizeEx(image.get(), FIQ_WUQUANT, 256, 0, nullptr));
    case 4: return Image(FreeImage_ConvertTo4Bits(source));
    case 1: return Image(FreeImage_Dither(source, FID_FS));
    default: return Image();
  }
}

std::optional<std::vector<uint8_t>> encodeImage(const Image& image, int fif, int flags) {
  if (!image) return std::nullopt;
  FIMEMORY* memory = FreeImage_OpenMemory();
  if (memory == nullptr) return std::nullopt;
  std::optional<std::vector<uint8_t>> bytes;
  if (FreeImage_SaveToMemory(static_cast<FREE_IMAGE_FORMAT>(fif), image.get(), memory, flags)) {
    BYTE* data = nullptr;
    DWORD size = 0;
    if (FreeImage_AcquireMemory(memory, &data, &size)) bytes.emplace(data, data + size);
  }
  FreeImage_CloseMemory(memory);
  return bytes;
}

bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (path.empty() || path.back() == '/') return false;
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  // A short hidden name in the same folder: the rename then stays on one file
  // system and the name fits whatever the target's length.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0;; ++attempt) {
    temporary = folder + ".trovabild-" + uniqueSuffix() + ".tmp";
    fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) break;
    if (errno != EEXIST || attempt >= 100) return false;
  }
  bool saved = true;
  for (size_t done = 0; saved && done < bytes.size();) {
    const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) saved = false;
    else done += static_cast<size_t>(written);
  }
  if (close(fd) != 0) saved = false;
  if (saved) saved = std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!saved) unlink(temporary.c_str());
  return saved;
}

bool saveImage(const Image& image, int fif, const std::string& path, int flags) {
  if (!image || path.empty() || path.back() == '/') return false;
  const std::optional<std::vector<uint8_t>> bytes = encodeImage(image, fif, flags);
  return bytes && writeFileReplacing(path, *bytes);
}

}  // namespace trovabild
