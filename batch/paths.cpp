#include "batch/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace trovabild {

int64_t fileSize(const std::string& path) {
  std::string target = path;
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  if (target.empty()) return -1;
  struct stat info {};
  if (stat(target.c_str(), &info) != 0) return -1;
  if (S_ISDIR(info.st_mode)) return -2;
  return static_cast<int64_t>(info.st_size);
}

std::string pathPart(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string extensionPart(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string component = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = component.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  std::string extension = component.substr(dot + 1);
  if (extension.find(' ') != std::string::npos) return {};
  const size_t quote = extension.find('"');
  if (quote != std::string::npos) extension.resize(quote);
  return extension;
}

int makeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (!folder.empty() && folder != "/" && mkdir(folder.c_str(), 0777) != 0) {
      const int error = errno;
      if (error != EEXIST) return error;
      if (fileSize(folder) != -2) return ENOTDIR;  // a file stands in the way
    }
    if (slash == std::string::npos) return 0;
  }
}

namespace {

// 0 when entries can be made in the nearest existing folder on `path`.
int creatableBelow(std::string folder) {
  for (;;) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0) {
      if (!S_ISDIR(info.st_mode)) return ENOTDIR;
      return access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
    }
    if (errno != ENOENT) return errno;
    const size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
  }
}

}  // namespace

int foldersCouldBeMade(const std::string& path) { return fileSize(path) == -2 ? 0 : creatableBelow(path); }

int fileCouldBeSaved(const std::string& path) {
  if (fileSize(path) == -2) return EISDIR;
  const std::string folder = pathPart(path);
  return creatableBelow(folder.empty() ? "." : folder);
}

bool staysInFolder(const std::string& name) {
  if (name.starts_with("/")) return false;
  size_t start = 0;
  for (;;) {
    const size_t slash = name.find('/', start);
    const size_t length = (slash == std::string::npos ? name.size() : slash) - start;
    if (name.compare(start, length, "..") == 0) return false;
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

}  // namespace trovabild
