#pragma once
// The output pixel depth, the save flags of each format, and the save.

#include <string>
#include <string_view>

#include "imaging/image.h"

namespace trovabild {

/// FreeImage save flags for the extension from the format's output settings;
/// 0 for an extension without such settings.
int saveFlagsFor(std::string_view extension);

/// The depth a frame gets in automatic mode: chooseDepth of the output
/// extension and job.sourceBpp, except that an image that is now true colour
/// is never sent through a conversion that would make it grey (a 4-bit
/// colour icon flattened to 24 bits stays colour).
int automaticDepth(const Image& image);

/// Converts to job.targetBpp (first setting it with automaticDepth when
/// job.autoBpp is on). Returns the image to save: the same one when its depth
/// already fits, an empty one when no conversion exists or it failed.
Image convertToOutputDepth(Image image);

/// Writes the image with FreeImage format `fif` and `flags` to a temporary
/// file in the target's folder and renames it into place, so an existing
/// file is replaced only by a complete one. False (and nothing left behind)
/// when the image is empty, FreeImage refuses it or the file system does.
bool saveImage(const Image& image, int fif, const std::string& path, int flags);

}  // namespace trovabild
