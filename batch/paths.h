#pragma once
// Small path operations shared by the batch engine and the desktop window.

#include <cstdint>
#include <string>

namespace trovabild {

/// The byte size of the file at `path` (links followed), -1 when nothing
/// exists there, -2 for a folder. Trailing "/" are ignored.
int64_t fileSize(const std::string& path);

/// The text up to and including the last "/", or "" when there is none.
std::string pathPart(const std::string& path);

/// The text after the last "." of the last path component, up to the end or a
/// double quote; "" when the component has no ".", starts with it, or a blank
/// follows it.
std::string extensionPart(const std::string& path);

/// Creates the folder and every missing folder above it, as mkdir -p does.
/// Returns 0 on success (also when it already existed), else the errno of
/// the step that failed (ENOTDIR when a file stands in the way).
int makeFolders(const std::string& path);
/// Whether makeFolders(path) would succeed, judged without making anything
/// by the nearest folder on the path that exists: 0, or the errno it would
/// likely fail with (ENOTDIR, EACCES...).
int foldersCouldBeMade(const std::string& path);
/// Whether a file could be saved as `path` (a new file made in its folder
/// and renamed onto it), judged the same way: 0 or the likely errno.
int fileCouldBeSaved(const std::string& path);

/// True when the relative path `name` stays inside the folder it is joined
/// to: it does not begin with "/" and no component of it is "..".
bool staysInFolder(const std::string& name);

}  // namespace trovabild
