#pragma once
// The option keyword vocabulary: the words a coded setting accepts on the
// command line and in profiles, and the small integer code each word gives.

#include <string>
#include <string_view>
#include <vector>

namespace trovabild {

/// Vocabulary lists by kind number, as the settings table names them.
enum KeywordKind : int {
  kDdsLoadAsWords = 0,
  kRawLoadAsWords = 1,
  kFrameLoadingWords = 2,
  kToneMappingWords = 3,
  kCompressionWords = 4,
  kColorTableWords = 5,
  kColorModeWords = 6,
  kChromaWords = 7,
  kJpegVariantWords = 8,
  kRotationTypeWords = 9,
  kUnitWords = 10,
  kResizeTypeWords = 11,
  kResizeAlgorithmWords = 12,
  kDitherWords = 13,
  kFrameTypeWords = 14,      ///< reverse lookup only
  kWatermarkTypeWords = 15,  ///< reverse lookup only
  kFontStyleWords = 16,
  kFontEffectWords = 17,
  kAlignmentWords = 18,
  kBoundaryWords = 19,
  kPositionWords = 20,
  kSizeModeWords = 21,
  kTimestampWords = 22,
  kIcoFrameLoadingWords = 23,  ///< the frame loading words and two that look at the icon's frames
};

/// The code of `word` (any letter case, compared whole) in list `kind`; 0
/// for a word the list does not hold and for the reverse-only kinds.
int keywordCode(int kind, std::string_view word);

/// Every word of list `kind`, in the list's order (the compression list
/// holds the words of all its format families); empty for an unknown kind.
std::vector<std::string> keywordList(int kind);

/// The word of `code` in list `kind`, for display; "" when no word has it.
/// For the compression list the word comes from the family of the output
/// format `format` ("png", "tiff", ...); `format` is unused otherwise.
std::string keywordWord(int kind, int code, std::string_view format = "");

}  // namespace trovabild
