#include "desktop/preferences.h"

#include <fcntl.h>
#include <glib.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wx/display.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <limits>
#include <type_traits>
#include <variant>
#include <vector>

#include "settings/settings.h"
#include "settings/settings_file.h"

namespace trovabild {

namespace {

constexpr int32_t kConfigVersion = 19;
constexpr int kFirstRunWidth = 510;
constexpr int kFirstRunHeight = 330;
constexpr int kFirstRunPosition = 100;

using Field = std::variant<int8_t Settings::*, int32_t Settings::*, float Settings::*, std::string Settings::*>;

/// One key of the file. `format` names the input or output format whose
/// keys are written only while that format is in the product's list; a
/// boolean reads any non-zero number as 1.
struct Key {
  const char* name;
  Field field;
  const char* format = nullptr;
  bool boolean = false;
};

struct Group {
  const char* name;
  std::vector<Key> keys;
};

// Every group and key in the order the file is written.
const std::vector<Group>& layout() {
  using S = Settings;
  static const std::vector<Group> groups{
      {"General",
       {{"Language", &S::language},
        {"Update Range", &S::updateRange},
        {"Update Date", &S::updateDate},
        {"Save Window Position", &S::saveWindowPosition, nullptr, true}}},
      {"Window",
       {{"IsMaximized", &S::isMaximized, nullptr, true},
        {"Width", &S::windowWidth},
        {"Height", &S::windowHeight},
        {"X", &S::windowX},
        {"Y", &S::windowY}}},
      {"Interface", {{"UI Theme", &S::uiTheme}, {"UI Size", &S::uiSize}}},
      {"Input",
       {{"Format", &S::inputFormat},
        {"DDS Load As", &S::ddsLoadAs, "dds"},
        {"GIF Frame Loading", &S::gifFrameLoading, "gif"},
        {"ICO Frame Loading", &S::icoFrameLoading, "ico"},
        {"PSD Color Mode", &S::psdColorMode, "psd"},
        {"RAW Load As", &S::rawLoadAs, "raw"},
        {"RAW Header Size", &S::rawHeaderSize, "raw"},
        {"RAW Image Width", &S::rawImageWidth, "raw"},
        {"RAW Image Height", &S::rawImageHeight, "raw"},
        {"RAW Tone Mapping", &S::rawToneMapping, "raw"},
        {"TIFF Frame Loading", &S::tiffFrameLoading, "tiff"},
        {"Background Color", &S::backgroundColor}}},
      {"Output",
       {{"Format", &S::outputFormat},
        {"BMP BPP", &S::bmpBpp, "bmp"},
        {"BMP Compression", &S::bmpCompression, "bmp"},
        {"BMP Color Table", &S::bmpColorTable, "bmp"},
        {"DDS BPP", &S::ddsBpp, "dds"},
        {"EXR BPP", &S::exrBpp, "exr"},
        {"EXR Compression", &S::exrCompression, "exr"},
        {"GIF BPP", &S::gifBpp, "gif"},
        {"HDR BPP", &S::hdrBpp, "hdr"},
        {"ICO BPP", &S::icoBpp, "ico"},
        {"J2K BPP", &S::j2kBpp, "j2k"},
        {"JNG BPP", &S::jngBpp, "jng"},
        {"JP2 BPP", &S::jp2Bpp, "jp2"},
        {"JPG BPP", &S::jpgBpp, "jpg"},
        {"JPG Quality", &S::jpgQuality, "jpg"},
        {"JPG Chroma", &S::jpgChroma, "jpg"},
        {"JPG Save As", &S::jpgSaveAs, "jpg"},
        {"JXR BPP", &S::jxrBpp, "jxr"},
        {"PBM BPP", &S::pbmBpp, "pbm"},
        {"PCX BPP", &S::pcxBpp, "pcx"},
        {"PFM BPP", &S::pfmBpp, "pfm"},
        {"PGM BPP", &S::pgmBpp, "pgm"},
        {"PNG BPP", &S::pngBpp, "png"},
        {"PNG Compression", &S::pngCompression, "png"},
        {"PNG Interlaced", &S::pngInterlaced, "png"},
        {"PPM BPP", &S::ppmBpp, "ppm"},
        {"PSD BPP", &S::psdBpp, "psd"},
        {"TGA BPP", &S::tgaBpp, "tga"},
        {"TGA Compression", &S::tgaCompression, "tga"},
        {"TIFF BPP", &S::tiffBpp, "tiff"},
        {"TIFF Compression", &S::tiffCompression, "tiff"},
        {"TIFF Color Mode", &S::tiffColorMode, "tiff"},
        {"WBMP BPP", &S::wbmpBpp, "wbmp"},
        {"WEBP BPP", &S::webpBpp, "webp"},
        {"WEBP Quality", &S::webpQuality, "webp"},
        {"XPM BPP", &S::xpmBpp, "xpm"}}},
      {"Transform",
       {{"Do Image Rotation", &S::doRotation, nullptr, true},
        {"Image Rotation Type", &S::rotationType},
        {"Image Rotation", &S::rotation},
        {"Image Rotation Back Color", &S::rotationBackColor},
        {"Do Image Resize", &S::doResize, nullptr, true},
        {"Image Width", &S::width},
        {"Image Width Unit", &S::widthUnit},
        {"Image Height", &S::height},
        {"Image Height Unit", &S::heightUnit},
        {"Keep Aspect Ratio", &S::keepAspectRatio, nullptr, true},
        {"Image Resize Type", &S::resizeType},
        {"Image Resize Algorithm", &S::resizeAlgorithm},
        {"Do Image Flip Horizontal", &S::flipHorizontal, nullptr, true},
        {"Do Image Flip Vertical", &S::flipVertical, nullptr, true}}},
      {"Adjustment",
       {{"Do Image Color Correction", &S::doColorCorrection, nullptr, true},
        {"Image Brightness", &S::brightness},
        {"Image Contrast", &S::contrast},
        {"Image Gamma", &S::gamma},
        {"Image Invert", &S::invert, nullptr, true},
        {"Do Image Greyscale", &S::doGreyscale, nullptr, true},
        {"Do Image Threshold", &S::doThreshold, nullptr, true},
        {"Image Threshold", &S::threshold},
        {"Do Image Dither", &S::doDither, nullptr, true},
        {"Image Dither Algorithm", &S::ditherAlgorithm}}},
      {"Frame",
       {{"Do Frame", &S::frameType},
        {"Solid Left", &S::solidLeft},
        {"Solid Right", &S::solidRight},
        {"Solid Top", &S::solidTop},
        {"Solid Bottom", &S::solidBottom},
        {"Solid Left Color", &S::solidLeftColor},
        {"Solid Right Color", &S::solidRightColor},
        {"Solid Top Color", &S::solidTopColor},
        {"Solid Bottom Color", &S::solidBottomColor},
        {"Solid Opacity", &S::solidOpacity}}},
      {"Watermark",
       {{"Do Watermark", &S::watermarkType},
        {"Text", &S::wmText},
        {"Fonts", &S::wmFonts},
        {"Font", &S::wmFont},
        {"Font Size", &S::wmFontSize},
        {"Font Leading", &S::wmFontLeading},
        {"Font Colors", &S::wmFontColors},
        {"Font Color", &S::wmFontColor},
        {"Font Style", &S::wmFontStyle},
        {"Font Effect", &S::wmFontEffect},
        {"Text Antialiasing", &S::wmTextAntialiasing},
        {"Text Alignment", &S::wmTextAlignment},
        {"Text Padding", &S::wmTextPadding},
        {"Text Opacity", &S::wmTextOpacity},
        {"Back Colors", &S::wmBackColors},
        {"Back Color", &S::wmBackColor},
        {"Back Opacity", &S::wmBackOpacity},
        {"Text Boundary", &S::wmTextBoundary},
        {"Text Position", &S::wmTextPosition},
        {"Text X Offset", &S::wmTextXOffset},
        {"Text Y Offset", &S::wmTextYOffset},
        {"Text Rotation", &S::wmTextRotation},
        {"Text Size", &S::wmTextSize},
        {"Text Scale", &S::wmTextScale},
        {"Image", &S::wmImage},
        {"Image Greyscale", &S::wmImageGreyscale, nullptr, true},
        {"Image Opacity", &S::wmImageOpacity},
        {"Image Boundary", &S::wmImageBoundary},
        {"Image Position", &S::wmImagePosition},
        {"Image X Offset", &S::wmImageXOffset},
        {"Image Y Offset", &S::wmImageYOffset},
        {"Image Rotation", &S::wmImageRotation},
        {"Image Size", &S::wmImageSize},
        {"Image Scale", &S::wmImageScale}}},
      {"Advanced",
       {{"Filename Mask", &S::filenameMask},
        {"File Timestamp", &S::fileTimestamp},
        {"Custom Timestamp", &S::customTimestamp},
        {"Out Folders History", &S::outFoldersHistory},
        {"Out Folders Number", &S::outFoldersNumber},
        {"Keep Subfolders", &S::keepSubfolders, nullptr, true},
        {"Threads", &S::threads},
        {"Dry Run", &S::dryRun, nullptr, true},
        {"Report File", &S::reportFile}}},
      {"File", {{"Recent Out Folders", &S::recentOutFolders}, {"Recent Files", &S::recentFiles}}},
      {"Privacy", {{"Clean Recent Files", &S::cleanRecentFiles, nullptr, true}}},
  };
  return groups;
}

std::string gPath;
bool gPathKnown = false;

/// Reads one key into its field, the field's current value being the
/// default. Small fields keep the nearest value they can hold.
void readKey(const SettingsFileReader& reader, const Key& key) {
  std::visit(
      [&](auto member) {
        using T = std::remove_reference_t<decltype(settings.*member)>;
        T& field = settings.*member;
        if constexpr (std::is_same_v<T, std::string>) {
          field = reader.readText(key.name, field);
        } else if constexpr (std::is_same_v<T, float>) {
          field = static_cast<float>(reader.readReal(key.name, field));
        } else {
          int32_t value = reader.readInteger(key.name, field);
          if (key.boolean) value = value != 0 ? 1 : 0;
          field = static_cast<T>(std::clamp<int32_t>(value, std::numeric_limits<T>::min(),
                                                     std::numeric_limits<T>::max()));
        }
      },
      key.field);
}

void writeKey(SettingsFileWriter& writer, const Key& key) {
  std::visit(
      [&](auto member) {
        using T = std::remove_reference_t<decltype(settings.*member)>;
        const T& field = settings.*member;
        if constexpr (std::is_same_v<T, std::string>)
          writer.writeText(key.name, field);
        else if constexpr (std::is_same_v<T, float>)
          writer.writeReal(key.name, field);
        else
          writer.writeInteger(key.name, field);
      },
      key.field);
}

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  if (const passwd* user = getpwuid(getuid()); user && user->pw_dir && *user->pw_dir) return user->pw_dir;
  return "";
}

/// Creates `folder` and every missing folder above it.
bool makeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    struct stat info {};
    if (!part.empty() && stat(part.c_str(), &info) != 0 && mkdir(part.c_str(), 0700) != 0) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string computePath() {
  std::string base;
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules say.
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
    base = config;
  } else {
    const std::string home = homeFolder();
    if (home.empty()) return "";
    base = home + "/.config";
  }
  if (base.back() != '/') base += '/';
  const std::string folder = base + "Pixmundo/trovabild/";
  makeFolders(folder.substr(0, folder.size() - 1));
  return folder + "config.ini";
}

std::vector<std::string> splitTabs(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t tab = text.find('\t', start);
    parts.push_back(text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return parts;
}

uint32_t crcOfUpper(const std::string& text) {
  // Unicode upper case from GLib: the same whatever the process locale.
  const std::string valid = utf8OrLatin1(text);
  gchar* upper = g_utf8_strup(valid.data(), static_cast<gssize>(valid.size()));
  const uint32_t crc = crc32Of(upper ? std::string(upper) : valid);
  g_free(upper);
  return crc;
}

}  // namespace

const std::string& preferencesPath() {
  if (!gPathKnown) {
    gPath = computePath();
    gPathKnown = true;
  }
  return gPath;
}

void setPreferencesPath(const std::string& path) {
  gPath = path;
  gPathKnown = !path.empty();
}

void LoadPreferences() {
  int width = 0, height = 0;
  const wxDisplay primary;
  if (primary.IsOk()) {
    width = primary.GetGeometry().GetWidth();
    height = primary.GetGeometry().GetHeight();
  }
  loadPreferencesFrom(preferencesPath(), width, height);
}

void loadPreferencesFrom(const std::string& path, int displayWidth, int displayHeight) {
  resetSettings(false);
  SettingsFileReader reader;
  if (path.empty() || !reader.openSettingsFile(path)) {
    // First run: the defaults, the window centred on the primary display.
    settings.configVersion = kConfigVersion;
    settings.windowWidth = kFirstRunWidth;
    settings.windowHeight = kFirstRunHeight;
    settings.windowX = displayWidth > kFirstRunWidth ? (displayWidth - kFirstRunWidth) / 2 : kFirstRunPosition;
    settings.windowY = displayHeight > kFirstRunHeight ? (displayHeight - kFirstRunHeight) / 2 : kFirstRunPosition;
    return;
  }

  reader.selectGroup("General");
  settings.configVersion = reader.readInteger("CFG", 0);
  for (const Group& group : layout()) {
    reader.selectGroup(group.name);
    for (const Key& key : group.keys) readKey(reader, key);
  }

  // Files written by older versions.
  if (settings.configVersion < 11 && settings.filenameMask.find("%ext%") == std::string::npos)
    settings.filenameMask += ".%ext%";
  if (settings.configVersion < 14 && settings.rawLoadAs != 0) settings.rawLoadAs += 2;
  if (settings.configVersion < 19) {
    reader.selectGroup("Input");
    if (const int32_t mode = reader.readInteger("PSD Color Model", 0); mode != 0) settings.psdColorMode = mode;
    reader.selectGroup("Output");
    if (const int32_t mode = reader.readInteger("TIFF Color Model", 0); mode != 0) settings.tiffColorMode = mode;
  }
}

bool SavePreferences() { return savePreferencesTo(preferencesPath()); }

bool savePreferencesTo(const std::string& path) {
  if (path.empty()) return false;
  // Write through a link to the file it names, so a linked config.ini stays linked.
  std::string target = path;
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    if (char* resolved = realpath(path.c_str(), nullptr)) {
      target = resolved;
      std::free(resolved);
    }
  }
  SettingsFileWriter writer;
  // The writer puts a complete, synced file in place, or leaves the old one.
  bool ok = writer.createSettingsFile(target);
  if (ok) {
    for (const Group& group : layout()) {
      writer.writeGroup(group.name);
      if (std::string_view(group.name) == "General") writer.writeInteger("CFG", kConfigVersion);
      const bool formatGroup = std::string_view(group.name) == "Input" || std::string_view(group.name) == "Output";
      if (std::string_view(group.name) == "Window" && !settings.saveWindowPosition) {
        writer.writeGroupEnd();
        continue;
      }
      if (formatGroup) {
        const auto& formats = std::string_view(group.name) == "Input" ? job.inputFormats : job.outputFormats;
        writeKey(writer, group.keys.front());
        for (const std::string& format : formats)
          for (const Key& key : group.keys)
            if (key.format && format == key.format) writeKey(writer, key);
        // Then what holds for every format.
        for (size_t i = 1; i < group.keys.size(); ++i)
          if (!group.keys[i].format) writeKey(writer, group.keys[i]);
      } else {
        for (const Key& key : group.keys) writeKey(writer, key);
      }
      writer.writeGroupEnd();
    }
    ok = writer.closeSettingsFile();
  }
  return ok;
}

void AddRecentOutputFolder(const std::string& folder) {
  if (folder.empty()) return;
  const size_t limit = settings.outFoldersNumber > 0 ? static_cast<size_t>(settings.outFoldersNumber) : 0;
  const uint32_t newCrc = crcOfUpper(folder);
  std::string list = folder;
  size_t count = 1;
  const std::vector<std::string> old = splitTabs(settings.recentOutFolders);
  for (size_t i = 0; i < old.size() && i < limit; ++i) {
    if (old[i].empty() || count >= limit || crcOfUpper(old[i]) == newCrc) continue;
    list += '\t';
    list += old[i];
    ++count;
  }
  settings.recentOutFolders = list;
}

std::string RecentOutputFolder(int index) {
  if (index < 0) return "";
  const std::vector<std::string> parts = splitTabs(settings.recentOutFolders);
  if (static_cast<size_t>(index) >= parts.size()) return "";
  const std::string& entry = parts[static_cast<size_t>(index)];
  const size_t first = entry.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return entry.substr(first, entry.find_last_not_of(' ') - first + 1);
}

uint32_t crc32Of(const std::string& text) {
  static const auto table = [] {
    std::array<uint32_t, 256> entries{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
    return entries;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : text) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

}  // namespace trovabild
