#pragma once
// The two fixed screens: usage text and version.

namespace trovabild {

/// Prints the usage text, naming the running executable.
void printUsage();
/// Prints the one version line.
void printVersion();

}  // namespace trovabild
