#include "batch/batch_driver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <zlib.h>

#include "base/messages.h"
#include "base/seams.h"
#include "batch/input_list.h"
#include "batch/run_plan.h"
#include "imaging/format_registry.h"
#include "imaging/output_depth.h"
#include "settings/settings.h"
#include "tests/support/ico_bytes.h"
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
  // A console run to out/ as JPEG.
  RunRequest jpegRequest() const {
    RunRequest request;
    request.outputFolder = dir_ / "out";
    request.outputFormats = {"jpg"};
    return request;
  }

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
    setErrorSink([this](std::string_view line) { errLines_.emplace_back(line); });
  }
  void TearDown() override {
    setConsoleSink({});
    setErrorSink({});
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
    text = replaceAll(text, "{CORES}", std::to_string(resolvedThreadCount(0)));
    return testing::splitLines(text);
  }

  TempDir dir_;
  std::vector<std::string> lines_;
  std::vector<std::string> errLines_;  ///< standard error
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
  settings.icoFrameLoading = 6;
  settings.backgroundColor = "00FF7F";
  settings.threads = 4;
  settings.dryRun = 1;
  settings.reportFile = dir_ / "report.json";
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
    {"mask three levels up", [] { settings.filenameMask = "../../../x.jpg"; }, "Error: Invalid filename mask"},
    {"absolute mask", [] { settings.filenameMask = "/tmp/%filename%.%ext%"; }, "Error: Invalid filename mask"},
    {"mask up from a subfolder", [] { settings.filenameMask = "a/../../x.%ext%"; }, "Error: Invalid filename mask"},
    {"mask ending in ..", [] { settings.filenameMask = "a/.."; }, "Error: Invalid filename mask"},
    {"mask into a subfolder", [] { settings.filenameMask = "sub/%filename%.%ext%"; }, ""},
    {"mask with dots in a name", [] { settings.filenameMask = "..%filename%...%ext%"; }, ""},
    {"output folder ..", [] { job.outputFolder = "../out"; }, "Error: Incorrect output folder"},
    {"missing output folder, made", [] { job.outputFolder += "/missing/deeper"; }, ""},
    {"output folder is a file", [] { job.outputFolder = job.inputPath + "/../file.txt"; }, "Error: Invalid output folder"},
    {"missing input folder", [] { job.inputPath += "missing"; }, "Error: Invalid input folder"},
    {"background colour in lower case", [] { settings.backgroundColor = "00ff7f"; }, ""},
    {"background colour by name", [] { settings.backgroundColor = "red"; }, "Error: Invalid background-color value"},
    {"background colour of five digits", [] { settings.backgroundColor = "FFFFF"; },
     "Error: Invalid background-color value"},
    {"background colour with a non-digit", [] { settings.backgroundColor = "FFFFFG"; },
     "Error: Invalid background-color value"},
    {"background colour with #", [] { settings.backgroundColor = "#FFFFFF"; },
     "Error: Invalid background-color value"},
    {"threads 0", [] { settings.threads = 0; }, ""},
    {"threads 256", [] { settings.threads = 256; }, ""},
    {"threads 257", [] { settings.threads = 257; }, "Error: Invalid threads value"},
    {"threads -1", [] { settings.threads = -1; }, "Error: Invalid threads value"},
};

TEST_F(BatchDriver, StopsAtTheFirstInvalidSetting) {
  testing::writeText(dir_ / "file.txt", "x");
  for (const CheckCase& c : kCheckCases) {
    SCOPED_TRACE(c.name);
    SetUp();
    lines_.clear();
    c.change();
    errLines_.clear();
    const ExitStatus status = runBatch(false);
    EXPECT_EQ(status, ExitStatus::failed);
    // Only a folder that cannot be made says more, on standard error.
    EXPECT_EQ(errLines_.size(), c.name == std::string("output folder is a file") ? 1u : 0u);
    if (*c.error != '\0') {
      EXPECT_EQ(errorLines(), std::vector<std::string>{c.error});
      EXPECT_EQ(lines_.back(), c.error);
    } else {
      EXPECT_TRUE(errorLines().empty());
      EXPECT_EQ(lines_.back(), "No input file(s) found. Please, add valid file(s) and try again!");
    }
  }
}

// A PNG header claiming `width` x `height`, with valid checksums.
testing::Bytes pngClaiming(uint32_t width, uint32_t height) {
  testing::Bytes png = {137, 80, 78, 71, 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (uint32_t v : {width, height})
    for (int k = 3; k >= 0; --k) png.push_back(static_cast<uint8_t>(v >> (8 * k)));
  for (uint8_t v : {8, 2, 0, 0, 0}) png.push_back(v);
  const uLong crc = crc32(0, png.data() + 12, 17);
  for (int k = 3; k >= 0; --k) png.push_back(static_cast<uint8_t>(crc >> (8 * k)));
  png.insert(png.end(), {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82});
  return png;
}

// The watermark image is read and checked before the batch, with the
// checks an input icon gets; one that cannot be used stops the run.
TEST_F(BatchDriver, RefusesAWatermarkImageThatCannotBeUsed) {
  testing::Bytes wideBits = testing::icoFile({testing::solidFrame(16, 0x00FF00)});
  testing::putLe16(wideBits, 22 + 14, 231);  // the frame header claims 231 bits per pixel
  const std::optional<testing::Bytes> encoded = encodeImage(testing::quadrantImage(8), FIF_PNG, 0);
  ASSERT_TRUE(encoded);
  const testing::Bytes& png = *encoded;
  struct Case {
    const char* name;
    testing::Bytes bytes;
    bool usable;
  };
  const Case cases[] = {
      {"icon with a 231-bit frame", wideBits, false},
      {"6-byte icon", {0, 0, 1, 0, 1, 0}, false},
      {"icon without frames", {0, 0, 1, 0, 0, 0}, false},
      {"text", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}, false},
      {"PNG claiming 100000 x 100000 pixels", pngClaiming(100000, 100000), false},
      {"icon", testing::icoFile({testing::solidFrame(16, 0x00FF00)}), true},
      {"PNG", png, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    lines_.clear();
    settings.watermarkType = 2;
    settings.wmImage = dir_ / (std::string(c.name) + ".ico");
    testing::writeBytes(settings.wmImage, c.bytes);
    EXPECT_EQ(runBatch(true), ExitStatus::failed);
    EXPECT_EQ(errorLines(), c.usable ? std::vector<std::string>{}
                                     : std::vector<std::string>{"Error: Invalid watermark image"});
  }
  // Neither a pipe nor a device is opened as a picture.
  ASSERT_EQ(mkfifo((dir_ / "fifo.png").c_str(), 0600), 0);
  for (const std::string& path : {dir_ / "fifo.png", std::string("/dev/zero")}) {
    SetUp();
    lines_.clear();
    settings.watermarkType = 2;
    settings.wmImage = path;
    EXPECT_EQ(runBatch(true), ExitStatus::failed);
    EXPECT_EQ(errorLines(), std::vector<std::string>{"Error: Invalid watermark image"});
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

TEST_F(BatchDriver, ThePlanFollowsTheDepthSetting) {
  Settings config = defaultSettings(true);
  RunRequest request = jpegRequest();
  RunPreparation prepared = prepareRun(config, request);
  ASSERT_TRUE(prepared);
  EXPECT_EQ(prepared.plan.outputFolder, dir_ / "out/");
  EXPECT_EQ(prepared.plan.pipeline.output.extension, "jpg");
  EXPECT_EQ(prepared.plan.pipeline.output.fif, 2);
  EXPECT_EQ(prepared.plan.pipeline.output.saveFlags, 95 | 0x10000);
  EXPECT_TRUE(prepared.plan.pipeline.output.automaticDepth());
  config.jpgBpp = 8;
  prepared = prepareRun(config, request);
  ASSERT_TRUE(prepared);
  EXPECT_EQ(prepared.plan.pipeline.output.depth, 8);
}

TEST_F(BatchDriver, ThePlanCarriesTheRunValues) {
  const int cores = static_cast<int>(std::clamp(sysconf(_SC_NPROCESSORS_ONLN), 1L, 256L));
  struct Case {
    int32_t threads;
    int resolved;
  };
  // The window does not refuse a count from its file: it is held in range.
  const Case cases[] = {{0, cores}, {1, 1}, {4, 4}, {256, 256}, {300, 256}, {-3, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.threads);
    EXPECT_EQ(resolvedThreadCount(c.threads), c.resolved);
  }

  Settings config = defaultSettings(true);
  RunRequest request = jpegRequest();
  RunPreparation prepared = prepareRun(config, request);
  ASSERT_TRUE(prepared);
  EXPECT_EQ(prepared.plan.threads, cores);
  EXPECT_FALSE(prepared.plan.dryRun);
  EXPECT_EQ(prepared.plan.reportFile, "");
  EXPECT_EQ(prepared.plan.pipeline.flatten.background, (Rgb{255, 255, 255}));

  config.threads = 3;
  config.dryRun = 1;
  config.reportFile = "-";
  config.backgroundColor = "10a0Ff";
  config.icoFrameLoading = 6;
  prepared = prepareRun(config, request);
  ASSERT_TRUE(prepared);
  EXPECT_EQ(prepared.plan.threads, 3);
  EXPECT_TRUE(prepared.plan.dryRun);
  EXPECT_EQ(prepared.plan.reportFile, "-");
  EXPECT_EQ(prepared.plan.pipeline.flatten.background, (Rgb{0x10, 0xA0, 0xFF}));
  EXPECT_EQ(prepared.plan.pipeline.icoFrameLoading, 6);

  request.face = RunFace::window;
  request.inputCount = 1;
  config.threads = 999;
  prepared = prepareRun(config, request);
  ASSERT_TRUE(prepared);
  EXPECT_EQ(prepared.plan.threads, 256);
}

// The window's checks, in their order; each row breaks one more thing, so
// the first failing check is the one reported.
TEST_F(BatchDriver, TheWindowsChecksReportTheFirstFailure) {
  testing::writeText(dir_ / "empty.png", "");
  struct Case {
    const char* name;
    std::function<void(Settings&, RunRequest&)> change;
    RunCheck failed;
    std::string subject;
  };
  const Case kCases[] = {
      {"passes", [](Settings&, RunRequest&) {}, RunCheck::passed, ""},
      {"console values are not the window's", [](Settings& s, RunRequest&) { s.jpgQuality = 0; s.brightness = 500; },
       RunCheck::passed, ""},
      {"missing image", [this](Settings& s, RunRequest&) { s.watermarkType = 2; s.wmImage = dir_ / "none.png"; },
       RunCheck::invalidWatermarkImage, dir_ / "none.png"},
      {"empty image path", [](Settings& s, RunRequest&) { s.wmImage.clear(); }, RunCheck::emptyWatermarkImage, ""},
      {"font", [](Settings& s, RunRequest&) { s.watermarkType = 1; s.wmFont = "Quorvath Sans Imaginary"; },
       RunCheck::invalidWatermarkFont, "Quorvath Sans Imaginary"},
      {"height", [](Settings& s, RunRequest&) { s.doResize = 1; s.width = 800; }, RunCheck::invalidValue, "height"},
      {"width", [](Settings& s, RunRequest&) { s.width = 0; }, RunCheck::invalidValue, "width"},
      {"folder", [this](Settings&, RunRequest& r) { r.outputFolder = dir_ / "empty.png"; },
       RunCheck::invalidOutputFolder, dir_ / "empty.png/"},
      {"empty folder", [](Settings&, RunRequest& r) { r.outputFolder.clear(); }, RunCheck::emptyOutputFolder, ""},
      {"empty list", [](Settings&, RunRequest& r) { r.inputCount = 0; }, RunCheck::emptyInputList, ""},
  };
  Settings config = defaultSettings(false);
  RunRequest request;
  request.face = RunFace::window;
  request.outputFolder = dir_ / "out";
  request.outputExtension = "jpg";
  request.outputFormats = {"jpg"};
  request.inputCount = 3;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    c.change(config, request);
    const RunPreparation prepared = prepareRun(config, request);
    EXPECT_EQ(prepared.failed, c.failed);
    EXPECT_EQ(prepared.subject, c.subject);
    if (prepared) {
      EXPECT_EQ(prepared.plan.outputFolder, dir_ / "out/");
    }
  }
}

}  // namespace
}  // namespace trovabild
