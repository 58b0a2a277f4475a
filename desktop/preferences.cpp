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
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "settings/setting_table.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace trovabild {

namespace {

constexpr int32_t kConfigVersion = 19;
constexpr int kFirstRunWidth = 510;
constexpr int kFirstRunHeight = 330;
constexpr int kFirstRunPosition = 100;

struct Group {
  const char* name;
  std::vector<const SettingRow*> keys;
};

// Every group and key in the order the file is written: the settings table's
// rows that have a key, grouped in the order the groups first appear.
const std::vector<Group>& layout() {
  static const std::vector<Group> groups = [] {
    std::vector<Group> result;
    for (const SettingRow& declared : settingTable()) {
      const char* name = declared.preferences.group;
      if (name == nullptr) continue;
      auto group = std::find_if(result.begin(), result.end(),
                                [name](const Group& g) { return std::string_view(g.name) == name; });
      if (group == result.end()) group = result.insert(result.end(), Group{name, {}});
      group->keys.push_back(&declared);
    }
    return result;
  }();
  return groups;
}

std::string gPath;
bool gPathKnown = false;

/// Reads one key into its field, the field's current value being the
/// default. Small fields keep the nearest value they can hold.
void readKey(const SettingsFileReader& reader, const SettingRow& declared) {
  const char* key = declared.preferences.key;
  std::visit(
      [&](auto member) {
        using T = std::remove_reference_t<decltype(settings.*member)>;
        T& field = settings.*member;
        if constexpr (std::is_same_v<T, std::string>) {
          field = reader.readText(key, field);
        } else if constexpr (std::is_same_v<T, float>) {
          field = static_cast<float>(reader.readReal(key, field));
        } else {
          int32_t value = reader.readInteger(key, field);
          if (declared.preferences.boolean) value = value != 0 ? 1 : 0;
          field = static_cast<T>(std::clamp<int32_t>(value, std::numeric_limits<T>::min(),
                                                     std::numeric_limits<T>::max()));
        }
      },
      declared.field);
}

void writeKey(SettingsFileWriter& writer, const SettingRow& declared) {
  const char* key = declared.preferences.key;
  std::visit(
      [&](auto member) {
        using T = std::remove_reference_t<decltype(settings.*member)>;
        const T& field = settings.*member;
        if constexpr (std::is_same_v<T, std::string>)
          writer.writeText(key, field);
        else if constexpr (std::is_same_v<T, float>)
          writer.writeReal(key, field);
        else
          writer.writeInteger(key, field);
      },
      declared.field);
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
    for (const SettingRow* key : group.keys) readKey(reader, *key);
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
        // The format first, then the keys of each format the product has,
        // then what holds for every format.
        const auto& formats = std::string_view(group.name) == "Input" ? job.inputFormats : job.outputFormats;
        writeKey(writer, *group.keys.front());
        for (const std::string& format : formats)
          for (const SettingRow* key : group.keys)
            if (key->format && format == key->format) writeKey(writer, *key);
        for (size_t i = 1; i < group.keys.size(); ++i)
          if (!group.keys[i]->format) writeKey(writer, *group.keys[i]);
      } else {
        for (const SettingRow* key : group.keys) writeKey(writer, *key);
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
