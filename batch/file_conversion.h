#pragma once
// One input file through the pipeline: a function of the run plan, the file
// and its own values, with no state of its own. It encodes every output in
// memory; the caller writes them, reports them and advances the counters.

#include <cstdint>
#include <ctime>
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
  /// RANDOM frame loading: the draw made when the file was handed out, in
  /// 0 .. kFrameDrawSpan - 1; the frame is the draw modulo the frame count.
  /// -1 draws from the random source while converting.
  int frameDraw = -1;
  /// The moment its date and time tokens show, read where the run's order
  /// is decided; -1 reads the clock when a token needs it.
  std::time_t time = -1;
};

/// One frame's attempt: where it goes and its encoded bytes (none when a
/// step or the encoder failed: `failure` then says which, and the frame
/// fails to save).
struct FrameOutput {
  std::string path;  ///< set where it is written: from `names` and the counters the file then has
  int frame = 0;     ///< the frame's index in the icon
  int number = 0;    ///< the "[n]" its name carries, 0 for none
  NameValues names;  ///< what its name and its watermark text were made from
  std::string watermarkText;  ///< the text watermark as drawn, tokens replaced
  std::optional<std::vector<uint8_t>> bytes;
  std::string failure;  ///< "image 2: the resize failed"; "" when bytes are there
};

struct FileConversion {
  /// The file's lines to print before its outputs (debug runs).
  std::vector<std::string> lines;
  /// Every frame chosen, in order: encoded, or failed with its reason.
  std::vector<FrameOutput> outputs;
  /// Frames in the icon; 0 when the file is no icon or cannot be read.
  int frameCount = 0;
  /// Why no frame was chosen ("not an icon", "the icon claims 0 images" ...);
  /// "" when some frame was, or when the file could not be read (readError
  /// then holds the errno).
  std::string failure;
  int readError = 0;
};

/// The values the tokens of one frame read.
NameValues frameNameValues(const RunPlan& plan, const FileValues& file, int targetBpp, int width, int height);

/// The output path of `output` for the file with these counters: the
/// counters, and date tokens read now, replace those it was converted with.
std::string finalOutputPath(const RunPlan& plan, const FileValues& file, const FrameOutput& output);

/// The file name alone (no folder) that finalOutputPath builds from: what
/// a refused name is told as.
std::string finalOutputName(const RunPlan& plan, const FileValues& file, const FrameOutput& output);

/// False when the text watermark of an output depends on values that differ
/// between `file` and what it was converted with: it must be converted again.
bool watermarkStillValid(const RunPlan& plan, const FileValues& file, const FrameOutput& output);

/// The span of a RANDOM frame draw: a multiple of every frame count up to
/// 16, so that the draw picks each frame of those icons equally often.
inline constexpr int kFrameDrawSpan = 720720;

/// Converts the icon in `data` (the file `file.input` already read).
FileConversion convertIconData(std::span<const uint8_t> data, const RunPlan& plan, const FileValues& file);
/// Reads `file.input` and converts it; no outputs when it cannot be read.
FileConversion convertFile(const RunPlan& plan, const FileValues& file);

/// Asked with the final path (frame number included) before each write;
/// false refuses the write, and that frame counts as failed.
using SaveCheck = std::function<bool(const std::string& path)>;

/// Names and writes the outputs in order, with the values of `file`; true
/// when the last one was written. `written` receives the path of every file
/// written.
bool writeOutputs(const RunPlan& plan, const FileValues& file, FileConversion conversion,
                  std::vector<std::string>& written, const SaveCheck& mayWrite = {});

}  // namespace trovabild
