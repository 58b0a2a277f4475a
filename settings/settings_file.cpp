#include "settings/settings_file.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "base/text.h"

namespace trovabild {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool validUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t more = 0;
    uint32_t point = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      point = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      point = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      point = c & 0x07;
    } else {
      return false;
    }
    if (i + more >= text.size()) return false;
    for (size_t k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      point = (point << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    if ((more == 2 && point < 0x800) || (more == 3 && (point < 0x10000 || point > 0x10FFFF)) ||
        (point >= 0xD800 && point <= 0xDFFF))
      return false;
    i += more + 1;
  }
  return true;
}

}  // namespace

std::string utf8OrLatin1(std::string_view text) {
  if (validUtf8(text)) return std::string(text);
  std::string result;
  result.reserve(text.size() * 2);
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      result.push_back(c);
    } else {
      result.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      result.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return result;
}

int32_t leadingInteger(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (value <= int64_t{1} << 40) value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

double leadingReal(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  // Only a number is read: no spellings of infinity or NaN.
  const std::string_view digits = !text.empty() && text.front() == '-' ? text.substr(1) : text;
  if (digits.empty() || !((digits.front() >= '0' && digits.front() <= '9') || digits.front() == '.')) return 0;
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value untouched; take the limit with the sign.
    const bool negative = !text.empty() && text.front() == '-';
    return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  }
  if (result.ec != std::errc()) return 0;
  return value;
}

void SettingsFileReader::clear() {
  groups_.clear();
  current_ = nullptr;
  nextLine_ = 0;
  group_ = nullptr;
  keepGroup_ = true;
  groupTaken_ = false;
}

bool SettingsFileReader::openSettingsFile(const std::string& path, std::string_view onlyGroup) {
  clear();
  TextLineReader reader;
  if (!reader.open(path)) return false;
  std::string line;
  for (;;) {
    const TextLineReader::Result result = reader.next(line);
    if (result == TextLineReader::Result::end) break;
    if (result == TextLineReader::Result::tooLong) {
      clear();
      return false;
    }
    addLine(line, reader.marked(), onlyGroup);
  }
  group_ = nullptr;
  if (reader.failed()) {
    clear();
    return false;
  }
  return true;
}

void SettingsFileReader::openSettingsText(std::string_view raw) {
  clear();
  // With a byte order mark the file is UTF-8; without one each line is
  // taken as UTF-8 when it is valid UTF-8 and as Latin-1 otherwise.
  const bool marked = raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF";
  const std::string_view text = marked ? raw.substr(3) : raw;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    addLine(text.substr(start, end - start), marked, {});
    start = end + 1;
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++start;
  }
  group_ = nullptr;
}

void SettingsFileReader::addLine(std::string_view raw, bool marked, std::string_view onlyGroup) {
  const std::string decoded = marked ? std::string() : utf8OrLatin1(raw);
  std::string_view line = marked ? raw : std::string_view(decoded);
  while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
  if (line.empty() || line.front() == ';') return;
  if (line.front() == '[') {
    line.remove_prefix(1);
    const size_t close = line.find(']');
    std::string name(trimBlanks(line.substr(0, close)));
    if (!onlyGroup.empty()) {
      // Only the first group of the wanted name is kept; the lines of any
      // other group are passed over.
      keepGroup_ = !groupTaken_ && equalIgnoringAsciiCase(name, trimBlanks(onlyGroup));
      groupTaken_ = groupTaken_ || keepGroup_;
      if (!keepGroup_) {
        group_ = nullptr;
        return;
      }
    }
    groups_.push_back(Group{std::move(name), {}});
    group_ = &groups_.back();
    return;
  }
  const size_t equals = line.find('=');
  // Lines outside any group, and lines that are neither group nor key, are
  // not part of the file's content.
  if (group_ == nullptr || equals == std::string_view::npos) return;
  group_->lines.push_back(
      Line{std::string(trimBlanks(line.substr(0, equals))), std::string(trimBlanks(line.substr(equals + 1)))});
}

bool SettingsFileReader::selectGroup(std::string_view name) {
  current_ = nullptr;
  nextLine_ = 0;
  for (const Group& group : groups_)
    if (equalIgnoringAsciiCase(group.name, trimBlanks(name))) {
      current_ = &group;
      return true;
    }
  return false;
}

const SettingsFileReader::Line* SettingsFileReader::findKey(std::string_view key) const {
  if (current_ == nullptr) return nullptr;
  for (const Line& line : current_->lines)
    if (equalIgnoringAsciiCase(line.key, key)) return &line;
  return nullptr;
}

bool SettingsFileReader::hasKey(std::string_view key) const { return findKey(key) != nullptr; }

std::string SettingsFileReader::readText(std::string_view key, std::string_view fallback) const {
  const Line* line = findKey(key);
  return line ? line->value : std::string(fallback);
}

int32_t SettingsFileReader::readInteger(std::string_view key, int32_t fallback) const {
  const Line* line = findKey(key);
  return line ? leadingInteger(line->value) : fallback;
}

double SettingsFileReader::readReal(std::string_view key, double fallback) const {
  const Line* line = findKey(key);
  return line ? leadingReal(line->value) : fallback;
}

std::optional<std::pair<std::string, std::string>> SettingsFileReader::nextKey() {
  if (current_ == nullptr || nextLine_ >= current_->lines.size()) return std::nullopt;
  const Line& line = current_->lines[nextLine_++];
  return std::make_pair(line.key, line.value);
}

void SettingsFileReader::closeSettingsFile() { clear(); }

bool SettingsFileWriter::createSettingsFile(const std::string& path) {
  // Private to the user, as the preferences (recent folders) always were.
  open_ = file_.create(path, 0600);
  if (!open_) return false;
  return file_.write(std::string_view("\xEF\xBB\xBF\r\n").data(), 5);
}

void SettingsFileWriter::writeLine(std::string_view line) {
  std::string clean(line);
  for (char& c : clean)
    if (c == '\r' || c == '\n') c = ' ';
  clean += "\r\n";
  file_.write(clean);
}

void SettingsFileWriter::writeGroup(std::string_view name) { writeLine("[" + std::string(name) + "]"); }

void SettingsFileWriter::writeText(std::string_view key, std::string_view value) {
  writeLine(std::string(key) + " = " + std::string(value));
}

void SettingsFileWriter::writeInteger(std::string_view key, int64_t value) {
  writeText(key, std::to_string(value));
}

void SettingsFileWriter::writeReal(std::string_view key, double value) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  writeText(key, result.ec == std::errc() ? std::string_view(buffer, static_cast<size_t>(result.ptr - buffer))
                                          : std::string_view("0.000000"));
}

void SettingsFileWriter::writeGroupEnd() { writeLine("; "); }

bool SettingsFileWriter::closeSettingsFile() {
  if (!open_) return false;
  open_ = false;
  return file_.commit(true);
}

}  // namespace trovabild
