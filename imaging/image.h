#pragma once

#include <FreeImage.h>

#include <memory>

namespace trovabild {

/// Owns one FIBITMAP (or nothing). Move-only.
class Image {
 public:
  Image() = default;
  explicit Image(FIBITMAP* bitmap) : bitmap_(bitmap) {}
  FIBITMAP* get() const { return bitmap_.get(); }
  /// Gives up ownership; the caller must unload the bitmap.
  FIBITMAP* release() { return bitmap_.release(); }
  explicit operator bool() const { return bitmap_ != nullptr; }
  int width() const { return bitmap_ ? static_cast<int>(FreeImage_GetWidth(get())) : 0; }
  int height() const { return bitmap_ ? static_cast<int>(FreeImage_GetHeight(get())) : 0; }
  int bpp() const { return bitmap_ ? static_cast<int>(FreeImage_GetBPP(get())) : 0; }

 private:
  struct Unload {
    void operator()(FIBITMAP* b) const { FreeImage_Unload(b); }
  };
  std::unique_ptr<FIBITMAP, Unload> bitmap_;
};

}  // namespace trovabild
