#pragma once
// Checks an icon file's structure before any of it reaches FreeImage's icon
// reader, which trusts every size and offset it reads. Only frames that pass
// are ever decoded, and each is decoded from its own bytes alone.

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
                        ///< says the frame needs (PNG: the rest of the file)
};

/// Checks the icon directory and every frame header. Returns nothing when the
/// file as a whole is unfit (not an icon, no or too many frames, a directory
/// beyond the file, no usable frame, too many pixels); otherwise one entry per
/// directory entry, each marked valid or not.
std::optional<std::vector<IconFrameInfo>> inspectIcon(std::span<const uint8_t> data);

/// Reads a whole file of at most `maxSize` bytes, opened without waiting on
/// a pipe or device; nothing when it cannot be read, is not a regular file
/// or is larger.
std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path, size_t maxSize);

}  // namespace trovabild
