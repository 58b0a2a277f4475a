#include "imaging/conversion.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "base/seams.h"
#include "base/text.h"
#include "imaging/step_options.h"

namespace trovabild {

namespace {

enum FrameLoading { kAll = 0, kFirst = 1, kMiddle = 2, kLast = 3, kRandom = 4, kLargest = 5, kBest = 6 };
constexpr int kPixelUnit = 0;

// The last message FreeImage gave on this thread: why a load failed.
thread_local std::string decoderMessage;

void keepDecoderMessage(FREE_IMAGE_FORMAT, const char* message) { decoderMessage = message ? message : ""; }

void listenToFreeImage() {
  static std::once_flag listening;
  std::call_once(listening, [] { FreeImage_SetOutputMessage(&keepDecoderMessage); });
}

// One frame presented to FreeImage's icon reader as an icon file of its own:
// a one-entry directory followed by the frame's bytes, read straight from the
// buffer, or from a copy without the chunks the check left out. The reader
// therefore cannot reach anything outside the frame.
class FrameStream {
 public:
  FrameStream(std::span<const uint8_t> file, const IconFrameInfo& frame)
      : body_(file.subspan(frame.offset, frame.size)), masked_(frame.masked) {
    if (!frame.leftOut.empty()) {
      size_t from = 0;
      for (const ByteRange& chunk : frame.leftOut) {  // in stream order
        copy_.insert(copy_.end(), body_.begin() + from, body_.begin() + chunk.offset);
        from = chunk.offset + chunk.size;
      }
      copy_.insert(copy_.end(), body_.begin() + from, body_.end());
      body_ = copy_;
    }
    const size_t size = body_.size();
    const uint8_t header[kHeaderSize] = {
        0, 0, 1, 0, 1, 0,                                   // reserved, type 1, one entry
        static_cast<uint8_t>(frame.width), static_cast<uint8_t>(frame.height), 0, 0,
        1, 0, static_cast<uint8_t>(frame.bpp), 0,           // planes, bit count
        static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
        static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24),
        kHeaderSize, 0, 0, 0};                              // data right after the entry
    std::memcpy(header_, header, kHeaderSize);
  }
  FrameStream(const FrameStream&) = delete;  // body_ may point into copy_
  FrameStream& operator=(const FrameStream&) = delete;

  Image load() {
    FreeImageIO io{};
    io.read_proc = &FrameStream::read;
    io.seek_proc = &FrameStream::seek;
    io.tell_proc = &FrameStream::tell;
    // ICO_MAKEALPHA turns the AND mask of palette, 16- and 24-bit frames into
    // alpha (and the frame into 32 bits); frames that mask nothing keep their depth.
    return Image(FreeImage_LoadFromHandle(FIF_ICO, &io, static_cast<fi_handle>(this), masked_ ? ICO_MAKEALPHA : 0));
  }

 private:
  static constexpr size_t kHeaderSize = 22;

  size_t length() const { return kHeaderSize + body_.size(); }

  static unsigned DLL_CALLCONV read(void* buffer, unsigned size, unsigned count, fi_handle handle) {
    auto* self = static_cast<FrameStream*>(handle);
    if (size == 0 || count == 0 || self->position_ >= self->length()) return 0;
    const size_t wanted = std::min<size_t>(size_t{size} * count, self->length() - self->position_);
    const size_t items = wanted / size;  // only whole items are delivered
    size_t left = items * size;
    auto* out = static_cast<uint8_t*>(buffer);
    while (left > 0) {
      const size_t at = self->position_;
      size_t n;
      if (at < kHeaderSize) {
        n = std::min(left, kHeaderSize - at);
        std::memcpy(out, self->header_ + at, n);
      } else {
        n = std::min(left, self->body_.size() - (at - kHeaderSize));
        std::memcpy(out, self->body_.data() + (at - kHeaderSize), n);
      }
      out += n;
      left -= n;
      self->position_ += n;
    }
    return static_cast<unsigned>(items);
  }

  static int DLL_CALLCONV seek(fi_handle handle, long offset, int origin) {
    auto* self = static_cast<FrameStream*>(handle);
    long base = 0;
    if (origin == SEEK_CUR) base = static_cast<long>(self->position_);
    else if (origin == SEEK_END) base = static_cast<long>(self->length());
    else if (origin != SEEK_SET) return -1;
    const long target = base + offset;
    if (target < 0 || static_cast<size_t>(target) > self->length()) return -1;
    self->position_ = static_cast<size_t>(target);
    return 0;
  }

  static long DLL_CALLCONV tell(fi_handle handle) {
    return static_cast<long>(static_cast<FrameStream*>(handle)->position_);
  }

  uint8_t header_[kHeaderSize];
  std::vector<uint8_t> copy_;
  std::span<const uint8_t> body_;
  bool masked_;
  size_t position_ = 0;
};

/// Takes the alpha of a frame whose alpha bytes are all zero from its AND
/// mask (or makes it opaque without one), as Windows shows such icons.
void alphaFromMask(const Image& image, std::span<const uint8_t> file, const IconFrameInfo& info) {
  if (image.bpp() != 32 || image.width() != info.width || image.height() != info.height) return;
  const size_t maskRow = static_cast<size_t>((info.width + 31) / 32 * 4);
  const uint8_t* mask = info.hasMask ? file.data() + info.offset + info.maskOffset : nullptr;
  for (int y = 0; y < info.height; ++y) {  // both bottom-up
    BYTE* pixel = FreeImage_GetScanLine(image.get(), y);
    for (int x = 0; x < info.width; ++x, pixel += 4) {
      const bool hidden = mask != nullptr && (mask[y * maskRow + x / 8] & (0x80 >> (x % 8))) != 0;
      pixel[FI_RGBA_ALPHA] = hidden ? 0 : 255;
    }
  }
}

}  // namespace

Result<Image> decodeIconFrame(std::span<const uint8_t> data, const IconFrameInfo& info) {
  if (!info.valid) return Result<Image>::failure(info.problem);  // never handed to the decoder
  listenToFreeImage();
  decoderMessage.clear();
  Image image = FrameStream(data, info).load();
  if (!image || image.width() == 0 || image.height() == 0)
    return Result<Image>::failure(decoderMessage.empty() ? "the decoder refused it"
                                                         : "the decoder refused it: " + decoderMessage);
  if (info.alphaUnused) alphaFromMask(image, data, info);
  return Result<Image>::success(std::move(image));
}

void clearFreeImageMessage() {
  listenToFreeImage();
  decoderMessage.clear();
}

std::string lastFreeImageMessage() { return decoderMessage; }

FrameRange selectFrames(int icoFrameLoading, int count) {
  if (count <= 0) return {0, 0};
  switch (icoFrameLoading) {
    case kFirst: return {0, 1};
    case kMiddle: {
      const int end = (count + 1) / 2;
      return {end - 1, end};
    }
    case kLast: return {count - 1, count};
    case kRandom: {
      const int end = std::clamp(randomInt(1, count), 1, count);
      return {end - 1, end};
    }
    default: return {0, count};
  }
}

int chooseIconFrame(int icoFrameLoading, std::span<const IconFrameInfo> frames, const ResizeOptions& resize) {
  if (icoFrameLoading != kLargest && icoFrameLoading != kBest) return -1;
  const auto area = [](const IconFrameInfo& frame) { return int64_t{frame.width} * frame.height; };
  // Whether `a` goes before `b`: the larger area (the smaller one when
  // `smallest`), then the greater depth. The scan keeps the first of equals.
  const auto before = [&](const IconFrameInfo& a, const IconFrameInfo& b, bool smallest) {
    if (area(a) != area(b)) return smallest ? area(a) < area(b) : area(a) > area(b);
    return a.depth > b.depth;
  };
  // A side asked for in percent scales every frame alike, so only the sides
  // asked for in pixels tell a frame that is enlarged from one that is not.
  const bool byWidth = resize.widthUnit == kPixelUnit, byHeight = resize.heightUnit == kPixelUnit;
  const auto notEnlarged = [&](const IconFrameInfo& frame) {
    const PixelSize size = resizedSize(resize, frame.width, frame.height);
    if (size == PixelSize{} || (!byWidth && !byHeight)) return false;
    return (!byWidth || size.width <= frame.width) && (!byHeight || size.height <= frame.height);
  };
  int largest = -1, best = -1;
  for (size_t k = 0; k < frames.size(); ++k) {
    const IconFrameInfo& frame = frames[k];
    if (!frame.valid) continue;
    if (largest < 0 || before(frame, frames[static_cast<size_t>(largest)], false)) largest = static_cast<int>(k);
    if (icoFrameLoading == kBest && notEnlarged(frame) &&
        (best < 0 || before(frame, frames[static_cast<size_t>(best)], true)))
      best = static_cast<int>(k);
  }
  return best >= 0 ? best : largest;
}

FrameRange selectFrames(int icoFrameLoading, std::span<const IconFrameInfo> frames, const ResizeOptions& resize) {
  if (icoFrameLoading != kLargest && icoFrameLoading != kBest)
    return selectFrames(icoFrameLoading, static_cast<int>(frames.size()));
  const int chosen = chooseIconFrame(icoFrameLoading, frames, resize);
  return chosen < 0 ? FrameRange{} : FrameRange{chosen, chosen + 1};
}

Image flattenTransparency(Image image, const FlattenOptions& flatten) {
  if (!image || !FreeImage_IsTransparent(image.get())) return image;
  // FreeImage composites 8-bit palette and 32-bit images only.
  if (image.bpp() != 8 && image.bpp() != 32) {
    image = Image(FreeImage_ConvertTo32Bits(image.get()));
    if (!image) return image;
  }
  RGBQUAD background{};
  background.rgbRed = flatten.background.red;
  background.rgbGreen = flatten.background.green;
  background.rgbBlue = flatten.background.blue;
  return Image(FreeImage_Composite(image.get(), FALSE, &background, nullptr));
}

std::string numberedPath(const std::string& outputFile, const std::string& extension, int number) {
  if (outputFile.empty()) return outputFile;  // nothing to save to; the save fails
  const std::string tag = "[" + std::to_string(number) + "]";
  // Before ".ext" when the name ends with the output extension (in any letter
  // case); otherwise at the very end, so the number never lands inside the
  // name or in a folder.
  const std::string ending = "." + lowerAscii(extension);
  std::string path = outputFile;
  if (!extension.empty() && path.size() >= ending.size() &&
      lowerAscii(std::string_view(path).substr(path.size() - ending.size())) == ending)
    path.insert(path.size() - ending.size(), tag);
  else
    path += tag;
  return path;
}

bool selectsAllFrames(int icoFrameLoading) { return icoFrameLoading < kFirst || icoFrameLoading > kBest; }

}  // namespace trovabild
