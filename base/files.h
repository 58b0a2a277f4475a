#pragma once
// Careful file access shared by every reader and writer of the program:
// opening that never blocks on a pipe or device, size-limited line reading,
// and saves that replace a file only by a completely written one.

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace trovabild {

/// The most a list file or a profile may hold.
constexpr uint64_t kMaxTextFileSize = 16 * 1024 * 1024;
/// The longest line of a list file or settings file, in bytes of UTF-8.
constexpr size_t kMaxTextLine = 64 * 1024;

/// Opens descriptors 0, 1 and 2 on /dev/null when the process started with
/// any of them closed, so no file opened later can take their place.
void guardStandardStreams();

/// The errno openRegularFile leaves for a file that opens but is no regular
/// file (EFBIG is left for one larger than the limit).
constexpr int kNotRegularFile = EMEDIUMTYPE;

/// Opens `path` for reading without ever waiting on a pipe or device, and
/// keeps it only when fstat shows a regular file of at most `maxSize`
/// bytes. The descriptor, or -1 with errno set (see kNotRegularFile);
/// `size` (when given) receives the size.
int openRegularFile(const std::string& path, uint64_t maxSize, uint64_t* size = nullptr);

/// Reads a text file line by line with bounded memory. A leading byte order
/// mark is dropped; UTF-16 and UTF-32 text is decoded in the encoding its
/// mark announces, so every line comes out as UTF-8 (other text as it is).
/// Lines end at CR, LF or CR LF; the last one needs no line end.
class TextLineReader {
 public:
  enum class Result { line, tooLong, end };

  TextLineReader() = default;
  ~TextLineReader();
  TextLineReader(const TextLineReader&) = delete;
  TextLineReader& operator=(const TextLineReader&) = delete;

  /// False when the file cannot be opened, is no regular file or is larger
  /// than `maxSize`; errno then says which (as for openRegularFile).
  bool open(const std::string& path, uint64_t maxSize = kMaxTextFileSize);
  /// The next line; `tooLong` for a line longer than kMaxTextLine (its text
  /// is dropped and reading goes on after it); `end` at the end of the file
  /// or after a read error (then failed() is true).
  Result next(std::string& line);
  bool failed() const { return failed_; }
  /// True when the file began with a byte order mark.
  bool marked() const { return encoding_ != Encoding::plain; }

 private:
  enum class Encoding { plain, utf8, utf16le, utf16be, utf32le, utf32be };
  bool fill();
  // The next decoded code point, or -1 at the end.
  int64_t nextCodePoint();
  int nextByte();

  int fd_ = -1;
  uint64_t left_ = 0;  // bytes the file may still give
  std::vector<unsigned char> buffer_;
  size_t at_ = 0;
  size_t end_ = 0;
  Encoding encoding_ = Encoding::plain;
  bool failed_ = false;
  bool pendingCr_ = false;
};

/// Writes a file under a temporary name in the target's folder and renames
/// it over the target only when every write, the flush and the close
/// succeeded; otherwise the temporary file is deleted and the target left
/// as it was. The temporary file is also deleted when the process is ended
/// by an ending signal while it exists (see endAllSaves).
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  /// Creates the temporary file for `target` with the permission bits
  /// `mode` (less the umask); false, with errno and error() set, when it
  /// cannot (ECANCELED once endAllSaves has run).
  bool create(const std::string& target, mode_t mode = 0666);
  /// Buffered; false once any write has failed.
  bool write(const void* data, size_t size);
  bool write(const std::string& text) { return write(text.data(), text.size()); }
  /// Reads back what was written (some image writers do); -1 on failure.
  ssize_t read(void* data, size_t size);
  bool seek(int64_t offset, int origin);
  int64_t tell();
  /// Flushes, closes (after fsync when `durable`) and renames into place.
  /// False, with the temporary file removed and errno and error() set to
  /// the reason of the first failure, when anything failed.
  bool commit(bool durable = false);
  /// Removes the temporary file; the target is not touched.
  void discard();
  bool failed() const { return failed_; }
  /// Device and inode of the file a successful commit put in place.
  std::pair<dev_t, ino_t> identity() const { return identity_; }
  /// The errno of the first failed step, 0 while none failed.
  int error() const { return error_; }
  const std::string& temporaryPath() const { return temporary_; }

 private:
  bool flush();
  void fail(int error);

  int fd_ = -1;
  bool failed_ = false;
  int error_ = 0;
  std::string target_;
  std::string temporary_;
  std::vector<unsigned char> buffer_;
  std::pair<dev_t, ino_t> identity_{};
};

/// True for the names ReplacingFile gives its temporary files.
bool isTemporaryFileName(const std::string& name);
/// Removes the temporary files in `folder` (ending in "/") whose process no
/// longer runs; returns how many. Done once per folder by ReplacingFile.
int removeStaleTemporaryFiles(const std::string& folder);

/// Ends every save for good, for a process about to end: from now on
/// ReplacingFile::create refuses, each temporary file that exists is
/// removed, and `last` runs while no save can start. Meant for the thread
/// that receives an ending signal; `last` must end the process.
void endAllSaves(const std::function<void()>& last);

/// Test seam: replaces write(2) for the files ReplacingFile writes; an empty
/// function restores it.
void setFileWriteSeam(std::function<ssize_t(int fd, const void* data, size_t size)> seam);

}  // namespace trovabild
