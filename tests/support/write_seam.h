#pragma once
// A disk that fills up: the write seam lets `limit` bytes through and then
// fails every write with ENOSPC. Free of image and toolkit headers, so that
// the window tests can use it too.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <functional>
#include <memory>

#include "base/files.h"

namespace trovabild::testing {

/// A write seam in place for as long as the object lives (or until end()),
/// so that an assertion that ends a test early still puts write(2) back.
class ScopedWriteSeam {
 public:
  explicit ScopedWriteSeam(std::function<ssize_t(int fd, const void* data, size_t size)> seam) {
    setFileWriteSeam(std::move(seam));
  }
  ~ScopedWriteSeam() { end(); }
  ScopedWriteSeam(const ScopedWriteSeam&) = delete;
  ScopedWriteSeam& operator=(const ScopedWriteSeam&) = delete;
  void end() { setFileWriteSeam({}); }
};

[[nodiscard]] inline std::unique_ptr<ScopedWriteSeam> failWritesAfter(size_t limit) {
  auto written = std::make_shared<size_t>(0);
  return std::make_unique<ScopedWriteSeam>([written, limit](int fd, const void* data, size_t size) -> ssize_t {
    if (*written >= limit) {
      errno = ENOSPC;
      return -1;
    }
    const ssize_t n = ::write(fd, data, std::min(size, limit - *written));
    if (n > 0) *written += static_cast<size_t>(n);
    return n;
  });
}

}  // namespace trovabild::testing
