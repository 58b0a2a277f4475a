// Feeds arbitrary bytes to the icon conversion as the batch runs it: the
// structure checks, the decoder, every pipeline step and the save; then the
// same bytes as the image watermark's picture, through its loader and onto a
// frame. A run fails on any crash or sanitizer report, and when an output is
// left empty or a temporary file survives.
//
// With TROVABILD_FUZZ_SEEDS=<folder> in the environment the target writes a
// small seed corpus there instead and ends.

#include <FreeImage.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "batch/file_conversion.h"
#include "batch/input_list.h"
#include "imaging/drawing.h"
#include "imaging/format_registry.h"
#include "imaging/watermark.h"
#include "settings/settings.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string outputFolder;

void put16(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}

/// A bitmap frame of the given depth with a diagonal pattern and a masked corner.
Bytes bitmapFrame(int side, int bpp) {
  Bytes b;
  put32(b, 0, 40);
  put32(b, 4, side);
  put32(b, 8, side * 2);
  put16(b, 12, 1);
  put16(b, 14, bpp);
  b.resize(40, 0);
  if (bpp <= 8)
    for (int i = 0; i < (1 << bpp); ++i) {
      b.push_back(static_cast<uint8_t>(i * 40));
      b.push_back(static_cast<uint8_t>(255 - i * 20));
      b.push_back(static_cast<uint8_t>(i * 90));
      b.push_back(0);
    }
  const size_t row = static_cast<size_t>((side * bpp + 31) / 32 * 4);
  for (int y = 0; y < side; ++y)
    for (size_t i = 0; i < row; ++i) b.push_back(static_cast<uint8_t>((y * 7 + i * 13) & 0xFF));
  const size_t maskRow = static_cast<size_t>((side + 31) / 32 * 4);
  for (int y = 0; y < side; ++y)
    for (size_t i = 0; i < maskRow; ++i) b.push_back(y < side / 2 && i == 0 ? 0xF0 : 0x00);
  return b;
}

Bytes saved(FIBITMAP* image, FREE_IMAGE_FORMAT format, int flags) {
  FIMEMORY* memory = FreeImage_OpenMemory();
  FreeImage_SaveToMemory(format, image, memory, flags);
  BYTE* data = nullptr;
  DWORD length = 0;
  FreeImage_AcquireMemory(memory, &data, &length);
  Bytes bytes(data, data + length);
  FreeImage_CloseMemory(memory);
  FreeImage_Unload(image);
  return bytes;
}

Bytes pngFrame(int side, int flags = PNG_Z_BEST_SPEED) {
  FIBITMAP* image = FreeImage_Allocate(side, side, 32);
  for (int y = 0; y < side; ++y) {
    BYTE* p = FreeImage_GetScanLine(image, y);
    for (int x = 0; x < side; ++x, p += 4) {
      p[FI_RGBA_RED] = static_cast<BYTE>(x * 8);
      p[FI_RGBA_GREEN] = static_cast<BYTE>(y * 8);
      p[FI_RGBA_BLUE] = 128;
      p[FI_RGBA_ALPHA] = static_cast<BYTE>(x < side / 2 ? 255 : 0);
    }
  }
  return saved(image, FIF_PNG, flags);
}

Bytes deflated(const Bytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes stream(size);
  compress2(stream.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION);
  stream.resize(size);
  return stream;
}

Bytes pngChunk(const char* type, const Bytes& data) {
  Bytes b;
  const auto put = [&](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
  };
  put(static_cast<uint32_t>(data.size()));
  b.insert(b.end(), type, type + 4);
  b.insert(b.end(), data.begin(), data.end());
  put(static_cast<uint32_t>(crc32(0, b.data() + 4, static_cast<uInt>(b.size() - 4))));
  return b;
}

/// A zTXt or iTXt chunk, or an iCCP chunk holding a profile header, whose
/// zlib stream inflates to `size` bytes.
Bytes compressedChunk(const char* type, const char* keyword, size_t size) {
  Bytes data(keyword, keyword + std::strlen(keyword) + 1);
  const std::string_view kind(type, 4);
  if (kind == "iTXt") data.insert(data.end(), {1, 0, 0, 0});  // compressed, no language or translation
  else data.push_back(0);                                       // compression method
  Bytes content(size, kind == "iCCP" ? 0 : 'a');
  if (kind == "iCCP" && size >= 132) {
    for (int k = 0; k < 4; ++k) content[k] = static_cast<uint8_t>(size >> (24 - 8 * k));
    std::memcpy(&content[12], "mntrRGB XYZ ", 12);
    std::memcpy(&content[36], "acsp", 4);
  }
  const Bytes stream = deflated(content);
  data.insert(data.end(), stream.begin(), stream.end());
  return pngChunk(type, data);
}

/// A PNG frame with the chunks right after its header (IHDR).
Bytes withChunks(Bytes png, const std::vector<Bytes>& chunks) {
  constexpr size_t kAfterHeader = 8 + 12 + 13;
  for (auto chunk = chunks.rbegin(); chunk != chunks.rend(); ++chunk)
    png.insert(png.begin() + kAfterHeader, chunk->begin(), chunk->end());
  return png;
}

/// An RGBA PNG whose image data is all its rows (zero) and `surplus` bytes more.
Bytes pngWithSurplus(uint32_t side, size_t surplus) {
  Bytes header;
  for (const uint32_t v : {side, side})
    for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<uint8_t>(v >> shift));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, not interlaced
  const Bytes rows(side * (1 + side * 4) + surplus, 0);  // each row a filter byte and its pixels
  Bytes png = {137, 80, 78, 71, 13, 10, 26, 10};
  for (const Bytes& chunk : {pngChunk("IHDR", header), pngChunk("IDAT", deflated(rows)), pngChunk("IEND", {})})
    png.insert(png.end(), chunk.begin(), chunk.end());
  return png;
}

/// A GIF in sixteen shades of grey, for the watermark picture's GIF path.
Bytes gifPicture(int side) {
  FIBITMAP* image = FreeImage_Allocate(side, side, 8);
  RGBQUAD* palette = FreeImage_GetPalette(image);
  for (int i = 0; i < 256; ++i) {
    const BYTE grey = static_cast<BYTE>(i);
    palette[i] = RGBQUAD{grey, grey, grey, 0};
  }
  for (int y = 0; y < side; ++y) {
    BYTE* p = FreeImage_GetScanLine(image, y);
    for (int x = 0; x < side; ++x) p[x] = static_cast<BYTE>((x + y) * 16);
  }
  return saved(image, FIF_GIF, 0);
}

Bytes icoFile(const std::vector<Bytes>& frames) {
  Bytes b;
  put16(b, 2, 1);
  put16(b, 4, static_cast<uint32_t>(frames.size()));
  size_t offset = 6 + 16 * frames.size();
  for (size_t k = 0; k < frames.size(); ++k) {
    put16(b, 6 + 16 * k + 4, 1);
    put32(b, 6 + 16 * k + 8, static_cast<uint32_t>(frames[k].size()));
    put32(b, 6 + 16 * k + 12, static_cast<uint32_t>(offset));
    offset += frames[k].size();
  }
  for (const Bytes& frame : frames) b.insert(b.end(), frame.begin(), frame.end());
  return b;
}

void writeSeeds(const std::string& folder) {
  const std::vector<std::pair<const char*, Bytes>> seeds = {
      {"mono", icoFile({bitmapFrame(16, 1)})},
      {"palette4", icoFile({bitmapFrame(16, 4)})},
      {"palette8", icoFile({bitmapFrame(16, 8)})},
      {"rgb16", icoFile({bitmapFrame(16, 16)})},
      {"rgb24", icoFile({bitmapFrame(16, 24)})},
      {"rgba32", icoFile({bitmapFrame(16, 32)})},
      {"png", icoFile({pngFrame(16)})},
      {"mixed", icoFile({bitmapFrame(8, 4), bitmapFrame(16, 32), pngFrame(12)})},
      {"short-count", [] {
         // Real icons often count too few bytes for a frame; the header decides.
         Bytes b = icoFile({bitmapFrame(16, 8), bitmapFrame(16, 24)});
         put32(b, 6 + 8, 40);
         return b;
       }()},
      {"png-interlaced", icoFile({pngFrame(13, PNG_INTERLACED)})},
      // Compressed metadata past its bounds: left out of what the decoder reads.
      {"png-ztxt-over", icoFile({withChunks(pngFrame(16), {compressedChunk("zTXt", "Big", 1100000),
                                                           compressedChunk("zTXt", "Small", 50)})})},
      {"png-itxt-over", icoFile({withChunks(pngFrame(16), {compressedChunk("iTXt", "Big", 1100000),
                                                           compressedChunk("iTXt", "Small", 50)})})},
      {"png-iccp-over", icoFile({withChunks(pngFrame(16), {compressedChunk("iCCP", "icc", 1100000)})})},
      // Image data that inflates past what the rows need.
      {"png-idat-surplus", icoFile({pngWithSurplus(16, 64 * 1024)})},
      {"plain-png", pngFrame(16)},  // watermark pictures that are no icon
      {"plain-gif", gifPicture(16)},
  };
  for (const auto& [name, bytes] : seeds) {
    const std::string path = folder + "/" + name + ".ico";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::exit(1);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
}

/// Ends the run loudly when a file other than the named outputs is present.
void checkOutputFolder(const std::vector<std::string>& written) {
  DIR* folder = opendir(outputFolder.c_str());
  if (folder == nullptr) std::abort();
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = outputFolder + name;
    bool expected = false;
    for (const std::string& w : written) expected = expected || w == path;
    struct stat info {};
    if (!expected || stat(path.c_str(), &info) != 0 || info.st_size == 0) {
      std::fprintf(stderr, "unexpected or empty file left behind: %s\n", path.c_str());
      std::abort();
    }
  }
  closedir(folder);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* seeds = std::getenv("TROVABILD_FUZZ_SEEDS")) {
    writeSeeds(seeds);
    std::exit(0);
  }
  char pattern[] = "/tmp/trovabild-fuzz-XXXXXX";
  if (mkdtemp(pattern) == nullptr) std::abort();
  outputFolder = std::string(pattern) + "/";
  std::atexit([] { rmdir(outputFolder.c_str()); });
  trovabild::resetSettings(true);
  trovabild::resetJob();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace trovabild;
  // The input's length picks the output format, so every depth path is reached.
  static const char* const kFormats[] = {"jpg", "png", "bmp", "gif"};
  const std::string extension = kFormats[size % 4];
  RunPlan plan;
  plan.outputFolder = outputFolder;
  plan.filenameMask = "out.%ext%";
  plan.pipeline = pipelineOptions(settings);
  plan.pipeline.icoFrameLoading = 0;
  plan.pipeline.output = outputOptionsFor(settings, extension);

  std::vector<std::string> written;
  const FileValues file{outputFolder + "in.ico", "", {}};
  const bool saved =
      writeOutputs(plan, file, convertIconData(std::span<const uint8_t>(data, size), plan, file), written);
  if (saved && written.empty()) std::abort();
  checkOutputFolder(written);
  for (const std::string& path : written) unlink(path.c_str());

  // The watermark picture's path: the loader's checks, the overlay and its
  // placement over a frame.
  const Picture picture = loadPictureFrom(std::span<const uint8_t>(data, size), "mark.ico");
  if (picture && (picture.width < 1 || picture.height < 1 ||
                  picture.pixels.size() != static_cast<size_t>(picture.width) * picture.height))
    std::abort();
  if (picture) {
    const std::string mark = outputFolder + "mark.ico";
    FILE* file = std::fopen(mark.c_str(), "wb");
    if (file == nullptr) std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    WatermarkOptions watermark;
    watermark.type = 2;
    watermark.image.path = mark;
    watermark.image.placement.position = static_cast<int32_t>(size % 9);
    watermark.image.picture = loadWatermarkPicture(mark);
    if (!watermark.image.picture) std::abort();
    Image marked = applyWatermark(Image(FreeImage_Allocate(32, 32, 24)), watermark, "", 32, 32, FrameOptions{});
    if (!marked) std::abort();
    unlink(mark.c_str());
  }
  return 0;
}
