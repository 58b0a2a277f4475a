#pragma once
// The output pixel depth, the save flags of each format, and the save.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "imaging/image.h"

namespace trovabild {

struct Settings;

/// FreeImage save flags for the extension from the format's output settings;
/// 0 for an extension without such settings.
int saveFlagsFor(std::string_view extension, const Settings& settings);

/// The depth a frame gets in automatic mode: chooseDepth of the output
/// extension and the frame's depth as loaded, except that an image that is
/// now true colour is never sent through a conversion that would make it
/// grey (a 4-bit colour icon flattened to 24 bits stays colour).
int automaticDepth(const Image& image, std::string_view extension, int sourceBpp);

/// Converts to `targetBpp` for the extension. Returns the image to save: the
/// same one when its depth already fits, an empty one when no conversion
/// exists or it failed.
Image convertToOutputDepth(Image image, std::string_view extension, int targetBpp);

/// The image as the bytes of a file of FreeImage format `fif` saved with
/// `flags`; none when the image is empty or FreeImage refuses it.
std::optional<std::vector<uint8_t>> encodeImage(const Image& image, int fif, int flags);

/// Writes `bytes` to a temporary file in the target's folder and renames it
/// into place, so an existing file is replaced only by a complete one. False
/// (and nothing left behind) when the file system refuses. `written`, when
/// given, receives the device and inode of the file put in place.
bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes,
                        std::pair<dev_t, ino_t>* written = nullptr);

/// Writes the image with FreeImage format `fif` and `flags` to a temporary
/// file in the target's folder and renames it into place, so an existing
/// file is replaced only by a complete one. False (and nothing left behind)
/// when the image is empty, FreeImage refuses it or the file system does.
bool saveImage(const Image& image, int fif, const std::string& path, int flags);

}  // namespace trovabild
