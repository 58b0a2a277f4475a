#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "imaging/conversion.h"
#include "imaging/format_registry.h"
#include "imaging/ico_guard.h"
#include "imaging/output_depth.h"
#include "batch/file_conversion.h"
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
  FIMEMORY* memory = FreeImage_OpenMemory();
  FreeImage_SaveToMemory(FIF_PNG, image.get(), memory, PNG_Z_BEST_SPEED);
  BYTE* data = nullptr;
  DWORD length = 0;
  FreeImage_AcquireMemory(memory, &data, &length);
  Bytes bytes(data, data + length);
  FreeImage_CloseMemory(memory);
  return bytes;
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
      {"length past the end", withEdit([](Bytes& b) { putLe32(b, 6 + 8, 0xFFFFFFFF); })},
      {"offset inside the directory", withEdit([](Bytes& b) { putLe32(b, 6 + 12, 8); })},
      {"entry shorter than its pixels", withEdit([](Bytes& b) { putLe32(b, 6 + 8, 100); })},
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

TEST_F(IconGuard, ReadsWholeFilesWithinTheLimit) {
  testing::TempDir dir;
  testing::writeBytes(dir / "a", Bytes(100, 7));
  EXPECT_EQ(readWholeFile(dir / "a", 100)->size(), 100u);
  EXPECT_FALSE(readWholeFile(dir / "a", 99));
  EXPECT_FALSE(readWholeFile(dir / "missing", 100));
  EXPECT_FALSE(readWholeFile(dir.path(), 100));
}

}  // namespace trovabild
