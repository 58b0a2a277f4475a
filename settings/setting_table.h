#pragma once
// Every setting declared once. One row per Settings field says what the
// program knows of it: its type and word list, its default and valid range
// with the console's error, its option and profile names, its group and key
// in the preferences file, its label in the settings listing (which is also
// its key in the run report), its help text in the command reference, and
// the name by which the preferences dialog binds its control, and its row in
// the user manual's option tables. The option parser and profiles, the
// preferences file and dialog, the run plan's checks and listing, the run
// report, the manual page, the completion and the user manual read these
// rows.

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "settings/settings.h"

namespace trovabild {

/// Where a setting's value lives.
using SettingField = std::variant<int32_t Settings::*, int8_t Settings::*, float Settings::*, std::string Settings::*>;

/// How an option or profile line gives the value, and how the listing shows it.
enum class SettingType : uint8_t {
  number,   ///< an integer ($hex and %binary too); listed in decimal
  decimal,  ///< a fraction; listed with two decimals, held by the dialog times 100
  word,     ///< a word of the row's list; listed in lower case
  text,     ///< taken as given
  flag,     ///< the option takes no value and stores `SettingOption::flagValue`
};

/// What the run plan checks of the value before the first file.
enum class ValueCheck : uint8_t {
  none,
  range,         ///< inside the row's range (NaN is outside)
  nonZero,       ///< anything but 0
  colour,        ///< six hexadecimal digits
  outputDepth,   ///< 0 or a depth the row's output format can write
  staysInFolder, ///< a filename mask that names a file inside the output folder
};

/// When the settings listing shows the row.
enum class ListedWhen : uint8_t {
  always,
  switchedOn,    ///< `SettingListing::switchField` holds `SettingListing::switchValue`
  notEmpty,      ///< the text is not empty
  inputFormat,   ///< the run reads the row's format
  outputFormat,  ///< the run writes the row's format (console only; checked after the format's last row)
};

/// How the listing writes the value beyond its type.
enum class ListedAs : uint8_t {
  value,
  withUnit,     ///< "50 percent": the value, a blank and the word of the companion row
  pair,         ///< "10/20": the value, "/" and the companion row's value
  threadCount,  ///< "0 (4 cores)": 0 with the number of cores it stands for
};

/// The values a setting may take; unbounded unless given.
struct SettingRange {
  double low = -std::numeric_limits<double>::infinity();
  double high = std::numeric_limits<double>::infinity();
};

struct SettingCheck {
  ValueCheck kind = ValueCheck::none;
  const char* error = nullptr;          ///< the console's line when the value fails
  const char* windowMessage = nullptr;  ///< message key (group "Msg") when the window checks it too; null: console only
};

struct SettingOption {
  const char* name = nullptr;  ///< upper-cased, with its two dashes; null: no option
  int8_t flagValue = 1;        ///< what a flag option stores
  int8_t Settings::*switchField = nullptr;  ///< the step the option switches on, or null
  int8_t switchValue = 1;
  const char* profileName = nullptr;  ///< its name in a profile's [CLI] group when that differs
  bool profileUnquoted = false;       ///< a profile's value loses its surrounding quotes
};

struct PreferencesKey {
  const char* group = nullptr;  ///< null: not in the preferences file
  const char* key = nullptr;
  bool boolean = false;  ///< any non-zero number reads as 1
};

struct SettingListing {
  const char* label = nullptr;  ///< with its ": "; null: never listed. The report's key is the label without ": ".
  ListedWhen when = ListedWhen::always;
  int8_t Settings::*switchField = nullptr;
  int8_t switchValue = 1;
  ListedAs as = ListedAs::value;
  const char* companion = nullptr;  ///< the row (by name) whose value withUnit and pair add
  const char* after = nullptr;      ///< listed right after this row (by name) instead of in table order
};

struct SettingHelp {
  const char* section = nullptr;  ///< section of the manual page
  const char* value = nullptr;    ///< what the value is called ("RRGGBB"); null: after the type
  const char* text = nullptr;
};

/// A setting's row in an option table of the user manual (HTML).
struct SettingManual {
  const char* section = nullptr;  ///< the table's id ("opt-output"); null: not in the manual
  const char* meaning = nullptr;
  /// The Values column; null for a word setting: its words, in upper case.
  const char* values = nullptr;
  bool markDefault = false;      ///< the words say which is the default
  const char* option = nullptr;  ///< the Option column when it is not the options of the manual row
  const char* joins = nullptr;   ///< the setting (by name) whose manual row this option shares
  const char* before = nullptr;  ///< the setting (by name) this row comes before, instead of table order
};

/// One setting.
struct SettingRow {
  /// The field's name. The preferences dialog's control bound to the setting
  /// has this name, and other rows refer to the setting by it.
  const char* name;
  SettingField field;
  SettingType type;
  int words = -1;            ///< vocabulary list (KeywordKind) of a word setting
  double number = 0;         ///< default of a numeric setting
  const char* text = "";     ///< default of a text setting
  /// The input or output format the setting belongs to ("jpg"); its
  /// preferences key is written only while the product has that format.
  const char* format = nullptr;
  SettingRange range;
  SettingCheck check;
  SettingOption option;
  PreferencesKey preferences;
  SettingListing listing;
  SettingHelp help;
  SettingManual manual;
};

/// Every setting, in the order of the option table and the preferences file.
std::span<const SettingRow> settingTable();

/// The row of that name, or null.
const SettingRow* findSetting(std::string_view name);
/// The row of that field, or null.
const SettingRow* findSetting(SettingField field);

/// Sets the field to the row's default.
void applyDefault(const SettingRow& declared, Settings& settings);

/// Whether the field holds the row's default.
bool atDefault(const SettingRow& declared, const Settings& settings);

/// Whether the field's value lies in the row's range (a float field is
/// compared as float; a text is always inside).
bool withinRange(const SettingRow& declared, const Settings& settings);
/// Whether `value` lies in the range of the row of `field` (true without a row).
bool withinRange(int32_t Settings::*field, int32_t value);

/// The field's value as an integer, for the integer fields (0 otherwise).
int32_t integerValue(const SettingRow& declared, const Settings& settings);

/// The rows the settings listing shows, in listing order: table order, each
/// row with `SettingListing::after` moved behind the row it names.
std::span<const SettingRow* const> listingOrder();

}  // namespace trovabild
