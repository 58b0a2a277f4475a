#pragma once
// Command-line options: how a parameter splits into name and value, the
// long options (shared with profile files) as the settings table declares
// them, and the parse.

#include <string>
#include <string_view>
#include <vector>

#include "settings/setting_table.h"
#include "settings/settings.h"

namespace trovabild {

/// How an option gives its value: the type of its setting.
using OptionValueType = SettingType;

/// One long option: the row of the settings table it sets.
struct OptionSpec {
  const char* name;  ///< upper-cased, with its two dashes
  OptionValueType type;
  const SettingRow* setting;
};

/// Every long option that sets a Settings field (not --PROFILE and not the
/// path, mode and screen options), in the order of the settings table.
const std::vector<OptionSpec>& optionTable();
/// The option of that upper-cased name, or null. In a profile an option is
/// called by its row's profile name where it has one (the frame opacity is
/// --WM-SOLID-OPACITY there, not --FR-SOLID-OPACITY).
const OptionSpec* findOption(std::string_view upperName, bool inProfile);
/// Stores `value` into the option's field by its type and switches the
/// option's step on. Text is stored as given.
void applyOption(const OptionSpec& option, std::string_view value);

/// Integer reading: blanks and tabs skipped, an optional sign, then "$" and
/// hexadecimal digits, "%" and binary digits, or decimal digits, up to the
/// first character that does not fit; 0 without digits. Out-of-range values
/// are held at the int32 limits.
int32_t readIntegerValue(std::string_view text);
/// Decimal reading with "." as the decimal point whatever the locale; the
/// words +Infinity, -Infinity and NaN (any case) give those values; 0 when
/// no number starts the text.
double readDecimalValue(std::string_view text);

/// The parameter trimmed of blanks and upper-cased when it starts with "-";
/// for "--" forms only the part before the first "="; "" otherwise.
std::string optionName(std::string_view parameter);
/// For a trimmed "--" parameter holding "=", the text after the first "=";
/// otherwise the whole trimmed parameter.
std::string optionValue(std::string_view parameter);

/// The flags of a console run that live outside Settings and Job.
struct RunFlags {
  bool quiet = false;
  bool pause = false;
  /// One line per parameter the parse passed over (a misspelt option, a
  /// stray word), for standard error.
  std::vector<std::string> warnings;
};

/// Parses every parameter into Settings, Job and `flags`. Every bare word
/// right after an -i value (up to the next option) and every repeated -i is
/// one more input in job.inputPaths. Returns the error
/// message ("Incorrect number of parameters", "Invalid profile file"), or ""
/// when parsing succeeded. Parsing stops at the first error.
std::string parseOptions(const std::vector<std::string>& parameters, RunFlags& flags);

}  // namespace trovabild
