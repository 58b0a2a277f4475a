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
std::string sampleValue(const SettingSpec& spec) {
  switch (spec.type) {
    case SettingType::number: {
      // Inside the range where the row has one, so no check refuses it.
      int value = std::isfinite(spec.range.high) ? static_cast<int>(spec.range.high) : 37;
      if (value == static_cast<int>(spec.number)) value = static_cast<int>(spec.range.low);
      return std::to_string(value);
    }
    case SettingType::decimal: return "2.50";
    case SettingType::word: {
      // The last word of the list (of the row's own format for compression).
      std::string last;
      for (int code = 0;; ++code) {
        const std::string word = keywordWord(spec.words, code, text(spec.format));
        if (word.empty()) break;
        last = word;
      }
      return lowerAscii(last);
    }
    case SettingType::text:
      if (spec.check.kind == ValueCheck::colour) return "00FF7F";
      if (spec.check.kind == ValueCheck::staysInFolder) return "%n%_%filename%.%ext%";
      return "Seven Words Here";
    case SettingType::flag: return std::to_string(spec.option.flagValue);
  }
  return "";
}

// The field's value as the listing shows a plain value.
std::string shownValue(const SettingSpec& spec, const Settings& s) {
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
          if (spec.type == SettingType::word) return lowerAscii(keywordWord(spec.words, s.*member, text(spec.format)));
          return std::to_string(s.*member);
        }
      },
      spec.field);
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
  static void showRow(const SettingSpec& spec, std::string& extension, std::string& inputType) {
    const SettingListing& listing = spec.listing;
    if (listing.when == ListedWhen::switchedOn) settings.*listing.switchField = listing.switchValue;
    if (listing.when == ListedWhen::inputFormat) inputType = text(spec.format);
    if (listing.when == ListedWhen::outputFormat) extension = text(spec.format);
  }

  TempDir dir_;
};

TEST_F(SettingTable, NamesFieldsOptionsAndKeysAreUnique) {
  std::set<std::string> names, options, profileNames, keys;
  std::vector<SettingField> fields;
  for (const SettingSpec& spec : settingTable()) {
    SCOPED_TRACE(spec.name);
    EXPECT_TRUE(names.insert(spec.name).second) << "name twice";
    for (const SettingField& field : fields) {
      EXPECT_FALSE(field == spec.field) << "field twice";
    }
    fields.push_back(spec.field);
    if (spec.option.name != nullptr) {
      const std::string option = spec.option.name;
      EXPECT_EQ(option, upperAscii(option));
      EXPECT_TRUE(option.starts_with("--"));
      EXPECT_TRUE(options.insert(option).second) << "option twice";
      const char* profileName = spec.option.profileName ? spec.option.profileName : spec.option.name;
      EXPECT_TRUE(profileNames.insert(profileName).second) << "profile key twice";
    }
    // The file's reader matches groups and keys without regard to case.
    if (spec.preferences.group != nullptr) {
      EXPECT_TRUE(keys.insert(upperAscii(text(spec.preferences.group) + "/" + text(spec.preferences.key))).second)
          << "preferences key twice";
    }
    // Rows refer to each other by name.
    for (const char* other : {spec.listing.companion, spec.listing.after, spec.manual.joins, spec.manual.before}) {
      if (other == nullptr) continue;
      EXPECT_NE(findSetting(other), nullptr) << other;
    }
    // The manual's option tables show options, each with its meaning.
    if (spec.manual.section != nullptr || spec.manual.joins != nullptr) {
      EXPECT_NE(spec.option.name, nullptr) << "in the manual without an option";
    }
    if (spec.manual.section != nullptr) {
      EXPECT_NE(spec.manual.meaning, nullptr) << "in the manual without a meaning";
    }
    if (spec.type == SettingType::word) {
      EXPECT_FALSE(keywordList(spec.words).empty()) << "word row without words";
    }
    if (spec.listing.when == ListedWhen::inputFormat || spec.listing.when == ListedWhen::outputFormat) {
      EXPECT_NE(spec.format, nullptr) << "listed by a format it does not name";
    }
    if (spec.check.kind != ValueCheck::none) {
      EXPECT_TRUE(text(spec.check.error).starts_with("Error: "));
    }
  }
}

TEST_F(SettingTable, DefaultsLieInTheirRanges) {
  for (const bool commandLine : {true, false}) {
    const Settings defaults = defaultSettings(commandLine);
    for (const SettingSpec& spec : settingTable()) {
      SCOPED_TRACE(spec.name);
      EXPECT_TRUE(withinRange(spec, defaults));
      if (spec.check.kind == ValueCheck::range) {
        EXPECT_TRUE(std::isfinite(spec.range.low) && std::isfinite(spec.range.high));
      }
      // A word's default is one of its words.
      if (spec.type == SettingType::word) {
        EXPECT_NE(keywordWord(spec.words, integerValue(spec, defaults), text(spec.format)), "");
      }
    }
  }
}

// Each option sets its row's field (and switches its step on), under its own
// name on the command line and under its profile name in a profile; the
// listing then shows the value as the option spelt it.
TEST_F(SettingTable, EveryOptionParsesIntoItsFieldAndIsListedBack) {
  for (const SettingSpec& spec : settingTable()) {
    if (spec.option.name == nullptr) continue;
    SCOPED_TRACE(spec.option.name);
    const std::string value = sampleValue(spec);
    const std::string parameter =
        lowerAscii(spec.option.name) + (spec.type == SettingType::flag ? "" : "=" + value);

    passingRun();
    RunFlags flags;
    ASSERT_EQ(parseOptions({parameter}, flags), "");
    EXPECT_TRUE(flags.warnings.empty());
    EXPECT_EQ(shownValue(spec, settings), value);
    if (spec.option.switchField != nullptr) {
      EXPECT_EQ(settings.*spec.option.switchField, spec.option.switchValue);
    }
    const Settings parsed = settings;

    passingRun();
    const std::string profileKey = text(spec.option.profileName ? spec.option.profileName : spec.option.name);
    testing::writeText(dir_ / "profile.ini", "[CLI]\n" + lowerAscii(profileKey) + " = " + value + "\n");
    ASSERT_TRUE(applyProfile(dir_ / "profile.ini"));
    EXPECT_EQ(shownValue(spec, settings), value) << "through a profile";

    if (spec.listing.label == nullptr) continue;
    settings = parsed;
    std::string extension = "jpg", inputType = "ico";
    showRow(spec, extension, inputType);
    const auto [lines, prepared] = listing(extension, inputType);
    bool listed = false;
    for (const auto& [label, shown] : lines)
      if (label == spec.listing.label) listed = listed || shown.starts_with(value);
    EXPECT_TRUE(listed) << spec.listing.label << " " << value;
  }
}

TEST_F(SettingTable, EveryListingLabelAppearsInTheListing) {
  for (const SettingSpec* spec : listingOrder()) {
    SCOPED_TRACE(spec->name);
    passingRun();
    std::string extension = "jpg", inputType = "ico";
    showRow(*spec, extension, inputType);
    if (spec->listing.when == ListedWhen::notEmpty) settings.*std::get<std::string Settings::*>(spec->field) = "r.json";
    const auto [lines, prepared] = listing(extension, inputType);
    bool listed = false;
    for (const auto& line : lines) listed = listed || line.first == spec->listing.label;
    EXPECT_TRUE(listed) << spec->listing.label;
    // The report keys the value by the label without its colon.
    EXPECT_EQ(listingName(spec->listing.label) + ": ", spec->listing.label);
  }
}

// A value just outside what the row allows stops a console run with the
// row's error; the value at the row's limit passes.
TEST_F(SettingTable, ChecksRefuseWhatTheRowRefuses) {
  for (const SettingSpec& spec : settingTable()) {
    if (spec.check.kind == ValueCheck::none) continue;
    SCOPED_TRACE(spec.name);
    std::vector<std::pair<std::function<void()>, bool>> cases;
    auto setNumber = [&spec](double value) {
      return [&spec, value] {
        std::visit(
            [value](auto member) {
              using Value = std::remove_reference_t<decltype(settings.*member)>;
              if constexpr (!std::is_same_v<Value, std::string>) settings.*member = static_cast<Value>(value);
            },
            spec.field);
      };
    };
    auto setText = [&spec](std::string value) {
      return [&spec, value] { settings.*std::get<std::string Settings::*>(spec.field) = value; };
    };
    switch (spec.check.kind) {
      case ValueCheck::none: break;
      case ValueCheck::range: {
        const double step = spec.type == SettingType::decimal ? 0.01 : 1;
        cases = {{setNumber(spec.range.low), true},
                 {setNumber(spec.range.high), true},
                 {setNumber(spec.range.low - step), false},
                 {setNumber(spec.range.high + step), false}};
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
      showRow(spec, extension, inputType);
      change();
      const RunPreparation prepared = listing(extension, inputType).second;
      if (passes) {
        EXPECT_TRUE(prepared) << consoleErrorLine(prepared);
      } else {
        EXPECT_EQ(prepared.failed, RunCheck::invalidValue);
        EXPECT_EQ(prepared.subject, spec.name);
        EXPECT_EQ(consoleErrorLine(prepared), spec.check.error);
      }
    }
  }
}

}  // namespace
}  // namespace trovabild
