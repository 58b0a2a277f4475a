#include "app/program.h"

#include <cstdio>

namespace trovabild {

int programMain(int, char**) {
  std::fputs("trovabildcmd: not yet built\n", stderr);
  return 1;
}

}  // namespace trovabild
