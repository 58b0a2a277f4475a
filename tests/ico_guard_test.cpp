#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

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

/// The PNG with its compressed image data replaced by what `edit` makes of
/// it, in one IDAT chunk where the first one was.
Bytes withImageStream(const Bytes& png, const std::function<Bytes(const Bytes&)>& edit) {
  std::vector<Bytes> chunks;
  Bytes stream;
  std::optional<size_t> first;
  for (const Bytes& chunk : testing::pngChunks(png)) {
    if (testing::chunkType(chunk) != "IDAT") {
      chunks.push_back(chunk);
      continue;
    }
    if (!first) first = chunks.size();
    stream.insert(stream.end(), chunk.begin() + 8, chunk.end() - 4);
  }
  chunks.insert(chunks.begin() + static_cast<std::ptrdiff_t>(first.value_or(1)), testing::pngChunk("IDAT", edit(stream)));
  return testing::pngStream(chunks);
}

/// The same, with `extra` zero bytes after the rows in the inflated image data.
Bytes withSurplusImageData(const Bytes& png, size_t extra) {
  return withImageStream(png, [extra](const Bytes& stream) {
    Bytes data = testing::inflated(stream);
    data.resize(data.size() + extra, 0);
    return testing::deflated(data);
  });
}

/// The PNG with `edit` applied to its list of chunks.
Bytes withChunks(const Bytes& png, const std::function<void(std::vector<Bytes>&)>& edit) {
  std::vector<Bytes> chunks = testing::pngChunks(png);
  edit(chunks);
  return testing::pngStream(chunks);
}

bool hasReason(const std::string& text, const char* words) { return text.find(words) != std::string::npos; }

struct BrokenCase {
  const char* name;
  Bytes bytes;
  const char* reason;          ///< words in why the guard (or else the decoder) refuses the file
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

  const Bytes png = pngBytes(8);
  const auto pngFile = [](const Bytes& stream) { return testing::icoFile({stream}); };
  const auto withoutChunk = [&](const char* type) {
    return withChunks(png, [type](std::vector<Bytes>& chunks) {
      std::erase_if(chunks, [type](const Bytes& chunk) { return testing::chunkType(chunk) == type; });
    });
  };
  const Bytes manyChunks = withChunks(png, [](std::vector<Bytes>& chunks) {
    chunks.insert(chunks.begin() + 1, kMaxPngChunks, testing::pngChunk("prIv", {}));
  });
  // The image data broken off halfway, in whole chunks: only the decoder sees it.
  const Bytes dataCutShort = withImageStream(png, [](const Bytes& stream) {
    return Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(stream.size() / 2));
  });

  return {
      {"empty", {}, "not an icon"},
      {"header only", {0, 0, 1, 0, 1, 0}, "the icon's directory runs past the end of the file"},
      {"truncated directory", {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0}, "directory runs past the end"},
      {"truncated pixels", [] { Bytes b = validIcon(); b.resize(b.size() - 40); return b; }(),
       "no image could be read: image 1: truncated: its pixels and mask need 872 bytes, 832 are there"},
      {"zero frames", withEdit([](Bytes& b) { putLe16(b, 4, 0); }), "the icon claims 0 images"},
      {"absurd frame count", withEdit([](Bytes& b) { putLe16(b, 4, 65535); }),
       "the icon claims 65535 images; at most 256 are read"},
      {"more frames than allowed", manyFrames, "the icon claims 257 images"},
      {"reserved field set", withEdit([](Bytes& b) { putLe16(b, 0, 1); }), "not an icon"},
      {"cursor type", withEdit([](Bytes& b) { putLe16(b, 2, 2); }), "not an icon"},
      {"offset past the end", withEdit([](Bytes& b) { putLe32(b, 6 + 12, 0x7FFFFFF0); }),
       "image 1: its data starts past the end of the file"},
      {"offset inside the directory", withEdit([](Bytes& b) { putLe32(b, 6 + 12, 8); }),
       "image 1: its data starts before the directory ends"},
      {"mask cut off, byte count short too", [] { Bytes b = validIcon(); b.resize(b.size() - 1); putLe32(b, 6 + 8, 100); return b; }(),
       "truncated: its pixels and mask need 872 bytes, 871 are there"},
      {"32-bit rows cut off", [] {
         Bytes b = testing::icoFile({testing::bitmapFrame(16, 16, 32, {}, [](int, int) { return 0xFF102030u; })});
         b.resize(kFrame + 40 + 16 * 16 * 4 - 1);
         return b;
       }(), "truncated: its pixels need 1064 bytes, 1063 are there"},
      {"bit depth 2", withEdit([](Bytes& b) { putLe16(b, kFrame + 14, 2); }), "image 1: unsupported bit depth 2"},
      {"bit depth 0", withEdit([](Bytes& b) { putLe16(b, kFrame + 14, 0); }), "unsupported bit depth 0"},
      {"bit depth 64", withEdit([](Bytes& b) { putLe16(b, kFrame + 14, 64); }), "unsupported bit depth 64"},
      {"header size 12", withEdit([](Bytes& b) { putLe32(b, kFrame, 12); }), "unsupported bitmap header size 12"},
      {"header size 108", withEdit([](Bytes& b) { putLe32(b, kFrame, 108); }), "unsupported bitmap header size 108"},
      {"zero width", withEdit([](Bytes& b) { putLe32(b, kFrame + 4, 0); }), "0 x 16 is not a valid size"},
      {"negative width", withEdit([](Bytes& b) { putLe32(b, kFrame + 4, 0xFFFFFFF0); }),
       "-16 x 16 is not a valid size"},
      {"absurd width", withEdit([](Bytes& b) { putLe32(b, kFrame + 4, 100000); }),
       "100000 x 16 is over the side limit of 1024"},
      {"negative height", withEdit([](Bytes& b) { putLe32(b, kFrame + 8, 0xFFFFFFE0); }),
       "16 x -16 is not a valid size"},
      {"height of one row", withEdit([](Bytes& b) { putLe32(b, kFrame + 8, 1); }), "16 x 0 is not a valid size"},
      {"absurd height", withEdit([](Bytes& b) { putLe32(b, kFrame + 8, 0x40000000); }),
       "16 x 536870912 is over the side limit of 1024"},
      {"planes 3", withEdit([](Bytes& b) { putLe16(b, kFrame + 12, 3); }), "unsupported plane count 3"},
      {"RLE compression", withEdit([](Bytes& b) { putLe32(b, kFrame + 16, 1); }), "compressed bitmaps are not read"},
      {"PNG signature only", testing::icoFile({Bytes{137, 80, 78, 71, 13, 10, 26, 10}}),
       "truncated: its PNG header needs 33 bytes, 8 are there"},
      {"PNG of absurd size", withEdit([](Bytes& b) { b[kFrame + 16] = 0x7F; }, testing::icoFile({pngBytes(4)})),
       "2130706436 x 4 is over the side limit of 1024"},
      {"PNG without IHDR", withEdit([](Bytes& b) { b[kFrame + 12] = 'X'; }, testing::icoFile({pngBytes(4)})),
       "its PNG stream does not start with a header chunk (IHDR)"},
      {"PNG of bit depth 3", withEdit([](Bytes& b) { b[kFrame + 24] = 3; }, pngFile(png)),
       "unsupported PNG bit depth 3"},
      {"PNG of colour type 5", withEdit([](Bytes& b) { b[kFrame + 25] = 5; }, pngFile(png)),
       "unsupported PNG colour type 5"},
      {"PNG cut short", [] { Bytes b = testing::icoFile({pngBytes(8)}); b.resize(kFrame + 40); putLe32(b, 6 + 8, 40); return b; }(),
       "a PNG chunk runs past the end of the file"},
      {"PNG without IEND", pngFile(withoutChunk("IEND")), "its PNG stream ends without an end chunk (IEND)"},
      {"PNG without image data", pngFile(withoutChunk("IDAT")), "its PNG stream holds no image data (IDAT)"},
      {"PNG of too many chunks", pngFile(manyChunks), "its PNG stream holds more than 16384 chunks"},
      {"PNG image data past its rows", pngFile(withSurplusImageData(png, 1)),
       "image 1: PNG image data inflates past what its 8 x 8 pixels need"},
      {"PNG image data cut short", pngFile(dataCutShort), "the decoder refused it: Not enough image data", false},
      {"too many pixels in all", pixelFlood, "the images hold 20971520 pixels in all; at most 16777216 are read"},
      {"garbage after a header", garbage, "no image could be read: image 1: "},
  };
}

class IconGuard : public ::testing::Test {
 protected:
  /// Converts the bytes into `folder`/out.jpg and writes what came out.
  bool convert(const Bytes& bytes, const std::string& folder, std::vector<std::string>& written) {
    plan.outputFolder = folder;
    written.clear();
    const FileValues file{folder + "in.ico", "", {}};
    return writeOutputs(plan, file, convertIconData(bytes, plan, file), written);
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
    const FileValues file{dir / "in.ico", "", {}};
    EXPECT_FALSE(writeOutputs(plan, file, convertFile(plan, file), written));
    std::filesystem::remove(dir / "in.ico");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  }
}

// The reason names the fault and its numbers: the guard's for what it
// refuses, the decoder's message for what only the decoder can tell.
TEST_F(IconGuard, SaysWhyItRefusesEachBrokenFile) {
  for (const BrokenCase& c : brokenFiles()) {
    SCOPED_TRACE(c.name);
    std::string problem;
    const auto frames = inspectIcon(c.bytes, &problem);
    if (c.refusedByGuard) {
      EXPECT_FALSE(frames);
      EXPECT_TRUE(hasReason(problem, c.reason)) << problem;
    } else {
      ASSERT_TRUE(frames);
      const Result<Image> decoded = decodeIconFrame(c.bytes, (*frames)[0]);
      EXPECT_FALSE(decoded);
      EXPECT_TRUE(hasReason(decoded.reason, c.reason)) << decoded.reason;
    }
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
  EXPECT_EQ((*frames)[1].problem, "unsupported bit depth 3");
  EXPECT_EQ((*frames)[0].problem, "");
  EXPECT_EQ(decodeIconFrame(file, (*frames)[1]).reason, "unsupported bit depth 3");

  testing::TempDir dir;
  std::vector<std::string> written;
  EXPECT_TRUE(convert(file, dir.path(), written));
  EXPECT_EQ(written, (std::vector<std::string>{dir / "out[1].jpg", dir / "out[3].jpg"}));
}

// libpng inflates a PNG's image data to its very end, past the last row; the
// guard lets through exactly what the rows need. The images are written by
// FreeImage, so their data is what each layout needs, interlaced or not.
TEST_F(IconGuard, PngImageDataMayInflateToWhatItsRowsNeedAndNoMore) {
  const Image rgb = testing::solidImage(13, 7, 24, {200, 40, 10, 255});
  Image rgba16(FreeImage_ConvertToType(testing::solidImage(5, 3, 32, {1, 2, 3, 4}).get(), FIT_RGBA16));
  struct Case {
    const char* name;
    Image image;
    bool interlaced;
  };
  Case cases[] = {
      {"1-bit 13 x 7", testing::atDepth(rgb, 1), false},
      {"1-bit 13 x 7 interlaced", testing::atDepth(rgb, 1), true},
      {"4-bit 9 x 9 interlaced", testing::atDepth(testing::solidImage(9, 9, 24, {9, 9, 9, 255}), 4), true},
      {"RGB 13 x 7", testing::atDepth(rgb, 24), false},
      {"RGB 13 x 7 interlaced", testing::atDepth(rgb, 24), true},
      {"RGBA 1 x 1 interlaced", testing::solidImage(1, 1, 32, {1, 2, 3, 4}), true},  // six passes empty
      {"RGB16 13 x 7 interlaced", testing::atDepth(rgb, 48), true},
      {"RGBA16 5 x 3 interlaced", std::move(rgba16), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes png = encodeImage(c.image, FIF_PNG, c.interlaced ? PNG_INTERLACED : 0).value_or(Bytes{});
    ASSERT_GT(png.size(), 33u);
    ASSERT_EQ(png[28], c.interlaced ? 1 : 0);
    for (const size_t extra : {0, 1, 100000}) {
      SCOPED_TRACE(extra);
      const Bytes file = testing::icoFile({withSurplusImageData(png, extra)});
      std::string problem;
      const auto frames = inspectIcon(file, &problem);
      if (extra == 0) {
        ASSERT_TRUE(frames) << problem;
        const Result<Image> decoded = decodeIconFrame(file, (*frames)[0]);
        ASSERT_TRUE(decoded) << decoded.reason;
        EXPECT_EQ(decoded->width(), c.image.width());
      } else {
        EXPECT_FALSE(frames);
        const std::string size = std::to_string(c.image.width()) + " x " + std::to_string(c.image.height());
        EXPECT_EQ(problem, "no image could be read: image 1: PNG image data inflates past what its " + size +
                               " pixels need");
      }
    }
  }
}

// Compressed text and ICC profiles are inflated by libpng, and text is
// copied by FreeImage in full. Those within their share reach the decoder as
// they are; one over it is left out of what the decoder reads, and the frame
// still converts with the same pixels. (This FreeImage never hands a PNG's
// profile on to the image, so for profiles the chunks left out tell.)
TEST_F(IconGuard, LeavesOutCompressedMetadataOverItsShare) {
  // A display profile of `size` bytes that libpng accepts: RGB, XYZ, D50, no tags.
  const auto iccProfile = [](size_t size) {
    Bytes b(size, 0);
    const auto put = [&](size_t at, uint32_t v) {
      for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> (24 - 8 * k));
    };
    put(0, static_cast<uint32_t>(size));
    put(8, 0x02100000);
    std::memcpy(&b[12], "mntrRGB XYZ ", 12);
    std::memcpy(&b[36], "acsp", 4);
    put(68, 0x0000F6D6);
    put(72, 0x00010000);
    put(76, 0x0000D32D);
    return b;
  };
  struct Metadata {
    const char* type;
    std::string keyword;
    size_t inflated;  ///< bytes of text or profile
  };
  const auto chunkOf = [&](const Metadata& m) {
    const Bytes keyword(m.keyword.begin(), m.keyword.end());
    Bytes data = keyword;
    if (std::string_view(m.type) == "iTXt") {
      data.insert(data.end(), {0, 1, 0, 0, 0});  // compressed, no language, no translated keyword
      const Bytes text = testing::deflated(Bytes(m.inflated, 'a'));
      data.insert(data.end(), text.begin(), text.end());
    } else {
      data.insert(data.end(), {0, 0});  // compression method 0
      const Bytes stream = testing::deflated(std::string_view(m.type) == "iCCP" ? iccProfile(m.inflated)
                                                                                 : Bytes(m.inflated, 'a'));
      data.insert(data.end(), stream.begin(), stream.end());
    }
    return testing::pngChunk(m.type, data);
  };
  const auto texts = [](int count, size_t each) {
    std::vector<Metadata> list;
    for (int k = 1; k <= count; ++k) list.push_back({"zTXt", "T" + std::to_string(k), each});
    return list;
  };
  constexpr size_t kMiB = 1024 * 1024;
  struct Case {
    const char* name;
    std::vector<Metadata> metadata;
    int frames;                     ///< copies of the frame in the icon
    std::vector<std::string> kept;  ///< text keywords of the last frame's image
    size_t leftOut;                 ///< chunks the last frame leaves out
  };
  const Case cases[] = {
      {"small text and profile",
       {{"zTXt", "Comment", 2000}, {"iTXt", "Title", 3000}, {"iCCP", "icc", 132}}, 1, {"Comment", "Title"}, 0},
      {"text of exactly a chunk's share", {{"zTXt", "Edge", kMaxPngChunkMetadata}}, 1, {"Edge"}, 0},
      {"zTXt over a chunk's share", {{"zTXt", "Big", kMiB + kMiB / 2}, {"zTXt", "Small", 100}}, 1, {"Small"}, 1},
      {"iTXt over a chunk's share", {{"iTXt", "Big", kMiB + 1}, {"iTXt", "Small", 100}}, 1, {"Small"}, 1},
      {"profile over a chunk's share", {{"iCCP", "icc", kMiB + kMiB / 2}, {"zTXt", "Small", 100}}, 1, {"Small"}, 1},
      {"text over the frame's share", texts(5, 900 * 1024), 1, {"T1", "T2", "T3", "T4"}, 1},
      // Four frames take 14.1 MiB of the 16; the fifth has room for two chunks.
      {"text over the file's share", texts(4, 900 * 1024), 5, {"T1", "T2"}, 2},
  };
  const Bytes png = pngBytes(8);
  const Bytes plainFile = testing::icoFile({png});
  const Image plain = std::move(*decodeIconFrame(plainFile, (*inspectIcon(plainFile))[0]));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes frame = withChunks(png, [&](std::vector<Bytes>& chunks) {
      for (size_t k = 0; k < c.metadata.size(); ++k)
        chunks.insert(chunks.begin() + 1 + static_cast<std::ptrdiff_t>(k), chunkOf(c.metadata[k]));
    });
    const Bytes file = testing::icoFile(std::vector<Bytes>(static_cast<size_t>(c.frames), frame));
    std::string problem;
    const auto frames = inspectIcon(file, &problem);
    ASSERT_TRUE(frames) << problem;
    for (int k = 0; k < c.frames; ++k) {
      SCOPED_TRACE(k);
      const IconFrameInfo& info = (*frames)[static_cast<size_t>(k)];
      ASSERT_TRUE(info.valid) << info.problem;
      const bool last = k == c.frames - 1;
      EXPECT_EQ(info.leftOut.size(), last ? c.leftOut : 0);
      const Result<Image> decoded = decodeIconFrame(file, info);
      ASSERT_TRUE(decoded) << decoded.reason;
      EXPECT_TRUE(testing::samePixels(*decoded, plain));
      if (!last) continue;
      std::vector<std::string> keys;
      FITAG* tag = nullptr;
      if (FIMETADATA* found = FreeImage_FindFirstMetadata(FIMD_COMMENTS, decoded->get(), &tag)) {
        do keys.push_back(FreeImage_GetTagKey(tag));
        while (FreeImage_FindNextMetadata(found, &tag));
        FreeImage_FindCloseMetadata(found);
      }
      std::sort(keys.begin(), keys.end());
      EXPECT_EQ(keys, c.kept);
    }
  }
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
    for (const IconFrameInfo& frame : *info) images.push_back(std::move(*decodeIconFrame(file, frame)));
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
      const Result<Image> image = decodeIconFrame(file, (*info)[k]);
      ASSERT_TRUE(image) << image.reason;
      EXPECT_TRUE(testing::samePixels(*image, expected[k]));
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
    const Result<Image> image = decodeIconFrame(file, (*info)[0]);
    ASSERT_TRUE(image) << image.reason;
    EXPECT_EQ(testing::pixel(*image, 1, 1).a, c.leftAlpha);
    EXPECT_EQ(testing::pixel(*image, 6, 1).a, 255);
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
