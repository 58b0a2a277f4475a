#pragma once
// Where the program finds its own data (themes, manual) and its window
// module: always from the place of the running executable, never from a
// path fixed when it was built, so an installed tree can be moved.

#include <string>
#include <vector>

namespace trovabild {

/// The file a build writes beside the executable in its build folder. Its
/// one line names the source tree whose data a program run from that build
/// folder uses. It is never installed.
inline constexpr const char* kSourceTreeMarker = "trovabild-source-tree";

/// The folder of the running executable, with a trailing "/" ("./" when the
/// system cannot tell).
std::string executableFolder();

/// The source tree named by the marker file in `programFolder`, with a
/// trailing "/"; "" when there is no marker (an installed program).
std::string markedSourceTree(const std::string& programFolder);

/// The first existing place of a piece of the program's data, for an
/// executable in `programFolder` (ending in "/"):
///  1. `programFolder` + `installedName` (data kept beside the program);
///  2. the marked source tree + `sourceName` (a program run from its build
///     folder);
///  3. `programFolder` + "../share/trovabild/" + `installedName` (an
///     installed program: <prefix>/bin beside <prefix>/share).
/// A folder is looked for when `wantFolder`, else a regular file. "" when
/// none exists.
std::string findProgramData(const std::string& programFolder, const std::string& installedName,
                            const std::string& sourceName, bool wantFolder);

/// The candidate paths of the window module trovabild_desktop.so for an
/// executable in `programFolder`, in the order they are tried: beside the
/// program (a build folder), then <prefix>/lib/trovabild/.
std::vector<std::string> desktopModuleCandidates(const std::string& programFolder);

}  // namespace trovabild
