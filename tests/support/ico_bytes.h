#pragma once
// Icon files assembled byte by byte, for frames FreeImage would not write
// (palette frames with an AND mask), PNG streams taken apart and put back
// together, and deliberately broken files.

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace trovabild::testing {

using Bytes = std::vector<uint8_t>;

inline void putLe16(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void putLe32(Bytes& b, size_t at, uint32_t v) {
  putLe16(b, at, v & 0xFFFF);
  putLe16(b, at + 2, v >> 16);
}

/// A BITMAPINFOHEADER frame. `value(x, y)` (y from the top) is a palette index
/// for 1 to 8 bits and 0xAARRGGBB otherwise; `masked(x, y)` sets the AND mask.
inline Bytes bitmapFrame(int width, int height, int bpp, const std::vector<uint32_t>& palette,
                         const std::function<uint32_t(int, int)>& value,
                         const std::function<bool(int, int)>& masked = {}) {
  Bytes b;
  putLe32(b, 0, 40);
  putLe32(b, 4, static_cast<uint32_t>(width));
  putLe32(b, 8, static_cast<uint32_t>(height * 2));
  putLe16(b, 12, 1);
  putLe16(b, 14, static_cast<uint32_t>(bpp));
  putLe32(b, 16, 0);
  b.resize(40, 0);
  if (bpp <= 8) {
    for (int i = 0; i < (1 << bpp); ++i) {
      const uint32_t c = i < static_cast<int>(palette.size()) ? palette[i] : 0;
      b.push_back(c & 0xFF);
      b.push_back((c >> 8) & 0xFF);
      b.push_back((c >> 16) & 0xFF);
      b.push_back(0);
    }
  }
  const size_t row = static_cast<size_t>((width * bpp + 31) / 32 * 4);
  for (int y = height - 1; y >= 0; --y) {  // bottom-up
    Bytes line(row, 0);
    for (int x = 0; x < width; ++x) {
      const uint32_t v = value(x, y);
      if (bpp <= 8) {
        const int bit = x * bpp;
        line[bit / 8] |= static_cast<uint8_t>((v & ((1u << bpp) - 1)) << (8 - bpp - bit % 8));
      } else if (bpp == 16) {
        const uint32_t p = ((v >> 19) & 0x1F) << 10 | ((v >> 11) & 0x1F) << 5 | ((v >> 3) & 0x1F);
        line[x * 2] = p & 0xFF;
        line[x * 2 + 1] = static_cast<uint8_t>(p >> 8);
      } else {
        uint8_t* p = &line[static_cast<size_t>(x * bpp / 8)];
        p[0] = v & 0xFF;
        p[1] = (v >> 8) & 0xFF;
        p[2] = (v >> 16) & 0xFF;
        if (bpp == 32) p[3] = static_cast<uint8_t>(v >> 24);
      }
    }
    b.insert(b.end(), line.begin(), line.end());
  }
  const size_t maskRow = static_cast<size_t>((width + 31) / 32 * 4);
  for (int y = height - 1; y >= 0; --y) {
    Bytes line(maskRow, 0);
    for (int x = 0; x < width; ++x)
      if (masked && masked(x, y)) line[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    b.insert(b.end(), line.begin(), line.end());
  }
  return b;
}

/// An icon file holding the frames, with a directory that describes them.
inline Bytes icoFile(const std::vector<Bytes>& frames) {
  Bytes b;
  putLe16(b, 0, 0);
  putLe16(b, 2, 1);
  putLe16(b, 4, static_cast<uint32_t>(frames.size()));
  size_t offset = 6 + 16 * frames.size();
  for (size_t k = 0; k < frames.size(); ++k) {
    const size_t entry = 6 + 16 * k;
    b.resize(entry + 16, 0);
    putLe16(b, entry + 4, 1);
    putLe32(b, entry + 8, static_cast<uint32_t>(frames[k].size()));
    putLe32(b, entry + 12, static_cast<uint32_t>(offset));
    offset += frames[k].size();
  }
  for (const Bytes& frame : frames) b.insert(b.end(), frame.begin(), frame.end());
  return b;
}

/// A frame of one colour (0xRRGGBB), 24 bits, nothing masked.
inline Bytes solidFrame(int size, uint32_t rgb) {
  return bitmapFrame(size, size, 24, {}, [rgb](int, int) { return rgb; });
}

/// One PNG chunk, whole: length, type, data and CRC.
inline Bytes pngChunk(std::string_view type, const Bytes& data) {
  Bytes b;
  const auto put32 = [&](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
  };
  put32(static_cast<uint32_t>(data.size()));
  b.insert(b.end(), type.begin(), type.end());
  b.insert(b.end(), data.begin(), data.end());
  put32(static_cast<uint32_t>(crc32(0, b.data() + 4, static_cast<uInt>(b.size() - 4))));
  return b;
}

/// The chunks of a well-formed PNG stream, each whole; the signature left out.
inline std::vector<Bytes> pngChunks(const Bytes& png) {
  std::vector<Bytes> chunks;
  for (size_t at = 8; at + 12 <= png.size();) {
    const size_t length = size_t{png[at]} << 24 | size_t{png[at + 1]} << 16 | size_t{png[at + 2]} << 8 | png[at + 3];
    chunks.emplace_back(png.begin() + at, png.begin() + at + 12 + length);
    at += 12 + length;
  }
  return chunks;
}

/// A PNG stream: the signature, then the chunks.
inline Bytes pngStream(const std::vector<Bytes>& chunks) {
  Bytes b = {137, 80, 78, 71, 13, 10, 26, 10};
  for (const Bytes& chunk : chunks) b.insert(b.end(), chunk.begin(), chunk.end());
  return b;
}

inline std::string_view chunkType(const Bytes& chunk) {
  return {reinterpret_cast<const char*>(chunk.data() + 4), 4};
}

/// `data` as a zlib stream.
inline Bytes deflated(const Bytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes b(size);
  compress2(b.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION);
  b.resize(size);
  return b;
}

/// What a whole zlib stream inflates to.
inline Bytes inflated(const Bytes& stream) {
  Bytes out;
  z_stream z{};
  inflateInit(&z);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  uint8_t buffer[4096];
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    status = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
  }
  inflateEnd(&z);
  return out;
}

}  // namespace trovabild::testing
