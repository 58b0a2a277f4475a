#include "settings/vocabulary.h"

#include <cctype>
#include <span>

#include "base/text.h"

namespace trovabild {

namespace {

struct Keyword {
  const char* word;
  int code;
};

constexpr Keyword kDdsLoadAs[] = {{"AUTO", 0}, {"BGRA", 1}, {"RGBA", 2}};
constexpr Keyword kRawLoadAs[] = {{"AUTO", 0}, {"8", 1}, {"16", 2}, {"24", 3}, {"48HS", 4}, {"48", 5}};
constexpr Keyword kFrameLoading[] = {{"ALL", 0}, {"FIRST", 1}, {"MIDDLE", 2}, {"LAST", 3}, {"RANDOM", 4}};
constexpr Keyword kIcoFrameLoading[] = {{"ALL", 0},    {"FIRST", 1},   {"MIDDLE", 2}, {"LAST", 3},
                                        {"RANDOM", 4}, {"LARGEST", 5}, {"BEST", 6}};
constexpr Keyword kToneMapping[] = {{"NONE", 0}, {"LINEAR", 1}, {"AL", 2}, {"DRR", 3}, {"GD", 4}};
// One list shared by five formats; the code is a position within a family.
constexpr Keyword kCompression[] = {
    {"NONE", 0},      {"RLE", 1},       {"ZIP", 1},          {"PIZ", 2},      {"PXR24", 3},   {"B44", 4},
    {"ZLIB1", 1},     {"ZLIB6", 2},     {"ZLIB9", 3},        {"CCITTFAX3", 1}, {"CCITTFAX4", 2},
    {"PACKBITS", 3},  {"DEFLATE", 4},   {"ADOBEDEFLATE", 5}, {"LZW", 6},      {"JPEG", 7},    {"LOGLUV", 8}};
constexpr Keyword kColorTable[] = {{"AUTO", 0}, {"EXACT", 1}};
constexpr Keyword kColorMode[] = {{"RGB", 0}, {"CMYK", 1}, {"LAB", 2}};
constexpr Keyword kChroma[] = {{"NONE", 0}, {"LOW", 1}, {"MEDIUM", 2}, {"HIGH", 3}};
constexpr Keyword kJpegVariant[] = {{"STANDARD", 0}, {"SIMPLE", 1}, {"OPTIMIZED", 2}, {"PROGRESSIVE", 3}};
constexpr Keyword kRotationType[] = {{"SIMPLE", 0}, {"ADVANCED", 1}};
constexpr Keyword kUnit[] = {{"PIXELS", 0}, {"PERCENT", 1}};
constexpr Keyword kResizeType[] = {{"ALLIMAGES", 0}, {"LARGEIMAGES", 1}};
constexpr Keyword kResizeAlgorithm[] = {{"BOX", 0},     {"BILINEAR", 1},   {"BSPLINE", 2},
                                        {"BICUBIC", 3}, {"CATMULLROM", 4}, {"LANCZOS", 5}};
constexpr Keyword kDither[] = {{"FS", 0},       {"BAYER4", 1},   {"BAYER8", 2},    {"BAYER16", 3},
                               {"CLUSTER6", 4}, {"CLUSTER8", 5}, {"CLUSTER16", 6}};
constexpr Keyword kFrameType[] = {{"NONE", 0}, {"SOLID", 1}};
constexpr Keyword kWatermarkType[] = {{"NONE", 0}, {"TEXT", 1}, {"IMAGE", 2}};
constexpr Keyword kFontStyle[] = {{"REGULAR", 0}, {"BOLD", 1}, {"ITALIC", 2}, {"BOLDITALIC", 3}};
constexpr Keyword kFontEffect[] = {{"NONE", 0}, {"UNDERLINE", 1}, {"STRIKETHROUGHT", 2}};
constexpr Keyword kAlignment[] = {{"LEFT", 0}, {"CENTER", 1}, {"RIGHT", 2}};
constexpr Keyword kBoundary[] = {{"IMAGE", 0}, {"FRAME", 1}};
constexpr Keyword kPosition[] = {{"TOPLEFT", 0},    {"TOPCENTER", 1},    {"TOPRIGHT", 2},
                                 {"MIDDLELEFT", 3}, {"MIDDLECENTER", 4}, {"MIDDLERIGHT", 5},
                                 {"BOTTOMLEFT", 6}, {"BOTTOMCENTER", 7}, {"BOTTOMRIGHT", 8}};
constexpr Keyword kSizeMode[] = {{"FIXED", 0}};
constexpr Keyword kTimestamp[] = {{"CURRENT", 0}, {"ORIGINAL", 1}, {"CUSTOM", 2}};

constexpr std::span<const Keyword> kLists[] = {
    kDdsLoadAs,  kRawLoadAs,    kFrameLoading, kToneMapping,     kCompression, kColorTable,
    kColorMode,  kChroma,       kJpegVariant,  kRotationType,    kUnit,        kResizeType,
    kResizeAlgorithm, kDither,  kFrameType,    kWatermarkType,   kFontStyle,   kFontEffect,
    kAlignment,  kBoundary,     kPosition,     kSizeMode,        kTimestamp,   kIcoFrameLoading};
constexpr int kKindCount = static_cast<int>(std::size(kLists));

// The compression families, each in code order from NONE.
struct Family {
  const char* formats[2];
  std::span<const char* const> words;
};
constexpr const char* kRleFamily[] = {"NONE", "RLE"};
constexpr const char* kExrFamily[] = {"NONE", "ZIP", "PIZ", "PXR24", "B44"};
constexpr const char* kPngFamily[] = {"NONE", "ZLIB1", "ZLIB6", "ZLIB9"};
constexpr const char* kTiffFamily[] = {"NONE",    "CCITTFAX3",    "CCITTFAX4", "PACKBITS", "DEFLATE",
                                       "ADOBEDEFLATE", "LZW",     "JPEG",      "LOGLUV"};
constexpr Family kFamilies[] = {
    {{"BMP", "TGA"}, kRleFamily}, {{"EXR", ""}, kExrFamily}, {{"PNG", ""}, kPngFamily}, {{"TIFF", ""}, kTiffFamily}};

}  // namespace

int keywordCode(int kind, std::string_view word) {
  if (kind < 0 || kind >= kKindCount || kind == kFrameTypeWords || kind == kWatermarkTypeWords) return 0;
  const std::string upper = upperAscii(word);
  for (const Keyword& entry : kLists[kind])
    if (upper == entry.word) return entry.code;
  return 0;
}

std::vector<std::string> keywordList(int kind) {
  std::vector<std::string> words;
  if (kind < 0 || kind >= kKindCount) return words;
  for (const Keyword& entry : kLists[kind]) words.emplace_back(entry.word);
  return words;
}

std::string keywordWord(int kind, int code, std::string_view format) {
  if (kind < 0 || kind >= kKindCount) return "";
  if (kind == kCompressionWords) {
    const std::string upperFormat = upperAscii(format);
    for (const Family& family : kFamilies)
      if (upperFormat == family.formats[0] || (*family.formats[1] && upperFormat == family.formats[1]))
        return code >= 0 && static_cast<size_t>(code) < family.words.size() ? family.words[static_cast<size_t>(code)]
                                                                             : "";
    return "";
  }
  for (const Keyword& entry : kLists[kind])
    if (entry.code == code) return entry.word;
  return "";
}

}  // namespace trovabild
