#include "batch/file_conversion.h"

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
/// needs and returns the image to use from then on.
FrameOutput convertFrame(Image image, int sourceBpp, const RunPlan& plan, const FileValues& file, int number) {
  const PipelineOptions& steps = plan.pipeline;
  image = rotateImage(std::move(image), steps.rotation, sourceBpp);
  const int rotatedWidth = image.width();
  const int rotatedHeight = image.height();
  image = resizeImage(std::move(image), steps.resize, rotatedWidth, rotatedHeight);
  // The frame and the watermark are laid out on the size after resizing.
  const int width = image.width();
  const int height = image.height();
  image = flattenTransparency(std::move(image), steps.flatten);
  image = flipImage(std::move(image), steps.flip);
  image = adjustColors(std::move(image), steps.colour);
  image = makeGreyscale(std::move(image), steps.colour);
  image = applyThreshold(std::move(image), steps.colour);
  image = applyDither(std::move(image), steps.colour);
  image = drawFrame(std::move(image), steps.frame, width, height);
  image = prepareForWatermark(std::move(image), steps.watermark);

  // The depth this frame is saved with, worked out once from the image as it
  // will be saved: the watermark that follows keeps its depth.
  const OutputOptions& output = steps.output;
  const int targetBpp = output.automaticDepth() ? automaticDepth(image, output.extension, sourceBpp) : output.depth;
  FrameOutput result;
  result.number = number;
  result.names = frameNameValues(plan, file, targetBpp, width, height);
  result.watermarkText = expandWatermarkTokens(steps.watermark.text.text, result.names);

  image = applyWatermark(std::move(image), steps.watermark, result.watermarkText, width, height, steps.frame);
  image = convertToOutputDepth(std::move(image), output.extension, targetBpp);

  result.path = finalOutputPath(plan, file, result);
  result.bytes = encodeImage(image, output.fif, output.saveFlags);
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

bool watermarkStillValid(const RunPlan& plan, const FileValues& file, const FrameOutput& output) {
  return expandWatermarkTokens(plan.pipeline.watermark.text.text, withCounters(output.names, file.counters)) ==
         output.watermarkText;
}

int keepDrawnFrame(FileConversion& conversion) {
  if (!conversion.frameDrawPending) return -1;
  conversion.frameDrawPending = false;
  const int drawn = selectFrames(kRandomFrameLoading, conversion.frameCount).first;
  std::erase_if(conversion.outputs, [drawn](const FrameOutput& output) { return output.frame != drawn; });
  return drawn;
}

FileConversion convertIconData(std::span<const uint8_t> data, const RunPlan& plan, const FileValues& file) {
  FileConversion conversion;
  const std::optional<std::vector<IconFrameInfo>> frames = inspectIcon(data);
  if (!frames) return conversion;
  const int count = static_cast<int>(frames->size());
  conversion.frameCount = count;
  const int loading = plan.pipeline.icoFrameLoading;
  FrameRange range;
  if (file.onlyFrame >= 0) {
    range = file.onlyFrame < count ? FrameRange{file.onlyFrame, file.onlyFrame + 1} : FrameRange{};
  } else if (loading == kRandomFrameLoading && !file.drawRandomFrame) {
    range = {0, count};
    conversion.frameDrawPending = true;
  } else {
    range = selectFrames(loading, *frames, plan.pipeline.resize);
  }
  // Every image of a multi-image icon gets its number in the name.
  const bool numbered = selectsAllFrames(loading) && count > 1;
  for (int k = range.first; k < range.end; ++k) {
    const IconFrameInfo& info = (*frames)[static_cast<size_t>(k)];
    Result<Image> decoded = decodeIconFrame(data, info);
    if (!decoded) continue;  // an invalid frame, or one the decoder refuses
    Image image = std::move(*decoded);
    // The depth stored in the file: loading with the mask as alpha makes a
    // bitmap frame 32 bits.
    const int sourceBpp = info.png ? image.bpp() : info.bpp;
    conversion.outputs.push_back(convertFrame(std::move(image), sourceBpp, plan, file, numbered ? k + 1 : 0));
    conversion.outputs.back().frame = k;
  }
  return conversion;
}

FileConversion convertFile(const RunPlan& plan, const FileValues& file) {
  FileConversion conversion;
  if (plan.verbose) {
    conversion.lines.push_back("Processing: " + file.input);
    conversion.lines.push_back("File Format: " + detectFormat(file.input));
  }
  const std::optional<std::vector<uint8_t>> data = readWholeFile(file.input, kMaxIconFileSize);
  if (!data) return conversion;
  FileConversion converted = convertIconData(*data, plan, file);
  converted.lines = std::move(conversion.lines);
  return converted;
}

bool writeOutputs(const FileConversion& conversion, std::vector<std::string>& written, const SaveCheck& mayWrite) {
  bool result = false;
  for (const FrameOutput& output : conversion.outputs) {
    result = (!mayWrite || mayWrite(output.path)) && output.bytes && writeFileReplacing(output.path, *output.bytes);
    if (result) written.push_back(output.path);
  }
  return result;
}

}  // namespace trovabild
