#include "imaging/output_depth.h"

#include "base/files.h"
#include "imaging/format_registry.h"
#include "settings/setting_table.h"
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

// A palette image whose palette is not the plain grey ramp.
bool colourPalette(const Image& image) {
  return image && image.bpp() <= 8 && FreeImage_GetColorType(image.get()) != FIC_MINISBLACK;
}

bool losesColour(std::string_view extension, int target) {
  return target == 1 || target == 4 || (target == 8 && greyEightBits(extension));
}

}  // namespace

int saveFlagsFor(std::string_view extension, const Settings& settings) {
  if (extension == "bmp") return pick({BMP_DEFAULT, BMP_SAVE_RLE}, settings.bmpCompression);
  if (extension == "exr")
    return pick({EXR_NONE, EXR_ZIP, EXR_PIZ, EXR_PXR24, EXR_B44}, settings.exrCompression);
  if (extension == "jpg") {
    // Outside its range the quality is left to the encoder.
    const int quality = withinRange(&Settings::jpgQuality, settings.jpgQuality) ? settings.jpgQuality : 0;
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
    return withinRange(&Settings::webpQuality, settings.webpQuality) ? settings.webpQuality : 0;
  }
  return 0;  // the format's default; for pbm, pgm and ppm that is the raw encoding
}

int automaticDepth(const Image& image, std::string_view extension, int sourceBpp) {
  int target = chooseDepth(extension, sourceBpp);
  // A palette frame is usually true colour by now (its mask became alpha and
  // it was flattened); its small source depth must not make it grey.
  if (image.bpp() > 8 && losesColour(extension, target)) target = chooseDepth(extension, 24);
  // An 8-bit JPEG family file is grey; a colour palette reaching it is
  // written as 24-bit colour by the encoder, so that is its depth.
  if (target == 8 && greyEightBits(extension) && colourPalette(image)) target = chooseDepth(extension, 24);
  return target;
}

Image convertToOutputDepth(Image image, std::string_view extension, int targetBpp) {
  if (!image) return image;
  const int bpp = image.bpp();
  const int target = targetBpp;
  FIBITMAP* source = image.get();
  // Asked for 8 bits, the JPEG family gets grey: a colour palette would be
  // written as 24-bit colour.
  if (target == 8 && greyEightBits(extension) && colourPalette(image)) return Image(FreeImage_ConvertToGreyscale(source));
  if (bpp == target) return image;
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

bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes, std::pair<dev_t, ino_t>* written) {
  if (path.empty() || path.back() == '/') return false;
  // A hidden name in the same folder: the rename then stays on one file
  // system, and a failed or interrupted write never touches the target.
  ReplacingFile file;
  if (!file.create(path)) return false;
  if (!file.write(bytes.data(), bytes.size()) || file.failed()) {
    file.discard();
    return false;
  }
  if (!file.commit()) return false;
  if (written != nullptr) *written = file.identity();
  return true;
}

bool saveImage(const Image& image, int fif, const std::string& path, int flags) {
  if (!image || path.empty() || path.back() == '/') return false;
  const std::optional<std::vector<uint8_t>> bytes = encodeImage(image, fif, flags);
  return bytes && writeFileReplacing(path, *bytes);
}

}  // namespace trovabild
