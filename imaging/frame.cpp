#include "imaging/frame.h"

namespace trovabild {

Image drawFrame(Image image, int, int) { return image; }

}  // namespace trovabild
