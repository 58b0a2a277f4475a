// The settings table walked row by row: each row must agree with itself and
// with the readers that take it (option parser, profiles, run plan checks
// and listing), so a row added wrongly fails here and not in a user's run.

#include "settings/setting_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "base/text.h"
#include "batch/input_list.h"
#include "batch/run_plan.h"
#include "cli/options.h"
#include "cli/profile.h"
#include "imaging/format_registry.h"
#include "settings/vocabulary.h"
#include "tests/support/test_support.h"

namespace trovabild {
namespace {

using testing::TempDir;

std::string text(const char* value) { return value != nullptr ? value : ""; }

// A value unlike the row's default, spelt as an option takes it and as the
// settings listing shows it (a word in lower case, a decimal with two
// decimals); flags show what they store.
std::string sampleValue(const SettingRow& declared) {
  switch (declared.type) {
    case SettingType::number: {
      // Inside the range where the row has one, so no check refuses it.
      int value = std::isfinite(declared.range.high) ? static_cast<int>(declared.range.high) : 37;
      if (value == static_cast<int>(declared.number)) value = static_cast<int>(declared.range.low);
      return std::to_string(value);
    }
    case SettingType::decimal: return "2.50";
    case SettingType::word: {
      // The last word of the list (of the row's own format for compression).
      std::string last;
      for (int code = 0;; ++code) {
        const std::string word = keywordWord(declared.words, code, text(declared.format));
        if (word.empty()) break;
        last = word;
      }
      return lowerAscii(last);
    }
    case SettingType::text:
      if (declared.check.kind == ValueCheck::colour) return "00FF7F";
      if (declared.check.kind == ValueCheck::staysInFolder) return "%n%_%filename%.%ext%";
      return "Seven Words Here";
    case SettingType::flag: return std::to_string(declared.option.flagValue);
  }
  return "";
}

// The field's value as the listing shows a plain value.
std::string shownValue(const SettingRow& declared, const Settings& s) {
  return std::visit(
      [&](auto member) -> std::string {
        using Value = std::remove_cvref_t<decltype(s.*member)>;
        if constexpr (std::is_same_v<Value, std::string>) {
          return s.*member;
        } else if constexpr (std::is_same_v<Value, float>) {
          char buffer[32];
          std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(s.*member));
          return buffer;
        } else {
          if (declared.type == SettingType::word) return lowerAscii(keywordWord(declared.words, s.*member, text(declared.format)));
          return std::to_string(s.*member);
        }
      },
      declared.field);
}

class SettingTable : public ::testing::Test {
 protected:
  void SetUp() override {
    fillFormatRegistry();
    resetJob();
    resetSettings(true);
    mkdir((dir_ / "out").c_str(), 0777);
  }

  // A console run that passes every check unless a value under test breaks
  // it: the resize has a size, so a row listed after it is reached.
  static void passingRun() {
    resetSettings(true);
    settings.width = 16;
    settings.height = 16;
  }

  // The listing of a console run of `settings` that writes `extension`
  // from `inputType`, and how it ended.
  std::pair<std::vector<std::pair<std::string, std::string>>, RunPreparation> listing(
      const std::string& extension = "jpg", const std::string& inputType = "ico") const {
    std::vector<std::pair<std::string, std::string>> lines;
    RunRequest request;
    request.outputFolder = dir_ / "out";
    request.outputExtension = extension;
    request.outputFormats = {extension};
    request.inputType = inputType;
    request.listing = [&lines](std::string_view label, const std::string& value) {
      lines.emplace_back(std::string(label), value);
    };
    RunPreparation prepared = prepareRun(settings, request);
    return {lines, std::move(prepared)};
  }

  // Makes the row's listing condition hold.
  static void showRow(const SettingRow& declared, std::string& extension, std::string& inputType) {
    const SettingListing& listing = declared.listing;
    if (listing.when == ListedWhen::switchedOn) settings.*listing.switchField = listing.switchValue;
    if (listing.when == ListedWhen::inputFormat) inputType = text(declared.format);
    if (listing.when == ListedWhen::outputFormat) extension = text(declared.format);
  }

  TempDir dir_;
};

TEST_F(SettingTable, NamesFieldsOptionsAndKeysAreUnique) {
  std::set<std::string> names, options, profileNames, keys;
  std::vector<SettingField> fields;
  for (const SettingRow& declared : settingTable()) {
    SCOPED_TRACE(declared.name);
    EXPECT_TRUE(names.insert(declared.name).second) << "name twice";
    for (const SettingField& field : fields) {
      EXPECT_FALSE(field == declared.field) << "field twice";
    }
    fields.push_back(declared.field);
    if (declared.option.name != nullptr) {
      const std::string option = declared.option.name;
      EXPECT_EQ(option, upperAscii(option));
      EXPECT_TRUE(option.starts_with("--"));
      EXPECT_TRUE(options.insert(option).second) << "option twice";
      const char* profileName = declared.option.profileName ? declared.option.profileName : declared.option.name;
      EXPECT_TRUE(profileNames.insert(profileName).second) << "profile key twice";
    }
    // The file's reader matches groups and keys without regard to case.
    if (declared.preferences.group != nullptr) {
      EXPECT_TRUE(keys.insert(upperAscii(text(declared.preferences.group) + "/" + text(declared.preferences.key))).second)
          << "preferences key twice";
    }
    // Rows refer to each other by name.
    for (const char* other : {declared.listing.companion, declared.listing.after, declared.manual.joins, declared.manual.before}) {
      if (other == nullptr) continue;
      EXPECT_NE(findSetting(other), nullptr) << other;
    }
    // The manual's option tables show options, each with its meaning.
    if (declared.manual.section != nullptr || declared.manual.joins != nullptr) {
      EXPECT_NE(declared.option.name, nullptr) << "in the manual without an option";
    }
    if (declared.manual.section != nullptr) {
      EXPECT_NE(declared.manual.meaning, nullptr) << "in the manual without a meaning";
    }
    if (declared.type == SettingType::word) {
      EXPECT_FALSE(keywordList(declared.words).empty()) << "word row without words";
    }
    if (declared.listing.when == ListedWhen::inputFormat || declared.listing.when == ListedWhen::outputFormat) {
      EXPECT_NE(declared.format, nullptr) << "listed by a format it does not name";
    }
    if (declared.check.kind != ValueCheck::none) {
      EXPECT_TRUE(text(declared.check.error).starts_with("Error: "));
    }
  }
}

TEST_F(SettingTable, DefaultsLieInTheirRanges) {
  for (const bool commandLine : {true, false}) {
    const Settings defaults = defaultSettings(commandLine);
    for (const SettingRow& declared : settingTable()) {
      SCOPED_TRACE(declared.name);
      EXPECT_TRUE(withinRange(declared, defaults));
      if (declared.check.kind == ValueCheck::range) {
        EXPECT_TRUE(std::isfinite(declared.range.low) && std::isfinite(declared.range.high));
      }
      // A word's default is one of its words.
      if (declared.type == SettingType::word) {
        EXPECT_NE(keywordWord(declared.words, integerValue(declared, defaults), text(declared.format)), "");
      }
    }
  }
}

// Each option sets its row's field (and switches its step on), under its own
// name on the command line and under its profile name in a profile; the
// listing then shows the value as the option spelt it.
TEST_F(SettingTable, EveryOptionParsesIntoItsFieldAndIsListedBack) {
  for (const SettingRow& declared : settingTable()) {
    if (declared.option.name == nullptr) continue;
    SCOPED_TRACE(declared.option.name);
    const std::string value = sampleValue(declared);
    const std::string parameter =
        lowerAscii(declared.option.name) + (declared.type == SettingType::flag ? "" : "=" + value);

    passingRun();
    RunFlags flags;
    ASSERT_EQ(parseOptions({parameter}, flags), "");
    EXPECT_TRUE(flags.warnings.empty());
    EXPECT_EQ(shownValue(declared, settings), value);
    if (declared.option.switchField != nullptr) {
      EXPECT_EQ(settings.*declared.option.switchField, declared.option.switchValue);
    }
    const Settings parsed = settings;

    passingRun();
    const std::string profileKey = text(declared.option.profileName ? declared.option.profileName : declared.option.name);
    testing::writeText(dir_ / "profile.ini", "[CLI]\n" + lowerAscii(profileKey) + " = " + value + "\n");
    ASSERT_TRUE(applyProfile(dir_ / "profile.ini"));
    EXPECT_EQ(shownValue(declared, settings), value) << "through a profile";

    if (declared.listing.label == nullptr) continue;
    settings = parsed;
    std::string extension = "jpg", inputType = "ico";
    showRow(declared, extension, inputType);
    const auto [lines, prepared] = listing(extension, inputType);
    bool listed = false;
    for (const auto& [label, shown] : lines)
      if (label == declared.listing.label) listed = listed || shown.starts_with(value);
    EXPECT_TRUE(listed) << declared.listing.label << " " << value;
  }
}

TEST_F(SettingTable, EveryListingLabelAppearsInTheListing) {
  for (const SettingRow* declared : listingOrder()) {
    SCOPED_TRACE(declared->name);
    passingRun();
    std::string extension = "jpg", inputType = "ico";
    showRow(*declared, extension, inputType);
    if (declared->listing.when == ListedWhen::notEmpty) settings.*std::get<std::string Settings::*>(declared->field) = "r.json";
    const auto [lines, prepared] = listing(extension, inputType);
    bool listed = false;
    for (const auto& line : lines) listed = listed || line.first == declared->listing.label;
    EXPECT_TRUE(listed) << declared->listing.label;
    // The report keys the value by the label without its colon.
    EXPECT_EQ(listingName(declared->listing.label) + ": ", declared->listing.label);
  }
}

// A value just outside what the row allows stops a console run with the
// row's error; the value at the row's limit passes.
TEST_F(SettingTable, ChecksRefuseWhatTheRowRefuses) {
  for (const SettingRow& declared : settingTable()) {
    if (declared.check.kind == ValueCheck::none) continue;
    SCOPED_TRACE(declared.name);
    std::vector<std::pair<std::function<void()>, bool>> cases;
    auto setNumber = [&declared](double value) {
      return [&declared, value] {
        std::visit(
            [value](auto member) {
              using Value = std::remove_reference_t<decltype(settings.*member)>;
              if constexpr (!std::is_same_v<Value, std::string>) settings.*member = static_cast<Value>(value);
            },
            declared.field);
      };
    };
    auto setText = [&declared](std::string value) {
      return [&declared, value] { settings.*std::get<std::string Settings::*>(declared.field) = value; };
    };
    switch (declared.check.kind) {
      case ValueCheck::none: break;
      case ValueCheck::range: {
        const double step = declared.type == SettingType::decimal ? 0.01 : 1;
        cases = {{setNumber(declared.range.low), true},
                 {setNumber(declared.range.high), true},
                 {setNumber(declared.range.low - step), false},
                 {setNumber(declared.range.high + step), false}};
        break;
      }
      case ValueCheck::nonZero: cases = {{setNumber(1), true}, {setNumber(0), false}}; break;
      case ValueCheck::colour: cases = {{setText("a0B1c2"), true}, {setText("#00FF7F"), false}}; break;
      case ValueCheck::outputDepth: cases = {{setNumber(0), true}, {setNumber(3), false}}; break;
      case ValueCheck::staysInFolder: cases = {{setText("a/%n%.%ext%"), true}, {setText("../%n%.%ext%"), false}}; break;
    }
    for (const auto& [change, passes] : cases) {
      passingRun();
      std::string extension = "jpg", inputType = "ico";
      showRow(declared, extension, inputType);
      change();
      const RunPreparation prepared = listing(extension, inputType).second;
      if (passes) {
        EXPECT_TRUE(prepared) << consoleErrorLine(prepared);
      } else {
        EXPECT_EQ(prepared.failed, RunCheck::invalidValue);
        EXPECT_EQ(prepared.subject, declared.name);
        EXPECT_EQ(consoleErrorLine(prepared), declared.check.error);
      }
    }
  }
}

}  // namespace
}  // namespace trovabild
