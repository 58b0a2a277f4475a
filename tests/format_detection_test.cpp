#include <gtest/gtest.h>

#include "imaging/format_detection.h"
#include "tests/support/ico_bytes.h"
#include "tests/support/test_support.h"

namespace trovabild {

using testing::Bytes;

namespace {

Bytes hex(std::initializer_list<int> values) {
  Bytes b;
  for (int v : values) b.push_back(static_cast<uint8_t>(v));
  return b;
}

}  // namespace

TEST(FormatDetection, NamesFilesByTheirFirstBytes) {
  struct Case { const char* expected; Bytes head; };
  const Case kCases[] = {
      {"ICO", hex({0x00, 0x00, 0x01, 0x00, 0x02, 0x00})},
      {"[ERROR] UNRECOGNIZED", hex({0x00, 0x00, 0x02, 0x00, 0x01, 0x00})},  // a cursor
      {"MPEG", hex({0x00, 0x00, 0x01, 0xB3})},
      {"TIFF (LE)", hex({0x49, 0x49, 0x2A, 0x00, 0x08, 0x00, 0x00, 0x00})},
      {"CR2", hex({0x49, 0x49, 0x2A, 0x00, 0x10, 0x00, 0x00, 0x00, 0x43, 0x52, 0x02})},
      {"TIFF (BE)", hex({0x4D, 0x4D, 0x00, 0x2A})},
      {"EXE/DLL (MZ/PE/NE)", hex({0x4D, 0x5A, 0x90, 0x00})},
      {"GZ", hex({0x1F, 0x8B, 0x08})},
      {"MP3/ID3V2", hex({0x49, 0x44, 0x33, 0x03})},
      {"MP3", hex({0xFF, 0xFB, 0x90})},
      {"PDF", hex({0x25, 0x50, 0x44, 0x46, 0x2D, 0x31})},
      {"[ERROR] UNRECOGNIZED", hex({0x25, 0x50, 0x44, 0x46, 0x20, 0x31})},
      {"BMP", hex({0x42, 0x4D, 0x00})},
      {"BZ2", hex({0x42, 0x5A, 0x68, 0x39})},
      {"[ERROR] UNRECOGNIZED", hex({0x89, 0x50, 0x4E})},  // too short for PNG
      {"PNG", hex({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A})},
      {"GIF89A", hex({0x47, 0x49, 0x46, 0x38, 0x39, 0x61})},
      {"JPEG/JFIF", hex({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01})},
      {"JPEG/EXIF", hex({0xFF, 0xD8, 0xFF, 0xE1, 0x12, 0x34, 0x45, 0x78, 0x69, 0x66, 0x00, 0x00})},
      {"[ERROR] UNRECOGNIZED", hex({0xFF, 0xD8, 0xFF, 0xE1, 0x12, 0x34, 0x45, 0x78, 0x69, 0x66, 0x00})},
      {"WEBP", hex({0x52, 0x49, 0x46, 0x46, 1, 2, 3, 4, 0x57, 0x45, 0x42, 0x50})},
      {"RAR (5.0+)", hex({0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00})},
      {"RAR (1.5+)", hex({0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00})},
      {"NUP", hex({0x4E, 0x55, 0x52, 0x55, 0x50, 0x41, 0x4C})},
      {"SQLITE/DB", Bytes({'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', 0})},
      {"ASF/WMA/WMV", hex({0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA,
                           0x00, 0x62, 0xCE, 0x6C})},
      {"XPM", Bytes({'/', '*', ' ', 'X', 'P', 'M', ' ', '*', '/'})},
      {"[ERROR] UNRECOGNIZED", hex({0x12, 0x34})},
      {"[ERROR] UNRECOGNIZED", Bytes{}},
  };
  testing::TempDir dir;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(detectFormatOf(c.head), c.expected);
    testing::writeBytes(dir / "probe", c.head);
    EXPECT_EQ(detectFormat(dir / "probe"), c.expected);
  }
}

TEST(FormatDetection, LooksOnlyAtTheFirstTwentyBytes) {
  // Whatever follows byte 20, even another format's signature, never counts.
  const Bytes sqlite = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', 0};
  const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const Bytes& tail : {Bytes(4096, 0xAB), png, Bytes(4096, 0)}) {
    Bytes head = sqlite;
    head.resize(20, 0);
    head.insert(head.end(), tail.begin(), tail.end());
    EXPECT_EQ(detectFormatOf(head), "SQLITE/DB");
    Bytes unknown(20, 'z');
    unknown.insert(unknown.end(), tail.begin(), tail.end());
    EXPECT_EQ(detectFormatOf(unknown), "[ERROR] UNRECOGNIZED");
  }
  EXPECT_EQ(detectFormatOf(png), "PNG");  // the same signature at the start is seen
}

TEST(FormatDetection, UnreadablePathsAreUnrecognized) {
  testing::TempDir dir;
  EXPECT_EQ(detectFormat(dir / "missing"), "[ERROR] UNRECOGNIZED");
  EXPECT_EQ(detectFormat(dir.path()), "[ERROR] UNRECOGNIZED");
}

}  // namespace trovabild
