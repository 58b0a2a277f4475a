#pragma once
// The icon side of a conversion: which frames to take, decoding one frame,
// flattening transparency, and numbering the outputs of a multi-image icon.

#include <cstdint>
#include <span>
#include <string>

#include "base/result.h"
#include "imaging/ico_guard.h"
#include "imaging/image.h"

namespace trovabild {

/// One frame that inspectIcon passed, decoded from its own bytes alone (a
/// 32-bit frame whose alpha is unused takes it from its mask). A frame marked
/// invalid fails with its problem; one the decoder refuses with what the
/// decoder said ("the decoder refused it: Not enough image data").
Result<Image> decodeIconFrame(std::span<const uint8_t> data, const IconFrameInfo& info);

/// What FreeImage said last on this thread since clearFreeImageMessage, ""
/// when nothing: the detail of a step or an encoder that failed.
std::string lastFreeImageMessage();
void clearFreeImageMessage();

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

struct ResizeOptions;
struct FlattenOptions;

/// The one frame LARGEST (5) or BEST (6) converts: an index into `frames`,
/// or -1 for any other code and when no frame is valid. Only valid frames
/// count. LARGEST takes the frame of the largest area; BEST the smallest
/// frame that `resize` does not enlarge, or the largest when it enlarges
/// every frame or asks for no size in pixels. Equal areas go to the greater
/// depth, then to the earlier frame.
int chooseIconFrame(int icoFrameLoading, std::span<const IconFrameInfo> frames, const ResizeOptions& resize);
/// selectFrames for the checked frames of an icon: LARGEST and BEST give
/// the frame chooseIconFrame picks, every other code as selectFrames does.
FrameRange selectFrames(int icoFrameLoading, std::span<const IconFrameInfo> frames, const ResizeOptions& resize);

/// Composites a transparent image over the opaque background colour (24
/// bits); other images are handed on unchanged.
Image flattenTransparency(Image image, const FlattenOptions& flatten);

/// `outputFile` with "[number]" put right before ".extension" when the file
/// name ends with it (letter case aside), else appended at the very end.
std::string numberedPath(const std::string& outputFile, const std::string& extension, int number);

}  // namespace trovabild
