// bare_freeimage_loop IN OUT: every frame of every .ico below IN becomes a
// quality-95, 4:4:4 JPEG in OUT, flattened on white. Nothing else: no checks,
// no naming rules, no messages. The benchmark's floor.

#include <FreeImage.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

static void convertFile(const fs::path& input, const fs::path& outFolder, int& written) {
  FIMULTIBITMAP* multi = FreeImage_OpenMultiBitmap(FIF_ICO, input.c_str(), FALSE, TRUE, TRUE, ICO_MAKEALPHA);
  if (multi == nullptr) return;
  const int pages = FreeImage_GetPageCount(multi);
  for (int k = 0; k < pages; ++k) {
    FIBITMAP* page = FreeImage_LockPage(multi, k);
    if (page == nullptr) continue;
    FIBITMAP* image = FreeImage_Clone(page);
    FreeImage_UnlockPage(multi, page, FALSE);
    if (image == nullptr) continue;
    if (FreeImage_IsTransparent(image)) {
      if (FreeImage_GetBPP(image) != 32) {
        FIBITMAP* converted = FreeImage_ConvertTo32Bits(image);
        FreeImage_Unload(image);
        image = converted;
      }
      RGBQUAD white{255, 255, 255, 0};
      FIBITMAP* flat = FreeImage_Composite(image, FALSE, &white, nullptr);
      FreeImage_Unload(image);
      image = flat;
    }
    if (image != nullptr && FreeImage_GetBPP(image) != 24) {
      FIBITMAP* converted = FreeImage_ConvertTo24Bits(image);
      FreeImage_Unload(image);
      image = converted;
    }
    if (image == nullptr) continue;
    const fs::path out = outFolder / (input.stem().string() + "-" + std::to_string(written) + ".jpg");
    if (FreeImage_Save(FIF_JPEG, image, out.c_str(), 95 | JPEG_SUBSAMPLING_444)) ++written;
    FreeImage_Unload(image);
  }
  FreeImage_CloseMultiBitmap(multi, 0);
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bare_freeimage_loop IN OUT\n");
    return 2;
  }
  int written = 0;
  for (const auto& entry : fs::recursive_directory_iterator(argv[1]))
    if (entry.is_regular_file() && entry.path().extension() == ".ico") convertFile(entry.path(), argv[2], written);
  std::printf("%d\n", written);
  return 0;
}
