#include "packaging/docgen/command_reference.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <type_traits>
#include <variant>

#include "base/exit_status.h"
#include "base/product.h"
#include "base/text.h"
#include "batch/input_list.h"
#include "batch/output_naming.h"
#include "cli/options.h"
#include "settings/setting_table.h"
#include "settings/settings.h"
#include "settings/vocabulary.h"

namespace trovabild {

namespace {

std::string text(const char* value) { return value != nullptr ? value : ""; }

const SettingHelp* findHelp(std::string_view name) {
  const OptionSpec* option = findOption(name, false);
  return option != nullptr && option->setting->help.text != nullptr ? &option->setting->help : nullptr;
}

// Text for man(7): backslashes escaped, every "-" a real minus (options are
// typed), and a line never starting with a control character.
std::string roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
  }
  if (!out.empty() && (out.front() == '.' || out.front() == '\'')) out.insert(0, "\\&");
  return out;
}

std::string valueName(const OptionSpec& option, const SettingHelp& help) {
  if (help.value) return help.value;
  switch (option.type) {
    case OptionValueType::number:
    case OptionValueType::decimal:
      return "NUM";
    case OptionValueType::word:
      return "WORD";
    case OptionValueType::text:
      return "TEXT";
    case OptionValueType::flag:
      break;
  }
  return "";
}

std::string formatDecimal(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

// The value a console run starts with, as the option would be written; ""
// for flags and empty texts.
std::string defaultValue(const OptionSpec& option) {
  const SettingRow& declared = *option.setting;
  std::string text;
  std::visit(
      [&](auto field) {
        using Value = std::remove_reference_t<decltype(settings.*field)>;
        if constexpr (std::is_same_v<Value, std::string>) {
          text = settings.*field;
        } else if constexpr (std::is_same_v<Value, float>) {
          text = formatDecimal(settings.*field);
        } else {
          const int value = static_cast<int>(settings.*field);
          if (option.type == OptionValueType::word)
            text = lowerAscii(keywordWord(declared.words, value, declared.format != nullptr ? declared.format : ""));
          else if (option.type == OptionValueType::number)
            text = std::to_string(value);
        }
      },
      declared.field);
  return text;
}

std::string lowerOption(std::string_view upperName) { return lowerAscii(upperName); }

std::string joined(const std::vector<std::string>& words, std::string_view separator) {
  std::string out;
  for (const std::string& word : words) {
    if (!out.empty()) out += separator;
    out += word;
  }
  return out;
}

// The words a word setting takes, in upper case; a compression setting's
// are those of its own format.
std::vector<std::string> wordsOf(const SettingRow& declared) {
  if (declared.words != kCompressionWords) return keywordList(declared.words);
  std::vector<std::string> words;
  for (int code = 0;; ++code) {
    std::string word = keywordWord(declared.words, code, declared.format != nullptr ? declared.format : "");
    if (word.empty()) break;
    words.push_back(std::move(word));
  }
  return words;
}

bool sameName(const char* name, const char* other) {
  return name != nullptr && other != nullptr && std::string_view(name) == other;
}

// The rows of one option table of the user manual in their order: table
// order, a row naming `before` moved in front of that row. A row that joins
// another is part of that row.
std::vector<const SettingRow*> manualRows(std::string_view section) {
  std::vector<const SettingRow*> rows;
  for (const SettingRow& declared : settingTable())
    if (declared.manual.section != nullptr && section == declared.manual.section && declared.manual.before == nullptr)
      rows.push_back(&declared);
  for (const SettingRow& declared : settingTable()) {
    if (declared.manual.section == nullptr || section != declared.manual.section || declared.manual.before == nullptr) continue;
    auto at = std::find_if(rows.begin(), rows.end(),
                           [&declared](const SettingRow* row) { return sameName(row->name, declared.manual.before); });
    rows.insert(at, &declared);
  }
  return rows;
}

// "<code>--width=NUM</code>": an option as the manual writes it.
std::string manualOption(const SettingRow& declared) {
  std::string value;
  switch (declared.type) {
    case SettingType::number:
    case SettingType::decimal: value = "NUM"; break;
    case SettingType::word: value = "WORD"; break;
    case SettingType::text: value = declared.help.value != nullptr ? declared.help.value : "TEXT"; break;
    case SettingType::flag: break;
  }
  return "<code>" + lowerAscii(declared.option.name) + (value.empty() ? "" : "=" + value) + "</code>";
}

// One manual row: the options of the row and of the rows that join it,
// their values and their meaning.
std::string manualRow(const SettingRow& row) {
  std::string options = row.manual.option != nullptr ? row.manual.option : "";
  if (options.empty())
    for (const SettingRow& declared : settingTable())
      if (&declared == &row || sameName(declared.manual.joins, row.name))
        options += (options.empty() ? "" : ", ") + manualOption(declared);
  std::string values = row.manual.values != nullptr ? row.manual.values : "";
  if (values.empty() && row.type == SettingType::word) {
    const std::string standard = keywordWord(row.words, static_cast<int>(row.number), row.format ? row.format : "");
    for (const std::string& word : wordsOf(row)) {
      values += (values.empty() ? "" : ", ") + ("<code>" + word + "</code>");
      if (row.manual.markDefault && word == standard) values += " (default)";
    }
  }
  return "<tr><td>" + options + "</td><td>" + values + "</td><td>" + text(row.manual.meaning) + "</td></tr>";
}

// Characters (not bytes) of UTF-8 text.
size_t characters(std::string_view text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// An HTML line broken at blanks outside tags so that no line is longer than
// 120 characters where a break allows it; continued lines are indented by
// four blanks.
std::string wrappedHtml(std::string_view line, std::string_view indent) {
  constexpr size_t kWidth = 120;
  constexpr std::string_view kContinued = "    ";
  std::string out, current(indent);
  size_t start = current.size();
  bool inTag = false;
  std::string word;
  auto flush = [&] {
    if (current.size() > start && characters(current) + 1 + characters(word) > kWidth) {
      out += current + "\n";
      current = std::string(kContinued) + word;
      start = kContinued.size();
    } else {
      current += (current.size() > start ? " " : "") + word;
    }
    word.clear();
  };
  for (char c : line) {
    if (c == '<') inTag = true;
    if (c == '>') inTag = false;
    if (c == ' ' && !inTag) flush();
    else word += c;
  }
  flush();
  return out + current + "\n";
}

struct Resetter {
  Resetter() {
    resetJob();
    resetSettings(true);
  }
};

}  // namespace

std::vector<std::string> optionWords(const std::string& upperName) {
  const OptionSpec* option = findOption(upperName, false);
  std::vector<std::string> words;
  if (option == nullptr || option->type != OptionValueType::word) return words;
  for (const std::string& word : wordsOf(*option->setting)) words.push_back(lowerAscii(word));
  return words;
}

std::vector<std::string> referenceProblems() {
  std::vector<std::string> problems;
  for (const SettingRow& declared : settingTable()) {
    const bool help = declared.help.text != nullptr && declared.help.section != nullptr;
    if (declared.option.name != nullptr && !help) problems.push_back(std::string(declared.option.name) + ": no help text");
    if (declared.option.name == nullptr && declared.help.text != nullptr)
      problems.push_back(std::string(declared.name) + ": help text for no option");
  }
  return problems;
}

std::string manualPage(const std::string& dataFolder, const std::string& docFolder) {
  const Resetter reset;
  const std::string version = versionText(kVersion);
  const std::string output = job.outputFormats.empty() ? "jpg" : job.outputFormats.front();
  std::string page;
  auto line = [&](std::string_view text) {
    page += text;
    page += '\n';
  };
  auto paragraph = [&](std::string_view text) {
    line(".PP");
    line(roff(text));
  };
  // One option entry: the option in bold, its value in italics.
  auto entry = [&](std::string_view names, std::string_view value, std::string_view text) {
    line(".TP");
    if (value.empty()) line(".B " + roff(names));
    else line(".BI \"" + roff(names) + "\" \"" + roff(value) + "\"");
    line(roff(text));
  };

  line(".\\\" The command reference of trovabildcmd, made from its option table when it is built.");
  line(".TH TROVABILDCMD 1 \"\" \"" + std::string(kDisplayName) + " " + version + "\" \"User Commands\"");
  line(".SH NAME");
  line("trovabildcmd \\- convert Windows icon files to JPEG images");
  line(".SH SYNOPSIS");
  line(".B trovabildcmd");
  line(".B \\-i");
  line(".I input");
  line(".RB [ \\-o");
  line(".IR folder ]");
  line(".RI [ option ...]");
  line(".br");
  line(".B trovabildcmd");
  line(".RB [ \\-\\-window");
  line(".RI [ path ...]]");
  line(".br");
  line(".B trovabildcmd");
  line(".BR \\-h \" | \" \\-v");
  line(".SH DESCRIPTION");
  line(".B trovabildcmd");
  line(roff("converts icon files (.ico) into JPEG images: one file, the files named by a list file, or a "
            "whole folder with all its subfolders. Every image inside an icon becomes its own JPEG file, "
            "transparent areas become white (or the colour of --background-color), and on the way the images can be rotated, resized, flipped, "
            "colour adjusted, framed and watermarked."));
  paragraph("Started with -i it converts on the console and ends. Started without parameters, with --window, "
            "or with options but no input, it opens its desktop window, where files are collected in a list, "
            "the settings are edited in a preferences dialog and the conversion runs with a progress dialog.");
  paragraph("Option names are matched without regard to case. Long options carry their value after = in the "
            "same word (--jpg-quality=90); only -i, -o and -c take the next word as their value. Options may "
            "come in any order; a later one overrides an earlier one. Unknown options are ignored. Numbers are "
            "read as a leading integer, in decimal, in hexadecimal after $ ($FF) or in binary after %. Words "
            "are matched without regard to case; a word outside its list selects the first word of the list. "
            "Colours are six hexadecimal digits RRGGBB without #.");

  line(".SH OPTIONS");
  line(".SS \"Basic options\"");
  entry("-i, --input=", "FILE",
        "The input: an icon file, a folder (searched with all its subfolders) or a list file (.txt or .lst) "
        "naming one file or folder per line. Relative paths are taken from the working directory.");
  entry("-o, --output=", "FOLDER",
        "The output folder; it must exist, and a folder beginning with .. is refused. Without -o the files are "
        "written into the input's folder.");
  entry("-c, --conversion=", "EXT", "The output format: " + joined(job.outputFormats, ", ") + ".");
  entry("--profile=", "FILE",
        "Read options from a profile file at this point (see PROFILE FILES): options before it are "
        "overridden by the profile, options after it override the profile.");
  entry("-q, --quiet", "", "Print no status messages.");
  entry("-d, --debug", "", "Print every setting before converting.");
  entry("-p, --pause", "", "Wait for a key press before exiting.");
  entry("-h, -?, --help", "", "Print the usage text and exit (first parameter only).");
  entry("-v, --version", "", "Print the version (" + version + ") and exit (first parameter only).");
  line(".SS \"Window\"");
  line(".TP");
  line(".BR \\-\\-window \" [\" \\fIpath\\fR ...]");
  line(roff("Open the desktop window with these files and folders in its list, as if they had been dropped "
            "on it: a folder is imported with all its subfolders, a file is added when it is an icon. Every "
            "parameter after --window is a path (first parameter only). This is what the desktop entry runs."));
  line(".TP");
  line(".BI \"\\-T \" folder");
  line(roff("Screenshot mode: open the window with sample content and save a picture of it as trovabild1.jpg "
            "and trovabild1x.jpg (180 pixels wide) in the folder (first parameter only)."));
  line(".TP");
  line(".B \\-U");
  line(roff("Show the uninstall prompt (first parameter only)."));

  std::string section;
  for (const OptionSpec& option : optionTable()) {
    const SettingHelp* help = findHelp(option.name);
    if (help == nullptr) continue;
    if (section != help->section) {
      section = help->section;
      line(".SS \"" + section + "\"");
    }
    const std::string name = lowerOption(option.name);
    const std::string value = valueName(option, *help);
    std::string text = help->text;
    const std::vector<std::string> words = optionWords(option.name);
    if (!words.empty()) text += " WORD is one of: " + joined(words, ", ") + ".";
    const std::string standard = defaultValue(option);
    if (!standard.empty() && option.type != OptionValueType::flag) text += " Default: " + standard + ".";
    entry(value.empty() ? name : name + "=", value, text);
  }

  line(".SH \"FILENAME MASK\"");
  paragraph("The --filename-mask and the --wm-text may hold these tokens, replaced for each written image: " +
            [] {
              std::vector<std::string> tokens;
              for (std::string_view token : kNameTokens) tokens.emplace_back(token);
              return joined(tokens, ", ");
            }() +
            ". The default mask is " + std::string(kDefaultFilenameMask) +
            "; an icon with several images gives name.jpg, name[1].jpg, name[2].jpg and so on.");

  line(".SH \"PROFILE FILES\"");
  paragraph("A profile keeps a set of options in a text file. Only its [CLI] group is read; each line is a "
            "long option name with its dashes, = and the value. Lines starting with ; are comments. Flags are "
            "switched on whatever value they carry, and the frame opacity key is called --wm-solid-opacity.");
  line(".PP");
  line(".nf");
  line(".RS");
  line("[CLI]");
  line("\\-\\-ico\\-frame\\-loading = last");
  line("\\-\\-width = 96");
  line("\\-\\-keep\\-aspect\\-ratio = 1");
  line("\\-\\-jpg\\-quality = 85");
  line(".RE");
  line(".fi");

  line(".SH \"EXIT STATUS\"");
  auto status = [&](ExitStatus value, std::string_view text) {
    line(".TP");
    line(".B " + std::to_string(static_cast<int>(value)));
    line(roff(text));
  };
  status(ExitStatus::ok, "Everything asked for was done (also for -h and -v, and when the window closes normally).");
  status(ExitStatus::failed,
         "An error line was printed (a wrong option, a missing input, an invalid output folder), nothing was "
         "converted, the window could not open (no display), or another instance of the program was running.");
  status(ExitStatus::partial, "A batch converted some files but not all.");

  line(".SH ENVIRONMENT");
  entry("XDG_RUNTIME_DIR", "", "Folder of the single-instance lock (else a private folder under /tmp).");
  entry("XDG_CONFIG_HOME", "", "Base of the window's preferences file (else ~/.config).");
  entry("DISPLAY, WAYLAND_DISPLAY", "", "The display the window opens on.");
  entry("TROVABILD_UPDATE_URL", "", "Replaces the address the update check asks.");

  line(".SH FILES");
  entry(dataFolder + "/gfx/*.zip", "", "Icon themes of the window.");
  entry(dataFolder + "/manual/index.html", "", "The user manual (Help, User Manual in the window).");
  entry("$XDG_CONFIG_HOME/Pixmundo/trovabild/config.ini", "",
        "Preferences of the window, read at its start and written when it closes.");
  entry("$XDG_RUNTIME_DIR/" + titleText() + ".lock", "",
        "Single-instance lock: while one copy runs, a second start ends at once without output.");
  entry("*.txt, *.lst", "", "List files given with -i, one file or folder per line (read).");
  entry("profile files", "", "Read where --profile stands.");
  entry("output files", "",
        "JPEG files written into the output folder, in the input's subfolders unless --no-subfolders is given; "
        "existing files of the same name are replaced.");

  line(".SH EXAMPLES");
  auto example = [&](std::string_view comment, std::string_view command) {
    line(".PP");
    line(roff(comment));
    line(".RS");
    line(".nf");
    line(roff(command));
    line(".fi");
    line(".RE");
  };
  example("One icon, written beside it as example.jpg:", "trovabildcmd -i example.ico");
  example("A whole folder tree into another folder, quality 95:",
          "trovabildcmd -i ~/icons -o ~/converted --jpg-quality=95");
  example("Only the last image of each icon, 128 pixels on its longer side:",
          "trovabildcmd -i ~/icons -o ~/out --ico-frame-loading=last --width=128 --height=128 --keep-aspect-ratio");
  example("Greyscale with a watermark naming each file:",
          "trovabildcmd -i app.ico -o out --greyscale --wm-text=\"%filename%\" --wm-font-size=10");
  example("All settings from a profile file, then one override:",
          "trovabildcmd -i icons -o out --profile=web.ini --jpg-quality=80");
  example("The window with two icons and a folder in its list:", "trovabildcmd --window a.ico b.ico icons/");

  line(".SH \"SEE ALSO\"");
  line(roff("The user manual, " + dataFolder + "/manual/index.html (also linked from " + docFolder + "/manual)."));
  return page;
}

std::string bashCompletion() {
  const Resetter reset;
  std::string script;
  auto line = [&](std::string_view text) {
    script += text;
    script += '\n';
  };
  std::string valued = "--input= --output= --conversion= --profile=";
  std::string flags = "--quiet --debug --pause";
  std::string wordCases;
  std::string fileOptions;
  for (const OptionSpec& option : optionTable()) {
    const std::string name = lowerOption(option.name);
    // Options whose value is a file complete file names.
    const char* value = option.setting->help.value;
    if (value != nullptr && std::string_view(value) == "FILE") fileOptions += (fileOptions.empty() ? "" : " | ") + name;
    if (option.type == OptionValueType::flag) {
      flags += " " + name;
      continue;
    }
    valued += " " + name + "=";
    const std::vector<std::string> words = optionWords(option.name);
    if (!words.empty()) wordCases += "    " + name + ") choices=\"" + joined(words, " ") + "\" ;;\n";
  }

  line("# bash completion for trovabildcmd, made from its option table when it is built.");
  line("_trovabildcmd() {");
  line("  local cur prev words cword split");
  line("  _init_completion -s || return");
  line("");
  line("  # The first parameter may be a word that changes what the rest means.");
  line("  if [[ $cword -gt 1 && ${words[1],,} == --window ]]; then");
  line("    _filedir");
  line("    return");
  line("  fi");
  line("  if [[ $cword -eq 2 && ${words[1]} == -T ]]; then");
  line("    _filedir -d");
  line("    return");
  line("  fi");
  line("");
  line("  local option=${prev,,}");
  line("  if [[ $split == false ]]; then");
  line("    # The short forms take their value from the next word.");
  line("    case $prev in");
  line("      -i | -I) _filedir '@(ico|txt|lst)'; return ;;");
  line("      -o | -O) _filedir -d; return ;;");
  line("      -c | -C) COMPREPLY=($(compgen -W \"" + joined(job.outputFormats, " ") + "\" -- \"$cur\")); return ;;");
  line("    esac");
  line("  else");
  line("    local choices=\"\"");
  line("    case $option in");
  line("    --input) _filedir '@(ico|txt|lst)'; return ;;");
  line("    --output) _filedir -d; return ;;");
  line("    --profile | " + fileOptions + ") _filedir; return ;;");
  line("    --conversion) choices=\"" + joined(job.outputFormats, " ") + "\" ;;");
  script += wordCases;
  line("    *) return ;;");
  line("    esac");
  line("    COMPREPLY=($(compgen -W \"$choices\" -- \"${cur,,}\"))");
  line("    return");
  line("  fi");
  line("");
  line("  if [[ $cur == -* ]]; then");
  line("    local first=\"\"");
  line("    [[ $cword -eq 1 ]] && first=\"--help --version --window -h -v -T -U\"");
  line("    COMPREPLY=($(compgen -W \"-i -o -c -q -d -p $first " + flags + " " + valued + "\" -- \"${cur,,}\"))");
  line("    # A valued option goes on with its value, not with a blank.");
  line("    [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace");
  line("    return");
  line("  fi");
  line("  _filedir");
  line("}");
  line("complete -F _trovabildcmd trovabildcmd");
  return script;
}

std::string manualOptionTable(std::string_view section) {
  std::string table = "<table>\n  <tr><th>Option</th><th>Values</th><th>Meaning</th></tr>\n";
  for (const SettingRow* row : manualRows(section)) table += wrappedHtml(manualRow(*row), "  ");
  return table + "</table>";
}

Result<std::string> withManualOptionTables(const std::string& html) {
  std::string page = html;
  std::vector<std::string> sections;
  for (const SettingRow& declared : settingTable()) {
    const char* section = declared.manual.section;
    if (section != nullptr && std::find(sections.begin(), sections.end(), section) == sections.end())
      sections.emplace_back(section);
  }
  for (const std::string& section : sections) {
    const size_t heading = page.find("<h3 id=\"" + section + "\">");
    const size_t start = heading == std::string::npos ? heading : page.find("<table>", heading);
    const size_t end = start == std::string::npos ? start : page.find("</table>", start);
    if (end == std::string::npos) return Result<std::string>::failure("no option table " + section + " in the manual");
    page.replace(start, end + std::string_view("</table>").size() - start, manualOptionTable(section));
  }
  return Result<std::string>::success(std::move(page));
}

}  // namespace trovabild
