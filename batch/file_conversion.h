#pragma once
// One input file through the pipeline: a function of the run plan, the file
// and its own values, with no state of its own. It encodes every output in
// memory; the caller writes them, reports them and advances the counters.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "batch/output_naming.h"
#include "batch/run_plan.h"

namespace trovabild {

/// What the caller settles for one file before converting it.
struct FileValues {
  std::string input;      ///< full path, the input list's key
  std::string subfolder;  ///< relative to the scan's base folder, "" or ending in "/"
  NamingCounters counters;
};

/// One frame's attempt: where it goes and its encoded bytes (none when a
/// step or the encoder failed: the frame then fails to save).
struct FrameOutput {
  std::string path;
  std::optional<std::vector<uint8_t>> bytes;
};

struct FileConversion {
  /// The file's lines to print before its outputs (debug runs).
  std::vector<std::string> lines;
  /// Every frame that reached the save, in order.
  std::vector<FrameOutput> outputs;
};

/// The values the tokens of one frame read.
NameValues frameNameValues(const RunPlan& plan, const FileValues& file, int targetBpp, int width, int height);

/// Converts the icon in `data` (the file `file.input` already read).
FileConversion convertIconData(std::span<const uint8_t> data, const RunPlan& plan, const FileValues& file);
/// Reads `file.input` and converts it; no outputs when it cannot be read.
FileConversion convertFile(const RunPlan& plan, const FileValues& file);

/// Asked with the final path (frame number included) before each write;
/// false refuses the write, and that frame counts as failed.
using SaveCheck = std::function<bool(const std::string& path)>;

/// Writes the outputs in order; true when the last one was written.
/// `written` receives the path of every file written.
bool writeOutputs(const FileConversion& conversion, std::vector<std::string>& written,
                  const SaveCheck& mayWrite = {});

}  // namespace trovabild
