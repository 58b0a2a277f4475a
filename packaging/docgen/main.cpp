// Writes the command reference of trovabildcmd when it is built:
//   trovabild_docgen MANPAGE COMPLETION DATAFOLDER DOCFOLDER
// Ends with status 1, naming them, when a row of the settings table has an
// option without a help text (or the reverse), so an option cannot be added
// without its documentation.

#include <cstdio>
#include <fstream>
#include <string>

#include "packaging/docgen/command_reference.h"

namespace {

bool writeFile(const char* path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s MANPAGE COMPLETION DATAFOLDER DOCFOLDER\n", argv[0]);
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
