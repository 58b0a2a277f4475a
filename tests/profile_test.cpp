#include <gtest/gtest.h>

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

}  // namespace trovabild
