#pragma once
// The icon side of a conversion: which frames to take, decoding one frame,
// flattening transparency, and numbering the outputs of a multi-image icon.

#include <cstdint>
#include <span>
#include <string>

#include "imaging/ico_guard.h"
#include "imaging/image.h"

namespace trovabild {


/// One frame that inspectIcon passed, decoded from its own bytes alone (a
/// 32-bit frame whose alpha is unused takes it from its mask); an empty
/// image for a frame marked invalid or one the decoder refuses.
Image decodeIconFrame(std::span<const uint8_t> data, const IconFrameInfo& info);

/// The frames [first, end) that `icoFrameLoading` selects out of `count`.
struct FrameRange {
  int first = 0;
  int end = 0;
};
/// RANDOM draws its frame from the random source.
FrameRange selectFrames(int icoFrameLoading, int count);
inline constexpr int kRandomFrameLoading = 4;
/// True for ALL and for codes outside the list, which behave as ALL.
bool selectsAllFrames(int icoFrameLoading);

/// Composites a transparent image over opaque white (24 bits); other images
/// are handed on unchanged.
Image flattenTransparency(Image image);

/// `outputFile` with "[number]" put right before ".extension" when the file
/// name ends with it (letter case aside), else appended at the very end.
std::string numberedPath(const std::string& outputFile, const std::string& extension, int number);

}  // namespace trovabild
