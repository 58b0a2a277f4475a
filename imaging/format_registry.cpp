#include "imaging/format_registry.h"

namespace trovabild {

std::vector<std::string> inputExtensionsOf(const std::string& group) { return {group}; }

}  // namespace trovabild
