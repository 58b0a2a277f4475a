#include "batch/output_naming.h"

namespace trovabild {

std::string buildOutputPath() { return {}; }

}  // namespace trovabild
