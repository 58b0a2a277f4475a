#pragma once
// The run plan: everything a batch needs, checked and worked out once from
// the settings before the first file. Both faces prepare their runs here.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/step_options.h"
#include "settings/setting_table.h"
#include "settings/settings.h"

namespace trovabild {

/// Values behind the %rnd% and %n% naming tokens. The caller that runs the
/// files advances them after each converted file.
struct NamingCounters {
  int32_t randomNumber = 1;
  int32_t counter = 1;
};

struct RunPlan {
  std::string outputFolder;  ///< ends in "/"; absolute in a console run
  PipelineOptions pipeline;  ///< every step's values, output format included
  std::string filenameMask;
  bool dryRun = false;     ///< everything up to the save, nothing written
  std::string reportFile;  ///< where the report goes: "-" standard output, "" none
  bool keepSubfolders = true;
  int fileTimestamp = 0;  ///< 0 CURRENT, 1 ORIGINAL, 2 CUSTOM
  int32_t customTimestamp = 0;
  bool verbose = false;  ///< the worker prints a block of lines per file
  int threads = 1;       ///< files converted at once (at least 1)
};

/// Which face asks: the two check the same settings with their own lists.
enum class RunFace { console, window };

/// What failed. The checks run in the order of the settings listing: the
/// output folder and the conversion type first, then each listed setting's
/// own check (its row of the settings table says which, and gives the
/// console's error) as the listing reaches it, an output format's values once
/// all of them are listed, the watermark font after the text watermark's rows
/// and the picture after the image watermark's. The console checks every
/// value; the window checks its file list and output folder box, and of the
/// values only those whose row names a window message.
enum class RunCheck {
  passed,
  emptyInputList,         ///< window
  emptyOutputFolder,      ///< window
  incorrectOutputFolder,  ///< console: the folder begins with ".."
  invalidOutputFolder,
  invalidConversionType,  ///< console
  invalidValue,           ///< a setting's value; `setting` is its row, the subject its name
  invalidWatermarkFont,   ///< subject: the font name
  emptyWatermarkImage,    ///< window
  invalidWatermarkImage,  ///< subject: the image path
};

struct RunRequest {
  RunFace face = RunFace::console;
  /// As typed (console: already defaulted from the input; window: the
  /// box's text, trimmed).
  std::string outputFolder;
  /// A missing output folder is made with its parents (console).
  bool createOutputFolder = false;
  /// "" takes the first of `outputFormats`.
  std::string outputExtension;
  /// The input format whose load options the listing shows.
  std::string inputType;
  std::vector<std::string> outputFormats;
  /// Files in the input list (the window refuses an empty list first).
  size_t inputCount = 0;
  bool verbose = false;
  /// Receives each line of the settings listing (label and value) as the
  /// checks reach it; the console prints them in debug mode.
  std::function<void(std::string_view label, const std::string& value)> listing;
};

struct RunPreparation {
  RunCheck failed = RunCheck::passed;
  /// The folder, font, image or setting the failed check names.
  std::string subject;
  /// The row of the setting whose value failed (invalidValue); null otherwise.
  const SettingRow* setting = nullptr;
  /// Why the output folder could not be made, for standard error; "" else.
  std::string detail;
  RunPlan plan;  ///< complete only when nothing failed
  explicit operator bool() const { return failed == RunCheck::passed; }
};

/// Checks the settings for one run, in order, and stops at the first check
/// that fails; otherwise returns the plan: the normalised output folder, the
/// output format's identifier, depth and save flags, the watermark font
/// (made here, for a text watermark) and every step's values. `settings`
/// is only read.
RunPreparation prepareRun(const Settings& settings, const RunRequest& request);

/// How many files a run converts at once for the threads setting: the
/// number of online cores for 0, else the setting held to 1 .. kMaxThreads.
int resolvedThreadCount(int32_t threads);

/// The setting a listing label names, without its ": " ("Output: " gives
/// "Output"), as the run's report keys it.
std::string listingName(std::string_view label);

/// The console's error line for a failed check ("Error: Invalid width value",
/// from the setting's row for a value).
std::string consoleErrorLine(const RunPreparation& preparation);

/// The Settings field holding the output depth of a format ("jpg" gives
/// &Settings::jpgBpp); nullptr for an extension the program cannot write.
int32_t Settings::*depthSettingOf(std::string_view extension);

/// The output format's values for the extension: identifier, depth setting
/// and save flags (-1 as identifier for an extension the registry lacks).
OutputOptions outputOptionsFor(const Settings& settings, const std::string& extension);

}  // namespace trovabild
