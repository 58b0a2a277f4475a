#include "cli/profile.h"

#include <cctype>

#include "cli/options.h"
#include "settings/settings_file.h"

namespace trovabild {

bool applyProfile(const std::string& fileName) {
  if (fileName.empty()) return false;
  SettingsFileReader reader;
  // Only the group that is applied is kept in memory.
  if (!reader.openSettingsFile(fileName, "CLI")) return false;
  if (!reader.selectGroup("CLI")) return true;
  while (auto entry = reader.nextKey()) {
    std::string name = entry->first;
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const OptionSpec* option = findOption(name, true);
    if (option == nullptr) continue;
    std::string value = entry->second;
    // Only a row that says so loses its quotes (the filename mask); other
    // texts keep them.
    if (option->setting->option.profileUnquoted) {
      const size_t first = value.find_first_not_of('"');
      value = first == std::string::npos ? "" : value.substr(first, value.find_last_not_of('"') - first + 1);
    }
    applyOption(*option, value);
  }
  return true;
}

}  // namespace trovabild
