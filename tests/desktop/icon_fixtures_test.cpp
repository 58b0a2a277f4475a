// Icon files and console runs for the window tests (no toolkit here).

#include "tests/desktop/icon_fixtures.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/test_support.h"

namespace trovabild::testing {

bool writeSampleIcon(const std::string& path, int size, int seed) {
  Image image = solidImage(size, size, 32, Rgba{0, 0, 0, 255});
  for (int y = 0; y < size; ++y) {
    BYTE* row = FreeImage_GetScanLine(image.get(), y);
    for (int x = 0; x < size; ++x) {
      BYTE* p = row + x * 4;
      p[FI_RGBA_RED] = static_cast<BYTE>((x * 16 + seed * 40) & 0xFF);
      p[FI_RGBA_GREEN] = static_cast<BYTE>((y * 16 + seed * 90) & 0xFF);
      p[FI_RGBA_BLUE] = static_cast<BYTE>((x * y + seed * 7) & 0xFF);
      p[FI_RGBA_ALPHA] = (x + y) % 5 == 0 ? 0 : 255;
    }
  }
  return writeIco(path, {&image});
}

ConsoleRun runConsole(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  const RunResult result = runProgram(args, "", extraEnv);
  return ConsoleRun{result.status, result.output, result.error};
}

std::vector<std::string> filesBelow(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
    if (entry.is_regular_file()) files.push_back(std::filesystem::relative(entry.path(), folder).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string fileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

}  // namespace trovabild::testing
