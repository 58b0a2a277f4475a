#pragma once
// The plain-text settings files shared by profiles and the preferences file:
// "[Group]" header lines, "key = value" lines, ";" comments.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/files.h"

namespace trovabild {

/// Reads one settings file. Group and key names match without regard to
/// case; when a group name occurs twice only the first group is found.
class SettingsFileReader {
 public:
  /// Reads the file line by line; false when it cannot be opened, is no
  /// regular file, is larger than kMaxTextFileSize or has a line longer
  /// than kMaxTextLine. A leading UTF-8 byte order mark is dropped, UTF-16
  /// and UTF-32 text is decoded by its mark; text without a mark that is not
  /// valid UTF-8 is read as Latin-1. With `onlyGroup`, only the first group
  /// of that name is kept. Any previous content is forgotten.
  bool openSettingsFile(const std::string& path, std::string_view onlyGroup = {});
  /// As openSettingsFile, from text already in memory (never fails).
  void openSettingsText(std::string_view text);
  /// Makes the first group of that name current; false when there is none
  /// (then no group is current and every key reads as missing).
  bool selectGroup(std::string_view name);

  /// The value of the key in the current group (the first line with that
  /// key), without surrounding blanks and tabs; `fallback` when missing.
  std::string readText(std::string_view key, std::string_view fallback) const;
  /// The leading decimal number of the value (0 when it starts with none,
  /// clamped to the int32 range); `fallback` when the key is missing.
  int32_t readInteger(std::string_view key, int32_t fallback) const;
  /// The leading decimal fraction of the value, "." as the decimal point
  /// whatever the locale; 0 when it starts with none; `fallback` when missing.
  double readReal(std::string_view key, double fallback) const;
  /// The keys of the current group in file order, one per call; nullopt
  /// after the last one.
  std::optional<std::pair<std::string, std::string>> nextKey();
  void closeSettingsFile();

  /// Whether the current group holds the key.
  bool hasKey(std::string_view key) const;

 private:
  struct Line {
    std::string key;
    std::string value;
  };
  struct Group {
    std::string name;
    std::vector<Line> lines;
  };
  const Line* findKey(std::string_view key) const;
  void clear();
  // One line of the file; `marked` when it came from a file with a byte
  // order mark (and is therefore UTF-8).
  void addLine(std::string_view raw, bool marked, std::string_view onlyGroup);

  Group* group_ = nullptr;    // the group lines are added to, while reading
  bool keepGroup_ = true;
  bool groupTaken_ = false;   // the wanted group was seen already

  std::vector<Group> groups_;
  const Group* current_ = nullptr;
  size_t nextLine_ = 0;
};

/// Writes a settings file anew: UTF-8 with a byte order mark and CR LF line
/// ends, "key = value" lines, and "; " after the keys of every group. The
/// file is written under a temporary name and replaces the old one only when
/// it was written completely.
class SettingsFileWriter {
 public:
  /// Starts the new file; false when it cannot be created.
  bool createSettingsFile(const std::string& path);
  void writeGroup(std::string_view name);
  /// Line breaks in a value are written as blanks, so a value can never
  /// start a line of its own.
  void writeText(std::string_view key, std::string_view value);
  void writeInteger(std::string_view key, int64_t value);
  /// Six decimals with "." as the decimal point: 1.5 is "1.500000".
  void writeReal(std::string_view key, double value);
  void writeGroupEnd();
  /// Puts the file in place (synced to disk first); false, with the old file
  /// left as it was, when any write, the flush or the close failed.
  bool closeSettingsFile();

 private:
  void writeLine(std::string_view line);
  ReplacingFile file_;
  bool open_ = false;
};

/// Leading decimal number of `text` after blanks and tabs, with an optional
/// sign; 0 when there is none; clamped to the int32 range.
int32_t leadingInteger(std::string_view text);
/// Leading decimal fraction of `text` after blanks and tabs ("." as the
/// decimal point, an optional exponent); 0 when there is none.
double leadingReal(std::string_view text);

/// `text` as UTF-8: kept when it is valid UTF-8, otherwise read as Latin-1.
std::string utf8OrLatin1(std::string_view text);

}  // namespace trovabild
