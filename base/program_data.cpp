#include "base/program_data.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <fstream>

namespace trovabild {

namespace {

bool exists(const std::string& path, bool wantFolder) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  return wantFolder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode);
}

}  // namespace

std::string executableFolder() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return "./";
  const std::string path(buffer, static_cast<size_t>(length));
  return path.substr(0, path.rfind('/') + 1);
}

std::string markedSourceTree(const std::string& programFolder) {
  std::ifstream marker(programFolder + kSourceTreeMarker);
  std::string tree;
  if (!marker || !std::getline(marker, tree)) return "";
  while (!tree.empty() && (tree.back() == '\r' || tree.back() == ' ')) tree.pop_back();
  // Only an absolute path: a relative one would depend on where the user stands.
  if (tree.empty() || tree.front() != '/') return "";
  if (tree.back() != '/') tree += '/';
  return tree;
}

std::string findProgramData(const std::string& programFolder, const std::string& installedName,
                            const std::string& sourceName, bool wantFolder) {
  std::string candidates[3] = {programFolder + installedName, "",
                               programFolder + "../share/trovabild/" + installedName};
  if (const std::string tree = markedSourceTree(programFolder); !tree.empty()) candidates[1] = tree + sourceName;
  for (const std::string& candidate : candidates)
    if (!candidate.empty() && exists(candidate, wantFolder)) return candidate;
  return "";
}

std::vector<std::string> desktopModuleCandidates(const std::string& programFolder) {
  return {programFolder + "trovabild_desktop.so", programFolder + "../lib/trovabild/trovabild_desktop.so"};
}

}  // namespace trovabild
