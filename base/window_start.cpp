#include "base/window_start.h"

#include <filesystem>

namespace trovabild {

namespace {
std::vector<std::string> gWindowStartPaths;
}  // namespace

void setWindowStartPaths(const std::vector<std::string>& paths) {
  gWindowStartPaths.clear();
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    std::error_code failed;
    const std::filesystem::path absolute = std::filesystem::absolute(path, failed);
    // A folder keeps its trailing "/" through lexically_normal.
    gWindowStartPaths.push_back(failed ? path : absolute.lexically_normal().string());
  }
}

const std::vector<std::string>& windowStartPaths() { return gWindowStartPaths; }

}  // namespace trovabild
