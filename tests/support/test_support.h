#pragma once
// Shared fixtures for the test suite: temporary folders, generated icons,
// running the built executable, and pixel comparison.

#include <FreeImage.h>

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/image.h"

namespace trovabild::testing {

/// A fresh folder under the system's temporary folder, removed with its
/// contents when the object goes away. path() ends in "/".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};

/// A new image of the given depth (24 or 32) filled with one colour.
Image solidImage(int width, int height, int bpp, Rgba colour);
/// A 32-bit image whose four quadrants are red, green, blue and transparent
/// (top-left, top-right, bottom-left, bottom-right).
Image quadrantImage(int size);
/// Writes the frames as one .ico file; false when FreeImage refuses.
bool writeIco(const std::string& path, const std::vector<const Image*>& frames);
/// Writes raw bytes to a file.
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readBytes(const std::string& path);
void writeText(const std::string& path, const std::string& text);
std::string readText(const std::string& path);
bool fileExists(const std::string& path);

/// The pixel at (x, y), counted from the top-left corner.
Rgba pixel(const Image& image, int x, int y);
/// Peak signal-to-noise ratio over RGB; images must have the same size.
double psnr(const Image& a, const Image& b);
Image loadImage(const std::string& path);

struct RunResult {
  int status = -1;     ///< exit status, or -1 when the process did not exit normally
  std::string output;  ///< standard output
  std::string error;   ///< standard error
};
/// Runs the built trovabildcmd with the arguments, in `workDir` (when not
/// empty), with its own XDG_RUNTIME_DIR so parallel tests never share the
/// single-instance lock. Standard input is /dev/null.
RunResult runProgram(const std::vector<std::string>& args, const std::string& workDir = "",
                     const std::vector<std::string>& extraEnv = {});

/// Splits program output into lines, dropping the line ends.
std::vector<std::string> splitLines(const std::string& text);

}  // namespace trovabild::testing
