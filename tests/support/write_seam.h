#pragma once
// A disk that fills up: the write seam lets `limit` bytes through and then
// fails every write with ENOSPC. Free of image and toolkit headers, so that
// the window tests can use it too.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <memory>

#include "base/files.h"

namespace trovabild::testing {

inline void failWritesAfter(size_t limit) {
  auto written = std::make_shared<size_t>(0);
  setFileWriteSeam([written, limit](int fd, const void* data, size_t size) -> ssize_t {
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
