#include "imaging/output_depth.h"

#include "app/files.h"
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

// FreeImage's writers go through these, so every write of the save is
// checked and lands in the temporary file.
unsigned DLL_CALLCONV writeProc(void* data, unsigned size, unsigned count, fi_handle handle) {
  auto* file = static_cast<ReplacingFile*>(handle);
  if (size == 0 || count == 0) return 0;
  return file->write(data, size_t{size} * count) ? count : 0;
}

unsigned DLL_CALLCONV readProc(void* data, unsigned size, unsigned count, fi_handle handle) {
  auto* file = static_cast<ReplacingFile*>(handle);
  if (size == 0 || count == 0) return 0;
  const ssize_t got = file->read(data, size_t{size} * count);
  return got > 0 ? static_cast<unsigned>(static_cast<size_t>(got) / size) : 0;
}

int DLL_CALLCONV seekProc(fi_handle handle, long offset, int origin) {
  return static_cast<ReplacingFile*>(handle)->seek(offset, origin) ? 0 : -1;
}

long DLL_CALLCONV tellProc(fi_handle handle) {
  return static_cast<long>(static_cast<ReplacingFile*>(handle)->tell());
}

}  // namespace

int saveFlagsFor(std::string_view extension) {
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

int automaticDepth(const Image& image) {
  const std::string& extension = job.outputExtension;
  int target = chooseDepth(extension, job.sourceBpp);
  // A palette frame is usually true colour by now (its mask became alpha and
  // it was flattened); its small source depth must not make it grey.
  if (image.bpp() > 8 && losesColour(extension, target)) target = chooseDepth(extension, 24);
  return target;
}

Image convertToOutputDepth(Image image) {
  if (!image) return image;
  if (job.autoBpp) job.targetBpp = automaticDepth(image);
  const int bpp = image.bpp();
  const int target = job.targetBpp;
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
      if (job.outputExtension == "ico" || job.outputExtension == "tga")
        return Image(FreeImage_ConvertTo16Bits555(image.get()));
      return Image(FreeImage_ConvertTo16Bits565(image.get()));
    case 8:
      if (greyEightBits(job.outputExtension)) return Image(FreeImage_ConvertTo8Bits(source));
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

bool saveImage(const Image& image, int fif, const std::string& path, int flags) {
  if (!image || path.empty() || path.back() == '/') return false;
  // A hidden name in the same folder: the rename then stays on one file
  // system, and a failed or interrupted save never touches the target.
  ReplacingFile file;
  if (!file.create(path)) return false;
  FreeImageIO io{};
  io.read_proc = readProc;
  io.write_proc = writeProc;
  io.seek_proc = seekProc;
  io.tell_proc = tellProc;
  const bool written = FreeImage_SaveToHandle(static_cast<FREE_IMAGE_FORMAT>(fif), image.get(), &io,
                                              static_cast<fi_handle>(&file), flags) != 0;
  if (!written || file.failed()) {
    file.discard();
    return false;
  }
  return file.commit();
}

}  // namespace trovabild
