#include <gtest/gtest.h>

#include "settings/vocabulary.h"

namespace trovabild {

namespace {

struct CodeCase {
  int kind;
  const char* word;
  int code;
};

constexpr CodeCase kCodeCases[] = {
    {kResizeAlgorithmWords, "lanczos", 5},
    {kResizeAlgorithmWords, "Lanczos", 5},
    {kResizeAlgorithmWords, "LANCZOS3", 0},
    {kResizeAlgorithmWords, "bicubic", 3},
    {kCompressionWords, "ZIP", 1},
    {kCompressionWords, "RLE", 1},
    {kCompressionWords, "LZW", 6},
    {kCompressionWords, "zlib6", 2},
    {kCompressionWords, "adobedeflate", 5},
    {kRawLoadAsWords, "48", 5},
    {kRawLoadAsWords, "48HS", 4},
    {kRawLoadAsWords, "16", 2},
    {kFontEffectWords, "STRIKETHROUGH", 0},
    {kFontEffectWords, "strikethrought", 2},
    {kPositionWords, "BOTTOM RIGHT", 0},
    {kPositionWords, "bottomright", 8},
    {kPositionWords, " BOTTOMRIGHT", 0},
    {kDitherWords, "cluster16", 6},
    {kDitherWords, "", 0},
    {kToneMappingWords, "al", 2},
    {kTimestampWords, "custom", 2},
    {kSizeModeWords, "FIXED", 0},
    {kFontStyleWords, "BoldItalic", 3},
    {kJpegVariantWords, "optimized", 2},
    {kChromaWords, "medium", 2},
    // Reverse-only lists and unknown kinds parse nothing.
    {kFrameTypeWords, "SOLID", 0},
    {kWatermarkTypeWords, "IMAGE", 0},
    {24, "ALL", 0},
    {-1, "ALL", 0},
    // Icons have two frame choices of their own; GIF and TIFF do not take them.
    {kIcoFrameLoadingWords, "largest", 5},
    {kIcoFrameLoadingWords, "Best", 6},
    {kIcoFrameLoadingWords, "last", 3},
    {kFrameLoadingWords, "largest", 0},
    {kFrameLoadingWords, "best", 0},
};

struct WordCase {
  int kind;
  int code;
  const char* format;
  const char* word;
};

constexpr WordCase kWordCases[] = {
    {kCompressionWords, 2, "png", "ZLIB6"},
    {kCompressionWords, 2, "exr", "PIZ"},
    {kCompressionWords, 4, "tiff", "DEFLATE"},
    {kCompressionWords, 1, "tga", "RLE"},
    {kCompressionWords, 1, "BMP", "RLE"},
    {kCompressionWords, 0, "png", "NONE"},
    {kCompressionWords, 8, "tiff", "LOGLUV"},
    {kCompressionWords, 2, "bmp", ""},
    {kCompressionWords, 1, "jpg", ""},
    {kCompressionWords, -1, "png", ""},
    {kSizeModeWords, 1, "", ""},
    {kSizeModeWords, 0, "", "FIXED"},
    {kFrameTypeWords, 1, "", "SOLID"},
    {kWatermarkTypeWords, 2, "", "IMAGE"},
    {kRawLoadAsWords, 5, "", "48"},
    {kPositionWords, 8, "", "BOTTOMRIGHT"},
    {kFontEffectWords, 2, "", "STRIKETHROUGHT"},
    {kTimestampWords, 3, "", ""},
    {kIcoFrameLoadingWords, 6, "", "BEST"},
    {kFrameLoadingWords, 5, "", ""},
    {30, 0, "", ""},
};

}  // namespace

TEST(Vocabulary, WordsGiveCodes) {
  for (const auto& c : kCodeCases) {
    SCOPED_TRACE(std::to_string(c.kind) + " " + c.word);
    EXPECT_EQ(keywordCode(c.kind, c.word), c.code);
  }
}

TEST(Vocabulary, CodesGiveWords) {
  for (const auto& c : kWordCases) {
    SCOPED_TRACE(std::to_string(c.kind) + " " + std::to_string(c.code) + " " + c.format);
    EXPECT_EQ(keywordWord(c.kind, c.code, c.format), c.word);
  }
}

TEST(Vocabulary, EveryWordRoundTrips) {
  // Apart from the shared compression list, the word of a word's code is
  // that word again (lists hold each code once).
  const std::pair<int, const char*> words[] = {
      {kDdsLoadAsWords, "BGRA"},       {kFrameLoadingWords, "RANDOM"}, {kColorTableWords, "EXACT"},
      {kColorModeWords, "LAB"},        {kRotationTypeWords, "ADVANCED"}, {kUnitWords, "PERCENT"},
      {kResizeTypeWords, "LARGEIMAGES"}, {kResizeAlgorithmWords, "CATMULLROM"}, {kAlignmentWords, "CENTER"},
      {kBoundaryWords, "FRAME"},       {kTimestampWords, "ORIGINAL"},  {kJpegVariantWords, "SIMPLE"},
      {kIcoFrameLoadingWords, "LARGEST"},
  };
  for (const auto& [kind, word] : words) {
    SCOPED_TRACE(word);
    EXPECT_EQ(keywordWord(kind, keywordCode(kind, word)), word);
  }
}

}  // namespace trovabild
