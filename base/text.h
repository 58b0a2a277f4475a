#pragma once
// Small text operations shared across the program. Case changes touch ASCII
// letters only, whatever the process locale, so UTF-8 text passes unharmed.

#include <cstdint>
#include <string>
#include <string_view>

namespace trovabild {

std::string upperAscii(std::string_view text);
std::string lowerAscii(std::string_view text);
/// Equal when ASCII letter case is ignored.
bool equalIgnoringAsciiCase(std::string_view a, std::string_view b);

/// Without leading and trailing spaces.
std::string_view trimSpaces(std::string_view text);
/// Without leading and trailing spaces and tabs.
std::string_view trimBlanks(std::string_view text);

/// Appends one Unicode code point to `out` as UTF-8.
void appendUtf8(std::string& out, uint32_t code);

}  // namespace trovabild
