#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "cli/profile.h"
#include "settings/settings.h"
#include "support/test_support.h"

namespace trovabild {

namespace {

class Profile : public ::testing::Test {
 protected:
  void SetUp() override { resetSettings(true); }
  bool apply(const std::string& content) {
    testing::writeText(dir / "profile.ini", content);
    return applyProfile(dir / "profile.ini");
  }
  testing::TempDir dir;
};

}  // namespace

TEST_F(Profile, AppliesTheCliGroup) {
  ASSERT_TRUE(apply(
      "\xEF\xBB\xBF\r\n"
      "[Other]\r\n"
      "--JPG-QUALITY=10\r\n"
      "[cli]\r\n"
      "; comment\r\n"
      "  --jpg-quality   =   80  \r\n"
      "--WM-SOLID-OPACITY=128\r\n"
      "--FR-SOLID-OPACITY=7\r\n"
      "--ROTATION-BACK-COLOR=\"FF0000\"\r\n"
      "--FILENAME-MASK=\"%filename%_x.%ext%\"\r\n"
      "--WM-TEXT=\"Two words\" and more\r\n"
      "--WM-IMAGE=logo.png\r\n"
      "--INVERT=0\r\n"
      "--GAMMA=1.5\r\n"
      "--DITHER=bayer4\r\n"
      "--RESIZE-ALGORITHM= lanczos \r\n"
      "--WIDTH=$40\r\n"
      "--FR-SOLID-TOP=\r\n"
      "--INPUT=ignored.ico\r\n"
      "--PROFILE=other.ini\r\n"
      "-q=1\r\n"
      "--jpg-quality=81\r\n"
      "[CLI]\r\n"
      "--JPG-QUALITY=99\r\n"));
  EXPECT_EQ(settings.jpgQuality, 81);  // the later line of the first group wins
  EXPECT_EQ(settings.solidOpacity, 128);
  EXPECT_EQ(settings.rotationBackColor, "\"FF0000\"");
  EXPECT_EQ(settings.filenameMask, "%filename%_x.%ext%");
  EXPECT_EQ(settings.wmText, "\"Two words\" and more");
  EXPECT_EQ(settings.watermarkType, 2);  // --WM-IMAGE came after --WM-TEXT
  EXPECT_EQ(settings.invert, 1);
  EXPECT_EQ(settings.doColorCorrection, 1);
  EXPECT_FLOAT_EQ(settings.gamma, 1.5f);
  EXPECT_EQ(settings.doDither, 1);
  EXPECT_EQ(settings.ditherAlgorithm, 1);
  EXPECT_EQ(settings.resizeAlgorithm, 5);
  EXPECT_EQ(settings.width, 64);
  EXPECT_EQ(settings.doResize, 1);
  EXPECT_EQ(settings.solidTop, 0);
  EXPECT_EQ(settings.frameType, 1);  // an empty value still switches the step on
  EXPECT_EQ(job.inputPath, "");
}

TEST_F(Profile, CarriesTheFrameChoiceBackgroundAndRunOptions) {
  ASSERT_TRUE(apply(
      "[CLI]\r\n"
      "--ico-frame-loading = best\r\n"
      "--background-color = 336699\r\n"
      "--threads = 2\r\n"
      "--dry-run = 0\r\n"
      "--report = /tmp/run.json\r\n"));
  EXPECT_EQ(settings.icoFrameLoading, 6);
  EXPECT_EQ(settings.backgroundColor, "336699");
  EXPECT_EQ(settings.threads, 2);
  EXPECT_EQ(settings.dryRun, 1);  // a flag whatever its value
  EXPECT_EQ(settings.reportFile, "/tmp/run.json");

  // A profile without them leaves the defaults.
  resetSettings(true);
  ASSERT_TRUE(apply("[CLI]\r\n--jpg-quality=80\r\n"));
  EXPECT_EQ(settings.icoFrameLoading, 0);
  EXPECT_EQ(settings.backgroundColor, "FFFFFF");
  EXPECT_EQ(settings.threads, 0);
  EXPECT_EQ(settings.dryRun, 0);
  EXPECT_EQ(settings.reportFile, "");
}

struct EmptyCase {
  const char* name;
  const char* content;
};

TEST_F(Profile, FilesWithNothingToApplyAreNoError) {
  const EmptyCase cases[] = {
      {"empty file", ""},
      {"no CLI group", "[General]\n--JPG-QUALITY=5\n"},
      {"empty CLI group", "[CLI]\n[Next]\n--JPG-QUALITY=5\n"},
      {"keys before any group", "--JPG-QUALITY=5\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    resetSettings(true);
    EXPECT_TRUE(apply(c.content));
    EXPECT_EQ(settings.jpgQuality, 95);
  }
}

TEST_F(Profile, RefusesMissingFiles) {
  EXPECT_FALSE(applyProfile(""));
  EXPECT_FALSE(applyProfile(dir / "missing.ini"));
  EXPECT_FALSE(applyProfile(dir.path()));  // a folder is no profile
}

// Only a regular file within the size limit is read, without waiting on a
// pipe or reading a device without end.
TEST_F(Profile, RefusesPipesDevicesAndHugeFiles) {
  ASSERT_EQ(mkfifo((dir / "fifo.ini").c_str(), 0600), 0);
  testing::writeText(dir / "huge.ini", "[CLI]\r\n--JPG-QUALITY=10\r\n");
  ASSERT_EQ(truncate((dir / "huge.ini").c_str(), 16 * 1024 * 1024 + 1), 0);
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& path : {dir / "fifo.ini", std::string("/dev/zero"), dir / "huge.ini"}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(applyProfile(path));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(settings.jpgQuality, 95);
}

TEST_F(Profile, ALineBeyondTheLimitIsAnErrorAndNothingIsApplied) {
  EXPECT_TRUE(apply("[CLI]\r\n--JPG-QUALITY=10\r\n--WM-TEXT=" + std::string(60000, 'x') + "\r\n"));
  EXPECT_EQ(settings.jpgQuality, 10);
  resetSettings(true);
  EXPECT_FALSE(apply("[CLI]\r\n--JPG-QUALITY=10\r\n--WM-TEXT=" + std::string(70000, 'x') + "\r\n"));
  EXPECT_EQ(settings.jpgQuality, 95);
  EXPECT_EQ(settings.watermarkType, 0);
}

TEST_F(Profile, ReadsUtf16AndUtf32ByTheirMark) {
  const std::string text = "[CLI]\r\n--WM-TEXT=caf\xC3\xA9\r\n";
  auto widen = [&](int width, bool big) {
    std::string out;
    auto put = [&](uint32_t code) {
      for (int k = 0; k < width; ++k) out += static_cast<char>((code >> (8 * (big ? width - 1 - k : k))) & 0xFF);
    };
    put(0xFEFF);
    for (uint32_t code : std::initializer_list<uint32_t>{'[', 'C', 'L', 'I', ']', '\r', '\n', '-', '-', 'W', 'M', '-', 'T', 'E', 'X', 'T', '=',
                          'c', 'a', 'f', 0xE9, '\r', '\n'})
      put(code);
    return out;
  };
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"UTF-16LE", widen(2, false)}, {"UTF-16BE", widen(2, true)},
           {"UTF-32LE", widen(4, false)}, {"UTF-32BE", widen(4, true)}}) {
    SCOPED_TRACE(name);
    resetSettings(true);
    EXPECT_TRUE(apply(bytes));
    EXPECT_EQ(settings.watermarkType, 1);
    EXPECT_EQ(settings.wmText, "caf\xC3\xA9");
  }
}

}  // namespace trovabild
