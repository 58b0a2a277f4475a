#include "batch/output_naming.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "base/seams.h"
#include "base/text.h"
#include "batch/paths.h"
#include "batch/run_plan.h"

namespace trovabild {

namespace {

// A locale for case mapping only; the process locale stays untouched.
locale_t caseLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

// Decodes one UTF-8 sequence at `i`; returns its length, or 0 when the bytes
// there are not valid UTF-8.
size_t decodeUtf8(const std::string& text, size_t i, uint32_t& code) {
  const auto lead = static_cast<unsigned char>(text[i]);
  size_t length = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(text[i + k]);
    if ((byte & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte & 0x3F);
  }
  return length;
}

uint32_t mapCase(uint32_t code, bool upper) {
  if (code < 0x80) {
    if (upper && code >= 'a' && code <= 'z') return code - 'a' + 'A';
    if (!upper && code >= 'A' && code <= 'Z') return code - 'A' + 'a';
    return code;
  }
  const locale_t locale = caseLocale();
  if (locale == static_cast<locale_t>(nullptr)) return code;
  const wint_t mapped = upper ? towupper_l(static_cast<wint_t>(code), locale)
                              : towlower_l(static_cast<wint_t>(code), locale);
  return static_cast<uint32_t>(mapped);
}

// Maps the case of the characters from the `from`-th on; the ones before
// keep theirs.
std::string convertCase(const std::string& text, bool upper, size_t from = 0) {
  std::string out;
  out.reserve(text.size());
  size_t character = 0;
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    const size_t length = decodeUtf8(text, i, code);
    if (length == 0) {
      out += text[i++];
    } else {
      appendUtf8(out, character >= from ? mapCase(code, upper) : code);
      i += length;
    }
    ++character;
  }
  return out;
}

// First character upper case, the rest lower case.
std::string titleText(const std::string& text) {
  if (text.empty()) return text;
  uint32_t code = 0;
  size_t length = decodeUtf8(text, 0, code);
  if (length == 0) length = 1;
  return upperText(text.substr(0, length)) + lowerText(text.substr(length));
}

std::string baseName(const std::string& input) {
  const size_t slash = input.rfind('/');
  return stripExtension(slash == std::string::npos ? input : input.substr(slash + 1));
}

std::string padded(int32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%05d", static_cast<int>(value));
  return buffer;
}

std::string twoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

std::tm localClock(const NameValues& values) {
  const std::time_t now = values.time >= 0 ? values.time : currentTime();
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string tokenValue(std::string_view token, const NameValues& values) {
  if (token == "%filename%") return baseName(values.input);
  if (token == "%filename[u]%") return upperText(baseName(values.input));
  if (token == "%filename[l]%") return lowerText(baseName(values.input));
  if (token == "%filename[t]%") return titleText(baseName(values.input));
  if (token == "%ext%") return values.extension;
  if (token == "%ext[u]%") return upperText(values.extension);
  if (token == "%ext[t]%") return titleText(values.extension);
  if (token == "%yyyy%") return std::to_string(localClock(values).tm_year + 1900);
  if (token == "%mm%") return twoDigits(localClock(values).tm_mon + 1);
  if (token == "%dd%") return twoDigits(localClock(values).tm_mday);
  if (token == "%hh%") return twoDigits(localClock(values).tm_hour);
  if (token == "%ii%") return twoDigits(localClock(values).tm_min);
  if (token == "%ss%") return twoDigits(localClock(values).tm_sec);
  if (token == "%bpp%") return std::to_string(values.targetBpp);
  if (token == "%width%") return std::to_string(values.width);
  if (token == "%height%") return std::to_string(values.height);
  if (token == "%rnd%") return padded(values.randomNumber);
  if (token == "%n%") return padded(values.counter);
  return std::string(token);
}

char lowerAsciiChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Position of `token` (lower case ASCII) in `text` from `from` on, ignoring
// ASCII letter case; npos when absent.
size_t findIgnoringCase(const std::string& text, std::string_view token, size_t from) {
  if (token.empty() || text.size() < token.size()) return std::string::npos;
  for (size_t i = from; i + token.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < token.size() && lowerAsciiChar(text[i + k]) == token[k]) ++k;
    if (k == token.size()) return i;
  }
  return std::string::npos;
}

}  // namespace

std::string upperText(const std::string& text) { return convertCase(text, true); }
std::string lowerText(const std::string& text) { return convertCase(text, false); }

std::string expandNameTokens(const std::string& text, std::string_view token, const NameValues& values) {
  size_t found = findIgnoringCase(text, token, 0);
  if (found == std::string::npos) return text;
  const std::string value = tokenValue(token, values);
  std::string result;
  size_t from = 0;
  while (found != std::string::npos) {
    result.append(text, from, found - from);
    result += value;
    from = found + token.size();
    found = findIgnoringCase(text, token, from);
  }
  result.append(text, from, std::string::npos);
  return result;
}

std::string buildOutputName(const std::string& mask, const NameValues& values) {
  std::string name = lowerText(mask);
  if (name.empty()) name = kDefaultFilenameMask;
  for (std::string_view token : kNameTokens)
    if (name.find(token) != std::string::npos) name = expandNameTokens(name, token, values);
  return name;
}

std::string buildOutputPath(const RunPlan& plan, const std::string& subfolder, const NameValues& values) {
  std::string path = plan.outputFolder;
  if (plan.keepSubfolders) path += subfolder;
  // A name that is no file name in the folder gives no path: the save fails.
  const std::string name = buildOutputName(plan.filenameMask, values);
  if (!outputNameProblem(name).empty()) return "";
  return path + name;
}

std::string outputNameProblem(const std::string& name) {
  if (name.empty()) return "is empty";
  if (!staysInFolder(name)) return "leaves the output folder";
  const size_t slash = name.rfind('/');
  const std::string_view last = std::string_view(name).substr(slash == std::string::npos ? 0 : slash + 1);
  if (last.empty()) return "ends in \"/\", with no file name after it";
  if (last == ".") return "ends in \".\", which names a folder";
  return "";
}

std::string expandWatermarkTokens(const std::string& watermarkText, const NameValues& values) {
  std::string text = watermarkText;
  if (std::count(text.begin(), text.end(), '%') < 2) return text;
  const std::string lowered = lowerText(text);
  for (std::string_view token : kNameTokens)
    if (lowered.find(token) != std::string::npos) text = expandNameTokens(text, token, values);
  return text;
}

std::string stripExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace trovabild
