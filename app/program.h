#pragma once
// Process entry and end.

namespace trovabild {

/// The whole program: start-up, the single-instance lock, the console run or
/// the desktop window. Leaves through endProgram.
int programMain(int argc, char** argv);

}  // namespace trovabild
