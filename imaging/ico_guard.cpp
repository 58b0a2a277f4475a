#include "imaging/ico_guard.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

#include "base/files.h"

namespace trovabild {

namespace {

constexpr size_t kIconHeaderSize = 6;
constexpr size_t kDirectoryEntrySize = 16;
constexpr size_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr uint8_t kPngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr size_t kPngHeadSize = 8 + 8 + 13 + 4;  // signature, IHDR chunk with its CRC

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

/// Bytes of one DWORD-aligned row of `width` pixels at `bpp` bits.
uint64_t rowBytes(uint64_t width, uint64_t bpp) { return (width * bpp + 31) / 32 * 4; }

/// Samples per pixel of a PNG colour type: grey, -, RGB, palette index,
/// grey and alpha, -, RGBA.
int pngChannels(uint8_t colourType) {
  constexpr int kChannels[] = {1, 0, 3, 1, 2, 0, 4};
  return colourType < std::size(kChannels) ? kChannels[colourType] : 0;
}

bool checkPngFrame(std::span<const uint8_t> bytes, IconFrameInfo& frame) {
  if (bytes.size() < kPngHeadSize) return false;
  const uint8_t* p = bytes.data() + 8;
  if (be32(p) != 13 || std::memcmp(p + 4, "IHDR", 4) != 0) return false;
  const uint32_t width = be32(p + 8), height = be32(p + 12);
  const uint8_t depth = p[16], colourType = p[17];
  if (width < 1 || width > kMaxIconSide || height < 1 || height > kMaxIconSide) return false;
  if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) return false;
  if (colourType != 0 && colourType != 2 && colourType != 3 && colourType != 4 && colourType != 6)
    return false;
  // A PNG stream carries its own end (IEND), where the decoder stops; it
  // may run on to the end of the file.
  frame.png = true;
  frame.size = bytes.size();
  frame.width = static_cast<int>(width);
  frame.height = static_cast<int>(height);
  frame.depth = depth * pngChannels(colourType);
  return true;
}

// The decoder reads the header, a full palette for 1 to 8 bits (whatever
// biClrUsed says), the colour rows and, when a frame is loaded with its AND
// mask turned into alpha, the mask rows; it never looks at the directory's
// byte count. So neither does this check: `bytes` runs to the end of the
// file, and the frame is what its header says it needs. Below 32 bits the
// mask must be there. At 32 bits it may be missing, and there the directory
// decides: a mask beyond its byte count is not the frame's.
bool checkBitmapFrame(std::span<const uint8_t> bytes, size_t directorySize, IconFrameInfo& frame) {
  if (bytes.size() < kInfoHeaderSize) return false;
  const uint8_t* h = bytes.data();
  const uint32_t headerSize = le32(h);
  const int32_t width = static_cast<int32_t>(le32(h + 4));
  const int32_t doubleHeight = static_cast<int32_t>(le32(h + 8));
  const uint16_t planes = le16(h + 12), bpp = le16(h + 14);
  const uint32_t compression = le32(h + 16);
  if (headerSize != kInfoHeaderSize) return false;
  if (planes > 1 || compression != 0) return false;  // some writers leave planes 0
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  const int32_t height = doubleHeight / 2;
  if (width < 1 || width > kMaxIconSide || height < 1 || height > kMaxIconSide) return false;
  const uint64_t colourRow = rowBytes(static_cast<uint64_t>(width), bpp);
  const uint64_t maskRow = rowBytes(static_cast<uint64_t>(width), 1);
  uint64_t maskAt = kInfoHeaderSize;
  if (bpp <= 8) maskAt += (uint64_t{1} << bpp) * 4;
  maskAt += static_cast<uint64_t>(height) * colourRow;
  const uint64_t maskEnd = maskAt + static_cast<uint64_t>(height) * maskRow;
  frame.maskOffset = maskAt;
  frame.hasMask = maskEnd <= bytes.size() && (bpp < 32 || maskEnd <= directorySize);
  if (bpp < 32 ? !frame.hasMask : maskAt > bytes.size()) return false;
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

}  // namespace

std::optional<std::vector<IconFrameInfo>> inspectIcon(std::span<const uint8_t> data) {
  if (data.size() < kIconHeaderSize || data.size() > kMaxIconFileSize) return std::nullopt;
  const uint16_t reserved = le16(data.data()), type = le16(data.data() + 2);
  const uint16_t count = le16(data.data() + 4);
  if (reserved != 0 || type != 1 || count < 1 || count > kMaxIconFrames) return std::nullopt;
  const size_t directoryEnd = kIconHeaderSize + count * kDirectoryEntrySize;
  if (directoryEnd > data.size()) return std::nullopt;

  std::vector<IconFrameInfo> frames(count);
  int64_t pixels = 0;
  bool anyValid = false;
  for (size_t k = 0; k < count; ++k) {
    const uint8_t* entry = data.data() + kIconHeaderSize + k * kDirectoryEntrySize;
    const size_t size = le32(entry + 8), offset = le32(entry + 12);
    IconFrameInfo& frame = frames[k];
    // The frame starts inside the file, after the directory. Its byte count
    // is often wrong in real icons and is not trusted: a frame's bytes are
    // bounded by what it needs and by the end of the file.
    if (offset < directoryEnd || offset > data.size()) continue;
    frame.offset = offset;
    const std::span<const uint8_t> bytes = data.subspan(offset);
    const bool isPng = bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0;
    frame.valid = isPng ? checkPngFrame(bytes, frame) : checkBitmapFrame(bytes, size, frame);
    if (!frame.valid) continue;
    pixels += int64_t{frame.width} * frame.height;
    anyValid = true;
  }
  if (!anyValid || pixels > kMaxIconPixels) return std::nullopt;
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
