#include "cli/options.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <type_traits>
#include <variant>

#include "base/text.h"
#include "cli/profile.h"
#include "settings/vocabulary.h"

namespace trovabild {

namespace {

using T = OptionValueType;

std::vector<OptionSpec> buildTable() {
  std::vector<OptionSpec> table;
  for (const SettingRow& declared : settingTable())
    if (declared.option.name != nullptr) table.push_back(OptionSpec{declared.option.name, declared.type, &declared});
  return table;
}

std::string stripQuotes(std::string_view text) {
  while (!text.empty() && text.front() == '"') text.remove_prefix(1);
  while (!text.empty() && text.back() == '"') text.remove_suffix(1);
  return std::string(text);
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// Puts back together a quoted value that the shell split at blanks: while the
// value opens a quote it has not closed, the next parameters are appended.
std::string joinQuoted(std::string value, const std::vector<std::string>& parameters, size_t& i) {
  if (value.empty() || value.front() != '"') return value;
  auto closed = [&] { return value.size() == 1 || value.back() == '"'; };
  while (!closed() && i + 1 < parameters.size()) {
    ++i;
    value += ' ';
    value += optionValue(parameters[i]);
  }
  return value;
}

void addInput(const std::string& path) {
  if (job.inputPaths.empty()) job.inputPath = path;
  job.inputPaths.push_back(path);
}

std::string strayWordWarning(std::string_view parameter) {
  return "Warning: word \"" + std::string(trimSpaces(parameter)) + "\" ignored: it is neither an option nor an input";
}

std::string unknownOptionWarning(const std::string& name, std::string_view parameter) {
  const std::string typed(trimSpaces(parameter));
  // These answer only as the first parameter, before anything is parsed.
  for (const char* screen : {"-H", "-?", "--HELP", "-V", "--VERSION", "-U", "-T"})
    if (name == screen) return "Warning: option \"" + typed + "\" ignored: it counts only as the first parameter";
  return "Warning: unknown option \"" + typed + "\" ignored";
}

}  // namespace

const std::vector<OptionSpec>& optionTable() {
  static const std::vector<OptionSpec> table = buildTable();
  return table;
}

const OptionSpec* findOption(std::string_view upperName, bool inProfile) {
  for (const OptionSpec& option : optionTable()) {
    const char* profileName = option.setting->option.profileName;
    if (upperName == (inProfile && profileName != nullptr ? profileName : option.name)) return &option;
  }
  return nullptr;
}

int32_t readIntegerValue(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (!text.empty() && text.front() == '%') {
    base = 2;
    text.remove_prefix(1);
  }
  int64_t value = 0;
  for (char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    if (digit < 0 || digit >= base) break;
    // Past the int32 range the result is held at the limit anyway.
    if (value < (int64_t{1} << 40)) value = value * base + digit;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

double readDecimalValue(std::string_view text) {
  const std::string upper = upperAscii(trimBlanks(text));
  if (upper == "+INFINITY") return std::numeric_limits<double>::infinity();
  if (upper == "-INFINITY") return -std::numeric_limits<double>::infinity();
  if (upper == "NAN") return std::numeric_limits<double>::quiet_NaN();
  std::string_view rest = trimBlanks(text);
  const bool negative = !rest.empty() && rest.front() == '-';
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) rest.remove_prefix(1);
  // Only digits or a point may start a number; no other spellings of
  // infinity or NaN are taken.
  if (rest.empty() || !(std::isdigit(static_cast<unsigned char>(rest.front())) || rest.front() == '.')) return 0;
  double value = 0;
  const auto result = std::from_chars(rest.data(), rest.data() + rest.size(), value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) value = std::numeric_limits<double>::infinity();
  else if (result.ec != std::errc()) return 0;
  return negative ? -value : value;
}

std::string optionName(std::string_view parameter) {
  const std::string_view trimmed = trimSpaces(parameter);
  if (!startsWith(trimmed, "-")) return "";
  if (startsWith(trimmed, "--")) return upperAscii(trimmed.substr(0, trimmed.find('=')));
  return upperAscii(trimmed);
}

std::string optionValue(std::string_view parameter) {
  const std::string_view trimmed = trimSpaces(parameter);
  if (startsWith(trimmed, "--")) {
    const size_t equals = trimmed.find('=');
    if (equals != std::string_view::npos) return std::string(trimmed.substr(equals + 1));
  }
  return std::string(trimmed);
}

void applyOption(const OptionSpec& option, std::string_view value) {
  const SettingRow& declared = *option.setting;
  std::visit(
      [&](auto field) {
        using Value = std::remove_reference_t<decltype(settings.*field)>;
        if constexpr (std::is_same_v<Value, int32_t> || std::is_same_v<Value, int8_t>) {
          switch (declared.type) {
            case T::number:
              settings.*field = static_cast<Value>(readIntegerValue(value));
              break;
            case T::word:
              settings.*field = static_cast<Value>(keywordCode(declared.words, trimBlanks(value)));
              break;
            case T::flag:
              settings.*field = static_cast<Value>(declared.option.flagValue);
              break;
            default:
              break;
          }
        } else if constexpr (std::is_same_v<Value, float>) {
          double number = readDecimalValue(value);
          // Beyond the float range the value becomes an infinity of its sign.
          if (std::isfinite(number) && std::fabs(number) > std::numeric_limits<float>::max())
            number = std::copysign(std::numeric_limits<double>::infinity(), number);
          settings.*field = static_cast<float>(number);
        } else if constexpr (std::is_same_v<Value, std::string>) {
          settings.*field = std::string(value);
        }
      },
      declared.field);
  if (declared.option.switchField != nullptr) settings.*declared.option.switchField = declared.option.switchValue;
}

std::string parseOptions(const std::vector<std::string>& parameters, RunFlags& flags) {
  constexpr const char* kIncorrect = "Incorrect number of parameters";
  for (size_t i = 0; i < parameters.size(); ++i) {
    const std::string name = optionName(parameters[i]);
    if (name.empty()) {
      flags.warnings.push_back(strayWordWarning(parameters[i]));
      continue;
    }

    if (name == "-I" || name == "--INPUT" || name == "-O" || name == "--OUTPUT" || name == "-C" ||
        name == "--CONVERSION") {
      const char letter = name[1] == '-' ? name[2] : name[1];
      if (letter == 'I') job.cliMode = 1;
      if (!startsWith(name, "--")) ++i;
      std::string value = i < parameters.size() ? optionValue(parameters[i]) : "";
      if (value.empty() || value.front() == '-') return kIncorrect;
      if (letter != 'C') value = joinQuoted(std::move(value), parameters, i);
      value = stripQuotes(value);
      if (letter == 'I') {
        addInput(value);
        // The shell hands over a pattern such as *.ico as one word per file.
        while (i + 1 < parameters.size() && optionName(parameters[i + 1]).empty()) {
          ++i;
          std::string further = stripQuotes(joinQuoted(optionValue(parameters[i]), parameters, i));
          if (further.empty()) flags.warnings.push_back(strayWordWarning(parameters[i]));
          else addInput(further);
        }
      } else if (letter == 'O') {
        job.outputFolder = value;
      } else {
        job.outputExtension = value;
      }
      continue;
    }
    if (name == "-D" || name == "--DEBUG") {
      job.runMode = "DEBUG";
      continue;
    }
    if (name == "-Q" || name == "--QUIET") {
      flags.quiet = true;
      continue;
    }
    if (name == "-P" || name == "--PAUSE") {
      flags.pause = true;
      continue;
    }

    const bool profile = name == "--PROFILE";
    const OptionSpec* option = profile ? nullptr : findOption(name, false);
    if (!profile && option == nullptr) {  // not an option of this program here
      flags.warnings.push_back(unknownOptionWarning(name, parameters[i]));
      continue;
    }
    if (option != nullptr && option->type == T::flag) {
      applyOption(*option, "");
      continue;
    }
    std::string value = optionValue(parameters[i]);
    if (value.empty() || startsWith(value, "--")) return kIncorrect;
    if (profile || option->type == T::text) value = stripQuotes(joinQuoted(std::move(value), parameters, i));
    if (profile) {
      if (!applyProfile(value)) return "Invalid profile file";
      job.profilePaths.push_back(value);
      continue;
    }
    applyOption(*option, value);
  }
  return "";
}

}  // namespace trovabild
