#include "batch/run_plan.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

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

// Rows under the same condition list as one block; the run plan's own checks
// that read a whole block follow its last row.
bool sameBlock(const SettingListing& a, const SettingListing& b) {
  return a.when == b.when && a.switchField == b.switchField && a.switchValue == b.switchValue;
}

// The row of the output depth of a format, or null.
const SettingRow* depthRow(std::string_view extension) {
  for (const SettingRow& declared : settingTable())
    if (declared.check.kind == ValueCheck::outputDepth && declared.format != nullptr && extension == declared.format) return &declared;
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
  bool fail(RunCheck check, std::string subject = "") {
    result_.failed = check;
    result_.subject = std::move(subject);
    return false;
  }

  bool checkOutputFolder();
  bool shown(const SettingRow& declared) const;
  std::string plainValue(const SettingRow& declared) const;
  std::string listedValue(const SettingRow& declared) const;
  bool checkValue(const SettingRow& declared);
  bool listSettings();
  bool finishBlock(const SettingListing& block, std::vector<const SettingRow*>& deferred);

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

bool Preparer::shown(const SettingRow& declared) const {
  const SettingListing& listing = declared.listing;
  switch (listing.when) {
    case ListedWhen::always: return true;
    case ListedWhen::switchedOn: return s_.*listing.switchField == listing.switchValue;
    case ListedWhen::notEmpty: return !(s_.*std::get<std::string Settings::*>(declared.field)).empty();
    case ListedWhen::inputFormat: return declared.format != nullptr && request_.inputType == declared.format;
    // The window lets its dialog hold the format's values in range, and
    // neither lists nor checks them.
    case ListedWhen::outputFormat: return console_ && declared.format != nullptr && extension_ == declared.format;
  }
  return false;
}

std::string Preparer::plainValue(const SettingRow& declared) const {
  return std::visit(
      [&](auto member) -> std::string {
        using Value = std::remove_cvref_t<decltype(s_.*member)>;
        if constexpr (std::is_same_v<Value, std::string>) {
          return s_.*member;
        } else if constexpr (std::is_same_v<Value, float>) {
          return twoDecimals(s_.*member);
        } else {
          const int code = s_.*member;
          // The compression words depend on the format: the run's, which is the row's.
          if (declared.type == SettingType::word) return lowerAscii(keywordWord(declared.words, code, extension_));
          return number(code);
        }
      },
      declared.field);
}

std::string Preparer::listedValue(const SettingRow& declared) const {
  std::string value = plainValue(declared);
  const SettingRow* companion = declared.listing.companion ? findSetting(declared.listing.companion) : nullptr;
  switch (declared.listing.as) {
    case ListedAs::value: break;
    case ListedAs::withUnit:
      if (companion != nullptr) value += " " + plainValue(*companion);
      break;
    case ListedAs::pair:
      if (companion != nullptr) value += "/" + plainValue(*companion);
      break;
    case ListedAs::threadCount:
      if (integerValue(declared, s_) == 0) value += " (" + number(resolvedThreadCount(0)) + " cores)";
      break;
  }
  return value;
}

// The row's own check of the value, where this face checks it.
bool Preparer::checkValue(const SettingRow& declared) {
  const SettingCheck& check = declared.check;
  if (check.kind == ValueCheck::none || (!console_ && check.windowMessage == nullptr)) return true;
  bool valid = true;
  switch (check.kind) {
    case ValueCheck::none: break;
    case ValueCheck::range: valid = withinRange(declared, s_); break;
    case ValueCheck::nonZero: valid = integerValue(declared, s_) != 0; break;
    case ValueCheck::colour: valid = isValidColor(s_.*std::get<std::string Settings::*>(declared.field)); break;
    case ValueCheck::outputDepth:
      valid = declared.format != nullptr && isAllowedDepth(declared.format, integerValue(declared, s_));
      break;
    case ValueCheck::staysInFolder:
      // The mask names a file inside the output folder, never one above it or
      // elsewhere (buildOutputPath checks every expanded name as well).
      valid = staysInFolder(lowerAscii(s_.*std::get<std::string Settings::*>(declared.field)));
      break;
  }
  if (valid) return true;
  result_.setting = &declared;
  return fail(RunCheck::invalidValue, declared.name);
}

// Every listed setting in listing order: the row is listed, then checked.
bool Preparer::listSettings() {
  const std::span<const SettingRow* const> rows = listingOrder();
  std::vector<const SettingRow*> deferred;
  for (size_t i = 0; i < rows.size(); ++i) {
    const SettingRow& declared = *rows[i];
    if (shown(declared)) {
      list(declared.listing.label, listedValue(declared));
      // A format's values are all listed before the first of them is checked.
      if (declared.listing.when == ListedWhen::outputFormat) deferred.push_back(&declared);
      else if (!checkValue(declared)) return false;
    }
    if ((i + 1 == rows.size() || !sameBlock(declared.listing, rows[i + 1]->listing)) &&
        !finishBlock(declared.listing, deferred))
      return false;
  }
  return true;
}

// The checks that follow a block of rows: the output format's values, the
// watermark font made from the text watermark's rows, the picture named by
// the image watermark's.
bool Preparer::finishBlock(const SettingListing& block, std::vector<const SettingRow*>& deferred) {
  for (const SettingRow* declared : deferred)
    if (!checkValue(*declared)) return false;
  deferred.clear();
  if (block.when != ListedWhen::switchedOn || block.switchField != &Settings::watermarkType ||
      s_.watermarkType != block.switchValue)
    return true;
  WatermarkOptions& watermark = result_.plan.pipeline.watermark;
  if (s_.watermarkType == 1) {
    watermark.text.font = createWatermarkFont(s_.wmFont, s_.wmFontSize, s_.wmFontStyle, s_.wmFontEffect);
    if (!watermark.text.font) return fail(RunCheck::invalidWatermarkFont, s_.wmFont);
  } else if (s_.watermarkType == 2) {
    if (!console_ && s_.wmImage.empty()) return fail(RunCheck::emptyWatermarkImage);
    // Read and checked here, once: a picture that cannot be used stops the
    // run before any file is written.
    if (fileSize(s_.wmImage) > 0) watermark.image.picture = loadWatermarkPicture(s_.wmImage);
    if (!watermark.image.picture) return fail(RunCheck::invalidWatermarkImage, s_.wmImage);
  }
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
  if (!listSettings()) return std::move(result_);

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
    case RunCheck::invalidValue:
      return preparation.setting != nullptr && preparation.setting->check.error ? preparation.setting->check.error : "";
    case RunCheck::invalidWatermarkFont: return "Error: Invalid watermark font";
    case RunCheck::emptyWatermarkImage:
    case RunCheck::invalidWatermarkImage: return "Error: Invalid watermark image";
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
  const SettingRow* row = depthRow(extension);
  return row != nullptr ? std::get<int32_t Settings::*>(row->field) : nullptr;
}

OutputOptions outputOptionsFor(const Settings& settings, const std::string& extension) {
  OutputOptions output;
  output.extension = extension;
  const OutputFormatInfo* format = findOutputFormat(extension);
  output.fif = format != nullptr ? format->fif : -1;
  int32_t Settings::*depth = depthSettingOf(extension);
  output.depth = depth != nullptr ? settings.*depth : 0;
  output.saveFlags = saveFlagsFor(extension, settings);
  return output;
}

}  // namespace trovabild
