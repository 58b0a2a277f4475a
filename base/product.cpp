#include "base/product.h"

#include <unistd.h>

#include <climits>

namespace trovabild {

const char* const kCopyright = "Copyright \xC2\xA9 2026 Pixmundo. All rights reserved.";
const char* const kWebAddress = "https://www.pixmundo.net/trovabild/";
const char* const kMakerSite = "https://www.pixmundo.net/";
const char* const kSupportEmail = "support@pixmundo.net";
const char* const kConverterFinderBase = "https://www.pixmundo.net/find/";
const char* const kUninstallPage = "https://www.pixmundo.net/uninstall/trovabild/";
const char* const kUpdateDataUrl = "http://www.pixmundo.net/files/trovabild.dat";

namespace {
const char* startName = nullptr;
}

std::string versionText(int version) {
  std::string text = std::to_string(version);
  if (text.size() > 1) text.insert(1, ".");
  if (text.size() > 3) text.insert(3, ".");
  if (text.size() > 3 && text.back() == '0') text.resize(3);
  return text;
}

std::string titleText() { return std::string(kDisplayName) + " " + versionText(kVersion); }

void setStartName(const char* name) { startName = name; }

std::string executableStem() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path = length > 0 ? std::string(buffer, static_cast<size_t>(length))
                                : (startName != nullptr ? startName : "trovabildcmd");
  path = path.substr(path.rfind('/') + 1);
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && dot > 0) path.resize(dot);
  return path;
}

}  // namespace trovabild
