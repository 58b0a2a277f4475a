#include "settings/setting_table.h"

#include <type_traits>
#include <vector>

#include "settings/vocabulary.h"

namespace trovabild {

namespace {

using S = Settings;
using T = SettingType;
using V = ValueCheck;
using W = ListedWhen;
using A = ListedAs;

constexpr const char* kColourList = "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF";

// A row names only the columns it uses; the others keep their defaults. GCC
// before 14 warns of every column a designated initializer leaves out.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// The order is that of the option table (and so of the manual page and the
// completion) and of the preferences file; a row without an option or a key
// sits where the file has it. Defaults that depend on the run (dates, the
// product's formats, the copyright line, the command line's aspect ratio)
// are set by defaultSettings.
constexpr SettingRow kSettings[] = {
    // Desktop window preferences.
    {.name = "configVersion", .field = &S::configVersion, .type = T::number, .number = 19},
    {.name = "language", .field = &S::language, .type = T::text, .text = "en",
     .preferences = {"General", "Language"}},
    {.name = "updateRange", .field = &S::updateRange, .type = T::number, .number = 2,
     .preferences = {"General", "Update Range"}},
    {.name = "updateDate", .field = &S::updateDate, .type = T::number, .preferences = {"General", "Update Date"}},
    {.name = "saveWindowPosition", .field = &S::saveWindowPosition, .type = T::flag, .number = 1,
     .preferences = {"General", "Save Window Position", true}},
    {.name = "isMaximized", .field = &S::isMaximized, .type = T::flag, .preferences = {"Window", "IsMaximized", true}},
    {.name = "windowWidth", .field = &S::windowWidth, .type = T::number, .number = 510,
     .preferences = {"Window", "Width"}},
    {.name = "windowHeight", .field = &S::windowHeight, .type = T::number, .number = 330,
     .preferences = {"Window", "Height"}},
    {.name = "windowX", .field = &S::windowX, .type = T::number, .number = 100, .preferences = {"Window", "X"}},
    {.name = "windowY", .field = &S::windowY, .type = T::number, .number = 100, .preferences = {"Window", "Y"}},
    {.name = "uiTheme", .field = &S::uiTheme, .type = T::text, .text = "handdrawn",
     .preferences = {"Interface", "UI Theme"}},
    {.name = "uiSize", .field = &S::uiSize, .type = T::number, .number = 2, .preferences = {"Interface", "UI Size"}},

    // Input.
    {.name = "inputFormat", .field = &S::inputFormat, .type = T::text, .preferences = {"Input", "Format"}},
    {.name = "ddsLoadAs", .field = &S::ddsLoadAs, .type = T::word, .words = kDdsLoadAsWords, .format = "dds",
     .option = {"--DDS-LOAD-AS"}, .preferences = {"Input", "DDS Load As"},
     .listing = {"DDS Load As: ", W::inputFormat},
     .help = {"Input loading", nullptr, "How DDS images are loaded."}},
    {.name = "gifFrameLoading", .field = &S::gifFrameLoading, .type = T::word, .words = kFrameLoadingWords,
     .format = "gif", .option = {"--GIF-FRAME-LOADING"}, .preferences = {"Input", "GIF Frame Loading"},
     .listing = {"GIF Frame Loading: ", W::inputFormat},
     .help = {"Input loading", nullptr, "Which frames of a GIF file are converted."}},
    {.name = "icoFrameLoading", .field = &S::icoFrameLoading, .type = T::word, .words = kIcoFrameLoadingWords,
     .format = "ico", .option = {"--ICO-FRAME-LOADING"}, .preferences = {"Input", "ICO Frame Loading"},
     .listing = {"ICO Frame Loading: ", W::inputFormat},
     .help = {"Input loading", nullptr,
              "Which images of each icon are converted: all of them, the first, the middle, the last or one at "
              "random; largest takes the image of the largest area, best the smallest image that --width and "
              "--height (in pixels) do not enlarge, else the largest. Equal areas go to the greater colour depth, "
              "then to the first. Only all numbers the files of an icon with several images."},
     .manual = {.section = "opt-input",
                .meaning = "Which images of each icon are converted (see <a href=\"#frames\">choosing the images</a>).",
                .markDefault = true}},
    {.name = "psdColorMode", .field = &S::psdColorMode, .type = T::word, .words = kColorModeWords, .format = "psd",
     .option = {"--PSD-COLOR-MODE"}, .preferences = {"Input", "PSD Color Mode"},
     .listing = {"PSD Color Mode: ", W::inputFormat},
     .help = {"Input loading", nullptr, "Colour mode PSD files are loaded in."}},
    {.name = "rawLoadAs", .field = &S::rawLoadAs, .type = T::word, .words = kRawLoadAsWords, .format = "raw",
     .option = {"--RAW-LOAD-AS"}, .preferences = {"Input", "RAW Load As"},
     .listing = {"RAW Load As: ", W::inputFormat},
     .help = {"Input loading", nullptr, "Depth camera RAW files are loaded at."}},
    {.name = "rawHeaderSize", .field = &S::rawHeaderSize, .type = T::number, .format = "raw",
     .option = {"--RAW-HEADER-SIZE"}, .preferences = {"Input", "RAW Header Size"},
     .listing = {"RAW Header Size: ", W::inputFormat},
     .help = {"Input loading", nullptr, "Bytes to skip at the start of a headerless RAW file."}},
    {.name = "rawImageWidth", .field = &S::rawImageWidth, .type = T::number, .format = "raw",
     .option = {"--RAW-WIDTH"}, .preferences = {"Input", "RAW Image Width"},
     .listing = {"RAW Image Width: ", W::inputFormat},
     .help = {"Input loading", nullptr, "Width of a headerless RAW image."}},
    {.name = "rawImageHeight", .field = &S::rawImageHeight, .type = T::number, .format = "raw",
     .option = {"--RAW-HEIGHT"}, .preferences = {"Input", "RAW Image Height"},
     .listing = {"RAW Image Height: ", W::inputFormat},
     .help = {"Input loading", nullptr, "Height of a headerless RAW image."}},
    {.name = "rawToneMapping", .field = &S::rawToneMapping, .type = T::word, .words = kToneMappingWords,
     .number = 2, .format = "raw", .option = {"--RAW-TONE-MAPPING"}, .preferences = {"Input", "RAW Tone Mapping"},
     .listing = {"RAW Tone Mapping: ", W::inputFormat},
     .help = {"Input loading", nullptr, "Tone mapping applied to high dynamic range input."}},
    {.name = "tiffFrameLoading", .field = &S::tiffFrameLoading, .type = T::word, .words = kFrameLoadingWords,
     .format = "tiff", .option = {"--TIFF-FRAME-LOADING"}, .preferences = {"Input", "TIFF Frame Loading"},
     .listing = {"TIFF Frame Loading: ", W::inputFormat},
     .help = {"Input loading", nullptr, "Which pages of a TIFF file are converted."}},
    {.name = "backgroundColor", .field = &S::backgroundColor, .type = T::text, .text = "FFFFFF",
     .check = {V::colour, "Error: Invalid background-color value"}, .option = {"--BACKGROUND-COLOR"},
     .preferences = {"Input", "Background Color"},
     .listing = {.label = "Background Color: ", .after = "resizeAlgorithm"},
     .help = {"Input loading", "RRGGBB",
              "Colour that transparent areas are placed on; anything but six hexadecimal digits is refused."},
     .manual = {"opt-input",
                "The colour transparent areas are placed on. Anything but six hexadecimal digits is refused.",
                "colour, default <code>FFFFFF</code>"}},

    // Output.
    {.name = "outputFormat", .field = &S::outputFormat, .type = T::text, .preferences = {"Output", "Format"}},
    {.name = "bmpBpp", .field = &S::bmpBpp, .type = T::number, .format = "bmp",
     .check = {V::outputDepth, "Error: Invalid bmp-bpp value"}, .option = {"--BMP-BPP"},
     .preferences = {"Output", "BMP BPP"}, .listing = {"BMP BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of BMP output (0: automatic)."}},
    {.name = "bmpCompression", .field = &S::bmpCompression, .type = T::word, .words = kCompressionWords,
     .format = "bmp", .option = {"--BMP-COMPRESSION"}, .preferences = {"Output", "BMP Compression"},
     .listing = {"BMP Compression: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Compression of BMP output."}},
    {.name = "bmpColorTable", .field = &S::bmpColorTable, .type = T::word, .words = kColorTableWords,
     .format = "bmp", .option = {"--BMP-COLOR-TABLE"}, .preferences = {"Output", "BMP Color Table"},
     .listing = {"BMP Color Table: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Colour table of BMP output."}},
    {.name = "ddsBpp", .field = &S::ddsBpp, .type = T::number, .format = "dds",
     .check = {V::outputDepth, "Error: Invalid dds-bpp value"}, .option = {"--DDS-BPP"},
     .preferences = {"Output", "DDS BPP"}, .listing = {"DDS BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of DDS output (0: automatic)."}},
    {.name = "exrBpp", .field = &S::exrBpp, .type = T::number, .format = "exr",
     .check = {V::outputDepth, "Error: Invalid exr-bpp value"}, .option = {"--EXR-BPP"},
     .preferences = {"Output", "EXR BPP"}, .listing = {"EXR BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of EXR output (0: automatic)."}},
    {.name = "exrCompression", .field = &S::exrCompression, .type = T::word, .words = kCompressionWords,
     .format = "exr", .option = {"--EXR-COMPRESSION"}, .preferences = {"Output", "EXR Compression"},
     .listing = {"EXR Compression: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Compression of EXR output."}},
    {.name = "gifBpp", .field = &S::gifBpp, .type = T::number, .format = "gif",
     .check = {V::outputDepth, "Error: Invalid gif-bpp value"}, .option = {"--GIF-BPP"},
     .preferences = {"Output", "GIF BPP"}, .listing = {"GIF BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of GIF output (0: automatic)."}},
    {.name = "hdrBpp", .field = &S::hdrBpp, .type = T::number, .format = "hdr",
     .check = {V::outputDepth, "Error: Invalid hdr-bpp value"}, .option = {"--HDR-BPP"},
     .preferences = {"Output", "HDR BPP"}, .listing = {"HDR BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of HDR output (0: automatic)."}},
    {.name = "icoBpp", .field = &S::icoBpp, .type = T::number, .format = "ico",
     .check = {V::outputDepth, "Error: Invalid ico-bpp value"}, .option = {"--ICO-BPP"},
     .preferences = {"Output", "ICO BPP"}, .listing = {"ICO BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of ICO output (0: automatic)."}},
    {.name = "j2kBpp", .field = &S::j2kBpp, .type = T::number, .format = "j2k",
     .check = {V::outputDepth, "Error: Invalid j2k-bpp value"}, .option = {"--J2K-BPP"},
     .preferences = {"Output", "J2K BPP"}, .listing = {"J2K BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of J2K output (0: automatic)."}},
    {.name = "jngBpp", .field = &S::jngBpp, .type = T::number, .format = "jng",
     .check = {V::outputDepth, "Error: Invalid jng-bpp value"}, .option = {"--JNG-BPP"},
     .preferences = {"Output", "JNG BPP"}, .listing = {"JNG BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of JNG output (0: automatic)."}},
    {.name = "jp2Bpp", .field = &S::jp2Bpp, .type = T::number, .format = "jp2",
     .check = {V::outputDepth, "Error: Invalid jp2-bpp value"}, .option = {"--JP2-BPP"},
     .preferences = {"Output", "JP2 BPP"}, .listing = {"JP2 BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of JP2 output (0: automatic)."}},
    {.name = "jpgBpp", .field = &S::jpgBpp, .type = T::number, .format = "jpg",
     .check = {V::outputDepth, "Error: Invalid jpg-bpp value"}, .option = {"--JPG-BPP"},
     .preferences = {"Output", "JPG BPP"}, .listing = {"JPG BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr,
              "Bits per pixel of the JPEG files: 0 chooses by the image, 8 writes greyscale, 24 colour."},
     .manual = {"opt-output", "Bits per pixel: 8 writes a greyscale JPEG.", "0 (auto), 8, 24"}},
    {.name = "jpgQuality", .field = &S::jpgQuality, .type = T::number, .number = 95, .format = "jpg",
     .range = {1, 100}, .check = {V::range, "Error: Invalid jpg-quality value"}, .option = {"--JPG-QUALITY"},
     .preferences = {"Output", "JPG Quality"}, .listing = {"JPG Quality: ", W::outputFormat},
     .help = {"Output formats", nullptr, "JPEG quality from 1 to 100; higher is better and larger."},
     .manual = {.section = "opt-output",
                .meaning = "JPEG quality; higher is better and larger.",
                .values = "1 … 100, default 95",
                .before = "jpgBpp"}},
    {.name = "jpgChroma", .field = &S::jpgChroma, .type = T::word, .words = kChromaWords, .format = "jpg",
     .option = {"--JPG-CHROMA"}, .preferences = {"Output", "JPG Chroma"},
     .listing = {"JPG Chroma Subsampling: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Chroma subsampling: how much colour detail is reduced."},
     .manual = {"opt-output", "Chroma subsampling: how much colour detail is reduced."}},
    {.name = "jpgSaveAs", .field = &S::jpgSaveAs, .type = T::word, .words = kJpegVariantWords, .format = "jpg",
     .option = {"--JPG-SAVE-AS"}, .preferences = {"Output", "JPG Save As"},
     .listing = {"JPG Save As: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Baseline JPEG variants or progressive JPEG."},
     .manual = {"opt-output", "Baseline JPEG variants or progressive JPEG."}},
    {.name = "jxrBpp", .field = &S::jxrBpp, .type = T::number, .format = "jxr",
     .check = {V::outputDepth, "Error: Invalid jxr-bpp value"}, .option = {"--JXR-BPP"},
     .preferences = {"Output", "JXR BPP"}, .listing = {"JXR BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of JXR output (0: automatic)."}},
    {.name = "pbmBpp", .field = &S::pbmBpp, .type = T::number, .format = "pbm",
     .check = {V::outputDepth, "Error: Invalid pbm-bpp value"}, .option = {"--PBM-BPP"},
     .preferences = {"Output", "PBM BPP"}, .listing = {"PBM BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of PBM output (0: automatic)."}},
    {.name = "pcxBpp", .field = &S::pcxBpp, .type = T::number, .format = "pcx",
     .check = {V::outputDepth, "Error: Invalid pcx-bpp value"}, .option = {"--PCX-BPP"},
     .preferences = {"Output", "PCX BPP"}, .listing = {"PCX BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of PCX output (0: automatic)."}},
    {.name = "pfmBpp", .field = &S::pfmBpp, .type = T::number, .format = "pfm",
     .check = {V::outputDepth, "Error: Invalid pfm-bpp value"}, .option = {"--PFM-BPP"},
     .preferences = {"Output", "PFM BPP"}, .listing = {"PFM BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of PFM output (0: automatic)."}},
    {.name = "pgmBpp", .field = &S::pgmBpp, .type = T::number, .format = "pgm",
     .check = {V::outputDepth, "Error: Invalid pgm-bpp value"}, .option = {"--PGM-BPP"},
     .preferences = {"Output", "PGM BPP"}, .listing = {"PGM BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of PGM output (0: automatic)."}},
    {.name = "pngBpp", .field = &S::pngBpp, .type = T::number, .format = "png",
     .check = {V::outputDepth, "Error: Invalid png-bpp value"}, .option = {"--PNG-BPP"},
     .preferences = {"Output", "PNG BPP"}, .listing = {"PNG BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of PNG output (0: automatic)."}},
    {.name = "pngCompression", .field = &S::pngCompression, .type = T::word, .words = kCompressionWords,
     .format = "png", .option = {"--PNG-COMPRESSION"}, .preferences = {"Output", "PNG Compression"},
     .listing = {"PNG Compression: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Compression level of PNG output."}},
    // A number in the preferences file, not a yes/no: 5 stays 5.
    {.name = "pngInterlaced", .field = &S::pngInterlaced, .type = T::flag, .format = "png",
     .option = {"--PNG-INTERLACED"}, .preferences = {"Output", "PNG Interlaced"},
     .listing = {"PNG Interlaced: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Write interlaced PNG files."}},
    {.name = "ppmBpp", .field = &S::ppmBpp, .type = T::number, .format = "ppm",
     .check = {V::outputDepth, "Error: Invalid ppm-bpp value"}, .option = {"--PPM-BPP"},
     .preferences = {"Output", "PPM BPP"}, .listing = {"PPM BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of PPM output (0: automatic)."}},
    {.name = "psdBpp", .field = &S::psdBpp, .type = T::number, .format = "psd",
     .check = {V::outputDepth, "Error: Invalid psd-bpp value"}, .option = {"--PSD-BPP"},
     .preferences = {"Output", "PSD BPP"}, .listing = {"PSD BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of PSD output (0: automatic)."}},
    {.name = "tgaBpp", .field = &S::tgaBpp, .type = T::number, .format = "tga",
     .check = {V::outputDepth, "Error: Invalid tga-bpp value"}, .option = {"--TGA-BPP"},
     .preferences = {"Output", "TGA BPP"}, .listing = {"TGA BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of TGA output (0: automatic)."}},
    {.name = "tgaCompression", .field = &S::tgaCompression, .type = T::word, .words = kCompressionWords,
     .format = "tga", .option = {"--TGA-COMPRESSION"}, .preferences = {"Output", "TGA Compression"},
     .listing = {"TGA Compression: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Compression of TGA output."}},
    {.name = "tiffBpp", .field = &S::tiffBpp, .type = T::number, .format = "tiff",
     .check = {V::outputDepth, "Error: Invalid tiff-bpp value"}, .option = {"--TIFF-BPP"},
     .preferences = {"Output", "TIFF BPP"}, .listing = {"TIFF BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of TIFF output (0: automatic)."}},
    {.name = "tiffCompression", .field = &S::tiffCompression, .type = T::word, .words = kCompressionWords,
     .format = "tiff", .option = {"--TIFF-COMPRESSION"}, .preferences = {"Output", "TIFF Compression"},
     .listing = {"TIFF Compression: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Compression of TIFF output."}},
    {.name = "tiffColorMode", .field = &S::tiffColorMode, .type = T::word, .words = kColorModeWords,
     .format = "tiff", .option = {"--TIFF-COLOR-MODE"}, .preferences = {"Output", "TIFF Color Mode"},
     .listing = {"TIFF Color Mode: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Colour mode of TIFF output."}},
    {.name = "wbmpBpp", .field = &S::wbmpBpp, .type = T::number, .format = "wbmp",
     .check = {V::outputDepth, "Error: Invalid wbmp-bpp value"}, .option = {"--WBMP-BPP"},
     .preferences = {"Output", "WBMP BPP"}, .listing = {"WBMP BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of WBMP output (0: automatic)."}},
    {.name = "webpBpp", .field = &S::webpBpp, .type = T::number, .format = "webp",
     .check = {V::outputDepth, "Error: Invalid webp-bpp value"}, .option = {"--WEBP-BPP"},
     .preferences = {"Output", "WEBP BPP"}, .listing = {"WEBP BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of WebP output (0: automatic)."}},
    {.name = "webpQuality", .field = &S::webpQuality, .type = T::number, .number = 100, .format = "webp",
     .range = {1, 100}, .check = {V::range, "Error: Invalid webp-quality value"}, .option = {"--WEBP-QUALITY"},
     .preferences = {"Output", "WEBP Quality"}, .listing = {"WEBP Quality: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Quality of WebP output."}},
    {.name = "xpmBpp", .field = &S::xpmBpp, .type = T::number, .format = "xpm",
     .check = {V::outputDepth, "Error: Invalid xpm-bpp value"}, .option = {"--XPM-BPP"},
     .preferences = {"Output", "XPM BPP"}, .listing = {"XPM BPP: ", W::outputFormat},
     .help = {"Output formats", nullptr, "Bits per pixel of XPM output (0: automatic)."}},

    // Transform.
    {.name = "doRotation", .field = &S::doRotation, .type = T::flag,
     .preferences = {"Transform", "Do Image Rotation", true}},
    {.name = "rotationType", .field = &S::rotationType, .type = T::word, .words = kRotationTypeWords,
     .option = {"--ROTATION-TYPE"}, .preferences = {"Transform", "Image Rotation Type"},
     .listing = {"Image Rotation Type: ", W::switchedOn, &S::doRotation},
     .help = {"Transform", nullptr, "Simple turns by the angle; advanced uses a higher quality rotation."},
     .manual = {"opt-transform", "Simple turns by the angle; advanced uses a higher-quality rotation."}},
    {.name = "rotation", .field = &S::rotation, .type = T::number, .range = {0, 360},
     .option = {.name = "--ROTATION", .switchField = &S::doRotation}, .preferences = {"Transform", "Image Rotation"},
     .listing = {"Image Rotation: ", W::switchedOn, &S::doRotation},
     .help = {"Transform", "DEGREES", "Rotate each image by 1 to 359 degrees (switches rotation on)."},
     .manual = {.section = "opt-transform",
                .meaning = "Rotate the image (switches rotation on).",
                .values = "degrees, 1 … 359",
                .before = "rotationType"}},
    {.name = "rotationBackColor", .field = &S::rotationBackColor, .type = T::text, .text = "000000",
     .option = {"--ROTATION-BACK-COLOR"}, .preferences = {"Transform", "Image Rotation Back Color"},
     .listing = {"Image Rotation Back Color: ", W::switchedOn, &S::doRotation},
     .help = {"Transform", "RRGGBB", "Colour of the corners a rotation uncovers."},
     .manual = {"opt-transform", "Colour of the corners a rotation uncovers.", "colour, default <code>000000</code>"}},
    {.name = "doResize", .field = &S::doResize, .type = T::flag, .preferences = {"Transform", "Do Image Resize", true}},
    {.name = "width", .field = &S::width, .type = T::number,
     .check = {V::nonZero, "Error: Invalid width value", "Invalid width"},
     .option = {.name = "--WIDTH", .switchField = &S::doResize}, .preferences = {"Transform", "Image Width"},
     .listing = {.label = "Width: ", .when = W::switchedOn, .switchField = &S::doResize, .as = A::withUnit,
                 .companion = "widthUnit"},
     .help = {"Transform", nullptr, "New width (switches resizing on)."},
     .manual = {"opt-transform",
                "New size (switches resizing on). Give one of them with <code>--keep-aspect-ratio</code> to scale "
                "proportionally.",
                "number"}},
    {.name = "widthUnit", .field = &S::widthUnit, .type = T::word, .words = kUnitWords, .option = {"--WIDTH-UNIT"},
     .preferences = {"Transform", "Image Width Unit"}, .help = {"Transform", nullptr, "Unit of the width."},
     .manual = {"opt-transform", "Unit of width and height."}},
    {.name = "height", .field = &S::height, .type = T::number,
     .check = {V::nonZero, "Error: Invalid height value", "Invalid height"},
     .option = {.name = "--HEIGHT", .switchField = &S::doResize}, .preferences = {"Transform", "Image Height"},
     .listing = {.label = "Height: ", .when = W::switchedOn, .switchField = &S::doResize, .as = A::withUnit,
                 .companion = "heightUnit"},
     .help = {"Transform", nullptr, "New height (switches resizing on)."},
     .manual = {.joins = "width"}},
    {.name = "heightUnit", .field = &S::heightUnit, .type = T::word, .words = kUnitWords,
     .option = {"--HEIGHT-UNIT"}, .preferences = {"Transform", "Image Height Unit"},
     .help = {"Transform", nullptr, "Unit of the height."},
     .manual = {.joins = "widthUnit"}},
    {.name = "keepAspectRatio", .field = &S::keepAspectRatio, .type = T::flag, .number = 1,
     .option = {"--KEEP-ASPECT-RATIO"}, .preferences = {"Transform", "Keep Aspect Ratio", true},
     .listing = {"Keep Aspect Ratio: ", W::switchedOn, &S::doResize},
     .help = {"Transform", nullptr,
              "Keep the proportions when resizing: the image fits inside the new width and height."},
     .manual = {"opt-transform", "Keep the proportions; the image fits inside width × height.", "flag"}},
    {.name = "resizeType", .field = &S::resizeType, .type = T::word, .words = kResizeTypeWords,
     .option = {"--RESIZE-TYPE"}, .preferences = {"Transform", "Image Resize Type"},
     .listing = {"Image Resize Type: ", W::switchedOn, &S::doResize},
     .help = {"Transform", nullptr, "Resize every image, or only images larger than the new size."},
     .manual = {"opt-transform", "Resize every image, or only images larger than the new size."}},
    {.name = "resizeAlgorithm", .field = &S::resizeAlgorithm, .type = T::word, .words = kResizeAlgorithmWords,
     .number = 3, .option = {"--RESIZE-ALGORITHM"}, .preferences = {"Transform", "Image Resize Algorithm"},
     .listing = {"Image Resize Algorithm: ", W::switchedOn, &S::doResize},
     .help = {"Transform", nullptr, "Resampling filter of a resize."},
     .manual = {.section = "opt-transform",
                .meaning = "Resampling filter.",
                .markDefault = true}},
    {.name = "flipHorizontal", .field = &S::flipHorizontal, .type = T::flag, .option = {"--FLIP-HORIZONTAL"},
     .preferences = {"Transform", "Do Image Flip Horizontal", true}, .listing = {"Flip Horizontal: "},
     .help = {"Transform", nullptr, "Mirror each image left to right."},
     .manual = {"opt-transform", "Mirror the image.", "flags"}},
    {.name = "flipVertical", .field = &S::flipVertical, .type = T::flag, .option = {"--FLIP-VERTICAL"},
     .preferences = {"Transform", "Do Image Flip Vertical", true}, .listing = {"Flip Vertical: "},
     .help = {"Transform", nullptr, "Mirror each image top to bottom."},
     .manual = {.joins = "flipHorizontal"}},

    // Adjustment.
    {.name = "doColorCorrection", .field = &S::doColorCorrection, .type = T::flag,
     .preferences = {"Adjustment", "Do Image Color Correction", true}},
    {.name = "brightness", .field = &S::brightness, .type = T::number, .range = {-100, 100},
     .check = {V::range, "Error: Invalid brightness value"},
     .option = {.name = "--BRIGHTNESS", .switchField = &S::doColorCorrection},
     .preferences = {"Adjustment", "Image Brightness"},
     .listing = {"Brightness: ", W::switchedOn, &S::doColorCorrection},
     .help = {"Adjustment", nullptr, "Brightness change from -100 to 100 (switches colour correction on)."},
     .manual = {"opt-adjust", "Darker or lighter.", "−100 … 100"}},
    {.name = "contrast", .field = &S::contrast, .type = T::number, .range = {-100, 100},
     .check = {V::range, "Error: Invalid contrast value"},
     .option = {.name = "--CONTRAST", .switchField = &S::doColorCorrection},
     .preferences = {"Adjustment", "Image Contrast"},
     .listing = {"Contrast: ", W::switchedOn, &S::doColorCorrection},
     .help = {"Adjustment", nullptr, "Contrast change from -100 to 100 (switches colour correction on)."},
     .manual = {"opt-adjust", "Less or more contrast.", "−100 … 100"}},
    {.name = "gamma", .field = &S::gamma, .type = T::decimal, .number = 1.0, .range = {0.01, 9.99},
     .check = {V::range, "Error: Invalid gamma value"},
     .option = {.name = "--GAMMA", .switchField = &S::doColorCorrection},
     .preferences = {"Adjustment", "Image Gamma"}, .listing = {"Gamma: ", W::switchedOn, &S::doColorCorrection},
     .help = {"Adjustment", nullptr,
              "Gamma correction from 0.01 to 9.99; below 1 darkens, above 1 lightens (switches colour correction "
              "on)."},
     .manual = {"opt-adjust", "Gamma correction; below 1 darkens, above 1 lightens.", "0.01 … 9.99, default 1.0"}},
    {.name = "invert", .field = &S::invert, .type = T::flag,
     .option = {.name = "--INVERT", .switchField = &S::doColorCorrection},
     .preferences = {"Adjustment", "Image Invert", true},
     .listing = {"Invert: ", W::switchedOn, &S::doColorCorrection},
     .help = {"Adjustment", nullptr, "Negative image (switches colour correction on)."},
     .manual = {"opt-adjust", "Negative image.", "flag"}},
    {.name = "doGreyscale", .field = &S::doGreyscale, .type = T::flag, .option = {"--GREYSCALE"},
     .preferences = {"Adjustment", "Do Image Greyscale", true}, .listing = {"Greyscale: "},
     .help = {"Adjustment", nullptr, "Convert to shades of grey."},
     .manual = {"opt-adjust", "Convert to shades of grey.", "flag"}},
    {.name = "doThreshold", .field = &S::doThreshold, .type = T::flag,
     .preferences = {"Adjustment", "Do Image Threshold", true}},
    {.name = "threshold", .field = &S::threshold, .type = T::number, .range = {0, 255},
     .option = {.name = "--THRESHOLD", .switchField = &S::doThreshold},
     .preferences = {"Adjustment", "Image Threshold"},
     .listing = {"Image Threshold: ", W::switchedOn, &S::doThreshold},
     .help = {"Adjustment", nullptr, "Black and white at this level, 0 to 255."},
     .manual = {"opt-adjust", "Black and white at this level.", "0 … 255"}},
    {.name = "doDither", .field = &S::doDither, .type = T::flag,
     .preferences = {"Adjustment", "Do Image Dither", true}},
    {.name = "ditherAlgorithm", .field = &S::ditherAlgorithm, .type = T::word, .words = kDitherWords,
     .option = {.name = "--DITHER", .switchField = &S::doDither},
     .preferences = {"Adjustment", "Image Dither Algorithm"},
     .listing = {"Image Dithering Algorithm: ", W::switchedOn, &S::doDither},
     .help = {"Adjustment", nullptr, "Black and white by dithering with this pattern."},
     .manual = {"opt-adjust", "Black and white by dithering (Floyd–Steinberg or ordered patterns)."}},

    // Frame.
    {.name = "frameType", .field = &S::frameType, .type = T::word, .words = kFrameTypeWords,
     .preferences = {"Frame", "Do Frame"}, .listing = {"Frame: "}},
    {.name = "solidLeft", .field = &S::solidLeft, .type = T::number,
     .option = {.name = "--FR-SOLID-LEFT", .switchField = &S::frameType}, .preferences = {"Frame", "Solid Left"},
     .listing = {"Frame left: ", W::switchedOn, &S::frameType},
     .help = {"Frame", "PIXELS", "Width of the left side of a solid frame (switches the frame on)."},
     .manual = {"opt-frame",
                "Width of each side of a solid frame drawn around the image (the image grows by the frame).",
                "pixels"}},
    {.name = "solidRight", .field = &S::solidRight, .type = T::number,
     .option = {.name = "--FR-SOLID-RIGHT", .switchField = &S::frameType}, .preferences = {"Frame", "Solid Right"},
     .listing = {"Frame right: ", W::switchedOn, &S::frameType},
     .help = {"Frame", "PIXELS", "Width of the right side of a solid frame (switches the frame on)."},
     .manual = {.joins = "solidLeft"}},
    {.name = "solidTop", .field = &S::solidTop, .type = T::number,
     .option = {.name = "--FR-SOLID-TOP", .switchField = &S::frameType}, .preferences = {"Frame", "Solid Top"},
     .listing = {"Frame top: ", W::switchedOn, &S::frameType},
     .help = {"Frame", "PIXELS", "Width of the top side of a solid frame (switches the frame on)."},
     .manual = {.joins = "solidLeft"}},
    {.name = "solidBottom", .field = &S::solidBottom, .type = T::number,
     .option = {.name = "--FR-SOLID-BOTTOM", .switchField = &S::frameType},
     .preferences = {"Frame", "Solid Bottom"}, .listing = {"Frame bottom: ", W::switchedOn, &S::frameType},
     .help = {"Frame", "PIXELS", "Width of the bottom side of a solid frame (switches the frame on)."},
     .manual = {.joins = "solidLeft"}},
    {.name = "solidLeftColor", .field = &S::solidLeftColor, .type = T::text, .text = "000000",
     .option = {"--FR-SOLID-LEFT-COLOR"}, .preferences = {"Frame", "Solid Left Color"},
     .listing = {"Frame left color: ", W::switchedOn, &S::frameType},
     .help = {"Frame", "RRGGBB", "Colour of the left side of the frame."},
     .manual = {.section = "opt-frame",
                .meaning = "Colour of each side.",
                .values = "colour, default <code>000000</code>",
                .option = "<code>--fr-solid-left-color=RRGGBB</code> (and <code>-right-</code>, <code>-top-</code>, "
                          "<code>-bottom-</code>)"}},
    {.name = "solidRightColor", .field = &S::solidRightColor, .type = T::text, .text = "000000",
     .option = {"--FR-SOLID-RIGHT-COLOR"}, .preferences = {"Frame", "Solid Right Color"},
     .listing = {"Frame right color: ", W::switchedOn, &S::frameType},
     .help = {"Frame", "RRGGBB", "Colour of the right side of the frame."},
     .manual = {.joins = "solidLeftColor"}},
    {.name = "solidTopColor", .field = &S::solidTopColor, .type = T::text, .text = "000000",
     .option = {"--FR-SOLID-TOP-COLOR"}, .preferences = {"Frame", "Solid Top Color"},
     .listing = {"Frame top color: ", W::switchedOn, &S::frameType},
     .help = {"Frame", "RRGGBB", "Colour of the top side of the frame."},
     .manual = {.joins = "solidLeftColor"}},
    {.name = "solidBottomColor", .field = &S::solidBottomColor, .type = T::text, .text = "000000",
     .option = {"--FR-SOLID-BOTTOM-COLOR"}, .preferences = {"Frame", "Solid Bottom Color"},
     .listing = {"Frame bottom color: ", W::switchedOn, &S::frameType},
     .help = {"Frame", "RRGGBB", "Colour of the bottom side of the frame."},
     .manual = {.joins = "solidLeftColor"}},
    {.name = "solidOpacity", .field = &S::solidOpacity, .type = T::number, .number = 255, .range = {0, 255},
     .option = {.name = "--FR-SOLID-OPACITY", .profileName = "--WM-SOLID-OPACITY"},
     .preferences = {"Frame", "Solid Opacity"}, .listing = {"Frame opacity: ", W::switchedOn, &S::frameType},
     .help = {"Frame", nullptr, "Opacity of the frame, 0 to 255 (in a profile file the key is --wm-solid-opacity)."},
     .manual = {"opt-frame", "Opacity of the frame.", "0 … 255, default 255"}},

    // Watermark.
    {.name = "watermarkType", .field = &S::watermarkType, .type = T::word, .words = kWatermarkTypeWords,
     .preferences = {"Watermark", "Do Watermark"}, .listing = {"Watermark: "}},
    {.name = "wmText", .field = &S::wmText, .type = T::text,
     .option = {.name = "--WM-TEXT", .switchField = &S::watermarkType, .switchValue = 1},
     .preferences = {"Watermark", "Text"}, .listing = {"Watermark text: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", "TEXT",
              "Draw this text on each image; it may hold the name tokens of --filename-mask."},
     .manual = {"opt-wmtext",
                "The watermark text; may hold <a href=\"#mask\">tokens</a> such as <code>%filename%</code>.",
                "text"}},
    {.name = "wmFonts", .field = &S::wmFonts, .type = T::text, .text = "Arial,Tahoma,Verdana",
     .preferences = {"Watermark", "Fonts"}},
    {.name = "wmFont", .field = &S::wmFont, .type = T::text, .text = "Arial", .option = {"--WM-FONT"},
     .preferences = {"Watermark", "Font"}, .listing = {"Watermark font: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", "NAME",
              "Font family of the text (Arial, Times New Roman and Courier New come from their metric compatible "
              "Liberation fonts)."},
     .manual = {"opt-wmtext",
                "An installed font (Arial, Times New Roman and Courier New are found through their metric-compatible "
                "Liberation fonts).",
                "font family, default Arial"}},
    {.name = "wmFontSize", .field = &S::wmFontSize, .type = T::number, .number = 14, .option = {"--WM-FONT-SIZE"},
     .preferences = {"Watermark", "Font Size"},
     .listing = {"Watermark font size: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", "POINTS", "Size of the text."},
     .manual = {"opt-wmtext", "Text size.", "points, default 14"}},
    {.name = "wmFontLeading", .field = &S::wmFontLeading, .type = T::number, .option = {"--WM-FONT-LEADING"},
     .preferences = {"Watermark", "Font Leading"},
     .listing = {"Watermark font leading: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", "PIXELS", "Extra space between lines."},
     .manual = {"opt-wmtext", "Extra space between lines.", "pixels"}},
    {.name = "wmFontColors", .field = &S::wmFontColors, .type = T::text, .text = kColourList,
     .preferences = {"Watermark", "Font Colors"}},
    {.name = "wmFontColor", .field = &S::wmFontColor, .type = T::text, .text = "FFFFFF",
     .option = {"--WM-FONT-COLOR"}, .preferences = {"Watermark", "Font Color"},
     .listing = {"Watermark font color: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", "RRGGBB", "Colour of the text."},
     .manual = {"opt-wmtext", "Text colour.", "default <code>FFFFFF</code>"}},
    {.name = "wmFontStyle", .field = &S::wmFontStyle, .type = T::word, .words = kFontStyleWords,
     .option = {"--WM-FONT-STYLE"}, .preferences = {"Watermark", "Font Style"},
     .listing = {"Watermark font style: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", nullptr, "Style of the font."},
     .manual = {"opt-wmtext", "Font style."}},
    {.name = "wmFontEffect", .field = &S::wmFontEffect, .type = T::word, .words = kFontEffectWords,
     .option = {"--WM-FONT-EFFECT"}, .preferences = {"Watermark", "Font Effect"},
     .listing = {"Watermark font effect: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", nullptr, "Underline or strike through the text."},
     .manual = {"opt-wmtext", "Underline or strike through (note the spelling with a final T)."}},
    // A number in the preferences file, not a yes/no.
    {.name = "wmTextAntialiasing", .field = &S::wmTextAntialiasing, .type = T::flag,
     .option = {"--WM-TEXT-ANTIALIASING"}, .preferences = {"Watermark", "Text Antialiasing"},
     .listing = {"Watermark text antialiasing: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", nullptr, "Smooth the edges of the text."},
     .manual = {"opt-wmtext", "Smooth text edges.", "flag"}},
    {.name = "wmTextAlignment", .field = &S::wmTextAlignment, .type = T::word, .words = kAlignmentWords,
     .option = {"--WM-TEXT-ALIGNMENT"}, .preferences = {"Watermark", "Text Alignment"},
     .listing = {"Watermark text alignment: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", nullptr, "Alignment of several lines."},
     .manual = {"opt-wmtext", "Alignment of several lines."}},
    {.name = "wmTextPadding", .field = &S::wmTextPadding, .type = T::number, .option = {"--WM-TEXT-PADDING"},
     .preferences = {"Watermark", "Text Padding"},
     .listing = {"Watermark text padding: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", "PIXELS", "Space between the text and the edge of its background."},
     .manual = {"opt-wmtext", "Space between the text and its background's edge.", "pixels"}},
    {.name = "wmTextOpacity", .field = &S::wmTextOpacity, .type = T::number, .number = 255, .range = {0, 255},
     .option = {"--WM-TEXT-OPACITY"}, .preferences = {"Watermark", "Text Opacity"},
     .listing = {"Watermark text opacity: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", nullptr, "Opacity of the text, 0 to 255."},
     .manual = {"opt-wmtext", "Opacity of the text.", "0 … 255"}},
    {.name = "wmBackColors", .field = &S::wmBackColors, .type = T::text, .text = kColourList,
     .preferences = {"Watermark", "Back Colors"}},
    {.name = "wmBackColor", .field = &S::wmBackColor, .type = T::text, .text = "000000",
     .option = {"--WM-BACK-COLOR"}, .preferences = {"Watermark", "Back Color"},
     .listing = {"Watermark background color: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", "RRGGBB", "Colour of the box behind the text."},
     .manual = {"opt-wmtext", "Background box behind the text.", "colour, 0 … 255"}},
    {.name = "wmBackOpacity", .field = &S::wmBackOpacity, .type = T::number, .number = 1, .range = {0, 255},
     .option = {"--WM-BACK-OPACITY"}, .preferences = {"Watermark", "Back Opacity"},
     .listing = {"Watermark background opacity: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", nullptr, "Opacity of the box behind the text, 0 to 255."},
     .manual = {.joins = "wmBackColor"}},
    {.name = "wmTextBoundary", .field = &S::wmTextBoundary, .type = T::word, .words = kBoundaryWords,
     .option = {"--WM-TEXT-BOUNDARY"}, .preferences = {"Watermark", "Text Boundary"},
     .listing = {"Watermark boundary: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", nullptr, "Place the text relative to the image alone or to the image with its frame."},
     .manual = {"opt-wmtext", "Place the text relative to the image alone or to the image with its frame."}},
    {.name = "wmTextPosition", .field = &S::wmTextPosition, .type = T::word, .words = kPositionWords, .number = 8,
     .option = {"--WM-TEXT-POSITION"}, .preferences = {"Watermark", "Text Position"},
     .listing = {"Watermark position: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", nullptr, "Where the text goes."},
     .manual = {.section = "opt-wmtext",
                .meaning = "Where the text goes.",
                .markDefault = true}},
    {.name = "wmTextXOffset", .field = &S::wmTextXOffset, .type = T::number, .number = 10,
     .option = {"--WM-TEXT-X-OFFSET"}, .preferences = {"Watermark", "Text X Offset"},
     .listing = {"Watermark offset (x/y): ", W::switchedOn, &S::watermarkType, 1, A::pair, "wmTextYOffset"},
     .help = {"Text watermark", "PIXELS", "Horizontal distance from the chosen edge."},
     .manual = {"opt-wmtext", "Distance from the chosen edge.", "pixels, default 10"}},
    {.name = "wmTextYOffset", .field = &S::wmTextYOffset, .type = T::number, .number = 10,
     .option = {"--WM-TEXT-Y-OFFSET"}, .preferences = {"Watermark", "Text Y Offset"},
     .help = {"Text watermark", "PIXELS", "Vertical distance from the chosen edge."},
     .manual = {.joins = "wmTextXOffset"}},
    {.name = "wmTextRotation", .field = &S::wmTextRotation, .type = T::number, .range = {0, 360},
     .option = {"--WM-TEXT-ROTATION"}, .preferences = {"Watermark", "Text Rotation"},
     .listing = {"Watermark rotation: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", "DEGREES", "Turn the text."},
     .manual = {"opt-wmtext", "Turn the text.", "degrees"}},
    {.name = "wmTextSize", .field = &S::wmTextSize, .type = T::word, .words = kSizeModeWords,
     .option = {"--WM-TEXT-SIZE"}, .preferences = {"Watermark", "Text Size"},
     .listing = {"Watermark size/mode: ", W::switchedOn, &S::watermarkType, 1},
     .help = {"Text watermark", nullptr, "Size mode of the text."},
     .manual = {"opt-wmtext", "Size mode of the text."}},
    {.name = "wmTextScale", .field = &S::wmTextScale, .type = T::number, .number = 10, .range = {1, 200},
     .preferences = {"Watermark", "Text Scale"}},
    {.name = "wmImage", .field = &S::wmImage, .type = T::text,
     .option = {.name = "--WM-IMAGE", .switchField = &S::watermarkType, .switchValue = 2},
     .preferences = {"Watermark", "Image"}, .listing = {"Watermark image: ", W::switchedOn, &S::watermarkType, 2},
     .help = {"Image watermark", "FILE",
              "Place this picture (PNG, BMP or JPEG) on each image; replaces a text watermark given before it."},
     .manual = {"opt-wmimage",
                "The picture placed on each image (replaces a text watermark given before it).",
                "PNG, BMP or JPEG file"}},
    {.name = "wmImageGreyscale", .field = &S::wmImageGreyscale, .type = T::flag, .option = {"--WM-IMAGE-GREYSCALE"},
     .preferences = {"Watermark", "Image Greyscale", true},
     .listing = {"Watermark greyscale: ", W::switchedOn, &S::watermarkType, 2},
     .help = {"Image watermark", nullptr, "Use the picture in shades of grey."},
     .manual = {"opt-wmimage", "Use the picture in shades of grey.", "flag"}},
    {.name = "wmImageOpacity", .field = &S::wmImageOpacity, .type = T::number, .number = 255, .range = {0, 255},
     .option = {"--WM-IMAGE-OPACITY"}, .preferences = {"Watermark", "Image Opacity"},
     .listing = {"Watermark opacity: ", W::switchedOn, &S::watermarkType, 2},
     .help = {"Image watermark", nullptr, "Opacity of the picture, 0 to 255."},
     .manual = {"opt-wmimage", "Opacity of the picture.", "0 … 255"}},
    {.name = "wmImageBoundary", .field = &S::wmImageBoundary, .type = T::word, .words = kBoundaryWords,
     .option = {"--WM-IMAGE-BOUNDARY"}, .preferences = {"Watermark", "Image Boundary"},
     .listing = {"Watermark boundary: ", W::switchedOn, &S::watermarkType, 2},
     .help = {"Image watermark", nullptr,
              "Place the picture relative to the image alone or to the image with its frame."},
     .manual = {"opt-wmimage", "Placement.", "as for text"}},
    {.name = "wmImagePosition", .field = &S::wmImagePosition, .type = T::word, .words = kPositionWords,
     .number = 8, .option = {"--WM-IMAGE-POSITION"}, .preferences = {"Watermark", "Image Position"},
     .listing = {"Watermark position: ", W::switchedOn, &S::watermarkType, 2},
     .help = {"Image watermark", nullptr, "Where the picture goes."},
     .manual = {.joins = "wmImageBoundary"}},
    {.name = "wmImageXOffset", .field = &S::wmImageXOffset, .type = T::number, .number = 10,
     .option = {"--WM-IMAGE-X-OFFSET"}, .preferences = {"Watermark", "Image X Offset"},
     .listing = {"Watermark offset (x/y): ", W::switchedOn, &S::watermarkType, 2, A::pair, "wmImageYOffset"},
     .help = {"Image watermark", "PIXELS", "Horizontal distance from the chosen edge."},
     .manual = {"opt-wmimage", "Distance from the chosen edge.", "pixels"}},
    {.name = "wmImageYOffset", .field = &S::wmImageYOffset, .type = T::number, .number = 10,
     .option = {"--WM-IMAGE-Y-OFFSET"}, .preferences = {"Watermark", "Image Y Offset"},
     .help = {"Image watermark", "PIXELS", "Vertical distance from the chosen edge."},
     .manual = {.joins = "wmImageXOffset"}},
    {.name = "wmImageRotation", .field = &S::wmImageRotation, .type = T::number, .range = {0, 360},
     .option = {"--WM-IMAGE-ROTATION"}, .preferences = {"Watermark", "Image Rotation"},
     .listing = {"Watermark rotation: ", W::switchedOn, &S::watermarkType, 2},
     .help = {"Image watermark", "DEGREES", "Turn the picture."},
     .manual = {"opt-wmimage", "Turn the picture.", "degrees"}},
    {.name = "wmImageSize", .field = &S::wmImageSize, .type = T::word, .words = kSizeModeWords,
     .option = {"--WM-IMAGE-SIZE"}, .preferences = {"Watermark", "Image Size"},
     .listing = {"Watermark size/mode: ", W::switchedOn, &S::watermarkType, 2},
     .help = {"Image watermark", nullptr, "Size mode of the picture."},
     .manual = {"opt-wmimage", "Size mode of the picture."}},
    {.name = "wmImageScale", .field = &S::wmImageScale, .type = T::number, .number = 10, .range = {1, 200},
     .preferences = {"Watermark", "Image Scale"}},

    // Naming and the run.
    {.name = "filenameMask", .field = &S::filenameMask, .type = T::text, .text = "%filename%.%ext%",
     .check = {V::staysInFolder, "Error: Invalid filename mask"},
     .option = {.name = "--FILENAME-MASK", .profileUnquoted = true}, .preferences = {"Advanced", "Filename Mask"},
     .listing = {"Filename Mask: "},
     .help = {"Naming and dates", "MASK",
              "Name of each written file, built from tokens such as %filename%, %ext% and %n% (a number counting "
              "the written files); the whole name is written in lower case."},
     .manual = {"opt-naming",
                "Name of each written file, built from <a href=\"#mask\">tokens</a>. The whole name is written in "
                "lower case.",
                "text, default <code>%filename%.%ext%</code>"}},
    {.name = "fileTimestamp", .field = &S::fileTimestamp, .type = T::word, .words = kTimestampWords,
     .option = {"--FILE-TIMESTAMP"}, .preferences = {"Advanced", "File Timestamp"}, .listing = {"File Timestamp: "},
     .help = {"Naming and dates", nullptr,
              "Modification date of the written files: now, the icon's own date, or the custom date."},
     .manual = {"opt-naming", "Modification date of the written files: now, the icon's own date, or the custom date."}},
    {.name = "customTimestamp", .field = &S::customTimestamp, .type = T::number,
     .option = {"--FILE-TIMESTAMP-CUSTOM"}, .preferences = {"Advanced", "Custom Timestamp"},
     .listing = {"Custom Timestamp: ", W::switchedOn, &S::fileTimestamp, 2},
     .help = {"Naming and dates", "SECONDS",
              "The custom date, in seconds since 1970-01-01 00:00 counted in local time."},
     .manual = {"opt-naming", "The custom date.", "seconds since 1970-01-01, local time"}},
    {.name = "outFoldersHistory", .field = &S::outFoldersHistory, .type = T::number, .number = 1,
     .preferences = {"Advanced", "Out Folders History"}},
    {.name = "outFoldersNumber", .field = &S::outFoldersNumber, .type = T::number, .number = 5, .range = {1, 50},
     .preferences = {"Advanced", "Out Folders Number"}},
    {.name = "keepSubfolders", .field = &S::keepSubfolders, .type = T::flag, .number = 1,
     .option = {.name = "--NO-SUBFOLDERS", .flagValue = 0}, .preferences = {"Advanced", "Keep Subfolders", true},
     .listing = {"Keep Subfolders: "},
     .help = {"Naming and dates", nullptr,
              "Write every file straight into the output folder instead of rebuilding the input's subfolders."},
     .manual = {"opt-naming",
                "Write every file straight into the output folder instead of rebuilding the input's subfolders.",
                "flag"}},
    {.name = "threads", .field = &S::threads, .type = T::number, .range = {0, kMaxThreads},
     .check = {V::range, "Error: Invalid threads value"}, .option = {"--THREADS"},
     .preferences = {"Advanced", "Threads"}, .listing = {.label = "Threads: ", .as = A::threadCount},
     .help = {"Running", nullptr,
              "Files converted at once, 0 to 256; 0 takes one per online core, 1 converts one file after the other. "
              "The files, their names and the lines printed are the same whatever the number."},
     .manual = {"opt-run",
                "How many files are converted at once: 0 uses one per online core, 1 converts one file after the "
                "other. The files written, their names and the lines printed are the same whatever the number.",
                "0 … 256, default 0"}},
    {.name = "dryRun", .field = &S::dryRun, .type = T::flag, .option = {"--DRY-RUN"},
     .preferences = {"Advanced", "Dry Run", true}, .listing = {"Dry Run: "},
     .help = {"Running", nullptr,
              "Do everything up to the save but write nothing: print one line per planned output file and warn "
              "where one would replace another file."},
     .manual = {"opt-run",
                "Do everything up to the save but write nothing: print one line per planned output file (the input, "
                "the image, the output path and whether it exists already) and warn where an output would replace an "
                "input or another output.",
                "flag"}},
    {.name = "reportFile", .field = &S::reportFile, .type = T::text, .option = {"--REPORT"},
     .preferences = {"Advanced", "Report File"}, .listing = {"Report File: ", W::notEmpty},
     .help = {"Running", "FILE",
              "Write a JSON report of the run to FILE (- for standard output, the status lines then going to "
              "standard error): one record per input with its outputs, and a summary."},
     .manual = {"opt-run",
                "Write a JSON report of the run: one record per input (its outputs with their size, depth and bytes, "
                "or why it failed) and a summary with the counts and the options used. With <code>-</code> the status "
                "lines go to standard error.",
                "file, or <code>-</code> for standard output"}},

    // Desktop window records.
    {.name = "recentOutFolders", .field = &S::recentOutFolders, .type = T::text,
     .preferences = {"File", "Recent Out Folders"}},
    {.name = "recentFiles", .field = &S::recentFiles, .type = T::text, .preferences = {"File", "Recent Files"}},
    {.name = "cleanRecentFiles", .field = &S::cleanRecentFiles, .type = T::flag,
     .preferences = {"Privacy", "Clean Recent Files", true}},
};

#pragma GCC diagnostic pop

bool sameName(const char* a, std::string_view b) { return a != nullptr && b == a; }

}  // namespace

std::span<const SettingRow> settingTable() { return kSettings; }

const SettingRow* findSetting(std::string_view name) {
  for (const SettingRow& declared : kSettings)
    if (sameName(declared.name, name)) return &declared;
  return nullptr;
}

const SettingRow* findSetting(SettingField field) {
  for (const SettingRow& declared : kSettings)
    if (declared.field == field) return &declared;
  return nullptr;
}

void applyDefault(const SettingRow& declared, Settings& settings) {
  std::visit(
      [&](auto member) {
        using Value = std::remove_cvref_t<decltype(settings.*member)>;
        if constexpr (std::is_same_v<Value, std::string>)
          settings.*member = declared.text;
        else
          settings.*member = static_cast<Value>(declared.number);
      },
      declared.field);
}

bool atDefault(const SettingRow& declared, const Settings& settings) {
  return std::visit(
      [&](auto member) {
        using Value = std::remove_cvref_t<decltype(settings.*member)>;
        if constexpr (std::is_same_v<Value, std::string>)
          return settings.*member == declared.text;
        else
          return settings.*member == static_cast<Value>(declared.number);
      },
      declared.field);
}

bool withinRange(const SettingRow& declared, const Settings& settings) {
  return std::visit(
      [&](auto member) {
        using Value = std::remove_cvref_t<decltype(settings.*member)>;
        if constexpr (std::is_same_v<Value, std::string>) {
          return true;
        } else if constexpr (std::is_same_v<Value, float>) {
          // As float, so that 0.01 typed on the command line is inside 0.01.
          const float value = settings.*member;
          return value >= static_cast<float>(declared.range.low) && value <= static_cast<float>(declared.range.high);
        } else {
          const double value = settings.*member;
          return value >= declared.range.low && value <= declared.range.high;
        }
      },
      declared.field);
}

bool withinRange(int32_t Settings::*field, int32_t value) {
  const SettingRow* declared = findSetting(field);
  return declared == nullptr || (value >= declared->range.low && value <= declared->range.high);
}

int32_t integerValue(const SettingRow& declared, const Settings& settings) {
  return std::visit(
      [&](auto member) -> int32_t {
        using Value = std::remove_cvref_t<decltype(settings.*member)>;
        if constexpr (std::is_same_v<Value, int32_t> || std::is_same_v<Value, int8_t>)
          return settings.*member;
        else
          return 0;
      },
      declared.field);
}

std::span<const SettingRow* const> listingOrder() {
  static const std::vector<const SettingRow*> order = [] {
    std::vector<const SettingRow*> rows;
    for (const SettingRow& declared : kSettings)
      if (declared.listing.label != nullptr && declared.listing.after == nullptr) rows.push_back(&declared);
    for (const SettingRow& declared : kSettings) {
      if (declared.listing.label == nullptr || declared.listing.after == nullptr) continue;
      auto at = rows.begin();
      while (at != rows.end() && !sameName((*at)->name, declared.listing.after)) ++at;
      rows.insert(at == rows.end() ? at : at + 1, &declared);
    }
    return rows;
  }();
  return order;
}

}  // namespace trovabild
