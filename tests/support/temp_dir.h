#pragma once
// A temporary folder for tests. Free of image-library headers, so that the
// window's tests can use it too.

#include <string>

namespace trovabild::testing {

/// A fresh folder under the system's temporary folder, removed with its
/// contents when the object goes away. path() ends in "/".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

}  // namespace trovabild::testing
