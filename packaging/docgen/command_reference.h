#pragma once
// The command reference made from the program's own tables: the manual
// page trovabildcmd.1, the bash completion and the option tables of the user
// manual. Options, their value types,
// defaults, help texts and the words a word option takes all come from the
// settings table and the keyword vocabulary, so neither text can fall behind
// them.

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace trovabild {

/// The manual page in man(7) markup. `dataFolder` and `docFolder` are the
/// installed places of the themes and manual (<prefix>/share/trovabild) and
/// of the package's documents (<prefix>/share/doc/trovabild).
std::string manualPage(const std::string& dataFolder, const std::string& docFolder);

/// A bash completion script for trovabildcmd (loaded by bash-completion):
/// every long option, the words of each word option, file and folder names
/// where an option takes them.
std::string bashCompletion();

/// What keeps the reference honest: settings-table rows with an option but
/// no help text, and rows with a help text but no option. Empty when they
/// match.
std::vector<std::string> referenceProblems();

/// One option table of the user manual ("opt-output") in HTML, from the
/// settings table's rows for it: `<table>` to `</table>`.
std::string manualOptionTable(std::string_view section);
/// The user manual `html` with every option table the settings table fills
/// (the first `<table>` after `<h3 id="SECTION">`) made anew from its rows;
/// the reason when the manual lacks one of them.
Result<std::string> withManualOptionTables(const std::string& html);

/// The words a word option takes, in lower case, in their list's order; a
/// compression option gets the words of its own format only. Empty for an
/// option that takes no word.
std::vector<std::string> optionWords(const std::string& upperName);

}  // namespace trovabild
