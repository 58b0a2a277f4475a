#include "imaging/format_detection.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "base/files.h"

namespace trovabild {

namespace {

using namespace std::string_view_literals;

struct SignaturePart {
  size_t offset;
  std::string_view bytes;
};

struct Signature {
  const char* name;
  SignaturePart parts[4];  // unused parts are empty
};

// Each signature's first part starts at offset 0, so only signatures whose
// first byte matches the file can match; where two match, the later wins.
constexpr Signature kSignatures[] = {
    {"ICO", {{0, "\x00\x00\x01\x00"sv}}},
    {"MPEG", {{0, "\x00\x00\x01\xB3"sv}}},
    {"MPG/VOB", {{0, "\x00\x00\x01\xBA"sv}}},
    {"MKV/MKA/WEBM", {{0, "\x1A\x45\xDF\xA3"sv}}},
    {"LUAC", {{0, "\x1B\x4C\x75\x61"sv}}},
    {"GZ", {{0, "\x1F\x8B"sv}}},
    {"PS", {{0, "\x25\x21\x50\x53"sv}}},
    {"PDF", {{0, "\x25\x50\x44\x46"sv}, {4, "\x2D"sv}}},
    {"ACE", {{0, "\x2A\x2A\x41\x43"sv}, {4, "\x45\x2A"sv}, {6, "\x2A"sv}}},
    {"XPM", {{0, "\x2F\x2A\x20\x58"sv}, {4, "\x50\x4D\x20\x2A"sv}, {8, "\x2F"sv}}},
    {"ASF/WMA/WMV", {{0, "\x30\x26\xB2\x75"sv}, {4, "\x8E\x66\xCF\x11"sv}, {8, "\xA6\xD9\x00\xAA"sv}, {12, "\x00\x62\xCE\x6C"sv}}},
    {"SRT", {{0, "\x31\x0A\x30\x30"sv}}},
    {"7Z", {{0, "\x37\x7A\xBC\xAF"sv}, {4, "\x27\x1C"sv}}},
    {"PSD", {{0, "\x38\x42\x50\x53"sv}}},
    {"FH8", {{0, "\x41\x47\x44\x33"sv}}},
    {"DJVU", {{0, "\x41\x54\x26\x54"sv}, {4, "\x46\x4F\x52\x4D"sv}, {12, "\x44\x4A"sv}, {14, "\x56"sv}}},
    {"BLEND", {{0, "\x42\x4C\x45\x4E"sv}, {4, "\x44\x45"sv}, {6, "\x52"sv}}},
    {"BMP", {{0, "\x42\x4D"sv}}},
    {"BPG", {{0, "\x42\x50\x47\xFB"sv}}},
    {"BZ2", {{0, "\x42\x5A"sv}, {2, "\x68"sv}}},
    {"SWF", {{0, "\x43\x57"sv}, {2, "\x53"sv}}},
    {"DRC", {{0, "\x44\x52\x41\x43"sv}, {4, "\x4F"sv}}},
    {"FLIF", {{0, "\x46\x4C\x49\x46"sv}}},
    {"SWF", {{0, "\x46\x57"sv}, {2, "\x53"sv}}},
    {"FLV", {{0, "\x46\x4C"sv}, {2, "\x56"sv}}},
    {"GIF87A", {{0, "\x47\x49\x46\x38"sv}, {4, "\x37\x61"sv}}},
    {"GIF89A", {{0, "\x47\x49\x46\x38"sv}, {4, "\x39\x61"sv}}},
    {"TIFF (LE)", {{0, "\x49\x49\x2A\x00"sv}}},
    {"CR2", {{0, "\x49\x49\x2A\x00"sv}, {4, "\x10\x00\x00\x00"sv}, {8, "\x43\x52"sv}}},
    {"CHM", {{0, "\x49\x54\x53\x46"sv}, {4, "\x03\x00\x00\x00"sv}, {8, "\x60\x00\x00\x00"sv}}},
    {"MP3/ID3V2", {{0, "\x49\x44"sv}, {2, "\x33"sv}}},
    {"CAB (IS)", {{0, "\x49\x53\x63\x28"sv}}},
    {"LZ", {{0, "\x4C\x5A\x49\x50"sv}}},
    {"MLV", {{0, "\x4D\x4C\x56\x49"sv}}},
    {"TIFF (BE)", {{0, "\x4D\x4D\x00\x2A"sv}}},
    {"CAB", {{0, "\x4D\x53\x43\x46"sv}}},
    {"MID/MIDI", {{0, "\x4D\x54\x68\x64"sv}}},
    {"EXE/DLL (MZ/PE/NE)", {{0, "\x4D\x5A"sv}}},
    {"NUI", {{0, "\x4E\x55\x52\x55"sv}, {4, "\x49\x4D"sv}, {6, "\x47"sv}}},
    {"NUP", {{0, "\x4E\x55\x52\x55"sv}, {4, "\x50\x41"sv}, {6, "\x4C"sv}}},
    {"OGG/OGA/OGV", {{0, "\x4F\x67\x67\x53"sv}}},
    {"PBM", {{0, "\x50\x31"sv}, {2, "\x0A"sv}}},
    {"PGM", {{0, "\x50\x32"sv}, {2, "\x0A"sv}}},
    {"PPM", {{0, "\x50\x33"sv}, {2, "\x0A"sv}}},
    {"ZIP", {{0, "\x50\x4B\x03\x04"sv}}},
    {"ZIP (E)", {{0, "\x50\x4B\x05\x06"sv}}},
    {"ZIP (S)", {{0, "\x50\x4B\x07\x08"sv}}},
    {"ANI", {{0, "\x52\x49\x46\x46"sv}, {8, "\x41\x43\x4F\x4E"sv}}},
    {"AVI", {{0, "\x52\x49\x46\x46"sv}, {8, "\x41\x56\x49\x20"sv}}},
    {"WAV", {{0, "\x52\x49\x46\x46"sv}, {8, "\x57\x41\x56\x45"sv}}},
    {"WEBP", {{0, "\x52\x49\x46\x46"sv}, {8, "\x57\x45\x42\x50"sv}}},
    {"RAR (1.5+)", {{0, "\x52\x61\x72\x21"sv}, {4, "\x1A\x07"sv}, {6, "\x00"sv}}},
    {"RAR (5.0+)", {{0, "\x52\x61\x72\x21"sv}, {4, "\x1A\x07"sv}, {6, "\x01\x00"sv}}},
    {"DPX (BE)", {{0, "\x53\x44\x50\x58"sv}}},
    {"SQLITE/DB", {{0, "\x53\x51\x4C\x69"sv}, {4, "\x74\x65\x20\x66"sv}, {8, "\x6F\x72\x6D\x61"sv}, {12, "\x74\x20\x33\x00"sv}}},
    {"DPX (LE)", {{0, "\x58\x50\x44\x53"sv}}},
    {"EXE (ZM)", {{0, "\x5A\x4D"sv}}},
    {"ARJ", {{0, "\x60\xEA"sv}}},
    {"FLAC", {{0, "\x66\x4C\x61\x43"sv}}},
    {"3GP", {{0, "\x66\x74\x79\x70"sv}, {4, "\x33\x67"sv}}},
    {"XCF", {{0, "\x67\x69\x6D\x70"sv}, {4, "\x20\x78\x63\x66"sv}}},
    {"TOX", {{0, "\x74\x6F\x78\x33"sv}}},
    {"EXR", {{0, "\x76\x2F\x31\x01"sv}}},
    {"XAR", {{0, "\x78\x61\x72\x21"sv}}},
    {"RTF", {{0, "\x7B\x5C\x72\x74"sv}, {4, "\x66\x31"sv}}},
    {"CIN", {{0, "\x80\x2A\x5F\xD7"sv}}},
    {"PNG", {{0, "\x89\x50\x4E\x47"sv}, {4, "\x0D\x0A\x1A\x0A"sv}}},
    {"CLASS", {{0, "\xCA\xFE\xBA\xBE"sv}}},
    {"LEP", {{0, "\xCF\x84"sv}, {2, "\x01"sv}}},
    {"DOC/XLS/PPT", {{0, "\xD0\xCF\x11\xE0"sv}, {4, "\xA1\xB1\x1A\xE1"sv}}},
    {"WMF", {{0, "\xD7\xCD\xC6\x9A"sv}}},
    {"XZ", {{0, "\xFD\x37\x7A\x58"sv}, {4, "\x5A\x00"sv}}},
    {"JPG", {{0, "\xFF\xD8\xFF\xDB"sv}}},
    {"JPEG/JFIF", {{0, "\xFF\xD8\xFF\xE0"sv}, {4, "\x00\x10\x4A\x46"sv}, {8, "\x49\x46\x00\x01"sv}}},
    {"JPEG", {{0, "\xFF\xD8\xFF\xEE"sv}}},
    {"JPEG/EXIF", {{0, "\xFF\xD8\xFF\xE1"sv}, {6, "\x45\x78\x69\x66"sv}, {10, "\x00\x00"sv}}},
    {"MP3", {{0, "\xFF\xF2"sv}}},
    {"MP3", {{0, "\xFF\xF3"sv}}},
    {"MP3", {{0, "\xFF\xFB"sv}}},
};

constexpr const char* kUnrecognized = "[ERROR] UNRECOGNIZED";
constexpr size_t kHeadSize = 20;

bool matches(const Signature& signature, std::span<const uint8_t> head) {
  for (const SignaturePart& part : signature.parts) {
    if (part.bytes.empty()) continue;
    if (part.offset + part.bytes.size() > head.size()) return false;
    for (size_t i = 0; i < part.bytes.size(); ++i)
      if (head[part.offset + i] != static_cast<uint8_t>(part.bytes[i])) return false;
  }
  return true;
}

}  // namespace

std::string detectFormatOf(std::span<const uint8_t> head) {
  if (head.empty()) return kUnrecognized;
  if (head.size() > kHeadSize) head = head.first(kHeadSize);
  const char* result = kUnrecognized;
  for (const Signature& signature : kSignatures)
    if (matches(signature, head)) result = signature.name;
  return result;
}

std::string detectFormat(const std::string& path) {
  // Only a regular file is looked into; a pipe or device would block.
  const int fd = openRegularFile(path, UINT64_MAX);
  if (fd < 0) return kUnrecognized;
  std::array<uint8_t, kHeadSize> head{};
  size_t got = 0;
  while (got < head.size()) {
    const ssize_t n = read(fd, head.data() + got, head.size() - got);
    if (n <= 0) break;  // end of file, or a read error: judge what was read
    got += static_cast<size_t>(n);
  }
  close(fd);
  return detectFormatOf(std::span<const uint8_t>(head.data(), got));
}

}  // namespace trovabild
