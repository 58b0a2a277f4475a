#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>

#include "cli/options.h"
#include "batch/input_list.h"
#include "settings/settings.h"
#include "support/test_support.h"

namespace trovabild {

namespace {

class Options : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void reset() {
    job.runMode.clear();
    resetJob();
    resetSettings(true);
    flags = RunFlags{};
  }
  std::string parse(const std::vector<std::string>& parameters) { return parseOptions(parameters, flags); }
  RunFlags flags;
};

struct FieldCase {
  const char* parameter;
  std::function<bool()> reached;
};

#define FIELD(parameter, condition) \
  FieldCase { parameter, [] { return condition; } }

// One row per long option: a value unlike the default, and the field (and
// the step switch, where there is one) it must reach.
const FieldCase kFieldCases[] = {
    FIELD("--dds-load-as=rgba", settings.ddsLoadAs == 2),
    FIELD("--gif-frame-loading=last", settings.gifFrameLoading == 3),
    FIELD("--ico-frame-loading=random", settings.icoFrameLoading == 4),
    FIELD("--ico-frame-loading=largest", settings.icoFrameLoading == 5),
    FIELD("--ico-frame-loading=BEST", settings.icoFrameLoading == 6),
    FIELD("--gif-frame-loading=largest", settings.gifFrameLoading == 0),
    FIELD("--tiff-frame-loading=best", settings.tiffFrameLoading == 0),
    FIELD("--background-color=00ff7f", settings.backgroundColor == "00ff7f"),
    FIELD("--psd-color-mode=lab", settings.psdColorMode == 2),
    FIELD("--raw-load-as=48hs", settings.rawLoadAs == 4),
    FIELD("--raw-header-size=12", settings.rawHeaderSize == 12),
    FIELD("--raw-width=13", settings.rawImageWidth == 13),
    FIELD("--raw-height=14", settings.rawImageHeight == 14),
    FIELD("--raw-tone-mapping=gd", settings.rawToneMapping == 4),
    FIELD("--tiff-frame-loading=middle", settings.tiffFrameLoading == 2),
    FIELD("--bmp-bpp=8", settings.bmpBpp == 8),
    FIELD("--bmp-compression=rle", settings.bmpCompression == 1),
    FIELD("--bmp-color-table=exact", settings.bmpColorTable == 1),
    FIELD("--dds-bpp=24", settings.ddsBpp == 24),
    FIELD("--exr-bpp=48", settings.exrBpp == 48),
    FIELD("--exr-compression=b44", settings.exrCompression == 4),
    FIELD("--gif-bpp=4", settings.gifBpp == 4),
    FIELD("--hdr-bpp=96", settings.hdrBpp == 96),
    FIELD("--ico-bpp=32", settings.icoBpp == 32),
    FIELD("--j2k-bpp=16", settings.j2kBpp == 16),
    FIELD("--jng-bpp=1", settings.jngBpp == 1),
    FIELD("--jp2-bpp=2", settings.jp2Bpp == 2),
    FIELD("--jpg-bpp=8", settings.jpgBpp == 8),
    FIELD("--jpg-quality=80", settings.jpgQuality == 80),
    FIELD("--jpg-chroma=high", settings.jpgChroma == 3),
    FIELD("--jpg-save-as=progressive", settings.jpgSaveAs == 3),
    FIELD("--jxr-bpp=3", settings.jxrBpp == 3),
    FIELD("--pbm-bpp=5", settings.pbmBpp == 5),
    FIELD("--pcx-bpp=6", settings.pcxBpp == 6),
    FIELD("--pfm-bpp=7", settings.pfmBpp == 7),
    FIELD("--pgm-bpp=9", settings.pgmBpp == 9),
    FIELD("--png-bpp=10", settings.pngBpp == 10),
    FIELD("--png-compression=zlib9", settings.pngCompression == 3),
    FIELD("--png-interlaced", settings.pngInterlaced == 1),
    FIELD("--ppm-bpp=11", settings.ppmBpp == 11),
    FIELD("--psd-bpp=12", settings.psdBpp == 12),
    FIELD("--tga-bpp=13", settings.tgaBpp == 13),
    FIELD("--tga-compression=rle", settings.tgaCompression == 1),
    FIELD("--tiff-bpp=14", settings.tiffBpp == 14),
    FIELD("--tiff-compression=logluv", settings.tiffCompression == 8),
    FIELD("--tiff-color-mode=cmyk", settings.tiffColorMode == 1),
    FIELD("--wbmp-bpp=15", settings.wbmpBpp == 15),
    FIELD("--webp-bpp=16", settings.webpBpp == 16),
    FIELD("--webp-quality=50", settings.webpQuality == 50),
    FIELD("--xpm-bpp=17", settings.xpmBpp == 17),
    FIELD("--rotation-type=advanced", settings.rotationType == 1 && !settings.doRotation),
    FIELD("--rotation=90", settings.rotation == 90 && settings.doRotation == 1),
    FIELD("--rotation-back-color=FF00FF", settings.rotationBackColor == "FF00FF" && !settings.doRotation),
    FIELD("--width=64", settings.width == 64 && settings.doResize == 1 && settings.height == 0 &&
                            settings.keepAspectRatio == 0),
    FIELD("--width-unit=percent", settings.widthUnit == 1 && !settings.doResize),
    FIELD("--height=48", settings.height == 48 && settings.doResize == 1 && settings.width == 0),
    FIELD("--height-unit=percent", settings.heightUnit == 1),
    FIELD("--keep-aspect-ratio", settings.keepAspectRatio == 1),
    FIELD("--resize-type=largeimages", settings.resizeType == 1),
    FIELD("--resize-algorithm=lanczos", settings.resizeAlgorithm == 5),
    FIELD("--flip-horizontal", settings.flipHorizontal == 1),
    FIELD("--flip-vertical", settings.flipVertical == 1),
    FIELD("--brightness=-20", settings.brightness == -20 && settings.doColorCorrection == 1),
    FIELD("--contrast=30", settings.contrast == 30 && settings.doColorCorrection == 1),
    FIELD("--gamma=1.5", settings.gamma == 1.5f && settings.doColorCorrection == 1),
    FIELD("--gamma=1e300", std::isinf(settings.gamma) && settings.gamma > 0),
    FIELD("--gamma=nan", std::isnan(settings.gamma) && settings.doColorCorrection == 1),
    FIELD("--invert", settings.invert == 1 && settings.doColorCorrection == 1),
    FIELD("--greyscale", settings.doGreyscale == 1),
    FIELD("--threshold=128", settings.threshold == 128 && settings.doThreshold == 1),
    FIELD("--dither=bayer8", settings.ditherAlgorithm == 2 && settings.doDither == 1),
    FIELD("--fr-solid-left=3", settings.solidLeft == 3 && settings.frameType == 1),
    FIELD("--fr-solid-right=4", settings.solidRight == 4 && settings.frameType == 1),
    FIELD("--fr-solid-top=5", settings.solidTop == 5 && settings.frameType == 1),
    FIELD("--fr-solid-bottom=6", settings.solidBottom == 6 && settings.frameType == 1),
    FIELD("--fr-solid-left-color=FF0000", settings.solidLeftColor == "FF0000" && settings.frameType == 0),
    FIELD("--fr-solid-right-color=00FF00", settings.solidRightColor == "00FF00" && settings.frameType == 0),
    FIELD("--fr-solid-top-color=0000FF", settings.solidTopColor == "0000FF" && settings.frameType == 0),
    FIELD("--fr-solid-bottom-color=123456", settings.solidBottomColor == "123456" && settings.frameType == 0),
    FIELD("--fr-solid-opacity=128", settings.solidOpacity == 128 && settings.frameType == 0),
    FIELD("--wm-text=Hello", settings.wmText == "Hello" && settings.watermarkType == 1),
    FIELD("--wm-font=DejaVu Sans", settings.wmFont == "DejaVu Sans" && settings.watermarkType == 0),
    FIELD("--wm-font-size=20", settings.wmFontSize == 20),
    FIELD("--wm-font-leading=2", settings.wmFontLeading == 2),
    FIELD("--wm-font-color=00FF00", settings.wmFontColor == "00FF00"),
    FIELD("--wm-font-style=bolditalic", settings.wmFontStyle == 3),
    FIELD("--wm-font-effect=strikethrought", settings.wmFontEffect == 2),
    FIELD("--wm-text-antialiasing", settings.wmTextAntialiasing == 1),
    FIELD("--wm-text-alignment=right", settings.wmTextAlignment == 2),
    FIELD("--wm-text-padding=4", settings.wmTextPadding == 4),
    FIELD("--wm-text-opacity=100", settings.wmTextOpacity == 100),
    FIELD("--wm-back-color=FFFF00", settings.wmBackColor == "FFFF00"),
    FIELD("--wm-back-opacity=200", settings.wmBackOpacity == 200),
    FIELD("--wm-text-boundary=frame", settings.wmTextBoundary == 1),
    FIELD("--wm-text-position=middlecenter", settings.wmTextPosition == 4),
    FIELD("--wm-text-x-offset=-5", settings.wmTextXOffset == -5),
    FIELD("--wm-text-y-offset=7", settings.wmTextYOffset == 7),
    FIELD("--wm-text-rotation=45", settings.wmTextRotation == 45),
    FIELD("--wm-text-size=fixed", settings.wmTextSize == 0),
    FIELD("--wm-image=logo.png", settings.wmImage == "logo.png" && settings.watermarkType == 2),
    FIELD("--wm-image-greyscale", settings.wmImageGreyscale == 1 && settings.watermarkType == 0),
    FIELD("--wm-image-opacity=99", settings.wmImageOpacity == 99),
    FIELD("--wm-image-boundary=frame", settings.wmImageBoundary == 1),
    FIELD("--wm-image-position=topleft", settings.wmImagePosition == 0),
    FIELD("--wm-image-x-offset=1", settings.wmImageXOffset == 1),
    FIELD("--wm-image-y-offset=2", settings.wmImageYOffset == 2),
    FIELD("--wm-image-rotation=180", settings.wmImageRotation == 180),
    FIELD("--wm-image-size=fixed", settings.wmImageSize == 0),
    FIELD("--filename-mask=%filename%_%n%.%ext%", settings.filenameMask == "%filename%_%n%.%ext%"),
    FIELD("--file-timestamp=original", settings.fileTimestamp == 1),
    FIELD("--file-timestamp-custom=1000000", settings.customTimestamp == 1000000),
    FIELD("--no-subfolders", settings.keepSubfolders == 0),
    FIELD("--threads=4", settings.threads == 4),
    FIELD("--threads=0", settings.threads == 0),
    FIELD("--dry-run", settings.dryRun == 1),
    FIELD("--report=run.json", settings.reportFile == "run.json"),
    FIELD("--report=-", settings.reportFile == "-"),
    FIELD("--report=\"my run.json\"", settings.reportFile == "my run.json"),
    // Names in any letter case; a flag ignores anything after "=".
    FIELD("--JPG-QUALITY=70", settings.jpgQuality == 70),
    FIELD("--Jpg-Quality=71", settings.jpgQuality == 71),
    FIELD("--flip-horizontal=0", settings.flipHorizontal == 1),
    FIELD("--invert=0", settings.invert == 1 && settings.doColorCorrection == 1),
    FIELD("--no-subfolders=1", settings.keepSubfolders == 0),
    // A word outside its list gives code 0; --dither still switches dithering on.
    FIELD("--dither=nonsense", settings.ditherAlgorithm == 0 && settings.doDither == 1),
    FIELD("--resize-algorithm=lanczos3", settings.resizeAlgorithm == 0),
    FIELD("--resize-algorithm= Bilinear ", settings.resizeAlgorithm == 1),
    // Blanks around a parameter are trimmed before it is examined.
    FIELD("  --jpg-quality=60  ", settings.jpgQuality == 60),
    // Text keeps blanks and case; the quotes around it go.
    FIELD("--wm-text=\"Two Words\"", settings.wmText == "Two Words"),
    FIELD("--wm-text=\"\"quoted\"\"", settings.wmText == "quoted"),
    FIELD("--wm-text=a=b", settings.wmText == "a=b"),
};

}  // namespace

TEST_F(Options, EveryLongOptionReachesItsField) {
  for (const auto& c : kFieldCases) {
    SCOPED_TRACE(c.parameter);
    reset();
    EXPECT_EQ(parse({c.parameter}), "");
    EXPECT_TRUE(c.reached());
    EXPECT_EQ(job.cliMode, 0);
  }
}

TEST_F(Options, TableHoldsEachLongOptionOnce) {
  std::set<std::string> names;
  for (const OptionSpec& option : optionTable()) {
    EXPECT_TRUE(names.insert(option.name).second) << option.name;
    EXPECT_EQ(findOption(option.name, false), &option);
  }
  // With --PROFILE these are the 106 long options and the four of the run:
  // --BACKGROUND-COLOR, --THREADS, --DRY-RUN and --REPORT.
  EXPECT_EQ(names.size() + 1, 110u);
  EXPECT_EQ(findOption("--PROFILE", false), nullptr);
}

TEST_F(Options, PathOptionsAndModes) {
  EXPECT_EQ(parse({"-i", "c:\\tmp\\", "-o", "d:\\converted", "--jpg-quality=95"}), "");
  EXPECT_EQ(job.inputPath, "c:\\tmp\\");
  EXPECT_EQ(job.outputFolder, "d:\\converted");
  EXPECT_EQ(settings.jpgQuality, 95);
  EXPECT_EQ(job.cliMode, 1);
  // Nothing else moved away from the command-line defaults.
  EXPECT_EQ(settings.filenameMask, "%filename%.%ext%");
  EXPECT_EQ(settings.doResize, 0);
  EXPECT_EQ(settings.watermarkType, 0);

  reset();
  EXPECT_EQ(parse({"--INPUT=icons", "--output=out", "--conversion=JPG", "-D", "-q", "--PAUSE=whatever"}), "");
  EXPECT_EQ(job.inputPath, "icons");
  EXPECT_EQ(job.outputFolder, "out");
  EXPECT_EQ(job.outputExtension, "JPG");
  EXPECT_EQ(job.runMode, "DEBUG");
  EXPECT_TRUE(flags.quiet);
  EXPECT_TRUE(flags.pause);

  reset();
  EXPECT_EQ(parse({"-I", "a.ico", "-c", "jpg", "--debug", "--quiet"}), "");
  EXPECT_EQ(job.inputPath, "a.ico");
  EXPECT_EQ(job.outputExtension, "jpg");
  EXPECT_EQ(job.runMode, "DEBUG");
  EXPECT_TRUE(flags.quiet);
  EXPECT_FALSE(flags.pause);

  // A short form followed directly by "=" is no option at all.
  reset();
  EXPECT_EQ(parse({"-q=1", "-p=1", "-d=1", "-i=x"}), "");
  EXPECT_FALSE(flags.quiet);
  EXPECT_FALSE(flags.pause);
  EXPECT_EQ(job.runMode, "");
  EXPECT_EQ(job.cliMode, 0);
}

TEST_F(Options, EveryWordAfterAnInputAndEveryRepeatedInputIsOneMore) {
  EXPECT_EQ(parse({"-i", "a.ico", "b.ico", "\"c", "d.ico\"", "-o", "out", "stray", "--input=dir", "e.txt", "-I", "f"}),
            "");
  const std::vector<std::string> inputs = {"a.ico", "b.ico", "c d.ico", "dir", "e.txt", "f"};
  EXPECT_EQ(job.inputPaths, inputs);
  EXPECT_EQ(job.inputPath, "a.ico");
  EXPECT_EQ(job.outputFolder, "out");
  EXPECT_EQ(flags.warnings,
            std::vector<std::string>{"Warning: word \"stray\" ignored: it is neither an option nor an input"});

  // An empty word names nothing (it would mean the working folder).
  reset();
  EXPECT_EQ(parse({"-i", "a.ico", "\"\"", "--width=5"}), "");
  EXPECT_EQ(job.inputPaths, std::vector<std::string>{"a.ico"});
  EXPECT_EQ(flags.warnings.size(), 1u);
  EXPECT_EQ(settings.width, 5);
}

TEST_F(Options, JoinsQuotedValuesSplitByTheShell) {
  EXPECT_EQ(parse({"--wm-text=\"Hello", "big", "world\"", "--jpg-quality=50"}), "");
  EXPECT_EQ(settings.wmText, "Hello big world");
  EXPECT_EQ(settings.watermarkType, 1);
  EXPECT_EQ(settings.jpgQuality, 50);

  reset();
  EXPECT_EQ(parse({"-i", "\"My", "Icons\"", "-o", "\"out", "dir\""}), "");
  EXPECT_EQ(job.inputPath, "My Icons");
  EXPECT_EQ(job.outputFolder, "out dir");

  // -c is never joined.
  reset();
  EXPECT_EQ(parse({"-c", "\"jpg", "x\""}), "");
  EXPECT_EQ(job.outputExtension, "jpg");

  // No closing quote: every remaining parameter becomes part of the value.
  reset();
  EXPECT_EQ(parse({"--wm-text=\"open", "--jpg-quality=50", "-q"}), "");
  EXPECT_EQ(settings.wmText, "open 50 -q");
  EXPECT_EQ(settings.jpgQuality, 95);
  EXPECT_FALSE(flags.quiet);

  // A lone quote opens and closes at once.
  reset();
  EXPECT_EQ(parse({"--wm-text=\"", "--jpg-quality=50"}), "");
  EXPECT_EQ(settings.wmText, "");
  EXPECT_EQ(settings.jpgQuality, 50);
}

struct ErrorCase {
  std::vector<std::string> parameters;
  const char* error;
};

TEST_F(Options, StopsAtTheFirstError) {
  const ErrorCase cases[] = {
      {{"-i"}, "Incorrect number of parameters"},
      {{"-i", "-o", "out"}, "Incorrect number of parameters"},
      {{"-o", "-out"}, "Incorrect number of parameters"},
      {{"--input"}, "Incorrect number of parameters"},
      {{"--input="}, "Incorrect number of parameters"},
      {{"--input=-x"}, "Incorrect number of parameters"},
      {{"-c", ""}, "Incorrect number of parameters"},
      {{"--jpg-quality"}, "Incorrect number of parameters"},
      {{"--jpg-quality="}, "Incorrect number of parameters"},
      {{"--jpg-quality=--5"}, "Incorrect number of parameters"},
      {{"--wm-text"}, "Incorrect number of parameters"},
      {{"--threads"}, "Incorrect number of parameters"},
      {{"--threads="}, "Incorrect number of parameters"},
      {{"--report"}, "Incorrect number of parameters"},
      {{"--report=--x"}, "Incorrect number of parameters"},
      {{"--background-color="}, "Incorrect number of parameters"},
      {{"--profile"}, "Incorrect number of parameters"},
      {{"--profile=/nonexistent/profile.ini"}, "Invalid profile file"},
      {{"--profile=\"\""}, "Invalid profile file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parameters.front());
    reset();
    EXPECT_EQ(parse(c.parameters), c.error);
  }

  // Values before the error are set, nothing after it is read.
  reset();
  EXPECT_EQ(parse({"-p", "--width=10", "--jpg-quality", "--height=20", "-q"}), "Incorrect number of parameters");
  EXPECT_TRUE(flags.pause);
  EXPECT_EQ(settings.width, 10);
  EXPECT_EQ(settings.height, 0);
  EXPECT_FALSE(flags.quiet);
  // -i sets the console mode before its value is checked.
  reset();
  EXPECT_EQ(parse({"-i"}), "Incorrect number of parameters");
  EXPECT_EQ(job.cliMode, 1);
}

TEST_F(Options, UnknownWordsAreIgnoredWithAWarningAndLaterOptionsWin) {
  EXPECT_EQ(parse({"hello", "--jpg-qualty=5", "-x", "-v", "--help", "-h", "--wm-text=first", "--wm-text=second",
                   " -o=out "}),
            "");
  EXPECT_EQ(settings.jpgQuality, 95);
  EXPECT_EQ(settings.wmText, "second");
  EXPECT_EQ(job.cliMode, 0);
  EXPECT_EQ(job.outputFolder, "");
  const std::vector<std::string> warnings = {
      "Warning: word \"hello\" ignored: it is neither an option nor an input",
      "Warning: unknown option \"--jpg-qualty=5\" ignored",
      "Warning: unknown option \"-x\" ignored",
      "Warning: option \"-v\" ignored: it counts only as the first parameter",
      "Warning: option \"--help\" ignored: it counts only as the first parameter",
      "Warning: option \"-h\" ignored: it counts only as the first parameter",
      "Warning: unknown option \"-o=out\" ignored",
  };
  EXPECT_EQ(flags.warnings, warnings);

  reset();
  EXPECT_EQ(parse({"--wm-text=T", "--wm-image=I.png"}), "");
  EXPECT_EQ(settings.watermarkType, 2);
  EXPECT_EQ(settings.wmText, "T");

  reset();
  EXPECT_EQ(parse({"--wm-image=I.png", "--wm-text=T"}), "");
  EXPECT_EQ(settings.watermarkType, 1);
}

TEST_F(Options, ProfileAppliesWhereItStands) {
  testing::TempDir dir;
  const std::string profile = dir / "p.ini";
  testing::writeText(profile, "[CLI]\r\n--JPG-QUALITY=80\r\n--WIDTH=32\r\n");

  EXPECT_EQ(parse({"--jpg-quality=70", "--profile=" + profile}), "");
  EXPECT_EQ(settings.jpgQuality, 80);
  EXPECT_EQ(settings.width, 32);
  EXPECT_EQ(settings.doResize, 1);

  reset();
  EXPECT_EQ(parse({"--profile=" + profile, "--jpg-quality=70"}), "");
  EXPECT_EQ(settings.jpgQuality, 70);

  // A quoted profile name split by the shell is joined like any text value.
  const std::string spaced = dir / "my profile.ini";
  testing::writeText(spaced, "[cli]\n--jpg-quality=33\n");
  reset();
  EXPECT_EQ(parse({"--profile=\"" + dir.path() + "my", "profile.ini\""}), "");
  EXPECT_EQ(settings.jpgQuality, 33);
}

struct IntegerCase {
  const char* text;
  int32_t value;
};

TEST(OptionValues, ReadsIntegers) {
  const IntegerCase cases[] = {
      {"12px", 12},   {"$FF", 255},  {"$ff", 255}, {"%101", 5},    {"1e3", 1},      {"abc", 0},
      {"", 0},        {"-20", -20},  {"+7", 7},    {" \t42", 42},  {"-$10", -16},   {"%102", 2},
      {"$", 0},       {"%", 0},      {"$G", 0},    {"0x10", 0},    {"007", 7},      {"-", 0},
      {"2147483647", 2147483647},    {"-2147483648", -2147483648LL}, {"99999999999999999999", 2147483647},
      {"-99999999999", -2147483648LL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(readIntegerValue(c.text), c.value);
  }
}

struct DecimalCase {
  const char* text;
  double value;
};

TEST(OptionValues, ReadsDecimals) {
  const DecimalCase cases[] = {
      {"1.5", 1.5}, {"1,5", 1.0}, {"0.01", 0.01}, {"9.99x", 9.99}, {"abc", 0}, {"", 0},
      {"-2.5", -2.5}, {".5", 0.5}, {"2", 2}, {"1e1", 10}, {"inf", 0}, {"Infinity", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(readDecimalValue(c.text), c.value);
  }
  EXPECT_EQ(readDecimalValue("+infinity"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(readDecimalValue("-INFINITY"), -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(readDecimalValue("nan")));
}

TEST(OptionValues, SplitsNameAndValue) {
  EXPECT_EQ(optionName("--jpg-quality=95"), "--JPG-QUALITY");
  EXPECT_EQ(optionValue("--jpg-quality=95"), "95");
  EXPECT_EQ(optionName(" -i "), "-I");
  EXPECT_EQ(optionValue(" -i "), "-i");
  EXPECT_EQ(optionName("-q=1"), "-Q=1");
  EXPECT_EQ(optionName("word"), "");
  EXPECT_EQ(optionValue("Word"), "Word");
  EXPECT_EQ(optionValue("--wm-text= a=B "), " a=B");
  EXPECT_EQ(optionName("--input"), "--INPUT");
  EXPECT_EQ(optionValue("--input"), "--input");
}

}  // namespace trovabild
