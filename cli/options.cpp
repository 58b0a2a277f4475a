#include "cli/options.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "base/text.h"
#include "cli/profile.h"
#include "settings/vocabulary.h"

namespace trovabild {

namespace {

using S = Settings;
using T = OptionValueType;

template <typename Field>
OptionSpec row(const char* name, T type, int kind, Field S::*field, int8_t S::*switchField = nullptr,
               int8_t switchValue = 1, int8_t flagValue = 1) {
  return OptionSpec{name, type, kind, field, flagValue, switchField, switchValue};
}
template <typename Field>
OptionSpec number(const char* name, Field S::*field, int8_t S::*switchField = nullptr, int8_t switchValue = 1) {
  return row(name, T::number, -1, field, switchField, switchValue);
}
template <typename Field>
OptionSpec word(const char* name, int kind, Field S::*field, int8_t S::*switchField = nullptr) {
  return row(name, T::word, kind, field, switchField);
}
OptionSpec text(const char* name, std::string S::*field, int8_t S::*switchField = nullptr, int8_t switchValue = 1) {
  return row(name, T::text, -1, field, switchField, switchValue);
}
OptionSpec flag(const char* name, int8_t S::*field, int8_t value = 1, int8_t S::*switchField = nullptr) {
  return row(name, T::flag, -1, field, switchField, 1, value);
}

std::vector<OptionSpec> buildTable() {
  return {
      // Input loading.
      word("--DDS-LOAD-AS", kDdsLoadAsWords, &S::ddsLoadAs),
      word("--GIF-FRAME-LOADING", kFrameLoadingWords, &S::gifFrameLoading),
      word("--ICO-FRAME-LOADING", kIcoFrameLoadingWords, &S::icoFrameLoading),
      word("--PSD-COLOR-MODE", kColorModeWords, &S::psdColorMode),
      word("--RAW-LOAD-AS", kRawLoadAsWords, &S::rawLoadAs),
      number("--RAW-HEADER-SIZE", &S::rawHeaderSize),
      number("--RAW-WIDTH", &S::rawImageWidth),
      number("--RAW-HEIGHT", &S::rawImageHeight),
      word("--RAW-TONE-MAPPING", kToneMappingWords, &S::rawToneMapping),
      word("--TIFF-FRAME-LOADING", kFrameLoadingWords, &S::tiffFrameLoading),
      text("--BACKGROUND-COLOR", &S::backgroundColor),
      // Output formats.
      number("--BMP-BPP", &S::bmpBpp),
      word("--BMP-COMPRESSION", kCompressionWords, &S::bmpCompression),
      word("--BMP-COLOR-TABLE", kColorTableWords, &S::bmpColorTable),
      number("--DDS-BPP", &S::ddsBpp),
      number("--EXR-BPP", &S::exrBpp),
      word("--EXR-COMPRESSION", kCompressionWords, &S::exrCompression),
      number("--GIF-BPP", &S::gifBpp),
      number("--HDR-BPP", &S::hdrBpp),
      number("--ICO-BPP", &S::icoBpp),
      number("--J2K-BPP", &S::j2kBpp),
      number("--JNG-BPP", &S::jngBpp),
      number("--JP2-BPP", &S::jp2Bpp),
      number("--JPG-BPP", &S::jpgBpp),
      number("--JPG-QUALITY", &S::jpgQuality),
      word("--JPG-CHROMA", kChromaWords, &S::jpgChroma),
      word("--JPG-SAVE-AS", kJpegVariantWords, &S::jpgSaveAs),
      number("--JXR-BPP", &S::jxrBpp),
      number("--PBM-BPP", &S::pbmBpp),
      number("--PCX-BPP", &S::pcxBpp),
      number("--PFM-BPP", &S::pfmBpp),
      number("--PGM-BPP", &S::pgmBpp),
      number("--PNG-BPP", &S::pngBpp),
      word("--PNG-COMPRESSION", kCompressionWords, &S::pngCompression),
      flag("--PNG-INTERLACED", &S::pngInterlaced),
      number("--PPM-BPP", &S::ppmBpp),
      number("--PSD-BPP", &S::psdBpp),
      number("--TGA-BPP", &S::tgaBpp),
      word("--TGA-COMPRESSION", kCompressionWords, &S::tgaCompression),
      number("--TIFF-BPP", &S::tiffBpp),
      word("--TIFF-COMPRESSION", kCompressionWords, &S::tiffCompression),
      word("--TIFF-COLOR-MODE", kColorModeWords, &S::tiffColorMode),
      number("--WBMP-BPP", &S::wbmpBpp),
      number("--WEBP-BPP", &S::webpBpp),
      number("--WEBP-QUALITY", &S::webpQuality),
      number("--XPM-BPP", &S::xpmBpp),
      // Transform.
      word("--ROTATION-TYPE", kRotationTypeWords, &S::rotationType),
      number("--ROTATION", &S::rotation, &S::doRotation),
      text("--ROTATION-BACK-COLOR", &S::rotationBackColor),
      number("--WIDTH", &S::width, &S::doResize),
      word("--WIDTH-UNIT", kUnitWords, &S::widthUnit),
      number("--HEIGHT", &S::height, &S::doResize),
      word("--HEIGHT-UNIT", kUnitWords, &S::heightUnit),
      flag("--KEEP-ASPECT-RATIO", &S::keepAspectRatio),
      word("--RESIZE-TYPE", kResizeTypeWords, &S::resizeType),
      word("--RESIZE-ALGORITHM", kResizeAlgorithmWords, &S::resizeAlgorithm),
      flag("--FLIP-HORIZONTAL", &S::flipHorizontal),
      flag("--FLIP-VERTICAL", &S::flipVertical),
      // Adjustment.
      number("--BRIGHTNESS", &S::brightness, &S::doColorCorrection),
      number("--CONTRAST", &S::contrast, &S::doColorCorrection),
      row("--GAMMA", T::decimal, -1, &S::gamma, &S::doColorCorrection),
      flag("--INVERT", &S::invert, 1, &S::doColorCorrection),
      flag("--GREYSCALE", &S::doGreyscale),
      number("--THRESHOLD", &S::threshold, &S::doThreshold),
      word("--DITHER", kDitherWords, &S::ditherAlgorithm, &S::doDither),
      // Frame.
      number("--FR-SOLID-LEFT", &S::solidLeft, &S::frameType),
      number("--FR-SOLID-RIGHT", &S::solidRight, &S::frameType),
      number("--FR-SOLID-TOP", &S::solidTop, &S::frameType),
      number("--FR-SOLID-BOTTOM", &S::solidBottom, &S::frameType),
      text("--FR-SOLID-LEFT-COLOR", &S::solidLeftColor),
      text("--FR-SOLID-RIGHT-COLOR", &S::solidRightColor),
      text("--FR-SOLID-TOP-COLOR", &S::solidTopColor),
      text("--FR-SOLID-BOTTOM-COLOR", &S::solidBottomColor),
      number("--FR-SOLID-OPACITY", &S::solidOpacity),
      // Text watermark.
      text("--WM-TEXT", &S::wmText, &S::watermarkType, 1),
      text("--WM-FONT", &S::wmFont),
      number("--WM-FONT-SIZE", &S::wmFontSize),
      number("--WM-FONT-LEADING", &S::wmFontLeading),
      text("--WM-FONT-COLOR", &S::wmFontColor),
      word("--WM-FONT-STYLE", kFontStyleWords, &S::wmFontStyle),
      word("--WM-FONT-EFFECT", kFontEffectWords, &S::wmFontEffect),
      flag("--WM-TEXT-ANTIALIASING", &S::wmTextAntialiasing),
      word("--WM-TEXT-ALIGNMENT", kAlignmentWords, &S::wmTextAlignment),
      number("--WM-TEXT-PADDING", &S::wmTextPadding),
      number("--WM-TEXT-OPACITY", &S::wmTextOpacity),
      text("--WM-BACK-COLOR", &S::wmBackColor),
      number("--WM-BACK-OPACITY", &S::wmBackOpacity),
      word("--WM-TEXT-BOUNDARY", kBoundaryWords, &S::wmTextBoundary),
      word("--WM-TEXT-POSITION", kPositionWords, &S::wmTextPosition),
      number("--WM-TEXT-X-OFFSET", &S::wmTextXOffset),
      number("--WM-TEXT-Y-OFFSET", &S::wmTextYOffset),
      number("--WM-TEXT-ROTATION", &S::wmTextRotation),
      word("--WM-TEXT-SIZE", kSizeModeWords, &S::wmTextSize),
      // Image watermark.
      text("--WM-IMAGE", &S::wmImage, &S::watermarkType, 2),
      flag("--WM-IMAGE-GREYSCALE", &S::wmImageGreyscale),
      number("--WM-IMAGE-OPACITY", &S::wmImageOpacity),
      word("--WM-IMAGE-BOUNDARY", kBoundaryWords, &S::wmImageBoundary),
      word("--WM-IMAGE-POSITION", kPositionWords, &S::wmImagePosition),
      number("--WM-IMAGE-X-OFFSET", &S::wmImageXOffset),
      number("--WM-IMAGE-Y-OFFSET", &S::wmImageYOffset),
      number("--WM-IMAGE-ROTATION", &S::wmImageRotation),
      word("--WM-IMAGE-SIZE", kSizeModeWords, &S::wmImageSize),
      // Naming and other.
      text("--FILENAME-MASK", &S::filenameMask),
      word("--FILE-TIMESTAMP", kTimestampWords, &S::fileTimestamp),
      number("--FILE-TIMESTAMP-CUSTOM", &S::customTimestamp),
      flag("--NO-SUBFOLDERS", &S::keepSubfolders, 0),
      // The run itself.
      number("--THREADS", &S::threads),
      flag("--DRY-RUN", &S::dryRun),
      text("--REPORT", &S::reportFile),
  };
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
  if (inProfile) {
    if (upperName == "--FR-SOLID-OPACITY") return nullptr;
    if (upperName == "--WM-SOLID-OPACITY") upperName = "--FR-SOLID-OPACITY";
  }
  for (const OptionSpec& option : optionTable())
    if (upperName == option.name) return &option;
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
  std::visit(
      [&](auto field) {
        using Field = decltype(field);
        if constexpr (std::is_same_v<Field, int32_t S::*> || std::is_same_v<Field, int8_t S::*>) {
          using Value = std::remove_reference_t<decltype(settings.*field)>;
          switch (option.type) {
            case T::number:
              settings.*field = static_cast<Value>(readIntegerValue(value));
              break;
            case T::word:
              settings.*field = static_cast<Value>(keywordCode(option.kind, trimBlanks(value)));
              break;
            case T::flag:
              settings.*field = static_cast<Value>(option.flagValue);
              break;
            default:
              break;
          }
        } else if constexpr (std::is_same_v<Field, float S::*>) {
          double number = readDecimalValue(value);
          // Beyond the float range the value becomes an infinity of its sign.
          if (std::isfinite(number) && std::fabs(number) > std::numeric_limits<float>::max())
            number = std::copysign(std::numeric_limits<double>::infinity(), number);
          settings.*field = static_cast<float>(number);
        } else if constexpr (std::is_same_v<Field, std::string S::*>) {
          settings.*field = std::string(value);
        }
      },
      option.field);
  if (option.switchField != nullptr) settings.*option.switchField = option.switchValue;
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
