#pragma once
// The two process-wide records: every conversion setting and desktop
// preference (Settings), and the state of the current run (Job).

#include <cstdint>
#include <string>
#include <vector>

namespace trovabild {

struct Settings {
  // Desktop window preferences.
  int32_t configVersion = 19;
  std::string language = "en";
  int32_t updateRange = 2;
  int32_t updateDate = 0;  ///< seconds since 1970-01-01 counted in local time
  int8_t saveWindowPosition = 1;
  int8_t isMaximized = 0;
  int32_t windowX = 100;
  int32_t windowY = 100;
  int32_t windowWidth = 510;
  int32_t windowHeight = 330;
  std::string uiTheme = "handdrawn";
  int32_t uiSize = 2;

  // Input.
  std::string inputFormat;
  int32_t ddsLoadAs = 0;
  int32_t gifFrameLoading = 0;
  int32_t icoFrameLoading = 0;
  int32_t tiffFrameLoading = 0;
  int32_t psdColorMode = 0;
  int32_t rawLoadAs = 0;
  int32_t rawHeaderSize = 0;
  int32_t rawImageWidth = 0;
  int32_t rawImageHeight = 0;
  int32_t rawToneMapping = 2;
  std::string backgroundColor = "FFFFFF";  ///< RRGGBB that transparent areas are flattened onto

  // Output.
  std::string outputFormat;
  int32_t bmpBpp = 0;
  int32_t bmpCompression = 0;
  int32_t bmpColorTable = 0;
  int32_t ddsBpp = 0;
  int32_t exrBpp = 0;
  int32_t exrCompression = 0;
  int32_t gifBpp = 0;
  int32_t hdrBpp = 0;
  int32_t icoBpp = 0;
  int32_t j2kBpp = 0;
  int32_t jngBpp = 0;
  int32_t jp2Bpp = 0;
  int32_t jpgBpp = 0;
  int32_t jpgQuality = 95;
  int32_t jpgChroma = 0;
  int32_t jpgSaveAs = 0;
  int32_t jxrBpp = 0;
  int32_t pbmBpp = 0;
  int32_t pcxBpp = 0;
  int32_t pfmBpp = 0;
  int32_t pgmBpp = 0;
  int32_t pngBpp = 0;
  int32_t pngCompression = 0;
  int8_t pngInterlaced = 0;
  int32_t ppmBpp = 0;
  int32_t psdBpp = 0;
  int32_t tgaBpp = 0;
  int32_t tgaCompression = 0;
  int32_t tiffBpp = 0;
  int32_t tiffCompression = 0;
  int32_t tiffColorMode = 0;
  int32_t wbmpBpp = 0;
  int32_t webpBpp = 0;
  int32_t webpQuality = 100;
  int32_t xpmBpp = 0;

  // Transform.
  int8_t doRotation = 0;
  int8_t rotationType = 0;
  int32_t rotation = 0;
  std::string rotationBackColor = "000000";
  int8_t doResize = 0;
  int32_t width = 0;
  int8_t widthUnit = 0;
  int32_t height = 0;
  int8_t heightUnit = 0;
  int8_t keepAspectRatio = 1;
  int8_t resizeType = 0;
  int8_t resizeAlgorithm = 3;
  int8_t flipHorizontal = 0;
  int8_t flipVertical = 0;

  // Adjustment.
  int8_t doColorCorrection = 0;
  int32_t brightness = 0;
  int32_t contrast = 0;
  float gamma = 1.0f;
  int8_t invert = 0;
  int8_t doGreyscale = 0;
  int8_t doThreshold = 0;
  int32_t threshold = 0;
  int8_t doDither = 0;
  int8_t ditherAlgorithm = 0;

  // Frame.
  int8_t frameType = 0;
  int32_t solidLeft = 0;
  int32_t solidRight = 0;
  int32_t solidTop = 0;
  int32_t solidBottom = 0;
  std::string solidLeftColor = "000000";
  std::string solidRightColor = "000000";
  std::string solidTopColor = "000000";
  std::string solidBottomColor = "000000";
  int32_t solidOpacity = 255;

  // Watermark.
  int8_t watermarkType = 0;
  std::string wmText;
  std::string wmFonts = "Arial,Tahoma,Verdana";
  std::string wmFont = "Arial";
  int32_t wmFontSize = 14;
  int32_t wmFontLeading = 0;
  std::string wmFontColors = "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF";
  std::string wmFontColor = "FFFFFF";
  int8_t wmFontStyle = 0;
  int8_t wmFontEffect = 0;
  int8_t wmTextAntialiasing = 0;
  int8_t wmTextAlignment = 0;
  int32_t wmTextPadding = 0;
  int32_t wmTextOpacity = 255;
  std::string wmBackColors = "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF";
  std::string wmBackColor = "000000";
  int32_t wmBackOpacity = 1;
  int8_t wmTextBoundary = 0;
  int8_t wmTextPosition = 8;
  int32_t wmTextXOffset = 10;
  int32_t wmTextYOffset = 10;
  int32_t wmTextRotation = 0;
  int8_t wmTextSize = 0;
  int32_t wmTextScale = 10;
  std::string wmImage;
  int8_t wmImageGreyscale = 0;
  int32_t wmImageOpacity = 255;
  int8_t wmImageBoundary = 0;
  int8_t wmImagePosition = 8;
  int32_t wmImageXOffset = 10;
  int32_t wmImageYOffset = 10;
  int32_t wmImageRotation = 0;
  int8_t wmImageSize = 0;
  int32_t wmImageScale = 10;

  // Advanced.
  std::string filenameMask = "%filename%.%ext%";
  int8_t fileTimestamp = 0;
  int32_t customTimestamp = 0;  ///< seconds since 1970-01-01 counted in local time
  int8_t outFoldersHistory = 1;
  int8_t outFoldersNumber = 5;
  int8_t keepSubfolders = 1;
  int32_t threads = 0;  ///< files converted at once; 0 = one per online core
  int8_t dryRun = 0;    ///< convert without writing anything
  std::string reportFile;  ///< where the run's report goes; "-" standard output, "" none

  // Desktop window preferences kept last.
  std::string recentOutFolders;
  std::string recentFiles;
  int8_t cleanRecentFiles = 0;
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
