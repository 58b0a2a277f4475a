// The manual page, the bash completion and the user manual's option tables made from the settings table.

#include "packaging/docgen/command_reference.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/options.h"
#include "tests/support/test_support.h"

namespace trovabild {
namespace {

using testing::TempDir;
using testing::writeText;

constexpr const char* kBashCompletion = "/usr/share/bash-completion/bash_completion";

// How an option name looks in man(7) text.
std::string roffName(std::string text) {
  std::string out;
  for (char c : text) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Standard output of a shell command, and whether it ended with status 0.
std::pair<std::string, bool> shell(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {"", false};
  char buffer[4096];
  size_t got = 0;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  const int status = pclose(pipe);
  return {output, WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

TEST(CommandReference, EveryOptionHasItsHelpText) { EXPECT_EQ(referenceProblems(), std::vector<std::string>{}); }

TEST(CommandReference, ManualPageNamesEveryOptionAndWord) {
  const std::string page = manualPage("/usr/share/trovabild", "/usr/share/doc/trovabild");
  for (const OptionSpec& option : optionTable()) {
    SCOPED_TRACE(option.name);
    const std::string name = roffName(lower(option.name));
    EXPECT_NE(page.find(option.type == OptionValueType::flag ? ".B " + name + "\n" : ".BI \"" + name + "=\""),
              std::string::npos);
  }
  for (const char* name : {"--input=", "--output=", "--conversion=", "--profile=", "--quiet", "--debug", "--pause",
                           "--help", "--version", "--window"})
    EXPECT_NE(page.find(roffName(name)), std::string::npos) << name;
  // Word lists, defaults and the compression words of the option's own format.
  for (const char* text : {"WORD is one of: all, first, middle, last, random. Default: all.",
                           "WORD is one of: all, first, middle, last, random, largest, best. Default: all.",
                           "Default: FFFFFF.",
                           "WORD is one of: none, zlib1, zlib6, zlib9.", "Default: 95.",
                           "Default: bottomright."})
    EXPECT_NE(page.find(roffName(text)), std::string::npos) << text;
  for (const char* section : {".SH \"EXIT STATUS\"\n.TP\n.B 0\n", "\n.B 1\n", "\n.B 2\n", ".SH FILES",
                              ".SH EXAMPLES", "/usr/share/trovabild/gfx/*.zip", "config.ini"})
    EXPECT_NE(page.find(roffName(section)), std::string::npos) << section;
}

TEST(CommandReference, ManualPageFormatsWithoutWarnings) {
  if (!shell("command -v groff >/dev/null").second) GTEST_SKIP() << "groff is not installed";
  TempDir dir;
  writeText(dir / "trovabildcmd.1", manualPage("/usr/share/trovabild", "/usr/share/doc/trovabild"));
  const auto [output, ok] = shell("groff -man -ww -z -Tutf8 '" + (dir / "trovabildcmd.1") + "' 2>&1");
  EXPECT_TRUE(ok);
  EXPECT_EQ(output, "");
}

TEST(CommandReference, CompletionOffersOptionsAndTheirWords) {
  if (!testing::fileExists(kBashCompletion)) GTEST_SKIP() << "bash-completion is not installed";
  TempDir dir;
  writeText(dir / "completion", bashCompletion());
  std::filesystem::create_directories(dir / "icons");
  writeText(dir / "icons/a.ico", "");
  writeText(dir / "icons/b.png", "");
  // The words typed so far (the last one is being completed), and what
  // the completion offers, sorted, one per line.
  struct Case {
    std::vector<std::string> words;
    std::string expected;
  };
  const Case cases[] = {
      {{"--ico-frame-loading="}, "all best first largest last middle random"},
      {{"--ico-frame-loading=LA"}, "largest last"},
      {{"--gif-frame-loading="}, "all first last middle random"},
      {{"--report=icons/"}, "icons/a.ico icons/b.png"},
      {{"--threa"}, "--threads="},
      {{"--dry"}, "--dry-run"},
      {{"--png-compression="}, "none zlib1 zlib6 zlib9"},
      {{"--tiff-compression=l"}, "logluv lzw"},
      {{"--wm-text-position=bottom"}, "bottomcenter bottomleft bottomright"},
      {{"--jpg-q"}, "--jpg-quality="},
      {{"--keep-a"}, "--keep-aspect-ratio"},
      {{"-c", ""}, "jpg"},
      {{"--conversion="}, "jpg"},
      {{"-i", "icons/"}, "icons/a.ico"},
      {{"--window", "icons/"}, "icons/a.ico icons/b.png"},
      {{"--jpg-quality="}, ""},
      {{"-i", "x.ico", "--wi"}, "--width-unit= --width="},
      {{"--wi"}, "--width-unit= --width= --window"},
  };
  for (const Case& c : cases) {
    std::string words = "trovabildcmd";
    for (const std::string& word : c.words) words += " " + word;
    SCOPED_TRACE(words);
    // Split as readline does: "=" ends a word of its own.
    std::string script = "cd '" + dir.path() + "' && . " + kBashCompletion + " && . ./completion && COMP_LINE='" +
                         words + "' && COMP_POINT=${#COMP_LINE} && COMP_WORDS=(trovabildcmd";
    int count = 1;
    for (const std::string& word : c.words) {
      const size_t equals = word.find('=');
      if (equals == std::string::npos) {
        script += " '" + word + "'";
        ++count;
      } else {
        script += " '" + word.substr(0, equals) + "' = '" + word.substr(equals + 1) + "'";
        count += 3;
      }
    }
    script += ") && COMP_CWORD=" + std::to_string(count - 1) +
              "; _trovabildcmd; printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort";
    writeText(dir / "run", script);
    const auto [output, ok] = shell("bash --norc --noprofile '" + (dir / "run") + "'");
    EXPECT_TRUE(ok);
    std::string offered;
    for (const std::string& line : testing::splitLines(output)) {
      if (line.empty()) continue;
      offered += (offered.empty() ? "" : " ") + line;
    }
    EXPECT_EQ(offered, c.expected);
  }
}

TEST(CommandReference, CompletionKnowsEveryLongOption) {
  const std::string script = bashCompletion();
  for (const OptionSpec& option : optionTable()) {
    // In the word list of the options: a blank before, a blank or the
    // closing quote after.
    const std::string name = " " + lower(option.name) + (option.type == OptionValueType::flag ? "" : "=");
    const size_t at = script.find(name);
    ASSERT_NE(at, std::string::npos) << option.name;
    EXPECT_TRUE(script[at + name.size()] == ' ' || script[at + name.size()] == '"') << option.name;
  }
}

// The option tables of the user manual are made from the settings table;
// the manual in the source tree must hold them as made.
TEST(CommandReference, ManualOptionTablesComeFromTheSettingsTable) {
  const std::string manual = testing::readText(std::string(TROVABILD_SOURCE_DIR) + "/docs/manual/index.html");
  const Result<std::string> made = withManualOptionTables(manual);
  ASSERT_TRUE(made) << made.reason;
  EXPECT_TRUE(*made == manual) << "the manual's option tables differ from the settings table; run "
                                  "trovabild_docgen --manual docs/manual/index.html";
  // Word lists follow the vocabulary, marking the default where the row asks.
  const std::string transform = manualOptionTable("opt-transform");
  EXPECT_NE(transform.find("<code>BICUBIC</code> (default), <code>CATMULLROM</code>"), std::string::npos);
  EXPECT_NE(transform.find("<code>--width-unit=WORD</code>, <code>--height-unit=WORD</code>"), std::string::npos);
  EXPECT_LT(transform.find("--rotation=NUM"), transform.find("--rotation-type=WORD"));
  // A manual without one of the tables is refused, with the table named.
  EXPECT_EQ(withManualOptionTables("<h3 id=\"opt-input\">Input</h3>\n<table></table>").reason,
            "no option table opt-output in the manual");
}

}  // namespace
}  // namespace trovabild
