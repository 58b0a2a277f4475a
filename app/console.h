#pragma once
// The console layer: whole UTF-8 lines on standard output.

#include <string_view>

namespace trovabild {

/// Writes one complete line (text and line end) in one write, flushed.
void printLine(std::string_view text);

}  // namespace trovabild
