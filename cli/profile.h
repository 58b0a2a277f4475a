#pragma once
// Profile files: a group "CLI" of long command-line options, applied where
// --profile stands on the command line.

#include <string>

namespace trovabild {

/// Applies the keys of the file's first group "CLI" to Settings, in file
/// order. False when the name is empty or the file cannot be read; true
/// otherwise, also when there is no such group.
bool applyProfile(const std::string& fileName);

}  // namespace trovabild
