#pragma once
// The solid frame drawn over the image's edges.

#include "imaging/image.h"

namespace trovabild {

struct FrameOptions;

/// `width` and `height` are the image's size after resizing.
Image drawFrame(Image image, const FrameOptions& frame, int width, int height);

}  // namespace trovabild
