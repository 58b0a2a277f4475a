#pragma once
// Shared fixtures for the test suite: temporary folders, generated icons,
// running the built executable, and pixel comparison.

#include <FreeImage.h>

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/image.h"
#include "tests/support/temp_dir.h"

namespace trovabild::testing {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};

/// A new image of the given depth (24 or 32) filled with one colour.
Image solidImage(int width, int height, int bpp, Rgba colour);
/// A 32-bit image whose four quadrants are red, green, blue and transparent
/// (top-left, top-right, bottom-left, bottom-right).
Image quadrantImage(int size);
/// The same picture converted to another depth (1, 4, 8, 16, 24, 32 or 48
/// bits); no image for any other depth.
Image atDepth(const Image& source, int bpp);
/// Same size and the same pixel everywhere.
bool samePixels(const Image& a, const Image& b);
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
/// empty), with its own XDG_RUNTIME_DIR and TMPDIR so tests never share the
/// single-instance lock with each other or with a program the user runs.
/// Standard input is /dev/null. The program gets the file access of an
/// ordinary user even when the tests run as root.
RunResult runProgram(const std::vector<std::string>& args, const std::string& workDir = "",
                     const std::vector<std::string>& extraEnv = {});
/// Drops root's override of file permissions for the programs this process
/// executes next.
void dropFileAccessOverride();
/// True when a file without read permission cannot be read by a program
/// started through runProgram (false where permissions cannot be enforced).
bool permissionsApply();

/// Splits program output into lines, dropping the line ends.
std::vector<std::string> splitLines(const std::string& text);

}  // namespace trovabild::testing
