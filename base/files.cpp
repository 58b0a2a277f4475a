#include "base/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#include "base/text.h"

namespace trovabild {

namespace {

constexpr size_t kChunk = 64 * 1024;
constexpr const char* kTemporaryPrefix = ".trovabild-";
constexpr const char* kTemporarySuffix = ".tmp";

std::function<ssize_t(int, const void*, size_t)> writeSeam;

// The temporary files that exist right now. The mutex also orders every
// create against the end of the process: once `ending` is set no new
// temporary file is made, so none can appear after the last were removed.
// Never destroyed: a signal may still come while the process exits.
std::mutex temporaryMutex;
std::set<std::string>& temporaryFiles = *new std::set<std::string>;
bool ending = false;

void forgetTemporary(const std::string& path) {
  std::lock_guard<std::mutex> hold(temporaryMutex);
  temporaryFiles.erase(path);
}

bool writeAll(int fd, const unsigned char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = writeSeam ? writeSeam(fd, data, size) : ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written == 0) errno = ENOSPC;  // nothing taken: the device has no room
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string temporaryName(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  // The program never saves from a forked child: its number is asked once.
  static const int process = static_cast<int>(getpid());
  char name[64];
  std::snprintf(name, sizeof name, "%s%d-%u%s", kTemporaryPrefix, process, counter++, kTemporarySuffix);
  return folder + name;
}

// Each folder is cleaned of stale temporary files before the first save
// into it.
void cleanFolderOnce(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> cleaned;
  {
    std::lock_guard<std::mutex> hold(mutex);
    if (!cleaned.insert(folder).second) return;
  }
  removeStaleTemporaryFiles(folder);
}

// The process id in a temporary file's name, or 0.
pid_t ownerOf(const std::string& name) {
  if (!isTemporaryFileName(name)) return 0;
  pid_t pid = 0;
  for (size_t i = std::strlen(kTemporaryPrefix); i < name.size() && name[i] != '-'; ++i)
    pid = pid * 10 + (name[i] - '0');
  return pid;
}

}  // namespace

void guardStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is the closed one.
    const int opened = open("/dev/null", O_RDWR);
    if (opened > 2) close(opened);
  }
}

int openRegularFile(const std::string& path, uint64_t maxSize, uint64_t* size) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat info {};
  int refusal = 0;
  if (fstat(fd, &info) != 0)
    refusal = errno;
  else if (!S_ISREG(info.st_mode) || info.st_size < 0)
    refusal = kNotRegularFile;
  else if (static_cast<uint64_t>(info.st_size) > maxSize)
    refusal = EFBIG;
  if (refusal != 0) {
    close(fd);
    errno = refusal;
    return -1;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  if (size != nullptr) *size = static_cast<uint64_t>(info.st_size);
  return fd;
}

// ---------------------------------------------------------------- TextLineReader

TextLineReader::~TextLineReader() {
  if (fd_ >= 0) close(fd_);
}

bool TextLineReader::open(const std::string& path, uint64_t maxSize) {
  if (fd_ >= 0) close(fd_);
  fd_ = openRegularFile(path, maxSize);
  if (fd_ < 0) return false;
  left_ = maxSize;
  buffer_.assign(kChunk, 0);
  at_ = end_ = 0;
  failed_ = false;
  pendingCr_ = false;
  encoding_ = Encoding::plain;
  while (end_ < 4 && fill()) {
  }
  auto startsWith = [&](std::initializer_list<unsigned char> mark) {
    if (end_ < mark.size()) return false;
    size_t i = 0;
    for (unsigned char byte : mark)
      if (buffer_[i++] != byte) return false;
    return true;
  };
  if (startsWith({0xEF, 0xBB, 0xBF})) {
    encoding_ = Encoding::utf8;
    at_ = 3;
  } else if (startsWith({0xFF, 0xFE, 0x00, 0x00})) {
    encoding_ = Encoding::utf32le;
    at_ = 4;
  } else if (startsWith({0x00, 0x00, 0xFE, 0xFF})) {
    encoding_ = Encoding::utf32be;
    at_ = 4;
  } else if (startsWith({0xFF, 0xFE})) {
    encoding_ = Encoding::utf16le;
    at_ = 2;
  } else if (startsWith({0xFE, 0xFF})) {
    encoding_ = Encoding::utf16be;
    at_ = 2;
  }
  return true;
}

// Appends what the file gives next to the buffer; false at its end.
bool TextLineReader::fill() {
  if (fd_ < 0 || left_ == 0) return false;
  if (at_ > 0 && at_ == end_) at_ = end_ = 0;
  if (end_ == buffer_.size()) {
    std::memmove(buffer_.data(), buffer_.data() + at_, end_ - at_);
    end_ -= at_;
    at_ = 0;
  }
  const size_t room = std::min<uint64_t>(buffer_.size() - end_, left_);
  for (;;) {
    const ssize_t got = ::read(fd_, buffer_.data() + end_, room);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failed_ = true;
    if (got <= 0) return false;
    end_ += static_cast<size_t>(got);
    left_ -= static_cast<uint64_t>(got);
    return true;
  }
}

int TextLineReader::nextByte() {
  if (at_ == end_ && !fill()) return -1;
  return buffer_[at_++];
}

int64_t TextLineReader::nextCodePoint() {
  auto units = [&](int count, bool bigEndian) -> int64_t {
    uint32_t value = 0;
    for (int k = 0; k < count; ++k) {
      const int byte = nextByte();
      if (byte < 0) return -1;  // a unit cut short at the end is dropped
      value = bigEndian ? (value << 8) | static_cast<uint32_t>(byte)
                        : value | static_cast<uint32_t>(byte) << (8 * k);
    }
    return value;
  };
  switch (encoding_) {
    case Encoding::plain:
    case Encoding::utf8:
      return nextByte();
    case Encoding::utf16le:
    case Encoding::utf16be: {
      const bool big = encoding_ == Encoding::utf16be;
      int64_t unit = units(2, big);
      if (unit < 0) return -1;
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        // A high surrogate pairs with the low one after it; anything else
        // after it is kept for the next call.
        if (at_ + 2 > end_) fill();
        if (at_ + 2 <= end_) {
          const unsigned char b0 = buffer_[at_], b1 = buffer_[at_ + 1];
          const uint32_t low = big ? (b0 << 8) | b1 : (b1 << 8) | b0;
          if (low >= 0xDC00 && low <= 0xDFFF) {
            at_ += 2;
            return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          }
        }
      }
      if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
      return unit;
    }
    case Encoding::utf32le:
    case Encoding::utf32be: {
      int64_t code = units(4, encoding_ == Encoding::utf32be);
      if (code < 0) return -1;
      if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
      return code;
    }
  }
  return -1;
}

TextLineReader::Result TextLineReader::next(std::string& line) {
  line.clear();
  bool tooLong = false;
  bool any = false;
  const bool bytes = encoding_ == Encoding::plain || encoding_ == Encoding::utf8;
  for (;;) {
    const int64_t code = nextCodePoint();
    if (code < 0) break;
    if (pendingCr_) {
      pendingCr_ = false;
      if (code == '\n') continue;
    }
    if (code == '\r' || code == '\n') {
      pendingCr_ = code == '\r';
      if (tooLong) line.clear();
      return tooLong ? Result::tooLong : Result::line;
    }
    any = true;
    if (tooLong) continue;
    if (bytes)
      line.push_back(static_cast<char>(code));
    else
      appendUtf8(line, static_cast<uint32_t>(code));
    if (line.size() > kMaxTextLine) {
      tooLong = true;
      line.clear();
    }
  }
  if (tooLong) return Result::tooLong;
  return any ? Result::line : Result::end;
}

// ---------------------------------------------------------------- ReplacingFile

ReplacingFile::~ReplacingFile() { discard(); }

bool ReplacingFile::create(const std::string& target, mode_t mode) {
  discard();
  failed_ = false;
  error_ = 0;
  target_ = target;
  if (target.empty() || target.back() == '/') {
    error_ = errno = EINVAL;
    return false;
  }
  const std::string folder = folderOf(target);
  cleanFolderOnce(folder.empty() ? "./" : folder);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = temporaryName(folder);
    int error = 0;
    {
      // Made and registered in one step, so an ending signal either finds
      // the file in the registry or stops it from being made at all.
      std::lock_guard<std::mutex> hold(temporaryMutex);
      if (ending) {
        error = ECANCELED;
      } else {
        fd_ = open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd_ >= 0)
          temporaryFiles.insert(temporary_);
        else
          error = errno;
      }
    }
    if (fd_ >= 0) {
      buffer_.clear();
      buffer_.reserve(kChunk);
      return true;
    }
    error_ = error;
    if (error != EEXIST) break;
  }
  temporary_.clear();
  failed_ = true;
  errno = error_;
  return false;
}

bool ReplacingFile::flush() {
  if (fd_ < 0 || failed_) return false;
  if (!buffer_.empty() && !writeAll(fd_, buffer_.data(), buffer_.size())) fail(errno);
  buffer_.clear();
  return !failed_;
}

bool ReplacingFile::write(const void* data, size_t size) {
  if (fd_ < 0 || failed_) return false;
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (buffer_.size() + size > kChunk) {
    if (!flush()) return false;
    if (size >= kChunk) {
      if (!writeAll(fd_, bytes, size)) fail(errno);
      return !failed_;
    }
  }
  buffer_.insert(buffer_.end(), bytes, bytes + size);
  return true;
}

ssize_t ReplacingFile::read(void* data, size_t size) {
  if (!flush()) return -1;
  for (;;) {
    const ssize_t got = ::read(fd_, data, size);
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

bool ReplacingFile::seek(int64_t offset, int origin) {
  if (!flush()) return false;
  return lseek(fd_, static_cast<off_t>(offset), origin) >= 0;
}

int64_t ReplacingFile::tell() {
  if (fd_ < 0) return -1;
  const off_t at = lseek(fd_, 0, SEEK_CUR);
  return at < 0 ? -1 : static_cast<int64_t>(at) + static_cast<int64_t>(buffer_.size());
}

void ReplacingFile::fail(int error) {
  if (!failed_) error_ = error;
  failed_ = true;
}

bool ReplacingFile::commit(bool durable) {
  if (fd_ < 0) return false;
  bool ok = flush();
  if (ok && durable && fsync(fd_) != 0) fail(errno);
  struct stat info {};
  identity_ = ok && fstat(fd_, &info) == 0 ? std::pair<dev_t, ino_t>{info.st_dev, info.st_ino}
                                           : std::pair<dev_t, ino_t>{};
  if (close(fd_) != 0) fail(errno);
  fd_ = -1;
  ok = !failed_;
  if (ok && std::rename(temporary_.c_str(), target_.c_str()) != 0) fail(errno);
  ok = !failed_;
  if (!ok) unlink(temporary_.c_str());
  forgetTemporary(temporary_);
  temporary_.clear();
  if (!ok) errno = error_;
  return ok;
}

void ReplacingFile::discard() {
  const int saved = errno;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    forgetTemporary(temporary_);
  }
  temporary_.clear();
  buffer_.clear();
  errno = saved;
}

bool isTemporaryFileName(const std::string& name) {
  const size_t prefix = std::strlen(kTemporaryPrefix), suffix = std::strlen(kTemporarySuffix);
  if (name.size() < prefix + suffix + 3 || name.compare(0, prefix, kTemporaryPrefix) != 0 ||
      name.compare(name.size() - suffix, suffix, kTemporarySuffix) != 0)
    return false;
  size_t i = prefix;
  while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
  return i > prefix && i - prefix <= 9 && i < name.size() && name[i] == '-';
}

int removeStaleTemporaryFiles(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    const pid_t owner = ownerOf(name);
    if (owner <= 0 || owner == getpid()) continue;
    // A process that still runs (or one of another user) keeps its file.
    if (kill(owner, 0) == 0 || errno != ESRCH) continue;
    const std::string path = folder + name;
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && unlink(path.c_str()) == 0) ++removed;
  }
  closedir(dir);
  return removed;
}

void endAllSaves(const std::function<void()>& last) {
  temporaryMutex.lock();  // held until the process ends
  ending = true;
  for (const std::string& path : temporaryFiles) unlink(path.c_str());
  temporaryFiles.clear();
  if (last) last();
}

void setFileWriteSeam(std::function<ssize_t(int fd, const void* data, size_t size)> seam) {
  writeSeam = std::move(seam);
}

}  // namespace trovabild
