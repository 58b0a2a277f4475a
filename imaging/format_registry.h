#pragma once
// What the program knows of image formats: output formats with their
// identifiers and depths, and the accepted input extensions.

#include <string>
#include <vector>

namespace trovabild {

/// Every input extension whose group is `group` ("ico" gives "ico").
std::vector<std::string> inputExtensionsOf(const std::string& group);

}  // namespace trovabild
