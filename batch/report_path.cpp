#include "batch/report_path.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/text.h"
#include "batch/output_naming.h"
#include "batch/paths.h"

namespace trovabild {

namespace {

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The nearest folder on `path` (a file's path) that exists, ending in "/".
std::optional<std::string> nearestExistingFolder(const std::string& path) {
  std::string folder = pathPart(path);
  if (folder.empty()) folder = "./";
  for (;;) {
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? std::optional(folder) : std::nullopt;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return std::string("./");
    if (slash == 0) return std::string("/");
    folder.resize(slash + 1);
  }
}

// True when the file `path` would lie in `folder` or below it.
bool liesBelow(const std::string& path, const std::string& folder) {
  const std::optional<std::string> start = nearestExistingFolder(path);
  if (!start) return false;
  struct stat target {};
  if (stat(folder.c_str(), &target) != 0) {
    // A folder the run will make: the resolved paths tell.
    namespace fs = std::filesystem;
    const auto resolved = [](const std::string& text) {
      std::error_code error;
      fs::path path = fs::weakly_canonical(fs::absolute(text, error), error);
      if (path.has_relative_path() && path.filename().empty()) path = path.parent_path();
      return error ? fs::path() : path;
    };
    const fs::path within = resolved(pathPart(path).empty() ? "." : pathPart(path));
    const fs::path outer = resolved(folder);
    if (within.empty() || outer.empty()) return false;
    return std::mismatch(outer.begin(), outer.end(), within.begin(), within.end()).first == outer.end();
  }
  // Up from the report's folder by identity, to the root (its own parent).
  std::string at = *start;
  struct stat here {};
  if (stat(at.c_str(), &here) != 0) return false;
  for (;;) {
    if (sameFile(here, target)) return true;
    at += "../";
    struct stat up {};
    if (stat(at.c_str(), &up) != 0 || sameFile(up, here)) return false;
    here = up;
  }
}

// The extension the outputs get, lower case, from the filename mask;
// nullopt when the mask makes it depend on the file.
std::optional<std::string> outputEnding(const RunFiles& run) {
  const std::string mask = run.filenameMask.empty() ? std::string(kDefaultFilenameMask) : run.filenameMask;
  const std::string last = lowerAscii(extensionPart(mask));
  if (last == "%ext%" || last == "%ext[u]%" || last == "%ext[t]%") return lowerAscii(run.outputExtension);
  if (last.find('%') != std::string::npos) return std::nullopt;
  return last;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

std::string reportPathRefusal(const std::string& reportPath, const RunFiles& run) {
  const std::string start = "Error: cannot write the report " + quoted(reportPath) + ": ";
  struct stat report {};
  const bool exists = stat(reportPath.c_str(), &report) == 0;
  if (exists && S_ISDIR(report.st_mode)) return start + "it is a folder";
  if (exists && !S_ISREG(report.st_mode)) return start + "it is not a regular file";
  if (exists) {
    for (const RunFiles::Named& file : run.read) {
      struct stat info {};
      if (stat(file.path.c_str(), &info) == 0 && sameFile(info, report))
        return start + "it is " + file.role + " " + quoted(file.path) + " of this run";
    }
  }
  const std::string extension = lowerAscii(extensionPart(reportPath));
  if (std::ranges::find(run.inputExtensions, extension) != run.inputExtensions.end()) {
    for (const std::string& folder : run.inputFolders)
      if (liesBelow(reportPath, folder))
        return start + "the run reads the \"." + extension + "\" files below " + quoted(folder);
    if (!run.listFiles.empty())
      return start + "the run reads the \"." + extension + "\" files that the list " + quoted(run.listFiles.front()) +
             " names";
  }
  const std::optional<std::string> ending = outputEnding(run);
  if (!ending || *ending == extension) {
    for (const std::string& folder : run.outputFolders) {
      if (!liesBelow(reportPath, folder)) continue;
      if (!ending) return start + "the run writes its outputs below " + quoted(folder);
      if (ending->empty()) return start + "the run writes files without an extension below " + quoted(folder);
      return start + "the run writes the \"." + *ending + "\" files below " + quoted(folder);
    }
  }
  return "";
}

}  // namespace trovabild
