#include "imaging/ico_guard.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <string_view>
#include <utility>

#include "base/files.h"

namespace trovabild {

namespace {

constexpr size_t kIconHeaderSize = 6;
constexpr size_t kDirectoryEntrySize = 16;
constexpr size_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr uint8_t kPngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr size_t kPngChunkOverhead = 12;  // length, type, CRC
constexpr size_t kPngHeadSize = 8 + kPngChunkOverhead + 13;  // signature, IHDR chunk

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

/// Marks the frame invalid for the reason given; false, for `return refuse(...)`.
bool refuse(IconFrameInfo& frame, std::string problem) {
  frame.valid = false;
  frame.problem = std::move(problem);
  return false;
}

std::string sizeText(int64_t width, int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

/// Empty when both sides are within 1 .. kMaxIconSide, else why not.
std::string sideProblem(int64_t width, int64_t height) {
  if (width < 1 || height < 1) return sizeText(width, height) + " is not a valid size";
  if (width > kMaxIconSide || height > kMaxIconSide)
    return sizeText(width, height) + " is over the side limit of " + std::to_string(kMaxIconSide);
  return {};
}

/// "truncated: its pixels need 4136 bytes, 1000 are there"
std::string truncated(const char* whatNeeds, uint64_t needed, size_t there) {
  return std::string("truncated: ") + whatNeeds + " " + std::to_string(needed) + " bytes, " +
         std::to_string(there) + " are there";
}

/// Bytes of one DWORD-aligned row of `width` pixels at `bpp` bits.
uint64_t rowBytes(uint64_t width, uint64_t bpp) { return (width * bpp + 31) / 32 * 4; }

/// Samples per pixel of a PNG colour type: grey, -, RGB, palette index,
/// grey and alpha, -, RGBA.
int pngChannels(uint8_t colourType) {
  constexpr int kChannels[] = {1, 0, 3, 1, 2, 0, 4};
  return colourType < std::size(kChannels) ? kChannels[colourType] : 0;
}

/// What a PNG's rows take once inflated: each row one filter byte and its
/// packed pixels; an interlaced image holds the seven Adam7 passes, each of
/// them rows of its own width (empty passes take nothing).
uint64_t pngImageBytes(uint64_t width, uint64_t height, uint64_t bitsPerPixel, bool interlaced) {
  const auto rows = [&](uint64_t w, uint64_t h) { return w == 0 ? 0 : h * (1 + (w * bitsPerPixel + 7) / 8); };
  if (!interlaced) return rows(width, height);
  struct Pass { uint64_t x, y, dx, dy; };
  constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                             {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  const auto span = [](uint64_t size, uint64_t start, uint64_t step) {
    return size > start ? (size - start + step - 1) / step : 0;
  };
  uint64_t total = 0;
  for (const Pass& p : kAdam7) total += rows(span(width, p.x, p.dx), span(height, p.y, p.dy));
  return total;
}

/// How many bytes the zlib stream split over `pieces` inflates to, counted
/// up to `limit` + 1: no more than that is ever inflated (into a small buffer
/// that is thrown away). A stream that breaks off or is damaged counts what
/// it gave before; the decoder judges it.
uint64_t inflatedSize(std::span<const std::span<const uint8_t>> pieces, uint64_t limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return 0;
  uint8_t sink[16 * 1024];
  uint64_t total = 0;
  int status = Z_OK;
  for (const std::span<const uint8_t> piece : pieces) {
    z.next_in = const_cast<Bytef*>(piece.data());  // zlib never writes through it
    z.avail_in = static_cast<uInt>(piece.size());    // a chunk is below 2^31 bytes
    do {
      const uInt room = static_cast<uInt>(std::min<uint64_t>(sizeof sink, limit + 1 - total));
      z.next_out = sink;
      z.avail_out = room;
      status = inflate(&z, Z_NO_FLUSH);
      total += room - z.avail_out;
    } while (status == Z_OK && total <= limit && (z.avail_in > 0 || z.avail_out == 0));
    // Z_BUF_ERROR: this piece is used up, the stream goes on in the next.
    if (total > limit || (status != Z_OK && status != Z_BUF_ERROR)) break;
  }
  inflateEnd(&z);
  return total;
}

/// Where the zlib stream starts in the data of a zTXt, iTXt or iCCP chunk;
/// nothing when it holds none (uncompressed iTXt) or is too broken for the
/// decoder to look for one.
std::optional<size_t> compressedStart(std::string_view type, std::span<const uint8_t> body) {
  const auto endOfText = [&](size_t from) -> std::optional<size_t> {
    for (size_t k = from; k < body.size(); ++k)
      if (body[k] == 0) return k;
    return std::nullopt;
  };
  const std::optional<size_t> keyword = endOfText(0);
  if (!keyword) return std::nullopt;
  if (type != "iTXt") return *keyword + 2;  // keyword, 0, compression method, stream
  // iTXt: keyword, 0, compression flag, method, language, 0, translated keyword, 0, text.
  const size_t flag = *keyword + 1;
  if (flag + 2 > body.size() || body[flag] != 1) return std::nullopt;
  const std::optional<size_t> language = endOfText(flag + 2);
  const std::optional<size_t> translated = language ? endOfText(*language + 1) : std::nullopt;
  if (!translated) return std::nullopt;
  return *translated + 1;
}

/// A PNG frame's image data: its IDAT chunks in order, and their layout.
struct PngImageData {
  std::vector<std::span<const uint8_t>> chunks;
  bool interlaced = false;
};

/// What compressed metadata may still inflate to, for the frame and the file.
struct MetadataShare {
  uint64_t frame = kMaxPngFrameMetadata;
  uint64_t& file;
};

/// Whether a compressed metadata chunk stays within its share; what it
/// inflates to comes off the share either way.
bool metadataFits(std::string_view type, std::span<const uint8_t> body, MetadataShare& share) {
  const std::optional<size_t> start = compressedStart(type, body);
  if (!start || *start > body.size()) return true;  // the decoder inflates nothing
  const uint64_t limit = std::min({kMaxPngChunkMetadata, share.frame, share.file});
  if (limit == 0) return false;  // the share is used up
  const std::span<const uint8_t> stream[] = {body.subspan(*start)};
  const uint64_t size = inflatedSize(stream, limit);
  share.frame -= std::min(size, share.frame);
  share.file -= std::min(size, share.file);
  return size <= limit;
}

// The PNG stream is read as the decoder reads it: chunk after chunk up to
// IEND, where it stops (the rest of the file is not the frame's). Every chunk
// must be there whole. Its image data (every IDAT chunk, in order) is
// gathered for inflatesWithinPixels; compressed metadata over its share is
// listed in `frame.leftOut`.
bool checkPngFrame(std::span<const uint8_t> bytes, IconFrameInfo& frame, MetadataShare share,
                   PngImageData& imageData) {
  if (bytes.size() < kPngHeadSize)
    return refuse(frame, truncated("its PNG header needs", kPngHeadSize, bytes.size()));
  const uint8_t* p = bytes.data() + 8;
  if (be32(p) != 13 || std::memcmp(p + 4, "IHDR", 4) != 0)
    return refuse(frame, "its PNG stream does not start with a header chunk (IHDR)");
  const uint32_t width = be32(p + 8), height = be32(p + 12);
  const uint8_t depth = p[16], colourType = p[17];
  imageData.interlaced = p[20] == 1;  // Adam7
  if (std::string problem = sideProblem(width, height); !problem.empty()) return refuse(frame, problem);
  if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16)
    return refuse(frame, "unsupported PNG bit depth " + std::to_string(depth));
  if (colourType != 0 && colourType != 2 && colourType != 3 && colourType != 4 && colourType != 6)
    return refuse(frame, "unsupported PNG colour type " + std::to_string(colourType));

  size_t at = 8;
  for (int chunks = 0;; ++chunks) {
    if (chunks == kMaxPngChunks)
      return refuse(frame, "its PNG stream holds more than " + std::to_string(kMaxPngChunks) + " chunks");
    if (at == bytes.size()) return refuse(frame, "its PNG stream ends without an end chunk (IEND)");
    const size_t left = bytes.size() - at;
    if (left < kPngChunkOverhead || be32(bytes.data() + at) > left - kPngChunkOverhead)
      return refuse(frame, "a PNG chunk runs past the end of the file");
    const size_t length = be32(bytes.data() + at);
    const std::string_view type(reinterpret_cast<const char*>(bytes.data() + at + 4), 4);
    const std::span<const uint8_t> body = bytes.subspan(at + 8, length);
    if (type == "IEND") break;
    if (type == "IDAT") imageData.chunks.push_back(body);
    if ((type == "zTXt" || type == "iTXt" || type == "iCCP") && !metadataFits(type, body, share))
      frame.leftOut.push_back({at, length + kPngChunkOverhead});
    at += length + kPngChunkOverhead;
  }
  if (imageData.chunks.empty()) return refuse(frame, "its PNG stream holds no image data (IDAT)");
  frame.png = true;
  frame.size = at + kPngChunkOverhead;
  frame.width = static_cast<int>(width);
  frame.height = static_cast<int>(height);
  frame.depth = depth * pngChannels(colourType);
  return true;
}

/// Whether a PNG frame's image data inflates to no more than its rows need.
/// libpng reads on to the end of the stream after the last row, so data past
/// the rows would cost whatever the stream holds.
bool inflatesWithinPixels(const PngImageData& imageData, IconFrameInfo& frame) {
  const uint64_t needed = pngImageBytes(static_cast<uint64_t>(frame.width), static_cast<uint64_t>(frame.height),
                                        static_cast<uint64_t>(frame.depth), imageData.interlaced);
  if (inflatedSize(imageData.chunks, needed) <= needed) return true;
  return refuse(frame, "PNG image data inflates past what its " + sizeText(frame.width, frame.height) +
                           " pixels need");
}

// The decoder reads the header, a full palette for 1 to 8 bits (whatever
// biClrUsed says), the colour rows and, when a frame is loaded with its AND
// mask turned into alpha, the mask rows; it never looks at the directory's
// byte count. So neither does this check: `bytes` runs to the end of the
// file, and the frame is what its header says it needs. Below 32 bits the
// mask must be there. At 32 bits it may be missing, and there the directory
// decides: a mask beyond its byte count is not the frame's.
bool checkBitmapFrame(std::span<const uint8_t> bytes, size_t directorySize, IconFrameInfo& frame) {
  if (bytes.size() < kInfoHeaderSize)
    return refuse(frame, truncated("its header needs", kInfoHeaderSize, bytes.size()));
  const uint8_t* h = bytes.data();
  const uint32_t headerSize = le32(h);
  const int32_t width = static_cast<int32_t>(le32(h + 4));
  const int32_t doubleHeight = static_cast<int32_t>(le32(h + 8));
  const uint16_t planes = le16(h + 12), bpp = le16(h + 14);
  const uint32_t compression = le32(h + 16);
  if (headerSize != kInfoHeaderSize)
    return refuse(frame, "unsupported bitmap header size " + std::to_string(headerSize));
  // Some writers leave planes 0.
  if (planes > 1) return refuse(frame, "unsupported plane count " + std::to_string(planes));
  if (compression != 0) return refuse(frame, "compressed bitmaps are not read");
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return refuse(frame, "unsupported bit depth " + std::to_string(bpp));
  const int32_t height = doubleHeight / 2;
  if (std::string problem = sideProblem(width, height); !problem.empty()) return refuse(frame, problem);
  const uint64_t colourRow = rowBytes(static_cast<uint64_t>(width), bpp);
  const uint64_t maskRow = rowBytes(static_cast<uint64_t>(width), 1);
  uint64_t maskAt = kInfoHeaderSize;
  if (bpp <= 8) maskAt += (uint64_t{1} << bpp) * 4;
  maskAt += static_cast<uint64_t>(height) * colourRow;
  const uint64_t maskEnd = maskAt + static_cast<uint64_t>(height) * maskRow;
  frame.maskOffset = maskAt;
  frame.hasMask = maskEnd <= bytes.size() && (bpp < 32 || maskEnd <= directorySize);
  if (bpp < 32 && !frame.hasMask)
    return refuse(frame, truncated("its pixels and mask need", maskEnd, bytes.size()));
  if (maskAt > bytes.size()) return refuse(frame, truncated("its pixels need", maskAt, bytes.size()));
  frame.size = static_cast<size_t>(frame.hasMask ? maskEnd : maskAt);
  if (bpp < 32) {
    // Only a mask that hides something needs the frame turned into RGBA.
    const uint8_t* mask = h + maskAt;
    const uint64_t fullBytes = static_cast<uint64_t>(width) / 8;
    const uint8_t tailBits = static_cast<uint8_t>(0xFF00 >> (width % 8));
    for (int32_t y = 0; y < height && !frame.masked; ++y, mask += maskRow) {
      for (uint64_t i = 0; i < fullBytes && !frame.masked; ++i) frame.masked = mask[i] != 0;
      if (tailBits != 0 && (mask[fullBytes] & tailBits) != 0) frame.masked = true;
    }
  } else {
    // Old 32-bit icons leave the alpha bytes zero and keep their shape in
    // the AND mask alone.
    frame.alphaUnused = true;
    const uint8_t* row = h + maskAt - static_cast<uint64_t>(height) * colourRow;
    for (int32_t y = 0; y < height && frame.alphaUnused; ++y, row += colourRow)
      for (int32_t x = 0; x < width; ++x)
        if (row[x * 4 + 3] != 0) {
          frame.alphaUnused = false;
          break;
        }
  }
  frame.width = width;
  frame.height = height;
  frame.bpp = bpp;
  frame.depth = bpp;
  return true;
}

/// Nothing, with the reason in `*problem` when asked for.
std::nullopt_t unfit(std::string* problem, std::string reason) {
  if (problem != nullptr) *problem = std::move(reason);
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<IconFrameInfo>> inspectIcon(std::span<const uint8_t> data, std::string* problem) {
  if (data.size() > kMaxIconFileSize)
    return unfit(problem, "the file holds " + std::to_string(data.size()) + " bytes; at most " +
                              std::to_string(kMaxIconFileSize) + " are read");
  if (data.size() < kIconHeaderSize) return unfit(problem, "not an icon");
  const uint16_t reserved = le16(data.data()), type = le16(data.data() + 2);
  const uint16_t count = le16(data.data() + 4);
  if (reserved != 0 || type != 1) return unfit(problem, "not an icon");
  if (count < 1) return unfit(problem, "the icon claims 0 images");
  if (count > kMaxIconFrames)
    return unfit(problem, "the icon claims " + std::to_string(count) + " images; at most " +
                              std::to_string(kMaxIconFrames) + " are read");
  const size_t directoryEnd = kIconHeaderSize + count * kDirectoryEntrySize;
  if (directoryEnd > data.size()) return unfit(problem, "the icon's directory runs past the end of the file");

  std::vector<IconFrameInfo> frames(count);
  std::vector<PngImageData> imageData(count);
  uint64_t metadataLeft = kMaxIconMetadata;
  int64_t pixels = 0;
  for (size_t k = 0; k < count; ++k) {
    const uint8_t* entry = data.data() + kIconHeaderSize + k * kDirectoryEntrySize;
    const size_t size = le32(entry + 8), offset = le32(entry + 12);
    IconFrameInfo& frame = frames[k];
    // The frame starts inside the file, after the directory. Its byte count
    // is often wrong in real icons and is not trusted: a frame's bytes are
    // bounded by what it needs and by the end of the file.
    if (offset < directoryEnd) {
      refuse(frame, "its data starts before the directory ends");
      continue;
    }
    if (offset > data.size()) {
      refuse(frame, "its data starts past the end of the file");
      continue;
    }
    frame.offset = offset;
    const std::span<const uint8_t> bytes = data.subspan(offset);
    const bool isPng = bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0;
    frame.valid = isPng ? checkPngFrame(bytes, frame, MetadataShare{.file = metadataLeft}, imageData[k])
                        : checkBitmapFrame(bytes, size, frame);
    if (frame.valid) pixels += int64_t{frame.width} * frame.height;
  }
  if (pixels > kMaxIconPixels)
    return unfit(problem, "the images hold " + std::to_string(pixels) + " pixels in all; at most " +
                              std::to_string(kMaxIconPixels) + " are read");
  // Within the pixel limit, inflating the image data here costs no more than
  // decoding it does.
  bool anyValid = false;
  for (size_t k = 0; k < count; ++k) {
    IconFrameInfo& frame = frames[k];
    if (frame.valid && frame.png) inflatesWithinPixels(imageData[k], frame);
    anyValid = anyValid || frame.valid;
  }
  if (!anyValid) return unfit(problem, "no image could be read: image 1: " + frames[0].problem);
  return frames;
}

std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path, size_t maxSize) {
  uint64_t size = 0;
  const int fd = openRegularFile(path, maxSize, &size);
  if (fd < 0) return std::nullopt;
  // Never more than the size seen at open, even if the file grows meanwhile.
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  bytes.resize(got);
  return bytes;
}

}  // namespace trovabild
