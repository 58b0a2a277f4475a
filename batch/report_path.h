#pragma once
// The check of the report's path against the files a run reads and writes:
// the report is an output of the run and must destroy nothing the run needs
// or makes.

#include <string>
#include <vector>

namespace trovabild {

/// What a run reads and writes, as far as it is known before its first file.
struct RunFiles {
  struct Named {
    std::string role;  ///< what the file is to the run: "the input", "the profile"...
    std::string path;
  };
  /// Files the run reads, compared by identity (device and inode).
  std::vector<Named> read;
  /// Folders scanned for inputs, with every folder below them.
  std::vector<std::string> inputFolders;
  /// List files, which may name inputs anywhere.
  std::vector<std::string> listFiles;
  std::vector<std::string> inputExtensions;  ///< lower case, without "."
  /// Folders the outputs go to, with every folder below them (made by the
  /// run when they do not exist yet).
  std::vector<std::string> outputFolders;
  std::string outputExtension;  ///< the format's extension, as %ext% gives it
  std::string filenameMask;     ///< "" for the default mask
};

/// The "Error: " line that refuses `reportPath` as the report of the run,
/// "" when it may be written. Refused: a folder or any other file that is
/// not a regular file; one of the files the run reads; a path whose
/// extension (in any letter case) is an input extension inside an input
/// folder's tree, or whenever a list file names the inputs; a path whose
/// extension is the one the outputs get (from the filename mask, else the
/// output format's) inside an output folder's tree, or any path there when
/// the mask's extension depends on the file. Folders are compared by
/// identity, walking up from the report's nearest existing folder; an output
/// folder that does not exist yet is compared by its resolved path.
std::string reportPathRefusal(const std::string& reportPath, const RunFiles& run);

}  // namespace trovabild
