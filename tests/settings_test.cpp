#include <gtest/gtest.h>

#include <cstdlib>

#include "base/product.h"
#include "base/seams.h"
#include "batch/input_list.h"
#include "settings/settings.h"

namespace trovabild {

TEST(JobRecord, ResetKeepsTheRunModeAndComputesExtensions) {
  job.runMode = "DEBUG";
  job.imageWidth = 12;
  job.cliMode = 1;
  job.inputPath = "x";
  job.counter = 9;
  setRandomSource([](int low, int high) {
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 99999);
    return 4242;
  });
  resetJob();
  setRandomSource(nullptr);
  EXPECT_EQ(job.runMode, "DEBUG");
  EXPECT_EQ(job.imageWidth, 12);
  EXPECT_EQ(job.cliMode, 0);
  EXPECT_EQ(job.inputPath, "");
  EXPECT_EQ(job.counter, 1);
  EXPECT_EQ(job.randomNumber, 4242);
  EXPECT_EQ(job.inputExtensions, std::vector<std::string>{"ico"});
  EXPECT_EQ(job.inputFormats, std::vector<std::string>{"ico"});
  EXPECT_EQ(job.outputFormats, std::vector<std::string>{"jpg"});
  ASSERT_FALSE(job.programFolder.empty());
  EXPECT_EQ(job.programFolder.back(), '/');
  EXPECT_EQ(job.programFolder.front(), '/');
  job.runMode.clear();
  job.imageWidth = 0;
}

TEST(SettingsRecord, DefaultsTakeTheClockAndTheProductFormats) {
  setClock([] { return std::time_t{1000000}; });
  resetSettings(true);
  setClock(nullptr);
  EXPECT_EQ(settings.inputFormat, "ico");
  EXPECT_EQ(settings.outputFormat, "jpg");
  EXPECT_EQ(settings.wmText, kCopyright);
  // Both dates are the clock's instant read as local wall-clock seconds.
  EXPECT_EQ(settings.updateDate, settings.customTimestamp);
  EXPECT_LE(std::abs(settings.updateDate - 1000000), 14 * 3600);
  EXPECT_EQ(settings.keepSubfolders, 1);
  EXPECT_EQ(settings.filenameMask, "%filename%.%ext%");
  EXPECT_FLOAT_EQ(settings.gamma, 1.0f);
}

}  // namespace trovabild
