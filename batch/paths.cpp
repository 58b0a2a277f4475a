#include "batch/paths.h"

#include <sys/stat.h>

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

std::string lowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

void appendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace trovabild
