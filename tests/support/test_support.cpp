#include "tests/support/test_support.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace trovabild::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "trovabild-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern + "/";
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

Image solidImage(int width, int height, int bpp, Rgba colour) {
  Image image(FreeImage_Allocate(width, height, bpp));
  for (int y = 0; y < height; ++y) {
    BYTE* row = FreeImage_GetScanLine(image.get(), y);
    for (int x = 0; x < width; ++x) {
      BYTE* p = row + x * (bpp / 8);
      p[FI_RGBA_RED] = colour.r;
      p[FI_RGBA_GREEN] = colour.g;
      p[FI_RGBA_BLUE] = colour.b;
      if (bpp == 32) p[FI_RGBA_ALPHA] = colour.a;
    }
  }
  return image;
}

Image quadrantImage(int size) {
  Image image(FreeImage_Allocate(size, size, 32));
  const int half = size / 2;
  for (int y = 0; y < size; ++y) {
    BYTE* row = FreeImage_GetScanLine(image.get(), size - 1 - y);  // y from the top
    for (int x = 0; x < size; ++x) {
      Rgba c;
      if (y < half && x < half) c = {255, 0, 0, 255};
      else if (y < half) c = {0, 255, 0, 255};
      else if (x < half) c = {0, 0, 255, 255};
      else c = {0, 0, 0, 0};
      BYTE* p = row + x * 4;
      p[FI_RGBA_RED] = c.r;
      p[FI_RGBA_GREEN] = c.g;
      p[FI_RGBA_BLUE] = c.b;
      p[FI_RGBA_ALPHA] = c.a;
    }
  }
  return image;
}

Image atDepth(const Image& source, int bpp) {
  switch (bpp) {
    case 1: return Image(FreeImage_Threshold(source.get(), 128));
    case 4: return Image(FreeImage_ConvertTo4Bits(source.get()));
    case 8: return Image(FreeImage_ConvertTo8Bits(source.get()));
    case 16: return Image(FreeImage_ConvertTo16Bits565(source.get()));
    case 24: return Image(FreeImage_ConvertTo24Bits(source.get()));
    case 32: return Image(FreeImage_ConvertTo32Bits(source.get()));
    case 48: return Image(FreeImage_ConvertToRGB16(source.get()));
    default: return Image();
  }
}

bool samePixels(const Image& a, const Image& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (!(pixel(a, x, y) == pixel(b, x, y))) return false;
  return true;
}

bool writeIco(const std::string& path, const std::vector<const Image*>& frames) {
  if (frames.empty()) return false;
  FIMULTIBITMAP* multi = FreeImage_OpenMultiBitmap(FIF_ICO, path.c_str(), TRUE, FALSE, TRUE, 0);
  if (multi == nullptr) return false;
  for (const Image* frame : frames) FreeImage_AppendPage(multi, frame->get());
  return FreeImage_CloseMultiBitmap(multi, 0) != 0;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

bool fileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

Rgba pixel(const Image& image, int x, int y) {
  FIBITMAP* bitmap = image.get();
  const int height = static_cast<int>(FreeImage_GetHeight(bitmap));
  const int bpp = static_cast<int>(FreeImage_GetBPP(bitmap));
  Rgba result;
  if (bpp == 24 || bpp == 32) {
    const BYTE* p = FreeImage_GetScanLine(bitmap, height - 1 - y) + x * (bpp / 8);
    result = {p[FI_RGBA_RED], p[FI_RGBA_GREEN], p[FI_RGBA_BLUE], static_cast<uint8_t>(bpp == 32 ? p[FI_RGBA_ALPHA] : 255)};
  } else {
    RGBQUAD q{};
    if (FreeImage_GetPixelColor(bitmap, x, height - 1 - y, &q)) {
      result = {q.rgbRed, q.rgbGreen, q.rgbBlue, 255};
    } else {
      BYTE index = 0;
      FreeImage_GetPixelIndex(bitmap, x, height - 1 - y, &index);
      const RGBQUAD* palette = FreeImage_GetPalette(bitmap);
      if (palette != nullptr) result = {palette[index].rgbRed, palette[index].rgbGreen, palette[index].rgbBlue, 255};
      else result = {index, index, index, 255};
    }
  }
  return result;
}

double psnr(const Image& a, const Image& b) {
  if (a.width() != b.width() || a.height() != b.height()) return 0.0;
  double sum = 0.0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const Rgba p = pixel(a, x, y), q = pixel(b, x, y);
      const double dr = p.r - q.r, dg = p.g - q.g, db = p.b - q.b;
      sum += dr * dr + dg * dg + db * db;
    }
  const double mse = sum / (3.0 * a.width() * a.height());
  if (mse == 0.0) return 99.0;
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}

Image loadImage(const std::string& path) {
  const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
  if (format == FIF_UNKNOWN) return Image();
  return Image(FreeImage_Load(format, path.c_str(), 0));
}

void dropFileAccessOverride() {
  // Root passes every permission check only through these two capabilities;
  // without them in the bounding set, the next program runs without them.
  prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
  prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
}

bool permissionsApply() {
  static const int answer = [] {
    TempDir dir;
    const std::string path = dir / "unreadable";
    writeText(path, "x");
    chmod(path.c_str(), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      dropFileAccessOverride();
      // The capabilities go with the exec; a shell started afresh tells.
      execl("/bin/sh", "sh", "-c", ("exec cat '" + path + "' >/dev/null 2>&1").c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 0 ? 1 : 0;
  }();
  return answer == 1;
}

RunResult runProgram(const std::vector<std::string>& args, const std::string& workDir,
                     const std::vector<std::string>& extraEnv) {
  TempDir runtime;
  TempDir temporary;
  TempDir capture;
  const std::string outPath = capture / "stdout", errPath = capture / "stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(127);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    setenv("TMPDIR", temporary.path().c_str(), 1);
    dropFileAccessOverride();
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    for (const std::string& assignment : extraEnv) putenv(strdup(assignment.c_str()));
    std::vector<char*> argv;
    std::string exe = TROVABILD_EXE;
    argv.push_back(exe.data());
    std::vector<std::string> copies(args);
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  RunResult result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.output = readText(outPath);
  result.error = readText(errPath);
  return result;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace trovabild::testing
