#pragma once
// Output file names from the filename mask and its tokens.

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace trovabild {

struct RunPlan;

/// What the naming tokens of one frame stand for.
struct NameValues {
  std::string input;      ///< full path of the input file (%filename%)
  std::string extension;  ///< the output extension as stored (%ext%)
  int targetBpp = 0;      ///< the depth the frame is saved with (%bpp%)
  int width = 0;          ///< the size after resizing (%width%, %height%)
  int height = 0;
  int32_t randomNumber = 1;  ///< %rnd%
  int32_t counter = 1;       ///< %n%
  /// The moment the date and time tokens show; -1 reads the clock.
  std::time_t time = -1;
};

/// The naming tokens in the order they are replaced.
inline constexpr std::array<std::string_view, 18> kNameTokens = {
    "%filename%", "%filename[u]%", "%filename[l]%", "%filename[t]%", "%ext%", "%ext[u]%",
    "%ext[t]%",   "%yyyy%",        "%mm%",          "%dd%",          "%hh%",  "%ii%",
    "%ss%",       "%bpp%",         "%width%",       "%height%",      "%rnd%", "%n%"};

/// The mask used when settings.filenameMask is empty.
inline constexpr std::string_view kDefaultFilenameMask = "%filename%.%ext%";

/// Replaces every occurrence of `token` (found without regard to letter case)
/// in `text` by its value; date and time tokens read the clock.
std::string expandNameTokens(const std::string& text, std::string_view token, const NameValues& values);

/// The output file name (no folder) from the filename mask ("" gives the
/// default mask).
std::string buildOutputName(const std::string& mask, const NameValues& values);

/// Why `name` cannot name an output file inside the output folder, as the
/// end of "its output name \"...\" ..." ("" when it can).
std::string outputNameProblem(const std::string& name);

/// The full output path: the plan's output folder, the input's subfolder
/// when subfolders are kept, and the name; "" when the name has a problem
/// (outputNameProblem).
std::string buildOutputPath(const RunPlan& plan, const std::string& subfolder, const NameValues& values);

/// A text watermark's text with the tokens written in it replaced; a text
/// with fewer than two "%" is returned unchanged.
std::string expandWatermarkTokens(const std::string& text, const NameValues& values);

/// `name` without its last "." and what follows, when it has a ".".
std::string stripExtension(const std::string& name);

/// Unicode-aware case mapping of UTF-8 text (invalid bytes are kept).
std::string upperText(const std::string& text);
std::string lowerText(const std::string& text);

}  // namespace trovabild
