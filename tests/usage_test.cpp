#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/seams.h"
#include "cli/usage.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

class Usage : public ::testing::Test {
 protected:
  void SetUp() override {
    setConsoleSink([this](std::string_view line) { lines.emplace_back(line); });
  }
  void TearDown() override { setConsoleSink(nullptr); }
  std::vector<std::string> lines;
};

// The usage text as the test binary prints it (its own file name stands
// where the executable's name goes).
std::vector<std::string> expectedUsage(const std::string& name) {
  return {
      " ",
      "Usage: " + name + " -i <filename> [options]",
      " ",
      "  " + name + " -i example.ico",
      "  " + name + " -i /tmp/example.ico",
      "  " + name + " -i /tmp/example.ico -o ~/converted",
      "  " + name + " -i /tmp/filelist.txt",
      "  " + name + " -i /tmp/ -o ~/converted --jpg-quality=95",
      "  " + name + " -i /tmp/ -o ~/converted -c jpg --jpg-quality=95",
      " ",
      "Options:",
      " ",
      "  -h, -?, --help            Display this help and exit",
      "  -i FILE, --input=FILE     Set input file/list/folder",
      "  -o PATH, --output=PATH    Set output folder",
      "  -c STR, --conversion=STR  Set output extension, STR = (jpg | bmp | ...)",
      " ",
      "Advanced options:",
      " ",
      "  --width=NUM               Set output image width",
      "  --height=NUM              Set output image height",
      "  --filename-mask=STR       Define output filename format",
      "  --flip-horizontal         Flip output image horizontally",
      "  --flip-vertical           Flip output image vertically",
      "  --brightness=NUM          Set output image brightness, NUM = -100..100",
      "  --contrast=NUM            Set output image contrast, NUM = -100..100",
      "  --gamma=NUM               Set output image gamma, NUM = 0.01..9.99",
      "  --invert                  Invert output image",
      "  --greyscale               Greyscale output image",
      "  --ico-frame-loading=STR   Choose icon images, STR = (all | first | ... | largest | best)",
      "  --background-color=RRGGBB Set colour behind transparent areas (default FFFFFF)",
      "  --threads=NUM             Set files converted at once, NUM = 0..256 (0 = all cores)",
      "  --dry-run                 Convert without writing, list the planned output files",
      "  --report=FILE             Write a JSON report of the run to FILE (- = stdout)",
      "  --profile=FILE            Set configuration file with required settings",
      "    ...                     Refer documentation for all available options",
      " ",
      "Other options:",
      " ",
      "  -q, --quiet               Don't print status messages to stdout",
      "  -d, --debug               Print debug information to stdout",
      "  -p, --pause               Pause at exit",
      "  -v, --version             Display version information and exit",
  };
}

}  // namespace

TEST_F(Usage, PrintsTheUsageText) {
  printUsage();
  EXPECT_EQ(lines, expectedUsage("trovabild_tests"));
  EXPECT_EQ(lines.size(), 43u);
}

TEST_F(Usage, PrintsTheVersion) {
  printVersion();
  EXPECT_EQ(lines, std::vector<std::string>{"2.9"});
}

}  // namespace trovabild
