#include "imaging/conversion.h"

namespace trovabild {

bool convertCurrentFile() { return false; }

}  // namespace trovabild
