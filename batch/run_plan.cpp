#include "batch/run_plan.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <utility>

#include "base/text.h"
#include "batch/input_list.h"
#include "batch/paths.h"
#include "batch/run_report.h"
#include "imaging/format_registry.h"
#include "imaging/geometry.h"
#include "imaging/output_depth.h"
#include "imaging/watermark.h"
#include "settings/vocabulary.h"

namespace trovabild {

namespace {

std::string number(int64_t value) { return std::to_string(value); }

std::string twoDecimals(float value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(value));
  return buffer;
}

struct ListedValue {
  const char* label;
  std::function<std::string(const Settings&, const std::string& extension)> value;
};

std::string word(int kind, int code, const std::string& extension) {
  return lowerAscii(keywordWord(kind, code, extension));
}

// One output format: the depth setting with its error, then the further
// listed settings.
struct OutputFormatRow {
  const char* extension;
  int32_t Settings::*depth;
  const char* depthError;
  std::vector<ListedValue> further;
};

const std::vector<OutputFormatRow>& outputFormatRows() {
  using S = const Settings&;
  using E = const std::string&;
  static const std::vector<OutputFormatRow> rows = {
      {"bmp", &Settings::bmpBpp, "Error: Invalid bmp-bpp value",
       {{"BMP Compression: ", [](S s, E e) { return word(kCompressionWords, s.bmpCompression, e); }},
        {"BMP Color Table: ", [](S s, E e) { return word(kColorTableWords, s.bmpColorTable, e); }}}},
      {"dds", &Settings::ddsBpp, "Error: Invalid dds-bpp value", {}},
      {"exr", &Settings::exrBpp, "Error: Invalid exr-bpp value",
       {{"EXR Compression: ", [](S s, E e) { return word(kCompressionWords, s.exrCompression, e); }}}},
      {"gif", &Settings::gifBpp, "Error: Invalid gif-bpp value", {}},
      {"hdr", &Settings::hdrBpp, "Error: Invalid hdr-bpp value", {}},
      {"ico", &Settings::icoBpp, "Error: Invalid ico-bpp value", {}},
      {"j2k", &Settings::j2kBpp, "Error: Invalid j2k-bpp value", {}},
      {"jng", &Settings::jngBpp, "Error: Invalid jng-bpp value", {}},
      {"jp2", &Settings::jp2Bpp, "Error: Invalid jp2-bpp value", {}},
      {"jpg", &Settings::jpgBpp, "Error: Invalid jpg-bpp value",
       {{"JPG Quality: ", [](S s, E) { return number(s.jpgQuality); }},
        {"JPG Chroma Subsampling: ", [](S s, E e) { return word(kChromaWords, s.jpgChroma, e); }},
        {"JPG Save As: ", [](S s, E e) { return word(kJpegVariantWords, s.jpgSaveAs, e); }}}},
      {"jxr", &Settings::jxrBpp, "Error: Invalid jxr-bpp value", {}},
      {"pbm", &Settings::pbmBpp, "Error: Invalid pbm-bpp value", {}},
      {"pcx", &Settings::pcxBpp, "Error: Invalid pcx-bpp value", {}},
      {"pfm", &Settings::pfmBpp, "Error: Invalid pfm-bpp value", {}},
      {"pgm", &Settings::pgmBpp, "Error: Invalid pgm-bpp value", {}},
      {"png", &Settings::pngBpp, "Error: Invalid png-bpp value",
       {{"PNG Compression: ", [](S s, E e) { return word(kCompressionWords, s.pngCompression, e); }},
        {"PNG Interlaced: ", [](S s, E) { return number(s.pngInterlaced); }}}},
      {"ppm", &Settings::ppmBpp, "Error: Invalid ppm-bpp value", {}},
      {"psd", &Settings::psdBpp, "Error: Invalid psd-bpp value", {}},
      {"tga", &Settings::tgaBpp, "Error: Invalid tga-bpp value",
       {{"TGA Compression: ", [](S s, E e) { return word(kCompressionWords, s.tgaCompression, e); }}}},
      {"tiff", &Settings::tiffBpp, "Error: Invalid tiff-bpp value",
       {{"TIFF Compression: ", [](S s, E e) { return word(kCompressionWords, s.tiffCompression, e); }},
        {"TIFF Color Mode: ", [](S s, E e) { return word(kColorModeWords, s.tiffColorMode, e); }}}},
      {"wbmp", &Settings::wbmpBpp, "Error: Invalid wbmp-bpp value", {}},
      {"webp", &Settings::webpBpp, "Error: Invalid webp-bpp value",
       {{"WEBP Quality: ", [](S s, E) { return number(s.webpQuality); }}}},
      {"xpm", &Settings::xpmBpp, "Error: Invalid xpm-bpp value", {}},
  };
  return rows;
}

const OutputFormatRow* findOutputFormatRow(const std::string& extension) {
  for (const OutputFormatRow& row : outputFormatRows())
    if (extension == row.extension) return &row;
  return nullptr;
}

// The checks of one run in their order, each listed value handed to the
// listing just before the check that reads it.
class Preparer {
 public:
  Preparer(const Settings& settings, const RunRequest& request)
      : s_(settings), request_(request), console_(request.face == RunFace::console) {}

  RunPreparation run();

 private:
  void list(std::string_view label, const std::string& value) const {
    if (request_.listing) request_.listing(label, value);
  }
  std::string word(int kind, int code) const { return trovabild::word(kind, code, extension_); }
  bool fail(RunCheck check, std::string subject = "") {
    result_.failed = check;
    result_.subject = std::move(subject);
    return false;
  }

  bool checkOutputFolder();
  void listInputFormat();
  bool checkOutputFormat();
  bool checkGeometry();
  bool checkColour();
  bool checkFrameAndWatermark();
  bool checkRun();

  const Settings& s_;
  const RunRequest& request_;
  const bool console_;
  std::string extension_;
  RunPreparation result_;
};

bool Preparer::checkOutputFolder() {
  std::string folder = request_.outputFolder;
  if (!console_) {
    if (request_.inputCount == 0) return fail(RunCheck::emptyInputList);
    if (folder.empty()) return fail(RunCheck::emptyOutputFolder);
    if (folder.back() != '/') folder += '/';
    if (fileSize(folder) != -2) return fail(RunCheck::invalidOutputFolder, folder);
    result_.plan.outputFolder = folder;
    return true;
  }
  list("Output: ", folder);
  int error = 0;
  switch (checkFolder(folder, request_.createOutputFolder, &error, s_.dryRun != 0)) {
    case FolderCheck::incorrect: return fail(RunCheck::incorrectOutputFolder, folder);
    case FolderCheck::invalid:
      if (error != 0) result_.detail = "Error: cannot create folder " + pathAndReason(folder, error);
      return fail(RunCheck::invalidOutputFolder, folder);
    case FolderCheck::ok: break;
  }
  result_.plan.outputFolder = folder;
  return true;
}

void Preparer::listInputFormat() {
  const std::string& type = request_.inputType;
  if (type == "dds") {
    list("DDS Load As: ", word(kDdsLoadAsWords, s_.ddsLoadAs));
  } else if (type == "gif") {
    list("GIF Frame Loading: ", word(kFrameLoadingWords, s_.gifFrameLoading));
  } else if (type == "ico") {
    list("ICO Frame Loading: ", word(kIcoFrameLoadingWords, s_.icoFrameLoading));
  } else if (type == "psd") {
    list("PSD Color Mode: ", word(kColorModeWords, s_.psdColorMode));
  } else if (type == "raw") {
    list("RAW Load As: ", word(kRawLoadAsWords, s_.rawLoadAs));
    list("RAW Header Size: ", number(s_.rawHeaderSize));
    list("RAW Image Width: ", number(s_.rawImageWidth));
    list("RAW Image Height: ", number(s_.rawImageHeight));
    list("RAW Tone Mapping: ", word(kToneMappingWords, s_.rawToneMapping));
  } else if (type == "tiff") {
    list("TIFF Frame Loading: ", word(kFrameLoadingWords, s_.tiffFrameLoading));
  }
}

bool Preparer::checkOutputFormat() {
  const OutputFormatRow* row = findOutputFormatRow(extension_);
  if (row == nullptr) return true;
  const int32_t depth = s_.*(row->depth);
  list(upperAscii(row->extension) + " BPP: ", number(depth));
  for (const ListedValue& listed : row->further) list(listed.label, listed.value(s_, extension_));
  if (!isAllowedDepth(row->extension, depth)) return fail(RunCheck::invalidDepth, row->depthError);
  if (extension_ == "jpg" && (s_.jpgQuality < 1 || s_.jpgQuality > 100)) return fail(RunCheck::invalidJpgQuality);
  if (extension_ == "webp" && (s_.webpQuality < 1 || s_.webpQuality > 100))
    return fail(RunCheck::invalidWebpQuality);
  return true;
}

bool Preparer::checkGeometry() {
  if (s_.doRotation) {
    list("Image Rotation Type: ", word(kRotationTypeWords, s_.rotationType));
    list("Image Rotation: ", number(s_.rotation));
    list("Image Rotation Back Color: ", s_.rotationBackColor);
  }
  if (s_.doResize) {
    list("Width: ", number(s_.width) + " " + word(kUnitWords, s_.widthUnit));
    if (s_.width == 0) return fail(RunCheck::invalidWidth);
    list("Height: ", number(s_.height) + " " + word(kUnitWords, s_.heightUnit));
    if (s_.height == 0) return fail(RunCheck::invalidHeight);
    list("Keep Aspect Ratio: ", number(s_.keepAspectRatio));
    list("Image Resize Type: ", word(kResizeTypeWords, s_.resizeType));
    list("Image Resize Algorithm: ", word(kResizeAlgorithmWords, s_.resizeAlgorithm));
  }
  list("Background Color: ", s_.backgroundColor);
  if (console_ && !isValidColor(s_.backgroundColor)) return fail(RunCheck::invalidBackgroundColor);
  list("Flip Horizontal: ", number(s_.flipHorizontal));
  list("Flip Vertical: ", number(s_.flipVertical));
  return true;
}

bool Preparer::checkColour() {
  if (s_.doColorCorrection) {
    list("Brightness: ", number(s_.brightness));
    if (console_ && (s_.brightness < -100 || s_.brightness > 100)) return fail(RunCheck::invalidBrightness);
    list("Contrast: ", number(s_.contrast));
    if (console_ && (s_.contrast < -100 || s_.contrast > 100)) return fail(RunCheck::invalidContrast);
    list("Gamma: ", twoDecimals(s_.gamma));
    // Written so that NaN ("--gamma=nan") is refused too.
    if (console_ && !(s_.gamma >= 0.01f && s_.gamma <= 9.99f)) return fail(RunCheck::invalidGamma);
    list("Invert: ", number(s_.invert));
  }
  list("Greyscale: ", number(s_.doGreyscale));
  if (s_.doThreshold) list("Image Threshold: ", number(s_.threshold));
  if (s_.doDither) list("Image Dithering Algorithm: ", word(kDitherWords, s_.ditherAlgorithm));
  return true;
}

bool Preparer::checkFrameAndWatermark() {
  list("Frame: ", word(kFrameTypeWords, s_.frameType));
  if (s_.frameType == 1) {
    list("Frame left: ", number(s_.solidLeft));
    list("Frame right: ", number(s_.solidRight));
    list("Frame top: ", number(s_.solidTop));
    list("Frame bottom: ", number(s_.solidBottom));
    list("Frame left color: ", s_.solidLeftColor);
    list("Frame right color: ", s_.solidRightColor);
    list("Frame top color: ", s_.solidTopColor);
    list("Frame bottom color: ", s_.solidBottomColor);
    list("Frame opacity: ", number(s_.solidOpacity));
  }
  list("Watermark: ", word(kWatermarkTypeWords, s_.watermarkType));
  if (s_.watermarkType == 1) {
    list("Watermark text: ", s_.wmText);
    list("Watermark font: ", s_.wmFont);
    list("Watermark font size: ", number(s_.wmFontSize));
    list("Watermark font leading: ", number(s_.wmFontLeading));
    list("Watermark font color: ", s_.wmFontColor);
    list("Watermark font style: ", word(kFontStyleWords, s_.wmFontStyle));
    list("Watermark font effect: ", word(kFontEffectWords, s_.wmFontEffect));
    list("Watermark text antialiasing: ", number(s_.wmTextAntialiasing));
    list("Watermark text alignment: ", word(kAlignmentWords, s_.wmTextAlignment));
    list("Watermark text padding: ", number(s_.wmTextPadding));
    list("Watermark text opacity: ", number(s_.wmTextOpacity));
    list("Watermark background color: ", s_.wmBackColor);
    list("Watermark background opacity: ", number(s_.wmBackOpacity));
    list("Watermark boundary: ", word(kBoundaryWords, s_.wmTextBoundary));
    list("Watermark position: ", word(kPositionWords, s_.wmTextPosition));
    list("Watermark offset (x/y): ", number(s_.wmTextXOffset) + "/" + number(s_.wmTextYOffset));
    list("Watermark rotation: ", number(s_.wmTextRotation));
    list("Watermark size/mode: ", word(kSizeModeWords, s_.wmTextSize));
    result_.plan.pipeline.watermark.text.font =
        createWatermarkFont(s_.wmFont, s_.wmFontSize, s_.wmFontStyle, s_.wmFontEffect);
    if (!result_.plan.pipeline.watermark.text.font) return fail(RunCheck::invalidWatermarkFont, s_.wmFont);
  } else if (s_.watermarkType == 2) {
    list("Watermark image: ", s_.wmImage);
    list("Watermark greyscale: ", number(s_.wmImageGreyscale));
    list("Watermark opacity: ", number(s_.wmImageOpacity));
    list("Watermark boundary: ", word(kBoundaryWords, s_.wmImageBoundary));
    list("Watermark position: ", word(kPositionWords, s_.wmImagePosition));
    list("Watermark offset (x/y): ", number(s_.wmImageXOffset) + "/" + number(s_.wmImageYOffset));
    list("Watermark rotation: ", number(s_.wmImageRotation));
    list("Watermark size/mode: ", word(kSizeModeWords, s_.wmImageSize));
    if (!console_ && s_.wmImage.empty()) return fail(RunCheck::emptyWatermarkImage);
    // Read and checked here, once: a picture that cannot be used stops the
    // run before any file is written.
    if (fileSize(s_.wmImage) > 0) result_.plan.pipeline.watermark.image.picture = loadWatermarkPicture(s_.wmImage);
    if (!result_.plan.pipeline.watermark.image.picture) return fail(RunCheck::invalidWatermarkImage, s_.wmImage);
  }
  list("Filename Mask: ", s_.filenameMask);
  // The mask names a file inside the output folder, never one above it or
  // elsewhere (buildOutputPath checks every expanded name as well).
  if (console_ && !staysInFolder(lowerAscii(s_.filenameMask))) return fail(RunCheck::invalidFilenameMask);
  list("File Timestamp: ", word(kTimestampWords, s_.fileTimestamp));
  if (s_.fileTimestamp == 2) list("Custom Timestamp: ", number(s_.customTimestamp));
  list("Keep Subfolders: ", number(s_.keepSubfolders));
  return true;
}

bool Preparer::checkRun() {
  std::string threads = number(s_.threads);
  if (s_.threads == 0) threads += " (" + number(resolvedThreadCount(0)) + " cores)";
  list("Threads: ", threads);
  if (console_ && (s_.threads < 0 || s_.threads > kMaxThreads)) return fail(RunCheck::invalidThreads);
  list("Dry Run: ", number(s_.dryRun));
  if (!s_.reportFile.empty()) list("Report File: ", s_.reportFile);
  return true;
}

RunPreparation Preparer::run() {
  if (!checkOutputFolder()) return std::move(result_);
  extension_ = request_.outputExtension;
  if (extension_.empty() && !request_.outputFormats.empty()) extension_ = request_.outputFormats.front();
  list("Conversion: ", extension_);
  if (console_) {
    bool known = false;
    for (const std::string& format : request_.outputFormats) known = known || format == extension_;
    if (!known) {
      fail(RunCheck::invalidConversionType);
      return std::move(result_);
    }
  }
  listInputFormat();
  // The window lets its dialog hold the format and adjustment values in
  // range; it checks only what the user can leave empty or point elsewhere.
  if (console_ && !checkOutputFormat()) return std::move(result_);
  if (!checkGeometry() || !checkColour() || !checkFrameAndWatermark() || !checkRun()) return std::move(result_);

  RunPlan& plan = result_.plan;
  std::shared_ptr<const Font> font = std::move(plan.pipeline.watermark.text.font);
  std::shared_ptr<const Picture> picture = std::move(plan.pipeline.watermark.image.picture);
  plan.pipeline = pipelineOptions(s_);
  plan.pipeline.watermark.text.font = std::move(font);
  plan.pipeline.watermark.image.picture = std::move(picture);
  plan.pipeline.output = outputOptionsFor(s_, extension_);
  plan.filenameMask = s_.filenameMask;
  plan.keepSubfolders = s_.keepSubfolders != 0;
  plan.fileTimestamp = s_.fileTimestamp;
  plan.customTimestamp = s_.customTimestamp;
  plan.verbose = request_.verbose;
  plan.threads = resolvedThreadCount(s_.threads);
  plan.dryRun = s_.dryRun != 0;
  plan.reportFile = s_.reportFile;
  return std::move(result_);
}

}  // namespace

RunPreparation prepareRun(const Settings& settings, const RunRequest& request) {
  return Preparer(settings, request).run();
}

std::string listingName(std::string_view label) {
  return std::string(trimBlanks(label.substr(0, label.rfind(':'))));
}

std::string consoleErrorLine(const RunPreparation& preparation) {
  switch (preparation.failed) {
    // The window's own checks never fail a console run.
    case RunCheck::passed:
    case RunCheck::emptyInputList:
    case RunCheck::emptyOutputFolder: return "";
    case RunCheck::incorrectOutputFolder: return "Error: Incorrect output folder";
    case RunCheck::invalidOutputFolder: return "Error: Invalid output folder";
    case RunCheck::invalidConversionType: return "Error: Invalid conversion type";
    case RunCheck::invalidDepth: return preparation.subject;
    case RunCheck::invalidJpgQuality: return "Error: Invalid jpg-quality value";
    case RunCheck::invalidWebpQuality: return "Error: Invalid webp-quality value";
    case RunCheck::invalidWidth: return "Error: Invalid width value";
    case RunCheck::invalidHeight: return "Error: Invalid height value";
    case RunCheck::invalidBrightness: return "Error: Invalid brightness value";
    case RunCheck::invalidContrast: return "Error: Invalid contrast value";
    case RunCheck::invalidGamma: return "Error: Invalid gamma value";
    case RunCheck::invalidWatermarkFont: return "Error: Invalid watermark font";
    case RunCheck::emptyWatermarkImage:
    case RunCheck::invalidWatermarkImage: return "Error: Invalid watermark image";
    case RunCheck::invalidFilenameMask: return "Error: Invalid filename mask";
    case RunCheck::invalidBackgroundColor: return "Error: Invalid background-color value";
    case RunCheck::invalidThreads: return "Error: Invalid threads value";
  }
  return "";
}

int resolvedThreadCount(int32_t threads) {
  if (threads != 0) return std::clamp<int32_t>(threads, 1, kMaxThreads);
  long cores = sysconf(_SC_NPROCESSORS_ONLN);
  if (cores < 1) cores = static_cast<long>(std::thread::hardware_concurrency());
  return static_cast<int>(std::clamp<long>(cores, 1, kMaxThreads));
}

int32_t Settings::*depthSettingOf(std::string_view extension) {
  const OutputFormatRow* row = findOutputFormatRow(std::string(extension));
  return row != nullptr ? row->depth : nullptr;
}

OutputOptions outputOptionsFor(const Settings& settings, const std::string& extension) {
  OutputOptions output;
  output.extension = extension;
  const OutputFormatInfo* format = findOutputFormat(extension);
  output.fif = format != nullptr ? format->fif : -1;
  const OutputFormatRow* row = findOutputFormatRow(extension);
  output.depth = row != nullptr ? settings.*(row->depth) : 0;
  output.saveFlags = saveFlagsFor(extension, settings);
  return output;
}

}  // namespace trovabild
