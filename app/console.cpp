#include "app/console.h"

#include <cstdio>

namespace trovabild {

void printLine(std::string_view text) { std::printf("%.*s\n", static_cast<int>(text.size()), text.data()); }

}  // namespace trovabild
