#pragma once
// Names the kind of a file from its first bytes (informational only:
// loading always reads icons).

#include <cstdint>
#include <span>
#include <string>

namespace trovabild {

/// One of the known signature names ("ICO", "PNG", "CR2", ...), or
/// "[ERROR] UNRECOGNIZED" when the file cannot be read, is empty or matches
/// nothing.
std::string detectFormat(const std::string& path);
/// The same for bytes already read (only the first 20 are looked at).
std::string detectFormatOf(std::span<const uint8_t> head);

}  // namespace trovabild
