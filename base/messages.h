#pragma once
// The built-in message table: every user-facing text by group and key.

#include <string>
#include <string_view>

namespace trovabild {

void loadMessageTable();
/// The text of the entry, or "%NO_STRING_ERROR%"; group and key ignore case.
std::string message(std::string_view group, std::string_view key);
/// The text with "%s1%" .. "%s4%" replaced.
std::string formatMessage(std::string_view text, std::string_view s1 = "", std::string_view s2 = "",
                          std::string_view s3 = "", std::string_view s4 = "");

}  // namespace trovabild
