#include "app/program.h"

#include <cstdio>
#include <cstdlib>

#include "app/console.h"

namespace trovabild {

namespace {
int argumentCount = 0;
char** arguments = nullptr;
}  // namespace

std::string versionText(int version) {
  std::string text = std::to_string(version);
  if (text.size() > 1) text.insert(1, ".");
  if (text.size() > 3) text.insert(3, ".");
  if (!text.empty() && text.back() == '0') text.resize(std::min<size_t>(text.size(), 3));
  return text;
}

std::string titleText() { return std::string(kDisplayName) + " " + versionText(kVersion); }

int parameterCount() { return argumentCount > 0 ? argumentCount - 1 : 0; }

const char* parameter(int index) {
  return index >= 0 && index < parameterCount() ? arguments[index + 1] : "";
}

std::string executableStem() { return "trovabildcmd"; }

bool runCommandLine() { return false; }

void endProgram(ExitStatus status) {
  closeConsole();
  std::fflush(stdout);
  std::exit(static_cast<int>(status));
}

int programMain(int argc, char** argv) {
  argumentCount = argc;
  arguments = argv;
  std::fputs("trovabildcmd: not yet built\n", stderr);
  return 1;
}

}  // namespace trovabild
