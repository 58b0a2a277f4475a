#pragma once
// Output file names from the filename mask and its tokens.

#include <array>
#include <string>
#include <string_view>

namespace trovabild {

/// The naming tokens in the order they are replaced.
inline constexpr std::array<std::string_view, 18> kNameTokens = {
    "%filename%", "%filename[u]%", "%filename[l]%", "%filename[t]%", "%ext%", "%ext[u]%",
    "%ext[t]%",   "%yyyy%",        "%mm%",          "%dd%",          "%hh%",  "%ii%",
    "%ss%",       "%bpp%",         "%width%",       "%height%",      "%rnd%", "%n%"};

/// The mask used when settings.filenameMask is empty.
inline constexpr std::string_view kDefaultFilenameMask = "%filename%.%ext%";

/// Replaces every occurrence of `token` (found without regard to letter case)
/// in `text` by its current value.
std::string expandNameTokens(const std::string& text, std::string_view token);

/// The output file name (no folder) of the current input.
std::string buildOutputName();

/// The full output path of the current input and image.
std::string buildOutputPath();

/// The text watermark's text with the tokens written in it replaced; a text
/// with fewer than two "%" is returned unchanged.
std::string expandWatermarkTokens();

/// `name` without its last "." and what follows, when it has a ".".
std::string stripExtension(const std::string& name);

/// Unicode-aware case mapping of UTF-8 text (invalid bytes are kept).
std::string upperText(const std::string& text);
std::string lowerText(const std::string& text);

}  // namespace trovabild
