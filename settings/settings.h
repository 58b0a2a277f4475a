#pragma once
// The two process-wide records: every conversion setting and desktop
// preference (Settings), and the state of the current run (Job). What each
// setting is (its default, range, option, keys and texts) is declared once,
// in its row of the settings table (settings/setting_table.h).

#include <cstdint>
#include <string>
#include <vector>

namespace trovabild {

/// The most files a run converts at once.
inline constexpr int32_t kMaxThreads = 256;

struct Settings {
  /// Every field at its row's default.
  Settings();

  // Desktop window preferences.
  int32_t configVersion{};
  std::string language;
  int32_t updateRange{};
  int32_t updateDate{};  ///< seconds since 1970-01-01 counted in local time
  int8_t saveWindowPosition{};
  int8_t isMaximized{};
  int32_t windowX{};
  int32_t windowY{};
  int32_t windowWidth{};
  int32_t windowHeight{};
  std::string uiTheme;
  int32_t uiSize{};

  // Input.
  std::string inputFormat;
  int32_t ddsLoadAs{};
  int32_t gifFrameLoading{};
  int32_t icoFrameLoading{};
  int32_t tiffFrameLoading{};
  int32_t psdColorMode{};
  int32_t rawLoadAs{};
  int32_t rawHeaderSize{};
  int32_t rawImageWidth{};
  int32_t rawImageHeight{};
  int32_t rawToneMapping{};
  std::string backgroundColor;  ///< RRGGBB that transparent areas are flattened onto

  // Output.
  std::string outputFormat;
  int32_t bmpBpp{};
  int32_t bmpCompression{};
  int32_t bmpColorTable{};
  int32_t ddsBpp{};
  int32_t exrBpp{};
  int32_t exrCompression{};
  int32_t gifBpp{};
  int32_t hdrBpp{};
  int32_t icoBpp{};
  int32_t j2kBpp{};
  int32_t jngBpp{};
  int32_t jp2Bpp{};
  int32_t jpgBpp{};
  int32_t jpgQuality{};
  int32_t jpgChroma{};
  int32_t jpgSaveAs{};
  int32_t jxrBpp{};
  int32_t pbmBpp{};
  int32_t pcxBpp{};
  int32_t pfmBpp{};
  int32_t pgmBpp{};
  int32_t pngBpp{};
  int32_t pngCompression{};
  int8_t pngInterlaced{};
  int32_t ppmBpp{};
  int32_t psdBpp{};
  int32_t tgaBpp{};
  int32_t tgaCompression{};
  int32_t tiffBpp{};
  int32_t tiffCompression{};
  int32_t tiffColorMode{};
  int32_t wbmpBpp{};
  int32_t webpBpp{};
  int32_t webpQuality{};
  int32_t xpmBpp{};

  // Transform.
  int8_t doRotation{};
  int8_t rotationType{};
  int32_t rotation{};
  std::string rotationBackColor;
  int8_t doResize{};
  int32_t width{};
  int8_t widthUnit{};
  int32_t height{};
  int8_t heightUnit{};
  int8_t keepAspectRatio{};
  int8_t resizeType{};
  int8_t resizeAlgorithm{};
  int8_t flipHorizontal{};
  int8_t flipVertical{};

  // Adjustment.
  int8_t doColorCorrection{};
  int32_t brightness{};
  int32_t contrast{};
  float gamma{};
  int8_t invert{};
  int8_t doGreyscale{};
  int8_t doThreshold{};
  int32_t threshold{};
  int8_t doDither{};
  int8_t ditherAlgorithm{};

  // Frame.
  int8_t frameType{};
  int32_t solidLeft{};
  int32_t solidRight{};
  int32_t solidTop{};
  int32_t solidBottom{};
  std::string solidLeftColor;
  std::string solidRightColor;
  std::string solidTopColor;
  std::string solidBottomColor;
  int32_t solidOpacity{};

  // Watermark.
  int8_t watermarkType{};
  std::string wmText;
  std::string wmFonts;
  std::string wmFont;
  int32_t wmFontSize{};
  int32_t wmFontLeading{};
  std::string wmFontColors;
  std::string wmFontColor;
  int8_t wmFontStyle{};
  int8_t wmFontEffect{};
  int8_t wmTextAntialiasing{};
  int8_t wmTextAlignment{};
  int32_t wmTextPadding{};
  int32_t wmTextOpacity{};
  std::string wmBackColors;
  std::string wmBackColor;
  int32_t wmBackOpacity{};
  int8_t wmTextBoundary{};
  int8_t wmTextPosition{};
  int32_t wmTextXOffset{};
  int32_t wmTextYOffset{};
  int32_t wmTextRotation{};
  int8_t wmTextSize{};
  int32_t wmTextScale{};
  std::string wmImage;
  int8_t wmImageGreyscale{};
  int32_t wmImageOpacity{};
  int8_t wmImageBoundary{};
  int8_t wmImagePosition{};
  int32_t wmImageXOffset{};
  int32_t wmImageYOffset{};
  int32_t wmImageRotation{};
  int8_t wmImageSize{};
  int32_t wmImageScale{};

  // Advanced.
  std::string filenameMask;
  int8_t fileTimestamp{};
  int32_t customTimestamp{};  ///< seconds since 1970-01-01 counted in local time
  int8_t outFoldersHistory{};
  int8_t outFoldersNumber{};
  int8_t keepSubfolders{};
  int32_t threads{};  ///< files converted at once; 0 = one per online core
  int8_t dryRun{};    ///< convert without writing anything
  std::string reportFile;  ///< where the run's report goes; "-" standard output, "" none

  // Desktop window preferences kept last.
  std::string recentOutFolders;
  std::string recentFiles;
  int8_t cleanRecentFiles{};
};

struct Job {
  std::string programFolder;  ///< folder of the executable, with a trailing "/"
  std::string currentInput;
  std::string inputPath;
  /// Every input the command line named, in order (inputPath is the first).
  std::vector<std::string> inputPaths;
  /// The profile files the command line applied, in order.
  std::vector<std::string> profilePaths;
  std::string outputFolder;
  int32_t randomNumber = 1;
  int32_t counter = 1;
  std::string inputType;
  std::string outputExtension;
  int8_t cliMode = 0;
  std::string runMode;  ///< "", "DEBUG" or "T"; not reset by resetJob
  int32_t imageWidth = 0;   ///< not reset by resetJob
  int32_t imageHeight = 0;  ///< not reset by resetJob
  std::vector<std::string> inputFormats{"ico"};
  std::vector<std::string> outputFormats{"jpg"};
  std::vector<std::string> inputExtensions;
};

extern Settings settings;
extern Job job;

/// Every Settings field at its default; the flavours differ only in
/// keepAspectRatio (false for the command line).
Settings defaultSettings(bool commandLineFlavour);
/// settings = defaultSettings(commandLineFlavour).
void resetSettings(bool commandLineFlavour);

/// Job fields with an initial value; runMode, the image size and the format
/// lists are kept, inputExtensions is left empty. resetJob (batch/input_list.h)
/// also empties the input list and fills inputExtensions.
void resetJobFields();

/// The current date and time as seconds since 1970-01-01 counted in local time.
int32_t localNow();

}  // namespace trovabild
