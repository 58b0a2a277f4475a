#pragma once
// Converts one input file: open the icon, choose its frames, run each through
// the pipeline, name and save it.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "imaging/image.h"

namespace trovabild {

/// Asked with the final path (frame number included) before each save; false
/// refuses the save, and that frame counts as failed.
using SaveCheck = std::function<bool(const std::string& path)>;

/// Converts job.currentInput; true when the last attempted save succeeded.
/// `written` receives the path of every file actually written, in order.
bool convertCurrentFile(std::vector<std::string>& written, const SaveCheck& mayWrite = {});

/// Gives the output path of the frame about to be saved (the batch uses
/// buildOutputPath).
using OutputNamer = std::function<std::string()>;

/// The same conversion for an icon file already read into memory; the file is
/// never read again. Frames are numbered into the names as for a file.
bool convertIconData(std::span<const uint8_t> data, const OutputNamer& nameOutput,
                     std::vector<std::string>& written, const SaveCheck& mayWrite = {});

struct IconFrameInfo;
/// One frame that inspectIcon passed, decoded from its own bytes alone (a
/// 32-bit frame whose alpha is unused takes it from its mask); an empty
/// image for a frame marked invalid or one the decoder refuses.
Image decodeIconFrame(std::span<const uint8_t> data, const IconFrameInfo& info);

/// The frames [first, end) that `icoFrameLoading` selects out of `count`.
struct FrameRange {
  int first = 0;
  int end = 0;
};
FrameRange selectFrames(int icoFrameLoading, int count);

/// Composites a transparent image over opaque white (24 bits); other images
/// are handed on unchanged.
Image flattenTransparency(Image image);

/// `outputFile` with "[number]" put right before ".extension" when the file
/// name ends with it (letter case aside), else appended at the very end.
std::string numberedPath(const std::string& outputFile, const std::string& extension, int number);

}  // namespace trovabild
