#pragma once
// What the program knows of image formats: output formats with their
// identifiers and depths, and the accepted input extensions.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trovabild {

struct OutputFormatInfo {
  int32_t fif = 0;          ///< FREE_IMAGE_FORMAT used for saving
  std::string extension;    ///< lower case, without dot; the table key
  std::string description;
  std::string depths;       ///< allowed bits per pixel, ascending, e.g. "8,24"
};

struct InputFormatInfo {
  std::string group;        ///< main extension of the format
  std::string description;
};

/// Builds both tables; later calls do nothing. Lookups build them on first
/// use as well, so calling this is only a way to pay the cost up front.
void fillFormatRegistry();

/// The output formats in their order of insertion.
const std::vector<OutputFormatInfo>& outputFormatTable();
/// The input extensions (key, info) in their order of insertion.
const std::vector<std::pair<std::string, InputFormatInfo>>& inputFormatTable();

/// The output format for exactly this key ("jpg", not "JPG" or "jpeg"),
/// or nullptr.
const OutputFormatInfo* findOutputFormat(std::string_view extension);
/// True when `bpp` is 0 (automatic) or one of the format's depths.
bool isAllowedDepth(std::string_view extension, int bpp);
/// The first listed depth >= sourceBpp, else the largest listed one;
/// 0 for an extension that is not an output format.
int chooseDepth(std::string_view extension, int sourceBpp);
/// The format's depths as numbers, ascending; empty for an unknown extension.
std::vector<int> depthsOf(std::string_view extension);

const InputFormatInfo* findInputFormat(std::string_view extension);
/// The group key of an input extension ("tif" gives "tiff").
std::optional<std::string> inputGroupOf(std::string_view extension);
/// Every input extension whose group is `group` ("ico" gives "ico").
std::vector<std::string> inputExtensionsOf(const std::string& group);

}  // namespace trovabild
