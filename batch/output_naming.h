#pragma once
// Output file names from the filename mask and its tokens.

#include <string>

namespace trovabild {

/// The full output path of the current input and image.
std::string buildOutputPath();

}  // namespace trovabild
