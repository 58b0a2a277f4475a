#include "batch/batch_driver.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/console.h"
#include "app/messages.h"
#include "app/text.h"
#include "batch/conversion_worker.h"
#include "batch/input_list.h"
#include "batch/paths.h"
#include "batch/progress_line.h"
#include "batch/run_report.h"
#include "imaging/format_registry.h"
#include "imaging/output_depth.h"
#include "imaging/watermark.h"
#include "settings/vocabulary.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

std::string word(int kind, int code) { return lowerAscii(keywordWord(kind, code, job.outputExtension)); }
std::string number(int64_t value) { return std::to_string(value); }

std::string twoDecimals(float value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(value));
  return buffer;
}

struct ListedValue {
  const char* label;
  std::function<std::string()> value;
};

// One output format: the depth setting with its error, then the further
// listed settings.
struct OutputFormatRow {
  const char* extension;
  int32_t Settings::*depth;
  const char* depthError;
  std::vector<ListedValue> further;
};

const std::vector<OutputFormatRow>& outputFormatRows() {
  static const std::vector<OutputFormatRow> rows = {
      {"bmp", &Settings::bmpBpp, "Error: Invalid bmp-bpp value",
       {{"BMP Compression: ", [] { return word(kCompressionWords, settings.bmpCompression); }},
        {"BMP Color Table: ", [] { return word(kColorTableWords, settings.bmpColorTable); }}}},
      {"dds", &Settings::ddsBpp, "Error: Invalid dds-bpp value", {}},
      {"exr", &Settings::exrBpp, "Error: Invalid exr-bpp value",
       {{"EXR Compression: ", [] { return word(kCompressionWords, settings.exrCompression); }}}},
      {"gif", &Settings::gifBpp, "Error: Invalid gif-bpp value", {}},
      {"hdr", &Settings::hdrBpp, "Error: Invalid hdr-bpp value", {}},
      {"ico", &Settings::icoBpp, "Error: Invalid ico-bpp value", {}},
      {"j2k", &Settings::j2kBpp, "Error: Invalid j2k-bpp value", {}},
      {"jng", &Settings::jngBpp, "Error: Invalid jng-bpp value", {}},
      {"jp2", &Settings::jp2Bpp, "Error: Invalid jp2-bpp value", {}},
      {"jpg", &Settings::jpgBpp, "Error: Invalid jpg-bpp value",
       {{"JPG Quality: ", [] { return number(settings.jpgQuality); }},
        {"JPG Chroma Subsampling: ", [] { return word(kChromaWords, settings.jpgChroma); }},
        {"JPG Save As: ", [] { return word(kJpegVariantWords, settings.jpgSaveAs); }}}},
      {"jxr", &Settings::jxrBpp, "Error: Invalid jxr-bpp value", {}},
      {"pbm", &Settings::pbmBpp, "Error: Invalid pbm-bpp value", {}},
      {"pcx", &Settings::pcxBpp, "Error: Invalid pcx-bpp value", {}},
      {"pfm", &Settings::pfmBpp, "Error: Invalid pfm-bpp value", {}},
      {"pgm", &Settings::pgmBpp, "Error: Invalid pgm-bpp value", {}},
      {"png", &Settings::pngBpp, "Error: Invalid png-bpp value",
       {{"PNG Compression: ", [] { return word(kCompressionWords, settings.pngCompression); }},
        {"PNG Interlaced: ", [] { return number(settings.pngInterlaced); }}}},
      {"ppm", &Settings::ppmBpp, "Error: Invalid ppm-bpp value", {}},
      {"psd", &Settings::psdBpp, "Error: Invalid psd-bpp value", {}},
      {"tga", &Settings::tgaBpp, "Error: Invalid tga-bpp value",
       {{"TGA Compression: ", [] { return word(kCompressionWords, settings.tgaCompression); }}}},
      {"tiff", &Settings::tiffBpp, "Error: Invalid tiff-bpp value",
       {{"TIFF Compression: ", [] { return word(kCompressionWords, settings.tiffCompression); }},
        {"TIFF Color Mode: ", [] { return word(kColorModeWords, settings.tiffColorMode); }}}},
      {"wbmp", &Settings::wbmpBpp, "Error: Invalid wbmp-bpp value", {}},
      {"webp", &Settings::webpBpp, "Error: Invalid webp-bpp value",
       {{"WEBP Quality: ", [] { return number(settings.webpQuality); }}}},
      {"xpm", &Settings::xpmBpp, "Error: Invalid xpm-bpp value", {}},
  };
  return rows;
}

const OutputFormatRow* findOutputFormatRow(const std::string& extension) {
  for (const OutputFormatRow& row : outputFormatRows())
    if (extension == row.extension) return &row;
  return nullptr;
}

// The steps of one batch run; `debug` and `quiet` decide which lines show.
class BatchRun {
 public:
  BatchRun(bool quiet) : quiet_(quiet), debug_(job.runMode == "DEBUG") {}
  ~BatchRun() {
    if (fontCreated_) releaseWatermarkFont();
    if (pictureLoaded_) releaseWatermarkImage();
  }

  ExitStatus run();

 private:
  void status(std::string_view group, std::string_view key, std::string_view s1 = "", std::string_view s2 = "") {
    if (!quiet_) printLine(formatMessage(message(group, key), s1, s2));
  }
  void debug(std::string_view label, const std::string& value) {
    if (debug_) printLine(std::string(label) + value);
  }
  // Prints the error line; the run then stops.
  static ExitStatus refuse(std::string_view text) {
    printLine(text);
    return ExitStatus::failed;
  }

  bool classifyInputs();
  int32_t expandInputs();
  bool checkOutputFolder();
  void listInputFormat();
  bool checkOutputFormat();
  bool checkGeometry();
  bool checkColour();
  bool checkFrameAndWatermark();

  // One classified input: the base folder of a folder input, or the file.
  struct Input {
    std::string folder;
    std::string file;
  };

  bool quiet_;
  bool debug_;
  bool fontCreated_ = false;
  std::vector<Input> inputs_;
  bool pictureLoaded_ = false;
};

// Every input is classified before anything is converted; the first one
// refused stops the run. The job then describes the first input, which the
// output folder defaults from.
bool BatchRun::classifyInputs() {
  const std::vector<std::string> named = job.inputPaths.empty() ? std::vector<std::string>{job.inputPath} : job.inputPaths;
  for (const std::string& path : named) {
    job.inputPath = path;
    job.currentInput.clear();
    if (!classifyInput()) return false;
    inputs_.push_back({job.inputPath, job.currentInput});
  }
  job.inputPath = inputs_.front().folder;
  job.currentInput = inputs_.front().file;
  return true;
}

// Expands each input in turn, as for a single one; files of a folder input
// keep their subfolder below that input's folder.
int32_t BatchRun::expandInputs() {
  int32_t added = 0;
  for (const Input& input : inputs_) {
    job.inputPath = input.folder;
    job.currentInput = input.file;
    added += expandInput();
  }
  job.inputPath = inputs_.front().folder;
  job.currentInput = inputs_.front().file;
  return added;
}

bool BatchRun::checkOutputFolder() {
  if (job.outputFolder.empty()) job.outputFolder = job.inputPath.empty() ? pathPart(job.currentInput) : job.inputPath;
  debug("Output: ", job.outputFolder);
  const auto folder =
      normalizeFolder(job.outputFolder, "Error: Incorrect output folder", "Error: Invalid output folder", true);
  if (!folder) return false;
  job.outputFolder = *folder;
  return true;
}

void BatchRun::listInputFormat() {
  const std::string& type = job.inputType;
  if (type == "dds") {
    debug("DDS Load As: ", word(kDdsLoadAsWords, settings.ddsLoadAs));
  } else if (type == "gif") {
    debug("GIF Frame Loading: ", word(kFrameLoadingWords, settings.gifFrameLoading));
  } else if (type == "ico") {
    debug("ICO Frame Loading: ", word(kFrameLoadingWords, settings.icoFrameLoading));
  } else if (type == "psd") {
    debug("PSD Color Mode: ", word(kColorModeWords, settings.psdColorMode));
  } else if (type == "raw") {
    debug("RAW Load As: ", word(kRawLoadAsWords, settings.rawLoadAs));
    debug("RAW Header Size: ", number(settings.rawHeaderSize));
    debug("RAW Image Width: ", number(settings.rawImageWidth));
    debug("RAW Image Height: ", number(settings.rawImageHeight));
    debug("RAW Tone Mapping: ", word(kToneMappingWords, settings.rawToneMapping));
  } else if (type == "tiff") {
    debug("TIFF Frame Loading: ", word(kFrameLoadingWords, settings.tiffFrameLoading));
  }
}

bool BatchRun::checkOutputFormat() {
  const OutputFormatRow* row = findOutputFormatRow(job.outputExtension);
  if (row == nullptr) return true;
  const int32_t depth = settings.*(row->depth);
  debug(upperAscii(row->extension) + " BPP: ", number(depth));
  for (const ListedValue& listed : row->further) debug(listed.label, listed.value());
  if (!isAllowedDepth(row->extension, depth)) {
    printLine(row->depthError);
    return false;
  }
  if (job.outputExtension == "jpg" && (settings.jpgQuality < 1 || settings.jpgQuality > 100)) {
    printLine("Error: Invalid jpg-quality value");
    return false;
  }
  if (job.outputExtension == "webp" && (settings.webpQuality < 1 || settings.webpQuality > 100)) {
    printLine("Error: Invalid webp-quality value");
    return false;
  }
  return true;
}

bool BatchRun::checkGeometry() {
  if (settings.doRotation) {
    debug("Image Rotation Type: ", word(kRotationTypeWords, settings.rotationType));
    debug("Image Rotation: ", number(settings.rotation));
    debug("Image Rotation Back Color: ", settings.rotationBackColor);
  }
  if (settings.doResize) {
    debug("Width: ", number(settings.width) + " " + word(kUnitWords, settings.widthUnit));
    if (settings.width == 0) {
      printLine("Error: Invalid width value");
      return false;
    }
    debug("Height: ", number(settings.height) + " " + word(kUnitWords, settings.heightUnit));
    if (settings.height == 0) {
      printLine("Error: Invalid height value");
      return false;
    }
    debug("Keep Aspect Ratio: ", number(settings.keepAspectRatio));
    debug("Image Resize Type: ", word(kResizeTypeWords, settings.resizeType));
    debug("Image Resize Algorithm: ", word(kResizeAlgorithmWords, settings.resizeAlgorithm));
  }
  debug("Flip Horizontal: ", number(settings.flipHorizontal));
  debug("Flip Vertical: ", number(settings.flipVertical));
  return true;
}

bool BatchRun::checkColour() {
  if (settings.doColorCorrection) {
    debug("Brightness: ", number(settings.brightness));
    if (settings.brightness < -100 || settings.brightness > 100) {
      printLine("Error: Invalid brightness value");
      return false;
    }
    debug("Contrast: ", number(settings.contrast));
    if (settings.contrast < -100 || settings.contrast > 100) {
      printLine("Error: Invalid contrast value");
      return false;
    }
    debug("Gamma: ", twoDecimals(settings.gamma));
    // Written so that NaN ("--gamma=nan") is refused too.
    if (!(settings.gamma >= 0.01f && settings.gamma <= 9.99f)) {
      printLine("Error: Invalid gamma value");
      return false;
    }
    debug("Invert: ", number(settings.invert));
  }
  debug("Greyscale: ", number(settings.doGreyscale));
  if (settings.doThreshold) debug("Image Threshold: ", number(settings.threshold));
  if (settings.doDither) debug("Image Dithering Algorithm: ", word(kDitherWords, settings.ditherAlgorithm));
  return true;
}

bool BatchRun::checkFrameAndWatermark() {
  debug("Frame: ", word(kFrameTypeWords, settings.frameType));
  if (settings.frameType == 1) {
    debug("Frame left: ", number(settings.solidLeft));
    debug("Frame right: ", number(settings.solidRight));
    debug("Frame top: ", number(settings.solidTop));
    debug("Frame bottom: ", number(settings.solidBottom));
    debug("Frame left color: ", settings.solidLeftColor);
    debug("Frame right color: ", settings.solidRightColor);
    debug("Frame top color: ", settings.solidTopColor);
    debug("Frame bottom color: ", settings.solidBottomColor);
    debug("Frame opacity: ", number(settings.solidOpacity));
  }
  debug("Watermark: ", word(kWatermarkTypeWords, settings.watermarkType));
  if (settings.watermarkType == 1) {
    debug("Watermark text: ", settings.wmText);
    debug("Watermark font: ", settings.wmFont);
    debug("Watermark font size: ", number(settings.wmFontSize));
    debug("Watermark font leading: ", number(settings.wmFontLeading));
    debug("Watermark font color: ", settings.wmFontColor);
    debug("Watermark font style: ", word(kFontStyleWords, settings.wmFontStyle));
    debug("Watermark font effect: ", word(kFontEffectWords, settings.wmFontEffect));
    debug("Watermark text antialiasing: ", number(settings.wmTextAntialiasing));
    debug("Watermark text alignment: ", word(kAlignmentWords, settings.wmTextAlignment));
    debug("Watermark text padding: ", number(settings.wmTextPadding));
    debug("Watermark text opacity: ", number(settings.wmTextOpacity));
    debug("Watermark background color: ", settings.wmBackColor);
    debug("Watermark background opacity: ", number(settings.wmBackOpacity));
    debug("Watermark boundary: ", word(kBoundaryWords, settings.wmTextBoundary));
    debug("Watermark position: ", word(kPositionWords, settings.wmTextPosition));
    debug("Watermark offset (x/y): ", number(settings.wmTextXOffset) + "/" + number(settings.wmTextYOffset));
    debug("Watermark rotation: ", number(settings.wmTextRotation));
    debug("Watermark size/mode: ", word(kSizeModeWords, settings.wmTextSize));
    fontCreated_ = createWatermarkFont();
    if (!fontCreated_) {
      printLine("Error: Invalid watermark font");
      return false;
    }
  } else if (settings.watermarkType == 2) {
    debug("Watermark image: ", settings.wmImage);
    debug("Watermark greyscale: ", number(settings.wmImageGreyscale));
    debug("Watermark opacity: ", number(settings.wmImageOpacity));
    debug("Watermark boundary: ", word(kBoundaryWords, settings.wmImageBoundary));
    debug("Watermark position: ", word(kPositionWords, settings.wmImagePosition));
    debug("Watermark offset (x/y): ", number(settings.wmImageXOffset) + "/" + number(settings.wmImageYOffset));
    debug("Watermark rotation: ", number(settings.wmImageRotation));
    debug("Watermark size/mode: ", word(kSizeModeWords, settings.wmImageSize));
    // Read and checked here, once: a picture that cannot be used stops the
    // run before any file is written.
    pictureLoaded_ = fileSize(settings.wmImage) > 0 && loadWatermarkImage();
    if (!pictureLoaded_) {
      printLine("Error: Invalid watermark image");
      return false;
    }
  }
  debug("Filename Mask: ", settings.filenameMask);
  // The mask names a file inside the output folder, never one above it or
  // elsewhere (buildOutputPath checks every expanded name as well).
  if (!staysInFolder(lowerAscii(settings.filenameMask))) {
    printLine("Error: Invalid filename mask");
    return false;
  }
  debug("File Timestamp: ", word(kTimestampWords, settings.fileTimestamp));
  if (settings.fileTimestamp == 2) debug("Custom Timestamp: ", number(settings.customTimestamp));
  debug("Keep Subfolders: ", number(settings.keepSubfolders));
  return true;
}

ExitStatus BatchRun::run() {
  resetRunReport();
  status("General", "Preparing");
  if (!classifyInputs()) return ExitStatus::failed;
  if (!checkOutputFolder()) return ExitStatus::failed;
  if (job.inputType.empty() && !job.inputFormats.empty()) job.inputType = job.inputFormats.front();
  if (job.outputExtension.empty() && !job.outputFormats.empty()) job.outputExtension = job.outputFormats.front();
  debug("Conversion: ", job.outputExtension);
  bool known = false;
  for (const std::string& format : job.outputFormats) known = known || format == job.outputExtension;
  if (!known) return refuse("Error: Invalid conversion type");
  listInputFormat();
  if (!checkOutputFormat() || !checkGeometry() || !checkColour() || !checkFrameAndWatermark())
    return ExitStatus::failed;
  prepareRunValues();

  status("General", "Importing");
  const int32_t added = expandInputs();
  status("Msg", "Import complete", number(added));
  if (added == 0) {
    printLine(message("Msg", "Conversion is not complete"));
    printLine(message("Msg", "Empty input files"));
    return ExitStatus::failed;
  }

  status("General", "Converting");
  resetBatchProgress();
  // On a terminal one live line shows how far the run is; debug lines and
  // quiet runs keep the screen as it is.
  const bool live = !quiet_ && !debug_ && terminalColumns() > 0;
  runWithLiveProgress(added, [] { conversionWorker(0); }, live);
  int32_t done = 0;
  {
    std::lock_guard<std::mutex> hold(progressLock);
    done = batchProgress.doneCount;
  }
  if (done == 0) {
    printLine(message("Msg", "Conversion is not complete"));
    return ExitStatus::failed;
  }
  status("Msg", "Conversion complete");
  status("Msg", "Files converted", number(done), number(added));
  return done == added && !runLeftSomethingOut() ? ExitStatus::ok : ExitStatus::partial;
}

}  // namespace

int32_t Settings::*depthSettingOf(std::string_view extension) {
  const OutputFormatRow* row = findOutputFormatRow(std::string(extension));
  return row != nullptr ? row->depth : nullptr;
}

void prepareRunValues() {
  const OutputFormatInfo* format = findOutputFormat(job.outputExtension);
  job.outputFif = format != nullptr ? format->fif : -1;
  const OutputFormatRow* row = findOutputFormatRow(job.outputExtension);
  job.targetBpp = row != nullptr ? settings.*(row->depth) : 0;
  job.saveFlags = saveFlagsFor(job.outputExtension);
  job.autoBpp = job.targetBpp == 0;
}

ExitStatus runBatch(bool quiet) {
  BatchRun run(quiet);
  return run.run();
}

}  // namespace trovabild
