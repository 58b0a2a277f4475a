#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "imaging/conversion.h"
#include "imaging/format_registry.h"
#include "imaging/ico_guard.h"
#include "batch/file_conversion.h"
#include "imaging/output_depth.h"
#include "settings/settings.h"
#include "tests/support/ico_bytes.h"
#include "tests/support/test_support.h"

namespace trovabild {

using testing::Bytes;
using testing::putLe16;
using testing::putLe32;

namespace {

Bytes validIcon() { return testing::icoFile({testing::solidFrame(16, 0x3366CC)}); }

// The first frame's BITMAPINFOHEADER starts right after a one-entry directory.
constexpr size_t kFrame = 22;

Bytes withEdit(const std::function<void(Bytes&)>& edit, Bytes bytes = validIcon()) {
  edit(bytes);
  return bytes;
}

Bytes pngBytes(int size) {
  Image image = testing::solidImage(size, size, 32, {10, 200, 30, 128});
  return encodeImage(image, FIF_PNG, PNG_Z_BEST_SPEED).value_or(Bytes{});
}

struct BrokenCase {
  const char* name;
  Bytes bytes;
  bool refusedByGuard = true;  ///< false: only the decoder can tell
};

std::vector<BrokenCase> brokenFiles() {
  Bytes manyFrames = testing::icoFile(std::vector<Bytes>(kMaxIconFrames + 1, testing::solidFrame(1, 0xFF0000)));
  Bytes bigPng = pngBytes(kMaxIconSide);
  // Twenty directory entries all pointing at one large PNG frame.
  Bytes pixelFlood = testing::icoFile({bigPng});
  {
    const size_t count = 20;
    Bytes file;
    putLe16(file, 0, 0);
    putLe16(file, 2, 1);
    putLe16(file, 4, count);
    const size_t offset = 6 + 16 * count;
    for (size_t k = 0; k < count; ++k) {
      putLe32(file, 6 + 16 * k + 8, static_cast<uint32_t>(bigPng.size()));
      putLe32(file, 6 + 16 * k + 12, static_cast<uint32_t>(offset));
    }
    file.insert(file.end(), bigPng.begin(), bigPng.end());
    pixelFlood = file;
  }
  Bytes garbage = {0, 0, 1, 0, 1, 0};
  for (int i = 0; i < 200; ++i) garbage.push_back(static_cast<uint8_t>(i * 37 + 11));

  return {
      {"empty", {}},
      {"header only", {0, 0, 1, 0, 1, 0}},
      {"truncated directory", {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0}},
      {"truncated pixels", [] { Bytes b = validIcon(); b.resize(b.size() - 40); return b; }()},
      {"zero frames", withEdit([](Bytes& b) { putLe16(b, 4, 0); })},
      {"absurd frame count", withEdit([](Bytes& b) { putLe16(b, 4, 65535); })},
      {"more frames than allowed", manyFrames},
      {"reserved field set", withEdit([](Bytes& b) { putLe16(b, 0, 1); })},
      {"cursor type", withEdit([](Bytes& b) { putLe16(b, 2, 2); })},
      {"offset past the end", withEdit([](Bytes& b) { putLe32(b, 6 + 12, 0x7FFFFFF0); })},
      {"offset inside the directory", withEdit([](Bytes& b) { putLe32(b, 6 + 12, 8); })},
      {"mask cut off, byte count short too", [] { Bytes b = validIcon(); b.resize(b.size() - 1); putLe32(b, 6 + 8, 100); return b; }()},
      {"32-bit rows cut off", [] {
         Bytes b = testing::icoFile({testing::bitmapFrame(16, 16, 32, {}, [](int, int) { return 0xFF102030u; })});
         b.resize(kFrame + 40 + 16 * 16 * 4 - 1);
         return b;
       }()},
      {"bit depth 2", withEdit([](Bytes& b) { putLe16(b, kFrame + 14, 2); })},
      {"bit depth 0", withEdit([](Bytes& b) { putLe16(b, kFrame + 14, 0); })},
      {"bit depth 64", withEdit([](Bytes& b) { putLe16(b, kFrame + 14, 64); })},
      {"header size 12", withEdit([](Bytes& b) { putLe32(b, kFrame, 12); })},
      {"header size 108", withEdit([](Bytes& b) { putLe32(b, kFrame, 108); })},
      {"zero width", withEdit([](Bytes& b) { putLe32(b, kFrame + 4, 0); })},
      {"negative width", withEdit([](Bytes& b) { putLe32(b, kFrame + 4, 0xFFFFFFF0); })},
      {"absurd width", withEdit([](Bytes& b) { putLe32(b, kFrame + 4, 100000); })},
      {"negative height", withEdit([](Bytes& b) { putLe32(b, kFrame + 8, 0xFFFFFFE0); })},
      {"height of one row", withEdit([](Bytes& b) { putLe32(b, kFrame + 8, 1); })},
      {"absurd height", withEdit([](Bytes& b) { putLe32(b, kFrame + 8, 0x40000000); })},
      {"planes 3", withEdit([](Bytes& b) { putLe16(b, kFrame + 12, 3); })},
      {"RLE compression", withEdit([](Bytes& b) { putLe32(b, kFrame + 16, 1); })},
      {"PNG signature only", testing::icoFile({Bytes{137, 80, 78, 71, 13, 10, 26, 10}})},
      {"PNG of absurd size", withEdit([](Bytes& b) { b[kFrame + 16] = 0x7F; }, testing::icoFile({pngBytes(4)}))},
      {"PNG without IHDR", withEdit([](Bytes& b) { b[kFrame + 12] = 'X'; }, testing::icoFile({pngBytes(4)}))},
      {"PNG cut short", [] { Bytes b = testing::icoFile({pngBytes(8)}); b.resize(kFrame + 40); putLe32(b, 6 + 8, 40); return b; }(), false},
      {"too many pixels in all", pixelFlood},
      {"garbage after a header", garbage},
  };
}

class IconGuard : public ::testing::Test {
 protected:
  /// Converts the bytes into `folder`/out.jpg and writes what came out.
  bool convert(const Bytes& bytes, const std::string& folder, std::vector<std::string>& written) {
    plan.outputFolder = folder;
    written.clear();
    return writeOutputs(convertIconData(bytes, plan, FileValues{folder + "in.ico", "", {}}), written);
  }

  void SetUp() override {
    plan.pipeline = pipelineOptions(config);
    plan.pipeline.output = outputOptionsFor(config, "jpg");
    plan.filenameMask = "out.jpg";
  }

  Settings config = defaultSettings(true);
  RunPlan plan;
};

}  // namespace

TEST_F(IconGuard, AcceptsAWellFormedIcon) {
  const auto frames = inspectIcon(validIcon());
  ASSERT_TRUE(frames);
  ASSERT_EQ(frames->size(), 1u);
  EXPECT_TRUE((*frames)[0].valid);
  EXPECT_EQ((*frames)[0].bpp, 24);
  EXPECT_EQ((*frames)[0].width, 16);

  const auto png = inspectIcon(testing::icoFile({pngBytes(kMaxIconSide)}));
  ASSERT_TRUE(png);
  EXPECT_TRUE((*png)[0].png);
  EXPECT_EQ((*png)[0].height, kMaxIconSide);
}

// The depth the frames are compared by: the bit count of a bitmap frame, and
// for a PNG frame the bits its header gives (bit depth times channels).
TEST_F(IconGuard, GivesEveryFrameItsStoredDepth) {
  const Image source = testing::solidImage(8, 8, 24, {200, 40, 10, 255});
  Image rgba16(FreeImage_ConvertToType(source.get(), FIT_RGBA16));
  ASSERT_TRUE(rgba16);
  struct Case {
    const char* name;
    Bytes frame;
    int depth;
  };
  const auto png = [](const Image& image) { return encodeImage(image, FIF_PNG, 0).value_or(Bytes{}); };
  const Case cases[] = {
      {"4-bit bitmap", testing::bitmapFrame(8, 8, 4, {0, 0xFF0000}, [](int, int) { return 1u; }), 4},
      {"24-bit bitmap", testing::solidFrame(8, 0x00FF00), 24},
      {"1-bit PNG", png(testing::atDepth(source, 1)), 1},
      {"4-bit PNG", png(testing::atDepth(source, 4)), 4},
      {"8-bit PNG", png(testing::atDepth(source, 8)), 8},
      {"RGB PNG", png(source), 24},
      {"RGBA PNG", png(testing::solidImage(8, 8, 32, {200, 40, 10, 128})), 32},
      {"16-bit RGB PNG", png(testing::atDepth(source, 48)), 48},
      {"16-bit RGBA PNG", png(rgba16), 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto frames = inspectIcon(testing::icoFile({c.frame}));
    ASSERT_TRUE(frames);
    EXPECT_TRUE((*frames)[0].valid);
    EXPECT_EQ((*frames)[0].depth, c.depth);
  }
}

// Each broken file is refused before FreeImage sees it: no output, no crash,
// nothing left behind. Run under the sanitizer build this also shows that
// nothing reads or writes out of bounds.
TEST_F(IconGuard, RefusesBrokenFilesAndWritesNothing) {
  testing::TempDir dir;
  for (const BrokenCase& c : brokenFiles()) {
    SCOPED_TRACE(c.name);
    const auto frames = inspectIcon(c.bytes);
    const bool anyValid = frames && std::any_of(frames->begin(), frames->end(), [](const auto& f) { return f.valid; });
    if (c.refusedByGuard) {
      EXPECT_FALSE(anyValid);
    }
    for (int mode : {0, 1, 2, 3}) {
      plan.pipeline.icoFrameLoading = mode;
      std::vector<std::string> written;
      EXPECT_FALSE(convert(c.bytes, dir.path(), written));
      EXPECT_TRUE(written.empty());
    }
    testing::writeBytes(dir / "in.ico", c.bytes);
    plan.outputFolder = dir.path();
    std::vector<std::string> written;
    EXPECT_FALSE(writeOutputs(convertFile(plan, FileValues{dir / "in.ico", "", {}}), written));
    std::filesystem::remove(dir / "in.ico");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  }
}

TEST_F(IconGuard, SkipsOnlyTheBrokenFrame) {
  Bytes file = testing::icoFile({testing::solidFrame(8, 0xFF0000), testing::solidFrame(8, 0x00FF00),
                                 testing::solidFrame(8, 0x0000FF)});
  const size_t second = 6 + 3 * 16 + testing::solidFrame(8, 0).size();
  putLe16(file, second + 14, 3);  // an impossible bit depth in the middle frame
  const auto frames = inspectIcon(file);
  ASSERT_TRUE(frames);
  EXPECT_TRUE((*frames)[0].valid);
  EXPECT_FALSE((*frames)[1].valid);
  EXPECT_TRUE((*frames)[2].valid);

  testing::TempDir dir;
  std::vector<std::string> written;
  EXPECT_TRUE(convert(file, dir.path(), written));
  EXPECT_EQ(written, (std::vector<std::string>{dir / "out[1].jpg", dir / "out[3].jpg"}));
}

// Real icons often carry a wrong byte count in their directory; the decoder
// never reads it. Each frame is read as its header describes it, as far as
// the file holds it, and comes out as it does with a correct count.
TEST_F(IconGuard, ReadsFramesWhateverTheirByteCountSays) {
  const std::vector<uint32_t> palette = {0x000000, 0x2040C0, 0xFFFFFF};
  const auto shape = [](int x, int y) { return x < 3 || y == 5; };
  const std::vector<Bytes> frames = {
      testing::solidFrame(8, 0xFF0000),
      testing::bitmapFrame(10, 10, 8, palette, [](int x, int) { return x % 3u; }, shape),
      testing::bitmapFrame(12, 12, 24, {}, [](int x, int y) { return 0x010203u * (x + y); }, shape),
      testing::bitmapFrame(9, 9, 32, {}, [](int x, int) { return 0x80102030u + x; }),
  };
  const Bytes correct = testing::icoFile(frames);
  const auto countAt = [](size_t k) { return 6 + 16 * k + 8; };
  struct Case {
    const char* name;
    size_t frame;
    uint32_t count;
    uint32_t less = 0;  ///< when set, the count is the frame's own size less this
  };
  const Case kCases[] = {
      {"first frame without its mask", 0, 0, 32},
      {"palette frame short of the end of its mask", 1, 0, 1},
      {"masked frame with only its header counted", 2, 40},
      {"count of zero", 1, 0},
      {"count past the end of the file", 3, 0xFFFFFFFF},
      {"count larger than the frame", 0, 1000},
  };
  const auto decodedAll = [](const Bytes& file) {
    std::vector<Image> images;
    const auto info = inspectIcon(file);
    for (const IconFrameInfo& frame : *info) images.push_back(decodeIconFrame(file, frame));
    return images;
  };
  const std::vector<Image> expected = decodedAll(correct);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Bytes file = correct;
    const uint32_t count = c.less > 0 ? static_cast<uint32_t>(frames[c.frame].size()) - c.less : c.count;
    putLe32(file, countAt(c.frame), count);
    const auto info = inspectIcon(file);
    ASSERT_TRUE(info);
    ASSERT_EQ(info->size(), frames.size());
    for (size_t k = 0; k < frames.size(); ++k) {
      SCOPED_TRACE(k);
      ASSERT_TRUE((*info)[k].valid);
      EXPECT_LE((*info)[k].offset + (*info)[k].size, file.size());
      const Image image = decodeIconFrame(file, (*info)[k]);
      ASSERT_TRUE(image);
      EXPECT_TRUE(testing::samePixels(image, expected[k]));
    }
    // Every frame is converted, and so is the middle one chosen alone.
    testing::TempDir dir;
    std::vector<std::string> written;
    EXPECT_TRUE(convert(file, dir.path(), written));
    EXPECT_EQ(written.size(), frames.size());
    plan.pipeline.icoFrameLoading = 2;
    EXPECT_TRUE(convert(file, dir.path(), written));
    EXPECT_EQ(written, std::vector<std::string>{dir / "out.jpg"});
    plan.pipeline.icoFrameLoading = 0;
  }
}

// The AND mask is optional at 32 bits, so there the directory decides
// whether the frame has one: bytes past its count belong to what follows.
TEST_F(IconGuard, A32BitFrameHasNoMaskBeyondItsByteCount) {
  // Alpha all zero: the shape is in the mask, which hides the left half.
  const Bytes frame = testing::bitmapFrame(8, 8, 32, {}, [](int, int) { return 0x00336699u; },
                                           [](int x, int) { return x < 4; });
  const size_t colourEnd = 40 + 8 * 8 * 4;
  struct Case { const char* name; bool counted; uint8_t leftAlpha; };
  for (const Case c : {Case{"mask counted", true, 0}, Case{"mask beyond the count", false, 255}}) {
    SCOPED_TRACE(c.name);
    Bytes file = testing::icoFile({frame, testing::solidFrame(8, 0xFFFFFF)});
    if (!c.counted) putLe32(file, 6 + 8, static_cast<uint32_t>(colourEnd));
    const auto info = inspectIcon(file);
    ASSERT_TRUE(info && (*info)[0].valid);
    EXPECT_EQ((*info)[0].hasMask, c.counted);
    const Image image = decodeIconFrame(file, (*info)[0]);
    ASSERT_TRUE(image);
    EXPECT_EQ(testing::pixel(image, 1, 1).a, c.leftAlpha);
    EXPECT_EQ(testing::pixel(image, 6, 1).a, 255);
  }
}

TEST_F(IconGuard, ReadsWholeFilesWithinTheLimit) {
  testing::TempDir dir;
  testing::writeBytes(dir / "a", Bytes(100, 7));
  EXPECT_EQ(readWholeFile(dir / "a", 100)->size(), 100u);
  EXPECT_FALSE(readWholeFile(dir / "a", 99));
  EXPECT_FALSE(readWholeFile(dir / "missing", 100));
  EXPECT_FALSE(readWholeFile(dir.path(), 100));
}

}  // namespace trovabild
