#pragma once
// Checks an icon file's structure before any of it reaches FreeImage's icon
// reader, which trusts every size and offset it reads. Only frames that pass
// are ever decoded, and each is decoded from its own bytes alone. A PNG frame
// is walked chunk by chunk and its compressed parts are inflated here, into
// nothing, so that the decoder never inflates more than the frame's pixels
// need or the metadata bounds below allow.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace trovabild {

/// Limits on what an icon file may claim. Real icons hold a handful of
/// frames of at most 256 x 256 pixels; the limits leave ample room above that.
constexpr int kMaxIconFrames = 256;
constexpr int kMaxIconSide = 1024;                    ///< pixels, width and height
constexpr int64_t kMaxIconPixels = 16 * 1024 * 1024;  ///< summed over the checked frames
constexpr size_t kMaxIconFileSize = 64 * 1024 * 1024; ///< bytes
/// A PNG frame's chunks, IEND included. A writer makes one image data chunk
/// per 8 KB or so, about a thousand for a 1024 x 1024 frame stored without
/// compression.
constexpr int kMaxPngChunks = 16384;
/// What the compressed text (zTXt, iTXt) and ICC profile (iCCP) chunks of
/// PNG frames may inflate to, in bytes: each chunk, all of one frame's, and
/// all of the file's. Real icons carry a few KB of them. A chunk over its
/// share is left out of what the decoder reads, and the bytes inflated to
/// find that out count against the frame's and the file's share as well.
constexpr uint64_t kMaxPngChunkMetadata = 1024 * 1024;
constexpr uint64_t kMaxPngFrameMetadata = 4 * 1024 * 1024;
constexpr uint64_t kMaxIconMetadata = 16 * 1024 * 1024;

/// Bytes of a frame, counted from the frame's start.
struct ByteRange {
  size_t offset = 0;
  size_t size = 0;
  bool operator==(const ByteRange&) const = default;
};

/// One directory entry as checked.
struct IconFrameInfo {
  bool valid = false;   ///< false: the frame is never handed to the decoder
  bool png = false;     ///< PNG-compressed frame
  int width = 0;
  int height = 0;
  int bpp = 0;          ///< bits per pixel stored in the file (BMP frames; 0 for PNG)
  int depth = 0;        ///< bits per pixel of the stored pixels, BMP and PNG frames alike
                        ///< (PNG: its bit depth times the channels of its colour type)
  bool masked = false;  ///< a frame below 32 bits whose AND mask hides some pixel
  bool alphaUnused = false;  ///< a 32-bit frame whose alpha bytes are all zero
  bool hasMask = false;      ///< the AND mask is inside the frame's bytes
  size_t maskOffset = 0;     ///< where the AND mask starts, from the frame's start
  size_t offset = 0;    ///< where the frame's bytes start in the file
  size_t size = 0;      ///< how many bytes the decoder may read: what the header
                        ///< says the frame needs (PNG: up to the end of its IEND chunk)
  std::string problem;  ///< why the frame is invalid, without its number; empty when valid
  /// PNG chunks the decoder is not given (compressed metadata over its
  /// bounds), in stream order; the frame is decoded from a copy without them.
  std::vector<ByteRange> leftOut;
};

/// Checks the icon directory and every frame. Returns nothing when the file as
/// a whole is unfit (not an icon, no or too many frames, a directory beyond
/// the file, no usable frame, too many pixels), and then puts the reason in
/// `*problem` when given ("the icon claims 0 images"); otherwise one entry per
/// directory entry, each marked valid or not.
std::optional<std::vector<IconFrameInfo>> inspectIcon(std::span<const uint8_t> data,
                                                      std::string* problem = nullptr);

/// Reads a whole file of at most `maxSize` bytes, opened without waiting on
/// a pipe or device; nothing when it cannot be read, is not a regular file
/// or is larger.
std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path, size_t maxSize);

}  // namespace trovabild
