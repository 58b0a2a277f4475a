#include "base/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/support/write_seam.h"

namespace trovabild {
namespace {

using testing::TempDir;
using testing::failWritesAfter;

// The names in a folder, "." and ".." left out.
std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir))
      if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.push_back(entry->d_name);
    closedir(dir);
  }
  return names;
}

std::vector<std::string> readAllLines(const std::string& path, size_t* tooLong = nullptr) {
  TextLineReader reader;
  EXPECT_TRUE(reader.open(path));
  std::vector<std::string> lines;
  std::string line;
  for (TextLineReader::Result result; (result = reader.next(line)) != TextLineReader::Result::end;) {
    if (result == TextLineReader::Result::tooLong) {
      if (tooLong != nullptr) ++*tooLong;
      lines.push_back("<too long>");
    } else {
      lines.push_back(line);
    }
  }
  return lines;
}

// `text` (UTF-8) in another encoding, with its byte order mark.
std::string encode(const std::string& text, const std::string& encoding) {
  std::vector<uint32_t> codes;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t code = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    codes.push_back(code);
    i += length;
  }
  std::string out;
  auto unit16 = [&](uint32_t u, bool big) {
    out += static_cast<char>(big ? u >> 8 : u & 0xFF);
    out += static_cast<char>(big ? u & 0xFF : u >> 8);
  };
  auto unit32 = [&](uint32_t u, bool big) {
    for (int k = 0; k < 4; ++k) out += static_cast<char>((u >> (8 * (big ? 3 - k : k))) & 0xFF);
  };
  const bool big = encoding.ends_with("be");
  if (encoding == "utf8") return "\xEF\xBB\xBF" + text;
  if (encoding.starts_with("utf16")) {
    unit16(0xFEFF, big);
    for (uint32_t c : codes) {
      if (c >= 0x10000) {
        unit16(0xD800 + ((c - 0x10000) >> 10), big);
        unit16(0xDC00 + ((c - 0x10000) & 0x3FF), big);
      } else {
        unit16(c, big);
      }
    }
  } else {
    unit32(0xFEFF, big);
    for (uint32_t c : codes) unit32(c, big);
  }
  return out;
}

TEST(TextLineReader, DecodesEveryMarkAndEveryLineEnd) {
  TempDir dir;
  const std::string text = "caf\xC3\xA9\r\nb\rc\n\n\xF0\x9F\x98\x80 d";
  const std::vector<std::string> expected = {"caf\xC3\xA9", "b", "c", "", "\xF0\x9F\x98\x80 d"};
  for (const char* encoding : {"plain", "utf8", "utf16le", "utf16be", "utf32le", "utf32be"}) {
    SCOPED_TRACE(encoding);
    const std::string path = dir / encoding;
    testing::writeText(path, std::string(encoding) == "plain" ? text : encode(text, encoding));
    EXPECT_EQ(readAllLines(path), expected);
  }
}

TEST(TextLineReader, SkipsOverLongLinesAndReadsOn) {
  TempDir dir;
  // Lines longer than the reading buffer, the first exactly at the limit.
  const std::string longest(kMaxTextLine, 'x');
  testing::writeText(dir / "list", longest + "\r\n" + longest + "y\r\nnext\r\n" + std::string(200000, 'z'));
  size_t tooLong = 0;
  EXPECT_EQ(readAllLines(dir / "list", &tooLong), (std::vector<std::string>{longest, "<too long>", "next", "<too long>"}));
  EXPECT_EQ(tooLong, 2u);
}

TEST(OpenRegularFile, RefusesWhatIsNoRegularFileWithoutWaiting) {
  TempDir dir;
  testing::writeText(dir / "file", "12345");
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", (dir / "zero").c_str()), 0);
  struct Case {
    std::string path;
    uint64_t limit;
    bool opens;
    int error;  // errno when refused: every refusal has a reason
  };
  const Case cases[] = {{dir / "file", 5, true, 0},
                        {dir / "file", 4, false, EFBIG},
                        {dir / "fifo", 100, false, kNotRegularFile},
                        {"/dev/zero", 100, false, kNotRegularFile},
                        {dir / "zero", 100, false, kNotRegularFile},
                        {dir.path(), 100, false, kNotRegularFile},
                        {dir / "missing", 100, false, ENOENT}};
  const auto start = std::chrono::steady_clock::now();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    uint64_t size = 0;
    errno = 0;
    const int fd = openRegularFile(c.path, c.limit, &size);
    EXPECT_EQ(fd >= 0, c.opens);
    if (fd < 0) {
      EXPECT_EQ(errno, c.error);
    }
    if (fd >= 0) {
      EXPECT_EQ(size, 5u);
      close(fd);
    }
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  TextLineReader reader;
  EXPECT_FALSE(reader.open(dir / "fifo"));
  EXPECT_FALSE(reader.open("/dev/zero"));
}

TEST(ReplacingFile, AFailedWriteAnywhereKeepsTheOldFileAndLeavesNothing) {
  TempDir dir;
  const std::string target = dir / "list.txt";
  const std::string content(200000, 'n');
  for (size_t failAt : {size_t{0}, size_t{1}, size_t{65535}, size_t{65536}, content.size() - 1}) {
    SCOPED_TRACE(failAt);
    testing::writeText(target, "old");
    auto seam = failWritesAfter(failAt);
    ReplacingFile file;
    ASSERT_TRUE(file.create(target));
    for (size_t at = 0; at < content.size(); at += 1000) file.write(content.substr(at, 1000));
    EXPECT_FALSE(file.commit());
    EXPECT_EQ(errno, ENOSPC);  // the reason of the write that failed
    EXPECT_EQ(file.error(), ENOSPC);
    seam->end();
    EXPECT_EQ(testing::readText(target), "old");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"list.txt"});
  }
  ReplacingFile file;
  ASSERT_TRUE(file.create(target));
  file.write(content);
  EXPECT_TRUE(file.commit(true));
  EXPECT_EQ(testing::readText(target), content);
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"list.txt"});
}

TEST(ReplacingFile, RemovesStaleTemporaryFilesOfEndedProcessesOnly) {
  TempDir dir;
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  waitpid(child, nullptr, 0);  // its pid now names no process
  const std::string stale = ".trovabild-" + std::to_string(child) + "-0.tmp";
  const std::string running = ".trovabild-" + std::to_string(getppid()) + "-0.tmp";
  const std::string own = ".trovabild-" + std::to_string(getpid()) + "-99.tmp";
  for (const std::string& name : {stale, running, own, std::string(".trovabild-x.tmp"), std::string("a.tmp")})
    testing::writeText(dir / name, "partial");
  EXPECT_TRUE(isTemporaryFileName(stale));
  EXPECT_FALSE(isTemporaryFileName(".trovabild-x.tmp"));

  // The first save into the folder cleans it.
  ReplacingFile file;
  ASSERT_TRUE(file.create(dir / "out.jpg"));
  EXPECT_TRUE(file.write("data"));
  EXPECT_TRUE(file.commit());
  EXPECT_FALSE(testing::fileExists(dir / stale));
  for (const std::string& name : {running, own, std::string(".trovabild-x.tmp"), std::string("a.tmp")})
    EXPECT_TRUE(testing::fileExists(dir / name)) << name;
}

// The end of the process against a save that keeps starting new files:
// once endAllSaves has removed the temporary files, none may appear again.
TEST(ReplacingFile, NoTemporaryFileAppearsAfterTheSavesEnded) {
  TempDir dir;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::atomic<int> created{0};
    std::thread saver([&] {
      for (;;) {
        ReplacingFile file;
        if (file.create(dir / "out.jpg")) {
          ++created;
          file.write("data");
          file.commit();
        } else if (errno != ECANCELED) {
          _exit(3);
        }
      }
    });
    saver.detach();
    while (created < 20) std::this_thread::yield();
    endAllSaves([&] {
      // The saver keeps trying while this runs; nothing it makes may stay.
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      bool left = false;
      for (const std::string& name : namesIn(dir.path())) left = left || isTemporaryFileName(name);
      _exit(left ? 1 : 0);
    });
    _exit(2);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a temporary file was left, 2: endAllSaves returned";
}

}  // namespace
}  // namespace trovabild
