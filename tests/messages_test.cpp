#include <gtest/gtest.h>

#include "base/messages.h"

namespace trovabild {

namespace {

struct LookupCase {
  const char* group;
  const char* key;
  const char* expected;
};

constexpr const char* kMissing = "%NO_STRING_ERROR%";

constexpr LookupCase kLookupCases[] = {
    // The batch's own texts.
    {"General", "Preparing", "Preparing..."},
    {"General", "Importing", "Importing..."},
    {"General", "Converting", "Converting..."},
    {"Msg", "Empty input files", "No input file(s) found. Please, add valid file(s) and try again!"},
    {"Msg", "Import complete", "Import complete, new files added: %s1%"},
    {"Msg", "Conversion complete", "Conversion complete"},
    {"Msg", "Conversion is not complete", "Conversion stopped"},
    {"Msg", "Files converted", "Files converted: %s1% of %s2%"},
    // Letter case of group and key does not matter.
    {"MSG", "FILES CONVERTED", "Files converted: %s1% of %s2%"},
    {"msg", "files converted", "Files converted: %s1% of %s2%"},
    // A key that is a prefix of another one, both ways round.
    {"General", "Input File", "Input File:"},
    {"General", "Input Files", "Input Files:"},
    // First and last entries of groups, and a text holding line breaks.
    {"Menu", "File", "File"},
    {"Menu", "About", "About..."},
    {"Uninstall", "Next", "Next"},
    {"Custom-Converter", "Title", "Find a File Converter"},
    {"About", "Email", "E-mail:"},
    {"Dialog", "Time Remaining", "Time Remaining: %s1%"},
    {"Msg", "Invalid output folder",
     "The following output folder is invalid or doesn't exist:\r\n%s1%\r\n\r\nPlease, correct the output path and "
     "try again!"},
    // The three shapes of the preferences group, and its duplicated key.
    {"Preferences", "Adaptive Logarithmic", "Adaptive Logarithmic"},
    {"Preferences", "Keep Subfolders", "Keep Subfolders:"},
    {"Preferences", "Strikeout", "Strikethrough"},
    {"Preferences", "Medium", "Medium"},
    {"Preferences", "X-Offset", "X-Offset:"},
    {"Preferences", "Clean Recent Files", "Clean Recent Files List on Exit"},
    // Not in the table.
    {"Msg", "No such key", kMissing},
    {"Msg", "Files converte", kMissing},
    {"Msg", "Files converted!", kMissing},
    {"Msg", "", kMissing},
    {"Nowhere", "Error", kMissing},
    {"", "Error", kMissing},
    {"General", "Zzz", kMissing},
};

}  // namespace

TEST(MessageTable, LooksUpEntries) {
  loadMessageTable();
  for (const auto& c : kLookupCases) {
    SCOPED_TRACE(std::string(c.group) + " / " + c.key);
    EXPECT_EQ(message(c.group, c.key), c.expected);
  }
}

TEST(MessageTable, AlternatingGroupsDoNotConfuseTheCache) {
  loadMessageTable();
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(message("Menu", "Exit"), "Exit");
    EXPECT_EQ(message("Dialog", "OK"), "OK");
    EXPECT_EQ(message("Missing", "OK"), kMissing);
    EXPECT_EQ(message("Msg", "Error"), "Error");
  }
}

TEST(MessageTable, EveryGroupHasItsEntries) {
  // A few keys starting with each letter that occurs, so each slot of the
  // first-character index is exercised.
  loadMessageTable();
  const char* const keys[] = {"None", "Auto", "Bytes", "Catmullrom", "DEFLATE", "Every day", "FS", "General",
                              "Huge", "Image", "JPEG", "Keep Folders", "Language", "Medium", "Never", "Original",
                              "PIZ", "RGB8", "Scale", "Title", "UI Size", "Violet", "White", "X-Offset",
                              "Y-Offset", "ZLIB9"};
  for (const char* key : keys) {
    SCOPED_TRACE(key);
    EXPECT_NE(message("Preferences", key), kMissing);
  }
}

struct FormatCase {
  const char* text;
  const char* s1;
  const char* s2;
  const char* s3;
  const char* s4;
  const char* expected;
};

constexpr FormatCase kFormatCases[] = {
    {"Files converted: %s1% of %s2%", "3", "5", "", "", "Files converted: 3 of 5"},
    {"Files converted: %s1% of %s2%", "3", "", "", "", "Files converted: 3 of %s2%"},
    {"Files converted: %S1% of %s2%", "3", "5", "", "", "Files converted: 3 of 5"},
    {"%s1%-%s1%", "a", "", "", "", "a-a"},
    {"%s4%%s3%%s2%%s1%", "1", "2", "3", "4", "4321"},
    // Replacements run in order: a value holding a later placeholder has it filled too.
    {"<%s1%>", "%s2%", "two", "", "", "<two>"},
    // A value holding its own placeholder is not expanded again.
    {"<%s1%>", "%s1%", "", "", "", "<%s1%>"},
    {"", "x", "y", "", "", ""},
    {"no placeholders", "x", "", "", "", "no placeholders"},
    {"%s5% %s%", "x", "", "", "", "%s5% %s%"},
};

TEST(MessageTable, FormatsPlaceholders) {
  for (const auto& c : kFormatCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(formatMessage(c.text, c.s1, c.s2, c.s3, c.s4), c.expected);
  }
}

}  // namespace trovabild
