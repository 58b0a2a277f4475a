#pragma once
// Process entry and end.

#include <string>

#include "base/exit_status.h"
#include "base/product.h"

namespace trovabild {

/// The whole program: start-up, the single-instance lock, the console run or
/// the desktop window. Leaves through endProgram.
int programMain(int argc, char** argv);

/// The program's parameters (without the program name), as the dispatch and
/// the option parser see them; set by programMain.
int parameterCount();
const char* parameter(int index);

/// The command-line dispatch. Returns false when the desktop window is to
/// run; otherwise ends the process itself.
bool runCommandLine();

/// Releases the program's resources and ends the process with the status.
[[noreturn]] void endProgram(ExitStatus status);

}  // namespace trovabild
