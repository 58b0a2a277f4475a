#include "batch/batch_driver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/seams.h"
#include "batch/input_list.h"
#include "imaging/format_registry.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace trovabild {
namespace {

using testing::TempDir;

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// A batch over an empty input folder: every check runs, nothing converts.
class BatchDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    fillFormatRegistry();
    loadMessageTable();
    job.runMode.clear();
    resetJob();
    resetSettings(true);
    job.cliMode = 1;
    mkdir((dir_ / "in").c_str(), 0777);
    mkdir((dir_ / "out").c_str(), 0777);
    job.inputPath = dir_ / "in";
    job.outputFolder = dir_ / "out";
    setConsoleSink([this](std::string_view line) { lines_.emplace_back(line); });
  }
  void TearDown() override {
    setConsoleSink({});
    job.runMode.clear();
    clearInputList();
  }

  std::vector<std::string> errorLines() const {
    std::vector<std::string> errors;
    for (const std::string& line : lines_)
      if (line.starts_with("Error: ")) errors.push_back(line);
    return errors;
  }

  // The golden file's lines with its placeholders filled in.
  std::vector<std::string> golden(const std::string& name) const {
    std::string text = testing::readText(std::string(TROVABILD_SOURCE_DIR) + "/tests/golden/" + name);
    text = replaceAll(text, "{DIR}", dir_.path());
    return testing::splitLines(text);
  }

  TempDir dir_;
  std::vector<std::string> lines_;
};

TEST_F(BatchDriver, ListsTheDefaultSettingsInDebugMode) {
  job.runMode = "DEBUG";
  EXPECT_EQ(runBatch(false), ExitStatus::failed);  // nothing to convert
  EXPECT_EQ(lines_, golden("debug_listing_default.txt"));
}

TEST_F(BatchDriver, ListsEveryUsedSettingInDebugMode) {
  // A real picture: the watermark image is read and checked before the batch.
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, testing::quadrantImage(4).get(), (dir_ / "mark.png").c_str(), 0));
  job.runMode = "DEBUG";
  settings.doRotation = 1;
  settings.rotationType = 1;
  settings.rotation = 45;
  settings.rotationBackColor = "FF00FF";
  settings.doResize = 1;
  settings.width = 50;
  settings.widthUnit = 1;
  settings.height = -20;
  settings.keepAspectRatio = 1;
  settings.resizeType = 1;
  settings.resizeAlgorithm = 5;
  settings.flipVertical = 1;
  settings.doColorCorrection = 1;
  settings.brightness = -100;
  settings.contrast = 100;
  settings.gamma = 1.0f;
  settings.invert = 1;
  settings.doGreyscale = 1;
  settings.doThreshold = 1;
  settings.threshold = 128;
  settings.doDither = 1;
  settings.ditherAlgorithm = 6;
  settings.frameType = 1;
  settings.solidLeft = 1;
  settings.solidRight = 2;
  settings.solidTop = 3;
  settings.solidBottom = 4;
  settings.solidLeftColor = "FF0000";
  settings.solidOpacity = 128;
  settings.watermarkType = 2;
  settings.wmImage = dir_ / "mark.png";
  settings.wmImagePosition = 4;
  settings.wmImageXOffset = -5;
  settings.filenameMask = "%filename%_%n%.%ext%";
  settings.fileTimestamp = 2;
  settings.customTimestamp = 1700000000;
  settings.keepSubfolders = 0;
  settings.icoFrameLoading = 3;
  settings.jpgBpp = 8;
  settings.jpgChroma = 2;
  settings.jpgSaveAs = 3;
  EXPECT_EQ(runBatch(true), ExitStatus::failed);
  EXPECT_EQ(lines_, golden("debug_listing_full.txt"));
}

struct CheckCase {
  const char* name;
  std::function<void()> change;
  const char* error;  // "" when the run passes every check
};

const CheckCase kCheckCases[] = {
    {"defaults", [] {}, ""},
    {"quality 0", [] { settings.jpgQuality = 0; }, "Error: Invalid jpg-quality value"},
    {"quality 101", [] { settings.jpgQuality = 101; }, "Error: Invalid jpg-quality value"},
    {"quality 1", [] { settings.jpgQuality = 1; }, ""},
    {"quality 100", [] { settings.jpgQuality = 100; }, ""},
    {"jpg depth 16", [] { settings.jpgBpp = 16; }, "Error: Invalid jpg-bpp value"},
    {"jpg depth 8", [] { settings.jpgBpp = 8; }, ""},
    {"jpg depth 24", [] { settings.jpgBpp = 24; }, ""},
    {"depth of another format", [] { settings.pngBpp = 7; }, ""},
    {"upper-case conversion", [] { job.outputExtension = "JPG"; }, "Error: Invalid conversion type"},
    {"unknown conversion", [] { job.outputExtension = "png"; }, "Error: Invalid conversion type"},
    {"width 0", [] { settings.doResize = 1; settings.height = 10; }, "Error: Invalid width value"},
    {"height 0", [] { settings.doResize = 1; settings.width = 800; }, "Error: Invalid height value"},
    {"negative size", [] { settings.doResize = 1; settings.width = -1; settings.height = -1; }, ""},
    {"size 0 without resizing", [] { settings.width = 0; }, ""},
    {"brightness 101", [] { settings.doColorCorrection = 1; settings.brightness = 101; },
     "Error: Invalid brightness value"},
    {"contrast -101", [] { settings.doColorCorrection = 1; settings.contrast = -101; },
     "Error: Invalid contrast value"},
    {"gamma 0.009", [] { settings.doColorCorrection = 1; settings.gamma = 0.009f; }, "Error: Invalid gamma value"},
    {"gamma 10", [] { settings.doColorCorrection = 1; settings.gamma = 10.0f; }, "Error: Invalid gamma value"},
    {"gamma NaN", [] { settings.doColorCorrection = 1; settings.gamma = std::nanf(""); }, "Error: Invalid gamma value"},
    {"gamma 0.01", [] { settings.doColorCorrection = 1; settings.gamma = 0.01f; }, ""},
    {"gamma 9.99", [] { settings.doColorCorrection = 1; settings.gamma = 9.99f; }, ""},
    {"gamma off", [] { settings.gamma = 0.0f; }, ""},
    {"missing watermark image", [] { settings.watermarkType = 2; settings.wmImage = "/nonexistent/x.png"; },
     "Error: Invalid watermark image"},
    {"output folder ..", [] { job.outputFolder = "../out"; }, "Error: Incorrect output folder"},
    {"missing output folder", [] { job.outputFolder += "missing"; }, "Error: Invalid output folder"},
    {"output folder is a file", [] { job.outputFolder = job.inputPath + "../file.txt"; }, "Error: Invalid output folder"},
    {"missing input folder", [] { job.inputPath += "missing"; }, "Error: Invalid input folder"},
};

TEST_F(BatchDriver, StopsAtTheFirstInvalidSetting) {
  testing::writeText(dir_ / "file.txt", "x");
  for (const CheckCase& c : kCheckCases) {
    SCOPED_TRACE(c.name);
    SetUp();
    lines_.clear();
    c.change();
    const ExitStatus status = runBatch(false);
    EXPECT_EQ(status, ExitStatus::failed);
    if (*c.error != '\0') {
      EXPECT_EQ(errorLines(), std::vector<std::string>{c.error});
      EXPECT_EQ(lines_.back(), c.error);
    } else {
      EXPECT_TRUE(errorLines().empty());
      EXPECT_EQ(lines_.back(), "No input file(s) found. Please, add valid file(s) and try again!");
    }
  }
}

TEST_F(BatchDriver, NamesCompressionWithTheFamilyOfTheListedFormat) {
  job.runMode = "DEBUG";
  job.outputFormats = {"jpg", "png", "exr", "tga"};
  struct Case {
    const char* extension;
    std::function<void()> change;
    const char* line;
  };
  const Case cases[] = {
      {"png", [] { settings.pngCompression = 2; }, "PNG Compression: zlib6"},
      {"exr", [] { settings.exrCompression = 1; }, "EXR Compression: zip"},
      {"tga", [] { settings.tgaCompression = 1; }, "TGA Compression: rle"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extension);
    lines_.clear();
    job.outputExtension = c.extension;
    job.outputFolder = dir_ / "out";
    job.inputPath = dir_ / "in";
    c.change();
    runBatch(true);
    EXPECT_NE(std::find(lines_.begin(), lines_.end(), c.line), lines_.end());
  }
  job.outputFormats = {"jpg"};
}

TEST_F(BatchDriver, QuietRunsStillReportThatNothingWasFound) {
  EXPECT_EQ(runBatch(true), ExitStatus::failed);
  EXPECT_EQ(lines_, (std::vector<std::string>{"Conversion stopped",
                                              "No input file(s) found. Please, add valid file(s) and try again!"}));
}

TEST_F(BatchDriver, PrepareRunValuesFollowsTheDepthSetting) {
  job.outputExtension = "jpg";
  settings.jpgBpp = 0;
  prepareRunValues();
  EXPECT_EQ(job.outputFif, 2);
  EXPECT_EQ(job.targetBpp, 0);
  EXPECT_TRUE(job.autoBpp);
  settings.jpgBpp = 8;
  prepareRunValues();
  EXPECT_EQ(job.targetBpp, 8);
  EXPECT_FALSE(job.autoBpp);
}

}  // namespace
}  // namespace trovabild
