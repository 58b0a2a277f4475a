#include "desktop/preferences.h"

#include "settings/settings.h"

namespace trovabild {

static std::string gPreferencesPath;

const std::string& preferencesPath() { return gPreferencesPath; }
void setPreferencesPath(const std::string& path) { gPreferencesPath = path; }
void LoadPreferences() { resetSettings(false); }
void loadPreferencesFrom(const std::string&, int, int) { resetSettings(false); }
bool SavePreferences() { return false; }
bool savePreferencesTo(const std::string&) { return false; }
void AddRecentOutputFolder(const std::string&) {}
std::string RecentOutputFolder(int) { return ""; }
uint32_t crc32Of(const std::string&) { return 0; }

}  // namespace trovabild
