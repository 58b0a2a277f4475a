#pragma once
// Process entry and end, and the product's identity texts.

#include <string>

#include "app/exit_status.h"

namespace trovabild {

/// The product version as a three-digit number (2.9).
inline constexpr int kVersion = 290;
inline constexpr const char* kDisplayName = "Trovabild";
inline constexpr const char* kFileStem = "trovabild";
inline constexpr const char* kBrand = "Pixmundo";

/// The whole program: start-up, the single-instance lock, the console run or
/// the desktop window. Leaves through endProgram.
int programMain(int argc, char** argv);

/// The digits of a three-digit version with points after the first and the
/// second digit, a trailing ".0" dropped: 290 gives "2.9", 291 "2.9.1".
std::string versionText(int version);
/// "Trovabild 2.9": console and window title, first banner line, and the
/// name of the single-instance lock.
std::string titleText();

/// The program's parameters (without the program name), as the dispatch and
/// the option parser see them; set by programMain.
int parameterCount();
const char* parameter(int index);
/// The executable's file name without folder and extension.
std::string executableStem();

/// The command-line dispatch. Returns false when the desktop window is to
/// run; otherwise ends the process itself.
bool runCommandLine();

/// Releases the program's resources and ends the process with the status.
[[noreturn]] void endProgram(ExitStatus status);

}  // namespace trovabild
