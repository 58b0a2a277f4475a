#pragma once
// The desktop window's preferences file: config.ini under
// $XDG_CONFIG_HOME (else ~/.config) /Pixmundo/trovabild/.

#include <cstdint>
#include <string>

namespace trovabild {

/// Full path of config.ini, computed (and its folders created) on first use
/// and kept for the run. "" when no home folder can be determined.
const std::string& preferencesPath();
/// Replaces the path for the rest of the run (tests point it into a
/// temporary folder; "" makes the next call compute it again).
void setPreferencesPath(const std::string& path);

/// Loads config.ini into `settings`. A missing or unreadable file gives the
/// window defaults with the window centred on the primary display; older
/// layouts are upgraded. Needs the toolkit only for the display size.
void LoadPreferences();
/// As LoadPreferences, from `path`, with the display size given (first-run
/// window position) instead of asked of the toolkit.
void loadPreferencesFrom(const std::string& path, int displayWidth, int displayHeight);

/// Writes every preference to config.ini: to a temporary file in the same
/// folder, then renamed over the old file. False when it could not be
/// written (the window ignores that; the old file stays intact).
bool SavePreferences();
bool savePreferencesTo(const std::string& path);

/// Puts `folder` at the head of the recent output folders (TAB-separated,
/// newest first), dropping an older entry equal to it regardless of letter
/// case and keeping at most `settings.outFoldersNumber` entries.
void AddRecentOutputFolder(const std::string& folder);
/// The recent output folder at a 0-based index, trimmed of blanks; "" past
/// the end.
std::string RecentOutputFolder(int index);

/// CRC-32 (IEEE, as zip uses it) of the bytes of `text`.
uint32_t crc32Of(const std::string& text);

}  // namespace trovabild
