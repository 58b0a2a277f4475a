#include "batch/file_conversion.h"

#include <cerrno>

#include "base/files.h"
#include "base/text.h"

#include "imaging/colour.h"
#include "imaging/conversion.h"
#include "imaging/format_detection.h"
#include "imaging/frame.h"
#include "imaging/geometry.h"
#include "imaging/ico_guard.h"
#include "imaging/output_depth.h"
#include "imaging/watermark.h"

namespace trovabild {

namespace {

/// One frame, top to bottom: every step takes the image and the values it
/// needs and returns the image to use from then on. A step that returns no
/// image fails the frame, and the frame's failure names that step.
FrameOutput convertFrame(Image image, int sourceBpp, const RunPlan& plan, const FileValues& file, int number) {
  const PipelineOptions& steps = plan.pipeline;
  FrameOutput result;
  result.number = number;
  clearFreeImageMessage();
  // What FreeImage said of the failure, when it said anything.
  const auto detail = [] {
    const std::string said = lastFreeImageMessage();
    return said.empty() ? std::string() : ": " + said;
  };
  const auto failed = [&](std::string_view step) {
    if (image) return false;
    result.failure = "the " + std::string(step) + " failed" + detail();
    return true;
  };
  image = rotateImage(std::move(image), steps.rotation, sourceBpp);
  if (failed("rotation")) return result;
  const int rotatedWidth = image.width();
  const int rotatedHeight = image.height();
  image = resizeImage(std::move(image), steps.resize, rotatedWidth, rotatedHeight);
  if (failed("resize")) return result;
  // The frame and the watermark are laid out on the size after resizing.
  const int width = image.width();
  const int height = image.height();
  image = flattenTransparency(std::move(image), steps.flatten);
  if (failed("flattening onto the background")) return result;
  image = flipImage(std::move(image), steps.flip);
  if (failed("flip")) return result;
  image = adjustColors(std::move(image), steps.colour);
  if (failed("colour adjustment")) return result;
  image = makeGreyscale(std::move(image), steps.colour);
  if (failed("greyscale conversion")) return result;
  image = applyThreshold(std::move(image), steps.colour);
  if (failed("threshold")) return result;
  image = applyDither(std::move(image), steps.colour);
  if (failed("dithering")) return result;
  image = drawFrame(std::move(image), steps.frame, width, height);
  if (failed("frame drawing")) return result;
  image = prepareForWatermark(std::move(image), steps.watermark);
  if (failed("watermark preparation")) return result;

  // The depth this frame is saved with, worked out once from the image as it
  // will be saved: the watermark that follows keeps its depth.
  const OutputOptions& output = steps.output;
  const int targetBpp = output.automaticDepth() ? automaticDepth(image, output.extension, sourceBpp) : output.depth;
  result.names = frameNameValues(plan, file, targetBpp, width, height);
  result.watermarkText = expandWatermarkTokens(steps.watermark.text.text, result.names);

  image = applyWatermark(std::move(image), steps.watermark, result.watermarkText, width, height, steps.frame);
  if (failed("watermark")) return result;
  image = convertToOutputDepth(std::move(image), output.extension, targetBpp);
  if (failed("conversion to " + std::to_string(targetBpp) + " bits")) return result;

  result.bytes = encodeImage(image, output.fif, output.saveFlags);
  if (!result.bytes) result.failure = "the " + upperAscii(output.extension) + " encoder failed" + detail();
  return result;
}

}  // namespace

NameValues frameNameValues(const RunPlan& plan, const FileValues& file, int targetBpp, int width, int height) {
  NameValues values;
  values.input = file.input;
  values.extension = plan.pipeline.output.extension;
  values.targetBpp = targetBpp;
  values.width = width;
  values.height = height;
  values.randomNumber = file.counters.randomNumber;
  values.counter = file.counters.counter;
  values.time = file.time;
  return values;
}

namespace {

NameValues withCounters(NameValues names, const NamingCounters& counters) {
  names.randomNumber = counters.randomNumber;
  names.counter = counters.counter;
  return names;
}

}  // namespace

std::string finalOutputPath(const RunPlan& plan, const FileValues& file, const FrameOutput& output) {
  const std::string outputFile = buildOutputPath(plan, file.subfolder, withCounters(output.names, file.counters));
  return output.number > 0 ? numberedPath(outputFile, plan.pipeline.output.extension, output.number) : outputFile;
}

std::string finalOutputName(const RunPlan& plan, const FileValues& file, const FrameOutput& output) {
  return buildOutputName(plan.filenameMask, withCounters(output.names, file.counters));
}

bool watermarkStillValid(const RunPlan& plan, const FileValues& file, const FrameOutput& output) {
  return expandWatermarkTokens(plan.pipeline.watermark.text.text, withCounters(output.names, file.counters)) ==
         output.watermarkText;
}

FileConversion convertIconData(std::span<const uint8_t> data, const RunPlan& plan, const FileValues& file) {
  FileConversion conversion;
  std::string problem;
  const std::optional<std::vector<IconFrameInfo>> frames = inspectIcon(data, &problem);
  if (!frames) {
    conversion.failure = problem.empty() ? "not an icon" : problem;
    return conversion;
  }
  const int count = static_cast<int>(frames->size());
  conversion.frameCount = count;
  const int loading = plan.pipeline.icoFrameLoading;
  FrameRange range;
  if (loading == kRandomFrameLoading && file.frameDraw >= 0) {
    const int drawn = file.frameDraw % count;
    range = {drawn, drawn + 1};
  } else {
    range = selectFrames(loading, *frames, plan.pipeline.resize);
  }
  // Every image of a multi-image icon gets its number in the name.
  const bool numbered = selectsAllFrames(loading) && count > 1;
  for (int k = range.first; k < range.end; ++k) {
    const IconFrameInfo& info = (*frames)[static_cast<size_t>(k)];
    const std::string label = "image " + std::to_string(k + 1) + ": ";
    Result<Image> decoded = decodeIconFrame(data, info);
    if (!decoded) {
      // An invalid frame, or one the decoder refuses, fails with its reason.
      FrameOutput failed;
      failed.frame = k;
      failed.number = numbered ? k + 1 : 0;
      failed.failure = label + decoded.reason;
      conversion.outputs.push_back(std::move(failed));
      continue;
    }
    Image image = std::move(*decoded);
    // The depth stored in the file: loading with the mask as alpha makes a
    // bitmap frame 32 bits.
    const int sourceBpp = info.png ? image.bpp() : info.bpp;
    FrameOutput output = convertFrame(std::move(image), sourceBpp, plan, file, numbered ? k + 1 : 0);
    output.frame = k;
    if (!output.failure.empty()) output.failure = label + output.failure;
    conversion.outputs.push_back(std::move(output));
  }
  if (conversion.outputs.empty()) conversion.failure = "no image was chosen";
  return conversion;
}

FileConversion convertFile(const RunPlan& plan, const FileValues& file) {
  FileConversion conversion;
  if (plan.verbose) {
    conversion.lines.push_back("Processing: " + file.input);
    conversion.lines.push_back("File Format: " + detectFormat(file.input));
  }
  errno = 0;
  const std::optional<std::vector<uint8_t>> data = readWholeFile(file.input, kMaxIconFileSize);
  if (!data) {
    const int error = errno != 0 ? errno : EIO;
    if (error == EFBIG)
      conversion.failure = "larger than " + std::to_string(kMaxIconFileSize / (1024 * 1024)) +
                           " MB, the most an icon file may hold";
    else if (error == kNotRegularFile)
      conversion.failure = "not a regular file";
    else
      conversion.readError = error;
    return conversion;
  }
  FileConversion converted = convertIconData(*data, plan, file);
  converted.lines = std::move(conversion.lines);
  return converted;
}

bool writeOutputs(const RunPlan& plan, const FileValues& file, FileConversion conversion,
                  std::vector<std::string>& written, const SaveCheck& mayWrite) {
  bool result = false;
  for (FrameOutput& output : conversion.outputs) {
    if (output.bytes) output.path = finalOutputPath(plan, file, output);
    result = output.bytes && (!mayWrite || mayWrite(output.path)) && writeFileReplacing(output.path, *output.bytes);
    if (result) written.push_back(output.path);
  }
  return result;
}

}  // namespace trovabild
