#pragma once
// Files for the window tests, made in a translation unit of their own
// because the image library's headers and the toolkit's cannot meet.

#include <string>
#include <vector>

namespace trovabild::testing {

/// Writes a small .ico whose pixels depend on `seed`; false on failure.
bool writeSampleIcon(const std::string& path, int size, int seed);

struct ConsoleRun {
  int status = -1;
  std::string output;
  std::string error;
};
/// Runs the built trovabildcmd (see runProgram).
ConsoleRun runConsole(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {});

/// Every regular file below `folder`, as paths relative to it, sorted.
std::vector<std::string> filesBelow(const std::string& folder);
std::string fileBytes(const std::string& path);

}  // namespace trovabild::testing
