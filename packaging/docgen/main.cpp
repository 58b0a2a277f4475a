// Writes the command reference of trovabildcmd when it is built:
//   trovabild_docgen MANPAGE COMPLETION DATAFOLDER DOCFOLDER
// Ends with status 1, naming them, when a row of the settings table has an
// option without a help text (or the reverse), so an option cannot be added
// without its documentation.
//   trovabild_docgen --manual INDEX.HTML
// Makes the option tables of the user manual anew from the settings table
// (the tests fail while the manual in the source tree differs from them).

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "packaging/docgen/command_reference.h"

namespace {

bool writeFile(const char* path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out.flush());
}

int rewriteManual(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) {
    std::fprintf(stderr, "trovabild_docgen: cannot read %s\n", path);
    return 1;
  }
  const auto manual = trovabild::withManualOptionTables(text.str());
  if (!manual) {
    std::fprintf(stderr, "trovabild_docgen: %s\n", manual.reason.c_str());
    return 1;
  }
  if (*manual != text.str() && !writeFile(path, *manual)) {
    std::fprintf(stderr, "trovabild_docgen: cannot write %s\n", path);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--manual") return rewriteManual(argv[2]);
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s MANPAGE COMPLETION DATAFOLDER DOCFOLDER\n       %s --manual INDEX.HTML\n",
                 argv[0], argv[0]);
    return 2;
  }
  const auto problems = trovabild::referenceProblems();
  for (const std::string& problem : problems) std::fprintf(stderr, "trovabild_docgen: %s\n", problem.c_str());
  if (!problems.empty()) return 1;
  if (!writeFile(argv[1], trovabild::manualPage(argv[3], argv[4])) ||
      !writeFile(argv[2], trovabild::bashCompletion())) {
    std::fprintf(stderr, "trovabild_docgen: cannot write the reference\n");
    return 1;
  }
  return 0;
}
