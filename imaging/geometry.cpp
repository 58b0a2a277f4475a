#include "imaging/geometry.h"

namespace trovabild {

Rgb parseColor(std::string_view) { return {}; }
Image rotateImage(Image image) { return image; }
Image resizeImage(Image image, int, int) { return image; }
Image flipImage(Image image) { return image; }

}  // namespace trovabild
