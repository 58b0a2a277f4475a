#include "desktop/themes.h"

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>

#include "base/program_data.h"
#include "base/text.h"
#include "settings/settings.h"

namespace trovabild {

namespace {

#include "desktop/themes_builtin.inc"

// Bounds on what a theme package may make the program read into memory.
constexpr la_int64_t kMaxEntryBytes = 8 << 20;
constexpr size_t kMaxPackageBytes = 64 << 20;
constexpr size_t kThemeNameBytes = 255;

std::vector<ThemeInfo> gThemes;
std::string gThemesFolderOverride;
std::array<std::map<std::string, wxImage>, 3> gImages;
bool gImagesReady = false;

size_t findNoCase(const std::string& text, const std::string& what, size_t from) {
  if (from > text.size()) return std::string::npos;
  const auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), what.begin(), what.end(),
                              [](char a, char b) {
                                return std::tolower(static_cast<unsigned char>(a)) ==
                                       std::tolower(static_cast<unsigned char>(b));
                              });
  return it == text.end() && !what.empty() ? std::string::npos : static_cast<size_t>(it - text.begin());
}

bool isRegularFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string programFolder() { return job.programFolder.empty() ? executableFolder() : job.programFolder; }

/// The entries of a zip package that a theme can use: theme.cfg and the
/// PNG files, by name. Entries that are empty, too large or unreadable are
/// left out.
struct Package {
  std::string cfg;
  std::map<std::string, std::string> files;
  bool opened = false;
};

struct ArchiveCloser {
  void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveCloser>;

ArchivePtr newZipReader() {
  ArchivePtr reader(archive_read_new());
  if (reader) archive_read_support_format_zip(reader.get());
  return reader;
}

/// Reads the entry the reader stands at, up to `limit` bytes; false when
/// the data is damaged.
bool readEntry(archive* reader, std::string& data, size_t limit) {
  data.clear();
  char buffer[16384];
  for (;;) {
    const la_ssize_t got = archive_read_data(reader, buffer, sizeof buffer);
    if (got < 0) return false;
    if (got == 0) return true;
    const size_t room = limit - std::min(limit, data.size());
    data.append(buffer, std::min(room, static_cast<size_t>(got)));
    if (data.size() >= limit) return true;
  }
}

bool isThemeCfg(const std::string& name) { return lowerAscii(name) == "theme.cfg"; }

/// Reads a package. With `cfgOnly`, only the first `cfgLimit` bytes of
/// theme.cfg are taken.
Package readPackage(archive* reader, bool cfgOnly, size_t cfgLimit) {
  Package package;
  package.opened = true;
  size_t total = 0;
  archive_entry* entry = nullptr;
  for (;;) {
    const int status = archive_read_next_header(reader, &entry);
    if (status == ARCHIVE_EOF) break;
    if (status < ARCHIVE_WARN) {
      if (package.files.empty() && package.cfg.empty() && total == 0) package.opened = false;
      break;
    }
    const char* rawName = archive_entry_pathname(entry);
    if (!rawName || archive_entry_filetype(entry) != AE_IFREG) continue;
    const std::string name = rawName;
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > kMaxEntryBytes) continue;
    if (isThemeCfg(name)) {
      if (!package.cfg.empty()) continue;
      std::string text;
      if (readEntry(reader, text, cfgOnly ? cfgLimit : static_cast<size_t>(kMaxEntryBytes))) package.cfg = text;
      if (cfgOnly) break;
      total += text.size();
      continue;
    }
    if (cfgOnly || lowerAscii(name).find(".png") == std::string::npos) continue;
    std::string data;
    if (!readEntry(reader, data, static_cast<size_t>(kMaxEntryBytes)) || data.empty()) continue;
    total += data.size();
    if (total > kMaxPackageBytes) break;
    package.files.emplace(name, std::move(data));
  }
  return package;
}

Package readPackageFile(const std::string& path, bool cfgOnly, size_t cfgLimit) {
  ArchivePtr reader = newZipReader();
  if (!reader || archive_read_open_filename(reader.get(), path.c_str(), 16384) != ARCHIVE_OK) return {};
  return readPackage(reader.get(), cfgOnly, cfgLimit);
}

const Package& builtinPackage() {
  static const Package package = [] {
    ArchivePtr reader = newZipReader();
    if (!reader || archive_read_open_memory(reader.get(), kBuiltinTheme, sizeof kBuiltinTheme) != ARCHIVE_OK)
      return Package{};
    return readPackage(reader.get(), false, 0);
  }();
  return package;
}

bool decodePng(const std::string& data, wxImage& image) {
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  wxLogNull quiet;  // a damaged picture keeps the old image; no message box
  wxMemoryInputStream stream(data.data(), data.size());
  wxImage decoded;
  if (!decoded.LoadFile(stream, wxBITMAP_TYPE_PNG) || !decoded.IsOk() || decoded.GetWidth() <= 0) return false;
  image = decoded;
  return true;
}

const std::string* findFile(const Package& package, const std::string& name) {
  const auto exact = package.files.find(name);
  if (exact != package.files.end()) return &exact->second;
  // Packages made on systems that ignore letter case.
  const std::string lower = lowerAscii(name);
  for (const auto& [entry, data] : package.files)
    if (lowerAscii(entry) == lower) return &data;
  return nullptr;
}

/// Puts the package's images of one set into the set's map. Icons come at
/// the size the set shows, so a package with a wrong-sized picture cannot
/// break a menu or toolbar row.
void applyPackage(const Package& package, ThemeSet set) {
  const int selector = set == ThemeSet::toolbarIcons ? themeIconPixels(settings.uiSize) : 16;
  const std::string group = set == ThemeSet::buttons ? "Buttons" : "Icons";
  auto& images = gImages[static_cast<size_t>(set)];
  for (const std::string& name : themeImageNames(set)) {
    std::string file = ThemeValue(package.cfg, group, name);
    if (lowerAscii(file).find(".png") == std::string::npos) file += "_" + std::to_string(selector) + ".png";
    const std::string* data = findFile(package, file);
    wxImage image;
    if (!data || !decodePng(*data, image)) continue;
    if (set != ThemeSet::buttons && (image.GetWidth() != selector || image.GetHeight() != selector))
      image.Rescale(selector, selector, wxIMAGE_QUALITY_HIGH);
    images[name] = image;
  }
}

}  // namespace

const std::vector<std::string>& themeImageNames(ThemeSet set) {
  static const std::vector<std::string> buttons{"Convert", "InFiles", "InFolder"};
  static const std::vector<std::string> icons{"New", "Add", "InFiles", "InFolder", "OutFolder", "OutFormat",
                                              "FavFolder", "ImportFiles", "ExportFiles", "Exit", "Copy",
                                              "Delete", "SelectAll", "Convert", "Error", "Preferences",
                                              "CustomConverter", "Help", "Email", "Web", "Updates", "About"};
  return set == ThemeSet::buttons ? buttons : icons;
}

int themeIconPixels(int uiSize) {
  static const int kPixels[] = {16, 24, 32, 48, 64};
  return kPixels[std::clamp(uiSize, 0, 4)];
}

wxBitmap themeImage(ThemeSet set, const std::string& name) {
  if (!gImagesReady) loadBuiltinImages(true, true, true);
  const auto& images = gImages[static_cast<size_t>(set)];
  const auto found = images.find(name);
  if (found == images.end() || !found->second.IsOk()) return wxBitmap();
  return wxBitmap(found->second);
}

const std::vector<ThemeInfo>& themeList() { return gThemes; }

std::string themesFolder() {
  if (!gThemesFolderOverride.empty()) return gThemesFolderOverride;
  const std::string folder = findProgramData(programFolder(), "gfx", "gfx", true);
  return folder.empty() ? "" : folder + "/";
}

void setThemesFolder(const std::string& folder) {
  gThemesFolderOverride = folder;
  if (!folder.empty() && folder.back() != '/') gThemesFolderOverride += '/';
}

std::string manualIndexPath() {
  return findProgramData(programFolder(), "manual/index.html", "docs/manual/index.html", false);
}

void ScanThemes() {
  gThemes.clear();
  const std::string folder = themesFolder();
  if (folder.empty()) return;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() > 4 && lowerAscii(name.substr(name.size() - 4)) == ".zip" && isRegularFile(folder + name))
      names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    ThemeInfo theme;
    theme.id = name.substr(0, name.size() - 4);
    const Package package = readPackageFile(folder + name, true, kThemeNameBytes);
    theme.name = package.opened ? ThemeValue(package.cfg, "Theme", "Name") : theme.id;
    gThemes.push_back(std::move(theme));
  }
}

void loadBuiltinImages(bool buttons, bool menuIcons, bool toolbarIcons) {
  const bool flags[] = {buttons, menuIcons, toolbarIcons};
  for (size_t set = 0; set < 3; ++set)
    if (flags[set]) {
      gImages[set].clear();
      applyPackage(builtinPackage(), static_cast<ThemeSet>(set));
    }
  gImagesReady = true;
}

void LoadTheme(bool buttons, bool menuIcons, bool toolbarIcons) {
  // Each flagged set starts from the built-in images, so a picture that the
  // theme lacks never shows the previous theme's (or size's) picture.
  loadBuiltinImages(buttons, menuIcons, toolbarIcons);
  const std::string folder = themesFolder();
  // A theme is a package in the themes folder, never a path elsewhere.
  const bool plainName = !settings.uiTheme.empty() && settings.uiTheme.find('/') == std::string::npos;
  std::string path = folder + settings.uiTheme + ".zip";
  if ((!plainName || !isRegularFile(path)) && !gThemes.empty()) {
    settings.uiTheme = gThemes.front().id;
    path = folder + settings.uiTheme + ".zip";
  }
  if (folder.empty() || !isRegularFile(path)) return;
  const Package package = readPackageFile(path, false, 0);
  if (!package.opened) return;
  const bool flags[] = {buttons, menuIcons, toolbarIcons};
  for (size_t set = 0; set < 3; ++set)
    if (flags[set]) applyPackage(package, static_cast<ThemeSet>(set));
}

std::string ThemeValue(const std::string& text, const std::string& group, const std::string& key) {
  const size_t header = findNoCase(text, "[" + group + "]", 0);
  if (header == std::string::npos) return "";
  size_t sectionEnd = text.find('[', header + 1);
  if (sectionEnd == std::string::npos) sectionEnd = text.size();
  const size_t match = findNoCase(text, "\r\n" + key, header);
  if (match == std::string::npos || match >= sectionEnd) return "";
  const size_t lineStart = match + 2;
  size_t lineEnd = text.find("\r\n", lineStart);
  if (lineEnd == std::string::npos) lineEnd = text.size();
  const std::string line = text.substr(lineStart, lineEnd - lineStart);
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return "";
  const size_t next = line.find('=', equals + 1);
  std::string value = line.substr(equals + 1, next == std::string::npos ? std::string::npos : next - equals - 1);
  const char* const kTrim = " \t\r\n";
  const size_t first = value.find_first_not_of(kTrim);
  if (first == std::string::npos) return "";
  return value.substr(first, value.find_last_not_of(kTrim) - first + 1);
}

}  // namespace trovabild
