#include "settings/settings.h"

#include "base/product.h"
#include "base/program_data.h"
#include "base/seams.h"
#include "settings/setting_table.h"

namespace trovabild {

Settings::Settings() {
  for (const SettingRow& declared : settingTable()) applyDefault(declared, *this);
}

Settings settings;
Job job;

int32_t localNow() {
  const std::time_t now = currentTime();
  std::tm local{};
  localtime_r(&now, &local);
  // Seconds since 1970 as if the local wall clock were UTC.
  return static_cast<int32_t>(timegm(&local));
}

Settings defaultSettings(bool commandLineFlavour) {
  Settings defaults;
  defaults.updateDate = localNow();
  defaults.customTimestamp = localNow();
  defaults.inputFormat = job.inputFormats.empty() ? "" : job.inputFormats.front();
  defaults.outputFormat = job.outputFormats.empty() ? "" : job.outputFormats.front();
  defaults.keepAspectRatio = commandLineFlavour ? 0 : 1;
  defaults.wmText = kCopyright;
  return defaults;
}

void resetSettings(bool commandLineFlavour) { settings = defaultSettings(commandLineFlavour); }

void resetJobFields() {
  const std::string runMode = job.runMode;
  const int32_t imageWidth = job.imageWidth;
  const int32_t imageHeight = job.imageHeight;
  std::vector<std::string> inputFormats = std::move(job.inputFormats);
  std::vector<std::string> outputFormats = std::move(job.outputFormats);
  job = Job{};
  job.runMode = runMode;
  job.imageWidth = imageWidth;
  job.imageHeight = imageHeight;
  job.inputFormats = std::move(inputFormats);
  job.outputFormats = std::move(outputFormats);
  job.programFolder = executableFolder();
  job.randomNumber = randomInt(1, 99999);
  job.counter = 1;
}

}  // namespace trovabild
