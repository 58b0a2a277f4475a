#include "batch/output_naming.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "base/seams.h"
#include "batch/run_plan.h"

namespace trovabild {
namespace {

// 5 March 2024, 07:08:09, read in UTC.
std::time_t fixedInstant() {
  std::tm when{};
  when.tm_year = 2024 - 1900;
  when.tm_mon = 2;
  when.tm_mday = 5;
  when.tm_hour = 7;
  when.tm_min = 8;
  when.tm_sec = 9;
  return timegm(&when);
}

class OutputNaming : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* zone = std::getenv("TZ");
    savedZone_ = zone != nullptr ? zone : "";
    hadZone_ = zone != nullptr;
    setenv("TZ", "UTC", 1);
    tzset();
    setClock([] { return fixedInstant(); });
    values.input = "/in/name.ico";
    values.extension = "jpg";
    values.targetBpp = 24;
    values.width = 64;
    values.height = 32;
    values.randomNumber = 42;
    values.counter = 1;
    plan.outputFolder = "/out/";
    plan.filenameMask = "%filename%.%ext%";
  }
  void TearDown() override {
    setClock({});
    if (hadZone_)
      setenv("TZ", savedZone_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

  NameValues values;
  RunPlan plan;

 private:
  std::string savedZone_;
  bool hadZone_ = false;
};

struct NameCase {
  const char* mask;
  const char* input;
  int counter;
  const char* expected;
};

constexpr NameCase kNameCases[] = {
    {"%filename%.%ext%", "/in/Icon.ICO", 1, "Icon.jpg"},
    {"", "/in/Icon.ICO", 1, "Icon.jpg"},
    {"%filename[u]%_%ext[u]%.%ext%", "/in/my.photo.ico", 1, "MY.PHOTO_JPG.jpg"},
    {"%filename[l]%.%ext%", "/in/MiXed.ico", 1, "mixed.jpg"},
    {"%filename[t]%.%ext%", "/in/hELLO.ico", 1, "Hello.jpg"},
    {"%filename[t]%.%ext%", "/in/x.ico", 1, "X.jpg"},
    {"%filename%.%ext[t]%", "/in/a.ico", 1, "a.Jpg"},
    {"%FILENAME%-%N%.%EXT%", "/in/name.ico", 2, "name-00002.jpg"},
    {"Photo_%n%.%ext%", "/in/name.ico", 1, "photo_00001.jpg"},
    {"%yyyy%%mm%%dd%_%filename%.%ext%", "/in/name.ico", 1, "20240305_name.jpg"},
    {"%hh%-%ii%-%ss%", "/in/name.ico", 1, "07-08-09"},
    {"%bpp%_%width%x%height%", "/in/name.ico", 1, "24_64x32"},
    {"%rnd%", "/in/name.ico", 1, "00042"},
    {"%filename%", "/in/name.ico", 1, "name"},
    {"%foo%.%ext%", "/in/name.ico", 1, "%foo%.jpg"},
    {"%n%%n%", "/in/name.ico", 7, "0000700007"},
    // A token inside an inserted value is replaced when its turn comes.
    {"%filename%.%ext%", "/in/a%n%b.ico", 3, "a00003b.jpg"},
    // Counters beyond five digits widen rather than wrap.
    {"%n%", "/in/name.ico", 123456, "123456"},
    // Case mapping and the lower-cased mask reach beyond ASCII.
    {"%filename[u]%", "/in/\xC3\xA9t\xC3\xA9.ico", 1, "\xC3\x89T\xC3\x89"},
    {"%filename[t]%", "/in/\xC3\xA9" "COLE.ico", 1, "\xC3\x89" "cole"},
    {"\xC3\x89T\xC3\x89_%n%", "/in/name.ico", 1, "\xC3\xA9t\xC3\xA9_00001"},
    // A backslash is an ordinary character of the name.
    {"%filename%.%ext%", "/in/back\\slash.ico", 1, "back\\slash.jpg"},
};

TEST_F(OutputNaming, ExpandsEveryTokenOfTheMask) {
  for (const NameCase& c : kNameCases) {
    SCOPED_TRACE(std::string(c.mask) + " / " + c.input);
    values.input = c.input;
    values.counter = c.counter;
    EXPECT_EQ(buildOutputName(c.mask, values), c.expected);
  }
}

TEST_F(OutputNaming, PlacesTheNameBelowTheKeptSubfolder) {
  plan.keepSubfolders = true;
  EXPECT_EQ(buildOutputPath(plan, "a/b/", values), "/out/a/b/name.jpg");
  plan.keepSubfolders = false;
  EXPECT_EQ(buildOutputPath(plan, "a/b/", values), "/out/name.jpg");
}

struct WatermarkCase {
  const char* text;
  const char* input;
  const char* expected;
};

constexpr WatermarkCase kWatermarkCases[] = {
    {"Shot %Width%x%Height% taken", "/in/name.ico", "Shot 64x32 taken"},
    {"100% free", "/in/name.ico", "100% free"},
    {"No tokens", "/in/name.ico", "No tokens"},
    {"%FILENAME[U]% (c) %YYYY%", "/in/name.ico", "NAME (c) 2024"},
    {"Keep %foo% and %N%", "/in/name.ico", "Keep %foo% and 00001"},
    {"%Ext[T]% %bpp% bits", "/in/name.ico", "Jpg 24 bits"},
    // Only tokens written in the text are replaced, not ones a value brings.
    {"%filename%", "/in/a%n%b.ico", "a%n%b"},
};

TEST_F(OutputNaming, ExpandsOnlyTheTokensWrittenInTheWatermark) {
  for (const WatermarkCase& c : kWatermarkCases) {
    SCOPED_TRACE(c.text);
    values.input = c.input;
    EXPECT_EQ(expandWatermarkTokens(c.text, values), c.expected);
  }
}

TEST(StripExtension, RemovesTheLastDotAndWhatFollows) {
  EXPECT_EQ(stripExtension("my.photo.ico"), "my.photo");
  EXPECT_EQ(stripExtension("plain"), "plain");
  EXPECT_EQ(stripExtension(".ico"), "");
}

}  // namespace
}  // namespace trovabild
