#include "imaging/conversion.h"

namespace trovabild {

bool convertCurrentFile(std::vector<std::string>&) { return false; }

}  // namespace trovabild
