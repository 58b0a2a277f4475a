#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <filesystem>
#include <memory>

#include "settings/settings_file.h"
#include "support/test_support.h"
#include "tests/support/write_seam.h"

namespace trovabild {

TEST(SettingsFile, WritesTheLayout) {
  testing::TempDir dir;
  const std::string path = dir / "out.ini";
  SettingsFileWriter writer;
  ASSERT_TRUE(writer.createSettingsFile(path));
  writer.writeGroup("General");
  writer.writeInteger("CFG", 19);
  writer.writeInteger("Negative", -42);
  writer.writeText("Language", "en");
  writer.writeReal("Gamma", 1.5);
  writer.writeReal("One", 1.0);
  writer.writeText("Broken", "a\r\n[Evil]\nb");
  writer.writeGroupEnd();
  writer.writeGroup("Empty");
  writer.writeGroupEnd();
  ASSERT_TRUE(writer.closeSettingsFile());
  EXPECT_EQ(testing::readText(path),
            "\xEF\xBB\xBF\r\n"
            "[General]\r\n"
            "CFG = 19\r\n"
            "Negative = -42\r\n"
            "Language = en\r\n"
            "Gamma = 1.500000\r\n"
            "One = 1.000000\r\n"
            "Broken = a  [Evil] b\r\n"
            "; \r\n"
            "[Empty]\r\n"
            "; \r\n");

  // Written again, the file is replaced whole.
  ASSERT_TRUE(writer.createSettingsFile(path));
  writer.writeGroup("X");
  writer.writeGroupEnd();
  ASSERT_TRUE(writer.closeSettingsFile());
  EXPECT_EQ(testing::readText(path), "\xEF\xBB\xBF\r\n[X]\r\n; \r\n");
}

// The preferences file is replaced only by a complete one: a write that
// fails at any point leaves the old file and no temporary file.
TEST(SettingsFile, AFailedWriteKeepsTheOldFile) {
  testing::TempDir dir;
  const std::string path = dir / "config.ini";
  for (size_t limit : {size_t{0}, size_t{4}, size_t{40}}) {
    SCOPED_TRACE(limit);
    testing::writeText(path, "[General]\r\nCFG = 19\r\n");
    auto seam = testing::failWritesAfter(limit);
    SettingsFileWriter writer;
    ASSERT_TRUE(writer.createSettingsFile(path));
    writer.writeGroup("General");
    writer.writeText("Text", std::string(100, 'x'));
    writer.writeGroupEnd();
    EXPECT_FALSE(writer.closeSettingsFile());
    seam->end();
    EXPECT_EQ(testing::readText(path), "[General]\r\nCFG = 19\r\n");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1) << "no temporary file is left";
  }
}

TEST(SettingsFile, RealsIgnoreTheLocale) {
  // A decimal comma locale must not leak into the file or the reading.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  // Put back however the test ends.
  const std::shared_ptr<void> restore(nullptr, [saved = std::string(previous ? previous : "C")](void*) {
    std::setlocale(LC_NUMERIC, saved.c_str());
  });
  const bool haveComma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  testing::TempDir dir;
  SettingsFileWriter writer;
  ASSERT_TRUE(writer.createSettingsFile(dir / "r.ini"));
  writer.writeGroup("G");
  writer.writeReal("Gamma", 2.25);
  writer.writeGroupEnd();
  ASSERT_TRUE(writer.closeSettingsFile());
  SettingsFileReader reader;
  ASSERT_TRUE(reader.openSettingsFile(dir / "r.ini"));
  ASSERT_TRUE(reader.selectGroup("g"));
  EXPECT_EQ(reader.readText("Gamma", ""), "2.250000");
  EXPECT_DOUBLE_EQ(reader.readReal("Gamma", 0), 2.25);
  if (!haveComma) GTEST_SKIP() << "no de_DE locale to try";
}

TEST(SettingsFile, ReadsGroupsAndKeys) {
  SettingsFileReader reader;
  reader.openSettingsText(
      "\xEF\xBB\xBF\r\n"
      "orphan=1\r\n"
      "[general]\r\n"
      "  ; a comment = not a key\r\n"
      "cfg=19\r\n"
      "Language   =   en  \t\r\n"
      "Update Date = -5 days\r\n"
      "Text = \tword  with  inner  blanks \t \r\n"
      "Gamma = 1.25\r\n"
      "Junk = abc\r\n"
      "no equals sign here\r\n"
      "Empty =\r\n"
      "cfg = 20\r\n"
      "[ Window ]\n"
      "X = 7\n"
      "[GENERAL]\r"
      "Second = 1\r"
      "[Last]\r\n"
      "Key = value");
  ASSERT_TRUE(reader.selectGroup("General"));
  EXPECT_EQ(reader.readInteger("CFG", 0), 19);  // the first of a repeated key
  EXPECT_EQ(reader.readText("LANGUAGE", "x"), "en");
  EXPECT_EQ(reader.readInteger("update date", 0), -5);
  EXPECT_EQ(reader.readText("Text", ""), "word  with  inner  blanks");
  EXPECT_DOUBLE_EQ(reader.readReal("Gamma", 0), 1.25);
  EXPECT_EQ(reader.readInteger("Junk", 9), 0);
  EXPECT_DOUBLE_EQ(reader.readReal("Junk", 9), 0);
  EXPECT_EQ(reader.readText("Empty", "x"), "");
  EXPECT_EQ(reader.readInteger("Missing", 77), 77);
  EXPECT_EQ(reader.readText("Second", "none"), "none");  // only the first [General] is found
  EXPECT_EQ(reader.readText("orphan", "none"), "none");
  EXPECT_EQ(reader.readText("; a comment", "none"), "none");
  EXPECT_EQ(reader.readText("X", "none"), "none");

  ASSERT_TRUE(reader.selectGroup("window"));
  EXPECT_EQ(reader.readInteger("x", 0), 7);
  ASSERT_TRUE(reader.selectGroup("last"));
  EXPECT_EQ(reader.readText("key", ""), "value");
  EXPECT_FALSE(reader.selectGroup("Nowhere"));
  EXPECT_EQ(reader.readInteger("x", 3), 3);
}

TEST(SettingsFile, WalksKeysInFileOrder) {
  SettingsFileReader reader;
  reader.openSettingsText("[CLI]\n--B = 2\n--a=1\n--B = 3\n[Other]\n--C=4\n");
  ASSERT_TRUE(reader.selectGroup("cli"));
  std::vector<std::pair<std::string, std::string>> keys;
  while (auto key = reader.nextKey()) keys.push_back(*key);
  const std::vector<std::pair<std::string, std::string>> expected = {{"--B", "2"}, {"--a", "1"}, {"--B", "3"}};
  EXPECT_EQ(keys, expected);
  EXPECT_FALSE(reader.nextKey());
}

TEST(SettingsFile, DecodesTextWithoutAByteOrderMark) {
  SettingsFileReader reader;
  // Valid UTF-8 stays as it is; other bytes are Latin-1.
  reader.openSettingsText("[G]\nA = Caf\xC3\xA9\nB = Caf\xE9\n");
  ASSERT_TRUE(reader.selectGroup("G"));
  EXPECT_EQ(reader.readText("A", ""), "Caf\xC3\xA9");
  EXPECT_EQ(reader.readText("B", ""), "Caf\xC3\xA9");
  EXPECT_EQ(utf8OrLatin1("\xC3"), "\xC3\x83");
  EXPECT_EQ(utf8OrLatin1("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");  // a surrogate is not UTF-8
}

TEST(SettingsFile, RoundTripsWhatItWrites) {
  testing::TempDir dir;
  const std::string path = dir / "round.ini";
  SettingsFileWriter writer;
  ASSERT_TRUE(writer.createSettingsFile(path));
  writer.writeGroup("Watermark");
  writer.writeText("Text", "Copyright \xC2\xA9 2026 = fine; [not a group]");
  writer.writeInteger("Big", 2147483647);
  writer.writeInteger("Small", -2147483648LL);
  writer.writeReal("Gamma", 0.01);
  writer.writeGroupEnd();
  ASSERT_TRUE(writer.closeSettingsFile());

  SettingsFileReader reader;
  ASSERT_TRUE(reader.openSettingsFile(path));
  ASSERT_TRUE(reader.selectGroup("WATERMARK"));
  EXPECT_EQ(reader.readText("text", ""), "Copyright \xC2\xA9 2026 = fine; [not a group]");
  EXPECT_EQ(reader.readInteger("Big", 0), 2147483647);
  EXPECT_EQ(reader.readInteger("Small", 0), -2147483647 - 1);
  EXPECT_NEAR(reader.readReal("Gamma", 0), 0.01, 1e-9);
}

TEST(SettingsFile, ReportsFilesItCannotUse) {
  SettingsFileReader reader;
  EXPECT_FALSE(reader.openSettingsFile("/nonexistent/folder/config.ini"));
  SettingsFileWriter writer;
  EXPECT_FALSE(writer.createSettingsFile("/nonexistent/folder/config.ini"));
  EXPECT_FALSE(writer.closeSettingsFile());
}

TEST(SettingsFile, LeadingNumbers) {
  EXPECT_EQ(leadingInteger("  12abc"), 12);
  EXPECT_EQ(leadingInteger("-7"), -7);
  EXPECT_EQ(leadingInteger("x1"), 0);
  EXPECT_EQ(leadingInteger("99999999999"), 2147483647);
  EXPECT_DOUBLE_EQ(leadingReal("1.5e1x"), 15);
  EXPECT_DOUBLE_EQ(leadingReal("nan"), 0);
  EXPECT_DOUBLE_EQ(leadingReal("inf"), 0);
}

}  // namespace trovabild
